#pragma once
// The layout raster as a 1-bit greyscale PNG file.
#include "render/LayoutRaster.h"

#include <string>

std::string EncodePng(const LayoutRaster& raster);
