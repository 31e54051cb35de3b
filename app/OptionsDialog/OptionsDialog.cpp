#include "app/OptionsDialog/OptionsDialog.h"

#include "app/OptionsDialog/TemplateBake.h"
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"
#include "res/Layouts.h"
#include "res/Palette.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QThreadPool>
#include <cmath>
#include <cstring>

namespace {

constexpr int kPreviewSide = 176;
// The preview's bake is quick: as the workspace's first pass.
constexpr int kPreviewRays = 16;
const int kPresetSizes[] = {32, 64, 128, 256, 512, 1024, 2048, 4096, 8192};

// The skin's slate and orange, so the panel looks like the rest of the program.
const char* const kPanelStyle =
    "QDialog { background: rgb(40, 47, 58); border: 2px solid rgb(18, 22, 30); }"
    "QLabel { color: rgb(214, 226, 232); font: 11px 'DejaVu Sans'; }"
    "QLabel#title { color: rgb(126, 214, 184); font: bold 13px 'DejaVu Sans';"
    "  letter-spacing: 2px; }"
    "QCheckBox { color: rgb(214, 226, 232); font: 11px 'DejaVu Sans'; }"
    "QCheckBox:focus, QComboBox:focus, QSpinBox:focus, QDoubleSpinBox:focus,"
    "  QPushButton:focus { border: 2px solid " GW_RGB_ACCENT "; }"
    "QComboBox, QSpinBox, QDoubleSpinBox { background: rgb(14, 17, 22); color: rgb(214, 226, 232);"
    "  border: 1px solid rgb(84, 98, 116); border-radius: 3px; padding: 1px 4px;"
    "  font: 11px 'DejaVu Sans'; }"
    "QComboBox QAbstractItemView { background: rgb(14, 17, 22); color: rgb(214, 226, 232);"
    "  selection-background-color: " GW_RGB_ACCENT "; selection-color: " GW_RGB_INK "; }"
    "QPushButton { background: rgb(52, 62, 76); color: rgb(232, 236, 240);"
    "  border: 1px solid rgb(18, 22, 30); border-radius: 3px; padding: 3px 10px;"
    "  font: bold 11px 'DejaVu Sans'; }"
    "QPushButton:hover { background: rgb(84, 98, 116); }"
    "QPushButton:pressed { background: " GW_RGB_ACCENT "; color: " GW_RGB_INK "; }";

QColor ToQColor(const Rgba& c) {
    return QColor(c.r, c.g, c.b, c.a);
}

Rgba FromQColor(const QColor& c) {
    return {uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()), uint8_t(c.alpha())};
}

// A colour button shows its colour over a checkerboard, so alpha shows too.
void ShowSwatch(QPushButton* button, const Rgba& colour) {
    QPixmap swatch(28, 14);
    QPainter p(&swatch);
    for (int y = 0; y < 14; y += 7)
        for (int x = 0; x < 28; x += 7)
            p.fillRect(x, y, 7, 7, ((x + y) / 7) % 2 ? QColor(200, 200, 200) : Qt::white);
    p.fillRect(swatch.rect(), ToQColor(colour));
    p.end();
    button->setIcon(swatch);
    button->setIconSize(swatch.size());
    button->setToolTip(QString::fromStdString(FormatColour(colour)));
}

} // namespace

OptionsDialog::OptionsDialog(const TemplateOptions& options, ModelTextures& textures, int selected,
                             QWidget* parent)
    : LaidOutDialog(OptionsDialogLayout(), parent), m_options(options), m_textures(textures),
      m_selected(selected) {
    m_baker = new QThreadPool(this);
    m_baker->setMaxThreadCount(1);
}

OptionsDialog::~OptionsDialog() {
    if (m_bakeCancel)
        *m_bakeCancel = true;
    m_baker->waitForDone();
}

void OptionsDialog::Setup() {
    setStyleSheet(kPanelStyle);
    setWindowTitle(tr("Template options"));
    BuildControls();
    // As large as its controls ask in the language spoken: the preview and
    // the longest words show whole.
    setFixedSize(size().expandedTo(layout()->totalSizeHint()));
    WriteControls();
    DrawPreview();
    m_sizes->setFocus();
}

void OptionsDialog::BuildControls() {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(14, 10, 14, 12);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);
    auto* title = new QLabel(tr("TEMPLATE OPTIONS"), this);
    title->setObjectName("title");
    grid->addWidget(title, 0, 0, 1, 4);

    int row = 1;
    auto label = [&](const QString& text) { grid->addWidget(new QLabel(text, this), row, 0); };
    auto colourButton = [&](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };

    label(tr("Size"));
    m_sizes = new QComboBox(this);
    m_sizes->setObjectName("sizes");
    m_sizes->addItem(tr("The texture's size"), -1);
    for (int side : kPresetSizes)
        m_sizes->addItem(QString("%1 × %1").arg(side), side);
    m_sizes->addItem(tr("Other"), 0);
    grid->addWidget(m_sizes, row, 1);
    auto* custom = new QHBoxLayout;
    m_width = new QSpinBox(this);
    m_height = new QSpinBox(this);
    m_width->setObjectName("width");
    m_height->setObjectName("height");
    for (QSpinBox* box : {m_width, m_height})
        box->setRange(1, kMaxTemplateSide);
    custom->addWidget(m_width);
    custom->addWidget(new QLabel("×", this));
    custom->addWidget(m_height);
    grid->addLayout(custom, row++, 2, 1, 2);

    label(tr("Coordinates"));
    m_wrap = new QComboBox(this);
    m_wrap->setObjectName("wrap");
    m_wrap->addItems({tr("Repeated, as in the game"), tr("As stored")});
    grid->addWidget(m_wrap, row++, 1, 1, 3);

    // Only where a model holds several sets (glTF): which one is laid out.
    if (m_textures.UvSetCount() > 1) {
        label(tr("Texture coordinates"));
        m_uvSet = new QSpinBox(this);
        m_uvSet->setObjectName("uvSet");
        m_uvSet->setRange(0, m_textures.UvSetCount() - 1);
        m_uvSet->setPrefix(tr("Set "));
        m_uvSet->setValue(m_initialUvSet = m_textures.UvSet());
        grid->addWidget(m_uvSet, row++, 1, 1, 3);
        connect(m_uvSet, &QSpinBox::valueChanged, this, [this](int set) {
            if (m_textures.UseUvSet(set))
                DrawPreview();
        });
    }

    label(tr("Surfaces"));
    m_surfaces = new QComboBox(this);
    m_surfaces->setObjectName("surfaces");
    m_surfaces->addItems({tr("The chosen surface"), tr("All of its texture, in this model"),
                          tr("All of its texture, in this player"),
                          tr("All of its texture, in the game"), tr("All")});
    grid->addWidget(m_surfaces, row++, 1, 1, 3);

    label(tr("Lines"));
    m_lineColour = colourButton("lineColour");
    grid->addWidget(m_lineColour, row, 1);
    m_lineWidth = new QDoubleSpinBox(this);
    m_lineWidth->setObjectName("lineWidth");
    m_lineWidth->setRange(0.1, kMaxLineWidth);
    m_lineWidth->setSingleStep(0.5);
    m_lineWidth->setDecimals(1);
    m_lineWidth->setSuffix(tr(" px"));
    grid->addWidget(m_lineWidth, row, 2);
    m_antialias = new QCheckBox(tr("Smoothed"), this);
    m_antialias->setObjectName("antialias");
    grid->addWidget(m_antialias, row++, 3);

    // A row of a colour and the switch that goes with it.
    auto colourRow = [&](const QString& text, const char* colourName, QPushButton*& colour,
                         const QString& switchText, const char* switchName, QCheckBox*& box) {
        label(text);
        colour = colourButton(colourName);
        grid->addWidget(colour, row, 1);
        box = new QCheckBox(switchText, this);
        box->setObjectName(switchName);
        grid->addWidget(box, row++, 2, 1, 2);
    };
    colourRow(tr("Background"), "backgroundColour", m_backgroundColour, tr("Transparent"),
              "transparent", m_transparent);
    colourRow(tr("Faces"), "fillColour", m_fillColour, tr("Filled"), "fill", m_fill);
    colourRow(tr("Overlaps"), "overlapColour", m_overlapColour, tr("Shown"), "overlaps",
              m_overlaps);
    m_colourBySurface = new QCheckBox(tr("One colour per surface"), this);
    m_colourBySurface->setObjectName("colourBySurface");
    grid->addWidget(m_colourBySurface, row++, 1, 1, 3);

    colourRow(tr("Seams"), "seamsColour", m_seamsColour, tr("Shown"), "seams", m_seams);
    colourRow(tr("Flipped faces"), "flippedColour", m_flippedColour, tr("Shown"), "flipped",
              m_flipped);

    label(tr("Islands"));
    m_outlineIslands = new QCheckBox(tr("Only their borders"), this);
    m_outlineIslands->setObjectName("outlineIslands");
    grid->addWidget(m_outlineIslands, row, 1, 1, 2);
    m_islands = new QCheckBox(tr("Each in its own colour"), this);
    m_islands->setObjectName("islands");
    grid->addWidget(m_islands, row++, 3);

    label(tr("Texture"));
    m_underlay = new QCheckBox(tr("Underneath (images and PDF)"), this);
    m_underlay->setObjectName("underlay");
    grid->addWidget(m_underlay, row, 1, 1, 2);
    m_underlayOpacity = new QDoubleSpinBox(this);
    m_underlayOpacity->setObjectName("underlayOpacity");
    m_underlayOpacity->setRange(0, 100);
    m_underlayOpacity->setDecimals(0);
    m_underlayOpacity->setSingleStep(10);
    m_underlayOpacity->setSuffix(" %");
    grid->addWidget(m_underlayOpacity, row++, 3);

    // Shading baked from the model, for layered files: two rows of three
    // switches, the rays beside the second.
    label(tr("Baked (PSD, ORA)"));
    const std::pair<BakeLayer, QString> bakes[] = {
        {BakeLayer::Occlusion, tr("Occlusion")}, {BakeLayer::Light, tr("Light")},
        {BakeLayer::Normals, tr("Normals")},     {BakeLayer::Curvature, tr("Curvature")},
        {BakeLayer::Density, tr("Density")},     {BakeLayer::NeverSeen, tr("Never seen")}};
    for (size_t i = 0; i < std::size(bakes); ++i) {
        auto* box = new QCheckBox(bakes[i].second, this);
        box->setObjectName(QString("bake_") + InfoOf(bakes[i].first).name);
        box->setToolTip(tr("Bakes “%1” into PSD and ORA templates as a layer of its own. The "
                           "preview shows every layer chosen, from %2 rays a texel.")
                            .arg(bakes[i].second)
                            .arg(kPreviewRays));
        m_bakeBoxes.emplace_back(bakes[i].first, box);
        if (i == 3) {
            ++row;
            m_bakeRays = new QSpinBox(this);
            m_bakeRays->setObjectName("bakeRays");
            m_bakeRays->setRange(1, kMaxOcclusionRays);
            m_bakeRays->setSuffix(tr(" rays"));
            m_bakeRays->setToolTip(tr("Rays a texel of ambient occlusion and the never-seen "
                                      "mask cast: more is smoother and slower."));
            grid->addWidget(m_bakeRays, row, 0);
        }
        grid->addWidget(box, row, 1 + int(i % 3));
    }
    ++row;

    m_previewLabel = new QLabel(this);
    m_previewLabel->setObjectName("preview");
    m_previewLabel->setFixedSize(kPreviewSide + 4, kPreviewSide + 4);
    m_previewLabel->setAlignment(Qt::AlignCenter);
    m_previewLabel->setStyleSheet(
        "background: rgb(14, 17, 22); border: 1px solid rgb(84, 98, 116);");
    grid->addWidget(m_previewLabel, 1, 4, row - 1, 1, Qt::AlignTop);

    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton(tr("Reset"), this);
    reset->setObjectName("reset");
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName("cancel");
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName("ok");
    for (QPushButton* b : {reset, cancel, ok})
        b->setAutoDefault(false);
    buttons->addWidget(reset);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    grid->addLayout(buttons, row, 0, 1, 5);

    connect(reset, &QPushButton::clicked, this, [this] { OnReset(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_sizes, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_writing)
            return;
        const int side = m_sizes->itemData(index).toInt();
        m_options.textureSize = side < 0;
        if (side > 0) {
            m_writing = true;
            m_width->setValue(side);
            m_height->setValue(side);
            m_writing = false;
        }
        ReadControls();
    });
    const auto changed = [this] {
        if (!m_writing)
            ReadControls();
    };
    for (QSpinBox* box : {m_width, m_height})
        connect(box, &QSpinBox::valueChanged, this, changed);
    connect(m_lineWidth, &QDoubleSpinBox::valueChanged, this, changed);
    connect(m_underlayOpacity, &QDoubleSpinBox::valueChanged, this, changed);
    connect(m_bakeRays, &QSpinBox::valueChanged, this, changed);
    for (const auto& [layer, box] : m_bakeBoxes)
        connect(box, &QCheckBox::toggled, this, changed);
    // A size typed in replaces the texture's.
    for (QSpinBox* box : {m_width, m_height})
        connect(box, &QSpinBox::valueChanged, this, [this] {
            if (!m_writing)
                m_options.textureSize = false;
        });
    for (QComboBox* box : {m_wrap, m_surfaces})
        connect(box, &QComboBox::currentIndexChanged, this, changed);
    for (QCheckBox* box : {m_antialias, m_transparent, m_fill, m_overlaps, m_colourBySurface,
                           m_underlay, m_seams, m_flipped, m_outlineIslands, m_islands})
        connect(box, &QCheckBox::toggled, this, changed);
    connect(m_lineColour, &QPushButton::clicked, this,
            [this] { PickColour(m_lineColour, m_options.style.line); });
    connect(m_backgroundColour, &QPushButton::clicked, this,
            [this] { PickColour(m_backgroundColour, m_backgroundPick); });
    connect(m_fillColour, &QPushButton::clicked, this,
            [this] { PickColour(m_fillColour, m_fillPick); });
    connect(m_overlapColour, &QPushButton::clicked, this,
            [this] { PickColour(m_overlapColour, m_options.style.overlapColour); });
    connect(m_seamsColour, &QPushButton::clicked, this,
            [this] { PickColour(m_seamsColour, m_seamsPick); });
    connect(m_flippedColour, &QPushButton::clicked, this,
            [this] { PickColour(m_flippedColour, m_flippedPick); });
}

void OptionsDialog::PickColour(QPushButton* button, Rgba& colour) {
    const QColor chosen =
        QColorDialog::getColor(ToQColor(colour), this, tr("Colour"),
                               QColorDialog::ShowAlphaChannel | QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid())
        return;
    colour = FromQColor(chosen);
    ShowSwatch(button, colour);
    ReadControls();
}

int OptionsDialog::PresetIndex() const {
    if (m_options.textureSize)
        return 0;
    const TemplateStyle& s = m_options.style;
    for (int i = 1; i + 1 < m_sizes->count(); ++i)
        if (s.width == s.height && m_sizes->itemData(i).toInt() == s.width)
            return i;
    return m_sizes->count() - 1;
}

void OptionsDialog::WriteControls() {
    m_writing = true;
    const TemplateStyle& s = m_options.style;
    m_width->setValue(s.width);
    m_height->setValue(s.height);
    m_sizes->setCurrentIndex(PresetIndex());
    m_wrap->setCurrentIndex(s.wrap == WrapMode::Clip ? 1 : 0);
    m_surfaces->setCurrentIndex(int(m_options.surfaces));
    m_lineWidth->setValue(s.lineWidth);
    m_antialias->setChecked(s.antialias);
    if (s.background)
        m_backgroundPick = *s.background;
    m_transparent->setChecked(!s.background);
    if (s.fill)
        m_fillPick = *s.fill;
    m_fill->setChecked(bool(s.fill));
    m_overlaps->setChecked(s.overlaps);
    if (s.seams)
        m_seamsPick = *s.seams;
    m_seams->setChecked(bool(s.seams));
    if (s.flipped)
        m_flippedPick = *s.flipped;
    m_flipped->setChecked(bool(s.flipped));
    m_outlineIslands->setChecked(s.outline == Outline::Islands);
    m_islands->setChecked(s.islands);
    m_colourBySurface->setChecked(s.colourBySurface);
    m_underlay->setChecked(m_options.underlay);
    m_underlayOpacity->setValue(m_options.underlayOpacity * 100);
    for (const auto& [layer, box] : m_bakeBoxes)
        box->setChecked(std::find(m_options.bake.begin(), m_options.bake.end(), layer) !=
                        m_options.bake.end());
    m_bakeRays->setValue(m_options.bakeRays);
    ShowSwatch(m_lineColour, s.line);
    ShowSwatch(m_backgroundColour, m_backgroundPick);
    ShowSwatch(m_fillColour, m_fillPick);
    ShowSwatch(m_overlapColour, s.overlapColour);
    ShowSwatch(m_seamsColour, m_seamsPick);
    ShowSwatch(m_flippedColour, m_flippedPick);
    ShowSizeBoxes();
    m_writing = false;
}

bool OptionsDialog::SizeFromTexture() const {
    return StyleFor(m_options, m_textures, m_selected).sizeFromTexture;
}

void OptionsDialog::ShowSizeBoxes() {
    const bool fromTexture = SizeFromTexture();
    const TemplateStyle shown = StyleFor(m_options, m_textures, m_selected).style;
    const bool writing = m_writing;
    m_writing = true;
    m_width->setValue(fromTexture ? shown.width : m_options.style.width);
    m_height->setValue(fromTexture ? shown.height : m_options.style.height);
    m_writing = writing;
    m_width->setEnabled(!fromTexture);
    m_height->setEnabled(!fromTexture);
}

void OptionsDialog::ReadControls() {
    TemplateStyle& s = m_options.style;
    // Boxes that show the texture's size keep the size chosen before.
    if (!SizeFromTexture()) {
        s.width = m_width->value();
        s.height = m_height->value();
    }
    s.wrap = m_wrap->currentIndex() == 1 ? WrapMode::Clip : WrapMode::Repeat;
    m_options.surfaces =
        SurfaceChoice(std::clamp(m_surfaces->currentIndex(), 0, int(SurfaceChoice::All)));
    s.lineWidth = m_lineWidth->value();
    s.antialias = m_antialias->isChecked();
    s.background =
        m_transparent->isChecked() ? std::nullopt : std::optional<Rgba>(m_backgroundPick);
    s.fill = m_fill->isChecked() ? std::optional<Rgba>(m_fillPick) : std::nullopt;
    s.overlaps = m_overlaps->isChecked();
    s.seams = m_seams->isChecked() ? std::optional<Rgba>(m_seamsPick) : std::nullopt;
    s.flipped = m_flipped->isChecked() ? std::optional<Rgba>(m_flippedPick) : std::nullopt;
    s.outline = m_outlineIslands->isChecked() ? Outline::Islands : Outline::All;
    s.islands = m_islands->isChecked();
    s.colourBySurface = m_colourBySurface->isChecked();
    m_options.underlay = m_underlay->isChecked();
    m_options.underlayOpacity = m_underlayOpacity->value() / 100;
    // Layers chosen earlier keep their place; a new one goes last.
    std::vector<BakeLayer> bake;
    for (const BakeLayer layer : m_options.bake)
        for (const auto& [boxLayer, box] : m_bakeBoxes)
            if (boxLayer == layer && box->isChecked())
                bake.push_back(layer);
    for (const auto& [layer, box] : m_bakeBoxes)
        if (box->isChecked() && std::find(bake.begin(), bake.end(), layer) == bake.end())
            bake.push_back(layer);
    m_options.bake = bake;
    m_options.bakeRays = m_bakeRays->value();
    // The preset follows the spin boxes.
    m_writing = true;
    m_sizes->setCurrentIndex(PresetIndex());
    ShowSizeBoxes();
    m_writing = false;
    DrawPreview();
}

void OptionsDialog::SetOptions(const TemplateOptions& options) {
    m_options = options;
    if (m_width) {
        WriteControls();
        DrawPreview();
    }
}

void OptionsDialog::OnReset() {
    SetOptions(TemplateOptions{});
}

void OptionsDialog::DrawPreview() {
    // The template as it will be written, fitted into the preview square.
    const StyledTemplate styled = StyleFor(m_options, m_textures, m_selected);
    TemplateStyle style = styled.style;
    const double scale = double(kPreviewSide) / std::max(style.width, style.height);
    style.width = std::max(1, int(std::lround(style.width * scale)));
    style.height = std::max(1, int(std::lround(style.height * scale)));
    const TemplateImage image = m_options.bake.empty()
                                    ? DrawTemplateImage(style, styled.surfaces)
                                    : WithPreviewBake(style, styled.surfaces, styled);
    if (image.width == 0)
        return;
    QImage picture(image.width, image.height, QImage::Format_ARGB32_Premultiplied);
    std::memcpy(picture.bits(), image.pixels.data(), image.pixels.size() * 4);
    // Transparency shows over a checkerboard, as image editors show it.
    m_preview = QImage(picture.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&m_preview);
    for (int y = 0; y < m_preview.height(); y += 8)
        for (int x = 0; x < m_preview.width(); x += 8)
            p.fillRect(x, y, 8, 8,
                       ((x + y) / 8) % 2 ? QColor(190, 190, 190) : QColor(235, 235, 235));
    p.drawImage(0, 0, picture);
    p.end();
    if (m_previewLabel)
        m_previewLabel->setPixmap(QPixmap::fromImage(m_preview));
}

TemplateImage OptionsDialog::WithPreviewBake(const TemplateStyle& style,
                                             const std::vector<const Surface*>& surfaces,
                                             const StyledTemplate& styled) {
    const PreviewBakeKey key{surfaces, style.wrap, style.width, style.height};
    if (!(key == m_bakedFor) && !(m_bakeCancel && key == m_bakingFor)) {
        if (m_bakeCancel)
            *m_bakeCancel = true;
        // Every layer at once, so that switching one on or off is instant.
        StyledTemplate sized = styled;
        sized.style = style;
        std::vector<BakeLayer> every;
        for (const BakeLayerInfo& info : BakeLayers())
            every.push_back(info.layer);
        TemplateBake bake = PrepareTemplateBake(sized, m_textures, every, kPreviewRays);
        auto cancel = std::make_shared<std::atomic<bool>>(false);
        bake.request.occlusion.cancel = cancel.get();
        m_bakeCancel = cancel;
        m_bakingFor = key;
        QPointer<OptionsDialog> self(this);
        m_baker->start([self, bake, cancel, key] {
            Result<BakedForTemplate> baked = RunTemplateBake(bake);
            if (*cancel)
                return;
            std::shared_ptr<const std::vector<LayerImage>> layers =
                baked.ok() ? baked.value().layers
                           : std::make_shared<const std::vector<LayerImage>>();
            QMetaObject::invokeMethod(
                qApp,
                [self, cancel, key, layers] {
                    if (!self || self->m_bakeCancel != cancel)
                        return;
                    self->m_bakeCancel.reset();
                    self->m_bakedFor = key;
                    self->m_baked = layers;
                    self->DrawPreview();
                },
                Qt::QueuedConnection);
        });
    }
    LayeredTemplate layered = DrawLayeredTemplate(style, surfaces);
    if (!(key == m_bakedFor) || !m_baked || layered.merged.width == 0)
        return std::move(layered.merged);
    std::vector<LayerImage> chosen;
    for (const LayerImage& layer : *m_baked)
        for (const BakeLayer wanted : m_options.bake)
            if (layer.name == InfoOf(wanted).title) {
                chosen.push_back(layer);
                chosen.back().visible = true;
            }
    InsertLayersAboveTexture(layered, std::move(chosen), style);
    return std::move(layered.merged);
}

QWidget* OptionsDialog::Control(const char* name) const {
    return findChild<QWidget*>(name);
}

void OptionsDialog::reject() {
    // The model's coordinates go back to those it had.
    if (m_uvSet)
        m_textures.UseUvSet(m_initialUvSet);
    LaidOutDialog::reject();
}

void OptionsDialog::accept() {
    ReadControls();
    m_options.Save();
    LaidOutDialog::accept();
}
