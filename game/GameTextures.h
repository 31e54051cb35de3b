#pragma once
// Which image a texture name means in a game, as the engine finds it: a
// shader of that name (its extension dropped) defined in the game's shader
// scripts comes first, and its image is its first drawing stage's; then a
// material of that name in its material files (materials/*.mtr), and its
// image is its diffuse map; else the name as given, then with .tga, .jpg,
// .jpeg, .png and .pcx for its extension. A name ending in .pcx or .wal is a
// Quake II picture's: its stand-ins are looked for with .tga, .png and .jpg.
#include "game/GameFiles.h"
#include "game/ShaderScripts.h"
#include "model/Model.h"
#include "model/SkinFile.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The shader scripts and material files of one game read at most: how many,
// and their text in all.
inline constexpr size_t kMaxShaderScripts = 1024;
inline constexpr int64_t kMaxShaderScriptsBytes = int64_t(32) << 20;

class GameTextures {
  public:
    explicit GameTextures(const GameFiles& files) : m_files(files) {}
    // Waits for the scripts being read in the background, which stop early.
    ~GameTextures();
    GameTextures(const GameTextures&) = delete;
    GameTextures& operator=(const GameTextures&) = delete;

    // The image file, or null and why not. `script` names the shader script
    // that defines the name, when one does (also when its image is missing).
    // Reads the shader scripts first, if no one has.
    std::unique_ptr<GameFile> Find(const std::string& name, std::string& script,
                                   std::string& problem) const;
    // Shader scripts and material files that could not be read or parsed, in
    // plain words.
    std::vector<std::string> problems() const;

    // Starts reading the shader scripts on a thread of their own, so that a
    // window stays responsive; `done` is then called on that thread. Once only.
    void ReadScriptsInBackground(std::function<void()> done = {}) const;
    // True once the scripts are read (Find then answers without waiting).
    bool ScriptsRead() const { return m_ready.load(); }
    // Waits at most `wait` for them; true once they are read.
    bool WaitForScripts(std::chrono::milliseconds wait) const;
    // The limits each script is read and parsed with.
    void SetScriptLimits(const ShaderScriptLimits& limits) { m_limits = limits; }

  private:
    std::unique_ptr<GameFile> FindImage(const std::string& name) const;
    std::unique_ptr<GameFile> FindMaterialImage(const std::string& name) const;
    void ReadScripts() const;
    void ReadScriptsOnce() const;
    // Reads the files of one kind under `folder` within the game's budget;
    // false once the budget is spent.
    bool ReadDefinitions(const std::string& folder, bool materials, size_t& read,
                         int64_t& bytesLeft) const;
    const GameFiles& m_files;
    ShaderScriptLimits m_limits;
    mutable std::once_flag m_scriptsRead; // read on first need, by one thread
    mutable std::atomic<bool> m_ready{false}, m_stop{false};
    mutable std::thread m_reader;
    mutable std::mutex m_readerMutex;
    mutable std::condition_variable m_readDone; // with m_readerMutex
    mutable std::map<std::string, ShaderImage> m_shaders, m_materials;
    mutable std::vector<std::string> m_problems;
};

// The skins a model names in its own header (MD2), then those it holds (MDL,
// named as the model names them: "skin 0"), as skin choices: each dresses
// every surface in its one picture. Named by the picture's file name
// without its extension ("models/x/grunt.pcx" -> "grunt"), a name given twice
// followed by its place ("grunt_1"); one that is not a game path says so.
std::vector<Skin> HeaderSkins(const Model& model);

// The .skin files beside a model in the game, read and parsed: Quake III's
// "models/x/upper.md3" -> "models/x/upper_<name>.skin", and DarkPlaces'
// numbered "models/x/upper.md3_<n>.skin" (for any model file: "tris.md2_0",
// "body.iqm_1"; named "0", "1" ...), any case. "default" first, then numbers
// in number order, then names. One that cannot be read is listed with its
// problem; a numbered one past a gap in the numbers, which the engine stops
// at, too. Each is inflated no further than a skin may be long. Then, when a
// model is given, its header skins (HeaderSkins), renamed where a .skin file
// took the name.
std::vector<Skin> GameSkins(const GameFiles& files, const std::string& modelGamePath,
                            const Model* model = nullptr);

// The palette of a Quake game's MDL skins and other 8-bit pictures: the 768
// bytes (256 colours, red, green and blue) of its gfx/palette.lmp, or why
// there is none ("the game has no gfx/palette.lmp; ...").
Result<std::array<uint8_t, kPaletteBytes>> GamePalette(const GameFiles& files);
