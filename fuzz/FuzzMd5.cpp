// Any bytes as a Doom 3 mesh file: the reader must refuse them, naming a
// line, or load a model every surface of which holds together, with a
// skeleton that can be posed.
#include "model/Md5Reader.h"
#include "model/Model.h"
#include "model/ModelFormats.h"
#include "model/Skeleton.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SourceBytes source{"fuzz.md5mesh", Bytes::Copy(data, size)};
    const Result<Model> loaded = ReadMd5(source);
    if (!loaded.ok()) {
        const Error& error = loaded.error();
        if (error.path != source.path || error.reason.empty())
            __builtin_trap();
        // Past the magic, every refusal says on which line.
        if (size >= 10 && std::memcmp(data, "MD5Version", 10) == 0 &&
            error.reason.rfind("line ", 0) != 0)
            __builtin_trap();
        return 0;
    }
    const Model& model = loaded.value();
    // The skeleton kept for the animations can be posed, one vertex a weight list.
    const auto* skeleton = dynamic_cast<const SkeletalGeometry*>(model.geometry.get());
    if (!skeleton || !skeleton->Flaw().empty() || skeleton->FrameCount() != 0 ||
        skeleton->surfaces.size() != model.surfaces.size())
        __builtin_trap();
    for (size_t i = 0; i < model.surfaces.size(); ++i)
        if (skeleton->surfaces[i].first.size() != model.surfaces[i].u.size() + 1)
            __builtin_trap();
    for (size_t i = 0; i < model.surfaces.size(); ++i) {
        const Surface& s = model.surfaces[i];
        const size_t n = s.u.size();
        if (s.v.size() != n || s.positions.size() != n || s.normals.size() != n)
            __builtin_trap();
        for (size_t k = 0; k < n; ++k) {
            if (!std::isfinite(s.u[k]) || !std::isfinite(s.v[k]))
                __builtin_trap();
            const Point3& p = s.positions[k];
            const Point3& m = s.normals[k];
            if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
                __builtin_trap();
            if (std::fabs(m[0] * m[0] + m[1] * m[1] + m[2] * m[2] - 1.0f) > 1e-3f)
                __builtin_trap();
        }
        for (const Triangle& t : s.triangles)
            if (t.a < 0 || t.b < 0 || t.c < 0 || size_t(t.a) >= n || size_t(t.b) >= n ||
                size_t(t.c) >= n)
                __builtin_trap();
        (void)LayoutHasArea(s);
        (void)TextureNameOf(s);
        if (model.Pose(i, 0).positions.size() != n)
            __builtin_trap();
    }
    // Through the table, the same bytes give the same model.
    const Result<Model> again = ReadModel(source);
    if (!again.ok() || again.value().surfaces.size() != model.surfaces.size())
        __builtin_trap();
    return 0;
}
