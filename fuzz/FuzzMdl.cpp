// Any bytes as an MDL model: the reader must refuse or load them, and what
// it loads must hold together: corners inside the vertices, finite
// coordinates, every frame as long as the surface, skins as large as they
// say, each of which paints. A picture written back into what loads must
// change that picture alone.
#include "image/IndexedSkin.h"
#include "model/MdlReader.h"
#include "model/MdlSkinWriter.h"

#include <cmath>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)ReadPalette({data, size});
    const Result<Model> loaded = ReadMdl({"fuzz.mdl", Bytes::Copy(data, size)});
    if (!loaded.ok()) {
        const std::string& reason = loaded.error().reason;
        if (reason.empty() || reason.back() == '.')
            __builtin_trap();
        return 0;
    }
    const Model& model = loaded.value();
    if (model.SurfaceCount() != 1)
        __builtin_trap();
    const Surface& s = model.surfaces[0];
    const size_t vertices = s.u.size();
    if (s.v.size() != vertices)
        __builtin_trap();
    for (size_t i = 0; i < vertices; ++i)
        if (!std::isfinite(s.u[i]) || !std::isfinite(s.v[i]))
            __builtin_trap();
    for (const Triangle& t : s.triangles)
        for (const int32_t c : {t.a, t.b, t.c})
            if (c < 0 || size_t(c) >= vertices)
                __builtin_trap();
    if (model.frameNames.size() != size_t(model.geometry ? model.geometry->FrameCount() : 0))
        __builtin_trap();
    for (int f = 0; f < model.FrameCount(); ++f) {
        const SurfacePose pose = model.Pose(0, f);
        if (pose.positions.size() != (model.geometry ? vertices : s.positions.size()) ||
            pose.normals.size() != pose.positions.size())
            __builtin_trap();
        for (const Point3& p : pose.positions)
            for (const float x : p)
                if (!std::isfinite(x))
                    __builtin_trap();
    }
    for (const EmbeddedSkin& skin : model.skins) {
        if (skin.width <= 0 || skin.height <= 0 ||
            skin.indices.size() != size_t(skin.width) * size_t(skin.height))
            __builtin_trap();
        if (PaintIndexed(skin, ShippedPalette()).rgba.size() != skin.indices.size() * 4)
            __builtin_trap();
    }
    const Result<MdlSkinPlaces> places = FindMdlSkins("fuzz.mdl", {data, size});
    if (!places.ok() || places.value().pictureAt.size() != model.skins.size())
        __builtin_trap();
    if (model.skins.empty())
        return 0;
    const int last = int(model.skins.size()) - 1;
    std::vector<uint8_t> picture(model.skins[size_t(last)].indices);
    for (uint8_t& index : picture)
        index = uint8_t(index + 1);
    const Result<std::string> written = ReplaceMdlPicture("fuzz.mdl", {data, size}, last, picture);
    if (!written.ok() || written.value().size() != size)
        __builtin_trap();
    const Result<Model> again = ReadMdl(
        {"fuzz.mdl", Bytes::Copy(reinterpret_cast<const uint8_t*>(written.value().data()), size)});
    if (!again.ok() || again.value().skins.size() != model.skins.size() ||
        again.value().skins[size_t(last)].indices != picture)
        __builtin_trap();
    for (int i = 0; i < last; ++i)
        if (again.value().skins[size_t(i)].indices != model.skins[size_t(i)].indices)
            __builtin_trap();
    return 0;
}
