#pragma once
// The template as a one-page vector PDF, W x H points, drawn by Cairo: it
// opens directly in GIMP, Krita and Inkscape.
#include "model/Model.h"
#include "render/TemplateStyle.h"

#include <string>
#include <vector>

// Empty when Cairo cannot make the document.
std::string BuildPdf(const std::vector<const Surface*>& records, const TemplateStyle& style,
                     const std::string& title);
