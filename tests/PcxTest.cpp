// PCX decoding on files made here byte by byte: what each pixel must be,
// what the game's writers do at line ends, and what a hostile file claims.
#include "image/IndexedSkin.h"
#include "image/TextureImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct PcxLayout {
    int version = 5, encoding = 1, depth = 8, planes = 1;
    int xMin = 0, yMin = 0, xMax = 0, yMax = 0, lineBytes = 0;
    std::vector<uint8_t> data;
    bool palette = true;
};

// A palette where colour i is (i, 255 - i, i * 7 mod 256): every entry told apart.
std::array<uint8_t, 3> PaletteColour(int i) {
    return {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
}

std::vector<uint8_t> Build(const PcxLayout& p) {
    std::vector<uint8_t> out(128, 0);
    out[0] = 0x0A;
    out[1] = uint8_t(p.version);
    out[2] = uint8_t(p.encoding);
    out[3] = uint8_t(p.depth);
    auto put16 = [&](size_t at, int v) {
        out[at] = uint8_t(v);
        out[at + 1] = uint8_t(v >> 8);
    };
    put16(4, p.xMin);
    put16(6, p.yMin);
    put16(8, p.xMax);
    put16(10, p.yMax);
    out[65] = uint8_t(p.planes);
    put16(66, p.lineBytes);
    for (const uint8_t b : p.data)
        out.push_back(b);
    if (p.palette) {
        out.push_back(0x0C);
        for (int i = 0; i < 256; ++i)
            for (const uint8_t c : PaletteColour(i))
                out.push_back(c);
    }
    return out;
}

std::string Decode(const std::vector<uint8_t>& bytes, TextureImage& image) {
    const Status s = DecodeTexture(bytes.data(), bytes.size(), image);
    return s.ok() ? "" : s.error().reason;
}

// The palette colour of each index, row by row, as the picture must hold.
std::vector<uint8_t> Expected(const std::vector<int>& indices) {
    std::vector<uint8_t> out;
    for (const int i : indices) {
        for (const uint8_t c : PaletteColour(i))
            out.push_back(c);
        out.push_back(255);
    }
    return out;
}

TEST(Pcx, DecodesEightBitsPixelForPixel) {
    // 3 x 2 in lines of 4 bytes (the pad byte is not a pixel); a run of two,
    // a literal, a run of one for a value with both top bits set.
    PcxLayout p;
    p.xMin = 10;
    p.xMax = 12;
    p.yMin = 3;
    p.yMax = 4;
    p.lineBytes = 4;
    p.data = {0xC2, 7, 9, 0, /* line 2 */ 0xC1, 0xC5, 1, 100, 0x40};
    TextureImage image;
    ASSERT_EQ(Decode(Build(p), image), "");
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.rgba, Expected({7, 7, 9, 0xC5, 1, 100}));
    // The game's own version check is not needed for what older writers make.
    p.version = 3;
    ASSERT_EQ(Decode(Build(p), image), "");
    EXPECT_EQ(image.rgba, Expected({7, 7, 9, 0xC5, 1, 100}));
}

TEST(Pcx, RunsGoOnIntoTheNextLine) {
    // 2 x 3, lines of 2: one run of 3 fills line 1 and starts line 2, then a
    // run of 3 more; a zero-length run writes nothing.
    PcxLayout p;
    p.xMax = 1;
    p.yMax = 2;
    p.lineBytes = 2;
    p.data = {0xC3, 4, 0xC0, 99, 0xC3, 6};
    TextureImage image;
    ASSERT_EQ(Decode(Build(p), image), "");
    EXPECT_EQ(image.rgba, Expected({4, 4, 4, 6, 6, 6}));
}

TEST(Pcx, DecodesTwentyFourBitsInThreePlanes) {
    // 2 x 1: each line holds red, then green, then blue, for every pixel.
    PcxLayout p;
    p.planes = 3;
    p.xMax = 1;
    p.lineBytes = 2;
    p.palette = false;
    p.data = {10, 20, 0xC2, 30, 40, 50};
    TextureImage image;
    ASSERT_EQ(Decode(Build(p), image), "");
    EXPECT_EQ(image.rgba, (std::vector<uint8_t>{10, 30, 40, 255, 20, 30, 50, 255}));
}

// An 8-bit picture without the palette at its end takes Quake's, and says so.
TEST(Pcx, APictureWithoutItsPaletteTakesTheShippedOne) {
    PcxLayout p;
    p.xMax = 1;
    p.lineBytes = 2;
    p.palette = false;
    p.data = {0, 0xC1, 255};
    TextureImage image;
    ASSERT_EQ(Decode(Build(p), image), "");
    const auto& quake = ShippedPalette();
    EXPECT_EQ(image.rgba, (std::vector<uint8_t>{quake[0], quake[1], quake[2], 255, quake[765],
                                                quake[766], quake[767], 255}));
    EXPECT_NE(image.note.find("no palette of its own"), std::string::npos) << image.note;
}

TEST(Pcx, RefusesWhatItCannotDecode) {
    PcxLayout good;
    good.xMax = 3;
    good.yMax = 3;
    good.lineBytes = 4;
    good.data = {0xCF, 1, 0xC1, 2}; // 16 pixels
    TextureImage image;
    ASSERT_EQ(Decode(Build(good), image), "");

    struct Case {
        const char* what;
        PcxLayout layout;
        const char* reason;
    };
    std::vector<Case> cases;
    PcxLayout p = good;
    p.data = {0xCF, 1}; // one pixel short
    cases.push_back({"short data", p, "ends before its last pixel"});
    p = good;
    p.data.pop_back(); // a run without its value
    cases.push_back({"cut run", p, "ends before its last pixel"});
    p = good;
    p.xMax = 60000;
    cases.push_back({"huge width", p, "at most 8192 pixels a side"});
    p = good;
    p.xMax = 8000;
    p.yMax = 8000;
    p.lineBytes = 8001;
    cases.push_back({"huge claim, small file", p, "ends before its last pixel"});
    p = good;
    p.lineBytes = 3;
    cases.push_back({"lines narrower than the picture", p, "narrower"});
    p = good;
    p.xMin = 5;
    cases.push_back({"window backwards", p, "ends before it starts"});
    p = good;
    p.depth = 4;
    cases.push_back({"16 colours", p, "4 bits in 1 planes"});
    for (const Case& c : cases) {
        const std::string reason = Decode(Build(c.layout), image);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
        EXPECT_TRUE(image.rgba.empty()) << c.what;
    }
    // A file cut inside its palette has none: it is read with Quake's, said;
    // one cut inside its header is refused.
    std::vector<uint8_t> bytes = Build(good);
    bytes.resize(bytes.size() - 1);
    EXPECT_EQ(Decode(bytes, image), "");
    EXPECT_FALSE(image.note.empty());
    bytes.resize(60);
    EXPECT_NE(Decode(bytes, image).find("header"), std::string::npos);
}

// A TGA may start with byte 10 (its name's length); it is still a TGA.
TEST(Pcx, TgaStartingWithTenIsNotTakenForOne) {
    std::vector<uint8_t> tga(18 + 10, 0);
    tga[0] = 10; // name length
    tga[2] = 2;  // true colour
    tga[12] = 1; // 1 x 1
    tga[14] = 1;
    tga[16] = 24;
    tga.insert(tga.end(), {1, 2, 3});
    TextureImage image;
    ASSERT_EQ(Decode(tga, image), "");
    EXPECT_EQ(image.rgba, (std::vector<uint8_t>{3, 2, 1, 255}));
}

} // namespace
