#pragma once
// Reads Doom 3 mesh files (.md5mesh, text, "MD5Version 10") into a Model
// value: one surface per mesh, in the bind pose the joints give, or an Error
// that names the file, the line and what was expected there.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

#include <cstdint>

// What no real mesh file reaches: a file asking for more is refused.
inline constexpr int64_t kMaxMd5Joints = int64_t(1) << 16;
inline constexpr int64_t kMaxMd5MeshWeights = int64_t(1) << 20;   // in one mesh
inline constexpr int64_t kMaxMd5ModelWeights = int64_t(16) << 20; // weights used, all meshes
inline constexpr int64_t kMaxMd5Word = 4096; // bytes in one word or quoted text

// The model held in `source`, its surfaces holding the bind pose (positions
// from the joints and weights, normals from the triangles).
Result<Model> ReadMd5(const SourceBytes& source);
