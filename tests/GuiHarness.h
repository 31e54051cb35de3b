#pragma once
// Stands in for the person at the desktop: answers file dialogs, records
// message boxes, and acts inside modal dialogs.
#include "app/MainWindow/MainWindow.h"
#include "platform/Desktop.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

struct DesktopStandIn {
    DesktopStandIn();
    ~DesktopStandIn();
    // The next file dialogs return these paths in turn; an empty one cancels.
    std::vector<QString> answers;
    std::vector<FileDialogSettings> asked;
    std::vector<MessageBoxCall> messages;
};

// What a modal dialog looked like when it was acted on.
struct ModalSeen {
    bool shown = false;
    QSize size;
    explicit operator bool() const { return shown; }
};

// Runs `act` on the modal dialog that `open` shows, once it is up; `act`
// must end the dialog. The dialog is gone when this returns.
ModalSeen WithModal(const std::function<void()>& open, const std::function<void(QWidget*)>& act);

// A main window created and shown as at start-up, with a model argument if
// given; the remembered options are forgotten first unless kept.
std::unique_ptr<MainWindow> StartMainWindow(const std::string& model = {},
                                            bool keepSettings = false);
void ForgetSettings();
// A sample with known layouts: surfaces b_head, a_legs (a 2x2 grid), c_tri.
std::string WriteSampleModel(const std::string& folder, const std::string& name = "sample.md3");
void SelectRow(MainWindow& window, int row);
