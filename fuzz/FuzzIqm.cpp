// Any bytes as an IQM file: the reader must refuse them with a reason, or
// load a model whose every list agrees with itself.
#include "fuzz/BakeSmall.h"
#include "model/IqmReader.h"
#include "model/Model.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Result<Model> loaded = ReadIqm({"fuzz.iqm", Bytes::Copy(data, size)});
    if (!loaded.ok()) {
        const std::string& reason = loaded.error().reason;
        if (reason.empty() || reason.back() == '.')
            __builtin_trap();
        return 0;
    }
    const Model& model = loaded.value();
    if (model.SurfaceCount() == 0 || model.SurfaceCount() > kMaxModelSurfaces)
        __builtin_trap();
    size_t vertices = 0;
    for (const Surface& s : model.surfaces) {
        const size_t n = s.u.size();
        vertices += n;
        if (s.v.size() != n || (!s.positions.empty() && s.positions.size() != n) ||
            (!s.normals.empty() && s.normals.size() != n))
            __builtin_trap();
        for (size_t j = 0; j < n; ++j)
            if (!std::isfinite(s.u[j]) || !std::isfinite(s.v[j]))
                __builtin_trap();
        for (const std::vector<Point3>* list : {&s.positions, &s.normals})
            for (const Point3& p : *list)
                for (const float c : p)
                    if (!std::isfinite(c))
                        __builtin_trap();
        // The reader refuses a corner outside its surface, so none is skipped.
        size_t drawn = 0;
        ForEachTriangle(s, [&drawn](int, int, int) { ++drawn; });
        if (drawn != s.triangles.size())
            __builtin_trap();
        (void)LayoutHasArea(s);
        (void)TextureNameOf(s);
    }
    // Meshes may not share vertices, so together they hold no more than the file.
    if (vertices * 4 > size)
        __builtin_trap();
    // The last frame, and halfway there from the first, as the skeleton
    // poses them: every vertex placed, finite, with a unit normal.
    const int last = model.FrameCount() - 1;
    for (const SurfacePose& pose :
         {model.Pose(0, last),
          model.geometry ? model.geometry->PoseBetween(0, 0, last, 0.5f) : model.Pose(0, last)}) {
        if (pose.positions.size() != model.surfaces[0].positions.size())
            __builtin_trap();
        if (model.geometry && pose.normals.size() != pose.positions.size())
            __builtin_trap();
        for (const std::vector<Point3>* list : {&pose.positions, &pose.normals})
            for (const Point3& p : *list)
                for (const float c : p)
                    if (!std::isfinite(c))
                        __builtin_trap();
    }
    for (const Animation& a : model.animations)
        if (a.frames < 0 || a.first < 0 || a.looping < 0 || a.looping > a.frames || !(a.fps > 0) ||
            a.name.empty())
            __builtin_trap();
    BakeSmall(std::make_shared<const Model>(model));
    return 0;
}
