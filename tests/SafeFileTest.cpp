#include "export/SafeFile.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>

namespace fs = std::filesystem;

TEST(SafeFile, ReplacesTheFileALinkPointsToAndKeepsItsMode) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links and POSIX mode bits";
#else
    TempDir dir;
    const std::string real = dir.File("real.eps"), link = dir.File("link.eps");
    WriteWholeFile(real, "old content that is longer");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, link);
    ASSERT_TRUE(WriteFileSafely(link, "new").ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadWholeFile(real), "new");
    struct stat info {};
    ::stat(real.c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
#endif
}

TEST(SafeFile, CreatesNewFilesWithTheUsualPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX mode bits and umask";
#else
    TempDir dir;
    const mode_t old = ::umask(022);
    const bool ok = WriteFileSafely(dir.File("new.bmp"), "BM").ok();
    ::umask(old);
    ASSERT_TRUE(ok);
    struct stat info {};
    ::stat(dir.File("new.bmp").c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_FALSE(WriteFileSafely("", "x").ok());
#endif
}

#ifndef _WIN32
// Failures injected into the real system calls through the linker
// (-Wl,--wrap): every other call goes through unchanged.
namespace {
int g_fsyncError = 0, g_renameError = 0;
} // namespace

extern "C" int __real_fsync(int fd);
extern "C" int __real_rename(const char* from, const char* to);
extern "C" int __wrap_fsync(int fd) {
    if (g_fsyncError) {
        errno = g_fsyncError;
        return -1;
    }
    return __real_fsync(fd);
}
extern "C" int __wrap_rename(const char* from, const char* to) {
    if (g_renameError) {
        errno = g_renameError;
        return -1;
    }
    return __real_rename(from, to);
}

namespace {

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Writes in a child process with a file-size limit that stands in for a full
// disk; returns the reason the child's write gave.
std::string WriteOnAFullDisk(const std::string& path, size_t bytes) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 4096;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const Status outcome = WriteFileSafely(path, std::string(bytes, 'y'));
        const std::string said = outcome.ok() ? "ok" : outcome.error().Message();
        (void)!::write(pipeFds[1], said.data(), said.size());
        std::_Exit(0);
    }
    ::close(pipeFds[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, size_t(n));
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    return said;
}

} // namespace
#endif

// Each way a write can fail, on both ways of writing (an unnamed file, and a
// named temporary file where the file system has no unnamed files): failure
// with its reason, the former file whole, and nothing else in the folder.
TEST(SafeFile, EveryFailureKeepsTheFormerFileAndLeavesNothingElse) {
#ifdef _WIN32
    GTEST_SKIP() << "faults are injected into fsync and rename through -Wl,--wrap, POSIX calls the "
                    "Windows writer does not make; SafeFileWindows tests cover it there";
#else
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary file" : "unnamed file");
        g_safeFileUnnamedOff = named;
        TempDir dir;
        const std::string path = dir.File("template.eps");
        WriteWholeFile(path, "former template");

        EXPECT_EQ(WriteOnAFullDisk(path, 100000), "Cannot write \"" + path + "\": File too large.");
        EXPECT_EQ(ReadWholeFile(path), "former template");
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"template.eps"});

        g_fsyncError = EIO;
        const Status synced = WriteFileSafely(path, "new");
        g_fsyncError = 0;
        EXPECT_EQ(synced.error().Message(), "Cannot write \"" + path + "\": Input/output error.");
        EXPECT_EQ(ReadWholeFile(path), "former template");
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"template.eps"});

        g_renameError = EXDEV;
        const Status renamed = WriteFileSafely(path, "new");
        g_renameError = 0;
        EXPECT_EQ(renamed.error().Message(),
                  "Cannot write \"" + path + "\": Invalid cross-device link.");
        EXPECT_EQ(ReadWholeFile(path), "former template");
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"template.eps"});

        EXPECT_TRUE(WriteFileSafely(path, "new").ok());
        EXPECT_EQ(ReadWholeFile(path), "new");
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"template.eps"});
    }
    g_safeFileUnnamedOff = false;
#endif
}

// kill -9 at any moment of a large write: the folder then holds the former
// template or the new one, whole, and nothing else.
TEST(SafeFile, AKilledWriteLeavesTheOldFileOrTheNewOneAndNothingElse) {
#ifdef _WIN32
    GTEST_SKIP() << "needs fork() and SIGKILL";
#else
    TempDir dir;
    const std::string path = dir.File("kill.bmp");
    const std::string former = "former", large(48 << 20, 'n');
    for (const int delayUs : {0, 200, 1000, 3000, 8000, 20000, 60000}) {
        WriteWholeFile(path, former);
        const pid_t child = ::fork();
        if (child == 0) {
            WriteFileSafely(path, large);
            std::_Exit(0);
        }
        ::usleep(useconds_t(delayUs));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"kill.bmp"}) << delayUs << " us";
        const auto size = fs::file_size(path);
        EXPECT_TRUE(size == former.size() || size == large.size()) << size;
    }
#endif
}

// Stopped by a signal while a named temporary file exists, the program
// removes it on its way out.
TEST(SafeFile, TheNamedWayRemovesItsFileWhenTheProgramIsStopped) {
#ifdef _WIN32
    GTEST_SKIP() << "needs fork() and SIGTERM";
#else
    TempDir dir;
    const std::string path = dir.File("stop.bmp");
    const std::string large(48 << 20, 'n');
    for (const int delayUs : {2000, 10000, 30000}) {
        const pid_t child = ::fork();
        if (child == 0) {
            g_safeFileUnnamedOff = true;
            WriteFileSafely(path, large);
            std::_Exit(0);
        }
        ::usleep(useconds_t(delayUs));
        ::kill(child, SIGTERM);
        ::waitpid(child, nullptr, 0);
        for (const std::string& name : Entries(dir.path()))
            EXPECT_EQ(name, "stop.bmp") << delayUs << " us";
    }
#endif
}

TEST(SafeFile, LongNamesDanglingLinksAndOwners) {
#ifdef _WIN32
    GTEST_SKIP() << "dangling symbolic links and file owners are POSIX";
#else
    TempDir dir;
    // Any name the file system takes as a target works; the temporary name
    // never adds to it.
    const std::string longName = dir.File(std::string(250, 'n') + ".eps");
    WriteWholeFile(longName, "former");
    EXPECT_TRUE(WriteFileSafely(longName, "new").ok());
    EXPECT_EQ(ReadWholeFile(longName), "new");
    const std::string newLong = dir.File(std::string(251, 'm') + ".bmp");
    EXPECT_TRUE(WriteFileSafely(newLong, "BM").ok());
    EXPECT_EQ(ReadWholeFile(newLong), "BM");

    // A link to nothing is refused, as cp does, and stays a link.
    const std::string dangling = dir.File("dangling.eps");
    fs::create_symlink(dir.File("gone.eps"), dangling);
    EXPECT_EQ(WriteFileSafely(dangling, "x").error().Message(),
              "Cannot write \"" + dangling + "\": it is a link to \"" + dir.File("gone.eps") +
                  "\", which does not exist; remove the link or choose another name.");
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_FALSE(fs::exists(dir.File("gone.eps")));

    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another owner needs root";
    const std::string owned = dir.File("owned.eps");
    WriteWholeFile(owned, "theirs");
    ASSERT_EQ(::chown(owned.c_str(), 4321, 8765), 0);
    for (const bool named : {false, true}) {
        g_safeFileUnnamedOff = named;
        ASSERT_TRUE(WriteFileSafely(owned, "replaced").ok());
        struct stat info {};
        ::stat(owned.c_str(), &info);
        EXPECT_EQ(info.st_uid, 4321u);
        EXPECT_EQ(info.st_gid, 8765u);
    }
    g_safeFileUnnamedOff = false;
#endif
}
