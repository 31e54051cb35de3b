#pragma once
// A picture in full colour brought down to a game's 256 colours, as the 8-bit
// skins of Quake's MDL and Quake II's PCX are stored: each pixel the nearest
// colour allowed by plain RGB distance (squared red, green and blue
// differences summed), a tie going to the lowest index. Floyd–Steinberg
// dithering on request, serpentine (rows alternate direction, so the error
// does not drift to one side).
#include "image/TextureImage.h"
#include "model/Model.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct ReduceOptions {
    // Which indices a pixel may take; every one unless told.
    std::array<bool, 256> allowed = AllIndices();
    bool dither = false;
    // A pixel under half opaque takes this index when it is 0 to 255 (Quake
    // II's 255 cuts holes in the skin); -1: alpha is ignored, the colour kept
    // (Quake draws its model skins opaque).
    int transparentIndex = -1;

    static std::array<bool, 256> AllIndices() {
        std::array<bool, 256> all{};
        all.fill(true);
        return all;
    }
};

struct ReducedPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> indices;
    int coloursUsed = 0;
    // Pixels whose nearest colour of the whole palette is not allowed (a
    // fullbright), so they took the nearest allowed one; counted on the
    // picture's own colours, before any dithering.
    int64_t tookNearestAllowed = 0;
    int64_t transparent = 0; // pixels given the transparent index
};

// The picture reduced; the reason when no index is allowed.
Result<ReducedPicture> ReduceToPalette(const TextureImage& picture,
                                       std::span<const uint8_t, kPaletteBytes> palette,
                                       const ReduceOptions& options);

// Quake's 32 fullbright colours, 224 to 255: they glow at full strength in
// the dark, so a painted skin keeps clear of them unless asked.
inline constexpr int kFirstQuakeFullbright = 224;

// The palette a file holds: a .lmp of exactly 768 bytes, or a 256-colour
// PCX (its 768 bytes after the 0x0C marker at its end). The error names the
// file and says what it should be.
Result<std::array<uint8_t, kPaletteBytes>> PaletteOfFile(const std::string& path,
                                                         std::span<const uint8_t> bytes);
