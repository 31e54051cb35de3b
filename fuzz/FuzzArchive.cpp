// Any bytes as a .pk3: opening must refuse them or index them, and reading
// every entry must give its bytes (at most the cap) or an error naming the
// archive and the entry, never a fault.
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
    int read = 0;
    for (const ArchiveEntry& entry : opened.value()->entries()) {
        if (!IsGamePath(entry.name))
            __builtin_trap();
        const Result<SourceBytes> bytes = opened.value()->Read(entry);
        if (bytes.ok() && int64_t(bytes.value().bytes->size()) > kMaxEntryBytes)
            __builtin_trap();
        if (!bytes.ok() && bytes.error().path.find(entry.name) == std::string::npos)
            __builtin_trap();
        if (++read == 16)
            break;
    }
    return 0;
}
