#pragma once
// Reads MD3 models into a Model value, or an Error that names the file and
// says what is wrong with it in plain words.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

#include <cstdint>
#include <vector>

// What an MD3 file's headers say, kept beside the model for the dump.
struct Md3SurfaceHeader {
    int32_t fileOffset = 0, flags = 0, frameCount = 0, shaderCount = 0, vertexCount = 0,
            triangleCount = 0, triangleOffset = 0, texCoordOffset = 0, vertexOffset = 0,
            endOffset = 0, shaderIndex = 0;
};
struct Md3Layout {
    // The header's counts as stored (a negative surface count reads no surface).
    int32_t surfaceCount = 0, frameCount = 0, tagCount = 0;
    std::vector<Md3SurfaceHeader> surfaces;
};

// The model held in `source`, which it keeps (the frames and tags are read
// from its bytes when shown). A model that cannot be held whole is refused.
Result<Model> ReadMd3(const SourceBytes& source);
