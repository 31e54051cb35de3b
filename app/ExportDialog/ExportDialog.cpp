#include "app/ExportDialog/ExportDialog.h"

#include "app/OptionsDialog/OptionsDialog.h"
#include "export/SafeFile.h"
#include "export/TemplateFile.h"
#include "model/Md3Reader.h"
#include "model/Model.h"
#include "platform/Desktop.h"
#include "res/Layouts.h"
#include "res/Palette.h"
#include "res/Texts.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace {

const int kRowSizes[] = {32, 64, 128, 256};

int IndexOfSize(int size) {
    for (int i = 0; i < 4; ++i)
        if (kRowSizes[i] == size)
            return i;
    return -1;
}

} // namespace

int SizeFromIndex(int position) {
    return position >= 0 && position < 4 ? kRowSizes[position] : 128;
}

ExportDialog::ExportDialog(ModelTextures& textures, int selected, QWidget* parent)
    : LaidOutDialog(ExportDialogLayout(), parent), m_textures(textures), m_selected(selected) {}

void ExportDialog::Setup() {
    // Where the painter last put it, when that is still on a screen.
    const QPoint kept = GridwrightSettings().value("export/position").toPoint();
    if (GridwrightSettings().contains("export/position") && QGuiApplication::screenAt(kept))
        PlaceOnScreen(this, QRect(kept, size()));
    connect(button("save"), &QAbstractButton::clicked, this, &ExportDialog::OnSave);
    connect(button("cancel"), &QAbstractButton::clicked, this, &QDialog::reject);
    connect(button("copy"), &QAbstractButton::clicked, this, &ExportDialog::CopyLayoutToClipboard);
    connect(button("options"), &QAbstractButton::clicked, this, &ExportDialog::OnOptions);
    for (const char* row : {"width", "height"})
        for (int side : kRowSizes)
            connect(button(row + QString::number(side)), &QAbstractButton::clicked, this,
                    &ExportDialog::OnSizeClicked);
    // Size buttons in the product's colours; a checked one stays pressed in orange.
    setStyleSheet("QDialog { background: rgb(40, 47, 58); }"
                  "QLabel { color: rgb(214, 226, 232); font: 10px 'DejaVu Sans'; }"
                  "QPushButton { background: rgb(52, 62, 76); color: rgb(232, 236, 240);"
                  "  border: 1px solid rgb(18, 22, 30); border-radius: 3px;"
                  "  font: bold 11px 'DejaVu Sans'; }"
                  "QPushButton:hover { background: rgb(84, 98, 116); }"
                  "QPushButton:focus { border: 2px solid " GW_RGB_ACCENT "; }"
                  "QPushButton:checked { background: " GW_RGB_ACCENT "; color: " GW_RGB_INK ";"
                  "  border-style: inset; }");
    // The last size and options chosen, 128 x 128 and the classic template at first.
    m_options = TemplateOptions::Load();
    ShowSize();
}

void ExportDialog::ShowSize() {
    const TemplateStyle s = StyleFor(m_options, m_textures, m_selected).style;
    CheckIn("width32", IndexOfSize(s.width));
    CheckIn("height32", IndexOfSize(s.height));
    QStringList notes;
    notes << QString("%1 × %2").arg(s.width).arg(s.height);
    const size_t surfaces = Surfaces().size();
    if (surfaces > 1)
        notes << tr("%1 surfaces").arg(surfaces);
    if (s.wrap == WrapMode::Clip)
        notes << tr("as stored");
    if (!s.background)
        notes << tr("transparent");
    if (s.overlaps)
        notes << tr("overlaps");
    if (s.underlay)
        notes << tr("texture underneath");
    if (s.seams)
        notes << tr("seams");
    if (s.flipped)
        notes << tr("flipped faces");
    if (s.outline == Outline::Islands)
        notes << tr("island borders");
    if (s.islands)
        notes << tr("island colours");
    if (!m_options.bake.empty())
        notes << tr("baked layers");
    if (!s.IsPlain() && s.background && !s.overlaps && !s.underlay && !s.seams && !s.flipped &&
        s.outline == Outline::All && !s.islands)
        notes << tr("styled");
    if (auto* summary = qobject_cast<QLabel*>(control("summary")))
        summary->setText(notes.join(" · "));
}

void ExportDialog::OnSizeClicked() {
    // A size chosen here replaces the texture's.
    const TemplateStyle shown = StyleFor(m_options, m_textures, m_selected).style;
    m_options.style.width = shown.width;
    m_options.style.height = shown.height;
    m_options.textureSize = false;
    if (const int width = CheckedIn("width32"); width >= 0)
        m_options.style.width = SizeFromIndex(width);
    if (const int height = CheckedIn("height32"); height >= 0)
        m_options.style.height = SizeFromIndex(height);
    // Kept only once a template is saved or copied: Cancel forgets it.
    ShowSize();
}

void ExportDialog::OnOptions() {
    OptionsDialog panel(m_options, m_textures, m_selected, this);
    if (panel.Run() == QDialog::Accepted) {
        m_options = panel.options();
        ShowSize();
    }
}

std::vector<const Surface*> ExportDialog::Surfaces() const {
    return ChosenSurfaces(m_options.surfaces, m_textures, m_selected);
}

QString ExportDialog::SuggestedName() const {
    const std::vector<const Surface*> records = Surfaces();
    if (records.empty())
        return {};
    std::string name = records.front()->name;
    if (records.size() > 1) {
        // Several surfaces of one texture: the texture's name; of several
        // textures: the model's. Either without folders or extension.
        const std::string key = TextureKey(records.front()->shaderName);
        bool oneTexture = true;
        for (const Surface* r : records)
            oneTexture = oneTexture && TextureKey(r->shaderName) == key;
        // Surfaces of other models too: they were gathered as wearers of the
        // chosen surface's texture file, whatever their own names for it.
        const std::vector<Surface>& own = m_textures.model()->surfaces;
        const bool wearers = std::any_of(records.begin(), records.end(), [&](const Surface* r) {
            return std::none_of(own.begin(), own.end(), [&](const Surface& s) { return &s == r; });
        });
        name = wearers      ? FileNameOf(m_textures.WornTextureName(m_selected))
               : oneTexture ? TextureNameOf(*records.front())
                            : FileNameOf(m_textures.model()->path);
        const auto dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0)
            name.erase(dot);
    }
    QString text = QString::fromUtf8(name.c_str());
    // Characters a file name cannot hold become '_'.
    for (QChar& c : text)
        if (c == '/' || c == '\\' || c.unicode() < 0x20)
            c = '_';
    return text.isEmpty() ? QString("template") : text;
}

QStringList ExportDialog::FileTypes() {
    QStringList types;
    for (const FormatInfo& format : TemplateFormats()) {
        QString label = QString::fromUtf8(format.label);
        for (const FormatLabel& own : kFormatLabels)
            if (QLatin1String(own.extension) == QLatin1String(format.extension))
                label = GW_TEXT(own.label);
        types << QString("%1 (*.%2)").arg(label, QString::fromLatin1(format.extension));
    }
    return types;
}

void ExportDialog::accept() {
    OnSave();
}

void ExportDialog::OnSave() {
    QSettings settings = GridwrightSettings();
    const QString folder = settings.value("export/folder", QDir::homePath()).toString();
    FileDialogSettings dialog;
    dialog.open = false;
    dialog.defaultSuffix = "*";
    dialog.initialName = QDir(folder).filePath(SuggestedName());
    dialog.filters = FileTypes();
    // The type saved last comes first, so the folder lists what was saved there.
    const QString type = settings.value("export/type").toString();
    for (const QString& filter : dialog.filters)
        if (!type.isEmpty() && ExtensionOfFilter(filter).compare(type, Qt::CaseInsensitive) == 0)
            dialog.selectedFilter = filter;
    const FileDialogResult chosen = RunFileDialog(this, dialog);
    if (chosen.accepted) {
        bool written = false;
        const TemplateStyle style = StyleFor(m_options, m_textures, m_selected).style;
        if (FormatOfPath(QFile::encodeName(chosen.path).toStdString()) != TemplateFormat::Unknown)
            written = WriteTemplate(chosen.path);
        else
            ShowMessageBox(this, GW_TEXT(kCannotSaveHeading),
                           GW_TEXT(kUnknownTemplateExtension)
                               .arg(chosen.extension, QString::fromStdString(ExtensionList())));
        if (written) {
            settings.setValue("export/folder", QFileInfo(chosen.path).absolutePath());
            settings.setValue("export/type", QFileInfo(chosen.path).suffix().toLower());
            m_options.Save();
            m_confirmation = tr("Saved %1, %2 × %3")
                                 .arg(QFileInfo(chosen.path).fileName())
                                 .arg(style.width)
                                 .arg(style.height);
            if (!m_bakeNote.isEmpty())
                m_confirmation += "; " + m_bakeNote;
        }
    }
    // A failed save has said why; the dialog closes either way.
    QDialog::accept();
}

QString ExportDialog::WhatTheTypeCannotTake(const TemplateStyle& style, TemplateFormat format) {
    const FormatInfo* info = InfoOf(format);
    if (!info)
        return {};
    const QString type = QString::fromLatin1(info->extension).toUpper();
    if (format == TemplateFormat::Eps) {
        QStringList drawn;
        if (style.seams)
            drawn << tr("seams");
        if (style.flipped)
            drawn << tr("flipped faces");
        if (style.outline == Outline::Islands)
            drawn << tr("island borders");
        if (style.islands)
            drawn << tr("island colours");
        if (!drawn.isEmpty())
            return tr("An EPS template holds only the lines, in one colour: it cannot show %1. "
                      "Save it as SVG, PDF or a picture, or turn that off in the template "
                      "options.")
                .arg(drawn.join(", "));
    }
    if (!info->transparency && (!style.background || style.background->a != 255))
        return tr("A %1 template cannot be transparent. Choose an opaque background in the "
                  "template options, or save it as PNG.")
            .arg(type);
    return {};
}

bool ExportDialog::ShowOutcome(const Status& outcome) {
    if (!outcome.ok())
        ShowMessageBox(this, GW_TEXT(kCannotSaveHeading),
                       QString::fromLocal8Bit(outcome.error().Message().c_str()));
    return outcome.ok();
}

bool ExportDialog::WriteTemplate(const QString& path) {
    const TemplateStyle style = StyleFor(m_options, m_textures, m_selected).style;
    return WriteSized(style.width, style.height, path);
}

bool ExportDialog::WriteSized(int width, int height, const QString& path) {
    m_bakeNote.clear();
    const StyledTemplate styled = StyleFor(m_options, m_textures, m_selected);
    TemplateStyle style = styled.style;
    style.width = width;
    style.height = height;
    const std::string file = QFile::encodeName(path).toStdString();
    const TemplateFormat format = FormatOfPath(file);
    // Smoothing is an option of pictures; pages are smooth anyway. EPS and
    // SVG templates carry no picture of the texture.
    if (format == TemplateFormat::Eps || format == TemplateFormat::Svg ||
        format == TemplateFormat::Pdf)
        style.antialias = false;
    if (format == TemplateFormat::Eps || format == TemplateFormat::Svg)
        style.underlay = nullptr;
    if (const QString why = WhatTheTypeCannotTake(style, format); !why.isEmpty()) {
        ShowMessageBox(this, GW_TEXT(kCannotSaveHeading), why);
        return false;
    }
    if (!m_options.bake.empty()) {
        if (format != TemplateFormat::Psd && format != TemplateFormat::Ora) {
            const FormatInfo* info = InfoOf(format);
            ShowMessageBox(
                this, GW_TEXT(kCannotSaveHeading),
                tr("A %1 template cannot hold baked layers: they go into PSD and ORA templates. "
                   "Save it as PSD or ORA, or turn the baked layers off in the template options.")
                    .arg(info ? QString::fromLatin1(info->extension).toUpper() : QString()));
            return false;
        }
        StyledTemplate sized = styled;
        sized.style = style;
        const std::optional<Result<BakedForTemplate>> baked = BakeWithProgress(sized);
        if (!baked)
            return false; // cancelled: nothing written, nothing to say
        if (!baked->ok()) {
            ShowMessageBox(this, GW_TEXT(kCannotSaveHeading),
                           tr("The layers could not be baked: %1.")
                               .arg(QString::fromLocal8Bit(baked->error().reason.c_str())));
            return false;
        }
        style.baked = baked->value().layers;
        m_bakeNote = baked->value().unplaced == 0
                         ? QString()
                         : tr("%n surface(s) of other models left unshaded", "",
                              int(baked->value().unplaced));
    }
    // The surfaces of the style's own gathering: other models' are kept alive by it.
    return ShowOutcome(WriteTemplateFile(file, styled.surfaces, style));
}

std::optional<Result<BakedForTemplate>>
ExportDialog::BakeWithProgress(const StyledTemplate& styled) {
    TemplateBake bake = PrepareTemplateBake(styled, m_textures, m_options.bake, m_options.bakeRays);
    std::atomic<bool> cancel{false}, done{false};
    std::atomic<double> share{0};
    bake.request.occlusion.cancel = &cancel;
    bake.request.occlusion.progress = [&share](double d) { share = d; };
    std::optional<Result<BakedForTemplate>> baked;
    // A thread bakes while the window stays alive and can be told to stop.
    std::thread worker([&] {
        baked.emplace(RunTemplateBake(bake));
        done = true;
    });
    QProgressDialog progress(tr("Baking the template's layers…"), tr("Cancel"), 0, 100, this);
    progress.setObjectName("bakeProgress");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    while (!done) {
        progress.setValue(int(share * 100));
        if (progress.wasCanceled())
            cancel = true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!done)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    progress.reset();
    if (cancel)
        return std::nullopt;
    return baked;
}

void ExportDialog::Dragged() {
    GridwrightSettings().setValue("export/position", pos());
}
