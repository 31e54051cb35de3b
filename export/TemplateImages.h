#pragma once
// The layout raster as image files: 24-bit BMP, 1-bit greyscale PNG and SVG.
#include "EpsTemplate.h"
#include "LayoutRaster.h"

#include <string>

std::string EncodeBmp24(const LayoutRaster& raster);
std::string EncodePng(const LayoutRaster& raster);
// The same lines as the raster, as pixel-centred strokes.
std::string BuildSvgText(const SurfaceRecord* record, int width, int height);

// The raster of g_exportSurface as a 24-bit BMP at path, with the same failure
// handling as WriteEpsTemplate. bitsPerPixel is always 24.
bool WriteBmpTemplate(int width, int height, const std::string& path, int bitsPerPixel,
                      const ShowWriteFailure& showFailure);
