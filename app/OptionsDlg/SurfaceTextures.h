#pragma once
// The textures the loaded model's surfaces wear, for the window: the model's
// .skin files and the one chosen, each surface's texture as the game finds
// it, and the images decoded once and kept while they fit in the cache.
#include "image/TextureImage.h"
#include "model/SkinFile.h"
#include "model/TextureFinder.h"

#include <memory>
#include <string>
#include <vector>

// Decoded textures kept at once; the least recently used go first.
inline constexpr size_t kTextureCacheBytes = size_t(512) << 20;

// Reads the skins beside g_modelPath and chooses "default" when there is one.
void ReloadSkins();
const std::vector<Skin>& ModelSkins();
int ChosenSkin(); // -1: none
void ChooseSkin(int index);

// The texture surface `index` wears with the chosen skin.
SurfaceTexture TextureOfSurface(int index);
// The same by name only, without looking for its file.
std::string WornTextureName(int index);
// Its picture, decoded once while it stays in the cache; null (and the
// reason) when there is none. The picture lives as long as it is held.
std::shared_ptr<const TextureImage> PictureOf(const SurfaceTexture& texture,
                                              std::string* problem = nullptr);
// The bytes of decoded pictures the cache holds.
size_t CachedTextureBytes();
