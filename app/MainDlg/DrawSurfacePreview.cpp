// The main window's preview of the selected surface: its texture name, and
// the template it would give, drawn by the template engine as a white
// wireframe on black inside the preview frame, and nowhere else.
#include "app/MainDlg/MainDlg.h"
#include "model/SurfaceStore.h"
#include "platform/Desktop.h"
#include "render/TemplateImage.h"
#include "res/Templates.h"

#include <cairo.h>

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

    // Drawn at the screen's own pixel density, so it stays crisp at 2x.
    const qreal ratio = devicePixelRatioF();
    QImage layer(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull()) {
        ShowResourceFailure(this);
        return;
    }
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    const QRect frame = m_previewFrame->geometry();
    const int L = frame.left(), T = frame.top();
    const int R = L + frame.width(), B = T + frame.height();
    // The drawing area leaves out the frame's right and bottom edges.
    const QRect area(QPoint(L + kPreviewInsetLeft, T + kPreviewInsetTop),
                     QPoint(R - kPreviewInsetRight, B - kPreviewInsetBottom));
    const QRect pixels(
        QPoint(int(area.left() * ratio), int(area.top() * ratio)),
        QPoint(int((area.right() + 1) * ratio) - 1, int((area.bottom() + 1) * ratio) - 1));
    const QRect inside = pixels.intersected(layer.rect());
    if (inside.isEmpty()) {
        m_previewLayer = QImage();
        update();
        return;
    }
    g_selectedSurface = selected;

    // What the template will hold, in the preview's colours.
    TemplateStyle style = m_options.style;
    style.line = {255, 255, 255, 255};
    style.lineWidth = ratio;
    style.antialias = ratio != 1.0;
    style.background = Rgba{0, 0, 0, 255};
    // One scale for both axes, from the frame's width, (0, 0) just inside it.
    const double scale = (R - L - kPreviewScaleShrink) * ratio;
    const LayoutMapping mapping{scale, scale, (L + kPreviewOriginX) * ratio - inside.left(),
                                (T + kPreviewOriginY) * ratio - inside.top()};
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        layer.bits() + inside.top() * layer.bytesPerLine() + inside.left() * 4, CAIRO_FORMAT_ARGB32,
        inside.width(), inside.height(), int(layer.bytesPerLine()));
    cairo_t* cr = cairo_create(surface);
    DrawTemplate(cr, style, ChosenSurfaces(m_options.surfaces, selected),
                 {mapping, inside.width(), inside.height(), false});
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    m_previewLayer = layer;
    update();
}
