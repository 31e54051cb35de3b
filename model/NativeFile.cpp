#include "model/NativeFile.h"

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace native {

#ifndef _WIN32

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

std::string Utf8Of(const std::filesystem::path& path) {
    return path.string();
}

std::string GenericUtf8Of(const std::filesystem::path& path) {
    return path.generic_string();
}

std::string SlashedPart(std::string part) {
    return part;
}

namespace {

void Fill(const struct stat& info, FileStatus& status) {
    status.regular = S_ISREG(info.st_mode);
    status.folder = S_ISDIR(info.st_mode);
    status.device = uint64_t(info.st_dev);
    status.inode = uint64_t(info.st_ino);
    status.size = int64_t(info.st_size);
    status.modifiedSeconds = int64_t(info.st_mtim.tv_sec);
    status.modifiedNanoseconds = int64_t(info.st_mtim.tv_nsec);
}

} // namespace

bool StatusOf(const std::string& path, FileStatus& status) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return false;
    Fill(info, status);
    return true;
}

bool StatusOf(int fd, FileStatus& status) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return false;
    Fill(info, status);
    return true;
}

int OpenForReading(const std::string& path) {
    // O_NONBLOCK: were it a pipe after all, opening still returns at once;
    // reads then block as usual.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int64_t ReadAt(int fd, void* destination, size_t length, int64_t position) {
    return ::pread(fd, destination, length, off_t(position));
}

void Close(int fd) {
    ::close(fd);
}

bool MatchesPattern(const std::string& pattern, const std::string& text) {
    return ::fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
}

bool LocalTime(std::time_t when, std::tm& local) {
    return ::localtime_r(&when, &local) != nullptr;
}

void* MapPages(size_t length) {
    void* at = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED)
        return nullptr;
    ::madvise(at, length, MADV_HUGEPAGE); // a hint: ordinary pages otherwise
    return at;
}

void UnmapPages(void* at, size_t length) {
    ::munmap(at, length);
}

void HugePageHint(void* at, size_t length) {
    ::madvise(at, length, MADV_HUGEPAGE);
}

#else

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                        int(utf8.size()), nullptr, 0);
    if (n <= 0) {
        errno = EILSEQ;
        return {};
    }
    std::wstring wide(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), wide.data(),
                          n);
    return wide;
}

std::string Utf8OfWide(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string utf8(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr,
                              nullptr);
    return utf8;
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string GenericUtf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string SlashedPart(std::string part) {
    for (char& c : part)
        if (c == '\\')
            c = '/';
    return part;
}

int ErrnoOf(unsigned long windowsError) {
    switch (windowsError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

namespace {

// FILETIME counts 100 ns steps from 1601; the rest of the core counts from 1970.
void FillTime(const FILETIME& time, FileStatus& status) {
    const int64_t ticks =
        int64_t((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) - 116444736000000000;
    status.modifiedSeconds = ticks / 10000000;
    status.modifiedNanoseconds = ticks % 10000000 * 100;
}

bool FillFromHandle(HANDLE handle, FileStatus& status) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        errno = ErrnoOf(::GetLastError());
        return false;
    }
    status.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.regular = !status.folder && ::GetFileType(handle) == FILE_TYPE_DISK &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
    status.device = info.dwVolumeSerialNumber;
    status.inode = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    status.size = int64_t((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    FillTime(info.ftLastWriteTime, status);
    return true;
}

} // namespace

bool StatusOf(const std::string& path, FileStatus& status) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) {
        errno = ENOENT;
        return false;
    }
    // No access asked: this only looks, even at a file another program holds.
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        const bool filled = FillFromHandle(handle, status);
        ::CloseHandle(handle);
        return filled;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        errno = ErrnoOf(::GetLastError());
        return false;
    }
    status = {};
    status.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.regular = !status.folder && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
    status.size = int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    FillTime(data.ftLastWriteTime, status);
    return true;
}

bool StatusOf(int fd, FileStatus& status) {
    const intptr_t handle = ::_get_osfhandle(fd);
    if (handle == -1) {
        errno = EBADF;
        return false;
    }
    return FillFromHandle(reinterpret_cast<HANDLE>(handle), status);
}

int OpenForReading(const std::string& path) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) {
        errno = ENOENT;
        return -1;
    }
    // Shared every way, so that another program can still write, rename or
    // delete a model Gridwright has open, as on Linux.
    const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(::GetLastError());
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

int64_t ReadAt(int fd, void* destination, size_t length, int64_t position) {
    const intptr_t handle = ::_get_osfhandle(fd);
    if (handle == -1 || position < 0) {
        errno = handle == -1 ? EBADF : EINVAL;
        return -1;
    }
    OVERLAPPED at{};
    at.Offset = DWORD(uint64_t(position) & 0xffffffffu);
    at.OffsetHigh = DWORD(uint64_t(position) >> 32);
    const DWORD asked = length > (DWORD(1) << 30) ? (DWORD(1) << 30) : DWORD(length);
    DWORD got = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle), destination, asked, &got, &at)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF)
            return 0;
        errno = ErrnoOf(error);
        return -1;
    }
    return int64_t(got);
}

void Close(int fd) {
    ::_close(fd);
}

namespace {

// One bracket expression at pattern[p] ('['); sets `matched` and returns the
// position after it, or npos when it is not closed (then '[' is literal).
size_t Bracket(const std::string& pattern, size_t p, unsigned char c, bool& matched) {
    size_t at = p + 1;
    const bool negated = at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^');
    if (negated)
        ++at;
    bool found = false;
    for (bool first = true; at < pattern.size(); first = false) {
        if (pattern[at] == ']' && !first) {
            matched = found != negated;
            return at + 1;
        }
        unsigned char low = static_cast<unsigned char>(pattern[at]);
        if (low == '\\' && at + 1 < pattern.size())
            low = static_cast<unsigned char>(pattern[++at]);
        ++at;
        unsigned char high = low;
        if (at + 1 < pattern.size() && pattern[at] == '-' && pattern[at + 1] != ']') {
            high = static_cast<unsigned char>(pattern[at + 1]);
            if (high == '\\' && at + 2 < pattern.size())
                high = static_cast<unsigned char>(pattern[++at + 1]);
            at += 2;
        }
        if (low <= c && c <= high)
            found = true;
    }
    return std::string::npos;
}

} // namespace

bool MatchesPattern(const std::string& pattern, const std::string& text) {
    // The last '*' seen and where its match began: backtracking to it alone
    // is enough, so the time is bounded by pattern length times text length.
    size_t p = 0, t = 0, starP = std::string::npos, starT = 0;
    while (t < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[t]);
        bool step = false;
        size_t next = p + 1;
        if (p < pattern.size()) {
            const char k = pattern[p];
            if (k == '*') {
                starP = p++;
                starT = t;
                continue;
            }
            if (k == '?') {
                step = true;
            } else if (k == '[') {
                bool matched = false;
                const size_t after = Bracket(pattern, p, c, matched);
                if (after == std::string::npos)
                    step = c == '[';
                else {
                    step = matched;
                    next = after;
                }
            } else if (k == '\\' && p + 1 < pattern.size()) {
                step = static_cast<unsigned char>(pattern[p + 1]) == c;
                next = p + 2;
            } else {
                step = static_cast<unsigned char>(k) == c;
            }
        }
        if (step) {
            p = next;
            ++t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool LocalTime(std::time_t when, std::tm& local) {
    return ::localtime_s(&local, &when) == 0;
}

void* MapPages(size_t length) {
    return ::VirtualAlloc(nullptr, length, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void UnmapPages(void* at, size_t /*length*/) {
    ::VirtualFree(at, 0, MEM_RELEASE);
}

void HugePageHint(void* /*at*/, size_t /*length*/) {
    // Large pages on Windows need a privilege users do not have.
}

#endif

} // namespace native
