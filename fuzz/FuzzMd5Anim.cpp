// Any bytes as a Doom 3 animation file: the reader must refuse them, naming a
// line, or give frames that move every joint; posed on a skeleton of its own
// joints and attached to a small mesh, every frame and every blend between
// two lies at finite places, one a vertex.
#include "model/Md5Reader.h"
#include "model/Skeleton.h"
#include "tests/Md5Samples.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

bool Finite(const Point3& p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// Every vertex finite and each normal a unit vector, one of each a vertex.
void CheckPose(const SurfacePose& pose, size_t vertices) {
    if (pose.positions.size() != vertices || pose.normals.size() != vertices)
        __builtin_trap();
    for (size_t v = 0; v < vertices; ++v) {
        const Point3& n = pose.normals[v];
        if (!Finite(pose.positions[v]) || !Finite(n) ||
            std::fabs(n[0] * n[0] + n[1] * n[1] + n[2] * n[2] - 1.0f) > 1e-3f)
            __builtin_trap();
    }
}

const Model& Arm() {
    static const Model arm = [] {
        Result<Model> read =
            ReadMd5({"arm.md5mesh",
                     Bytes::Copy(reinterpret_cast<const uint8_t*>(kMd5Arm), std::strlen(kMd5Arm))});
        if (!read.ok())
            __builtin_trap();
        return std::move(read.value());
    }();
    return arm;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SourceBytes source{"fuzz.md5anim", Bytes::Copy(data, size)};
    Result<Md5Animation> read = ReadMd5Anim(source);
    if (!read.ok()) {
        const Error& error = read.error();
        if (error.path != source.path || error.reason.empty() || error.reason.back() == '.')
            __builtin_trap();
        // Past the magic, every refusal says on which line.
        if (size >= 10 && std::memcmp(data, "MD5Version", 10) == 0 &&
            error.reason.rfind("line ", 0) != 0)
            __builtin_trap();
        return 0;
    }
    const Md5Animation& anim = read.value();
    const size_t joints = anim.joints.size(), frames = anim.frames.size();
    if (joints == 0 || frames == 0 || int64_t(joints) > kMaxMd5Joints ||
        int64_t(frames) > kMaxModelFrames || int64_t(joints * frames) > kMaxJointTransforms ||
        anim.frameRate < 1 || anim.frameRate > kMaxMd5FrameRate)
        __builtin_trap();
    for (size_t j = 0; j < joints; ++j)
        if (anim.joints[j].parent >= int32_t(j) || (j > 0 && anim.joints[j].parent < 0))
            __builtin_trap();
    for (const auto& frame : anim.frames) {
        if (frame.size() != joints)
            __builtin_trap();
        for (const JointTransform& t : frame)
            if (!Finite(t.translate) || !std::all_of(t.rotate.begin(), t.rotate.end(),
                                                     [](float c) { return std::isfinite(c); }))
                __builtin_trap();
    }

    // A skeleton of its own joints, a vertex hanging from each (and a
    // triangle through the first three), posed in a few of its frames.
    auto own = std::make_shared<SkeletalGeometry>();
    own->joints = anim.joints;
    own->frames = anim.frames;
    own->blend = JointBlend::Rotations;
    SkinnedSurface& s = own->surfaces.emplace_back();
    for (size_t j = 0; j < joints && j < 64; ++j) {
        s.first.push_back(uint32_t(s.influences.size()));
        s.influences.push_back({int32_t(j), 1.0f, Point3{1, 2, 3}});
    }
    s.first.push_back(uint32_t(s.influences.size()));
    if (s.influences.size() >= 3)
        s.triangles.push_back({0, 1, 2});
    if (!own->Flaw().empty())
        __builtin_trap();
    const size_t vertices = s.influences.size();
    const int last = int(frames) - 1;
    for (const int f : {0, last / 2, last}) {
        CheckPose(own->Pose(0, f), vertices);
        CheckPose(own->PoseBetween(0, f, std::min(f + 1, last), 0.5f), vertices);
    }

    // On the small mesh: played when its joints are the mesh's, a note
    // otherwise, never an error.
    Model arm = Arm();
    if (!AttachMd5Animations(arm, {{"fuzz", anim}}).ok())
        __builtin_trap();
    const bool fits = arm.notes.empty();
    if (fits != (arm.animations.size() == 1) || arm.FrameCount() != (fits ? int(frames) : 1))
        __builtin_trap();
    if (fits)
        for (const int f : {0, last}) {
            CheckPose(arm.Pose(0, f), arm.surfaces[0].u.size());
            CheckPose(arm.geometry->PoseBetween(0, f, 0, 0.25f), arm.surfaces[0].u.size());
        }
    return 0;
}
