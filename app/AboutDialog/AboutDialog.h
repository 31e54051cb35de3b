#pragma once
#include "platform/LaidOutDialog.h"

// The about box: a picture with an OK dial.
class AboutDialog : public LaidOutDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);

  protected:
    void Setup() override;
};
