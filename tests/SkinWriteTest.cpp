// Painted skins going back into models: an MDL's skin set or added from a
// picture and read back through our own MDL reader, Quake II's 8-bit PCX
// read back through our own PCX decoder, each against a nearest colour found
// here by brute force; and the refusals, which write nothing.
#include "cli/Commands.h"
#include "export/PcxWriter.h"
#include "image/IndexedSkin.h"
#include "image/PaletteReduce.h"
#include "image/TextureImage.h"
#include "model/MdlSkinWriter.h"
#include "model/ModelFormats.h"
#include "tests/CliRun.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const fs::path kModels = GW_MODEL_CORPUS;
using Palette = std::array<uint8_t, kPaletteBytes>;

void Put32(std::string& out, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        out += char(value >> (8 * k));
}
void PutF(std::string& out, float value) {
    uint32_t raw;
    std::memcpy(&raw, &value, 4);
    Put32(out, raw);
}

// An MDL of one triangle and one frame: skin 0 single, skin 1 a group of
// two pictures; every skin byte distinct from its neighbours' so that a
// write in the wrong place shows.
std::string SmallMdl(int width, int height) {
    std::string out = "IDPO";
    Put32(out, 6);
    for (float f : {1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 10.0f, 0.0f, 0.0f, 0.0f})
        PutF(out, f);
    for (uint32_t v : {2u, uint32_t(width), uint32_t(height), 3u, 1u, 1u, 0u, 0u})
        Put32(out, v);
    PutF(out, 1);
    const size_t picture = size_t(width) * size_t(height);
    auto pixels = [&](int seed) {
        for (size_t i = 0; i < picture; ++i)
            out += char((i * 7 + size_t(seed) * 31) % 251);
    };
    Put32(out, 0);
    pixels(1);
    Put32(out, 1);
    Put32(out, 2);
    PutF(out, 0.1f);
    PutF(out, 0.2f);
    pixels(2);
    pixels(3);
    for (int v = 0; v < 3; ++v) { // onseam, s, t
        Put32(out, 0);
        Put32(out, uint32_t(v));
        Put32(out, uint32_t(v));
    }
    for (uint32_t v : {1u, 0u, 1u, 2u})
        Put32(out, v);
    Put32(out, 0); // a single pose
    Put32(out, 0);
    Put32(out, 0xFFFFFFFF);
    out += std::string("pose\0\0\0\0\0\0\0\0\0\0\0\0", 16);
    for (int v = 0; v < 3; ++v)
        Put32(out, uint32_t(v * 20));
    return out;
}

// An uncompressed 32-bit TGA, top row first.
std::string Tga(const TextureImage& image) {
    std::string out(18, '\0');
    out[2] = 2;
    out[12] = char(image.width & 0xFF), out[13] = char(image.width >> 8);
    out[14] = char(image.height & 0xFF), out[15] = char(image.height >> 8);
    out[16] = 32;
    out[17] = 0x28; // 8 alpha bits, top-left origin
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        out += char(image.rgba[i + 2]);
        out += char(image.rgba[i + 1]);
        out += char(image.rgba[i]);
        out += char(image.rgba[i + 3]);
    }
    return out;
}

// Colours that wander over the whole cube, some of them exactly the
// palette's fullbrights.
TextureImage Scattered(int width, int height, const Palette& palette) {
    TextureImage image;
    image.width = width;
    image.height = height;
    uint32_t state = 12345;
    for (int i = 0; i < width * height; ++i) {
        state = state * 1664525u + 1013904223u;
        if (i % 17 == 0) {
            const size_t index = 224 + (state >> 24) % 32;
            image.rgba.insert(image.rgba.end(), {palette[index * 3], palette[index * 3 + 1],
                                                 palette[index * 3 + 2], 255});
        } else {
            image.rgba.insert(image.rgba.end(), {uint8_t(state >> 24), uint8_t(state >> 16),
                                                 uint8_t(state >> 8), 255});
        }
    }
    return image;
}

// A smooth sweep, where dithering has something to spread.
TextureImage Gradient(int width, int height) {
    TextureImage image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.rgba.insert(image.rgba.end(), {uint8_t(40 + x * 100 / width),
                                                 uint8_t(90 + y * 60 / height), uint8_t(130), 255});
    return image;
}

// Every colour measured, the first of the nearest kept.
uint8_t BruteNearest(const Palette& palette, const uint8_t* rgb, int below) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < below; ++i) {
        long d = 0;
        for (int k = 0; k < 3; ++k) {
            const long diff = long(palette[size_t(i) * 3 + size_t(k)]) - long(rgb[k]);
            d += diff * diff;
        }
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return uint8_t(best);
}

std::vector<uint8_t> BruteReduce(const TextureImage& image, const Palette& palette, int below) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < image.rgba.size(); i += 4)
        out.push_back(BruteNearest(palette, &image.rgba[i], below));
    return out;
}

std::array<double, 3> Mean(const std::vector<uint8_t>& indices, const Palette& palette) {
    std::array<double, 3> sum{};
    for (const uint8_t i : indices)
        for (size_t k = 0; k < 3; ++k)
            sum[k] += palette[size_t(i) * 3 + k];
    for (double& s : sum)
        s /= double(indices.size());
    return sum;
}

std::array<double, 3> Mean(const TextureImage& image) {
    std::array<double, 3> sum{};
    for (size_t i = 0; i < image.rgba.size(); i += 4)
        for (size_t k = 0; k < 3; ++k)
            sum[k] += image.rgba[i + k];
    for (double& s : sum)
        s /= double(image.rgba.size()) / 4;
    return sum;
}

double Away(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

Model ReadBack(const std::string& path) {
    const Result<Model> read = LoadModelFile(path);
    EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error().Message());
    return read.ok() ? read.value() : Model{};
}

// The bytes of two files differ only inside [from, from + length).
void SameOutside(const std::string& a, const std::string& b, size_t from, size_t length) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        if (i < from || i >= from + length) {
            ASSERT_EQ(a[i], b[i]) << "byte " << i;
        }
    }
}

std::string PaletteFile(const TempDir& dir) {
    const Palette& palette = ShippedPalette();
    const std::string path = dir.File("palette.lmp");
    WriteWholeFile(path, std::string(palette.begin(), palette.end()));
    return path;
}

} // namespace

// A picture set as a group's second picture: read back, it is the picture
// reduced to the palette as brute force reduces it, no glowing colour unless
// asked, and no byte of the model outside that picture moved.
TEST(MdlSkinWrite, SetsOnePictureOfAGroupAndNothingElse) {
    TempDir dir;
    const Palette& palette = ShippedPalette();
    const std::string model = dir.File("small.mdl"), picture = dir.File("paint.tga");
    const std::string original = SmallMdl(10, 6);
    WriteWholeFile(model, original);
    const TextureImage paint = Scattered(10, 6, palette);
    WriteWholeFile(picture, Tga(paint));
    const std::string lmp = PaletteFile(dir);

    const std::string out = dir.File("out.mdl");
    const Outcome plain = Cli({model, "--set-skin", "2", picture, "-o", out, "--palette", lmp});
    ASSERT_EQ(plain.status, kOk) << plain.err;
    EXPECT_NE(plain.out.find("skin 1, picture 2 of 2"), std::string::npos) << plain.out;
    const Model back = ReadBack(out);
    ASSERT_EQ(back.skins.size(), 3u);
    EXPECT_EQ(back.skins[2].indices, BruteReduce(paint, palette, kFirstQuakeFullbright));
    for (const uint8_t i : back.skins[2].indices)
        EXPECT_LT(i, kFirstQuakeFullbright);
    const size_t third = 84 + 4 + 60 + 4 + 4 + 8 + 60;
    SameOutside(original, ReadWholeFile(out), third, 60);

    const std::string bright = dir.File("bright.mdl");
    ASSERT_EQ(
        Cli({model, "--set-skin", "2", picture, "-o", bright, "--palette", lmp, "--fullbright"})
            .status,
        kOk);
    const std::vector<uint8_t> glowing = ReadBack(bright).skins[2].indices;
    EXPECT_EQ(glowing, BruteReduce(paint, palette, 256));
    EXPECT_TRUE(std::any_of(glowing.begin(), glowing.end(),
                            [](uint8_t i) { return i >= kFirstQuakeFullbright; }));
}

// Dithering changes the pixels, keeps clear of the fullbrights, and brings
// the skin's mean colour nearer the picture's.
TEST(MdlSkinWrite, DitheringKeepsTheMeanColour) {
    TempDir dir;
    const Palette& palette = ShippedPalette();
    const TextureImage paint = Gradient(64, 48);
    std::string original = SmallMdl(64, 48);
    const std::string model = dir.File("small.mdl"), picture = dir.File("sweep.tga");
    WriteWholeFile(model, original);
    WriteWholeFile(picture, Tga(paint));
    ASSERT_EQ(Cli({model, "--set-skin", "0", picture, "-o", dir.File("plain.mdl")}).status, kOk);
    const Outcome dithered =
        Cli({model, "--set-skin", "0", picture, "-o", dir.File("dither.mdl"), "--dither"});
    ASSERT_EQ(dithered.status, kOk) << dithered.err;
    const std::vector<uint8_t> a = ReadBack(dir.File("plain.mdl")).skins[0].indices;
    const std::vector<uint8_t> b = ReadBack(dir.File("dither.mdl")).skins[0].indices;
    EXPECT_NE(a, b);
    for (const uint8_t i : b)
        ASSERT_LT(i, kFirstQuakeFullbright);
    EXPECT_LT(Away(Mean(b, palette), Mean(paint)), Away(Mean(a, palette), Mean(paint)));
}

// The corpus's models: a skin painted anew and set, and one added; the skins
// already there stay as they were.
TEST(MdlSkinWrite, RealModelsTakeANewSkinAndAnAddedOne) {
    const fs::path player = kModels / "mdl/player/progs/player.mdl";
    const fs::path armor = kModels / "mdl/armor/progs/armor.mdl";
    if (!fs::exists(player) || !fs::exists(armor))
        GTEST_SKIP() << "no " << player << " or " << armor;
    TempDir dir;
    const Palette& palette = ShippedPalette(); // the corpus's models lie in no game
    for (const fs::path& path : {player, armor}) {
        const std::string original = ReadWholeFile(path.string());
        const Model before = ReadBack(path.string());
        ASSERT_FALSE(before.skins.empty());
        const TextureImage paint =
            Scattered(before.skins[0].width, before.skins[0].height, palette);
        const std::string picture = dir.File("paint.tga");
        WriteWholeFile(picture, Tga(paint));
        const std::vector<uint8_t> wanted = BruteReduce(paint, palette, kFirstQuakeFullbright);

        const std::string set = dir.File("set.mdl");
        const Outcome setting = Cli({path.string(), "--set-skin", "0", picture, "-o", set});
        ASSERT_EQ(setting.status, kOk) << setting.err;
        const Model afterSet = ReadBack(set);
        ASSERT_EQ(afterSet.skins.size(), before.skins.size());
        EXPECT_EQ(afterSet.skins[0].indices, wanted);
        SameOutside(original, ReadWholeFile(set), 84 + 4, wanted.size());

        const std::string added = dir.File("added.mdl");
        const Outcome adding = Cli({path.string(), "--add-skin", picture, "-o", added});
        ASSERT_EQ(adding.status, kOk) << adding.err;
        const Model afterAdd = ReadBack(added);
        ASSERT_EQ(afterAdd.skins.size(), before.skins.size() + 1);
        for (size_t i = 0; i < before.skins.size(); ++i)
            EXPECT_EQ(afterAdd.skins[i].indices, before.skins[i].indices) << i;
        EXPECT_EQ(afterAdd.skins.back().indices, wanted);
        EXPECT_EQ(afterAdd.frameNames, before.frameNames);
        const std::string grown = ReadWholeFile(added);
        EXPECT_EQ(grown.size(), original.size() + 4 + wanted.size());
        uint32_t count = 0;
        std::memcpy(&count, grown.data() + 48, 4);
        EXPECT_EQ(count, before.skins.size() + 1);
        // Single skins (no group): the skins end after each one's type word
        // and pixels; what followed them follows the new one, byte for byte.
        size_t end = 84;
        for (const EmbeddedSkin& skin : before.skins) {
            ASSERT_EQ(skin.name.find("picture"), std::string::npos) << skin.name;
            end += 4 + skin.indices.size();
        }
        EXPECT_EQ(grown.substr(end + 4 + wanted.size()), original.substr(end));
        EXPECT_EQ(grown.substr(end, 4), std::string(4, '\0'));
        EXPECT_EQ(grown.substr(0, 48), original.substr(0, 48));
        EXPECT_EQ(grown.substr(52, end - 52), original.substr(52, end - 52));
    }
}

// Our PCX, read by our decoder, holds exactly the palette's colours of the
// indices: lines of an odd width padded to an even count, runs longer than
// 63, and bytes with the top two bits set, which must go as runs of one.
TEST(PcxWrite, ReadsBackThroughTheDecoderPixelForPixel) {
    Palette palette{};
    for (size_t i = 0; i < kPaletteBytes; ++i)
        palette[i] = uint8_t((i * 37 + 11) % 256);
    struct Case {
        int width, height;
        std::vector<uint8_t> indices;
    };
    std::vector<Case> cases;
    cases.push_back({5, 3, {0xC0, 0xC1, 0xFF, 0x00, 0x3F, 7, 7, 7, 0xC5, 0xC5, 1, 2, 3, 4, 5}});
    std::vector<uint8_t> longRun(131 * 2, 0xD7);
    longRun[200] = 4;
    cases.push_back({131, 2, longRun});
    std::vector<uint8_t> every(256);
    for (size_t i = 0; i < every.size(); ++i)
        every[i] = uint8_t(i);
    cases.push_back({1, 256, every});
    for (const Case& c : cases) {
        const std::string bytes = EncodePcx8(c.width, c.height, c.indices, palette);
        ASSERT_FALSE(bytes.empty());
        const int lineBytes = uint8_t(bytes[66]) | uint8_t(bytes[67]) << 8;
        EXPECT_EQ(lineBytes % 2, 0);
        EXPECT_GE(lineBytes, c.width);
        TextureImage image;
        const Status decoded =
            DecodePcx(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image);
        ASSERT_TRUE(decoded.ok()) << decoded.error().reason;
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        EXPECT_TRUE(image.note.empty()) << image.note; // its own palette was found
        for (size_t i = 0; i < c.indices.size(); ++i)
            for (size_t k = 0; k < 3; ++k)
                ASSERT_EQ(image.rgba[i * 4 + k], palette[size_t(c.indices[i]) * 3 + k])
                    << c.width << "x" << c.height << " pixel " << i;
    }
}

// --pcx for an MD2 of the corpus: the palette from the game's
// pics/colormap.pcx, the picture's transparent pixels at 255 and no opaque
// one there; without any palette, a refusal that says where it comes from.
TEST(PcxWrite, Md2SkinInTheGamesColours) {
    const fs::path md2 = kModels / "md2/fire/packages/models/mapmodels/objects/fire/tris.md2";
    if (!fs::exists(md2))
        GTEST_SKIP() << "no " << md2;
    const std::string header = ReadWholeFile(md2.string()).substr(0, 16);
    int32_t width = 0, height = 0;
    std::memcpy(&width, header.data() + 8, 4);
    std::memcpy(&height, header.data() + 12, 4);
    TempDir dir;
    Palette palette{};
    for (size_t i = 0; i < 256; ++i) // a palette of our own, not Quake's
        for (size_t k = 0; k < 3; ++k)
            palette[i * 3 + k] = uint8_t((i * (k + 3)) % 256);
    fs::create_directories(dir.path() / "game/pics");
    const std::vector<uint8_t> map(64, 3);
    WriteWholeFile(dir.File("game/pics/colormap.pcx"), EncodePcx8(8, 8, map, palette));
    TextureImage paint = Scattered(width, height, palette);
    for (size_t i = 0; i < paint.rgba.size(); i += 4 * 13)
        paint.rgba[i + 3] = 0;
    const std::string picture = dir.File("paint.tga"), out = dir.File("skin.pcx");
    WriteWholeFile(picture, Tga(paint));

    const Outcome none = Cli({md2.string(), "--pcx", picture, "-o", out});
    EXPECT_EQ(none.status, kUsage);
    EXPECT_NE(none.err.find("pics/colormap.pcx"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(out));

    const Outcome made =
        Cli({md2.string(), "--pcx", picture, "-o", out, "--game", dir.File("game")});
    ASSERT_EQ(made.status, kOk) << made.err;
    TextureImage image;
    ASSERT_TRUE(LoadTexture(out, image).ok());
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    // The indices are what the decoder painted: find them back by colour,
    // the palette's colours being distinct.
    for (size_t i = 0; i < paint.rgba.size(); i += 4) {
        const uint8_t want =
            paint.rgba[i + 3] < 128 ? 255 : BruteNearest(palette, &paint.rgba[i], 255);
        for (size_t k = 0; k < 3; ++k)
            ASSERT_EQ(image.rgba[i + k], palette[size_t(want) * 3 + k]) << "pixel " << i / 4;
    }
}

// Each refusal says what is wrong and writes nothing.
TEST(SkinWriteRefusals, SayWhyAndWriteNothing) {
    TempDir dir;
    const std::string model = dir.File("small.mdl"), out = dir.File("out.mdl");
    const std::string original = SmallMdl(10, 6);
    WriteWholeFile(model, original);
    const std::string right = dir.File("right.tga"), wrong = dir.File("wrong.tga");
    WriteWholeFile(right, Tga(Gradient(10, 6)));
    WriteWholeFile(wrong, Tga(Gradient(12, 7)));

    const Outcome size = Cli({model, "--set-skin", "0", wrong, "-o", out});
    EXPECT_EQ(size.status, kCannotLoad);
    EXPECT_NE(size.err.find("12x7"), std::string::npos) << size.err;
    EXPECT_NE(size.err.find("10x6"), std::string::npos) << size.err;
    EXPECT_NE(Cli({model, "--add-skin", wrong, "-o", out}).err.find("10x6"), std::string::npos);

    const Outcome range = Cli({model, "--set-skin", "3", right, "-o", out});
    EXPECT_EQ(range.status, kCannotLoad);
    EXPECT_NE(range.err.find("no skin 3"), std::string::npos) << range.err;
    EXPECT_NE(range.err.find("skin 1, picture 2 of 2"), std::string::npos) << range.err;

    const std::string md3 = std::string(GW_SOURCE_DIR) + "/res/samples/gridbot.md3";
    const Outcome notMdl = Cli({md3, "--set-skin", "0", right, "-o", out});
    EXPECT_EQ(notMdl.status, kUsage);
    EXPECT_NE(notMdl.err.find("MD3"), std::string::npos) << notMdl.err;

    const std::string broken = dir.File("broken.mdl");
    WriteWholeFile(broken, original.substr(0, original.size() - 5));
    const Outcome cut = Cli({broken, "--set-skin", "0", right, "-o", out});
    EXPECT_EQ(cut.status, kCannotLoad);
    EXPECT_NE(cut.err.find("cut short"), std::string::npos) << cut.err;

    const std::string shortPalette = dir.File("short.lmp");
    WriteWholeFile(shortPalette, std::string(700, '\x10'));
    const Outcome palette =
        Cli({model, "--set-skin", "0", right, "-o", out, "--palette", shortPalette});
    EXPECT_EQ(palette.status, kCannotLoad);
    EXPECT_NE(palette.err.find("700 bytes"), std::string::npos) << palette.err;
    EXPECT_NE(palette.err.find("768"), std::string::npos) << palette.err;
    const Outcome pcxPalette =
        Cli({"--pcx", right, "-o", dir.File("x.pcx"), "--palette", shortPalette});
    EXPECT_EQ(pcxPalette.status, kCannotLoad);

    // Skins added one by one up to the 32 the game takes, and no more.
    const std::string many = dir.File("many.mdl");
    WriteWholeFile(many, original);
    for (int skins = 2; skins < 32; ++skins)
        ASSERT_EQ(Cli({many, "--add-skin", right, "-o", many}).status, kOk) << skins;
    EXPECT_EQ(ReadBack(many).skins.size(), 33u); // the group counts two pictures
    const std::string full = ReadWholeFile(many);
    const Outcome past = Cli({many, "--add-skin", right, "-o", many});
    EXPECT_EQ(past.status, kCannotLoad);
    EXPECT_NE(past.err.find("32"), std::string::npos) << past.err;
    EXPECT_EQ(ReadWholeFile(many), full);

    EXPECT_EQ(Cli({model, "--set-skin", "0", right}).status, kUsage); // no -o
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir.File("x.pcx")));
    EXPECT_EQ(ReadWholeFile(model), original);
}

// The fast nearest colour is the exact one: over many colours of the whole
// cube against brute force, and where the palette holds each colour twice,
// always the lower index.
TEST(PaletteReduce, NearestIsExactAndTiesTakeTheLowerIndex) {
    const Palette& quake = ShippedPalette();
    const TextureImage many = Scattered(200, 150, quake);
    const Result<ReducedPicture> reduced = ReduceToPalette(many, quake, ReduceOptions{});
    ASSERT_TRUE(reduced.ok());
    EXPECT_EQ(reduced.value().indices, BruteReduce(many, quake, 256));

    Palette twice{};
    for (size_t i = 0; i < 128; ++i)
        for (size_t k = 0; k < 3; ++k)
            twice[i * 3 + k] = twice[(i + 128) * 3 + k] = uint8_t((i * (k + 5) * 7) % 256);
    const Result<ReducedPicture> paired = ReduceToPalette(many, twice, ReduceOptions{});
    ASSERT_TRUE(paired.ok());
    EXPECT_EQ(paired.value().indices, BruteReduce(many, twice, 256));
    for (const uint8_t i : paired.value().indices)
        ASSERT_LT(i, 128);

    ReduceOptions none;
    none.allowed.fill(false);
    EXPECT_FALSE(ReduceToPalette(many, quake, none).ok());
}

// Cut anywhere, or with a skin count, size or group's count (at byte 152)
// made up, the model's
// skins are refused or found inside its bytes, never read past them.
TEST(MdlSkinWrite, HostileHeadersStayInsideTheBytes) {
    const std::string whole = SmallMdl(10, 6);
    const std::vector<uint8_t> picture(60, 9);
    for (size_t length = 0; length <= whole.size(); ++length) {
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(whole.data()),
                                             length);
        const Result<MdlSkinPlaces> found = FindMdlSkins("cut.mdl", bytes);
        if (!found.ok())
            continue;
        for (const int64_t at : found.value().pictureAt)
            ASSERT_LE(at + 60, int64_t(length)) << length;
        ASSERT_LE(found.value().skinsEnd, int64_t(length));
    }
    for (const auto& [at, value] : std::vector<std::pair<size_t, uint32_t>>{{48, 0x7FFFFFFF},
                                                                            {48, 0xFFFFFFFF},
                                                                            {52, 0x7FFFFFFF},
                                                                            {56, 0},
                                                                            {152, 0x7FFFFFFF},
                                                                            {152, 0},
                                                                            {152, 0xFFFFFFFF}}) {
        std::string hostile = whole;
        for (size_t k = 0; k < 4; ++k)
            hostile[at + k] = char(value >> (8 * k));
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(hostile.data()),
                                             hostile.size());
        const Result<std::string> set = ReplaceMdlPicture("bad.mdl", bytes, 0, picture);
        const Result<std::string> added = AppendMdlSkin("bad.mdl", bytes, picture);
        EXPECT_FALSE(set.ok() && added.ok()) << at << " " << value;
        if (!set.ok()) {
            EXPECT_EQ(set.error().path, "bad.mdl");
        }
    }
}
