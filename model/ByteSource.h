#pragma once
// Where a model, a skin or a texture comes from: bytes read whole, with the
// name errors give them. A disk file fills them today; an archive entry can
// fill them the same way.
#include "model/Bytes.h"
#include "model/Error.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct SourceBytes;
// Reads a file a model names beside itself (OBJ's material library, glTF's
// buffers), given as the model writes it ("..\\tex\\a.png", "./a.bin"): found
// beside the model, never more than `limit` bytes.
using CompanionReader =
    std::function<Result<SourceBytes>(const std::string& written, int64_t limit)>;

struct SourceBytes {
    std::string path;
    std::shared_ptr<const Bytes> bytes;
    // How to read the files beside it; empty when it has no place (bytes
    // read from elsewhere), and a model that needs one says so.
    CompanionReader companions = {};
};

// Reads files beside a model file on disk, in its own folder or, where the
// written name goes up, above it; never through an absolute name.
CompanionReader DiskCompanions(const std::string& modelPath);

// Opens a regular file once (never a pipe or a device, which could block or
// act), reads it whole and refuses it if it changed while it was read. A
// file over maxBytes is refused before it is read; tooLarge says why.
Result<SourceBytes> ReadFileBytes(const std::string& path, int64_t maxBytes,
                                  const std::string& tooLarge);
