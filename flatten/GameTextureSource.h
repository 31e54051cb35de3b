#pragma once
// Textures as a game holds them: each surface's texture looked up through the
// game's paks, loose folders and shader scripts, and each image decoded once
// (read from its archive when it lies in one). Thread-safe: a batch shares one.
#include "flatten/TemplateRequest.h"
#include "game/GameTextures.h"

#include <map>
#include <mutex>

// A texture's picture: read from its archive when `found` lies in one (and
// there are game files), else from disk at `file`. A picture that does not
// decode is refused naming `file`.
Status DecodeGameTexture(const GameFiles* files, const GameFile* found, const std::string& file,
                         TextureImage& image);

class GameTextureSource : public TextureSource {
  public:
    GameTextureSource(const GameFiles& files, const GameTextures& textures)
        : m_files(files), m_textures(textures) {}

    SurfaceTexture Locate(const Model& model, const Surface& surface, const Skin* skin) override;
    std::shared_ptr<const TextureImage> Picture(const std::string& file,
                                                std::string& problem) override;

  private:
    Status Decode(const std::string& file, TextureImage& image);
    const GameFiles& m_files;
    const GameTextures& m_textures;
    std::mutex m_mutex;
    std::map<std::string, GameFile> m_found; // by origin
    struct Entry {
        std::shared_ptr<const TextureImage> image;
        std::string problem;
    };
    std::map<std::string, Entry> m_entries;
};
