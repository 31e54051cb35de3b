// Any bytes as an MDC file: the reader must refuse or load them, and then
// every frame and tag must decode inside the bytes, finite and of the sizes
// the surfaces give.
#include "model/MdcReader.h"
#include "model/Model.h"
#include "model/ModelFormats.h"

#include <cmath>
#include <cstdint>

namespace {

bool Finite(const Point3& p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Result<Model> loaded = ReadMdc({"fuzz.mdc", Bytes::Copy(data, size)});
    if (!loaded.ok()) {
        const std::string& reason = loaded.error().reason;
        if (reason.empty() || reason.back() == '.')
            __builtin_trap();
        return 0;
    }
    const Model& model = loaded.value();
    if (model.FrameCount() < 1 || model.frameNames.size() != size_t(model.FrameCount()))
        __builtin_trap();
    for (size_t i = 0; i < model.surfaces.size(); ++i) {
        const Surface& s = model.surfaces[i];
        if (s.v.size() != s.u.size() || s.positions.size() != s.u.size() ||
            s.normals.size() != s.u.size())
            __builtin_trap();
        for (size_t j = 0; j < s.u.size(); ++j)
            if (!std::isfinite(s.u[j]) || !std::isfinite(s.v[j]))
                __builtin_trap();
        for (const Triangle& t : s.triangles)
            for (const int32_t c : {t.a, t.b, t.c})
                if (c < 0 || size_t(c) >= s.u.size())
                    __builtin_trap();
        (void)TextureNameOf(s);
        (void)LayoutHasArea(s);
        // Every frame, one past the last and one before the first (clamped).
        for (int f = -1; f <= model.FrameCount(); ++f) {
            const SurfacePose pose = model.Pose(i, f);
            if (pose.positions.size() != s.u.size() || pose.normals.size() != s.u.size())
                __builtin_trap();
            for (size_t v = 0; v < pose.positions.size(); ++v)
                if (!Finite(pose.positions[v]) || !Finite(pose.normals[v]))
                    __builtin_trap();
        }
    }
    for (int f = -1; f <= model.FrameCount(); ++f)
        for (const TagPose& tag : model.Tags(f)) {
            if (!Finite(tag.origin))
                __builtin_trap();
            for (const Point3& axis : tag.axes)
                if (!Finite(axis))
                    __builtin_trap();
        }
    // Through the table too: the same bytes pick the same reader.
    const Result<Model> again = ReadModel({"fuzz.bin", Bytes::Copy(data, size)});
    if (!again.ok() || again.value().format != "MDC")
        __builtin_trap();
    return 0;
}
