// Copy: the template of the selected surface as a picture on the clipboard.
#include "app/ExportDlg/ExportDlg.h"
#include "app/ExportDlg/LayoutImage.h"
#include "model/SurfaceStore.h"
#include "platform/Desktop.h"
#include "render/LayoutRaster.h"

void CExportDlg::CopyLayoutToClipboard() {
    UpdateData(true);
    const int width = SizeFromIndex(m_widthIndex), height = SizeFromIndex(m_heightIndex);
    const QImage image = LayoutImage(DrawLayoutRaster(SurfaceAt(g_selectedSurface), width, height));
    if (image.isNull()) {
        ShowResourceFailure(this);
        return;
    }
    SetClipboardImage(image);
    CDialog::OnOK();
}
