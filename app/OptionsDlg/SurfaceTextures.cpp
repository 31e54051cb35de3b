#include "app/OptionsDlg/SurfaceTextures.h"

#include "model/SurfaceStore.h"

#include <map>
#include <memory>

namespace {

struct State {
    std::vector<Skin> skins;
    int chosen = -1;
    // Decoded pictures by file, and why a file could not be decoded.
    std::map<std::string, std::unique_ptr<TextureImage>> pictures;
    std::map<std::string, std::string> problems;
};

State& Current() {
    static State state;
    return state;
}

} // namespace

void ReloadSkins() {
    State& s = Current();
    s.skins = FindSkins(g_modelPath);
    s.chosen = !s.skins.empty() && s.skins.front().name == "default" ? 0 : -1;
    // Textures may have been repainted since: read them again when needed.
    s.pictures.clear();
    s.problems.clear();
}

const std::vector<Skin>& ModelSkins() {
    return Current().skins;
}

int ChosenSkin() {
    return Current().chosen;
}

void ChooseSkin(int index) {
    State& s = Current();
    s.chosen = index >= 0 && index < int(s.skins.size()) ? index : -1;
}

SurfaceTexture TextureOfSurface(int index) {
    const SurfaceRecord* r = SurfaceAt(index);
    if (!r || index >= LoadedSurfaceCount())
        return {};
    const State& s = Current();
    return FindSurfaceTexture(g_modelPath, NameText(r->name), NameText(r->shaderName),
                              s.chosen >= 0 ? &s.skins[size_t(s.chosen)] : nullptr);
}

const TextureImage* PictureOf(const SurfaceTexture& texture, std::string* problem) {
    State& s = Current();
    if (texture.file.empty()) {
        if (problem)
            *problem = texture.problem;
        return nullptr;
    }
    if (auto known = s.pictures.find(texture.file); known != s.pictures.end())
        return known->second.get();
    if (auto failed = s.problems.find(texture.file); failed != s.problems.end()) {
        if (problem)
            *problem = failed->second;
        return nullptr;
    }
    auto picture = std::make_unique<TextureImage>();
    const Outcome loaded = LoadTexture(texture.file, *picture);
    if (!loaded.ok) {
        s.problems[texture.file] = loaded.reason;
        if (problem)
            *problem = loaded.reason;
        return nullptr;
    }
    return (s.pictures[texture.file] = std::move(picture)).get();
}
