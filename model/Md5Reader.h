#pragma once
// Reads Doom 3 mesh files (.md5mesh, text, "MD5Version 10") into a Model
// value: one surface per mesh, in the bind pose the joints give, with the
// skeleton kept for the animations; and the animation files (.md5anim) that
// move it. Errors name the file, the line and what was expected there.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"
#include "model/Skeleton.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What no real mesh file reaches: a file asking for more is refused.
inline constexpr int64_t kMaxMd5Joints = int64_t(1) << 16;
inline constexpr int64_t kMaxMd5MeshWeights = int64_t(1) << 20;   // in one mesh
inline constexpr int64_t kMaxMd5ModelWeights = int64_t(16) << 20; // weights used, all meshes
inline constexpr int64_t kMaxMd5Word = 4096; // bytes in one word or quoted text
// Frames a second: the game counts time in milliseconds.
inline constexpr int64_t kMaxMd5FrameRate = 1000;

// The model held in `source`, its surfaces holding the bind pose (positions
// from the joints and weights, normals from the triangles), and its geometry
// a SkeletalGeometry with the joints and weights but no frames.
Result<Model> ReadMd5(const SourceBytes& source);

// One animation file: its joints as its hierarchy names them, and every
// frame's joints relative to their parents (as Skeleton.h turns them). A
// root's movement is kept where the file puts it: the game takes it out to
// move the entity instead, and a painter sees the model move in place.
struct Md5Animation {
    std::vector<Joint> joints;
    int frameRate = 24;                              // frames a second, 1 to kMaxMd5FrameRate
    std::vector<std::vector<JointTransform>> frames; // frames[frame][joint], at least one
};

Result<Md5Animation> ReadMd5Anim(const SourceBytes& source);

// Gives a mesh read by ReadMd5 the animations whose joints are its own (as
// many, the same names, the same parents, as the game checks them): their
// frames one after another in a new geometry, each named in
// `mesh.animations`, played in a loop at its frame rate. An animation left
// out is a note on the mesh saying why. Any animations attached before are
// replaced. An error when the mesh holds no skeleton of Doom 3's.
Status AttachMd5Animations(Model& mesh,
                           std::vector<std::pair<std::string, Md5Animation>> animations);
