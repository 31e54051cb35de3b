#pragma once
// The layout as SVG. A plain style gives the same lines as the raster, as
// pixel-centred strokes; a styled one strokes the exact coordinates with its
// colour, width, fill, background and overlaps.
#include "model/Model.h"
#include "render/TemplateStyle.h"

#include <string>
#include <vector>

std::string BuildSvgText(const std::vector<const Surface*>& records, const TemplateStyle& style);
