#pragma once
// The EPS painting template: every triangle of a surface as a closed path in a
// W x H box, y = (1 - v) * H on PostScript's upward axis.
#include "model/Error.h"
#include "model/Model.h"
#include "render/TemplateStyle.h"

#include <ctime>
#include <string>
#include <vector>

// Text for inside a PostScript string's parentheses: backslash doubled, every
// control byte and every byte above 126 as a three-digit octal escape.
std::string EscapePostScriptString(const std::string& text);

// "(%m/%d/%y) (%H:%M:%S)", or empty when there is no time.
std::string FormatCreationDate(const std::tm* localTime);

// The whole file text, CR LF line ends, for the surfaces in the style's box.
// A plain style gives the first templates' text; a styled one adds colours,
// widths, a background, fills and overlaps (PostScript has no alpha: a
// translucent colour is blended over the background).
std::string BuildEpsText(const std::vector<const Surface*>& records, const TemplateStyle& style,
                         const std::string& title, const std::tm* localTime);

// The local time now, in local; null when the clock cannot tell.
std::tm* LocalTimeNow(std::tm& local);
