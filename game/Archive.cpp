#include "game/Archive.h"

#include "model/Model.h"
#include "model/NativeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <list>
#include <zip.h>

std::string GamePathKey(std::string name) {
    for (char& c : name)
        c = c == '\\' ? '/' : char(std::tolower(static_cast<unsigned char>(c)));
    while (name.rfind("./", 0) == 0)
        name.erase(0, 2);
    return name;
}

bool IsGamePath(const std::string& raw) {
    std::string name = raw;
    for (char& c : name)
        if (c == '\\')
            c = '/';
    if (name.empty() || name[0] == '/' || name.find("::") != std::string::npos)
        return false;
    if (name.size() >= 2 && name[1] == ':') // "C:"
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t slash = name.find('/', start);
        const std::string part =
            name.substr(start, slash == std::string::npos ? slash : slash - start);
        if (part == "..")
            return false;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return name.find('\0') == std::string::npos;
}

// The archives open now, most recently read first. A read holds its
// archive's mutex, so an archive being read is never closed under it.
struct ArchivePool {
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::list<const Archive*>& Open() {
        static std::list<const Archive*> open;
        return open;
    }
    // With Mutex() held: closes the least recently read until one more fits.
    static void MakeRoom(const Archive* self) {
        std::list<const Archive*>& open = Open();
        for (auto at = open.end(); open.size() >= kOpenArchives && at != open.begin();) {
            --at;
            const Archive* victim = *at;
            if (victim == self || !victim->m_mutex.try_lock())
                continue;
            victim->Close();
            victim->m_mutex.unlock();
            at = open.erase(at);
        }
    }
    static void Remove(const Archive* archive) {
        std::list<const Archive*>& open = Open();
        open.erase(std::remove(open.begin(), open.end(), archive), open.end());
    }
};

size_t Archive::OpenCount() {
    const std::lock_guard<std::mutex> lock(ArchivePool::Mutex());
    return ArchivePool::Open().size();
}

namespace {

uint64_t Little(const uint8_t* p, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

bool ReadAt(int fd, uint64_t offset, size_t size, uint8_t* out) {
    size_t done = 0;
    while (done < size) {
        const int64_t got = native::ReadAt(fd, out + done, size - done, int64_t(offset + done));
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

bool ReadAt(int fd, uint64_t offset, size_t size, std::vector<uint8_t>& out) {
    out.resize(size);
    return ReadAt(fd, offset, size, out.data());
}

// Where an entry's bytes lie: its local header and compressed data, at the least.
struct Span {
    uint64_t start, end;
};

// The records of the central directory at [offset, offset + size), in order.
bool ReadRecords(int fd, int64_t fileSize, uint64_t offset, uint64_t size,
                 std::vector<Span>& spans) {
    // A directory larger than this would index millions of entries.
    if (size > (uint64_t(256) << 20) || offset > uint64_t(fileSize) ||
        size > uint64_t(fileSize) - offset)
        return false;
    std::vector<uint8_t> cd;
    if (!ReadAt(fd, offset, size_t(size), cd))
        return false;
    spans.clear();
    for (size_t p = 0; p < cd.size();) {
        if (cd.size() - p < 46 || Little(&cd[p], 4) != 0x02014b50)
            return false;
        const uint8_t* r = &cd[p];
        uint64_t compressed = Little(r + 20, 4), uncompressed = Little(r + 24, 4);
        uint64_t local = Little(r + 42, 4);
        const size_t name = Little(r + 28, 2), extra = Little(r + 30, 2),
                     comment = Little(r + 32, 2);
        if (cd.size() - p - 46 < name + extra + comment)
            return false;
        // ZIP64: the fields that do not fit follow in the extra field 0x0001, in order.
        for (size_t e = p + 46 + name; e + 4 <= p + 46 + name + extra;) {
            const uint64_t id = Little(&cd[e], 2), length = Little(&cd[e + 2], 2);
            if (e + 4 + length > p + 46 + name + extra)
                break;
            if (id == 1) {
                size_t at = e + 4;
                const size_t stop = e + 4 + length;
                auto next = [&](uint64_t& field) {
                    if (field != 0xFFFFFFFF)
                        return;
                    if (at + 8 > stop)
                        return;
                    field = Little(&cd[at], 8);
                    at += 8;
                };
                next(uncompressed);
                next(compressed);
                next(local);
            }
            e += 4 + length;
        }
        const uint64_t start = local, end = local + 30 + compressed;
        if (end < start) // wrapped
            return false;
        spans.push_back({start, end});
        p += 46 + name + extra + comment;
    }
    return true;
}

// Each record's span, as the end of central directory record names them;
// false when no directory can be read.
bool ReadDirectory(int fd, int64_t fileSize, std::vector<Span>& spans) {
    const size_t tail = size_t(std::min<int64_t>(fileSize, 65535 + 22));
    std::vector<uint8_t> end;
    if (tail < 22 || !ReadAt(fd, uint64_t(fileSize) - tail, tail, end))
        return false;
    for (size_t pos = tail - 22 + 1; pos-- > 0;) {
        if (Little(&end[pos], 4) != 0x06054b50)
            continue;
        const uint64_t record = uint64_t(fileSize) - tail + pos;
        uint64_t size = Little(&end[pos + 12], 4), offset = Little(&end[pos + 16], 4);
        if (Little(&end[pos + 10], 2) == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
            std::vector<uint8_t> locator, record64;
            if (record < 20 || !ReadAt(fd, record - 20, 20, locator) ||
                Little(locator.data(), 4) != 0x07064b50 ||
                !ReadAt(fd, Little(&locator[8], 8), 56, record64) ||
                Little(record64.data(), 4) != 0x06064b50)
                continue;
            size = Little(&record64[40], 8);
            offset = Little(&record64[48], 8);
        }
        if (ReadRecords(fd, fileSize, offset, size, spans))
            return true;
    }
    return false;
}

// Which records share bytes with another: sorted by where they start, a
// record that starts before the end of one before it overlaps it.
std::vector<bool> Overlapping(const std::vector<Span>& spans) {
    std::vector<size_t> order(spans.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return spans[a].start < spans[b].start; });
    std::vector<bool> shared(spans.size(), false);
    size_t first = 0;
    uint64_t reach = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        const Span& s = spans[order[k]];
        if (k > 0 && s.start < reach) {
            // Those between were marked as they came.
            shared[order[first]] = shared[order[k]] = true;
        } else {
            first = k;
        }
        reach = k > first ? std::max(reach, s.end) : s.end;
    }
    return shared;
}

// libzip over an open file, which it then owns; closed here when it fails.
// Each entry is checked against the central directory when it is read:
// checking them all here (ZIP_CHECKCONS) would read every entry of a large pak.
Result<zip_t*> ZipOfDescriptor(int fd, const std::string& path) {
    int error = 0;
    zip_t* zip = zip_fdopen(fd, ZIP_RDONLY, &error);
    if (zip)
        return zip;
    native::Close(fd);
    zip_error_t e;
    zip_error_init_with_code(&e, error);
    Error failure{"Cannot open the archive", path, zip_error_strerror(&e)};
    zip_error_fini(&e);
    return failure;
}

std::string SizeText(int64_t bytes) {
    if (bytes >= (int64_t(1) << 20) && bytes % (int64_t(1) << 20) == 0)
        return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes / 1024) + " KB";
}

// A .pak's header and each directory entry hold little-endian int32s.
int64_t Signed32(const uint8_t* p) {
    return int64_t(int32_t(uint32_t(Little(p, 4))));
}

constexpr size_t kPakHeader = 12, kPakEntry = 64, kPakName = 56;

constexpr const char* kSpent =
    "the game's paks have given as many bytes as Gridwright reads of one game, so it was not read";

} // namespace

Status Archive::Reopen() const {
    // Never a pipe or a device, which could block or act.
    const int fd = native::OpenForReading(m_path);
    if (fd < 0)
        return Error{"Cannot open the archive", m_path, std::strerror(errno)};
    native::FileStatus st;
    if (!native::StatusOf(fd, st) || !st.regular || st.device != m_device || st.inode != m_inode ||
        st.size != m_size || st.modifiedSeconds != m_modified) {
        native::Close(fd);
        return Error{"Cannot read the archive", m_path,
                     "it changed on disk since it was opened; open the model again"};
    }
    if (m_pak) {
        m_fd = fd; // its directory was read when it was first opened
        return Success();
    }
    Result<zip_t*> zip = ZipOfDescriptor(fd, m_path);
    if (!zip.ok())
        return zip.error();
    m_zip = zip.value();
    return Success();
}

void Archive::Close() const {
    if (m_zip)
        zip_discard(m_zip);
    m_zip = nullptr;
    if (m_fd >= 0)
        native::Close(m_fd);
    m_fd = -1;
}

void Archive::Admit(std::string name, ArchiveEntry entry, bool shared, bool outside,
                    std::map<std::string, int>& seen) {
    if (name.empty() || name.back() == '/') // a folder
        return;
    for (char& c : name)
        if (c == '\\')
            c = '/';
    if (!IsGamePath(name)) {
        m_refused.push_back(name);
        return;
    }
    if (outside) {
        m_outside.push_back(name);
        return;
    }
    if (shared) {
        m_overlapping.push_back(name);
        return;
    }
    const std::string key = GamePathKey(name);
    if (seen[key]++ == 1)
        m_duplicates.push_back(name);
    // The entry of a name that is read is the engine's: a zip's last (the
    // engine chains its names newest first as it reads the directory), a
    // .pak's first (the engine searches its directory from the top).
    if (!m_pak || m_byKey.find(key) == m_byKey.end())
        m_byKey[key] = m_entries.size();
    entry.name = std::move(name);
    m_entries.push_back(std::move(entry));
}

Status Archive::IndexPak(int fd) {
    auto damaged = [&](const std::string& why) {
        return Error{"Cannot open the archive", m_path, why};
    };
    const auto size = uint64_t(m_size);
    std::vector<uint8_t> header;
    if (size < kPakHeader || !ReadAt(fd, 0, kPakHeader, header))
        return damaged("it is too short for the header of a pak");
    const int64_t dirOffset = Signed32(&header[4]), dirLength = Signed32(&header[8]);
    if (dirOffset < 0 || dirLength < 0 || uint64_t(dirOffset) > size ||
        uint64_t(dirLength) > size - uint64_t(dirOffset))
        return damaged("its directory (" + std::to_string(dirLength) + " bytes at offset " +
                       std::to_string(dirOffset) + ") runs past the end of the file (" +
                       std::to_string(size) + " bytes)");
    if (dirLength % int64_t(kPakEntry) != 0)
        return damaged("its directory is " + std::to_string(dirLength) +
                       " bytes long, not a whole number of 64-byte entries");
    const auto count = uint64_t(dirLength) / kPakEntry;
    if (count > kMaxPakEntries)
        return damaged("its directory lists " + std::to_string(count) + " entries, more than the " +
                       std::to_string(kMaxPakEntries) + " Gridwright reads");
    std::vector<uint8_t> directory;
    if (!ReadAt(fd, uint64_t(dirOffset), size_t(dirLength), directory))
        return damaged("its directory cannot be read");
    std::vector<Span> spans(count, Span{0, 0});
    std::vector<bool> outside(count, false);
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* record = &directory[i * kPakEntry];
        const int64_t at = Signed32(record + kPakName), length = Signed32(record + kPakName + 4);
        outside[i] =
            at < 0 || length < 0 || uint64_t(at) > size || uint64_t(length) > size - uint64_t(at);
        // An empty entry shares no bytes, wherever it says it starts.
        if (!outside[i] && length > 0)
            spans[i] = {uint64_t(at), uint64_t(at) + uint64_t(length)};
    }
    const std::vector<bool> shared = Overlapping(spans);
    std::map<std::string, int> seen;
    for (uint64_t i = 0; i < count; ++i) {
        const auto* record = reinterpret_cast<const char*>(&directory[i * kPakEntry]);
        const size_t length = strnlen(record, kPakName);
        std::string name(record, length);
        if (length == kPakName) { // no end within its field: the engine would read past it
            m_refused.push_back(name);
            continue;
        }
        const uint8_t* fields = &directory[i * kPakEntry + kPakName];
        Admit(std::move(name),
              {{},
               i,
               uint64_t(std::max<int64_t>(0, Signed32(fields))),
               uint64_t(std::max<int64_t>(0, Signed32(fields + 4)))},
              shared[i], outside[i], seen);
    }
    return Success();
}

Result<std::shared_ptr<Archive>> Archive::Open(const std::string& path) {
    const int fd = native::OpenForReading(path);
    if (fd < 0)
        return Error{"Cannot open the archive", path, std::strerror(errno)};
    native::FileStatus st;
    if (!native::StatusOf(fd, st) || !st.regular) {
        native::Close(fd);
        return Error{"Cannot open the archive", path, "it is not a file"};
    }
    std::shared_ptr<Archive> archive(new Archive);
    archive->m_path = path;
    archive->m_device = st.device;
    archive->m_inode = st.inode;
    archive->m_size = st.size;
    archive->m_modified = st.modifiedSeconds;
    {
        // Room for this one before it opens.
        const std::lock_guard<std::mutex> lock(ArchivePool::Mutex());
        ArchivePool::MakeRoom(nullptr);
    }
    // By its content, whatever its name: a zip named .pak is read as a zip.
    std::vector<uint8_t> magic;
    archive->m_pak = ReadAt(fd, 0, 4, magic) && std::memcmp(magic.data(), "PACK", 4) == 0;
    if (archive->m_pak) {
        archive->m_fd = fd; // closed with the archive, also when it is refused here
        if (const Status indexed = archive->IndexPak(fd); !indexed.ok())
            return indexed.error();
        const std::lock_guard<std::mutex> lock(ArchivePool::Mutex());
        ArchivePool::MakeRoom(archive.get());
        ArchivePool::Open().push_front(archive.get());
        return archive;
    }
    std::vector<Span> spans;
    const bool directory = ReadDirectory(fd, st.size, spans);
    Result<zip_t*> opened = ZipOfDescriptor(fd, path);
    if (!opened.ok())
        return opened.error();
    zip_t* zip = opened.value();
    archive->m_zip = zip;
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    // The directory libzip reads must be the one whose spans were checked.
    if (!directory || zip_int64_t(spans.size()) != count)
        return Error{"Cannot open the archive", path,
                     "its central directory is damaged or not one Gridwright can check"};
    const std::vector<bool> shared = Overlapping(spans);
    std::map<std::string, int> seen;
    for (zip_int64_t i = 0; i < count; ++i)
        if (const char* raw = zip_get_name(zip, zip_uint64_t(i), ZIP_FL_ENC_RAW))
            archive->Admit(raw, {{}, zip_uint64_t(i)}, shared[size_t(i)], false, seen);
    const std::lock_guard<std::mutex> lock(ArchivePool::Mutex());
    ArchivePool::MakeRoom(archive.get());
    ArchivePool::Open().push_front(archive.get());
    return archive;
}

Archive::~Archive() {
    {
        const std::lock_guard<std::mutex> lock(ArchivePool::Mutex());
        ArchivePool::Remove(this);
    }
    Close();
}

const ArchiveEntry* Archive::Find(const std::string& gamePath) const {
    const auto found = m_byKey.find(GamePathKey(gamePath));
    return found == m_byKey.end() ? nullptr : &m_entries[found->second];
}

Result<SourceBytes> Archive::Read(const ArchiveEntry& entry, int64_t limit,
                                  const std::string& tooLarge, std::atomic<int64_t>* budget) const {
    const std::string origin = m_path + ":" + entry.name;
    const std::lock_guard<std::mutex> lock(m_mutex);
    auto fail = [&](const std::string& why) { return Error{"Cannot read", origin, why}; };
    const std::string spent = kSpent;
    if (budget && budget->load() <= 0)
        return fail(spent);
    {
        const std::lock_guard<std::mutex> pool(ArchivePool::Mutex());
        std::list<const Archive*>& open = ArchivePool::Open();
        if (m_zip || m_fd >= 0) {
            open.remove(this);
            open.push_front(this);
        } else {
            ArchivePool::MakeRoom(this);
        }
    }
    if (!m_zip && m_fd < 0) {
        if (const Status reopened = Reopen(); !reopened.ok())
            return reopened.error();
        const std::lock_guard<std::mutex> pool(ArchivePool::Mutex());
        ArchivePool::Open().push_front(this);
    }
    if (m_pak)
        return ReadPak(entry, limit, tooLarge, budget, origin);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip, entry.index, 0, &stat) != 0)
        return fail(zip_strerror(m_zip));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        return fail("the entry is encrypted");
    if ((stat.valid & ZIP_STAT_COMP_METHOD) &&
        !zip_compression_method_supported(stat.comp_method, 0))
        return fail("the entry is compressed by a method Gridwright cannot read (" +
                    std::to_string(stat.comp_method) + ")");
    zip_file_t* file = zip_fopen_index(m_zip, entry.index, 0);
    if (!file)
        return fail(zip_strerror(m_zip));
    // Read in pieces, never trusting the size claimed: a small entry can
    // claim little and inflate to gigabytes. One byte past the limit tells.
    std::vector<uint8_t> bytes;
    uint8_t piece[65536];
    for (;;) {
        const auto want = zip_uint64_t(
            std::min<int64_t>(int64_t(sizeof piece), limit + 1 - int64_t(bytes.size())));
        const zip_int64_t got = zip_fread(file, piece, want);
        if (got < 0) {
            const std::string why = zip_error_strerror(zip_file_get_error(file));
            zip_fclose(file);
            return fail(why);
        }
        if (got == 0)
            break;
        if (int64_t(bytes.size()) + got > limit) {
            zip_fclose(file);
            return fail(!tooLarge.empty() ? tooLarge
                                          : "the entry inflates to more than " + SizeText(limit) +
                                                ", which no game file is");
        }
        if (budget && budget->fetch_sub(got) - got < 0) {
            zip_fclose(file);
            return fail(spent);
        }
        bytes.insert(bytes.end(), piece, piece + got);
    }
    // Closing checks the CRC of what was read.
    if (const int closed = zip_fclose(file); closed != 0) {
        zip_error_t e;
        zip_error_init_with_code(&e, closed);
        const std::string why = zip_error_strerror(&e);
        zip_error_fini(&e);
        return fail(why);
    }
    return SourceBytes{origin, Bytes::Copy(bytes.data(), bytes.size())};
}

Result<SourceBytes> Archive::ReadPak(const ArchiveEntry& entry, int64_t limit,
                                     const std::string& tooLarge, std::atomic<int64_t>* budget,
                                     const std::string& origin) const {
    auto fail = [&](const std::string& why) { return Error{"Cannot read", origin, why}; };
    // Stored as they are: the size is known before a byte is read.
    if (entry.size > uint64_t(std::max<int64_t>(0, limit)))
        return fail(!tooLarge.empty() ? tooLarge
                                      : "the entry holds more than " + SizeText(limit) +
                                            ", which no game file does");
    const auto size = int64_t(entry.size);
    if (budget && budget->fetch_sub(size) - size < 0)
        return fail(kSpent);
    std::shared_ptr<Bytes> bytes = Bytes::Allocate(size_t(size));
    if (!bytes)
        return fail("there is not enough memory for it");
    if (!ReadAt(m_fd, entry.offset, size_t(size), bytes->data()))
        return fail("the archive ends before the entry's data do");
    return SourceBytes{origin, std::move(bytes)};
}
