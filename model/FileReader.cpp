#include "model/FileReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileReader::~FileReader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

namespace {

FileReader::Identity IdentityOf(const struct stat& info) {
    return {uint64_t(info.st_dev), uint64_t(info.st_ino), int64_t(info.st_size),
            int64_t(info.st_mtim.tv_sec), int64_t(info.st_mtim.tv_nsec)};
}

const char* NotAFileReason(mode_t mode) {
    return S_ISDIR(mode) ? "it is a folder, not a file" : "it is not a regular file";
}

} // namespace

bool FileReader::Open(const std::string& path) {
    // A pipe, a socket or a device is refused before it is opened: opening
    // some of them waits for a writer or acts on the device.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        m_error = NotAFileReason(info.st_mode);
        return false;
    }
    // O_NONBLOCK: were it replaced by a pipe meanwhile, opening still returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        m_error = std::strerror(errno);
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_error = NotAFileReason(info.st_mode);
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    m_size = info.st_size;
    m_identity = IdentityOf(info);
    return true;
}

bool FileReader::Unchanged() const {
    struct stat info {};
    return m_fd >= 0 && ::fstat(m_fd, &info) == 0 && IdentityOf(info) == m_identity;
}

bool FileReader::Contains(int64_t position, int64_t length) const {
    return position >= 0 && length >= 0 && position <= m_size && length <= m_size - position;
}

bool FileReader::ReadAt(int64_t position, void* destination, size_t length) {
    if (!Contains(position, static_cast<int64_t>(length))) {
        m_error = OutOfBoundsText(position, static_cast<int64_t>(length), m_size);
        return false;
    }
    auto* out = static_cast<char*>(destination);
    while (length > 0) {
        const ssize_t got = ::pread(m_fd, out, length, position);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            m_error =
                got == 0 ? "the file ended early while it was being read" : std::strerror(errno);
            return false;
        }
        out += got;
        position += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

std::string OutOfBoundsText(int64_t position, int64_t length, int64_t size) {
    if (length <= 1)
        return "position " + std::to_string(position) + " is out of bounds for a file of " +
               std::to_string(size) + " bytes";
    return "bytes " + std::to_string(position) + " to " + std::to_string(position + length - 1) +
           " are out of bounds for a file of " + std::to_string(size) + " bytes";
}
