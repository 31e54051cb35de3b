#pragma once
// A Quake MDL's skins written back: one picture replaced, or a skin added,
// every other byte of the model kept as it was.
#include "model/Error.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Where the skins lie in an MDL's bytes, found from its header with every
// offset checked against the bytes there.
struct MdlSkinPlaces {
    int32_t width = 0, height = 0;
    int32_t skinCount = 0;
    // Each picture's first pixel, numbered as the reader numbers them: a
    // group's pictures in a row ("skin 1, picture 2 of 4").
    std::vector<int64_t> pictureAt;
    int64_t skinsEnd = 0; // where the texture coordinates start
};
Result<MdlSkinPlaces> FindMdlSkins(const std::string& path, std::span<const uint8_t> bytes);

// The model with picture `index` (0 to pictureAt.size() - 1) made of
// `indices` (width * height bytes); the error names the file and the
// pictures there are.
Result<std::string> ReplaceMdlPicture(const std::string& path, std::span<const uint8_t> bytes,
                                      int index, std::span<const uint8_t> indices);

// Quake's OpenGL engine stops at a model of more skins than this.
inline constexpr int32_t kMaxQuakeSkins = 32;

// The model with one more single skin, after the last one; refused past
// kMaxQuakeSkins.
Result<std::string> AppendMdlSkin(const std::string& path, std::span<const uint8_t> bytes,
                                  std::span<const uint8_t> indices);
