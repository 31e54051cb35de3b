#include "image/IndexedSkin.h"

#include <algorithm>

TextureImage PaintIndexed(const EmbeddedSkin& skin,
                          std::span<const uint8_t, kPaletteBytes> palette) {
    TextureImage image;
    if (skin.width <= 0 || skin.height <= 0 ||
        !TextureSizeProblem(uint64_t(skin.width), uint64_t(skin.height)).empty() ||
        skin.indices.size() != size_t(skin.width) * size_t(skin.height) ||
        !AllocateTexture(image, skin.width, skin.height))
        return {};
    uint8_t* out = image.rgba.data();
    for (const uint8_t index : skin.indices) {
        const uint8_t* colour = &palette[size_t(index) * 3];
        out[0] = colour[0];
        out[1] = colour[1];
        out[2] = colour[2];
        out[3] = 255;
        out += 4;
    }
    return image;
}

std::optional<std::array<uint8_t, kPaletteBytes>> ReadPalette(std::span<const uint8_t> bytes,
                                                              std::string* reason) {
    if (bytes.size() != kPaletteBytes) {
        if (reason)
            *reason = "it holds " + std::to_string(bytes.size()) +
                      " bytes; a palette is 768 bytes, 256 colours of red, green and blue";
        return std::nullopt;
    }
    std::array<uint8_t, kPaletteBytes> palette{};
    std::copy(bytes.begin(), bytes.end(), palette.begin());
    return palette;
}
