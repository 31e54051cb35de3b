#pragma once
#include "Dialog.h"

// The about box: a picture with an OK dial.
class CAboutDlg : public CDialog {
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

  protected:
    void OnOK() override { CDialog::OnOK(); }
};
