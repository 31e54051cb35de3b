#pragma once
// Which image file a texture name means, found as the games find it: from the
// game's base folder (the folder above the model that holds the name's first
// component), the name as given, then with .tga, .jpg, .jpeg and .png in
// place of its extension. '\' counts as '/'. Nothing outside the base folder
// is ever read.
#include "model/SkinFile.h"

#include <string>

struct SurfaceTexture {
    std::string name;    // the texture name the surface wears (may be empty)
    std::string origin;  // "skin:upper_default.skin" or "model"
    std::string file;    // the image found; empty when none was
    std::string problem; // why none was found, in plain words
};

// The texture of a surface: the skin's entry when a skin is given and names
// the surface, else the surface's own shader name.
SurfaceTexture FindSurfaceTexture(const std::string& modelPath, const std::string& surfaceName,
                                  const std::string& shaderName, const Skin* skin);

// The image file for a texture name, or empty (and a reason).
std::string FindTextureFile(const std::string& modelPath, const std::string& textureName,
                            std::string& problem);
