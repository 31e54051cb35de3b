#include "app/AboutDlg/AboutDlg.h"

#include "res/Templates.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(AboutDialogTemplate(), parent) {}
