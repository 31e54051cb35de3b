#include "export/BmpTemplate.h"

#include "export/ByteOrder.h"
#include "export/SafeFile.h"

namespace {

// Rows bottom first, as BITMAPINFOHEADER with a positive height wants.
template <typename Pixel> std::string EncodeBmp(int width, int height, Pixel&& pixel) {
    const uint32_t rowBytes = (uint32_t(width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * uint32_t(height);
    std::string bmp;
    bmp.reserve(54 + imageBytes);
    bmp += "BM";
    PutLE(bmp, 54 + imageBytes, 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 54, 4);
    PutLE(bmp, 40, 4); // BITMAPINFOHEADER
    PutLE(bmp, uint32_t(width), 4);
    PutLE(bmp, uint32_t(height), 4); // positive: bottom row first
    PutLE(bmp, 1, 2);
    PutLE(bmp, 24, 2);
    PutLE(bmp, 0, 4);
    PutLE(bmp, imageBytes, 4);
    PutLE(bmp, 2835, 4); // 72 dpi
    PutLE(bmp, 2835, 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        const size_t rowStart = bmp.size();
        for (int x = 0; x < width; ++x) {
            const uint32_t rgb = pixel(x, y);
            bmp += char(rgb & 0xFF);
            bmp += char((rgb >> 8) & 0xFF);
            bmp += char((rgb >> 16) & 0xFF);
        }
        bmp.append(rowStart + rowBytes - bmp.size(), '\0');
    }
    return bmp;
}

} // namespace

std::string EncodeBmp24(const LayoutRaster& raster) {
    return EncodeBmp(raster.width, raster.height,
                     [&](int x, int y) { return raster.IsInk(x, y) ? 0x000000u : 0xFFFFFFu; });
}

std::string EncodeBmp24(const TemplateImage& image) {
    return EncodeBmp(image.width, image.height, [&](int x, int y) {
        const uint32_t p = image.At(x, y), under = 255 - (p >> 24);
        // Premultiplied colour over white.
        return ((((p >> 16) & 0xFF) + under) << 16) | ((((p >> 8) & 0xFF) + under) << 8) |
               ((p & 0xFF) + under);
    });
}
