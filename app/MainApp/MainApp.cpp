#include "app/MainApp/MainApp.h"

#include "app/MainDlg/MainDlg.h"

bool CMainApp::InitInstance(const std::string& startModel) {
    CMainDlg dialog(nullptr, startModel);
    dialog.DoModal();
    return false;
}
