// Any bytes as an MD2 model: the reader must refuse them with a reason or
// load a model whose every triangle, coordinate and frame can be drawn.
#include "model/Md2Reader.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Result<Model> loaded = ReadMd2({"fuzz.md2", Bytes::Copy(data, size)});
    if (!loaded.ok()) {
        if (loaded.error().reason.empty())
            __builtin_trap();
        return 0;
    }
    const Model& model = loaded.value();
    for (size_t i = 0; i < model.surfaces.size(); ++i) {
        const Surface& s = model.surfaces[i];
        const size_t n = s.u.size();
        if (s.v.size() != n)
            __builtin_trap();
        for (size_t k = 0; k < n; ++k)
            if (!std::isfinite(s.u[k]) || !std::isfinite(s.v[k]))
                __builtin_trap();
        for (const Triangle& t : s.triangles)
            if (t.a < 0 || t.b < 0 || t.c < 0 || size_t(t.a) >= n || size_t(t.b) >= n ||
                size_t(t.c) >= n)
                __builtin_trap();
        for (int f = 0; f < model.FrameCount(); ++f) {
            const SurfacePose pose = model.Pose(i, f);
            if (pose.positions.size() != n || pose.normals.size() != n)
                __builtin_trap();
            for (const Point3& p : pose.positions)
                for (const float c : p)
                    if (!std::isfinite(c))
                        __builtin_trap();
        }
        (void)TextureNameOf(s);
        (void)LayoutHasArea(s);
    }
    if (model.frameNames.size() != size_t(model.FrameCount()))
        __builtin_trap();
    return 0;
}
