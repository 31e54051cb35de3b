#pragma once
// A game's archive, read in place: never extracted to disk. Two kinds, told
// apart by their first bytes whatever the file is named: a zip (.pk3, .dpk,
// .zip) read through libzip, and an id pak (.pak: a "PACK" header, then a
// directory of 64-byte entries whose data are stored as they are). Archives
// come from downloads: every entry is checked as it is read (its method,
// encryption, CRC, and the bytes it actually inflates to), names that could
// leave the game tree are not listed, and entries whose data overlap
// another's (one stream inflated a hundred times) or lie outside the file
// are refused. Only a few archives stay open at once, of both kinds: a game
// of a thousand paks must not take every file descriptor the process has.
#include "model/ByteSource.h"
#include "model/Error.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// An entry may inflate to at most this many bytes (counted as they come,
// whatever the archive's directory claims).
inline constexpr int64_t kMaxEntryBytes = int64_t(64) << 20;
// Archives kept open at once; the others are opened again when read.
inline constexpr size_t kOpenArchives = 32;
// Entries a .pak's directory may list: the engines read a few thousand.
inline constexpr uint64_t kMaxPakEntries = uint64_t(1) << 20;

struct ArchiveEntry {
    std::string name;  // as stored, '\' read as '/'
    uint64_t index;    // libzip's index, or the entry's place in a .pak's directory
    uint64_t offset{}; // a .pak's entry: where its bytes start in the file
    uint64_t size{};   // and how many there are
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
    // Each game path (GamePathKey) once, with the entry it names: the entry
    // of that name the engine reads (the last of a zip's, the first of a .pak's).
    const std::map<std::string, size_t>& byKey() const { return m_byKey; }
    const ArchiveEntry* Find(const std::string& gamePath) const;
    // Names refused: "../x", absolute, or holding "::".
    const std::vector<std::string>& refused() const { return m_refused; }
    // Names left out because their data overlap another entry's.
    const std::vector<std::string>& overlapping() const { return m_overlapping; }
    // Names left out because their data lie outside the file (a .pak's).
    const std::vector<std::string>& outside() const { return m_outside; }
    // Names stored more than once, each once.
    const std::vector<std::string>& duplicates() const { return m_duplicates; }
    // True for an id pak ("PACK"), false for a zip, whatever the file's name.
    bool isPak() const { return m_pak; }

    // An entry's bytes, read whole. Inflating stops as soon as it passes
    // `limit` (the error's reason is then `tooLarge`, or says the limit), or
    // as soon as `budget` (bytes, shared by all the reads of a game) runs
    // out. The error names the archive and the entry.
    Result<SourceBytes> Read(const ArchiveEntry& entry, int64_t limit = kMaxEntryBytes,
                             const std::string& tooLarge = {},
                             std::atomic<int64_t>* budget = nullptr) const;

    // Archives open now, of all of them (for the tests).
    static size_t OpenCount();

  private:
    friend struct ArchivePool;
    Archive() = default;
    Status Reopen() const; // with m_mutex held
    void Close() const;    // with m_mutex held
    // Indexes the directory of a .pak open as `fd`; an error says what is wrong.
    Status IndexPak(int fd);
    // Lists one entry under the rules both kinds share: the name fit for a
    // game tree, not sharing its data, the duplicates said.
    void Admit(std::string name, ArchiveEntry entry, bool shared, bool outside,
               std::map<std::string, int>& seen);
    Result<SourceBytes> ReadPak(const ArchiveEntry& entry, int64_t limit,
                                const std::string& tooLarge, std::atomic<int64_t>* budget,
                                const std::string& origin) const;
    std::string m_path;
    bool m_pak = false;
    // The file as first opened: the same one is read again, or none.
    uint64_t m_device = 0, m_inode = 0;
    int64_t m_size = 0, m_modified = 0;
    mutable struct zip* m_zip = nullptr;
    mutable int m_fd = -1; // a .pak's, read with pread
    // libzip reads one entry of an archive at a time.
    mutable std::mutex m_mutex;
    std::vector<ArchiveEntry> m_entries;
    std::map<std::string, size_t> m_byKey;
    std::vector<std::string> m_refused, m_overlapping, m_outside, m_duplicates;
};

// True when a name is fit for a game tree: relative, no "..", no "::", no
// drive letter. '\' counts as '/'.
bool IsGamePath(const std::string& name);
// A game path as compared: lower case, '/' for '\', no leading "./" or "/".
std::string GamePathKey(std::string name);
