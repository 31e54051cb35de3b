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

    // Opens a regular file for reading; never creates one. On failure, error()
    // says why in plain words.
    bool Open(const std::string& path);
    int64_t size() const { return m_size; }
    const std::string& error() const { return m_error; }

    // True when [position, position + length) lies inside the file.
    bool Contains(int64_t position, int64_t length) const;
    // Reads length bytes at an absolute position; false (and error()) when
    // any of them lies outside the file or the read fails.
    bool ReadAt(int64_t position, void* destination, size_t length);
    bool ReadI32(int64_t position, int32_t& value);

  private:
    int m_fd = -1;
    int64_t m_size = 0;
    std::string m_error;
};

// "Position N is out of bounds for a file of M bytes" and its kin.
std::string OutOfBoundsText(int64_t position, int64_t length, int64_t size);
