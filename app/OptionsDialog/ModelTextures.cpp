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
}

void ModelTextures::Start(std::shared_ptr<const Model> model,
                          std::shared_ptr<const GameFiles> files, const std::string& modelGamePath,
                          std::shared_ptr<TextureCache> cache) {
    m_model = std::move(model);
    m_files = m_model ? std::move(files) : nullptr;
    m_gamePath = m_model ? modelGamePath : std::string();
    m_source = std::make_shared<GameTextureSource>(m_files, std::move(cache));
    m_skins = m_model ? GameSkins(m_source->files(), m_gamePath) : std::vector<Skin>{};
    m_chosen = !m_skins.empty() && m_skins.front().name == "default" ? 0 : -1;
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
    return m_source->Locate(model, surface, skin);
}

std::string ModelTextures::WornTextureName(int index) const {
    const Surface* s = SurfaceAt(index);
    return s ? WornTexture(s->name, s->shaderName, ChosenSkin()).name : std::string();
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
