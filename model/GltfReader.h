#pragma once
// glTF 2.0 scenes: the JSON .gltf with its buffers and images beside it or in
// data: URIs, and the binary .glb that carries them in one file. Every mesh
// primitive becomes a surface, placed (and a skinned one posed) as the
// file's default scene stands.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

Result<Model> ReadGltf(const SourceBytes& source);

// The bytes a "data:" URI holds (base64 or percent-encoded), and its media
// type ("" when it gives none). On failure, why, in plain words.
struct DataUri {
    std::string mediaType;
    std::vector<uint8_t> bytes;
};
Result<DataUri> DecodeDataUri(std::string_view uri);

// A URI reference's %XX escapes decoded; false when one is malformed.
bool PercentDecode(std::string_view text, std::string& out);
