#pragma once
// Which image a texture name means in a game, as the engine finds it: the
// name as given, then with .tga, .jpg, .jpeg and .png for its extension;
// else the name is a shader, and the image is its first drawing stage's
// (found the same way).
#include "game/GameFiles.h"
#include "game/ShaderScripts.h"
#include "model/SkinFile.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class GameTextures {
  public:
    explicit GameTextures(const GameFiles& files) : m_files(files) {}

    // The image file, or null and why not. `script` names the shader script
    // that led to it, when one did.
    std::unique_ptr<GameFile> Find(const std::string& name, std::string& script,
                                   std::string& problem) const;
    // Shader scripts that could not be read or parsed, in plain words.
    const std::vector<std::string>& problems() const;

  private:
    std::unique_ptr<GameFile> FindImage(const std::string& name) const;
    void ReadScripts() const;
    void ReadScriptsOnce() const;
    const GameFiles& m_files;
    mutable std::once_flag m_scriptsRead; // read on first need, by one thread
    mutable std::map<std::string, ShaderImage> m_shaders;
    mutable std::vector<std::string> m_problems;
};

// The .skin files beside a model in the game ("models/x/upper.md3" ->
// "models/x/upper_<name>.skin", any case), read and parsed, "default" first;
// one that cannot be read is listed with its problem.
std::vector<Skin> GameSkins(const GameFiles& files, const std::string& modelGamePath);
