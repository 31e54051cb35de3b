#pragma once
// A file's bytes held in memory. Large buffers are fresh anonymous memory
// asked for in 2 MB pages: a 40 MB model is read in a few milliseconds
// rather than spending most of its load time faulting in 4 KB pages.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

class Bytes {
  public:
    // size bytes, not initialised: the caller fills them. Null when the
    // memory cannot be had.
    static std::shared_ptr<Bytes> Allocate(size_t size);
    static std::shared_ptr<const Bytes> Copy(const uint8_t* data, size_t size);

    ~Bytes();
    Bytes(const Bytes&) = delete;
    Bytes& operator=(const Bytes&) = delete;

    uint8_t* data() { return m_data; }
    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }
    std::span<const uint8_t> span() const { return {m_data, m_size}; }

  private:
    Bytes() = default;
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_mapped = 0; // bytes mapped, when the memory is a mapping
};
