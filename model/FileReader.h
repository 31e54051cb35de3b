#pragma once
// A read-only file whose every read is checked against the file's size.
#include <cstddef>
#include <cstdint>
#include <string>

class FileReader {
  public:
    FileReader() = default;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader();

    // Opens a regular file for reading; never creates one, and never waits on
    // a pipe or a device. On failure, error() says why in plain words.
    bool Open(const std::string& path);
    int64_t size() const { return m_size; }

    // Which file this is and how it was when opened: two openings with the
    // same identity saw the same, unchanged file.
    struct Identity {
        uint64_t device = 0, inode = 0;
        int64_t size = 0, modifiedSeconds = 0, modifiedNanoseconds = 0;
        bool operator==(const Identity&) const = default;
    };
    const Identity& identity() const { return m_identity; }
    // True when the open file still has the identity it was opened with.
    bool Unchanged() const;
    const std::string& error() const { return m_error; }

    // True when [position, position + length) lies inside the file.
    bool Contains(int64_t position, int64_t length) const;
    // Reads length bytes at an absolute position; false (and error()) when
    // any of them lies outside the file or the read fails.
    bool ReadAt(int64_t position, void* destination, size_t length);

  private:
    int m_fd = -1;
    int64_t m_size = 0;
    Identity m_identity;
    std::string m_error;
};

// "Position N is out of bounds for a file of M bytes" and its kin.
std::string OutOfBoundsText(int64_t position, int64_t length, int64_t size);
