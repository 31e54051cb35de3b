// WriteFileSafely on Windows: a temporary file in the target's folder,
// flushed to disk, then moved over the target in one step. Windows has no
// unnamed files, so the temporary always has a short name, removed on
// failure and when the console asks the program to stop.
#include "export/SafeFile.h"

#include "model/NativeFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <windows.h>

namespace {

Status Failure(const std::string& path, const std::string& why) {
    return Error{"Cannot write", path, why};
}

std::string WhyOf(DWORD error) {
    return std::strerror(native::ErrnoOf(error));
}

// The words for a target another program holds open. Nothing has changed
// when they are said: the target keeps its former bytes.
constexpr const char* kHeldOpen =
    "another program has the file open and does not let it be replaced; close it there and "
    "write again (the file was left as it was)";

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The folder part, as the path names it: "." for a bare name, "C:" for "C:x".
std::string FolderOf(const std::string& path) {
    size_t cut = path.size();
    while (cut > 0 && !IsSeparator(path[cut - 1]) && !(cut == 2 && path[1] == ':'))
        --cut;
    if (cut == 0)
        return ".";
    std::string folder = path.substr(0, cut);
    // Keep a root's separator ("\", "C:\"); drop any other trailing one.
    while (folder.size() > 1 && IsSeparator(folder.back()) &&
           !(folder.size() == 3 && folder[1] == ':') && !IsSeparator(folder[folder.size() - 2]))
        folder.pop_back();
    return folder;
}

std::string TemporaryName(const std::string& folder, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const unsigned mixed = (unsigned(::GetCurrentProcessId()) * 2654435761u) ^
                           (counter++ * 40503u) ^ (attempt * 9176u);
    char name[16];
    std::snprintf(name, sizeof name, ".gw-%08x", mixed);
    const bool bare = IsSeparator(folder.back()) || folder.back() == ':';
    return folder + (bare ? "" : "\\") + name;
}

// The temporary file that exists now, removed if the console stops the program.
wchar_t g_pending[32768];
volatile LONG g_havePending = 0;

BOOL WINAPI RemovePendingTemporary(DWORD /*event*/) {
    if (g_havePending)
        ::DeleteFileW(g_pending);
    return FALSE; // and let the program stop as it would have
}

class PendingTemporaryGuard {
  public:
    PendingTemporaryGuard() { ::SetConsoleCtrlHandler(RemovePendingTemporary, TRUE); }
    void Guard(const std::wstring& path) {
        g_havePending = 0;
        if (path.empty() || path.size() >= sizeof g_pending / sizeof g_pending[0])
            return;
        std::memcpy(g_pending, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        g_havePending = 1;
    }
    ~PendingTemporaryGuard() {
        g_havePending = 0;
        ::SetConsoleCtrlHandler(RemovePendingTemporary, FALSE);
    }
};

bool WriteAll(HANDLE file, std::string_view bytes, DWORD& error) {
    while (!bytes.empty()) {
        const DWORD ask = bytes.size() > (DWORD(1) << 30) ? (DWORD(1) << 30) : DWORD(bytes.size());
        DWORD put = 0;
        if (!::WriteFile(file, bytes.data(), ask, &put, nullptr)) {
            error = ::GetLastError();
            return false;
        }
        if (put == 0) {
            error = ERROR_DISK_FULL;
            return false;
        }
        bytes.remove_prefix(put);
    }
    return true;
}

// A device or a pipe ("NUL", "\\.\pipe\x") is written as it is: there is no
// folder to hold a temporary beside it.
Status WriteInPlace(const std::string& path, const std::wstring& wide, std::string_view bytes) {
    const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Failure(path, WhyOf(::GetLastError()));
    DWORD error = 0;
    const bool written = WriteAll(file, bytes, error);
    ::CloseHandle(file);
    return written ? Success() : Failure(path, WhyOf(error));
}

} // namespace

std::string FileNameOf(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    if (cut == std::string::npos)
        return path.size() >= 2 && path[1] == ':' ? path.substr(2) : path;
    return path.substr(cut + 1);
}

bool g_safeFileUnnamedOff = false;

Status WriteFileSafely(const std::string& path, std::string_view bytes) {
    if (path.empty())
        return Failure(path, "no file name was given");
    const std::wstring target = native::Wide(path);
    if (target.empty())
        return Failure(path, "the name is not valid UTF-8");
    WIN32_FILE_ATTRIBUTE_DATA former{};
    const bool exists = ::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &former);
    if (!exists) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            native::FileStatus device;
            // "NUL", "CON" and their kin have no attributes but can be written.
            if (native::StatusOf(path, device) && !device.regular && !device.folder)
                return WriteInPlace(path, target, bytes);
            return Failure(path, error == ERROR_PATH_NOT_FOUND
                                     ? std::string("its folder does not exist")
                                     : WhyOf(error));
        }
    } else {
        if (former.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return Failure(path, "it is a folder");
        if (former.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            return Failure(path, "the file is read-only");
        // Asked as another writer would: refused when a program holds it
        // without sharing, before anything is made beside it.
        const HANDLE probe = ::CreateFileW(target.c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
                return Failure(path, kHeldOpen);
            return Failure(path, WhyOf(error));
        }
        const bool disk = ::GetFileType(probe) == FILE_TYPE_DISK;
        ::CloseHandle(probe);
        if (!disk)
            return WriteInPlace(path, target, bytes);
    }

    PendingTemporaryGuard guard;
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temp = native::Wide(TemporaryName(FolderOf(path), attempt));
        guard.Guard(temp);
        // The former file's hidden and archive marks carry over to the new one.
        const DWORD marks =
            exists ? former.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE |
                                                FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)
                   : 0;
        file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             marks ? marks : FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
                break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        guard.Guard({}); // never remove a file someone else made under that name
        return Failure(path, "cannot create a file in its folder (" + WhyOf(error) + ")");
    }
    bool ok = WriteAll(file, bytes, error);
    if (ok && !::FlushFileBuffers(file)) {
        ok = false;
        error = ::GetLastError();
    }
    ::CloseHandle(file);
    // One step from the complete temporary to the target's name: the target
    // has its former bytes or the new ones, never a part of them.
    if (ok && !::MoveFileExW(temp.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) {
        ::DeleteFileW(temp.c_str());
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
            (exists && error == ERROR_ACCESS_DENIED))
            return Failure(path, kHeldOpen);
        return Failure(path, WhyOf(error));
    }
    return Success();
}
