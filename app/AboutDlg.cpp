#include "AboutDlg.h"

#include "Templates.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(AboutDialogTemplate(), parent) {}
