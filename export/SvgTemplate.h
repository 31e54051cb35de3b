#pragma once
// The layout as SVG: the same lines as the raster, as pixel-centred strokes.
#include "model/SurfaceStore.h"

#include <string>

std::string BuildSvgText(const SurfaceRecord* record, int width, int height);
