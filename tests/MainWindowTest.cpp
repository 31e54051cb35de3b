#include "model/Model.h"
#include "res/Layouts.h"
#include "tests/GuiHarness.h"
#include "tests/Md3Builder.h"
#include "tests/TestModels.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}
constexpr QRgb kWhite = 0xFFFFFF, kBlack = 0x000000;

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        model = WriteSampleModel(dir.path().string());
        window = StartMainWindow();
    }
    void Load(const std::string& path) {
        desktop.answers.push_back(QString::fromStdString(path));
        window->OnLoadMd3();
    }
    QStringList Names() {
        QStringList names;
        for (int i = 0; i < window->surfaceList()->count(); ++i)
            names << window->surfaceList()->item(i)->text();
        return names;
    }
    TempDir dir;
    std::string model;
    DesktopStandIn desktop;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(Window, StartsFramelessAtItsPlaceWithEveryControlWhereTheSkinShowsIt) {
    EXPECT_EQ(window->geometry(), QRect(QPoint(50, 50), kMainWindowSize));
    EXPECT_EQ(window->windowTitle(), "Gridwright");
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->selectedSurface(), -1);
    EXPECT_FALSE(window->control("skin")->isEnabled());
    EXPECT_EQ(window->systemMenuEntries(), QStringList{"&About Gridwright..."});
    EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(Window, LoadListsSurfacesInFileOrderAndCancelChangesNothing) {
    Load(model);
    EXPECT_EQ(Names(), (QStringList{"b_head", "a_legs", "c_tri"}));
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_TRUE(desktop.asked[0].open);
    EXPECT_EQ(desktop.asked[0].filters,
              ModelOpenFilters() + QStringList({"Game archive (*.pk3)", "Game archive (*.dpk)"}));
    EXPECT_TRUE(desktop.asked[0].filters.front().startsWith("All models (*.md3 *.mdl "));
    EXPECT_EQ(desktop.asked[0].defaultSuffix, "MD3");
    EXPECT_EQ(window->model()->path, model);

    SelectRow(*window, 1);
    desktop.answers.push_back(""); // cancel
    window->OnLoadMd3();
    EXPECT_EQ(Names(), (QStringList{"b_head", "a_legs", "c_tri"}));
    EXPECT_EQ(SelectedRow(window->surfaceList()), 1);
    EXPECT_EQ(window->selectedSurface(), 1);
    EXPECT_EQ(window->model()->path, model);
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(Window, AMissingFileShowsTheMessageWithItsReasonAndCreatesNothing) {
    Load(model);
    const std::string missing = dir.File("nothing.md3");
    Load(missing);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot open the model");
    EXPECT_EQ(desktop.messages[0].detail, QString::fromStdString("Cannot open \"" + missing +
                                                                 "\": No such file or directory."));
    EXPECT_EQ(desktop.messages[0].caption, "gui_tests");
    EXPECT_EQ(desktop.messages[0].owner, window.get());
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_TRUE(Names().isEmpty());
    EXPECT_EQ(window->model(), nullptr); // nothing of the earlier model is left to flatten
    // A name typed without an extension gets .MD3.
    Load(dir.File("typed"));
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_TRUE(desktop.messages[1].detail.contains(QString::fromStdString(dir.File("typed.MD3"))))
        << desktop.messages[1].detail.toStdString();
}

// After a failed load nothing of the former model stays on screen: no texture
// name, no wireframe, no surface to flatten.
TEST_F(Window, AFailedLoadLeavesNothingOfTheFormerModelOnScreen) {
    Load(model);
    SelectRow(*window, 0);
    ASSERT_EQ(window->textureList()->count(), 1);
    ASSERT_FALSE(window->previewLayer().isNull());
    const std::string notAModel = dir.File("notes.md3");
    WriteWholeFile(notAModel, "just some notes\n");
    Load(notAModel);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_TRUE(desktop.messages[0].detail.contains("does not start with \"IDP3\""));
    EXPECT_TRUE(Names().isEmpty());
    EXPECT_EQ(window->textureList()->count(), 0);
    EXPECT_TRUE(window->previewLayer().isNull());
    EXPECT_EQ(window->selectedSurface(), -1);
    window->repaint();
    const QImage shot = window->grab().toImage();
    const QRect frame = window->previewFrame()->geometry();
    int white = 0;
    for (int y = frame.top(); y < frame.bottom(); ++y)
        for (int x = frame.left(); x < frame.right(); ++x)
            white += Pixel(shot, x, y) == kWhite;
    EXPECT_EQ(white, 0);
}

// Names in valid UTF-8 show as such; other bytes as Latin-1.
TEST_F(Window, SurfaceNamesShowAsUtf8OrElseLatin1) {
    Md3ModelDesc named;
    named.surfaces = {TriangleSurface("caf\xC3\xA9", {0, 0}, {1, 0}, {0, 1}),
                      TriangleSurface("caf\xE9", {0, 0}, {1, 0}, {0, 1})};
    const std::string path = dir.File("named.md3");
    WriteBytesToFile(path, BuildMd3(named).bytes);
    Load(path);
    EXPECT_EQ(Names(), (QStringList{QString::fromUtf8("café"), QString::fromUtf8("café")}));
}

TEST_F(Window, SelectingShowsTheTextureNameAndDrawsTheLayoutInTheFrame) {
    Load(model);
    SelectRow(*window, 0);
    EXPECT_EQ(window->selectedSurface(), 0);
    ASSERT_EQ(window->textureList()->count(), 1);
    // The texture's whole path, shortened in the middle to fit the SKIN box.
    EXPECT_EQ(window->texturePath(), "models/players/test/head_skin.tga");
    const QString shown = window->textureList()->item(0)->text();
    EXPECT_TRUE(shown.startsWith("models/") && shown.endsWith("skin.tga") &&
                shown.contains(QChar(0x2026)))
        << shown.toStdString();
    EXPECT_TRUE(window->textureList()->toolTip().startsWith(
        "models/players/test/head_skin.tga\nnamed by the model\nno image"));

    const QRect frame = window->previewFrame()->geometry();
    const int L = frame.left(), T = frame.top(), R = L + frame.width(), B = T + frame.height();
    const int S = R - L - kPreviewScaleShrink, x0 = L + kPreviewOriginX, y0 = T + kPreviewOriginY;
    // The window's own painting holds the preview, repaint or not, once the
    // drawing (on a worker thread) is done.
    window->previewLayer();
    window->repaint();
    const QImage shot = window->grab().toImage();
    // (0,0) -> (x0, y0), (1,0) -> (R, y0), (0,1) -> (x0, y0 + S).
    EXPECT_EQ(Pixel(shot, x0, y0), kWhite);
    EXPECT_EQ(Pixel(shot, x0 + S / 2, y0), kWhite);
    EXPECT_EQ(Pixel(shot, x0, y0 + S / 2), kWhite);
    EXPECT_EQ(Pixel(shot, x0 + S - 101, y0 + 101), kWhite); // on the diagonal
    EXPECT_EQ(Pixel(shot, x0 + S / 4, y0 + S / 4), kBlack); // inside the triangle
    EXPECT_EQ(Pixel(shot, x0 + 3 * S / 4, y0 + 3 * S / 4 - 20), kBlack);
    EXPECT_EQ(Pixel(shot, L + kPreviewInsetLeft, T + kPreviewInsetTop), kBlack);     // fill corner
    EXPECT_EQ(Pixel(shot, R - kPreviewInsetRight, B - kPreviewInsetBottom), kBlack); // last one
    EXPECT_NE(Pixel(shot, R - 1, B - 20), kBlack); // right edge left out

    // A backslash does not separate; the other triangle lands where computed.
    SelectRow(*window, 2);
    EXPECT_EQ(window->textureList()->item(0)->text(), "textures\\back\\slash.tga");
    const QImage layer = window->previewLayer();
    const int ax = int(S * 0.25 + x0), ay = int(S * 0.75 + y0), cx = int(S * 0.5 + x0),
              cy = int(S * 0.25 + y0);
    EXPECT_EQ(Pixel(layer, ax, ay), kWhite);
    EXPECT_EQ(Pixel(layer, cx, cy), kWhite);
    EXPECT_EQ(Pixel(layer, x0, y0), kBlack); // the earlier drawing was erased
}

TEST_F(Window, FocusRedrawsTheSameAndANewLoadChoosesItsFirstSurface) {
    window->OnSetFocus(); // nothing selected since start-up: nothing drawn
    EXPECT_TRUE(window->previewLayer().isNull());
    Load(model);
    // The first surface is chosen at once, so Flatten has something to do.
    EXPECT_EQ(SelectedRow(window->surfaceList()), 0);
    EXPECT_EQ(window->selectedSurface(), 0);
    EXPECT_FALSE(window->previewLayer().isNull());
    SelectRow(*window, 2);
    const QImage before = window->previewLayer();
    window->OnSetFocus();
    EXPECT_EQ(window->previewLayer(), before);
    EXPECT_EQ(window->textureList()->item(0)->text(), "textures\\back\\slash.tga");

    // A second model: names replaced, its first surface chosen and drawn.
    Load(WriteSampleModel(dir.path().string(), "second.md3"));
    EXPECT_EQ(SelectedRow(window->surfaceList()), 0);
    EXPECT_EQ(window->selectedSurface(), 0);
    EXPECT_NE(window->previewLayer(), before);
    // With no line selected, Flatten exports nothing and the focus redraw
    // shows no surface, no name, no wireframe.
    window->surfaceList()->clearSelection();
    EXPECT_FALSE(WithModal([&] { window->OnFlatten(); }, [](QWidget* w) { w->close(); }));
    window->OnSetFocus();
    EXPECT_EQ(window->selectedSurface(), -1);
    EXPECT_EQ(window->textureList()->count(), 0);
    EXPECT_TRUE(window->previewLayer().isNull());
}

// The main window is no dialog: Escape and Enter never end it, whatever has
// focus; Ctrl+Q does.
TEST_F(Window, EscapeAndEnterNeverCloseItButCtrlQDoes) {
    Load(model);
    auto* list = window->surfaceList();
    for (QWidget* target : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(list)}) {
        target->setFocus();
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(target, key);
            QApplication::processEvents();
            EXPECT_TRUE(window->isVisible()) << key;
        }
    }
    EXPECT_EQ(SelectedRow(window->surfaceList()), 0);
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
}

// Every model says what it holds: one with no surfaces, a layout with no area.
TEST_F(Window, TheStatusLineSaysWhatTheListAndPreviewCannot) {
    Md3ModelDesc none;
    const std::string hand = dir.File("hand.md3");
    ASSERT_TRUE(WriteBytesToFile(hand, BuildMd3(none).bytes));
    Load(hand);
    EXPECT_TRUE(Names().isEmpty());
    EXPECT_TRUE(window->statusText().contains("no surfaces")) << window->statusText().toStdString();
    Md3ModelDesc point;
    point.surfaces = {TriangleSurface("dot", {0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f})};
    const std::string dot = dir.File("dot.md3");
    ASSERT_TRUE(WriteBytesToFile(dot, BuildMd3(point).bytes));
    Load(dot);
    EXPECT_TRUE(window->statusText().contains("The layout of dot has no area"))
        << window->statusText().toStdString();
    Load(model);
    EXPECT_TRUE(window->statusText().isEmpty()) << window->statusText().toStdString();
}

TEST_F(Window, AboutBoxFromTheButtonAndTheMenuEntryClosesWithEscapeAndOk) {
    const ModalSeen about =
        WithModal([&] { QTest::mouseClick(window->control("about"), Qt::LeftButton); },
                  [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    ASSERT_TRUE(about);
    EXPECT_EQ(about.size, QSize(300, 284));
    // The right-click menu's entry opens the same box; its OK dial closes it.
    const ModalSeen shown = WithModal(
        [&] { window->OnAbout(); },
        [](QWidget* w) {
            QTest::mouseClick(static_cast<LaidOutDialog*>(w)->control("ok"), Qt::LeftButton);
        });
    EXPECT_TRUE(shown);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Window, DraggingTheFaceMovesTheWindowWhileTheListSelects) {
    Load(model);
    const QPoint start = window->pos();
    // A press on the skin, then a move with the button held.
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(240, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(270, 45), window->mapToGlobal(QPointF(270, 45)),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &move);
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(270, 45));
    EXPECT_EQ(window->pos(), start + QPoint(30, 25));

    auto* list = window->surfaceList();
    const QPoint before = window->pos();
    // Later than a double-click would be.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center(),
                      QApplication::doubleClickInterval() + 100);
    EXPECT_EQ(SelectedRow(window->surfaceList()), 1);
    EXPECT_EQ(window->selectedSurface(), 1);
    EXPECT_EQ(window->pos(), before);
}

TEST_F(Window, ClosingClearsTheSelectionAndEndsTheWindow) {
    Load(model);
    SelectRow(*window, 0);
    window->close();
    QApplication::processEvents();
    EXPECT_EQ(window->selectedSurface(), -1);
    EXPECT_FALSE(window->isVisible());
}

// The preview is drawn off the interface thread; a newer choice cancels the
// drawing in progress, and only the newest is ever shown.
TEST_F(Window, OnlyTheNewestPreviewIsShown) {
    Load(model);
    SelectRow(*window, 2);
    const QImage alone = window->previewLayer();
    SelectRow(*window, 1);
    window->surfaceList()->setCurrentRow(0);
    window->surfaceList()->setCurrentRow(2);
    EXPECT_EQ(window->previewLayer(), alone);
    QApplication::processEvents(); // a late delivery of the older ones changes nothing
    EXPECT_EQ(window->previewLayer(), alone);
}
