// The main window's preview of the selected surface: its texture name, and
// its layout as a white wireframe on black inside the preview frame.
#include "app/MainDlg/MainDlg.h"
#include "model/SurfaceStore.h"
#include "platform/Desktop.h"
#include "render/LayoutDrawing.h"
#include "res/Templates.h"

#include <algorithm>

void CMainDlg::DrawSurfacePreview() {
    m_textureList.ResetContent();
    const int selected = m_surfaceList.GetCurSel();
    if (selected < 0 || selected >= LoadedSurfaceCount()) {
        // No line selected (after a new load): no surface, no name, no wireframe.
        g_selectedSurface = -1;
        m_previewLayer = QImage();
        update();
        return;
    }
    const SurfaceRecord& record = g_surfaces[selected];
    m_textureList.AddString(TextureNameOf(record));

    QImage layer(size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull()) {
        ShowResourceFailure(this);
        return;
    }
    layer.fill(Qt::transparent);
    const QRect frame = m_previewFrame->geometry();
    const int L = frame.left(), T = frame.top();
    const int R = L + frame.width(), B = T + frame.height();
    // The fill rectangle leaves out its right and bottom edges.
    const QRect fill(QPoint(L + kPreviewInsetLeft, T + kPreviewInsetTop),
                     QPoint(R - kPreviewInsetRight, B - kPreviewInsetBottom));
    // Direct pixel access: scanLine() on a writable image checks for sharing each call.
    uchar* const bits = layer.bits();
    const qsizetype stride = layer.bytesPerLine();
    auto pixel = [bits, stride](int x, int y) {
        return reinterpret_cast<QRgb*>(bits + y * stride) + x;
    };
    for (int y = std::max(fill.top(), 0); y <= std::min(fill.bottom(), layer.height() - 1); ++y)
        for (int x = std::max(fill.left(), 0); x <= std::min(fill.right(), layer.width() - 1); ++x)
            *pixel(x, y) = qRgb(0, 0, 0);
    g_selectedSurface = selected;

    // One scale for both axes, from the frame's width; lines are not clipped
    // to the frame, only to the window.
    const double scale = R - L - kPreviewScaleShrink;
    const LayoutMapping mapping{scale, scale, double(L + kPreviewOriginX),
                                double(T + kPreviewOriginY)};
    ForEachLayoutPixel(record, mapping, layer.width(), layer.height(),
                       [&pixel](int x, int y) { *pixel(x, y) = qRgb(255, 255, 255); });
    m_previewLayer = layer;
    update();
}
