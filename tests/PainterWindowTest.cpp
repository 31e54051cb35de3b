// The window as a painter meets it: reached by keyboard alone, inside the
// screen, whole in French with the words on its pictures translated, opened
// on an archive given as the argument, and following files that come into
// the game while a model is shown.
#include "app/Language/Language.h"
#include "app/ModelBrowser/ModelBrowser.h"
#include "app/OptionsDialog/OptionsDialog.h"
#include "platform/Resources.h"
#include "res/Layouts.h"
#include "tests/GuiHarness.h"
#include "tests/TestModels.h"
#include <QDialog>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

// The widgets Tab visits from the one focused, once round the window.
std::vector<QWidget*> TabRound(QWidget* window) {
    std::vector<QWidget*> visited;
    for (int i = 0; i < 12; ++i) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window, Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    return visited;
}

// The entries of the menu a key opens from the focused control; empty when
// no menu opens.
QStringList MenuOpenedBy(MainWindow& window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QStringList texts;
    QTimer::singleShot(50, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                if (!a->text().isEmpty())
                    texts << a->text();
            menu->close();
        }
    });
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : &window, key, modifiers);
    QTest::qWait(100);
    return texts;
}

// An 8 x 8 picture of one colour, 32-bit, top row first.
std::string OneColourTga(uint8_t r, uint8_t g, uint8_t b) {
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = tga[14] = 8;
    tga[16] = 32;
    tga[17] = 0x28;
    for (int i = 0; i < 64; ++i)
        tga += {char(b), char(g), char(r), char(255)};
    return tga;
}

// Waits up to two seconds for the condition, letting the window work.
bool Within2s(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 2000)
            return false;
        QTest::qWait(50);
    }
    return true;
}

std::string MakeTestPaks(const TempDir& dir) {
    const std::string command =
        std::string(GW_MAKE_TEST_MODELS) + " '" + dir.path().string() + "' > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return dir.File("paks/base");
}

// The share of pixels that differ between two pictures' rectangles.
double Differing(const QImage& a, const QImage& b, const QRect& r) {
    int differ = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            differ += (a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF);
    return double(differ) / (r.width() * r.height());
}

} // namespace

TEST(Keyboard, TabReachesTheSurfaceListAndItsArrowsAndTheMenuKeysOpenTheMenu) {
    TempDir dir;
    DesktopStandIn desktop;
    auto window = StartMainWindow(WriteSampleModel(dir.path().string()));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const std::vector<QWidget*> visited = TabRound(window.get());
    EXPECT_NE(std::find(visited.begin(), visited.end(), window->surfaceList()), visited.end())
        << "Tab never gave the surface list the focus";
    // Once there, the arrows choose the surfaces, without a click.
    for (int i = 0; i < 12 && QApplication::focusWidget() != window->surfaceList(); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), window->surfaceList());
    QTest::keyClick(window->surfaceList(), Qt::Key_Down);
    EXPECT_EQ(window->selectedSurface(), 1);
    QTest::keyClick(window->surfaceList(), Qt::Key_End);
    EXPECT_EQ(window->selectedSurface(), 2);

    // The menu key and Shift+F10 open the right-click menu, by keyboard alone.
    const QStringList byMenuKey = MenuOpenedBy(*window, Qt::Key_Menu, Qt::NoModifier);
    EXPECT_TRUE(byMenuKey.contains("Template &options...")) << byMenuKey.join("|").toStdString();
    const QStringList byShiftF10 = MenuOpenedBy(*window, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(byShiftF10, byMenuKey);
    EXPECT_EQ(window->selectedSurface(), 2); // the menu changed nothing
}

// Fitting: no larger than the free area, moved in.
TEST(Screen, AWindowIsFittedIntoTheFreeArea) {
    EXPECT_EQ(FitInside(QRect(621, 0, 1100, 620), QRect(0, 0, 1600, 1000)),
              QRect(500, 0, 1100, 620));
    EXPECT_EQ(FitInside(QRect(50, 50, 2200, 1240), QRect(0, 0, 1280, 800)), QRect(0, 0, 1280, 800));
    EXPECT_EQ(FitInside(QRect(-300, 900, 200, 100), QRect(10, 20, 1280, 800)),
              QRect(10, 720, 200, 100));
}

// The workspace (an OpenGL window) is checked on a real X display of 1280 x
// 800 (tests/screen_fit_under_xvfb.sh); these are the others.
TEST(Screen, TheMainWindowAndTheExportDialogOpenInsideTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    TempDir dir;
    DesktopStandIn desktop;
    auto window = StartMainWindow(WriteSampleModel(dir.path().string()));
    EXPECT_TRUE(screen.contains(window->frameGeometry()))
        << screen.width() << "x" << screen.height();
    SelectRow(*window, 0);
    // Left where it hung over the screen's corner, it comes back inside it.
    GridwrightSettings().setValue("export/position",
                                  QPoint(screen.right() - 40, screen.bottom() - 20));
    QRect at;
    ASSERT_TRUE(WithModal([&] { window->OnFlatten(); },
                          [&](QWidget* d) {
                              at = d->frameGeometry();
                              static_cast<QDialog*>(d)->reject();
                          }));
    EXPECT_TRUE(screen.contains(at))
        << "the export dialog at " << at.x() << "," << at.y() << " " << at.width() << "x"
        << at.height() << " on a screen of " << screen.width() << "x" << screen.height();
}

TEST(Screen, TheOptionsPanelShowsItsPreviewAndEveryWordWholeInEveryLanguage) {
    TempDir dir;
    DesktopStandIn desktop;
    for (const char* language : {"en", "fr"}) {
        ASSERT_TRUE(InstallLanguage(language));
        auto window = StartMainWindow(WriteSampleModel(dir.path().string()));
        OptionsDialog panel(TemplateOptions{}, window->textures(), 0, window.get());
        panel.Build();
        panel.show();
        QApplication::processEvents();
        const QRect inside = panel.rect();
        QWidget* preview = panel.Control("preview");
        ASSERT_NE(preview, nullptr);
        EXPECT_TRUE(inside.contains(preview->geometry()))
            << language << ": the preview ends at x " << preview->geometry().right()
            << " in a panel " << inside.width() << " wide";
        for (QWidget* w : panel.findChildren<QWidget*>()) {
            if (!w->isVisible() || !qobject_cast<QAbstractButton*>(w))
                continue;
            EXPECT_TRUE(inside.contains(w->geometry()))
                << language << " " << w->objectName().toStdString();
            // Its words show whole: it has the width it asks for.
            EXPECT_GE(w->width(), w->sizeHint().width())
                << language << ": \"" << static_cast<QAbstractButton*>(w)->text().toStdString()
                << "\" is cut";
        }
        panel.reject();
    }
    InstallLanguage("en");
}

TEST(French, TheWordsOnThePicturesAreTranslatedAndTheEnglishOnesStayWhereTheyWere) {
    TempDir dir;
    DesktopStandIn desktop;
    auto grab = [&](const char* language) {
        EXPECT_TRUE(InstallLanguage(language));
        auto window = StartMainWindow(WriteSampleModel(dir.path().string()));
        window->repaint();
        return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage english = grab("en"), french = grab("fr");
    const QImage about = [] {
        InstallLanguage("fr");
        return LoadPicture("about");
    }();
    const QImage exportFr = LoadPicture("export-background");
    InstallLanguage("en");
    const QImage aboutEn = LoadPicture("about"), exportEn = LoadPicture("export-background");
    // Where each word lies on its picture, and whether French says it otherwise.
    struct Word {
        const char* picture;
        QRect box;
        const char* text;
        bool translated;
    };
    const Word words[] = {
        {"skin", {26, 44, 162, 24}, "MESHES", true},
        {"skin", {264, 104, 220, 20}, "LAYOUT", true},
        {"skin", {264, 122, 220, 20}, "MD3 SKIN TEMPLATES", true},
        {"skin", {396, 408, 92, 14}, "Flatten", true},
        {"skin", {146, 410, 60, 30}, "Open", true},
        {"export-background", {6, 13, 68, 20}, "X SCALE", true},
        {"export-background", {6, 35, 68, 20}, "Y SCALE", true},
        {"export-background", {287, 5, 43, 16}, "OK", false},
        {"export-background", {287, 26, 43, 16}, "COPY", true},
        {"export-background", {287, 47, 43, 16}, "CANCEL", true},
        {"about", {22, 128, 256, 70}, "the description", true},
        {"about", {84, 228, 200, 40}, "For skin painters and modders.", true},
    };
    for (const Word& word : words) {
        const QRect box = word.box;
        const QString picture = word.picture;
        const QImage& en = picture == "skin" ? english : picture == "about" ? aboutEn : exportEn;
        const QImage& other = picture == "skin" ? french : picture == "about" ? about : exportFr;
        // The English words are painted: the box is not a plain panel.
        QSet<QRgb> colours;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                colours.insert(en.pixel(x, y) & 0xFFFFFF);
        EXPECT_GT(colours.size(), 8) << word.text << " is not painted";
        // A word French says otherwise shows otherwise.
        if (word.translated)
            EXPECT_GT(Differing(en, other, box), 0.02) << word.text << " stays English in French";
        else
            EXPECT_EQ(Differing(en, other, box), 0) << word.text;
        // A longer translation is set smaller, not spilled over the art around it.
        for (const QRect& beside : {QRect(box.left() - 6, box.top(), 4, box.height()),
                                    QRect(box.right() + 3, box.top(), 4, box.height())})
            if (en.rect().contains(beside)) {
                EXPECT_EQ(Differing(en, other, beside), 0) << word.text << " spills over its box";
            }
    }
    // The menu's about entry takes its accent.
    InstallLanguage("fr");
    EXPECT_EQ(QCoreApplication::translate("Gridwright", "&About Gridwright..."),
              QString::fromUtf8("À &propos de Gridwright..."));
    InstallLanguage("en");
}

TEST(Archive, AnArchiveGivenAtStartOpensTheModelBrowserAsOpenDoes) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::string base = MakeTestPaks(dir);
    std::unique_ptr<MainWindow> window;
    QStringList listed;
    const ModalSeen browsed = WithModal(
        [&] {
            window = StartMainWindow(base + "/pak0.pk3");
            QTest::qWait(50);
        },
        [&](QWidget* modal) {
            auto* browser = qobject_cast<ModelBrowser*>(modal);
            ASSERT_NE(browser, nullptr);
            for (int i = 0; i < browser->list()->count(); ++i)
                listed << browser->list()->item(i)->text();
            QTest::keyClicks(browser->filter(), "UPPER");
            browser->accept();
        });
    ASSERT_TRUE(browsed) << "no model browser";
    EXPECT_TRUE(listed.contains("models/pak/upper.md3")) << listed.join("|").toStdString();
    ASSERT_NE(window->model(), nullptr);
    EXPECT_EQ(window->model()->path, base + "/pak0.pk3:models/pak/upper.md3");
    EXPECT_TRUE(desktop.messages.empty());
}

TEST(Following, ATextureASkinAndALooseOverrideThatComeLaterAreFoundWithoutReopening) {
    TempDir dir;
    DesktopStandIn desktop;
    // A model whose texture is not painted yet.
    const std::filesystem::path folder = dir.path() / "game" / "models" / "players" / "test";
    std::filesystem::create_directories(folder);
    const std::string model = WriteSampleModel(folder.string(), "head.md3");
    auto window = StartMainWindow(model);
    SelectRow(*window, 0); // b_head wears models/players/test/head_skin.tga
    EXPECT_FALSE(window->textureList()->toolTip().contains("(8 × 8)"));
    WriteWholeFile((folder / "head_skin.tga").make_preferred().string(), OneColourTga(200, 40, 40));
    EXPECT_TRUE(Within2s([&] { return window->textureList()->toolTip().contains("(8 × 8)"); }))
        << "the new texture was not found: " << window->textureList()->toolTip().toStdString();

    // A new skin is offered, and choosing it applies at once.
    WriteWholeFile((folder / "head_blue.skin").make_preferred().string(),
                   "b_head,models/other/blue.tga\n");
    EXPECT_TRUE(Within2s([&] {
        for (const Skin& s : window->textures().skins())
            if (s.name == "blue")
                return true;
        return false;
    })) << "the new skin is not offered";
    EXPECT_EQ(window->selectedSurface(), 0); // the surface chosen is kept
    // Chosen, its texture in a folder not made yet is found once painted.
    for (int k = 0; k < int(window->textures().skins().size()); ++k)
        if (window->textures().skins()[size_t(k)].name == "blue")
            window->OnChooseSkin(k);
    SelectRow(*window, 0);
    EXPECT_EQ(window->texturePath(), "models/other/blue.tga");
    EXPECT_FALSE(window->textureList()->toolTip().contains("(8 × 8)"));
    std::filesystem::create_directories(dir.path() / "game" / "models" / "other");
    WriteWholeFile(
        (dir.path() / "game" / "models" / "other" / "blue.tga").make_preferred().string(),
        OneColourTga(40, 40, 200));
    EXPECT_TRUE(Within2s([&] { return window->textureList()->toolTip().contains("(8 × 8)"); }))
        << "the chosen skin's new texture was not found: "
        << window->textureList()->toolTip().toStdString();

    // A loose file saved beside the pak beats the pak's own, found at once.
    const std::string base = MakeTestPaks(dir);
    desktop.answers.push_back(QString::fromStdString(base + "/pak0.pk3"));
    ASSERT_TRUE(WithModal([&] { window->OnLoadMd3(); },
                          [](QWidget* w) {
                              auto* browser = qobject_cast<ModelBrowser*>(w);
                              ASSERT_NE(browser, nullptr);
                              QTest::keyClicks(browser->filter(), "UPPER");
                              browser->accept();
                          }));
    SelectRow(*window, 0); // u_torso: models/pak/torso.tga through the pak's shader
    const QString inPak = window->textureList()->toolTip();
    ASSERT_TRUE(inPak.contains("pak0.pk3:models/pak/torso.tga")) << inPak.toStdString();
    std::filesystem::create_directories(base + "/models/pak");
    WriteWholeFile(base + "/models/pak/torso.tga", OneColourTga(40, 200, 40));
    EXPECT_TRUE(Within2s([&] {
        return window->textureList()->toolTip().contains(
            QString::fromStdString(base + "/models/pak/torso.tga (8 × 8)"));
    })) << "the loose override was not found: "
        << window->textureList()->toolTip().toStdString();
}

// The surface list has the keyboard when the window opens, and shows it: a
// ring in the program's orange round its well, gone when Tab moves on.
TEST(Keyboard, TheSurfaceListHasTheFocusAtFirstAndShowsIt) {
    TempDir dir;
    DesktopStandIn desktop;
    auto window = StartMainWindow(WriteSampleModel(dir.path().string()));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), window->surfaceList());
    window->surfaceList()->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    const QImage focused = window->grab().toImage();
    QTest::keyClick(window->surfaceList(), Qt::Key_Tab);
    QApplication::processEvents();
    ASSERT_NE(QApplication::focusWidget(), window->surfaceList());
    const QImage away = window->grab().toImage();
    // Round the list, inside its well: orange with the focus, not without.
    const QRect list = window->surfaceList()->geometry();
    int orangeFocused = 0, orangeAway = 0;
    auto orange = [](QRgb c) {
        return qRed(c) > 200 && qGreen(c) > 100 && qGreen(c) < 160 && qBlue(c) < 70;
    };
    for (int y = list.top(); y <= list.bottom(); ++y)
        for (int x : {list.left() - 2, list.right() + 2}) {
            orangeFocused += orange(focused.pixel(x, y));
            orangeAway += orange(away.pixel(x, y));
        }
    EXPECT_GT(orangeFocused, list.height()) << "the list's focus does not show";
    EXPECT_EQ(orangeAway, 0);
}
