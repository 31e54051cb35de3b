#include "app/ExportDlg/ExportDlg.h"

#include "export/BmpTemplate.h"
#include "export/EpsTemplate.h"
#include "model/Md3Reader.h"
#include "model/SurfaceStore.h"
#include "platform/Desktop.h"
#include "res/Palette.h"
#include "res/Templates.h"
#include "res/Texts.h"

#include <QFile>

int SizeFromIndex(int position) {
    static const int sizes[] = {32, 64, 128, 256};
    return position >= 0 && position < 4 ? sizes[position] : 128;
}

CExportDlg::CExportDlg(QWidget* parent) : CDialog(ExportDialogTemplate(), parent) {}

void CExportDlg::DoDataExchange(DataExchange& exchange) {
    exchange.Radio(IDC_WIDTH_32, m_widthIndex);
    exchange.Radio(IDC_HEIGHT_32, m_heightIndex);
}

bool CExportDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Size buttons in the product's colours; a checked one stays pressed in orange.
    setStyleSheet("QPushButton { background: rgb(52, 62, 76); color: rgb(232, 236, 240);"
                  "  border: 1px solid rgb(18, 22, 30); border-radius: 3px;"
                  "  font: bold 11px 'DejaVu Sans'; }"
                  "QPushButton:hover { background: rgb(84, 98, 116); }"
                  "QPushButton:checked { background: " GW_RGB_ACCENT "; color: " GW_RGB_INK ";"
                  "  border-style: inset; }");
    m_widthIndex = 2;
    m_heightIndex = 2;
    UpdateData(false);
    return true;
}

void CExportDlg::OnCommand(int id, int notification) {
    if (id == IDC_COPY && notification == BN_CLICKED)
        CopyLayoutToClipboard();
    else
        CDialog::OnCommand(id, notification);
}

void CExportDlg::OnOK() {
    UpdateData(true);
    const int width = SizeFromIndex(m_widthIndex), height = SizeFromIndex(m_heightIndex);
    g_exportSurface = g_selectedSurface;
    FileDialogSettings settings;
    settings.open = false;
    settings.defaultExtension = "*";
    settings.initialName = "*.*";
    settings.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    settings.filter = QString::fromUtf8(kTemplateFilter);
    const FileDialogResult chosen = RunFileDialog(this, settings);
    if (chosen.accepted) {
        const QString extension = chosen.extension.toLower();
        if (extension == "eps")
            WriteEpsTemplate(width, height, chosen.path);
        else if (extension == "bmp")
            WriteBmpTemplate(width, height, chosen.path, 24);
        else
            ShowMessageBox(this, kFailureMessage,
                           QString::fromUtf8(kUnknownTemplateExtension).arg(chosen.extension));
    }
    CDialog::OnOK();
}

bool CExportDlg::ShowOutcome(const Outcome& outcome) {
    if (!outcome.ok)
        ShowMessageBox(this, kFailureMessage, QString::fromLocal8Bit(outcome.reason.c_str()));
    return outcome.ok;
}

bool CExportDlg::WriteEpsTemplate(int width, int height, const QString& path) {
    return ShowOutcome(::WriteEpsTemplate(width, height, QFile::encodeName(path).toStdString()));
}

bool CExportDlg::WriteBmpTemplate(int width, int height, const QString& path, int bitsPerPixel) {
    return ShowOutcome(
        ::WriteBmpTemplate(width, height, QFile::encodeName(path).toStdString(), bitsPerPixel));
}
