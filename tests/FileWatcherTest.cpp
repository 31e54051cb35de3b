// Saves as image editors make them reach the watcher within a second: a
// write in place, and a write under another name renamed over the file.
#include "platform/FileWatcher.h"
#include "tests/TestModels.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>

TEST(FileWatcher, SeesAWriteInPlaceAndARenameOverWithinASecond) {
    TempDir dir;
    const std::string path = dir.File("skin.tga"), temporary = dir.File(".skin.tga.tmp");
    WriteWholeFile(path, "first");
    FileWatcher watcher;
    watcher.Watch({QString::fromStdString(path)});
    QSignalSpy spy(&watcher, &FileWatcher::changed);

    QElapsedTimer clock;
    clock.start();
    WriteWholeFile(path, "second, longer"); // in place
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(spy.takeFirst().at(0).toString(), QString::fromStdString(path));

    clock.restart();
    WriteWholeFile(temporary, "third");
    ASSERT_EQ(std::rename(temporary.c_str(), path.c_str()), 0); // as GIMP and Krita save
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(spy.takeFirst().at(0).toString(), QString::fromStdString(path));
    // The watch holds on the new file: a later write in place is seen too.
    WriteWholeFile(path, "fourth");
    EXPECT_TRUE(spy.wait(1000));
    // Files not watched say nothing.
    spy.clear();
    WriteWholeFile(dir.File("other.tga"), "x");
    EXPECT_FALSE(spy.wait(400));
}
