#pragma once
// A small game folder for the texture tests, written from scratch: a player
// model beside two .skin files, textures as TGA (bottom-up, top-down and
// run-length), JPEG and PNG, one missing and one broken.
//   <root>/models/players/bot/upper.md3, upper_default.skin, upper_red.skin
//   <root>/models/players/bot/*.tga|jpg|png
#include <cstdint>
#include <string>

// Each texture is a single colour, with its top-left pixel different, so that
// both its colour and its row order can be checked.
struct TestTexture {
    const char* file; // under models/players/bot
    uint8_t r, g, b;
    int width, height;
};

inline constexpr uint8_t kCornerR = 255, kCornerG = 255, kCornerB = 0; // the top-left pixel

// Writes the folder; returns the model's path.
std::string WriteTestGame(const std::string& root);

#include <utility>
#include <vector>
// An id .pak of these files, laid one after another as the pak tools lay
// them: header, data, then the 64-byte directory entries.
std::string PakBytes(const std::vector<std::pair<std::string, std::string>>& files);
