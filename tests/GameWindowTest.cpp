// The window on a game as it ships: a model chosen inside a pak, or in a game
// folder, through the model browser; its skin, shader and texture read from
// the pak, and the SKIN box saying so.
#include "app/MainWindow/MainWindow.h"
#include "app/ModelBrowser/ModelBrowser.h"
#include "tests/GuiHarness.h"
#include "tests/TestModels.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::string MakeTestPaks(const TempDir& dir) {
    const std::string command =
        std::string(GW_MAKE_TEST_MODELS) + " '" + dir.path().string() + "' > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return dir.File("paks/base");
}

// Answers the model browser: types a filter and opens what remains.
void Choose(QWidget* modal, const QString& filter) {
    auto* browser = qobject_cast<ModelBrowser*>(modal);
    ASSERT_NE(browser, nullptr);
    QTest::keyClicks(browser->filter(), filter);
    browser->accept();
}

} // namespace

TEST(GameWindow, AModelInsideAPakWearsThePaksSkinShaderAndTexture) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::string base = MakeTestPaks(dir);
    auto window = StartMainWindow();
    desktop.answers.push_back(QString::fromStdString(base + "/pak0.pk3"));
    ASSERT_TRUE(WithModal([&] { window->OnLoadMd3(); }, [](QWidget* w) { Choose(w, "UPPER"); }));
    ASSERT_NE(window->model(), nullptr);
    EXPECT_EQ(window->model()->path, base + "/pak0.pk3:models/pak/upper.md3");
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("upper.md3 — Gridwright"));
    SelectRow(*window, 0); // u_torso: a shader through the pak's skin
    EXPECT_EQ(window->texturePath(), "models/pak/torso_s");
    const QString tip = window->textureList()->toolTip();
    EXPECT_TRUE(tip.contains("through the shader script scripts/pak.shader")) << tip.toStdString();
    EXPECT_TRUE(
        tip.contains(QString::fromStdString(base + "/pak0.pk3:models/pak/torso.tga (16 × 8)")))
        << tip.toStdString();
}

TEST(GameWindow, AGameFoldersModelsAreBrowsedAndOpened) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::string base = MakeTestPaks(dir);
    auto window = StartMainWindow();
    desktop.answers.push_back(QString::fromStdString(base));
    QStringList listed;
    ASSERT_TRUE(WithModal([&] { window->OnOpenGameFolder(); },
                          [&](QWidget* w) {
                              auto* browser = qobject_cast<ModelBrowser*>(w);
                              ASSERT_NE(browser, nullptr);
                              for (int i = 0; i < browser->list()->count(); ++i)
                                  listed << browser->list()->item(i)->text();
                              Choose(w, "shared");
                          }));
    EXPECT_EQ(listed, (QStringList{"models/loose/digits.md3", "models/pak/shared.md3",
                                   "models/pak/upper.md3"}));
    ASSERT_NE(window->model(), nullptr);
    EXPECT_EQ(window->surfaceList()->count(), 3); // body, antenna, wheels
    EXPECT_TRUE(desktop.asked.back().folder);
}

TEST(GameWindow, TheGamesProblemsAreSaidOnceItsScriptsAreRead) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::string base = MakeTestPaks(dir);
    WriteWholeFile(base + "/zz-broken.pk3", "not a zip at all");
    std::filesystem::create_directories(base + "/scripts");
    WriteWholeFile(base + "/scripts/broken.shader", "textures/cut {\n  { map textures/cut.tga }\n");
    WriteWholeFile(base + "/scripts/missing.shader",
                   "models/pak/none { { map models/pak/nowhere.tga } }\n");
    auto window = StartMainWindow();
    desktop.answers.push_back(QString::fromStdString(base + "/pak0.pk3"));
    ASSERT_TRUE(WithModal([&] { window->OnLoadMd3(); }, [](QWidget* w) { Choose(w, "UPPER"); }));
    ASSERT_NE(window->model(), nullptr);
    // The scripts are read on a thread of their own; the window says what
    // they and the paks held wrong when they are done.
    for (int i = 0; i < 500 && !window->statusText().contains("broken.shader"); ++i)
        QTest::qWait(10);
    const QString status = window->statusText();
    EXPECT_TRUE(status.contains("zz-broken.pk3")) << status.toStdString();
    EXPECT_TRUE(status.contains("scripts/broken.shader: line 1")) << status.toStdString();
    SelectRow(*window, 0);
    EXPECT_TRUE(window->textureList()->toolTip().contains("pak0.pk3:models/pak/torso.tga"))
        << window->textureList()->toolTip().toStdString();
    // A shader whose image is missing is named with the image it wants.
    SelectRow(*window, 1); // u_arm wears models/pak/none
    const QString tip = window->textureList()->toolTip();
    EXPECT_TRUE(tip.contains("through the shader script scripts/missing.shader"))
        << tip.toStdString();
    EXPECT_TRUE(tip.contains("names the image \"models/pak/nowhere.tga\"")) << tip.toStdString();
}
