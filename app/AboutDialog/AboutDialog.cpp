#include "app/AboutDialog/AboutDialog.h"

#include "res/Templates.h"

AboutDialog::AboutDialog(QWidget* parent) : CDialog(AboutDialogTemplate(), parent) {}
