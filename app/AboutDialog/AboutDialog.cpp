#include "app/AboutDialog/AboutDialog.h"

#include "res/Layouts.h"

#include <QAbstractButton>

AboutDialog::AboutDialog(QWidget* parent) : LaidOutDialog(AboutDialogLayout(), parent) {}

void AboutDialog::Setup() {
    connect(button("ok"), &QAbstractButton::clicked, this, &QDialog::accept);
}
