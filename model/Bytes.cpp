#include "model/Bytes.h"

#include "model/NativeFile.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace {

constexpr size_t kLargePage = size_t(2) << 20;

// The last large buffers given back, kept for the next load: a model loaded
// again (or the next one) then reuses memory already faulted in, instead of
// having the kernel clear tens of megabytes of fresh pages. Bounded.
constexpr size_t kKeptBuffers = 2;
constexpr size_t kKeptBytes = size_t(256) << 20;

struct Kept {
    void* at;
    size_t length;
};

std::mutex g_keptMutex;
std::vector<Kept> g_kept;

// A kept mapping of at least `length` bytes (and not wastefully larger), or null.
void* TakeKept(size_t length) {
    const std::lock_guard<std::mutex> lock(g_keptMutex);
    for (size_t i = 0; i < g_kept.size(); ++i)
        if (g_kept[i].length == length) {
            void* at = g_kept[i].at;
            g_kept.erase(g_kept.begin() + long(i));
            return at;
        }
    return nullptr;
}

void GiveBack(void* at, size_t length) {
    {
        const std::lock_guard<std::mutex> lock(g_keptMutex);
        size_t kept = 0;
        for (const Kept& k : g_kept)
            kept += k.length;
        if (length <= kKeptBytes - std::min(kept, kKeptBytes)) {
            g_kept.push_back({at, length});
            if (g_kept.size() <= kKeptBuffers)
                return;
            const Kept oldest = g_kept.front();
            g_kept.erase(g_kept.begin());
            at = oldest.at;
            length = oldest.length;
        }
    }
    native::UnmapPages(at, length);
}

} // namespace

std::shared_ptr<Bytes> Bytes::Allocate(size_t size) {
    std::shared_ptr<Bytes> bytes(new (std::nothrow) Bytes);
    if (!bytes)
        return nullptr;
    bytes->m_size = size;
    if (size >= kLargePage) {
        const size_t length = (size + kLargePage - 1) / kLargePage * kLargePage;
        void* at = TakeKept(length);
        if (!at)
            at = native::MapPages(length);
        if (at) {
            bytes->m_data = static_cast<uint8_t*>(at);
            bytes->m_mapped = length;
            return bytes;
        }
    }
    bytes->m_data = new (std::nothrow) uint8_t[size ? size : 1];
    return bytes->m_data ? bytes : nullptr;
}

std::shared_ptr<const Bytes> Bytes::Copy(const uint8_t* data, size_t size) {
    std::shared_ptr<Bytes> bytes = Allocate(size);
    if (bytes && size)
        std::memcpy(bytes->data(), data, size);
    return bytes;
}

Bytes::~Bytes() {
    if (m_mapped)
        GiveBack(m_data, m_mapped);
    else
        delete[] m_data;
}
