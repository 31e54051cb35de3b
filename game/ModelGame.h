#pragma once
// A model and the game it is found in. Every model, player part, skin,
// shader script and texture is looked up through one GameFiles: a game's
// folders and paks, or, for a model file named by itself, the game of its
// own folder (the folder above its models/ folder, as GameFolderOf says,
// with that folder's paks). Nothing outside a game folder is read, through
// ".." or through a link.
#include "game/GameFiles.h"
#include "model/Model.h"
#include "model/SkinFile.h"
#include "model/TextureFinder.h"

#include <array>
#include <memory>
#include <string>

// The game of a model file on disk named by itself; `gamePath` is the
// model's path in it ("models/players/x/upper.md3").
std::shared_ptr<GameFiles> GameOfModelFile(const std::string& modelPath, std::string& gamePath);

// The three parts of a player, as the game names their files.
inline constexpr const char* kPlayerPartNames[3] = {"lower", "upper", "head"};
// Which part a model is by its name (lower 0, upper 1, head 2), or -1.
int PlayerPartOf(const std::string& path);

struct PlayerPart {
    std::shared_ptr<const Model> model; // null when the game has none that reads
    std::string gamePath;               // "models/players/x/lower.md3"
    std::string problem; // why a part that exists is not shown; empty when missing or read
};
// The player parts beside a model (its own slot left empty), found in its
// game: in a pak as well as in a folder. A part that exists but cannot be
// read, or is not a model, says why ("the legs (lower.md3) are not a model:
// ...").
std::array<PlayerPart, 3> FindPlayerParts(const GameFiles& files, const std::string& modelGamePath);

// Lookups for a model file by itself, in the game of its own folder. The
// skins are its .skin files, then, when the model is given, the skins its
// header names (GameSkins).
std::vector<Skin> FindSkins(const std::string& modelPath, const Model* model = nullptr);
// The texture a surface wears, its image looked up.
SurfaceTexture FindSurfaceTexture(const std::string& modelPath, const std::string& surfaceName,
                                  const std::string& shaderName, const Skin* skin);
// The image file a texture name means, or why there is none (the error's
// reason, naming the game's folder when nothing is found).
Result<std::string> FindTextureFile(const std::string& modelPath, const std::string& textureName);
