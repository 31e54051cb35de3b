#include "flatten/GameTextureSource.h"

#include "image/IndexedSkin.h"

#include <optional>

GameTextureSource::GameTextureSource(const GameFiles& files, const GameTextures& textures,
                                     std::shared_ptr<TextureCache> cache)
    : m_files(&files), m_textures(&textures),
      m_cache(cache ? std::move(cache) : std::make_shared<TextureCache>()) {}

GameTextureSource::GameTextureSource(std::shared_ptr<const GameFiles> files,
                                     std::shared_ptr<TextureCache> cache)
    : m_ownFiles(files ? std::move(files) : std::make_shared<const GameFiles>()),
      m_ownTextures(std::make_unique<GameTextures>(*m_ownFiles)), m_files(m_ownFiles.get()),
      m_textures(m_ownTextures.get()),
      m_cache(cache ? std::move(cache) : std::make_shared<TextureCache>()) {}

SurfaceTexture GameTextureSource::LocateName(SurfaceTexture t) {
    std::string script;
    const std::unique_ptr<GameFile> file = m_textures->Find(t.name, script, t.problem);
    if (!script.empty()) // also when the shader's image is missing
        t.origin = "shader:" + script;
    if (file) {
        t.file = file->origin;
        if (file->inArchive) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_found.emplace(file->origin, *file);
        }
    }
    return t;
}

SurfaceTexture GameTextureSource::Locate(const Model& model, const Surface& surface,
                                         const Skin* skin) {
    SurfaceTexture worn = WornTexture(surface.name, surface.shaderName, skin);
    // A skin the model holds is worn by its name ("skin 0"), before any file.
    for (const EmbeddedSkin& held : model.skins)
        if (held.name == worn.name) {
            worn.file = model.path + "#" + held.name;
            worn.problem.clear();
            bool changed = false;
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                auto [at, added] = m_embedded.emplace(worn.file, held);
                // The model was read anew with other pixels: its old picture goes.
                changed = !added &&
                          (at->second.indices != held.indices || at->second.width != held.width);
                if (changed)
                    at->second = held;
            }
            if (changed)
                m_cache->Forget(worn.file);
            return worn;
        }
    return LocateName(worn);
}

const std::array<uint8_t, kPaletteBytes>& GameTextureSource::Palette() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_palette) {
        const Result<std::array<uint8_t, kPaletteBytes>> found = GamePalette(*m_files);
        m_palette = found.ok() ? found.value() : ShippedPalette();
        m_paletteProblem = found.ok() ? "" : found.error().reason;
    }
    return *m_palette;
}

std::string GameTextureSource::PaletteProblem() {
    Palette();
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_paletteProblem;
}

Status GameTextureSource::Decode(const std::string& file, TextureImage& image) {
    std::optional<GameFile> found;
    std::optional<EmbeddedSkin> held;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (const auto at = m_found.find(file); at != m_found.end())
            found = at->second;
        if (const auto at = m_embedded.find(file); at != m_embedded.end())
            held = at->second;
    }
    if (held) {
        image = PaintIndexed(*held, Palette());
        if (image.rgba.empty())
            return Error{"Cannot paint the skin", file,
                         "its pixels do not fill its size, or it is larger than a texture may be"};
        return Success();
    }
    if (!found) // on disk, where the game's lookup found it
        return LoadTexture(file, image);
    const Result<SourceBytes> read = m_files->Read(*found);
    if (!read.ok())
        return read.error();
    const Bytes& bytes = *read.value().bytes;
    const Status decoded = DecodeTexture(bytes.data(), bytes.size(), image);
    if (!decoded.ok())
        return Error{"Cannot read the texture", file, decoded.error().reason};
    return decoded;
}

std::shared_ptr<const TextureImage> GameTextureSource::Picture(const std::string& file,
                                                               std::string& problem) {
    return Picture(file, 0, problem);
}

std::shared_ptr<const TextureImage> GameTextureSource::Picture(const std::string& file, int maxSide,
                                                               std::string& problem) {
    problem.clear();
    Error error;
    std::shared_ptr<const TextureImage> picture = m_cache->Get(
        file, maxSide, [&](TextureImage& image) { return Decode(file, image); }, error);
    if (!picture) {
        problem = error.Message();
        if (!problem.empty() && problem.back() == '.')
            problem.pop_back(); // its final stop: the caller ends the sentence
    }
    return picture;
}

std::shared_ptr<const TextureImage> GameTextureSource::Cached(const std::string& file,
                                                              int maxSide) {
    return m_cache->Peek(file, maxSide);
}

void GameTextureSource::Forget(const std::string& file) {
    m_cache->Forget(file);
}
