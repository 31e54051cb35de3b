#include "model/TextureFinder.h"

#include "model/Model.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// The name's parts, '\' read as '/'; empty when it could leave its folder.
std::vector<std::string> PartsOf(std::string name) {
    for (char& c : name)
        if (c == '\\')
            c = '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t slash = name.find('/', start);
        const std::string part =
            name.substr(start, slash == std::string::npos ? slash : slash - start);
        if (part == "..")
            return {};
        if (!part.empty() && part != ".")
            parts.push_back(part);
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return parts;
}

} // namespace

bool IsInsideFolder(const std::string& folder, const std::string& path) {
    std::error_code error;
    const fs::path base = fs::weakly_canonical(folder, error);
    if (error)
        return false;
    const fs::path real = fs::weakly_canonical(path, error);
    if (error)
        return false;
    std::string b = base.string();
    if (b.empty() || b.back() != '/')
        b += '/';
    return real.string().rfind(b, 0) == 0;
}

std::string GameFolderOf(const std::string& modelPath) {
    std::error_code error;
    const fs::path folder = fs::absolute(fs::path(modelPath), error).parent_path();
    for (fs::path at = folder; !at.empty() && at != at.parent_path(); at = at.parent_path())
        if (LowerCase(at.filename().string()) == "models")
            return at.parent_path().string();
    return folder.string();
}

Result<std::string> FindTextureFile(const std::string& modelPath, const std::string& textureName) {
    const std::vector<std::string> parts = PartsOf(textureName);
    if (parts.empty())
        return Error{"", "",
                     textureName.empty() ? "the surface names no texture"
                                         : "\"" + textureName + "\" is not a texture name"};
    // One base for every name: a name's first part never picks another.
    std::error_code error;
    const fs::path base = GameFolderOf(modelPath);
    fs::path relative;
    for (const std::string& part : parts)
        relative /= part;
    const fs::path given = base / relative;
    std::vector<fs::path> candidates = {given};
    fs::path stem = given;
    stem.replace_extension();
    for (const char* extension : {".tga", ".jpg", ".jpeg", ".png"})
        candidates.push_back(fs::path(stem.string() + extension));
    for (const fs::path& candidate : candidates)
        if (fs::is_regular_file(candidate, error) && IsInsideFolder(base, candidate))
            return candidate.string();
    return Error{"", "",
                 "no image \"" + relative.string() + "\" (.tga, .jpg, .jpeg or .png) in \"" +
                     base.string() + "\""};
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
            t.origin = "skin:" + fs::path(skin->path).filename().string();
        }
    }
    return t;
}

SurfaceTexture FindSurfaceTexture(const std::string& modelPath, const std::string& surfaceName,
                                  const std::string& shaderName, const Skin* skin) {
    SurfaceTexture t = WornTexture(surfaceName, shaderName, skin);
    const Result<std::string> found = FindTextureFile(modelPath, t.name);
    if (found.ok())
        t.file = found.value();
    else
        t.problem = found.error().reason;
    return t;
}
