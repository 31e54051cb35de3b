#include "app/OptionsDialog/ModelTextures.h"

#include "game/GameTextures.h"
#include "game/ModelGame.h"

ModelTextures::ModelTextures() : m_cache(std::make_shared<TextureCache>()) {
    Start(nullptr, nullptr, {}, m_cache);
}

void ModelTextures::Reset(std::shared_ptr<const Model> model) {
    std::string gamePath;
    std::shared_ptr<const GameFiles> files;
    if (model)
        files = GameOfModelFile(model->path, gamePath);
    Reset(std::move(model), std::move(files), gamePath, false);
}

void ModelTextures::Reset(std::shared_ptr<const Model> model,
                          std::shared_ptr<const GameFiles> files, const std::string& modelGamePath,
                          bool) {
    m_cache->Clear();
    Start(std::move(model), std::move(files), modelGamePath, m_cache);
}

void ModelTextures::ResetBeside(std::shared_ptr<const Model> model, const ModelTextures& other,
                                const std::string& modelGamePath) {
    m_cache = other.m_cache;
    Start(std::move(model), other.m_files, modelGamePath, m_cache);
    // The same game: its scripts, read once, and its lookups are shared.
    if (m_model && other.m_source && m_files == other.m_files) {
        m_source = other.m_source;
        m_scriptsInBackground = other.m_scriptsInBackground;
    }
}

void ModelTextures::Start(std::shared_ptr<const Model> model,
                          std::shared_ptr<const GameFiles> files, const std::string& modelGamePath,
                          std::shared_ptr<TextureCache> cache) {
    m_model = std::move(model);
    m_retired.clear();
    m_files = m_model ? std::move(files) : nullptr;
    m_gamePath = m_model ? modelGamePath : std::string();
    m_source = std::make_shared<GameTextureSource>(m_files, std::move(cache));
    m_scriptsInBackground = m_waitedForScripts = false;
    // The .skin files, then the skins the model names or holds itself.
    m_skins =
        m_model ? GameSkins(m_source->files(), m_gamePath, m_model.get()) : std::vector<Skin>{};
    m_chosen = !m_skins.empty() && m_skins.front().name == "default" ? 0 : -1;
}

int ModelTextures::UvSet() const {
    return m_model ? UvSetInUse(*m_model) : 0;
}

bool ModelTextures::UseUvSet(int set) {
    if (!m_model || set == UvSet())
        return m_model != nullptr;
    auto copy = std::make_shared<Model>(*m_model);
    if (!::UseUvSet(*copy, set))
        return false;
    m_retired.push_back(std::move(m_model));
    m_model = std::move(copy);
    return true;
}

const Surface* ModelTextures::SurfaceAt(int index) const {
    if (!m_model || index < 0 || index >= m_model->SurfaceCount())
        return nullptr;
    return &m_model->surfaces[size_t(index)];
}

void ModelTextures::ChooseSkin(int index) {
    m_chosen = index >= 0 && index < int(m_skins.size()) ? index : -1;
}

const Skin* ModelTextures::ChosenSkin() const {
    return m_chosen >= 0 ? &m_skins[size_t(m_chosen)] : nullptr;
}

SurfaceTexture ModelTextures::TextureOfSurface(int index) {
    const Surface* s = SurfaceAt(index);
    if (!s)
        return {};
    return Locate(*m_model, *s, ChosenSkin());
}

SurfaceTexture ModelTextures::Locate(const Model& model, const Surface& surface, const Skin* skin) {
    // A game's scripts are read in a moment: the first look waits that
    // moment, so that the texture is shown at once; a slow game's answers
    // meanwhile say why they are missing.
    if (m_scriptsInBackground && !m_source->textures().ScriptsRead()) {
        const bool first = !m_waitedForScripts;
        m_waitedForScripts = true;
        if (!first || !m_source->textures().WaitForScripts(std::chrono::milliseconds(300))) {
            SurfaceTexture t = WornTexture(surface, skin);
            t.problem = "the game's shader scripts are still being read";
            return t;
        }
    }
    return m_source->Locate(model, surface, skin);
}

void ModelTextures::ReadScriptsInBackground(std::function<void()> done) {
    if (!m_model)
        return;
    m_scriptsInBackground = true;
    m_source->textures().ReadScriptsInBackground(std::move(done));
}

std::vector<std::string> ModelTextures::GameProblems() const {
    std::vector<std::string> all = m_source->files().problems();
    if (m_source->textures().ScriptsRead())
        for (const std::string& p : m_source->textures().problems())
            all.push_back(p);
    return all;
}

std::string ModelTextures::WornTextureName(int index) const {
    const Surface* s = SurfaceAt(index);
    return s ? WornTexture(*s, ChosenSkin()).name : std::string();
}

std::shared_ptr<const TextureImage> ModelTextures::Picture(const std::string& file,
                                                           std::string& problem) {
    return m_source->Picture(file, problem);
}

std::shared_ptr<const TextureImage> ModelTextures::PictureOf(const SurfaceTexture& texture,
                                                             std::string* problem) {
    if (texture.file.empty()) {
        if (problem)
            *problem = texture.problem;
        return nullptr;
    }
    std::string why;
    std::shared_ptr<const TextureImage> picture = m_source->Picture(texture.file, why);
    if (!picture && problem)
        *problem = why + ".";
    return picture;
}

void ModelTextures::Forget(const std::string& file) {
    m_cache->Forget(file);
}
