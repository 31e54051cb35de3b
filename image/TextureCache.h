#pragma once
// Decoded textures, each decoded once and kept while they fit in one byte
// budget: the window, the command line, the batch and the workspace all keep
// their pictures here. When the budget is passed, the least recently used
// pictures that nobody else holds go first; a picture still held (by a
// drawing, a view) stays, and counts, until it is let go. Thread-safe.
#include "image/TextureImage.h"

#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

// Decoded textures kept at once.
inline constexpr size_t kTextureCacheBytes = size_t(512) << 20;

class TextureCache {
  public:
    explicit TextureCache(size_t budget = kTextureCacheBytes) : m_budget(budget) {}
    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;

    // Fills a picture from its file; an error says why it cannot.
    using Decoder = std::function<Status(TextureImage&)>;

    // The picture of `key`, at most `maxSide` pixels a side (0: as it is;
    // a larger one is scaled down keeping its shape): from the cache, or
    // decoded now (outside the lock) and kept. Null, and the decoder's error,
    // when it does not decode; the error is kept until the key is forgotten.
    std::shared_ptr<const TextureImage> Get(const std::string& key, int maxSide,
                                            const Decoder& decode, Error& problem);
    // The picture when the cache has it (a known failure sets `failed`);
    // never decodes.
    std::shared_ptr<const TextureImage> Peek(const std::string& key, int maxSide,
                                             bool* failed = nullptr);
    // Forgets what was decoded from `key` at every size, and its failure;
    // a decode of it under way when this is called is given to its caller
    // but not kept.
    void Forget(const std::string& key);
    // Forgets everything, as Forget does each key.
    void Clear();

    size_t budget() const { return m_budget; }
    // The bytes of the pictures kept.
    size_t bytes() const;
    size_t count() const;

  private:
    using Key = std::pair<std::string, int>;
    struct Entry {
        Key key;
        std::shared_ptr<const TextureImage> picture;
    };
    std::shared_ptr<const TextureImage> FindLocked(const Key& key);
    std::shared_ptr<const TextureImage> FindFittingLocked(const std::string& key, int maxSide);
    void InsertLocked(const Key& key, std::shared_ptr<const TextureImage> picture);
    void TrimLocked();

    const size_t m_budget;
    mutable std::mutex m_mutex;
    std::list<Entry> m_entries; // most recently used first
    std::map<Key, std::list<Entry>::iterator> m_byKey;
    std::map<std::string, Error> m_failed;
    // Bumped when a key is forgotten: a decode begun before is not kept (it
    // read the file as it was).
    std::map<std::string, uint64_t> m_forgotten;
    uint64_t m_cleared = 0; // the same for every key at once
    size_t m_bytes = 0;
};

// The picture scaled down to at most maxSide pixels a side, keeping its
// shape (each new pixel the average of those it covers, alpha-weighted so
// that transparent pixels lend no colour); the picture itself when it fits.
TextureImage ScaledToFit(const TextureImage& picture, int maxSide);
