#include "export/SafeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Outcome Failure(const std::string& path, const std::string& why) {
    return Outcome::Failure("Cannot write \"" + path + "\": " + why + ".");
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

Outcome WriteInPlace(const std::string& path, std::string_view bytes) {
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
    return Outcome::Success();
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int CreateTemporary(const std::string& target, std::string& tempPath) {
    const std::string base = FolderOf(target) + "/." + FileNameOf(target) + ".partial-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = base + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Outcome WriteFileSafely(const std::string& path, std::string_view bytes) {
    if (path.empty())
        return Failure(path, "no file name was given");
    std::string target = path;
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (!exists && errno != ENOENT)
        return Failure(path, std::strerror(errno));
    if (exists) {
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

    std::string temp;
    const int fd = CreateTemporary(target, temp);
    if (fd < 0)
        return Failure(path, std::string("cannot create a file in its folder (") +
                                 std::strerror(errno) + ")");
    bool ok = WriteAll(fd, bytes);
    int error = errno;
    if (ok && exists && ::fchmod(fd, info.st_mode & 07777) != 0) {
        ok = false;
        error = errno;
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
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
    return Outcome::Success();
}
