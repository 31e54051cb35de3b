#pragma once
// A texture decoded to RGBA: TGA (plain or run-length, either row order),
// JPEG and PNG, through stb_image. Textures are large but bounded: a file
// over 256 MB or an image over 8192 pixels a side is refused.
#include "model/Outcome.h"

#include <cstdint>
#include <string>
#include <vector>

struct TextureImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba; // row-major, top row first, straight alpha
};

// Decodes bytes already in memory; the reason says what is wrong.
Outcome DecodeTexture(const uint8_t* bytes, size_t size, TextureImage& image);
// Reads and decodes a file; the reason names the file.
Outcome LoadTexture(const std::string& path, TextureImage& image);
