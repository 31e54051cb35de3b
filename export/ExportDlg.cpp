#include "ExportDlg.h"

#include "Desktop.h"
#include "EpsTemplate.h"
#include "MainDlg.h"
#include "Md3Reader.h"
#include "SurfaceStore.h"
#include "TemplateImages.h"
#include "Templates.h"

#include <QFile>
#include <algorithm>

int SizeFromIndex(int position) {
    static const int sizes[] = {32, 64, 128, 256};
    return position >= 0 && position < 4 ? sizes[position] : 128;
}

void CMainDlg::OnFlatten() {
    // Only a surface of the loaded model that is selected in the list: after a
    // new load the list has no selection, whatever g_selectedSurface still holds.
    const int selected = m_surfaceList.GetCurSel();
    if (g_selectedSurface == -1 || selected != g_selectedSurface ||
        selected >= std::clamp(g_surfaceCount, 0, kMaxSurfaces))
        return;
    CExportDlg dialog(this);
    dialog.DoModal();
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
                  "QPushButton:checked { background: rgb(236, 132, 34); color: rgb(20, 22, 26);"
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
    settings.filter = "Fichier EPS (*.eps)|*.eps|Fichier BMP (*.bmp)|*.bmp|";
    const FileDialogResult chosen = RunFileDialog(this, settings);
    if (chosen.accepted) {
        const QString extension = chosen.extension.toLower();
        if (extension == "eps")
            WriteEpsTemplate(width, height, chosen.path);
        else if (extension == "bmp")
            WriteBmpTemplate(width, height, chosen.path, 24);
    }
    CDialog::OnOK();
}

ShowWriteFailure CExportDlg::FailureMessage() {
    return [this](const std::string& reason) {
        ShowMessageBox(this, kFailureMessage, QString::fromLocal8Bit(reason.c_str()));
    };
}

bool CExportDlg::WriteEpsTemplate(int width, int height, const QString& path) {
    return ::WriteEpsTemplate(width, height, QFile::encodeName(path).toStdString(),
                              FailureMessage());
}

bool CExportDlg::WriteBmpTemplate(int width, int height, const QString& path, int bitsPerPixel) {
    return ::WriteBmpTemplate(width, height, QFile::encodeName(path).toStdString(), bitsPerPixel,
                              FailureMessage());
}
