#include "export/BmpTemplate.h"

#include "export/ByteOrder.h"
#include "export/SafeFile.h"

std::string EncodeBmp24(const LayoutRaster& raster) {
    const uint32_t rowBytes = (uint32_t(raster.width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * uint32_t(raster.height);
    std::string bmp;
    bmp.reserve(54 + imageBytes);
    bmp += "BM";
    PutLE(bmp, 54 + imageBytes, 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 54, 4);
    PutLE(bmp, 40, 4); // BITMAPINFOHEADER
    PutLE(bmp, uint32_t(raster.width), 4);
    PutLE(bmp, uint32_t(raster.height), 4); // positive: bottom row first
    PutLE(bmp, 1, 2);
    PutLE(bmp, 24, 2);
    PutLE(bmp, 0, 4);
    PutLE(bmp, imageBytes, 4);
    PutLE(bmp, 2835, 4); // 72 dpi
    PutLE(bmp, 2835, 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 0, 4);
    for (int y = raster.height - 1; y >= 0; --y) {
        const size_t rowStart = bmp.size();
        for (int x = 0; x < raster.width; ++x)
            bmp.append(3, raster.IsInk(x, y) ? '\0' : '\xFF');
        bmp.append(rowStart + rowBytes - bmp.size(), '\0');
    }
    return bmp;
}

Outcome WriteBmpTemplate(int width, int height, const std::string& path, int /*bitsPerPixel*/) {
    const LayoutRaster raster = DrawLayoutRaster(SurfaceAt(g_exportSurface), width, height);
    return WriteFileSafely(path, EncodeBmp24(raster));
}
