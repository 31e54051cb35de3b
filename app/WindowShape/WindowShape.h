#pragma once
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <vector>

// Copies the width x height block at (sourceX, sourceY) of bitmap to (x, y),
// leaving out the pixels whose colour is exactly transparentColour.
void DrawTransparentBitmap(QPainter& destination, int x, int y, int width, int height,
                           const QImage& bitmap, int sourceX, int sourceY, QRgb transparentColour);

// The union of the outline's rectangles, merged pairwise so that hundreds of
// runs stay cheap.
QRegion UniteRects(const std::vector<QRect>& rects);

// The outline of what was drawn into `drawn`; pixels outside it cannot be
// read back and stay in the window. Empty when every pixel has the key colour.
QRegion OutlineOf(const QImage& drawn, int width, int height, bool* started = nullptr);
