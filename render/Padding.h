#pragma once
// Padding a painted texture: the colours of its islands carried out into the
// gutters, so that mipmaps and bilinear filtering never pull the background
// in at the seams; and the check that tells how far a texture is from that.
//
// The window and the command line call the same functions:
//   IslandMask(records, wrap, w, h)  which texels the faces sample
//   PadTexture(texture, mask, band)  the padded texture and its counts
//   CheckBleed(texture, mask, band)  counts per mip level and an overlay layer
// A mask is one byte per texel, row-major, top row first, non-zero inside the
// grown islands.
#include "image/TextureImage.h"
#include "model/Model.h"
#include "render/TemplateStyle.h"

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int kDefaultPadBand = 16;
// Wider than any texture's side: a band this wide reaches every texel.
inline constexpr int kMaxPadBand = 8192;
// Two colours are alike when no channel (RGBA, 0-255) differs by more.
inline constexpr int kBleedTolerance = 8;

// Every texel of a width x height grid whose square a placed triangle of the
// records touches (the layout in 0..1 over the grid, v down, copies where
// `wrap` repeats the texture), then grown by one texel to its 8 neighbours
// (across the edges when the texture repeats) for the texels bilinear
// filtering reads at the islands' edges.
std::vector<uint8_t> IslandMask(const std::vector<const Surface*>& records, WrapMode wrap,
                                int width, int height);

struct PadCounts {
    size_t kept = 0;     // texels inside the grown islands, unchanged
    size_t band = 0;     // texels within the band, given their nearest island texel
    size_t pushPull = 0; // the rest, filled from the average of what lies around
};

struct PaddedTexture {
    TextureImage image; // the texture's size; note empty
    PadCounts counts;
};

// The texture with every texel inside the mask kept byte for byte; each one
// outside within `band` texels (Euclidean) of the mask takes its nearest mask
// texel's RGBA (ties broken the same way on every run); the rest take the
// colour of a push-pull fill (a pyramid of averages of the known texels, read
// back up) and the alpha of their nearest mask texel. A band of 0 is push-pull
// alone. The mask must have one byte per texel; an empty mask (no island) or
// one of the wrong size leaves the texture as it is with every texel counted
// kept. Deterministic.
PaddedTexture PadTexture(const TextureImage& texture, const std::vector<uint8_t>& mask, int band);

// A 2x2 box filter: each side halved (rounded down, at least 1), each texel
// the average (rounded) of the up to four it covers.
TextureImage HalveTexture(const TextureImage& texture);

// For each texel of each mip level (0 the texture, each next one halved as
// HalveTexture halves), whether its footprint on the texture holds mask
// texels (bit 1) and texels outside (bit 2).
std::vector<std::vector<uint8_t>> MaskPyramid(const std::vector<uint8_t>& mask, int width,
                                              int height, int levels);

// The island border texels of a mip level: at level 0 the mask texels with
// one of their 8 neighbours outside; above, the texels whose footprint holds
// mask texels and texels outside it. Mean absolute channel difference
// (RGBA, 0-255) of `a` against `reference` over them; 0 when there are none.
double BorderError(const TextureImage& a, const TextureImage& reference,
                   const std::vector<uint8_t>& pyramidLevel, int level);

struct BleedLevel {
    int level = 0, width = 0, height = 0;
    size_t border = 0; // island border texels of the level (see BorderError)
    // Border texels whose painted margin is thinner than the band. Level 0:
    // those that are the nearest island texel of a texel within the band
    // unlike them (kBleedTolerance). Above: those where the mip of the
    // texture is unlike the mip of the texture padded ideally (PadTexture).
    size_t thin = 0;
    // Texels of the level whose footprint lies wholly outside the mask and
    // holds unsampled paint.
    size_t unsampled = 0;
};

struct BleedReport {
    std::vector<BleedLevel> levels; // from 0 up, to the 1x1 level or kMaxBleedLevels
    // Texels outside the mask that no face samples yet hold paint: unlike the
    // background (the colour most common outside the mask) and unlike the
    // ideal padding at that texel.
    size_t unsampled = 0;
    // The texture's size: kThinColour on the island texels of thin borders
    // (of any level), kUnsampledColour on unsampled paint, transparent
    // elsewhere.
    TextureImage layer;
};
inline constexpr int kMaxBleedLevels = 14;
inline constexpr uint8_t kThinColour[4] = {255, 0, 255, 255};
inline constexpr uint8_t kUnsampledColour[4] = {0, 255, 255, 255};

// An empty mask, or one not of the texture's size, gives a report of no level.
BleedReport CheckBleed(const TextureImage& texture, const std::vector<uint8_t>& mask, int band);

// The layer laid over the texture: opaque marks, the texture elsewhere.
TextureImage OverlayLayer(const TextureImage& texture, const TextureImage& layer);
