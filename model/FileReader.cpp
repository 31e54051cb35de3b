#include "model/FileReader.h"

#include "model/NativeFile.h"

#include <cerrno>
#include <cstring>

FileReader::~FileReader() {
    if (m_fd >= 0)
        native::Close(m_fd);
}

namespace {

FileReader::Identity IdentityOf(const native::FileStatus& info) {
    return {info.device, info.inode, info.size, info.modifiedSeconds, info.modifiedNanoseconds};
}

const char* NotAFileReason(const native::FileStatus& info) {
    return info.folder ? "it is a folder, not a file" : "it is not a regular file";
}

} // namespace

bool FileReader::Open(const std::string& path) {
    // A pipe, a socket or a device is refused before it is opened: opening
    // some of them waits for a writer or acts on the device.
    native::FileStatus info;
    if (native::StatusOf(path, info) && !info.regular) {
        m_error = NotAFileReason(info);
        return false;
    }
    // Were it replaced by a pipe meanwhile, opening still returns at once.
    const int fd = native::OpenForReading(path);
    if (fd < 0) {
        m_error = std::strerror(errno);
        return false;
    }
    if (!native::StatusOf(fd, info) || !info.regular) {
        m_error = NotAFileReason(info);
        native::Close(fd);
        return false;
    }
    m_fd = fd;
    m_size = info.size;
    m_identity = IdentityOf(info);
    return true;
}

bool FileReader::Unchanged() const {
    native::FileStatus info;
    return m_fd >= 0 && native::StatusOf(m_fd, info) && IdentityOf(info) == m_identity;
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
        const int64_t got = native::ReadAt(m_fd, out, length, position);
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
