#pragma once
#include "platform/Dialog.h"

// The about box: a picture with an OK dial.
class AboutDialog : public CDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
