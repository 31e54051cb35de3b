#pragma once
// Pictures held as 8-bit indices into a game's palette (the skins inside MDL
// models), painted to RGBA with the game's gfx/palette.lmp or with the
// palette Gridwright ships.
#include "image/TextureImage.h"
#include "model/Model.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The skin in the palette's colours, every pixel opaque: the game uploads
// model skins without alpha, so index 255 shows its colour there too. An
// empty picture when the skin's size and indices disagree (no skin read
// from a file does) or it is larger than a texture may be.
TextureImage PaintIndexed(const EmbeddedSkin& skin,
                          std::span<const uint8_t, kPaletteBytes> palette);

// The palette in a game's gfx/palette.lmp: exactly 768 bytes. None for any
// other size, with the reason in `reason` when it is given.
std::optional<std::array<uint8_t, kPaletteBytes>> ReadPalette(std::span<const uint8_t> bytes,
                                                              std::string* reason = nullptr);

// The palette shipped with Gridwright (res/palette/palette.lmp), for models
// opened outside any game.
const std::array<uint8_t, kPaletteBytes>& ShippedPalette();
