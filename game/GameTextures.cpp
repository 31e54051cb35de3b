#include "game/GameTextures.h"

#include "model/Model.h"

#include <algorithm>
#include <new>

GameTextures::~GameTextures() {
    m_stop = true;
    std::thread reader;
    {
        const std::lock_guard<std::mutex> lock(m_readerMutex);
        reader = std::move(m_reader);
    }
    if (reader.joinable()) // outside the lock, which the reader takes to finish
        reader.join();
}

std::unique_ptr<GameFile> GameTextures::FindImage(const std::string& name) const {
    if (std::unique_ptr<GameFile> given = m_files.Find(name))
        return given;
    std::string stem = name;
    const auto slash = stem.find_last_of("/\\"), dot = stem.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        stem.erase(dot);
    for (const char* extension : {".tga", ".jpg", ".jpeg", ".png"})
        if (std::unique_ptr<GameFile> found = m_files.Find(stem + extension))
            return found;
    return nullptr;
}

void GameTextures::ReadScripts() const {
    std::call_once(m_scriptsRead, [this] {
        ReadScriptsOnce();
        const std::lock_guard<std::mutex> lock(m_readerMutex);
        m_ready = true;
        m_readDone.notify_all();
    });
}

bool GameTextures::WaitForScripts(std::chrono::milliseconds wait) const {
    std::unique_lock<std::mutex> lock(m_readerMutex);
    return m_readDone.wait_for(lock, wait, [this] { return m_ready.load(); });
}

void GameTextures::ReadScriptsInBackground(std::function<void()> done) const {
    const std::lock_guard<std::mutex> lock(m_readerMutex);
    if (m_reader.joinable())
        return;
    m_reader = std::thread([this, done = std::move(done)] {
        ReadScripts();
        if (done)
            done();
    });
}

void GameTextures::ReadScriptsOnce() const {
    // In the order of their names; a shader defined twice keeps its first
    // definition. The game's scripts are read within one budget: so many
    // files, so many bytes in all.
    size_t read = 0;
    int64_t bytesLeft = kMaxShaderScriptsBytes;
    const std::string tooLarge = "it is larger than " + std::to_string(m_limits.bytes / 1024) +
                                 " KB, which no shader script is";
    for (const GameFile& file : m_files.List("scripts/")) {
        if (m_stop)
            return;
        if (LowerCase(file.gamePath).size() < 7 ||
            LowerCase(file.gamePath).compare(file.gamePath.size() - 7, 7, ".shader") != 0)
            continue;
        if (read == kMaxShaderScripts || bytesLeft <= 0) {
            m_problems.push_back("the game holds more shader scripts than Gridwright reads (" +
                                 std::to_string(kMaxShaderScripts) + " files, " +
                                 std::to_string(kMaxShaderScriptsBytes >> 20) + " MB in all); \"" +
                                 file.origin +
                                 "\" and those after it were "
                                 "left out");
            return;
        }
        ++read;
        try {
            const Result<SourceBytes> bytes = m_files.Read(file, int64_t(m_limits.bytes), tooLarge);
            if (!bytes.ok()) {
                m_problems.push_back(bytes.error().Message());
                continue;
            }
            const Bytes& text = *bytes.value().bytes;
            bytesLeft -= int64_t(text.size());
            std::string problem;
            ParseShaderScript(
                std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                file.gamePath, m_shaders, problem, m_limits);
            if (!problem.empty())
                m_problems.push_back("the shader script " + problem + "; it was left out");
        } catch (const std::bad_alloc&) {
            m_problems.push_back("the shader script " + file.gamePath +
                                 ": there is not enough memory to read it; it was left out");
        }
    }
}

std::vector<std::string> GameTextures::problems() const {
    ReadScripts();
    return m_problems;
}

std::unique_ptr<GameFile> GameTextures::Find(const std::string& name, std::string& script,
                                             std::string& problem) const {
    script.clear();
    problem.clear();
    if (name.empty()) {
        problem = "the surface names no texture";
        return nullptr;
    }
    if (!IsGamePath(name)) {
        problem = "\"" + name + "\" is not a texture name";
        return nullptr;
    }
    // The engine looks a name up in the shader scripts before it looks for
    // an image of that name.
    ReadScripts();
    std::string key = GamePathKey(name);
    const auto slash = key.rfind('/'), dot = key.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        key.erase(dot);
    const auto shader = m_shaders.find(key);
    if (shader != m_shaders.end()) {
        script = shader->second.script;
        if (std::unique_ptr<GameFile> image = FindImage(shader->second.image))
            return image;
        problem = "the shader \"" + name + "\" (" + shader->second.script + ") names the image \"" +
                  shader->second.image + "\", which the game does not hold";
        return nullptr;
    }
    if (std::unique_ptr<GameFile> image = FindImage(name))
        return image;
    problem = "no image \"" + name +
              "\" (.tga, .jpg, .jpeg or .png) and no shader of that name "
              "in the game";
    return nullptr;
}

std::vector<Skin> GameSkins(const GameFiles& files, const std::string& modelGamePath) {
    const std::string key = GamePathKey(modelGamePath);
    const auto slash = key.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : key.substr(0, slash + 1);
    std::string stem = key.substr(folder.size());
    if (const auto dot = stem.rfind('.'); dot != std::string::npos)
        stem.erase(dot);
    const std::string prefix = folder + stem + "_";
    const std::string tooLarge =
        "it is larger than " + std::to_string(kMaxSkinBytes / 1024) + " KB, which no skin file is";
    std::vector<Skin> skins;
    for (const GameFile& file : files.List(folder)) {
        const std::string& path = file.gamePath;
        if (path.size() <= prefix.size() + 5 || path.rfind(prefix, 0) != 0 ||
            path.compare(path.size() - 5, 5, ".skin") != 0 ||
            path.find('/', prefix.size()) != std::string::npos)
            continue;
        if (skins.size() == kMaxSkins)
            break;
        Skin skin{path.substr(prefix.size(), path.size() - prefix.size() - 5), file.origin, {}, {}};
        // Inflated no further than a skin may be long.
        const Result<SourceBytes> read = files.Read(file, kMaxSkinBytes, tooLarge);
        if (!read.ok())
            skin.problem = read.error().reason;
        else
            skin.entries =
                ParseSkin(std::string(reinterpret_cast<const char*>(read.value().bytes->data()),
                                      read.value().bytes->size()));
        skins.push_back(std::move(skin));
    }
    std::sort(skins.begin(), skins.end(), [](const Skin& a, const Skin& b) {
        if ((a.name == "default") != (b.name == "default"))
            return a.name == "default";
        return a.name < b.name;
    });
    return skins;
}
