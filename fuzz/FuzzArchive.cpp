// Any bytes as an archive (a zip, or an id pak when they start "PACK"):
// opening must refuse them or index them, and reading every entry must give
// its bytes (at most the cap it is read with) or an error naming the archive
// and the entry, never a fault; all the reads together inflate no more than
// their budget. A pak's entries lie inside the file and read at their size.
#include "game/Archive.h"

#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("fuzz-archive.pk3", 0);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const Result<std::shared_ptr<Archive>> opened = Archive::Open(path);
    if (!opened.ok())
        return 0;
    const Archive& archive = *opened.value();
    constexpr int64_t kBudget = int64_t(4) << 20, kSkin = 64 * 1024;
    std::atomic<int64_t> budget{kBudget};
    int64_t given = 0;
    int read = 0;
    for (const ArchiveEntry& entry : archive.entries()) {
        if (!IsGamePath(entry.name) || archive.Find(entry.name) == nullptr)
            __builtin_trap();
        if (archive.isPak() && (entry.offset > size || entry.size > size - entry.offset))
            __builtin_trap();
        // The first entry of a pak's name is the one read.
        if (archive.isPak() && archive.Find(entry.name)->index > entry.index)
            __builtin_trap();
        // Whole, within the game's budget, and stopped at a skin's limit.
        for (const int64_t limit : {kMaxEntryBytes, kSkin}) {
            const Result<SourceBytes> bytes = archive.Read(entry, limit, {}, &budget);
            if (bytes.ok()) {
                const auto got = int64_t(bytes.value().bytes->size());
                if (got > limit || (archive.isPak() && uint64_t(got) != entry.size))
                    __builtin_trap();
                given += got;
            } else if (bytes.error().path.find(entry.name) == std::string::npos) {
                __builtin_trap();
            }
        }
        if (++read == 16)
            break;
    }
    if (given > kBudget)
        __builtin_trap();
    return 0;
}
