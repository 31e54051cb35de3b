#include "platform/Desktop.h"
#include "tests/GuiHarness.h"
#include "tests/TestModels.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>
#include <gtest/gtest.h>

TEST(FileFilter, GivesTheExtensionOfAFilterAndIgnoresLetterCase) {
    EXPECT_EQ(ExtensionOfFilter("Fichier BMP (*.bmp)"), "bmp");
    EXPECT_EQ(ExtensionOfFilter("Everything (*.*)"), "");
    EXPECT_EQ(ExtensionOfFilter("No pattern"), "");
    EXPECT_EQ(CaseInsensitiveGlob("*.MD3"), "*.[mM][dD]3");
}

TEST(FileFilter, ChosenNamesGetTheExtensionOfTheirType) {
    FileDialogResult typed = DescribeChosenFile("/tmp/skin", "eps");
    EXPECT_EQ(typed.path, "/tmp/skin.eps");
    EXPECT_EQ(typed.extension, "eps");
    FileDialogResult kept = DescribeChosenFile("/tmp/a.b/skin.Bmp", "eps");
    EXPECT_EQ(kept.path, "/tmp/a.b/skin.Bmp");
    EXPECT_EQ(kept.extension, "Bmp");
    EXPECT_EQ(DescribeChosenFile("/tmp/skin", "*").extension, "");
}

// The real open dialog, on a case-sensitive disk: both spellings show.
TEST(FileFilter, TheOpenDialogShowsModelsWhateverTheirCase) {
    TempDir dir;
    for (const char* name : {"lower.md3", "UPPER.MD3", "Mixed.Md3", "notes.txt", "skin.tga"})
        WriteWholeFile(dir.File(name), "x");
    FileDialogSettings settings;
    settings.open = true;
    settings.defaultSuffix = "MD3";
    settings.initialName = "*.MD3";
    settings.filters = {QString::fromUtf8("Modèle (*.MD3)")};
    QStringList shown;
    WithModal([&] { RunFileDialog(nullptr, settings); },
              [&](QWidget* modal) {
                  auto* dialog = qobject_cast<QFileDialog*>(modal);
                  ASSERT_NE(dialog, nullptr);
                  dialog->setDirectory(QString::fromStdString(dir.path().string()));
                  auto* view = dialog->findChild<QAbstractItemView*>("listView");
                  ASSERT_NE(view, nullptr);
                  (void)QTest::qWaitFor(
                      [&] { return view->model()->rowCount(view->rootIndex()) >= 3; }, 5000);
                  QTest::qWait(200); // let the filter settle
                  for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                      shown << view->model()->index(row, 0, view->rootIndex()).data().toString();
                  dialog->reject();
              });
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"Mixed.Md3", "UPPER.MD3", "lower.md3"}));
}
