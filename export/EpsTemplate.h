#pragma once
// The EPS painting template: every triangle of a surface as a closed path in a
// W x H box, y = (1 - v) * H on PostScript's upward axis.
#include "SurfaceStore.h"

#include <ctime>
#include <functional>
#include <string>

// Shows the failure message with a plain reason beneath it.
using ShowWriteFailure = std::function<void(const std::string& reason)>;

// "(%m/%d/%y) (%H:%M:%S)", or empty when there is no time.
std::string FormatCreationDate(const std::tm* localTime);

// The whole file text, CR LF line ends. A null record draws no triangles.
std::string BuildEpsText(const SurfaceRecord* record, int width, int height,
                         const std::string& title, const std::tm* localTime);

// Builds the text of g_exportSurface with the local time and writes it to path;
// the title line holds the name without its folder. On failure shows the
// failure and returns false; the target then keeps its former content.
bool WriteEpsTemplate(int width, int height, const std::string& path,
                      const ShowWriteFailure& showFailure);
