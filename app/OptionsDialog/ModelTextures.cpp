#include "app/OptionsDialog/ModelTextures.h"

#include "flatten/GameTextureSource.h"

void ModelTextures::Reset(std::shared_ptr<const Model> model) {
    Reset(std::move(model), nullptr, {}, false);
}

void ModelTextures::Reset(std::shared_ptr<const Model> model,
                          std::shared_ptr<const GameFiles> files, const std::string& modelGamePath,
                          bool modelInGame) {
    m_model = std::move(model);
    m_files = std::move(files);
    m_gameTextures = m_files ? std::make_unique<GameTextures>(*m_files) : nullptr;
    m_scriptsInBackground = m_waitedForScripts = false;
    m_found.clear();
    if (!m_model)
        m_skins.clear();
    else if (m_files && modelInGame)
        m_skins = GameSkins(*m_files, modelGamePath);
    else
        m_skins = FindSkins(m_model->path);
    m_chosen = !m_skins.empty() && m_skins.front().name == "default" ? 0 : -1;
    m_pictures.clear();
    m_bytes = 0;
    m_problems.clear();
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
    if (!m_gameTextures)
        return FindSurfaceTexture(model.path, surface.name, surface.shaderName, skin);
    SurfaceTexture t = WornTexture(surface.name, surface.shaderName, skin);
    // A game's scripts are read in a moment: the first look waits that
    // moment, so that the texture is shown at once; a slow game's answers
    // meanwhile say why they are missing.
    if (m_scriptsInBackground && !m_gameTextures->ScriptsRead()) {
        const bool first = !m_waitedForScripts;
        m_waitedForScripts = true;
        if (!first || !m_gameTextures->WaitForScripts(std::chrono::milliseconds(300))) {
            t.problem = "the game's shader scripts are still being read";
            return t;
        }
    }
    std::string script;
    const std::unique_ptr<GameFile> file = m_gameTextures->Find(t.name, script, t.problem);
    if (!script.empty()) // also when the shader's image is missing
        t.origin = "shader:" + script;
    if (file) {
        t.file = file->origin;
        m_found.emplace(file->origin, *file);
    }
    return t;
}

void ModelTextures::ReadScriptsInBackground(std::function<void()> done) {
    if (!m_gameTextures)
        return;
    m_scriptsInBackground = true;
    m_gameTextures->ReadScriptsInBackground(std::move(done));
}

std::vector<std::string> ModelTextures::GameProblems() const {
    if (!m_gameTextures || !m_gameTextures->ScriptsRead())
        return m_files ? m_files->problems() : std::vector<std::string>{};
    std::vector<std::string> all = m_files->problems();
    for (const std::string& p : m_gameTextures->problems())
        all.push_back(p);
    return all;
}

Status ModelTextures::Decode(const std::string& file, TextureImage& image) const {
    const auto found = m_found.find(file);
    return DecodeGameTexture(m_files.get(), found == m_found.end() ? nullptr : &found->second, file,
                             image);
}

std::string ModelTextures::WornTextureName(int index) const {
    const Surface* s = SurfaceAt(index);
    return s ? WornTexture(s->name, s->shaderName, ChosenSkin()).name : std::string();
}

std::shared_ptr<const TextureImage> ModelTextures::Picture(const std::string& file,
                                                           std::string& problem) {
    SurfaceTexture texture;
    texture.file = file;
    return PictureOf(texture, &problem);
}

std::shared_ptr<const TextureImage> ModelTextures::PictureOf(const SurfaceTexture& texture,
                                                             std::string* problem) {
    if (texture.file.empty()) {
        if (problem)
            *problem = texture.problem;
        return nullptr;
    }
    for (auto at = m_pictures.begin(); at != m_pictures.end(); ++at)
        if (at->first == texture.file) {
            m_pictures.splice(m_pictures.begin(), m_pictures, at);
            return at->second;
        }
    if (auto failed = m_problems.find(texture.file); failed != m_problems.end()) {
        if (problem)
            *problem = failed->second;
        return nullptr;
    }
    auto picture = std::make_shared<TextureImage>();
    const Status loaded = Decode(texture.file, *picture);
    if (!loaded.ok()) {
        m_problems[texture.file] = loaded.error().Message();
        if (problem)
            *problem = loaded.error().Message();
        return nullptr;
    }
    m_bytes += picture->Bytes();
    m_pictures.emplace_front(texture.file, picture);
    // Room for the newest: the least recently used go (a drawing that still
    // holds one keeps it until it is done).
    while (m_bytes > kTextureCacheBytes && m_pictures.size() > 1) {
        m_bytes -= m_pictures.back().second->Bytes();
        m_pictures.pop_back();
    }
    return picture;
}

void ModelTextures::Forget(const std::string& file) {
    m_problems.erase(file);
    for (auto at = m_pictures.begin(); at != m_pictures.end(); ++at)
        if (at->first == file) {
            m_bytes -= at->second->Bytes();
            m_pictures.erase(at);
            return;
        }
}
