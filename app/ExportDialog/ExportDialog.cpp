#include "app/ExportDialog/ExportDialog.h"

#include "app/OptionsDialog/OptionsDialog.h"
#include "export/SafeFile.h"
#include "export/TemplateFile.h"
#include "model/Md3Reader.h"
#include "model/Model.h"
#include "platform/Desktop.h"
#include "res/Palette.h"
#include "res/Templates.h"
#include "res/Texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSettings>

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
    : CDialog(ExportDialogTemplate(), parent), m_textures(textures), m_selected(selected) {}

void ExportDialog::DoDataExchange(DataExchange& exchange) {
    exchange.Radio(IDC_WIDTH_32, m_widthIndex);
    exchange.Radio(IDC_HEIGHT_32, m_heightIndex);
}

bool ExportDialog::OnInitDialog() {
    CDialog::OnInitDialog();
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
    return true;
}

void ExportDialog::ShowSize() {
    const TemplateStyle s = StyleFor(m_options, m_textures, m_selected).style;
    m_widthIndex = IndexOfSize(s.width);
    m_heightIndex = IndexOfSize(s.height);
    UpdateData(false);
    QStringList notes;
    notes << QString("%1 × %2").arg(s.width).arg(s.height);
    const size_t surfaces = Surfaces().size();
    if (surfaces > 1)
        notes << tr("%1 surfaces").arg(surfaces);
    if (s.wrap == WrapMode::Clip)
        notes << tr("telles quelles");
    if (!s.background)
        notes << tr("transparent");
    if (s.overlaps)
        notes << tr("recouvrements");
    if (s.underlay)
        notes << tr("texture dessous");
    if (!s.IsPlain() && s.background && !s.overlaps && !s.underlay)
        notes << tr("stylé");
    if (auto* summary = qobject_cast<QLabel*>(GetDlgItem(IDC_TEMPLATE_SUMMARY)))
        summary->setText(notes.join(" · "));
}

void ExportDialog::OnCommand(int id, int notification) {
    if (notification != BN_CLICKED) {
        CDialog::OnCommand(id, notification);
    } else if (id == IDC_COPY) {
        CopyLayoutToClipboard();
    } else if (id == IDC_OPTIONS) {
        OnOptions();
    } else if (id >= IDC_WIDTH_32 && id <= IDC_HEIGHT_256) {
        UpdateData(true);
        // A size chosen here replaces the texture's.
        const TemplateStyle shown = StyleFor(m_options, m_textures, m_selected).style;
        m_options.style.width = shown.width;
        m_options.style.height = shown.height;
        m_options.textureSize = false;
        if (m_widthIndex >= 0)
            m_options.style.width = SizeFromIndex(m_widthIndex);
        if (m_heightIndex >= 0)
            m_options.style.height = SizeFromIndex(m_heightIndex);
        // Kept only once a template is saved or copied: Cancel forgets it.
        ShowSize();
    } else {
        CDialog::OnCommand(id, notification);
    }
}

void ExportDialog::OnOptions() {
    OptionsDialog panel(m_options, m_textures, m_selected, this);
    if (panel.DoModal() == IDOK) {
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
        name = oneTexture ? TextureNameOf(*records.front()) : FileNameOf(m_textures.model()->path);
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

void ExportDialog::OnOK() {
    QSettings settings = GridwrightSettings();
    const QString folder = settings.value("export/folder", QDir::homePath()).toString();
    FileDialogSettings dialog;
    dialog.open = false;
    dialog.defaultExtension = "*";
    dialog.initialName = QDir(folder).filePath(SuggestedName());
    dialog.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    dialog.filter = QString::fromUtf8(kTemplateFilter);
    const FileDialogResult chosen = RunFileDialog(this, dialog);
    if (chosen.accepted) {
        const QString extension = chosen.extension.toLower();
        bool written = false;
        const TemplateStyle style = StyleFor(m_options, m_textures, m_selected).style;
        if (extension == "eps")
            written = WriteEpsTemplate(style.width, style.height, chosen.path);
        else if (extension == "bmp")
            written = WriteBmpTemplate(style.width, style.height, chosen.path, 24);
        else if (FormatOfPath(QFile::encodeName(chosen.path).toStdString()) !=
                 TemplateFormat::Unknown)
            written = WriteTemplate(chosen.path);
        else
            ShowMessageBox(this, kFailureMessage,
                           QString::fromUtf8(kUnknownTemplateExtension).arg(chosen.extension));
        if (written) {
            settings.setValue("export/folder", QFileInfo(chosen.path).absolutePath());
            m_options.Save();
            m_confirmation = tr("Saved %1, %2 × %3")
                                 .arg(QFileInfo(chosen.path).fileName())
                                 .arg(style.width)
                                 .arg(style.height);
        }
    }
    CDialog::OnOK();
}

bool ExportDialog::ShowOutcome(const Status& outcome) {
    if (!outcome.ok())
        ShowMessageBox(this, kFailureMessage,
                       QString::fromLocal8Bit(outcome.error().Message().c_str()));
    return outcome.ok();
}

bool ExportDialog::WriteTemplate(const QString& path) {
    const TemplateStyle style = StyleFor(m_options, m_textures, m_selected).style;
    return WriteSized(style.width, style.height, path);
}

bool ExportDialog::WriteSized(int width, int height, const QString& path) {
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
    return ShowOutcome(WriteTemplateFile(file, Surfaces(), style));
}

bool ExportDialog::WriteEpsTemplate(int width, int height, const QString& path) {
    return WriteSized(width, height, path);
}

bool ExportDialog::WriteBmpTemplate(int width, int height, const QString& path, int) {
    return WriteSized(width, height, path); // always 24 bits a pixel
}
