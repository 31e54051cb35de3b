#pragma once
#include "platform/Dialog.h"

// The about box: a picture with an OK dial.
class CAboutDlg : public CDialog {
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
