#pragma once
// The textures the window's model wears: the model's .skin files and the one
// chosen, each surface's texture as the game finds it, and the images decoded
// once and kept while they fit in the cache.
#include "flatten/TemplateRequest.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "image/TextureImage.h"
#include "model/Model.h"
#include "model/SkinFile.h"
#include "model/TextureFinder.h"

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Decoded textures kept at once; the least recently used go first.
inline constexpr size_t kTextureCacheBytes = size_t(512) << 20;

class ModelTextures : public TextureSource {
  public:
    // A new model (or none): its skins read, "default" chosen when there is
    // one, and every picture read again when needed (it may have been repainted).
    void Reset(std::shared_ptr<const Model> model);
    // The same, with the game the model belongs to: its skins and textures
    // come from the game's files (paks, loose folders, shader scripts).
    void Reset(std::shared_ptr<const Model> model, std::shared_ptr<const GameFiles> files,
               const std::string& modelGamePath, bool modelInGame);
    const std::shared_ptr<const Model>& model() const { return m_model; }
    int SurfaceCount() const { return m_model ? m_model->SurfaceCount() : 0; }
    // The surface at index, or null outside the model.
    const Surface* SurfaceAt(int index) const;

    const std::vector<Skin>& skins() const { return m_skins; }
    int chosenSkin() const { return m_chosen; } // -1: none
    void ChooseSkin(int index);
    const Skin* ChosenSkin() const;

    // The texture surface `index` wears with the chosen skin.
    SurfaceTexture TextureOfSurface(int index);
    // The same by name only, without looking for its file.
    std::string WornTextureName(int index) const;
    // Its picture, decoded once while it stays in the cache; null (and the
    // reason) when there is none. The picture lives as long as it is held.
    std::shared_ptr<const TextureImage> PictureOf(const SurfaceTexture& texture,
                                                  std::string* problem = nullptr);
    std::shared_ptr<const TextureImage> Picture(const std::string& file,
                                                std::string& problem) override;
    SurfaceTexture Locate(const Model& model, const Surface& surface, const Skin* skin) override;
    // Reads the game's shader scripts on a thread of their own; until they
    // are read, a texture looked up says so instead of waiting. `done` is
    // called on that thread.
    void ReadScriptsInBackground(std::function<void()> done);
    // The game's problems: paks and folders left out, broken shader scripts.
    std::vector<std::string> GameProblems() const;
    // Forgets what was decoded from a file (it was saved anew): the next
    // look decodes it again.
    void Forget(const std::string& file);

  private:
    Status Decode(const std::string& file, TextureImage& image) const;
    std::shared_ptr<const Model> m_model;
    std::shared_ptr<const GameFiles> m_files;
    std::unique_ptr<GameTextures> m_gameTextures;
    bool m_scriptsInBackground = false, m_waitedForScripts = false;
    std::map<std::string, GameFile> m_found; // files found in the game, by origin
    std::vector<Skin> m_skins;
    int m_chosen = -1;
    // Decoded pictures by file, most recently used first, and why a file
    // could not be decoded.
    std::list<std::pair<std::string, std::shared_ptr<const TextureImage>>> m_pictures;
    size_t m_bytes = 0;
    std::map<std::string, std::string> m_problems;
};
