#pragma once
// The layout raster as a 24-bit BMP file.
#include "model/Error.h"
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"

#include <string>

std::string EncodeBmp24(const LayoutRaster& raster);
// A styled template, its pixels over white where they are not opaque.
std::string EncodeBmp24(const TemplateImage& image);
