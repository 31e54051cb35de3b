#include "export/SafeFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Status Failure(const std::string& path, const std::string& why) {
    return Error{"Cannot write", path, why};
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(size_t(put));
    }
    return true;
}

Status WriteInPlace(const std::string& path, std::string_view bytes) {
    // O_NONBLOCK keeps a pipe without a reader from hanging the program.
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failure(path, std::strerror(errno));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const bool written = WriteAll(fd, bytes);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written)
        return Failure(path, std::strerror(writeError));
    if (!closed)
        return Failure(path, std::strerror(errno));
    return Success();
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A short name of fixed length beside the target, whatever the target's
// length: ".gw-" and eight hex digits.
std::string TemporaryName(const std::string& folder, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const unsigned mixed =
        (unsigned(::getpid()) * 2654435761u) ^ (counter++ * 40503u) ^ (attempt * 9176u);
    char name[16];
    std::snprintf(name, sizeof name, ".gw-%08x", mixed);
    return folder + "/" + name;
}

// The named temporary file of the fallback path, removed if the program is
// told to stop while it exists. A fixed buffer: the handler may only unlink.
char g_pendingTemporary[PATH_MAX];
volatile sig_atomic_t g_havePendingTemporary = 0;

extern "C" void RemovePendingTemporary(int signal) {
    if (g_havePendingTemporary)
        ::unlink(g_pendingTemporary);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

class PendingTemporaryGuard {
  public:
    PendingTemporaryGuard() {
        struct sigaction action {};
        action.sa_handler = RemovePendingTemporary;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < 3; ++i)
            ::sigaction(kSignals[i], &action, &m_previous[i]);
    }
    // Named before the file is created, so no moment leaves it unguarded.
    void Guard(const std::string& path) {
        g_havePendingTemporary = 0;
        if (path.empty() || path.size() >= sizeof g_pendingTemporary)
            return;
        std::memcpy(g_pendingTemporary, path.c_str(), path.size() + 1);
        g_havePendingTemporary = 1;
    }
    ~PendingTemporaryGuard() {
        g_havePendingTemporary = 0;
        for (int i = 0; i < 3; ++i)
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
    }

  private:
    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_previous[3]{};
};

// What a new file must keep of the one it replaces.
struct Former {
    bool exists = false;
    struct stat info {};
};

// Writes, sets the mode and owner, and flushes to disk; false with errno.
bool FillAndSync(int fd, std::string_view bytes, const Former& former) {
    if (!WriteAll(fd, bytes))
        return false;
    if (former.exists) {
        if (::fchmod(fd, former.info.st_mode & 07777) != 0)
            return false;
        // Only an administrator can give a file away; for anyone else the
        // owner is already theirs and the group stays the folder's default.
        if (::geteuid() == 0 &&
            (former.info.st_uid != ::geteuid() || former.info.st_gid != ::getegid()) &&
            ::fchown(fd, former.info.st_uid, former.info.st_gid) != 0)
            return false;
    }
    return ::fsync(fd) == 0;
}

// The content as an unnamed file in the target's folder, named only once it
// is complete: a kill at any moment leaves no scrap behind. `unsupported`
// says that the file system (or a missing /proc) cannot do it this way.
Status WriteUnnamed(const std::string& path, const std::string& target, std::string_view bytes,
                    const Former& former, bool& unsupported) {
    unsupported = false;
    const std::string folder = FolderOf(target);
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        unsupported = errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL;
        return Failure(path, std::string("cannot create a file in its folder (") +
                                 std::strerror(errno) + ")");
    }
    if (!FillAndSync(fd, bytes, former)) {
        const int error = errno;
        ::close(fd);
        return Failure(path, std::strerror(error));
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    // A new target gets its name directly; an existing one is replaced by a
    // rename from a short temporary name, the only moment a name is extra.
    int error = 0;
    if (!former.exists &&
        ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        ::close(fd);
        return Success();
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = TemporaryName(folder, attempt);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            error = errno;
            if (error == EEXIST)
                continue;
            break;
        }
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            error = errno;
            ::unlink(temp.c_str());
            break;
        }
        ::close(fd);
        return Success();
    }
    ::close(fd);
    if (error == ENOENT) // no /proc: write the way that needs no unnamed file
        unsupported = true;
    return Failure(path, std::strerror(error));
}

// The same with a named temporary file, for file systems without unnamed
// files; the name is removed on failure and when the program is stopped.
Status WriteNamed(const std::string& path, const std::string& target, std::string_view bytes,
                  const Former& former) {
    const std::string folder = FolderOf(target);
    PendingTemporaryGuard guard;
    std::string temp;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = TemporaryName(folder, attempt);
        guard.Guard(temp);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno;
        guard.Guard({}); // never remove a file someone else made under that name
        return Failure(path, std::string("cannot create a file in its folder (") +
                                 std::strerror(error) + ")");
    }
    bool ok = FillAndSync(fd, bytes, former);
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return Failure(path, std::strerror(error));
    }
    return Success();
}

} // namespace

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool g_safeFileUnnamedOff = false;

Status WriteFileSafely(const std::string& path, std::string_view bytes) {
    if (path.empty())
        return Failure(path, "no file name was given");
    std::string target = path;
    Former former;
    former.exists = ::stat(path.c_str(), &former.info) == 0;
    if (!former.exists && errno != ENOENT)
        return Failure(path, std::strerror(errno));
    if (!former.exists) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            char points[PATH_MAX] = {};
            const ssize_t n = ::readlink(path.c_str(), points, sizeof points - 1);
            return Failure(path, "it is a link to \"" + std::string(points, n > 0 ? size_t(n) : 0) +
                                     "\", which does not exist; remove the link or choose "
                                     "another name");
        }
    }
    if (former.exists) {
        const struct stat& info = former.info;
        if (S_ISDIR(info.st_mode))
            return Failure(path, "it is a folder");
        if (!S_ISREG(info.st_mode))
            return WriteInPlace(path, bytes);
        // The read-only bits hold even for an administrator, as users expect.
        if ((info.st_mode & 0222) == 0)
            return Failure(path, "the file is read-only");
        const int probe = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (probe < 0)
            return Failure(path, std::strerror(errno));
        ::close(probe);
        // Replace the file a link points to, not the link.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            target = resolved;
    }
    if (!g_safeFileUnnamedOff) {
        bool unsupported = false;
        Status outcome = WriteUnnamed(path, target, bytes, former, unsupported);
        if (outcome.ok() || !unsupported)
            return outcome;
    }
    return WriteNamed(path, target, bytes, former);
}
