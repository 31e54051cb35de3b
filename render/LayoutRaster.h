#pragma once
// The painting template as a picture: W x H pixels, white, with the layout's
// triangles as black 1-pixel lines. The clipboard and the BMP/PNG files use it.
#include "model/Model.h"
#include "render/TemplateStyle.h"

#include <cstdint>
#include <vector>

struct LayoutRaster {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> ink; // row-major, top row first; 1 = black line, 0 = white

    bool IsInk(int x, int y) const { return ink[size_t(y) * size_t(width) + size_t(x)] != 0; }
};

inline constexpr int kMaxTemplateSide = 8192;

// x = trunc(W * u), y = trunc(H * v): v = 0 is the top row, with coordinates
// wrapped or as stored. width and height are clamped to 1..kMaxTemplateSide.
LayoutRaster DrawLayoutRaster(const std::vector<const Surface*>& records, int width, int height,
                              WrapMode wrap);
