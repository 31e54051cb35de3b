#include "render/LayoutRaster.h"

#include "render/LayoutDrawing.h"

#include <algorithm>

LayoutRaster DrawLayoutRaster(const std::vector<const Surface*>& records, int width, int height,
                              WrapMode wrap) {
    LayoutRaster raster;
    raster.width = std::clamp(width, 1, kMaxTemplateSide);
    raster.height = std::clamp(height, 1, kMaxTemplateSide);
    raster.ink.assign(size_t(raster.width) * size_t(raster.height), 0);
    const LayoutMapping mapping{double(raster.width), double(raster.height), 0.0, 0.0};
    uint8_t* ink = raster.ink.data();
    const size_t stride = size_t(raster.width);
    ForEachPlacedLayoutPixel(
        records, wrap, mapping, raster.width, raster.height,
        [ink, stride](int x, int y) { ink[size_t(y) * stride + size_t(x)] = 1; });
    return raster;
}
