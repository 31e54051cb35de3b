#pragma once
// The textures the window's model wears: the model's .skin files and the one
// chosen, each surface's texture as the model's game finds it (a model file
// by itself is a game of its own folder), and the pictures from the one
// texture source, kept in the window's one cache under its byte budget.
#include "flatten/GameTextureSource.h"
#include "flatten/TemplateRequest.h"
#include "flatten/Wearers.h"
#include "game/GameFiles.h"
#include "image/TextureCache.h"
#include "image/TextureImage.h"
#include "model/Model.h"
#include "model/SkinFile.h"
#include "model/TextureFinder.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ModelTextures : public TextureSource {
  public:
    ModelTextures();
    ~ModelTextures() override;
    ModelTextures(const ModelTextures&) = delete;
    ModelTextures& operator=(const ModelTextures&) = delete;

    // A new model (or none), as a file by itself: its skins read (the .skin
    // files, then those its header names and the pictures it holds), "default"
    // chosen when there is one, and every picture read again when needed
    // (it may have been repainted).
    void Reset(std::shared_ptr<const Model> model);
    // The same, with the game the model belongs to and its path there.
    void Reset(std::shared_ptr<const Model> model, std::shared_ptr<const GameFiles> files,
               const std::string& modelGamePath, bool modelInGame);
    // A model shown beside `other`'s (a player's other part), found in the
    // same game at `modelGamePath`: its pictures kept in the same cache,
    // which stays as it is, and the same game's shader scripts.
    void ResetBeside(std::shared_ptr<const Model> model, const ModelTextures& other,
                     const std::string& modelGamePath);
    const std::shared_ptr<const Model>& model() const { return m_model; }
    // The model's texture coordinates: how many sets, the one in use, and a
    // choice of another (the model is copied with it; false when it has no such set).
    int UvSetCount() const { return m_model ? ::UvSetCount(*m_model) : 1; }
    int UvSet() const;
    bool UseUvSet(int set);
    int SurfaceCount() const { return m_model ? m_model->SurfaceCount() : 0; }
    // The surface at index, or null outside the model.
    const Surface* SurfaceAt(int index) const;
    // The model's game and its path there (null before a model).
    const std::shared_ptr<const GameFiles>& files() const { return m_files; }
    const std::string& modelGamePath() const { return m_gamePath; }
    // Where the pictures come from; shared with threads that decode for a view.
    const std::shared_ptr<GameTextureSource>& source() const { return m_source; }

    const std::vector<Skin>& skins() const { return m_skins; }
    int chosenSkin() const { return m_chosen; } // -1: none
    void ChooseSkin(int index);
    const Skin* ChosenSkin() const;

    // The texture surface `index` wears with the chosen skin.
    SurfaceTexture TextureOfSurface(int index);
    // The same by name only, without looking for its file.
    std::string WornTextureName(int index) const;
    // Its picture, decoded once while it stays in the cache; null (and the
    // reason, a sentence) when there is none. The picture lives as long as
    // it is held.
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

    // Who wears the textures among the model's player: the model and the
    // other parts beside it, read once and kept, through every skin. Null
    // while the game's shader scripts are still being read (a scan then
    // would wait for them).
    std::shared_ptr<const WearerScan> PlayerWearers();
    // The model and its siblings as scans take them (the model first).
    const std::vector<WearingModel>& PlayerModels();
    // The same over every model of the game, the player's given as read.
    // The scan runs on a pool thread, started by the first ask; null until
    // it is done. `GameScanned` is called on that thread when one ends.
    std::shared_ptr<const WearerScan> GameWearers();
    void SetGameScanned(std::function<void()> scanned) { m_gameScanned = std::move(scanned); }
    // The texture file the surface wears through the chosen skin, among a
    // scan's; null when it wears none there.
    const WornFile* WornFileOf(const WearerScan& scan, int index);
    // The surfaces of a texture's wearers, gathered once: the models read
    // again for it are kept until another texture is gathered.
    const WornTemplate& Gathered(const std::shared_ptr<const WearerScan>& scan,
                                 const WornFile& texture);

  private:
    void Start(std::shared_ptr<const Model> model, std::shared_ptr<const GameFiles> files,
               const std::string& modelGamePath, std::shared_ptr<TextureCache> cache);
    std::shared_ptr<const Model> m_model;
    // Models replaced by another set of texture coordinates: a drawing in
    // flight may still read their surfaces.
    std::vector<std::shared_ptr<const Model>> m_retired;
    std::shared_ptr<const GameFiles> m_files;
    std::string m_gamePath;
    std::shared_ptr<TextureCache> m_cache; // the window's one cache
    std::shared_ptr<GameTextureSource> m_source;
    bool m_scriptsInBackground = false, m_waitedForScripts = false;
    std::vector<Skin> m_skins;
    int m_chosen = -1;

    // The player's models and their scan; the game's scan in the background.
    bool m_playerRead = false;
    std::vector<WearingModel> m_player;
    std::shared_ptr<WearerScan> m_playerScan;
    struct GameScanJob {
        std::mutex mutex;
        std::shared_ptr<WearerScan> scan;
        std::function<void()> scanned; // cleared when the model goes
    };
    std::shared_ptr<GameScanJob> m_gameJob;
    std::function<void()> m_gameScanned;
    void StopGameScan();
    // The model in use in each scan (another set of texture coordinates).
    void RefreshOwnModel();
    std::shared_ptr<const WearerScan> m_gatheredScan;
    std::string m_gatheredKey;
    WornTemplate m_gathered;
};
