#pragma once
// Which image a texture name means in a game, as the engine finds it: a
// shader of that name (its extension dropped) defined in the game's shader
// scripts comes first, and its image is its first drawing stage's; else the
// name as given, then with .tga, .jpg, .jpeg and .png for its extension.
#include "game/GameFiles.h"
#include "game/ShaderScripts.h"
#include "model/SkinFile.h"

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

// The shader scripts of one game read at most: how many, and their text in all.
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
    // Shader scripts that could not be read or parsed, in plain words.
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
    void ReadScripts() const;
    void ReadScriptsOnce() const;
    const GameFiles& m_files;
    ShaderScriptLimits m_limits;
    mutable std::once_flag m_scriptsRead; // read on first need, by one thread
    mutable std::atomic<bool> m_ready{false}, m_stop{false};
    mutable std::thread m_reader;
    mutable std::mutex m_readerMutex;
    mutable std::condition_variable m_readDone; // with m_readerMutex
    mutable std::map<std::string, ShaderImage> m_shaders;
    mutable std::vector<std::string> m_problems;
};

// The .skin files beside a model in the game ("models/x/upper.md3" ->
// "models/x/upper_<name>.skin", any case), read and parsed, "default" first;
// one that cannot be read is listed with its problem. Each is inflated no
// further than a skin may be long.
std::vector<Skin> GameSkins(const GameFiles& files, const std::string& modelGamePath);
