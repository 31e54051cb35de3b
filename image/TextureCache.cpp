#include "image/TextureCache.h"

#include <algorithm>
#include <new>

std::shared_ptr<const TextureImage> TextureCache::FindLocked(const Key& key) {
    const auto found = m_byKey.find(key);
    if (found == m_byKey.end())
        return nullptr;
    m_entries.splice(m_entries.begin(), m_entries, found->second);
    return found->second->picture;
}

void TextureCache::InsertLocked(const Key& key, std::shared_ptr<const TextureImage> picture) {
    if (const auto known = m_byKey.find(key); known != m_byKey.end()) {
        // Another thread decoded it meanwhile: keep the one already shared.
        m_entries.splice(m_entries.begin(), m_entries, known->second);
        return;
    }
    m_bytes += picture->Bytes();
    m_entries.push_front({key, std::move(picture)});
    m_byKey[key] = m_entries.begin();
    TrimLocked();
}

void TextureCache::TrimLocked() {
    // Oldest first, passing over what someone still holds: letting go of
    // those would free nothing, and they would be decoded again.
    for (auto at = m_entries.end(); m_bytes > m_budget && at != m_entries.begin();) {
        --at;
        if (at->picture.use_count() > 1)
            continue;
        m_bytes -= at->picture->Bytes();
        m_byKey.erase(at->key);
        at = m_entries.erase(at);
    }
}

std::shared_ptr<const TextureImage> TextureCache::FindFittingLocked(const std::string& key,
                                                                    int maxSide) {
    if (maxSide > 0)
        if (std::shared_ptr<const TextureImage> small = FindLocked({key, maxSide}))
            return small;
    // A picture that fits is kept once, as it is, for every size asked.
    std::shared_ptr<const TextureImage> full = FindLocked({key, 0});
    if (full && maxSide > 0 && (full->width > maxSide || full->height > maxSide))
        return nullptr;
    return full;
}

std::shared_ptr<const TextureImage> TextureCache::Get(const std::string& key, int maxSide,
                                                      const Decoder& decode, Error& problem) {
    maxSide = std::max(0, maxSide);
    std::shared_ptr<const TextureImage> full;
    uint64_t epoch = 0;
    auto current = [&] {
        const auto at = m_forgotten.find(key);
        return m_cleared + (at == m_forgotten.end() ? 0 : at->second);
    };
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        epoch = current();
        if (std::shared_ptr<const TextureImage> kept = FindFittingLocked(key, maxSide))
            return kept;
        if (const auto failed = m_failed.find(key); failed != m_failed.end()) {
            problem = failed->second;
            return nullptr;
        }
        full = FindLocked({key, 0}); // too large for maxSide: scaled from it
        // What was held before may have been let go: room before more is decoded.
        TrimLocked();
    }
    if (!full) {
        auto decoded = std::make_shared<TextureImage>();
        Status status = Success();
        try {
            status = decode(*decoded);
        } catch (const std::bad_alloc&) {
            status =
                Error{"Cannot read the texture", key, "there is not enough memory to decode it"};
        }
        if (!status.ok()) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (current() == epoch)
                m_failed[key] = status.error();
            problem = status.error();
            return nullptr;
        }
        full = std::move(decoded);
        // Kept as it is when asked so, or when it fits; a picture decoded
        // only to be scaled down is not kept at its full size.
        if (maxSide == 0 || (full->width <= maxSide && full->height <= maxSide)) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (current() != epoch)
                return full;
            // Held here while it goes in, so that the room is made around it.
            InsertLocked({key, 0}, full);
            return FindLocked({key, 0});
        }
    }
    std::shared_ptr<const TextureImage> small;
    try {
        small = std::make_shared<TextureImage>(ScaledToFit(*full, maxSide));
    } catch (const std::bad_alloc&) {
        problem = Error{"Cannot read the texture", key, "there is not enough memory to scale it"};
        return nullptr;
    }
    full.reset();
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (current() != epoch)
        return small;
    InsertLocked({key, maxSide}, small);
    return FindLocked({key, maxSide});
}

std::shared_ptr<const TextureImage> TextureCache::Peek(const std::string& key, int maxSide,
                                                       bool* failed) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (failed)
        *failed = m_failed.count(key) > 0;
    return FindFittingLocked(key, std::max(0, maxSide));
}

void TextureCache::Forget(const std::string& key) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    ++m_forgotten[key];
    m_failed.erase(key);
    for (auto at = m_byKey.lower_bound({key, 0}); at != m_byKey.end() && at->first.first == key;) {
        m_bytes -= at->second->picture->Bytes();
        m_entries.erase(at->second);
        at = m_byKey.erase(at);
    }
}

void TextureCache::Clear() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
    m_byKey.clear();
    m_failed.clear();
    m_bytes = 0;
    ++m_cleared;
}

size_t TextureCache::bytes() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bytes;
}

size_t TextureCache::count() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries.size();
}

TextureImage ScaledToFit(const TextureImage& picture, int maxSide) {
    if (maxSide <= 0 || (picture.width <= maxSide && picture.height <= maxSide))
        return picture;
    const int w0 = picture.width, h0 = picture.height;
    const int64_t longest = std::max(w0, h0);
    TextureImage out;
    out.width =
        int(std::clamp<int64_t>((int64_t(w0) * maxSide + longest / 2) / longest, 1, maxSide));
    out.height =
        int(std::clamp<int64_t>((int64_t(h0) * maxSide + longest / 2) / longest, 1, maxSide));
    out.rgba.resize(size_t(out.width) * size_t(out.height) * 4);
    for (int y = 0; y < out.height; ++y) {
        const int y0 = int(int64_t(y) * h0 / out.height);
        const int y1 = std::max(y0 + 1, int(int64_t(y + 1) * h0 / out.height));
        for (int x = 0; x < out.width; ++x) {
            const int x0 = int(int64_t(x) * w0 / out.width);
            const int x1 = std::max(x0 + 1, int(int64_t(x + 1) * w0 / out.width));
            uint64_t r = 0, g = 0, b = 0, a = 0;
            for (int sy = y0; sy < y1; ++sy) {
                const uint8_t* p = &picture.rgba[(size_t(sy) * size_t(w0) + size_t(x0)) * 4];
                for (int sx = x0; sx < x1; ++sx, p += 4) {
                    r += uint64_t(p[0]) * p[3];
                    g += uint64_t(p[1]) * p[3];
                    b += uint64_t(p[2]) * p[3];
                    a += p[3];
                }
            }
            const uint64_t n = uint64_t(x1 - x0) * uint64_t(y1 - y0);
            uint8_t* q = &out.rgba[(size_t(y) * size_t(out.width) + size_t(x)) * 4];
            if (a > 0) {
                q[0] = uint8_t((r + a / 2) / a);
                q[1] = uint8_t((g + a / 2) / a);
                q[2] = uint8_t((b + a / 2) / a);
            }
            q[3] = uint8_t((a + n / 2) / n);
        }
    }
    return out;
}
