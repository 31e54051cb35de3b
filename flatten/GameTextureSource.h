#pragma once
// The one texture source: each surface's texture looked up through its
// game's files (paks, loose folders, shader scripts), and each picture
// decoded once into a TextureCache, read from its archive when it lies in
// one. The window, the command line, the batch and the workspace use it;
// several sources may share one cache (and so one budget). Thread-safe: a
// batch's threads share one.
#include "flatten/TemplateRequest.h"
#include "game/GameTextures.h"
#include "image/TextureCache.h"

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

class GameTextureSource : public TextureSource {
  public:
    // The game's files and textures stay the caller's; a null cache: one of
    // the source's own, of the usual budget.
    GameTextureSource(const GameFiles& files, const GameTextures& textures,
                      std::shared_ptr<TextureCache> cache = nullptr);
    // The source keeps the game's files (and reads its shader scripts).
    explicit GameTextureSource(std::shared_ptr<const GameFiles> files,
                               std::shared_ptr<TextureCache> cache = nullptr);

    SurfaceTexture Locate(const Model& model, const Surface& surface, const Skin* skin) override;
    // The texture a name means (no surface).
    SurfaceTexture LocateName(SurfaceTexture texture);
    // `file` is what Locate found: a file on disk or "ARCHIVE:PATH". The
    // problem has no final stop (the caller ends the sentence).
    std::shared_ptr<const TextureImage> Picture(const std::string& file,
                                                std::string& problem) override;
    // The same, at most maxSide pixels a side (scaled down to fit).
    std::shared_ptr<const TextureImage> Picture(const std::string& file, int maxSide,
                                                std::string& problem);
    // Only what the cache holds already; never decodes.
    std::shared_ptr<const TextureImage> Cached(const std::string& file, int maxSide = 0);
    // The file was saved anew: the next look decodes it again.
    void Forget(const std::string& file);

    // The colours of the pictures models hold: the game's gfx/palette.lmp,
    // else the one Gridwright ships; the problem says why the game's is not
    // used, empty when it is.
    const std::array<uint8_t, kPaletteBytes>& Palette();
    std::string PaletteProblem();

    const GameFiles& files() const { return *m_files; }
    const GameTextures& textures() const { return *m_textures; }
    const std::shared_ptr<TextureCache>& cache() const { return m_cache; }

  private:
    // A picture the model holds, worn under its name.
    SurfaceTexture Held(const Model& model, const EmbeddedSkin& held, SurfaceTexture worn);
    // The picture a surface's material names as a file (worn.name as written).
    SurfaceTexture Named(const Model& model, SurfaceTexture worn);
    Status Decode(const std::string& file, TextureImage& image);
    std::shared_ptr<const GameFiles> m_ownFiles;
    std::unique_ptr<GameTextures> m_ownTextures;
    const GameFiles* m_files;
    const GameTextures* m_textures;
    std::shared_ptr<TextureCache> m_cache;
    std::mutex m_mutex;
    std::map<std::string, GameFile> m_found;        // files found in archives, by origin
    std::map<std::string, EmbeddedSkin> m_embedded; // pictures models hold, by name
    std::optional<std::array<uint8_t, kPaletteBytes>> m_palette;
    std::string m_paletteProblem;
};
