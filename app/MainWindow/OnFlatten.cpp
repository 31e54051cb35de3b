// Flatten: the export dialog for the selected surface.
#include "app/ExportDialog/ExportDialog.h"
#include "app/MainWindow/MainWindow.h"
#include "model/Model.h"

void MainWindow::OnFlatten() {
    // Only a surface of the loaded model that is selected in the list: after a
    // new load the list has no selection, whatever m_selected still holds.
    const int selected = SelectedRow(m_surfaceList);
    if (m_selected == -1 || selected != m_selected || selected >= m_textures.SurfaceCount())
        return;
    ExportDialog dialog(m_textures, m_selected, this);
    dialog.Run();
    if (!dialog.confirmation().isEmpty())
        ShowStatus(dialog.confirmation(), true);
    // The dialog may have changed the options; the preview follows them.
    m_options = TemplateOptions::Load();
    DrawSurfacePreview();
}
