#include "app/ExportDlg/LayoutImage.h"

QImage LayoutImage(const LayoutRaster& raster) {
    QImage image(raster.width, raster.height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < raster.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const uint8_t* ink = &raster.ink[size_t(y) * size_t(raster.width)];
        for (int x = 0; x < raster.width; ++x)
            line[x] = ink[x] ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    }
    return image;
}
