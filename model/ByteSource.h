#pragma once
// Where a model, a skin or a texture comes from: bytes read whole, with the
// name errors give them. A disk file fills them today; an archive entry can
// fill them the same way.
#include "model/Bytes.h"
#include "model/Error.h"

#include <cstdint>
#include <memory>
#include <string>

struct SourceBytes {
    std::string path;
    std::shared_ptr<const Bytes> bytes;
};

// Opens a regular file once (never a pipe or a device, which could block or
// act), reads it whole and refuses it if it changed while it was read. A
// file over maxBytes is refused before it is read; tooLarge says why.
Result<SourceBytes> ReadFileBytes(const std::string& path, int64_t maxBytes,
                                  const std::string& tooLarge);
