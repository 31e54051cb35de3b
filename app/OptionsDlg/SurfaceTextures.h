#pragma once
// The textures the loaded model's surfaces wear, for the window: the model's
// .skin files and the one chosen, each surface's texture as the game finds
// it, and the images decoded once and kept.
#include "model/SkinFile.h"
#include "model/TextureFinder.h"
#include "render/TextureImage.h"

#include <string>
#include <vector>

// Reads the skins beside g_modelPath and chooses "default" when there is one.
void ReloadSkins();
const std::vector<Skin>& ModelSkins();
int ChosenSkin(); // -1: none
void ChooseSkin(int index);

// The texture surface `index` wears with the chosen skin.
SurfaceTexture TextureOfSurface(int index);
// Its picture, decoded once; null (and the reason) when there is none.
const TextureImage* PictureOf(const SurfaceTexture& texture, std::string* problem = nullptr);
