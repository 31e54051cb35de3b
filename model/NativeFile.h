#pragma once
// The one place where the core asks the operating system about files. Paths
// are UTF-8 in std::string everywhere else; on Windows they become wide
// strings here, at the call, and nowhere else.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

namespace native {

// A UTF-8 path as the standard library's path, and back. On Linux the bytes
// pass unchanged; on Windows a plain std::string would be read in the ANSI
// code page, so a name with "é" in it would name another file.
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);
// The same with '/' between the parts on every system.
std::string GenericUtf8Of(const std::filesystem::path& path);
// A piece of a native path string with '/' between its parts: on Windows
// '\\' becomes '/'; on Linux '\\' is a byte of a name and stays.
std::string SlashedPart(std::string part);

struct FileStatus {
    bool regular = false, folder = false;
    // Which file it is: the same two numbers for the same file.
    uint64_t device = 0, inode = 0;
    int64_t size = 0, modifiedSeconds = 0, modifiedNanoseconds = 0;
};
// As stat() and fstat(): false with errno set.
bool StatusOf(const std::string& path, FileStatus& status);
bool StatusOf(int fd, FileStatus& status);

// Opens an existing file for reading (a C runtime descriptor, which libzip
// can take); -1 with errno. Never waits on a pipe or a terminal.
int OpenForReading(const std::string& path);
// As pread(): the bytes read, 0 at the end, -1 with errno.
int64_t ReadAt(int fd, void* destination, size_t length, int64_t position);
void Close(int fd);

// The C library's pieces that Windows lacks or names otherwise.
// fnmatch(pattern, text, 0) == 0: '*', '?', "[a-z]", "[!x]" and '\\'
// quoting; '*' also matches '/'.
bool MatchesPattern(const std::string& pattern, const std::string& text);
// localtime_r.
bool LocalTime(std::time_t when, std::tm& local);

// Fresh zeroed pages for a large buffer (null when there are none), asked
// for in 2 MB pages where the system has them; and their return.
void* MapPages(size_t length);
void UnmapPages(void* at, size_t length);
// A hint that [at, at + length) is worth 2 MB pages; nothing where unsupported.
void HugePageHint(void* at, size_t length);

#ifdef _WIN32
// UTF-8 to UTF-16 for the wide Windows calls; empty (errno EILSEQ) when the
// bytes are not UTF-8.
std::wstring Wide(const std::string& utf8);
std::string Utf8OfWide(const std::wstring& wide);
// The errno closest to a Windows error code, so that messages read alike.
int ErrnoOf(unsigned long windowsError);
#endif

} // namespace native
