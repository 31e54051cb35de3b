#include "model/TextureFinder.h"

#include "model/Model.h"
#include "model/NativeFile.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

} // namespace

bool IsInsideFolder(const std::string& folder, const std::string& path) {
    std::error_code error;
    const fs::path base = fs::weakly_canonical(native::PathOf(folder), error);
    if (error)
        return false;
    const fs::path real = fs::weakly_canonical(native::PathOf(path), error);
    if (error)
        return false;
    // '/' between the parts on every system, so that the prefix test below
    // means the same on Windows (where the native separator is '\\').
    std::string b = native::GenericUtf8Of(base);
    if (b.empty() || b.back() != '/')
        b += '/';
    return native::GenericUtf8Of(real).rfind(b, 0) == 0;
}

std::string GameFolderOf(const std::string& modelPath) {
    std::error_code error;
    const fs::path folder = fs::absolute(native::PathOf(modelPath), error).parent_path();
    for (fs::path at = folder; !at.empty() && at != at.parent_path(); at = at.parent_path())
        if (const std::string name = LowerCase(native::Utf8Of(at.filename()));
            name == "models" || name == "progs") // Quake keeps its models in progs/
            return native::Utf8Of(at.parent_path());
    return native::Utf8Of(folder);
}

SurfaceTexture WornTexture(const std::string& surfaceName, const std::string& shaderName,
                           const Skin* skin) {
    SurfaceTexture t;
    t.origin = "model";
    t.name = shaderName;
    if (skin) {
        const std::string fromSkin = skin->TextureOf(surfaceName);
        if (!fromSkin.empty()) {
            t.name = fromSkin;
            t.origin = "skin:" + native::Utf8Of(native::PathOf(skin->path).filename());
        }
    }
    return t;
}

SurfaceTexture WornTexture(const Surface& surface, const Skin* skin) {
    SurfaceTexture t = WornTexture(surface.name, surface.shaderName, skin);
    if (t.origin == "model" && !surface.texture.empty()) {
        t.name = surface.texture;
        t.origin = "material";
    }
    return t;
}
