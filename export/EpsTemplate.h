#pragma once
// The EPS painting template: every triangle of a surface as a closed path in a
// W x H box, y = (1 - v) * H on PostScript's upward axis.
#include "model/Outcome.h"
#include "model/SurfaceStore.h"

#include <ctime>
#include <string>

// Text for inside a PostScript string's parentheses: backslash doubled, every
// control byte and every byte above 126 as a three-digit octal escape.
std::string EscapePostScriptString(const std::string& text);

// "(%m/%d/%y) (%H:%M:%S)", or empty when there is no time.
std::string FormatCreationDate(const std::tm* localTime);

// The whole file text, CR LF line ends. A null record draws no triangles.
std::string BuildEpsText(const SurfaceRecord* record, int width, int height,
                         const std::string& title, const std::tm* localTime);

// Builds the text of g_exportSurface with the local time and writes it to path;
// the title line holds the name without its folder. On failure the target
// keeps its former content.
Outcome WriteEpsTemplate(int width, int height, const std::string& path);
