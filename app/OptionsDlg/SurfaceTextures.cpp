#include "app/OptionsDlg/SurfaceTextures.h"

#include "model/SurfaceStore.h"

#include <list>
#include <map>

namespace {

struct State {
    std::vector<Skin> skins;
    int chosen = -1;
    // Decoded pictures by file, most recently used first, and why a file
    // could not be decoded.
    std::list<std::pair<std::string, std::shared_ptr<const TextureImage>>> pictures;
    size_t bytes = 0;
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
    s.bytes = 0;
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

std::string WornTextureName(int index) {
    const SurfaceRecord* r = SurfaceAt(index);
    if (!r || index >= LoadedSurfaceCount())
        return {};
    const State& s = Current();
    return WornTexture(NameText(r->name), NameText(r->shaderName),
                       s.chosen >= 0 ? &s.skins[size_t(s.chosen)] : nullptr)
        .name;
}

std::shared_ptr<const TextureImage> PictureOf(const SurfaceTexture& texture, std::string* problem) {
    State& s = Current();
    if (texture.file.empty()) {
        if (problem)
            *problem = texture.problem;
        return nullptr;
    }
    for (auto at = s.pictures.begin(); at != s.pictures.end(); ++at)
        if (at->first == texture.file) {
            s.pictures.splice(s.pictures.begin(), s.pictures, at);
            return at->second;
        }
    if (auto failed = s.problems.find(texture.file); failed != s.problems.end()) {
        if (problem)
            *problem = failed->second;
        return nullptr;
    }
    auto picture = std::make_shared<TextureImage>();
    const Outcome loaded = LoadTexture(texture.file, *picture);
    if (!loaded.ok) {
        s.problems[texture.file] = loaded.reason;
        if (problem)
            *problem = loaded.reason;
        return nullptr;
    }
    s.bytes += picture->Bytes();
    s.pictures.emplace_front(texture.file, picture);
    // Room for the newest: the least recently used go (a drawing that still
    // holds one keeps it until it is done).
    while (s.bytes > kTextureCacheBytes && s.pictures.size() > 1) {
        s.bytes -= s.pictures.back().second->Bytes();
        s.pictures.pop_back();
    }
    return picture;
}

size_t CachedTextureBytes() {
    return Current().bytes;
}
