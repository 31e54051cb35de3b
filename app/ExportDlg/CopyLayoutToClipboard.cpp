// Copy: the template of the selected surface as a picture on the clipboard.
#include "app/ExportDlg/ExportDlg.h"
#include "app/ExportDlg/LayoutImage.h"
#include "model/SurfaceStore.h"
#include "platform/Desktop.h"
#include "render/LayoutRaster.h"

void CExportDlg::CopyLayoutToClipboard() {
    UpdateData(true);
    const int width = SizeFromIndex(m_widthIndex), height = SizeFromIndex(m_heightIndex);
    std::vector<const SurfaceRecord*> records;
    if (const SurfaceRecord* record = SurfaceAt(g_selectedSurface))
        records.push_back(record);
    // Wrapped as the game shows the texture, like the saved templates.
    const QImage image = LayoutImage(DrawLayoutRaster(records, width, height, WrapMode::Repeat));
    if (image.isNull()) {
        ShowResourceFailure(this);
        return;
    }
    SetClipboardImage(image);
    CDialog::OnOK();
}
