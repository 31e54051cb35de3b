#include "app/ExportDialog/ExportDialog.h"
#include "model/Model.h"
#include "res/Layouts.h"
#include "tests/GuiHarness.h"
#include "tests/TestModels.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QAbstractButton* Button(QWidget* dialog, const char* name) {
    return static_cast<LaidOutDialog*>(dialog)->button(name);
}

class Export : public ::testing::Test {
  protected:
    void SetUp() override {
        window = StartMainWindow();
        desktop.answers.push_back(QString::fromStdString(WriteSampleModel(dir.path().string())));
        window->OnLoadMd3();
        SelectRow(*window, 0); // the unit triangle
    }
    // Opens the dialog with Flatten, picks the sizes and presses a button;
    // Cancel then, if the dialog is still open (Copy keeps it).
    ModalSeen Flatten(const char* widthId, const char* heightId, const char* pressId,
                      const char* checkedWidth = "width128",
                      const char* checkedHeight = "height128") {
        return WithModal([&] { QTest::mouseClick(window->control("flatten"), Qt::LeftButton); },
                         [&](QWidget* d) {
                             checkedWhenOpened = Button(d, checkedWidth)->isChecked() &&
                                                 Button(d, checkedHeight)->isChecked();
                             if (widthId)
                                 QTest::mouseClick(Button(d, widthId), Qt::LeftButton);
                             if (heightId)
                                 QTest::mouseClick(Button(d, heightId), Qt::LeftButton);
                             QTest::mouseClick(Button(d, pressId), Qt::LeftButton);
                             stillOpen = d->isVisible();
                             if (stillOpen)
                                 QTest::mouseClick(Button(d, "cancel"), Qt::LeftButton);
                         });
    }
    bool stillOpen = false;
    TempDir dir;
    DesktopStandIn desktop;
    std::unique_ptr<MainWindow> window;
    bool checkedWhenOpened = false;
};

} // namespace

TEST_F(Export, OpensAtTheLastSizeAndSavesTheChosenSizeAsEps) {
    const std::string path = dir.File("skin.eps");
    desktop.answers.push_back(QString::fromStdString(path));
    const ModalSeen dialog = Flatten("width256", "height32", "save");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(checkedWhenOpened); // 128 x 128 the first time
    ASSERT_EQ(desktop.asked.size(), 2u);
    EXPECT_FALSE(desktop.asked[1].open);
    // Every format the engine writes, and the surface's name to start with.
    EXPECT_EQ(desktop.asked[1].filters,
              (QStringList{"EPS file (*.eps)", "SVG drawing (*.svg)", "PDF document (*.pdf)",
                           "PNG image (*.png)", "BMP image (*.bmp)", "TGA image (*.tga)",
                           "Photoshop image (*.psd)", "OpenRaster image (*.ora)"}));
    EXPECT_TRUE(desktop.asked[1].initialName.endsWith("/b_head"))
        << desktop.asked[1].initialName.toStdString();
    EXPECT_EQ(desktop.asked[1].defaultSuffix, "*");
    EXPECT_TRUE(desktop.asked[1].confirmOverwrite);
    const std::string eps = ReadWholeFile(path);
    EXPECT_NE(eps.find("%%BoundingBox: 0 0 256 32\r\n"), std::string::npos);
    EXPECT_NE(eps.find("%%Title: (skin.eps)\r\n"), std::string::npos);
    EXPECT_NE(eps.find("0 32 moveto\r\n256 0 rlineto\r\n-256 -32 rlineto\r\n"), std::string::npos);

    // The next Flatten starts at the size chosen last, in the folder saved to.
    desktop.answers.push_back(QString::fromStdString(dir.File("again.eps")));
    Flatten(nullptr, nullptr, "save", "width256", "height32");
    EXPECT_TRUE(checkedWhenOpened);
    EXPECT_EQ(desktop.asked.back().initialName, QString::fromStdString(dir.File("b_head")));
    EXPECT_NE(ReadWholeFile(dir.File("again.eps")).find("%%BoundingBox: 0 0 256 32\r\n"),
              std::string::npos);
}

TEST_F(Export, TheExtensionPicksTheWriterWhateverItsCase) {
    for (const char* name : {"upper.EPS", "mixed.Eps"}) {
        desktop.answers.push_back(QString::fromStdString(dir.File(name)));
        Flatten(nullptr, nullptr, "save");
        EXPECT_EQ(ReadWholeFile(dir.File(name)).substr(0, 10), "%!PS-Adobe") << name;
    }
    desktop.answers.push_back(QString::fromStdString(dir.File("layout.BMP")));
    Flatten("width64", "height256", "save");
    const std::string bmp = ReadWholeFile(dir.File("layout.BMP"));
    EXPECT_EQ(bmp.size(), 54u + 64 * 3 * 256);
    EXPECT_EQ(bmp.substr(0, 2), "BM");

    desktop.answers.push_back(""); // the save dialog is cancelled
    EXPECT_TRUE(Flatten(nullptr, nullptr, "save"));
    EXPECT_TRUE(desktop.messages.empty());
    // An extension that is not written says so, and names the ones that are.
    for (const char* name : {"notes.txt", "t.jpg"}) {
        desktop.answers.push_back(QString::fromStdString(dir.File(name)));
        EXPECT_TRUE(Flatten(nullptr, nullptr, "save", "width64", "height256"));
        EXPECT_FALSE(std::filesystem::exists(dir.File(name)));
    }
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(desktop.messages[1].text, "Cannot save the template");
    EXPECT_EQ(desktop.messages[1].detail,
              "Gridwright does not write \".jpg\" files. Give the template one of the "
              "extensions .eps, .svg, .pdf, .png, .bmp, .tga, .psd or .ora.");
    // PNG, SVG, PDF and TGA are written from the window too.
    for (const char* name : {"t.png", "t.svg", "t.PDF", "t.tga"}) {
        desktop.answers.push_back(QString::fromStdString(dir.File(name)));
        Flatten(nullptr, nullptr, "save", "width64", "height256");
        EXPECT_GT(ReadWholeFile(dir.File(name)).size(), 50u) << name;
    }
    EXPECT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 8);
}

TEST_F(Export, AFailedSaveShowsTheMessageAndStillCloses) {
    desktop.answers.push_back(dir.path().string().c_str() + QString("/no/such/folder.eps"));
    ASSERT_TRUE(Flatten(nullptr, nullptr, "save")); // and it returned: the dialog closed
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot save the template");
    EXPECT_TRUE(desktop.messages[0].detail.contains("no/such/folder.eps"));
    EXPECT_NE(desktop.messages[0].owner, window.get()); // the export dialog owns it
}

TEST_F(Export, CopyPutsTheTemplateOfTheChosenSizeOnTheClipboard) {
    ASSERT_TRUE(Flatten("width256", "height64", "copy"));
    EXPECT_TRUE(stillOpen); // Copy leaves the dialog open, to Save as well
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(256, 64));
    // The unit triangle: top row, left column, and the diagonal.
    auto black = [&](int x, int y) { return (copied.pixel(x, y) & 0xFFFFFF) == 0; };
    EXPECT_TRUE(black(0, 0) && black(255, 0) && black(0, 63));
    EXPECT_TRUE(black(128, 32)); // (256 - 4y, y)
    EXPECT_FALSE(black(100, 10));
    EXPECT_FALSE(black(255, 63));
    int ink = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            ink += black(x, y);
    // Top row 256, left column 63, and the diagonal rows 1 to 63 (252 pixels off the top row).
    EXPECT_EQ(ink, 256 + 63 + 252);

    Flatten("width32", nullptr, "cancel", "width256", "height64");
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(256, 64)); // Cancel exports nothing
}

TEST_F(Export, EnterSavesAndEscapeCancels) {
    desktop.answers.push_back(QString::fromStdString(dir.File("enter.eps")));
    WithModal([&] { window->OnFlatten(); }, [](QWidget* d) { QTest::keyClick(d, Qt::Key_Return); });
    EXPECT_TRUE(std::filesystem::exists(dir.File("enter.eps")));
    const size_t asked = desktop.asked.size();
    EXPECT_TRUE(WithModal([&] { window->OnFlatten(); },
                          [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }));
    EXPECT_EQ(desktop.asked.size(), asked);
}

// A size clicked and then cancelled is forgotten; Save and Copy keep the size
// and say what they did.
TEST_F(Export, CancelForgetsAClickedSizeAndSaveAndCopySayWhatTheyDid) {
    Flatten("width32", "height256", "cancel");
    EXPECT_EQ(TemplateOptions::Load().style.width, 128);
    EXPECT_EQ(TemplateOptions::Load().style.height, 128);
    EXPECT_TRUE(window->statusText().isEmpty());

    desktop.answers.push_back(QString::fromStdString(dir.File("torso.png")));
    Flatten("width64", "height32", "save");
    EXPECT_EQ(window->statusText(), QString::fromUtf8("Saved torso.png, 64 × 32"));
    EXPECT_EQ(TemplateOptions::Load().style.width, 64);

    QString summary;
    ASSERT_TRUE(WithModal(
        [&] { window->OnFlatten(); },
        [&](QWidget* d) {
            QTest::mouseClick(Button(d, "copy"), Qt::LeftButton);
            summary =
                qobject_cast<QLabel*>(static_cast<LaidOutDialog*>(d)->control("summary"))->text();
            QTest::mouseClick(Button(d, "cancel"), Qt::LeftButton);
        }));
    EXPECT_EQ(summary, QString::fromUtf8("Copied, 64 × 32"));
    EXPECT_EQ(window->statusText(), "Copied");
}

// The dialog has no title bar: it is dragged by its face, away from the
// preview it opens over, and opens where it was left the next time.
TEST_F(Export, TheDialogIsDraggedByItsFaceAndOpensWhereItWasLeft) {
    QPoint first, moved;
    WithModal([&] { window->OnFlatten(); },
              [&](QWidget* d) {
                  first = d->pos();
                  const QPoint grip(d->width() / 2, 4); // the top edge: no control there
                  QTest::mousePress(d, Qt::LeftButton, {}, grip);
                  QMouseEvent drag(QEvent::MouseMove, QPointF(grip + QPoint(150, 90)),
                                   QPointF(d->mapToGlobal(grip + QPoint(150, 90))), Qt::NoButton,
                                   Qt::LeftButton, Qt::NoModifier);
                  QApplication::sendEvent(d, &drag);
                  QTest::mouseRelease(d, Qt::LeftButton, {}, grip + QPoint(150, 90));
                  moved = d->pos();
                  QTest::mouseClick(Button(d, "cancel"), Qt::LeftButton);
              });
    EXPECT_EQ(moved, first + QPoint(150, 90));
    QPoint reopened;
    WithModal([&] { window->OnFlatten(); },
              [&](QWidget* d) {
                  reopened = d->pos();
                  QTest::mouseClick(Button(d, "cancel"), Qt::LeftButton);
              });
    EXPECT_EQ(reopened, moved);
}

// The save dialog opens on the type saved last, so that the folder lists the
// templates saved there (a PSD among EPS files).
TEST_F(Export, TheSaveDialogStartsOnTheTypeSavedLastAndListsWhatWasSavedThere) {
    desktop.answers.push_back(QString::fromStdString(dir.File("earlier.eps")));
    Flatten(nullptr, nullptr, "save");
    desktop.answers.push_back(QString::fromStdString(dir.File("painted.psd")));
    Flatten(nullptr, nullptr, "save");
    ASSERT_TRUE(std::filesystem::exists(dir.File("painted.psd")));
    ASSERT_TRUE(std::filesystem::exists(dir.File("earlier.eps")));

    // Qt's own dialog, as the painter sees it.
    SetFileDialogHook(nullptr);
    QString filter;
    QStringList listed;
    WithModal([&] { window->OnFlatten(); },
              [&](QWidget* d) {
                  QTimer poll;
                  poll.setInterval(20);
                  QElapsedTimer clock;
                  clock.start();
                  QObject::connect(&poll, &QTimer::timeout, [&] {
                      auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                      if (!files)
                          return;
                      filter = files->selectedNameFilter();
                      listed.clear();
                      for (QAbstractItemView* view :
                           files->findChildren<QAbstractItemView*>("listView")) {
                          const QModelIndex root = view->rootIndex();
                          for (int r = 0; r < view->model()->rowCount(root); ++r)
                              listed << view->model()->index(r, 0, root).data().toString();
                      }
                      if (listed.contains("painted.psd") || clock.elapsed() > 3000)
                          files->reject();
                  });
                  poll.start();
                  QTest::mouseClick(Button(d, "save"), Qt::LeftButton);
              });
    EXPECT_TRUE(filter.startsWith("Photoshop image")) << filter.toStdString();
    EXPECT_TRUE(listed.contains("painted.psd")) << listed.join("|").toStdString();
    EXPECT_FALSE(listed.contains("earlier.eps"));
}

// Seams in an EPS, or a transparent BMP: the window says so in its own words
// (no command-line option names) and writes nothing; the same options in a
// type that takes them are written.
TEST_F(Export, AnOptionTheTypeCannotTakeIsSaidInTheWindowsOwnWords) {
    TemplateOptions options = TemplateOptions::Load();
    options.style.seams = kDefaultSeamColour;
    options.Save();
    desktop.answers.push_back(QString::fromStdString(dir.File("seams.eps")));
    Flatten(nullptr, nullptr, "save");
    ASSERT_EQ(desktop.messages.size(), 1u);
    const QString seams = desktop.messages[0].detail;
    EXPECT_EQ(desktop.messages[0].text, "Cannot save the template");
    EXPECT_FALSE(seams.contains("--")) << seams.toStdString();
    EXPECT_TRUE(seams.contains("seams") && seams.contains("template options"))
        << seams.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.File("seams.eps")));
    desktop.answers.push_back(QString::fromStdString(dir.File("seams.svg")));
    Flatten(nullptr, nullptr, "save");
    EXPECT_TRUE(std::filesystem::exists(dir.File("seams.svg")));
    EXPECT_EQ(desktop.messages.size(), 1u);

    options.style.seams.reset();
    options.style.background.reset();
    options.Save();
    desktop.answers.push_back(QString::fromStdString(dir.File("clear.bmp")));
    Flatten(nullptr, nullptr, "save");
    ASSERT_EQ(desktop.messages.size(), 2u);
    const QString clear = desktop.messages[1].detail;
    EXPECT_FALSE(clear.contains("--")) << clear.toStdString();
    EXPECT_TRUE(clear.contains("BMP") && clear.contains("transparent")) << clear.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.File("clear.bmp")));
}
