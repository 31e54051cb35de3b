#pragma once
// A .pk3 (or .dpk, .zip) archive, read in place through libzip: never
// extracted to disk. Archives come from downloads: every entry is checked as
// it is read (its method, encryption, CRC, and the bytes it actually inflates
// to), and names that could leave the game tree are not listed.
#include "model/ByteSource.h"
#include "model/Error.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// An entry may inflate to at most this many bytes (counted as they come,
// whatever the archive's directory claims).
inline constexpr int64_t kMaxEntryBytes = int64_t(64) << 20;

struct ArchiveEntry {
    std::string name; // as stored, '\' read as '/'
    uint64_t index;   // libzip's index
};

class Archive {
  public:
    // Opens and indexes the archive; an error names it and says why.
    static Result<std::shared_ptr<Archive>> Open(const std::string& path);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    const std::string& path() const { return m_path; }
    // The entries whose names are fit for a game tree, in the archive's order.
    const std::vector<ArchiveEntry>& entries() const { return m_entries; }
    // Names refused: "../x", absolute, or holding "::".
    const std::vector<std::string>& refused() const { return m_refused; }
    // An entry's bytes, read whole; the error names the archive and the entry.
    Result<SourceBytes> Read(const ArchiveEntry& entry) const;

  private:
    Archive() = default;
    std::string m_path;
    struct zip* m_zip = nullptr;
    // libzip reads one entry of an archive at a time.
    mutable std::mutex m_mutex;
    std::vector<ArchiveEntry> m_entries;
    std::vector<std::string> m_refused;
};

// True when a name is fit for a game tree: relative, no "..", no "::", no
// drive letter. '\' counts as '/'.
bool IsGamePath(const std::string& name);
// A game path as compared: lower case, '/' for '\', no leading "./" or "/".
std::string GamePathKey(std::string name);
