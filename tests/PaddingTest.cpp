// Padding a painted texture from its layout, measured on the texels written:
// generated layouts checked against brute force, and the real player's torso
// texture through its mip levels.
#include "render/Padding.h"
#include "flatten/GameTextureSource.h"
#include "flatten/PadLayout.h"
#include "game/GameTextures.h"
#include "game/OpenModel.h"
#include "image/TextureImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>

namespace fs = std::filesystem;

namespace {

Surface TriangleSurface(std::initializer_list<std::array<double, 2>> corners) {
    Surface s;
    s.name = "s";
    for (const auto& c : corners) {
        s.u.push_back(c[0]);
        s.v.push_back(c[1]);
    }
    for (int32_t i = 0; i + 2 < int32_t(s.u.size()); i += 3)
        s.triangles.push_back({i, i + 1, i + 2});
    return s;
}

// Islands in a gradient of colours and alphas, none of them the background.
const uint8_t kBackground[4] = {255, 0, 254, 255};

TextureImage Painted(const std::vector<uint8_t>& mask, int width, int height) {
    TextureImage t;
    t.width = width, t.height = height;
    t.rgba.resize(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &t.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            if (mask[size_t(y) * size_t(width) + size_t(x)]) {
                p[0] = uint8_t(x * 3), p[1] = uint8_t(y * 5), p[2] = uint8_t(x * y % 200);
                p[3] = uint8_t(100 + (x + y) % 150);
            } else {
                std::copy_n(kBackground, 4, p);
            }
        }
    return t;
}

const uint8_t* Texel(const TextureImage& t, size_t i) {
    return &t.rgba[i * 4];
}

bool Same(const uint8_t* a, const uint8_t* b) {
    return std::equal(a, a + 4, b);
}

struct Layout {
    std::vector<Surface> surfaces;
    std::vector<const Surface*> records;
};

Layout TwoIslands() {
    Layout l;
    l.surfaces.push_back(TriangleSurface({{0.1, 0.1}, {0.45, 0.15}, {0.2, 0.6}}));
    l.surfaces.push_back(TriangleSurface({{0.6, 0.5}, {0.9, 0.55}, {0.7, 0.9}}));
    for (const Surface& s : l.surfaces)
        l.records.push_back(&s);
    return l;
}

} // namespace

TEST(IslandMask, CoversEveryTouchedTexelAndStaysNearTheFaces) {
    const int w = 40, h = 30;
    const Surface s = TriangleSurface({{0.13, 0.21}, {0.71, 0.33}, {0.29, 0.87}});
    const std::vector<uint8_t> mask = IslandMask({&s}, WrapMode::Clip, w, h);
    ASSERT_EQ(mask.size(), size_t(w) * size_t(h));
    // Dense points inside the triangle: each one's texel is in the mask.
    for (int a = 0; a <= 200; ++a)
        for (int b = 0; a + b <= 200; ++b) {
            const double ka = a / 200.0, kb = b / 200.0, kc = 1 - ka - kb;
            const double u = ka * s.u[0] + kb * s.u[1] + kc * s.u[2];
            const double v = ka * s.v[0] + kb * s.v[1] + kc * s.v[2];
            const int x = std::min(w - 1, int(u * w)), y = std::min(h - 1, int(v * h));
            EXPECT_TRUE(mask[size_t(y) * size_t(w) + size_t(x)]) << x << "," << y;
        }
    // Nothing beyond one texel (the growth) from the triangle's box.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (mask[size_t(y) * size_t(w) + size_t(x)]) {
                EXPECT_GE(x + 1, int(0.13 * w) - 1);
                EXPECT_LE(x, int(0.71 * w) + 1);
                EXPECT_GE(y + 1, int(0.21 * h) - 1);
                EXPECT_LE(y, int(0.87 * h) + 1);
            }
}

TEST(IslandMask, RepeatWrapsAcrossTheEdges) {
    const int w = 32, h = 32;
    // Over the right edge: the game shows its far part at the left.
    const Surface s = TriangleSurface({{0.9, 0.4}, {1.2, 0.45}, {0.95, 0.6}});
    const std::vector<uint8_t> repeat = IslandMask({&s}, WrapMode::Repeat, w, h);
    const std::vector<uint8_t> clip = IslandMask({&s}, WrapMode::Clip, w, h);
    const size_t left = size_t(int(0.44 * h)) * size_t(w) + size_t(3); // u = 1.1 lands at x 3
    EXPECT_TRUE(repeat[left]);
    EXPECT_FALSE(clip[left]);
    EXPECT_TRUE(clip[size_t(int(0.44 * h)) * size_t(w) + size_t(30)]);
}

TEST(PadTexture, KeepsIslandsCarriesTheNearestColourAndLeavesNoBackground) {
    const int w = 64, h = 48, band = 5;
    const Layout layout = TwoIslands();
    const std::vector<uint8_t> mask = IslandMask(layout.records, WrapMode::Repeat, w, h);
    const TextureImage painted = Painted(mask, w, h);
    const PaddedTexture padded = PadTexture(painted, mask, band);
    ASSERT_EQ(padded.image.width, w);
    ASSERT_EQ(padded.image.height, h);
    ASSERT_EQ(padded.image.rgba.size(), painted.rgba.size());
    const size_t n = size_t(w) * size_t(h);
    size_t inMask = 0, inBand = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* out = Texel(padded.image, i);
        EXPECT_FALSE(Same(out, kBackground)) << "background left at " << i;
        if (mask[i]) {
            ++inMask;
            EXPECT_TRUE(Same(out, Texel(painted, i))) << i;
            continue;
        }
        // Brute force: the island texels nearest to this one.
        int64_t best = std::numeric_limits<int64_t>::max();
        const int x = int(i) % w, y = int(i) / w;
        for (size_t j = 0; j < n; ++j)
            if (mask[j]) {
                const int64_t dx = int(j) % w - x, dy = int(j) / w - y;
                best = std::min(best, dx * dx + dy * dy);
            }
        bool nearestColour = false, nearestAlpha = false;
        for (size_t j = 0; j < n; ++j) {
            const int64_t dx = int(j) % w - x, dy = int(j) / w - y;
            if (mask[j] && dx * dx + dy * dy == best) {
                nearestColour = nearestColour || Same(out, Texel(painted, j));
                nearestAlpha = nearestAlpha || out[3] == Texel(painted, j)[3];
            }
        }
        EXPECT_TRUE(nearestAlpha) << "alpha at " << x << "," << y;
        if (best <= int64_t(band) * band) {
            ++inBand;
            EXPECT_TRUE(nearestColour) << "band texel " << x << "," << y;
        }
    }
    EXPECT_EQ(padded.counts.kept, inMask);
    EXPECT_EQ(padded.counts.band, inBand);
    EXPECT_EQ(padded.counts.kept + padded.counts.band + padded.counts.pushPull, n);
    EXPECT_GT(padded.counts.pushPull, 0u);
    // Push-pull only: the islands still kept, still no background.
    const PaddedTexture filled = PadTexture(painted, mask, 0);
    EXPECT_EQ(filled.counts.band, 0u);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_FALSE(Same(Texel(filled.image, i), kBackground));
        if (mask[i]) {
            EXPECT_TRUE(Same(Texel(filled.image, i), Texel(painted, i)));
        }
    }
    // The same input, the same bytes.
    EXPECT_EQ(PadTexture(painted, mask, band).image.rgba, padded.image.rgba);
}

TEST(PadTexture, AMaskNotOfTheTextureLeavesItAsItIs) {
    const Layout layout = TwoIslands();
    const std::vector<uint8_t> mask = IslandMask(layout.records, WrapMode::Repeat, 16, 16);
    const TextureImage painted = Painted(mask, 16, 16);
    const std::vector<uint8_t> wrong(10, 1), none(mask.size(), 0);
    EXPECT_EQ(PadTexture(painted, wrong, 4).image.rgba, painted.rgba);
    EXPECT_EQ(PadTexture(painted, none, 4).image.rgba, painted.rgba);
    EXPECT_TRUE(CheckBleed(painted, wrong, 4).levels.empty());
}

TEST(CheckBleed, PaddedIsCleanGuttersAndStrayPaintAreFound) {
    const int w = 64, h = 64, band = 4;
    const Layout layout = TwoIslands();
    const std::vector<uint8_t> mask = IslandMask(layout.records, WrapMode::Repeat, w, h);
    const TextureImage painted = Painted(mask, w, h);
    const BleedReport raw = CheckBleed(painted, mask, band);
    ASSERT_EQ(raw.levels.size(), 7u); // 64 down to 1
    EXPECT_EQ(raw.levels.back().width, 1);
    EXPECT_GT(raw.levels[0].border, 0u);
    EXPECT_GT(raw.levels[0].thin, 0u);
    EXPECT_GT(raw.levels[1].thin, 0u);
    EXPECT_EQ(raw.unsampled, 0u); // the gutters are all background
    const TextureImage padded = PadTexture(painted, mask, band).image;
    const BleedReport clean = CheckBleed(padded, mask, band);
    for (const BleedLevel& l : clean.levels) {
        EXPECT_EQ(l.thin, 0u) << "level " << l.level;
        EXPECT_EQ(l.unsampled, 0u) << "level " << l.level;
    }
    // A stroke in the far corner of a padded texture: paint no face samples.
    TextureImage stray = padded;
    const size_t corner = size_t(62) * size_t(w) + 1;
    ASSERT_FALSE(mask[corner]);
    const uint8_t white[4] = {255, 255, 255, 255};
    std::copy_n(white, 4, &stray.rgba[corner * 4]);
    const BleedReport found = CheckBleed(stray, mask, band);
    EXPECT_EQ(found.unsampled, 1u);
    EXPECT_EQ(found.levels[0].unsampled, 1u);
    ASSERT_EQ(found.layer.rgba.size(), stray.rgba.size());
    EXPECT_TRUE(Same(&found.layer.rgba[corner * 4], kUnsampledColour));
    size_t marked = 0;
    for (size_t i = 3; i < found.layer.rgba.size(); i += 4)
        marked += found.layer.rgba[i] != 0;
    EXPECT_EQ(marked, 1u);
    // The unpadded texture's layer marks border texels of the islands only.
    for (size_t i = 0; i < mask.size(); ++i)
        if (Same(&raw.layer.rgba[i * 4], kThinColour)) {
            EXPECT_TRUE(mask[i]);
        }
}

// The player's torso texture with its gutters blacked out, then padded: how
// far its first mips stray from the original's at the island borders.
TEST(PadTexture, RealTorsoTextureBordersSurviveTheMips) {
    const fs::path folder = fs::path(GW_SOURCE_DIR) / "../shared/game/models/players/human_base";
    if (!fs::exists(folder / "base.png") || !fs::exists(folder / "upper.md3") ||
        !fs::exists(folder / "lower.md3"))
        GTEST_SKIP() << "the shared player is not here";
    TextureImage original;
    ASSERT_TRUE(LoadTexture((folder / "base.png").make_preferred().string(), original).ok());
    Result<OpenedModel> upper = OpenModel((folder / "upper.md3").make_preferred().string(), {});
    Result<OpenedModel> lower = OpenModel((folder / "lower.md3").make_preferred().string(), {});
    ASSERT_TRUE(upper.ok() && lower.ok());
    GameTextureSource source(upper.value().game.files);
    const std::vector<Skin> upperSkins =
        GameSkins(*upper.value().game.files, upper.value().game.gamePath, &upper.value().model);
    const std::vector<Skin> lowerSkins =
        GameSkins(*lower.value().game.files, lower.value().game.gamePath, &lower.value().model);
    auto named = [](const std::vector<Skin>& skins) -> const Skin* {
        for (const Skin& s : skins)
            if (s.name == "default")
                return &s;
        return nullptr;
    };
    const Result<PadLayout> layout = LayoutOfTexture(
        {{&upper.value().model, named(upperSkins)}, {&lower.value().model, named(lowerSkins)}},
        "models/players/human_base/base.tga", source);
    ASSERT_TRUE(layout.ok()) << layout.error().reason;
    EXPECT_EQ(layout.value().records.size(), 2u); // the torso and the legs
    const std::vector<uint8_t> mask = PadMask(layout.value(), original);
    TextureImage blacked = original;
    for (size_t i = 0; i < mask.size(); ++i)
        if (!mask[i])
            blacked.rgba[i * 4] = blacked.rgba[i * 4 + 1] = blacked.rgba[i * 4 + 2] = 0;
    const TextureImage nearest = PadTexture(blacked, mask, kDefaultPadBand).image;
    const TextureImage pushPull = PadTexture(blacked, mask, 0).image;
    const auto pyramid = MaskPyramid(mask, original.width, original.height, 4);
    ASSERT_EQ(pyramid.size(), 4u);
    TextureImage mips[4] = {original, blacked, nearest, pushPull};
    for (int level = 1; level <= 3; ++level) {
        for (TextureImage& m : mips)
            m = HalveTexture(m);
        const double none = BorderError(mips[1], mips[0], pyramid[size_t(level)], level);
        const double band = BorderError(mips[2], mips[0], pyramid[size_t(level)], level);
        const double filled = BorderError(mips[3], mips[0], pyramid[size_t(level)], level);
        std::printf("border error at mip %d: %.2f unpadded, %.2f nearest island, %.2f push-pull "
                    "only\n",
                    level, none, band, filled);
        // Measured 12.1 / 1.4 / 1.4 at mip 1 and 9.4 / 3.8 / 4.0 at mip 2. From
        // mip 3 on, the original's own gutters (dark a few texels out) enter
        // its mips, so padding moves further from it than the black does.
        if (level == 1) {
            EXPECT_GT(none, 6.0);
            EXPECT_LT(band, none / 5);
            EXPECT_LT(filled, none / 5);
        } else if (level == 2) {
            EXPECT_LT(band, none / 1.5);
            EXPECT_LT(filled, none / 1.5);
        }
    }
}
