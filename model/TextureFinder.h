#pragma once
// Which image file a texture name means, found as the games find it: from the
// game folder (the folder that holds the model's models/ folder), the name as
// given, then with .tga, .jpg, .jpeg and .png in place of its extension. '\'
// counts as '/'. Names come from downloaded files: nothing outside the game
// folder is ever read, through ".." or through a link.
#include "model/Error.h"
#include "model/SkinFile.h"

#include <string>

struct SurfaceTexture {
    std::string name;    // the texture name the surface wears (may be empty)
    std::string origin;  // "skin:upper_default.skin" or "model"
    std::string file;    // the image found; empty when none was
    std::string problem; // why none was found, in plain words
};

// The game folder of a model: the parent of the nearest folder above it named
// "models" (in any letter case); a model outside any such folder is its own
// game, in its own folder. Absolute.
std::string GameFolderOf(const std::string& modelPath);

// True when path lies inside folder once every link is followed.
bool IsInsideFolder(const std::string& folder, const std::string& path);

// The texture a surface wears, by name only (no file looked up): the skin's
// entry when a skin is given and names the surface, else the surface's own
// shader name.
SurfaceTexture WornTexture(const std::string& surfaceName, const std::string& shaderName,
                           const Skin* skin);

// The same, with the image file looked up.
SurfaceTexture FindSurfaceTexture(const std::string& modelPath, const std::string& surfaceName,
                                  const std::string& shaderName, const Skin* skin);

// The image file for a texture name, or why there is none (the error's
// reason, no file named).
Result<std::string> FindTextureFile(const std::string& modelPath, const std::string& textureName);
