#include "app/MainApp/MainApp.h"

#include "app/MainDlg/MainDlg.h"

bool CMainApp::InitInstance() {
    CMainDlg dialog(nullptr);
    dialog.DoModal();
    return false;
}
