#include "game/ModelGame.h"

#include "game/GameTextures.h"
#include "model/Md3Reader.h"
#include "model/ModelFormats.h"
#include "model/NativeFile.h"

#include <filesystem>

namespace fs = std::filesystem;

std::shared_ptr<GameFiles> GameOfModelFile(const std::string& modelPath, std::string& gamePath) {
    auto files = std::make_shared<GameFiles>();
    const std::string root = GameFolderOf(modelPath);
    std::error_code error;
    gamePath = native::GenericUtf8Of(
        fs::relative(fs::absolute(native::PathOf(modelPath), error), native::PathOf(root), error));
    files->AddFolder(root);
    return files;
}

int PlayerPartOf(const std::string& path) {
    const std::string stem = LowerCase(native::Utf8Of(native::PathOf(path).stem()));
    for (int i = 0; i < 3; ++i)
        if (stem == kPlayerPartNames[i])
            return i;
    return -1;
}

std::array<PlayerPart, 3> FindPlayerParts(const GameFiles& files,
                                          const std::string& modelGamePath) {
    static const char* const kCalled[3] = {"the legs (lower.md3) are", "the torso (upper.md3) is",
                                           "the head (head.md3) is"};
    std::array<PlayerPart, 3> parts;
    const int own = PlayerPartOf(modelGamePath);
    std::string folder = GamePathKey(modelGamePath);
    folder.erase(folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/') + 1);
    for (int i = 0; i < 3; ++i) {
        if (i == own)
            continue;
        PlayerPart& part = parts[size_t(i)];
        part.gamePath = folder + kPlayerPartNames[i] + ".md3";
        const std::unique_ptr<GameFile> file = files.Find(part.gamePath);
        if (!file)
            continue;
        const Result<SourceBytes> bytes = files.Read(*file);
        if (!bytes.ok()) {
            part.problem = std::string(kCalled[i]) + " not readable: " + bytes.error().reason;
            continue;
        }
        Result<Model> model = ReadModel(bytes.value());
        if (!model.ok()) {
            part.problem = std::string(kCalled[i]) + " not a model: " + model.error().reason;
            continue;
        }
        part.model = std::make_shared<const Model>(std::move(model.value()));
    }
    return parts;
}

std::vector<Skin> FindSkins(const std::string& modelPath, const Model* model) {
    std::string gamePath;
    const std::shared_ptr<GameFiles> files = GameOfModelFile(modelPath, gamePath);
    return GameSkins(*files, gamePath, model);
}

namespace {

// The texture a name means in the game of a model file, or why there is none.
SurfaceTexture Locate(const std::string& modelPath, SurfaceTexture t) {
    std::string gamePath, script;
    const std::shared_ptr<GameFiles> files = GameOfModelFile(modelPath, gamePath);
    const GameTextures textures(*files);
    const std::unique_ptr<GameFile> file = textures.Find(t.name, script, t.problem);
    if (!script.empty()) // also when the shader's image is missing
        t.origin = "shader:" + script;
    if (file) {
        t.file = file->origin;
    } else if (const std::string end = "in the game";
               t.problem.size() > end.size() &&
               t.problem.compare(t.problem.size() - end.size(), end.size(), end) == 0) {
        t.problem += " \"" + GameFolderOf(modelPath) + "\""; // which game, for a file by itself
    }
    return t;
}

} // namespace

SurfaceTexture FindSurfaceTexture(const std::string& modelPath, const std::string& surfaceName,
                                  const std::string& shaderName, const Skin* skin) {
    return Locate(modelPath, WornTexture(surfaceName, shaderName, skin));
}

Result<std::string> FindTextureFile(const std::string& modelPath, const std::string& textureName) {
    SurfaceTexture t;
    t.name = textureName;
    t = Locate(modelPath, t);
    if (t.file.empty())
        return Error{"", "", t.problem};
    return t.file;
}
