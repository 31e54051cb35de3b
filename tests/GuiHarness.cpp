#include "tests/GuiHarness.h"

#include "tests/Md3Builder.h"
#include "tests/TestModels.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QListWidget>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
constexpr qint64 kModalDeadlineMs = 10000;
}

DesktopStandIn::DesktopStandIn() {
    SetFileDialogHook([this](const FileDialogSettings& settings) {
        asked.push_back(settings);
        if (answers.empty())
            return FileDialogResult{};
        const QString answer = answers.front();
        answers.erase(answers.begin());
        if (answer.isEmpty())
            return FileDialogResult{};
        return DescribeChosenFile(answer, settings.defaultSuffix);
    });
    SetMessageBoxHook([this](const MessageBoxCall& call) { messages.push_back(call); });
}

DesktopStandIn::~DesktopStandIn() {
    SetFileDialogHook(nullptr);
    SetMessageBoxHook(nullptr);
}

ModalSeen WithModal(const std::function<void()>& open, const std::function<void(QWidget*)>& act) {
    ModalSeen seen;
    QWidget* const before = QApplication::activeModalWidget();
    QElapsedTimer sinceShown;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == before)
            return;
        if (seen.shown) {
            // A dialog that `act` failed to end would hang the whole suite.
            if (sinceShown.elapsed() > kModalDeadlineMs) {
                ADD_FAILURE() << "a modal dialog was still open " << kModalDeadlineMs
                              << " ms after the test acted on it";
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->done(QDialog::Rejected);
                else
                    modal->hide();
            }
            return;
        }
        sinceShown.start();
        seen.shown = true;
        seen.size = modal->size();
        act(modal);
    });
    poll.start();
    open();
    poll.stop();
    QApplication::processEvents();
    return seen;
}

void ForgetSettings() {
    GridwrightSettings().clear();
}

std::unique_ptr<MainWindow> StartMainWindow(const std::string& model, bool keepSettings) {
    if (!keepSettings)
        ForgetSettings();
    auto window = std::make_unique<MainWindow>(nullptr, model);
    window->Build();
    window->show();
    QApplication::processEvents();
    return window;
}

std::string WriteSampleModel(const std::string& folder, const std::string& name) {
    Md3ModelDesc model;
    Md3SurfaceDesc head = TriangleSurface("b_head", {0, 0}, {1, 0}, {0, 1});
    head.shaders = {{"models/players/test/head_skin.tga", 0}};
    model.surfaces.push_back(head);
    model.surfaces.push_back(GridSurface("a_legs", 2, "legs"));
    Md3SurfaceDesc tri = TriangleSurface("c_tri", {0.25f, 0.75f}, {0.75f, 0.75f}, {0.5f, 0.25f});
    tri.shaders = {{"textures\\back\\slash.tga", 0}};
    model.surfaces.push_back(tri);
    const std::string path = folder + "/" + name;
    WriteBytesToFile(path, BuildMd3(model).bytes);
    return path;
}

void SelectRow(MainWindow& window, int row) {
    window.surfaceList()->setCurrentRow(row);
    QApplication::processEvents();
}
