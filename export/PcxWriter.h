#pragma once
// An 8-bit picture as Quake II reads its skins: a PCX of version 5, one plane
// of 8 bits, run-length encoded line by line, the 256-colour palette after
// the 0x0C marker at the end.
#include "model/Model.h"

#include <cstdint>
#include <span>
#include <string>

// The file's bytes. Each line holds an even number of bytes, as the format
// asks (an odd width ends in one padding byte of 0), and no run crosses
// into the next line. `indices` holds width * height bytes, top row first;
// width and height are 1 to 65535 (anything else gives an empty string).
std::string EncodePcx8(int width, int height, std::span<const uint8_t> indices,
                       std::span<const uint8_t, kPaletteBytes> palette);
