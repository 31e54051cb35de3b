#pragma once
// Templates as TGA files, the games' own format: 32-bit, uncompressed, top
// row first, the same pixels as the PNG of the same style.
#include "image/TextureImage.h"
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"

#include <string>

std::string EncodeTga(const LayoutRaster& raster);
std::string EncodeTga(const TemplateImage& image);
// A texture's straight RGBA as it is, byte for byte (no premultiplying).
std::string EncodeTga(const TextureImage& texture);
