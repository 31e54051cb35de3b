// Any bytes as an OBJ model whose material library is a small fixed one, and
// any bytes as a material library: the reader must refuse them with a reason
// or load a model every surface of which holds together.
#include "model/Model.h"
#include "model/ModelFormats.h"
#include "model/ObjReader.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

const char kLibrary[] = "newmtl red\nmap_Kd -s 1 1 1 -clamp on .\\tex\\red one.png\n"
                        "newmtl blue\nmap_Kd ../blue.tga\nnewmtl red\nmap_Kd late.png\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes after a first "\n----\n" are read as a second library too.
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t cut = all.find("\n----\n");
    const std::string second = cut == std::string::npos ? std::string() : all.substr(cut + 6);
    for (const auto& [name, map] : ReadMtlMaps(second))
        if (name.find('\n') != std::string::npos || map.find('\n') != std::string::npos)
            __builtin_trap();
    SourceBytes source{"fuzz.obj", Bytes::Copy(data, size)};
    source.companions = [&second](const std::string& written,
                                  int64_t limit) -> Result<SourceBytes> {
        const std::string text = written == "b.mtl" ? second : std::string(kLibrary);
        if (written != "a.mtl" && written != "b.mtl")
            return Error{"Cannot open", written, "No such file or directory"};
        if (int64_t(text.size()) > limit)
            __builtin_trap();
        return SourceBytes{written,
                           Bytes::Copy(reinterpret_cast<const uint8_t*>(text.data()), text.size())};
    };
    const Result<Model> loaded = ReadObj(source);
    if (!loaded.ok()) {
        const Error& error = loaded.error();
        if (error.path != source.path || error.reason.empty() || error.reason.back() == '.')
            __builtin_trap();
        return 0;
    }
    const Model& model = loaded.value();
    if (model.surfaces.empty() || model.SurfaceCount() > kMaxModelSurfaces)
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
            // A unit normal, or none (a corner without vn on a flat face).
            const float length = m[0] * m[0] + m[1] * m[1] + m[2] * m[2];
            if (!(std::fabs(length - 1.0f) < 1e-3f || length == 0.0f))
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
    return 0;
}
