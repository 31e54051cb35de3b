#include "game/GameTextures.h"

#include "model/Model.h"

#include <algorithm>
#include <new>
#include <set>
#include <span>
#include <sstream>

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

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The name without the extension of its file name, and that extension
// (lower case, with its dot; empty when none).
std::string StemOf(const std::string& name, std::string* extension = nullptr) {
    const auto slash = name.find_last_of("/\\"), dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        if (extension)
            extension->clear();
        return name;
    }
    if (extension)
        *extension = LowerCase(name.substr(dot));
    return name.substr(0, dot);
}

} // namespace

std::unique_ptr<GameFile> GameTextures::FindImage(const std::string& name) const {
    if (std::unique_ptr<GameFile> given = m_files.Find(name))
        return given;
    std::string extension;
    const std::string stem = StemOf(name, &extension);
    // Quake III (ioquake3's R_LoadImage, tr_image.c) tries its loaders in
    // their order of preference: tga, jpg, jpeg, png, pcx. A Quake II name
    // (.pcx, .wal) has its stand-ins looked for as Yamagi Quake II's
    // R_FindImage (gl1_image.c) does with retexturing on: tga, png, jpg;
    // Quake II's own GL_FindImage (ref_gl/gl_image.c) reads the name as given
    // only, which is tried first above.
    static const char* const kQuake3[] = {".tga", ".jpg", ".jpeg", ".png", ".pcx"};
    static const char* const kQuake2[] = {".tga", ".png", ".jpg"};
    const bool quake2 = extension == ".pcx" || extension == ".wal";
    for (const char* other :
         quake2 ? std::span<const char* const>(kQuake2) : std::span<const char* const>(kQuake3))
        if (std::unique_ptr<GameFile> found = m_files.Find(stem + other))
            return found;
    return nullptr;
}

std::unique_ptr<GameFile> GameTextures::FindMaterialImage(const std::string& name) const {
    // Doom 3's R_LoadImage (neo/renderer/Image_files.cpp) gives a name without
    // an extension .tga, and reads a .tga that is missing as .jpg; its forks
    // then try .png. Other extensions are read as given.
    std::string extension;
    const std::string stem = StemOf(name, &extension);
    if (!extension.empty() && extension != ".tga")
        return m_files.Find(name);
    for (const char* other : {".tga", ".jpg", ".png"})
        if (std::unique_ptr<GameFile> found = m_files.Find(stem + other))
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
    // Shader scripts, then material files, each in the order of their names;
    // a name defined twice keeps its first definition. The game's scripts and
    // material files are read within one budget: so many files, so many
    // bytes in all.
    size_t read = 0;
    int64_t bytesLeft = kMaxShaderScriptsBytes;
    if (ReadDefinitions("scripts/", false, read, bytesLeft))
        ReadDefinitions("materials/", true, read, bytesLeft);
}

bool GameTextures::ReadDefinitions(const std::string& folder, bool materials, size_t& read,
                                   int64_t& bytesLeft) const {
    const std::string extension = materials ? ".mtr" : ".shader";
    const std::string kind = materials ? "material file" : "shader script";
    const std::string tooLarge = "it is larger than " + std::to_string(m_limits.bytes / 1024) +
                                 " KB, which no " + kind + " is";
    for (const GameFile& file : m_files.List(folder)) {
        if (m_stop)
            return false;
        if (!EndsWith(LowerCase(file.gamePath), extension))
            continue;
        if (read == kMaxShaderScripts || bytesLeft <= 0) {
            m_problems.push_back(std::string("the game holds more shader scripts") +
                                 (materials ? " and material files" : "") +
                                 " than Gridwright reads (" + std::to_string(kMaxShaderScripts) +
                                 " files, " + std::to_string(kMaxShaderScriptsBytes >> 20) +
                                 " MB in all); \"" + file.origin +
                                 "\" and those after it were left out");
            return false;
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
            const std::string_view view(reinterpret_cast<const char*>(text.data()), text.size());
            std::string problem;
            if (materials)
                ParseMaterialFile(view, file.gamePath, m_materials, problem, m_limits);
            else
                ParseShaderScript(view, file.gamePath, m_shaders, problem, m_limits);
            if (!problem.empty())
                m_problems.push_back("the " + kind + " " + problem + "; it was left out");
        } catch (const std::bad_alloc&) {
            m_problems.push_back("the " + kind + " " + file.gamePath +
                                 ": there is not enough memory to read it; it was left out");
        }
    }
    return true;
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
    // Games of the Doom 3 kind define it in a material file instead.
    const auto material = m_materials.find(key);
    if (material != m_materials.end()) {
        script = material->second.script;
        if (std::unique_ptr<GameFile> image = FindMaterialImage(material->second.image))
            return image;
        problem = "the material \"" + name + "\" (" + material->second.script +
                  ") names the image \"" + material->second.image +
                  "\", which the game does not hold";
        return nullptr;
    }
    if (std::unique_ptr<GameFile> image = FindImage(name))
        return image;
    problem = "no image \"" + name +
              "\" (.tga, .jpg, .jpeg, .png or .pcx) and no shader or material of that name "
              "in the game";
    return nullptr;
}

namespace {

// A DarkPlaces skin file's "replace SURFACE TEXTURE" lines, as the
// "SURFACE,TEXTURE" lines ParseSkin reads (model_shared.c, Mod_LoadSkinFiles).
std::string WithReplaceLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::istringstream words(line.substr(0, line.find("//")));
        std::string command, surface, texture, more;
        if (words >> command >> surface >> texture && !(words >> more) &&
            LowerCase(command) == "replace")
            out += surface + "," + texture + "\n";
        else
            out += line + "\n";
    }
    return out;
}

// The number a DarkPlaces skin is named by ("12" of upper.md3_12.skin), or -1
// when the name is not one as the engine writes it (no sign, no leading zero).
int SkinNumber(const std::string& name) {
    if (name.empty() || name.size() > 6 ||
        name.find_first_not_of("0123456789") != std::string::npos ||
        (name.size() > 1 && name[0] == '0'))
        return -1;
    return std::stoi(name);
}

// "default" first, then numbered skins in number order, then the others by name.
bool SkinOrder(const Skin& a, const Skin& b) {
    if ((a.name == "default") != (b.name == "default"))
        return a.name == "default";
    const int na = SkinNumber(a.name), nb = SkinNumber(b.name);
    if ((na >= 0) != (nb >= 0))
        return na >= 0;
    if (na >= 0)
        return na < nb;
    return a.name < b.name;
}

} // namespace

std::vector<Skin> HeaderSkins(const Model& model) {
    std::vector<Skin> skins;
    for (size_t i = 0; i < model.skinNames.size() && skins.size() < kMaxSkins; ++i) {
        const std::string& picture = model.skinNames[i];
        if (picture.empty())
            continue;
        std::string base = LowerCase(StemOf(picture));
        if (const auto slash = base.find_last_of("/\\"); slash != std::string::npos)
            base.erase(0, slash + 1);
        // Shown in lists and messages: no byte that could act on a terminal.
        for (char& c : base)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                c = '?';
        Skin skin{base, picture, {}, {}};
        if (skin.name.empty() || std::any_of(skins.begin(), skins.end(),
                                             [&](const Skin& s) { return s.name == skin.name; }))
            skin.name = (base.empty() ? "skin" : base) + "_" + std::to_string(i);
        if (!IsGamePath(picture)) {
            skin.problem = "the model names the skin \"" + skin.name +
                           "\" by something that is not a game path";
        } else {
            for (const Surface& surface : model.surfaces)
                skin.entries.push_back({surface.name, picture});
        }
        skins.push_back(std::move(skin));
    }
    for (size_t i = 0; i < model.skins.size() && skins.size() < kMaxSkins; ++i) {
        // A picture file inside the model (glTF) is one material's, worn
        // where that material is: no skin of the whole model.
        if (!model.skins[i].encoded.empty())
            continue;
        Skin skin{model.skins[i].name, model.path, {}, {}};
        for (const Surface& surface : model.surfaces)
            skin.entries.push_back({surface.name, model.skins[i].name});
        skins.push_back(std::move(skin));
    }
    return skins;
}

std::vector<Skin> GameSkins(const GameFiles& files, const std::string& modelGamePath,
                            const Model* model) {
    const std::string key = GamePathKey(modelGamePath);
    const auto slash = key.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : key.substr(0, slash + 1);
    const std::string fileName = key.substr(folder.size());
    std::string stem = fileName;
    if (const auto dot = stem.rfind('.'); dot != std::string::npos)
        stem.erase(dot);
    // Quake III's "upper_red.skin"; DarkPlaces' "upper.md3_0.skin", which
    // starts with a different prefix (the model's whole file name).
    const std::string named = folder + stem + "_", numbered = folder + fileName + "_";
    const std::string tooLarge =
        "it is larger than " + std::to_string(kMaxSkinBytes / 1024) + " KB, which no skin file is";
    std::vector<Skin> skins;
    std::set<std::string> numberedFiles; // DarkPlaces' skins, by path
    for (const GameFile& file : files.List(folder)) {
        const std::string& path = file.gamePath;
        if (!EndsWith(path, ".skin") || path.find('/', folder.size()) != std::string::npos)
            continue;
        std::string name;
        bool dp = false;
        if (fileName != stem && path.size() > numbered.size() + 5 && path.rfind(numbered, 0) == 0) {
            name = path.substr(numbered.size(), path.size() - numbered.size() - 5);
            dp = SkinNumber(name) >= 0;
            if (!dp)
                continue;
        } else if (path.size() > named.size() + 5 && path.rfind(named, 0) == 0) {
            name = path.substr(named.size(), path.size() - named.size() - 5);
        } else {
            continue;
        }
        if (skins.size() == kMaxSkins)
            break;
        Skin skin{name, file.origin, {}, {}};
        if (dp)
            numberedFiles.insert(file.origin);
        // Inflated no further than a skin may be long.
        const Result<SourceBytes> read = files.Read(file, kMaxSkinBytes, tooLarge);
        if (!read.ok()) {
            skin.problem = read.error().reason;
        } else {
            const std::string text(reinterpret_cast<const char*>(read.value().bytes->data()),
                                   read.value().bytes->size());
            skin.entries = ParseSkin(dp ? WithReplaceLines(text) : text);
        }
        skins.push_back(std::move(skin));
    }
    std::sort(skins.begin(), skins.end(), SkinOrder);
    // DarkPlaces reads _0, _1, ... and stops at the first number missing.
    int expected = 0;
    for (Skin& skin : skins) {
        if (numberedFiles.count(skin.path) == 0)
            continue;
        if (SkinNumber(skin.name) == expected)
            ++expected;
        else if (skin.problem.empty())
            skin.problem = "the game reads " + fileName + "_0.skin, _1 and on up to the first " +
                           "number missing, and " + fileName + "_" + std::to_string(expected) +
                           ".skin is missing: this skin is never worn";
    }
    if (model) {
        for (Skin& skin : HeaderSkins(*model)) {
            if (skins.size() == kMaxSkins)
                break;
            if (std::any_of(skins.begin(), skins.end(),
                            [&](const Skin& s) { return s.name == skin.name; }))
                skin.name += "_" + std::to_string(skins.size());
            skins.push_back(std::move(skin));
        }
    }
    return skins;
}

Result<std::array<uint8_t, kPaletteBytes>> GamePalette(const GameFiles& files) {
    const std::string name = "gfx/palette.lmp";
    const std::unique_ptr<GameFile> file = files.Find(name);
    if (!file)
        return Error{"", name, "the game has no gfx/palette.lmp; the colours are Quake's own"};
    // A palette is small: read no more than a little past it.
    const Result<SourceBytes> read =
        files.Read(*file, 64 * 1024,
                   "it is far larger than the 768 bytes of a palette; the colours are Quake's own");
    if (!read.ok()) {
        const std::string& why = read.error().reason;
        return Error{"", file->origin,
                     why.find("Quake's own") != std::string::npos
                         ? why
                         : why + "; the colours are Quake's own"};
    }
    const Bytes& bytes = *read.value().bytes;
    if (bytes.size() != kPaletteBytes)
        return Error{"", file->origin,
                     "it holds " + std::to_string(bytes.size()) +
                         " bytes where a palette holds 768 (256 colours of 3 bytes); the "
                         "colours are Quake's own"};
    std::array<uint8_t, kPaletteBytes> palette{};
    std::copy(bytes.data(), bytes.data() + kPaletteBytes, palette.begin());
    return palette;
}
