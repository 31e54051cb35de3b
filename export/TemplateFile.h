#pragma once
// One template file of any format from one style: what the command line and
// the window write.
#include "model/Model.h"
#include "model/Outcome.h"
#include "render/TemplateStyle.h"

#include <string>
#include <vector>

enum class TemplateFormat { Eps, Svg, Pdf, Png, Bmp, Unknown };

// From the file name's extension, in any letter case.
TemplateFormat FormatOfPath(const std::string& path);
const char* ExtensionOf(TemplateFormat format); // "eps", ...

// Why the style cannot be written in this format (an option that does not
// apply to it), or empty when it can.
std::string StyleProblem(const TemplateStyle& style, TemplateFormat format);

// The file's bytes; empty when they cannot be made (memory).
std::string BuildTemplateBytes(const std::vector<const Surface*>& records,
                               const TemplateStyle& style, TemplateFormat format,
                               const std::string& title);

// Builds and writes the template safely; the title is the file's name.
Outcome WriteTemplateFile(const std::string& path, const std::vector<const Surface*>& records,
                          const TemplateStyle& style);
