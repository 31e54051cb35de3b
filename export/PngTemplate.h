#pragma once
// Templates as compressed PNG files, through libpng: a plain template as
// 1-bit greyscale; a styled one as indexed colour (1 to 8 bits) when it uses
// 256 colours or fewer, else as 8-bit RGB, or RGBA when it has any
// transparency.
#include "image/TextureImage.h"
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"

#include <string>

std::string EncodePng(const LayoutRaster& raster);
std::string EncodePng(const TemplateImage& image);
// A texture's straight RGBA as it is, byte for byte: 8-bit RGBA, or RGB
// when every texel is opaque.
std::string EncodePng(const TextureImage& texture);
