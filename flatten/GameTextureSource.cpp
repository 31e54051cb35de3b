#include "flatten/GameTextureSource.h"

#include <optional>

SurfaceTexture GameTextureSource::Locate(const Model&, const Surface& surface, const Skin* skin) {
    SurfaceTexture t = WornTexture(surface.name, surface.shaderName, skin);
    std::string script;
    if (const std::unique_ptr<GameFile> file = m_textures.Find(t.name, script, t.problem)) {
        t.file = file->origin;
        if (!script.empty())
            t.origin = "shader:" + script;
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_found.emplace(file->origin, *file);
    }
    return t;
}

Status DecodeGameTexture(const GameFiles* files, const GameFile* found, const std::string& file,
                         TextureImage& image) {
    if (!files || !found || !found->inArchive)
        return LoadTexture(file, image);
    const Result<SourceBytes> read = files->Read(*found);
    if (!read.ok())
        return read.error();
    const Bytes& bytes = *read.value().bytes;
    const Status decoded = DecodeTexture(bytes.data(), bytes.size(), image);
    if (!decoded.ok())
        return Error{"Cannot read the texture", file, decoded.error().reason};
    return decoded;
}

Status GameTextureSource::Decode(const std::string& file, TextureImage& image) {
    std::optional<GameFile> found;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (const auto at = m_found.find(file); at != m_found.end())
            found = at->second;
    }
    return DecodeGameTexture(&m_files, found ? &*found : nullptr, file, image);
}

std::shared_ptr<const TextureImage> GameTextureSource::Picture(const std::string& file,
                                                               std::string& problem) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (const auto known = m_entries.find(file); known != m_entries.end()) {
            problem = known->second.problem;
            return known->second.image;
        }
    }
    // Decoded outside the lock; two threads may decode one file once each.
    auto image = std::make_shared<TextureImage>();
    Entry entry;
    if (const Status decoded = Decode(file, *image); decoded.ok()) {
        entry.image = std::move(image);
    } else {
        entry.problem = decoded.error().Message();
        entry.problem.pop_back(); // its final stop: the caller ends the sentence
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    const Entry& kept = m_entries.emplace(file, std::move(entry)).first->second;
    problem = kept.problem;
    return kept.image;
}
