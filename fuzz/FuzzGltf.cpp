// Any bytes as a glTF scene (JSON, or a .glb by its magic), its companions
// a small fixed buffer: the reader must refuse them, naming the file, or load
// a model every surface of which holds together.
#include "model/GltfReader.h"
#include "model/Model.h"

#include <cmath>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> beside = [] {
        std::vector<uint8_t> bytes(96);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(i * 7);
        return bytes;
    }();
    SourceBytes source{"fuzz.gltf", Bytes::Copy(data, size)};
    source.companions = [](const std::string& written, int64_t limit) -> Result<SourceBytes> {
        if (written.empty() || limit < int64_t(beside.size()))
            return Error{"", written, "it cannot be read"};
        return SourceBytes{written, Bytes::Copy(beside.data(), beside.size())};
    };
    const Result<Model> loaded = ReadGltf(source);
    if (!loaded.ok()) {
        if (loaded.error().path != source.path || loaded.error().reason.empty())
            __builtin_trap();
        return 0;
    }
    const Model& model = loaded.value();
    for (const Surface& s : model.surfaces) {
        const size_t n = s.u.size();
        if (s.v.size() != n || s.positions.size() != n || s.normals.size() != n)
            __builtin_trap();
        for (const Triangle& t : s.triangles)
            for (const int32_t c : {t.a, t.b, t.c})
                if (c < 0 || size_t(c) >= n)
                    __builtin_trap();
        for (size_t i = 0; i < n; ++i) {
            if (!std::isfinite(s.u[i]) || !std::isfinite(s.v[i]))
                __builtin_trap();
            for (int k = 0; k < 3; ++k)
                if (!std::isfinite(s.positions[i][size_t(k)]) ||
                    !std::isfinite(s.normals[i][size_t(k)]))
                    __builtin_trap();
        }
        for (const UvSet& set : s.uvSets)
            if (set.u.size() != n || set.v.size() != n)
                __builtin_trap();
    }
    return 0;
}
