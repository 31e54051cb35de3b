#include "export/SafeFile.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(SafeFile, ReplacesTheFileALinkPointsToAndKeepsItsMode) {
    TempDir dir;
    const std::string real = dir.File("real.eps"), link = dir.File("link.eps");
    WriteWholeFile(real, "old content that is longer");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, link);
    ASSERT_TRUE(WriteFileSafely(link, "new").ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadWholeFile(real), "new");
    struct stat info {};
    ::stat(real.c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
}

TEST(SafeFile, CreatesNewFilesWithTheUsualPermissions) {
    TempDir dir;
    const mode_t old = ::umask(022);
    const bool ok = WriteFileSafely(dir.File("new.bmp"), "BM").ok;
    ::umask(old);
    ASSERT_TRUE(ok);
    struct stat info {};
    ::stat(dir.File("new.bmp").c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_FALSE(WriteFileSafely("", "x").ok);
}

// A disk that fills up mid-write, imitated with a file-size limit in a child
// process: the write fails, the old file stays whole and no scrap is left.
TEST(SafeFileDeathTest, AFailedWriteLeavesTheFormerFileWhole) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string path = dir.File("template.eps");
    WriteWholeFile(path, "former template");
    auto writeOnAFullDisk = [&path] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 4096;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const Outcome outcome = WriteFileSafely(path, std::string(100000, 'y'));
        std::fprintf(stderr, "%s", outcome.reason.c_str());
        std::_Exit(outcome.ok ? 0 : 3);
    };
    EXPECT_EXIT(writeOnAFullDisk(), ::testing::ExitedWithCode(3), "File too large");
    EXPECT_EQ(ReadWholeFile(path), "former template");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}
