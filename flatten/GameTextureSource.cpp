#include "flatten/GameTextureSource.h"

#include "image/IndexedSkin.h"
#include "model/NativeFile.h"
#include "model/WrittenPath.h"

#include <filesystem>

#include <optional>

namespace {

// The model's path in its game: the entry of "ARCHIVE:PATH", else the game
// path it was opened by.
std::string ModelGamePath(const std::string& modelPath) {
    std::string archive, entry;
    if (SplitArchivePath(modelPath, archive, entry))
        return entry;
    return modelPath;
}

} // namespace

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
        t.gamePath = file->gamePath;
        if (file->inArchive) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_found.emplace(file->origin, *file);
        }
    }
    return t;
}

SurfaceTexture GameTextureSource::Held(const Model& model, const EmbeddedSkin& held,
                                       SurfaceTexture worn) {
    worn.file = model.path + "#" + held.name;
    worn.problem.clear();
    bool changed = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        auto [at, added] = m_embedded.emplace(worn.file, held);
        // The model was read anew with other pixels: its old picture goes.
        changed = !added && (at->second.indices != held.indices ||
                             at->second.encoded != held.encoded || at->second.width != held.width);
        if (changed)
            at->second = held;
    }
    if (changed)
        m_cache->Forget(worn.file);
    return worn;
}

SurfaceTexture GameTextureSource::Named(const Model& model, SurfaceTexture worn) {
    const std::string written = worn.name;
    worn.origin = "material";
    std::error_code error;
    const bool onDisk = std::filesystem::is_regular_file(native::PathOf(model.path), error);
    // Beside a model file on disk, where the material's own folder is, even
    // above the model's; in a game, beside its game path and never above the game.
    std::vector<std::string> tries;
    if (!IsAbsoluteWritten(written))
        tries.push_back(JoinWritten(onDisk ? model.path : ModelGamePath(model.path), written));
    tries.push_back(JoinWritten(onDisk ? model.path : ModelGamePath(model.path),
                                WrittenFileName(NormalWritten(written))));
    for (const std::string& at : tries) {
        if (at.empty())
            continue;
        if (onDisk) {
            if (std::filesystem::is_regular_file(native::PathOf(at), error)) {
                worn.file = at;
                worn.problem.clear();
                return worn;
            }
            continue;
        }
        if (at.rfind("../", 0) == 0 || at == "..")
            continue;
        if (const std::unique_ptr<GameFile> file = m_files->Find(at)) {
            worn.file = file->origin;
            worn.gamePath = file->gamePath;
            worn.problem.clear();
            if (file->inArchive) {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_found.emplace(file->origin, *file);
            }
            return worn;
        }
    }
    // Last, the game's own lookup of the name (another extension, a game path).
    SurfaceTexture byName = worn;
    byName.name = NormalWritten(written);
    byName = LocateName(byName);
    if (!byName.file.empty()) {
        byName.name = written;
        byName.origin = worn.origin;
        return byName;
    }
    worn.problem = "the picture \"" + written + "\" its material names is not " +
                   (IsAbsoluteWritten(written) ? "beside the model (the material names it by a "
                                                 "path on the machine it was made on)"
                                               : "where the material says, nor beside the model");
    return worn;
}

SurfaceTexture GameTextureSource::Locate(const Model& model, const Surface& surface,
                                         const Skin* skin) {
    SurfaceTexture worn = WornTexture(surface, skin);
    // A skin the model holds is worn by its name ("skin 0", "image 1"), before any file.
    for (const EmbeddedSkin& held : model.skins)
        if (held.name == worn.name)
            return Held(model, held, worn);
    if (worn.origin == "material")
        return Named(model, worn);
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
    if (held && !held->encoded.empty()) {
        const Status decoded = DecodeTexture(held->encoded.data(), held->encoded.size(), image);
        if (!decoded.ok())
            return Error{"Cannot read the picture the model holds", file, decoded.error().reason};
        return decoded;
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
