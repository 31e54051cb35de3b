#pragma once
// Templates as compressed PNG files, through libpng: a plain template as
// 1-bit greyscale, a styled one as 8-bit RGB, or RGBA when it has any
// transparency.
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"

#include <string>

std::string EncodePng(const LayoutRaster& raster);
std::string EncodePng(const TemplateImage& image);
