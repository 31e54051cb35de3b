// Flatten: the export dialog for the selected surface.
#include "app/ExportDlg/ExportDlg.h"
#include "app/MainDlg/MainDlg.h"
#include "model/SurfaceStore.h"

void CMainDlg::OnFlatten() {
    // Only a surface of the loaded model that is selected in the list: after a
    // new load the list has no selection, whatever g_selectedSurface still holds.
    const int selected = m_surfaceList.GetCurSel();
    if (g_selectedSurface == -1 || selected != g_selectedSurface ||
        selected >= LoadedSurfaceCount())
        return;
    CExportDlg dialog(this);
    dialog.DoModal();
    if (!dialog.confirmation().isEmpty())
        ShowStatus(dialog.confirmation(), true);
    // The dialog may have changed the options; the preview follows them.
    m_options = TemplateOptions::Load();
    DrawSurfacePreview();
}
