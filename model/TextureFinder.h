#pragma once
// The texture a surface wears, and the game folder a model belongs to. The
// image files are looked up in the model's game (game/ModelGame.h): nothing
// outside the game folder is ever read, through ".." or through a link.
#include "model/Error.h"
#include "model/Model.h"
#include "model/SkinFile.h"

#include <string>

struct SurfaceTexture {
    std::string name;     // the texture name the surface wears (may be empty)
    std::string origin;   // "skin:upper_default.skin" or "model"
    std::string file;     // the image found; empty when none was
    std::string gamePath; // the image's path in its game, when it was found there
    std::string problem;  // why none was found, in plain words
};

// The game folder of a model: the parent of the nearest folder above it named
// "models" or "progs" (in any letter case); a model outside any such folder is its own
// game, in its own folder. Absolute.
std::string GameFolderOf(const std::string& modelPath);

// True when path lies inside folder once every link is followed.
bool IsInsideFolder(const std::string& folder, const std::string& path);

// The texture a surface wears, by name only (no file looked up): the skin's
// entry when a skin is given and names the surface, else the surface's own
// shader name.
SurfaceTexture WornTexture(const std::string& surfaceName, const std::string& shaderName,
                           const Skin* skin);
// The same for a surface, whose material may name its picture itself (OBJ,
// glTF: origin "material"); a skin's entry still comes first.
SurfaceTexture WornTexture(const Surface& surface, const Skin* skin);
