// The main window's preview of the selected surface: its texture name, and
// the template it would give, drawn by the template engine as a white
// wireframe on black inside the preview frame, and nowhere else.
#include "app/MainWindow/MainWindow.h"

#include "app/MainWindow/WornByDialog.h"
#include "app/OptionsDialog/ModelTextures.h"
#include "model/Model.h"
#include "platform/Desktop.h"
#include "render/TemplateImage.h"
#include "res/Layouts.h"
#include <QListWidget>
#include <QSignalBlocker>

void MainWindow::DrawSurfacePreview() {
    {
        const QSignalBlocker quiet(m_textureList);
        m_textureList->clear();
    }
    const int selected = SelectedRow(m_surfaceList);
    if (selected < 0 || selected >= m_textures.SurfaceCount()) {
        // No line selected (after a new load): no surface, no name, no wireframe.
        m_selected = -1;
        m_texturePath.clear();
        m_renderer->Cancel();
        m_previewLayer = QImage();
        update();
        return;
    }
    ShowSurfaceTexture(selected);
    TemplateOptions chosen;
    chosen.surfaces = m_options.surfaces;
    chosen.textureSize = false;
    StyledTemplate gathered = StyleFor(chosen, m_textures, selected);
    const std::vector<const Surface*> records = gathered.surfaces;
    QStringList flat;
    for (const Surface* r : records)
        if (!LayoutHasArea(*r))
            flat << TextOfBytes(r->name);
    if (flat.isEmpty())
        ClearWarning();
    else
        ShowStatus(tr("The layout of %1 has no area: its texture coordinates lie on one point or "
                      "one line.")
                       .arg(flat.join(", ")),
                   false);

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
        m_renderer->Cancel();
        m_previewLayer = QImage();
        update();
        return;
    }
    m_selected = selected;

    // What the template will hold, in the preview's colours.
    TemplateStyle style = m_options.style;
    style.line = {255, 255, 255, 255};
    style.lineWidth = ratio;
    style.antialias = ratio != 1.0;
    style.background = Rgba{0, 0, 0, 255};
    // The texture under the wireframe, when asked for and found.
    std::shared_ptr<const TextureImage> picture;
    if (m_options.underlay)
        if ((picture = m_textures.PictureOf(m_textures.TextureOfSurface(selected)))) {
            style.underlay = picture.get();
            style.underlayOpacity = m_options.underlayOpacity;
        }
    // One scale for both axes, from the frame's width, (0, 0) just inside it.
    const double scale = (R - L - kPreviewScaleShrink) * ratio;
    const LayoutMapping mapping{scale, scale, (L + kPreviewOriginX) * ratio - inside.left(),
                                (T + kPreviewOriginY) * ratio - inside.top()};
    // Drawn on a worker thread; the former preview stays until this one is done.
    m_renderer->Start(
        {layer, inside, style, picture, model(), records, mapping, std::move(gathered.models)});
}

namespace {

// The tooltip's list stops there, and says how many more.
constexpr int kWornByLines = 12;

} // namespace

void MainWindow::ShowSurfaceTexture(int selected) {
    // The texture's full path, shortened in the middle when it does not fit,
    // where it came from and what was found in the tooltip.
    const SurfaceTexture texture = m_textures.TextureOfSurface(selected);
    const QString name = QString::fromUtf8(texture.name.c_str());
    QListWidget* box = m_textureList;
    const QString shown = box->fontMetrics().elidedText(name, Qt::ElideMiddle, box->width() - 10);
    {
        const QSignalBlocker quiet(box);
        box->addItem(shown);
    }
    const QString where =
        QString::fromUtf8(texture.origin.substr(texture.origin.find(':') + 1).c_str());
    const QString origin = texture.origin.rfind("skin:", 0) == 0 ? tr("from %1").arg(where)
                           : texture.origin.rfind("shader:", 0) == 0
                               ? tr("through the shader script %1").arg(where)
                               : tr("named by the model");
    std::string problem;
    const std::shared_ptr<const TextureImage> picture = m_textures.PictureOf(texture, &problem);
    QString found = picture ? tr("%1 (%2 × %3)")
                                  .arg(QString::fromUtf8(texture.file.c_str()))
                                  .arg(picture->width)
                                  .arg(picture->height)
                            : QString::fromUtf8(problem.c_str());
    // Who else wears it in the player: the painter paints them all at once.
    const QString wornBy = WornByLines(m_textures, selected, kWornByLines);
    const QString tip =
        name + "\n" + origin + "\n" + found + (wornBy.isEmpty() ? "" : "\n" + wornBy);
    if (QListWidgetItem* item = box->item(0))
        item->setToolTip(tip);
    box->setToolTip(name.isEmpty() ? QString() : tip);
    if (QListWidgetItem* line = m_surfaceList->item(selected))
        line->setToolTip(wornBy);
    m_texturePath = name;
}
