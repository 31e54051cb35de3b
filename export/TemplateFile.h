#pragma once
// One template file of any format from one style: what the command line and
// the window write.
#include "model/Error.h"
#include "model/Model.h"
#include "render/TemplateStyle.h"

#include <string>
#include <vector>

enum class TemplateFormat { Eps, Svg, Pdf, Png, Bmp, Tga, Psd, Ora, Unknown };

// Every output format, in one table: the save dialog, the command line's
// help and the usage checks all read it. A new format is a row here, its
// writer, and its label in each front end's words.
struct FormatInfo {
    TemplateFormat format;
    const char* extension; // "eps", lower case, without the dot
    const char* label;     // "EPS file"
    bool vector;           // pages: lines are always smooth, no picture grid
    bool texture;          // can carry the texture under the layout
    bool transparency;     // can leave the background transparent
    // The file's bytes for the surfaces in the style; empty when they cannot
    // be made (memory).
    std::string (*build)(const std::vector<const Surface*>& records, const TemplateStyle& style,
                         const std::string& title);
};
const std::vector<FormatInfo>& TemplateFormats();
// The row of a format; null for Unknown.
const FormatInfo* InfoOf(TemplateFormat format);
// ".eps, .svg, .pdf, .png or .bmp"
std::string ExtensionList();

// From the file name's extension, in any letter case.
TemplateFormat FormatOfPath(const std::string& path);
const char* ExtensionOf(TemplateFormat format); // "eps", ...

// Whether the style can be written in this format; the error's reason says
// which option does not apply to it.
Status CheckStyle(const TemplateStyle& style, TemplateFormat format);

// The file's bytes; empty when they cannot be made (memory).
std::string BuildTemplateBytes(const std::vector<const Surface*>& records,
                               const TemplateStyle& style, TemplateFormat format,
                               const std::string& title);

// Builds and writes the template safely; the title is the file's name.
Status WriteTemplateFile(const std::string& path, const std::vector<const Surface*>& records,
                         const TemplateStyle& style);
