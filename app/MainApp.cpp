#include "MainApp.h"

#include "MainDlg.h"

bool CMainApp::InitInstance() {
    CMainDlg dialog(nullptr);
    dialog.DoModal();
    return false;
}
