// The workspace's bake view: the model wearing a baked layer of the chosen
// texture (ambient occlusion, light, normals, curvature, density, the
// never-seen mask) in place of its paint, to judge the bake on the model.
// A quick pass (16 rays, at most 512 texels a side) shows first; the full
// one (64 rays, the texture's size up to 1024) follows. Both run on a
// thread of their own; a newer ask cancels the older.
#include "app/Workspace/ModelView.h"
#include "app/Workspace/WorkspaceWindow.h"
#include "bake/Bake.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>

namespace {

constexpr int kQuickRays = 16, kQuickSide = 512;
constexpr int kFullRays = 64, kFullSide = 1024;

} // namespace

QString WorkspaceWindow::BakeTitle(BakeLayer layer) {
    switch (layer) {
    case BakeLayer::Occlusion:
        return tr("Ambient occlusion");
    case BakeLayer::Light:
        return tr("Light from above");
    case BakeLayer::Normals:
        return tr("Normals");
    case BakeLayer::Curvature:
        return tr("Curvature");
    case BakeLayer::Density:
        return tr("Texel density");
    case BakeLayer::NeverSeen:
        return tr("Never seen");
    }
    return {};
}

std::optional<BakeLayer> WorkspaceWindow::bakeShown() const {
    const int index = m_bakeView->currentIndex();
    if (index <= 0 || index > int(BakeLayers().size()))
        return std::nullopt;
    return BakeLayers()[size_t(index - 1)].layer;
}

void WorkspaceWindow::SetBakeShown(std::optional<BakeLayer> layer) {
    int index = 0;
    for (size_t i = 0; layer && i < BakeLayers().size(); ++i)
        if (BakeLayers()[i].layer == *layer)
            index = int(i) + 1;
    if (m_bakeView->currentIndex() != index) {
        m_bakeView->setCurrentIndex(index); // comes back here through the signal
        return;
    }
    BakeChosen(true);
}

void WorkspaceWindow::BakeChosen(bool again) {
    const std::optional<BakeLayer> layer = bakeShown();
    QString problem;
    const std::shared_ptr<const ChosenLayout> chosen = layer ? LayoutOfChosen(problem) : nullptr;
    // Another option of the template, or the same texture chosen again: the
    // bake shown (or under way) stays.
    if (!again && layer && chosen && m_bakeAskedFor == chosen->layout.records &&
        m_bakeLayerAsked == layer)
        return;
    m_bakeAskedFor = chosen ? chosen->layout.records : std::vector<const Surface*>{};
    m_bakeLayerAsked = layer;
    if (m_bakeCancel)
        *m_bakeCancel = true;
    m_bakeCancel.reset();
    const int asked = ++m_bakesAsked;
    m_bakePicture.reset();
    m_bakeRecords.clear();
    m_bakeMessage.clear();
    if (!layer) {
        m_bakesShown = asked;
        m_view->SetPictures(WithBake(ViewPictures(), m_view->parts()));
        ShowStatus();
        return;
    }
    if (!chosen) {
        m_bakesShown = asked;
        m_bakeMessage = tr("Nothing baked: %1.").arg(problem);
        m_view->SetPictures(WithBake(ViewPictures(), m_view->parts()));
        ShowStatus();
        return;
    }
    // The model as shown, without the other wearers standing beside it.
    std::vector<ScenePart> parts = m_view->parts();
    parts.resize(std::min(parts.size(), m_mainParts));
    // The texture's own size, so that the bake lies on the model as its paint.
    int width = kFullSide, height = kFullSide;
    if (m_layoutPicture && m_layoutPicture->width > 0 && m_layoutPicture->height > 0) {
        width = std::min(m_layoutPicture->width, kFullSide);
        height = std::min(m_layoutPicture->height, kFullSide);
    }
    const QString texture = QFileInfo(QString::fromStdString(chosen->layout.worn.name)).fileName();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_bakeCancel = cancel;
    m_bakeMessage = tr("Baking %1 of %2…").arg(BakeTitle(*layer), texture);
    ShowStatus();
    QPointer<WorkspaceWindow> self(this);
    const QString title = BakeTitle(*layer);
    m_baker->start([self, asked, chosen, parts, layer, width, height, cancel, texture, title] {
        for (const bool quick : {true, false}) {
            BakeRequest request;
            request.parts = parts;
            request.records = chosen->layout.records;
            const int side = quick ? kQuickSide : kFullSide;
            const double scale = std::min(1.0, double(side) / std::max(width, height));
            request.width = std::max(1, int(width * scale));
            request.height = std::max(1, int(height * scale));
            request.layers = {*layer};
            request.occlusion.rays = quick ? kQuickRays : kFullRays;
            request.occlusion.cancel = cancel.get();
            QElapsedTimer clock;
            clock.start();
            const Result<BakeResult> baked = Bake(request);
            if (*cancel)
                return;
            std::shared_ptr<const TextureImage> picture;
            QString message;
            if (!baked.ok()) {
                message = tr("Nothing baked: %1.")
                              .arg(QString::fromLocal8Bit(baked.error().reason.c_str()));
            } else if (baked.value().cancelled) {
                return;
            } else {
                const BakeResult& r = baked.value();
                picture = std::make_shared<const TextureImage>(r.layers.front().image);
                const bool rays = *layer == BakeLayer::Occlusion || *layer == BakeLayer::NeverSeen;
                message =
                    (rays ? tr("%1 of %2: %3×%4, %5 rays a texel, %6 s; %7 % of its texels "
                               "never seen.")
                                .arg(title, texture)
                                .arg(request.width)
                                .arg(request.height)
                                .arg(request.occlusion.rays)
                                .arg(QLocale().toString(double(clock.elapsed()) / 1000, 'f', 2))
                                .arg(QLocale().toString(
                                    r.texels ? 100.0 * double(r.neverSeen) / double(r.texels) : 0.0,
                                    'f', 1))
                          : tr("%1 of %2: %3×%4, %5 s.")
                                .arg(title, texture)
                                .arg(request.width)
                                .arg(request.height)
                                .arg(QLocale().toString(double(clock.elapsed()) / 1000, 'f', 2))) +
                    (quick && rays ? QString(' ') + tr("Refining…") : QString());
            }
            // Layers without rays are whole at once; a refusal is final.
            const bool last = !quick || !picture ||
                              !(*layer == BakeLayer::Occlusion || *layer == BakeLayer::NeverSeen);
            QMetaObject::invokeMethod(
                qApp,
                [self, asked, last, chosen, picture, message] {
                    if (self)
                        self->OnBaked(asked, last, chosen->layout.records, picture, message);
                },
                Qt::QueuedConnection);
            if (last)
                return;
        }
    });
}

void WorkspaceWindow::OnBaked(int asked, bool last, std::vector<const Surface*> records,
                              std::shared_ptr<const TextureImage> picture, const QString& message) {
    if (asked != m_bakesAsked || !bakeShown())
        return;
    if (last)
        m_bakesShown = asked;
    m_bakeRecords = std::move(records);
    m_bakePicture = std::move(picture);
    m_bakeMessage = message;
    m_view->SetPictures(WithBake(ViewPictures(), m_view->parts()));
    ShowStatus();
}

std::vector<std::vector<std::shared_ptr<const TextureImage>>>
WorkspaceWindow::WithBake(std::vector<std::vector<std::shared_ptr<const TextureImage>>> pictures,
                          const std::vector<ScenePart>& parts) const {
    if (!m_bakePicture || !bakeShown())
        return pictures;
    for (size_t p = 0; p < parts.size() && p < pictures.size(); ++p)
        for (size_t s = 0; s < pictures[p].size() && s < parts[p].model->surfaces.size(); ++s)
            if (std::find(m_bakeRecords.begin(), m_bakeRecords.end(),
                          &parts[p].model->surfaces[s]) != m_bakeRecords.end())
                pictures[p][s] = m_bakePicture;
    return pictures;
}
