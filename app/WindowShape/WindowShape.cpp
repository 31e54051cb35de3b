#include "app/WindowShape/WindowShape.h"

#include "app/WindowShape/Outline.h"

void DrawTransparentBitmap(QPainter& destination, int x, int y, int width, int height,
                           const QImage& bitmap, int sourceX, int sourceY, QRgb transparentColour) {
    if (bitmap.isNull() || width <= 0 || height <= 0)
        return;
    // The masked copy: a picture whose transparent pixels have no alpha.
    QImage block =
        bitmap.copy(sourceX, sourceY, width, height).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparentColour & 0xFFFFFF;
    for (int row = 0; row < block.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(block.scanLine(row));
        for (int col = 0; col < block.width(); ++col)
            line[col] = (line[col] & 0xFFFFFF) == key ? 0 : (line[col] | 0xFF000000);
    }
    const QPainter::CompositionMode mode = destination.compositionMode();
    destination.setCompositionMode(QPainter::CompositionMode_SourceOver);
    destination.drawImage(x, y, block);
    destination.setCompositionMode(mode);
}

QRegion UniteRects(const std::vector<QRect>& rects) {
    std::vector<QRegion> regions(rects.begin(), rects.end());
    while (regions.size() > 1) {
        std::vector<QRegion> merged;
        merged.reserve(regions.size() / 2 + 1);
        for (size_t i = 0; i + 1 < regions.size(); i += 2)
            merged.push_back(regions[i].united(regions[i + 1]));
        if (regions.size() % 2)
            merged.push_back(regions.back());
        regions.swap(merged);
    }
    return regions.empty() ? QRegion() : regions.front();
}

QRegion OutlineOf(const QImage& drawn, int width, int height, bool* started) {
    std::vector<QRect> runs;
    const bool any = BuildOutline(
        width, height,
        [&drawn](int x, int y) -> int64_t {
            if (x >= drawn.width() || y >= drawn.height())
                return kInvalidColour;
            return drawn.pixel(x, y) & 0xFFFFFF;
        },
        [&runs](const OutlineRect& r) {
            runs.emplace_back(r.left, r.top, r.right - r.left, r.bottom - r.top);
        });
    if (started)
        *started = any;
    return UniteRects(runs);
}
