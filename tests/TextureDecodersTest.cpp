// The texture decoders on every kind of file the games use, checked against
// ImageMagick's reading of the same files, and on the hostile files kept in
// the fuzzers' corpus: each is refused with a reason or decodes to exactly
// the pixels it holds.
#include "image/TextureImage.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

// Bytes that may hold zeros.
std::string B(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes)
        out += char(b);
    return out;
}

std::string Le16(int v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}

std::string TgaHeader(int type, int mapLength, int mapDepth, int width, int height, int depth,
                      int descriptor) {
    return std::string{0, char(mapLength ? 1 : 0), char(type)} + Le16(0) + Le16(mapLength) +
           char(mapDepth) + Le16(0) + Le16(0) + Le16(width) + Le16(height) + char(depth) +
           char(descriptor);
}

TextureImage Decode(const std::string& bytes, Status* outcome = nullptr) {
    TextureImage image;
    const Status o =
        DecodeTexture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image);
    if (outcome)
        *outcome = o;
    EXPECT_TRUE(o.ok()) << o.error().Message();
    return image;
}

std::vector<int> Pixel(const TextureImage& image, int x, int y) {
    const uint8_t* p = &image.rgba[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
}

std::string Be32(uint32_t v) {
    return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}

std::string PngChunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    return Be32(uint32_t(data.size())) + body + Be32(uint32_t(crc));
}

// A PNG as an encoder writes it: the rows (each led by its filter byte)
// deflated into one IDAT, and any chunks (PLTE, tRNS) before it.
std::string Png(uint32_t width, uint32_t height, int depth, int colourType, const std::string& rows,
                const std::string& before = "") {
    uLongf size = compressBound(uLong(rows.size()));
    std::string idat(size, '\0');
    EXPECT_EQ(compress(reinterpret_cast<Bytef*>(idat.data()), &size,
                       reinterpret_cast<const Bytef*>(rows.data()), uLong(rows.size())),
              Z_OK);
    idat.resize(size);
    return "\x89PNG\r\n\x1a\n" +
           PngChunk("IHDR", Be32(width) + Be32(height) + B({depth, colourType, 0, 0, 0})) + before +
           PngChunk("IDAT", idat) + PngChunk("IEND", "");
}

} // namespace

TEST(TgaDecoder, ReadsEveryKindTheGamesWrite) {
    // Colour-mapped, 24-bit map, top-down: index 1 is green.
    const std::string mapped =
        TgaHeader(1, 2, 24, 2, 1, 8, 0x20) + B({0, 0, 0xff, 0, 0xff, 0}) + B({1, 0});
    TextureImage image = Decode(mapped);
    EXPECT_EQ(Pixel(image, 0, 0), (std::vector<int>{0, 255, 0, 255}));
    EXPECT_EQ(Pixel(image, 1, 0), (std::vector<int>{255, 0, 0, 255}));

    // Grey, run-length, bottom-up, right-to-left: a run of 3 then a raw pixel,
    // running across the row boundary.
    std::string grey = TgaHeader(11, 0, 0, 2, 2, 8, 0x10) + B({0x82, 0x40, 0x00, 0x90});
    image = Decode(grey);
    // Stored first: bottom row, right to left.
    EXPECT_EQ(Pixel(image, 1, 1), (std::vector<int>{0x40, 0x40, 0x40, 255}));
    EXPECT_EQ(Pixel(image, 0, 1), (std::vector<int>{0x40, 0x40, 0x40, 255}));
    EXPECT_EQ(Pixel(image, 1, 0), (std::vector<int>{0x40, 0x40, 0x40, 255}));
    EXPECT_EQ(Pixel(image, 0, 0), (std::vector<int>{0x90, 0x90, 0x90, 255}));

    // 16-bit 5-5-5 and 32-bit with alpha, top-down.
    image = Decode(TgaHeader(2, 0, 0, 1, 1, 16, 0x20) + Le16(0x7C00)); // pure red
    EXPECT_EQ(Pixel(image, 0, 0), (std::vector<int>{255, 0, 0, 255}));
    image = Decode(TgaHeader(10, 0, 0, 3, 1, 32, 0x28) + B({0x82, 0x10, 0x20, 0x30, 0x40}));
    EXPECT_EQ(Pixel(image, 2, 0), (std::vector<int>{0x30, 0x20, 0x10, 0x40}));
}

TEST(TgaDecoder, RefusesWhatIsNotThereBeforeAllocatingIt) {
    struct Case {
        std::string bytes, reason;
    };
    const Case cases[] = {
        {TgaHeader(2, 0, 0, 100, 100, 24, 0), "claims 100 x 100 pixels but ends"},
        {TgaHeader(2, 0, 0, 8192, 8192, 32, 0) + "x", "ends before its last pixel"},
        {TgaHeader(2, 0, 0, 2, 2, 24, 0) + std::string(11, 'x'), "ends before its last pixel"},
        {TgaHeader(10, 0, 0, 2, 1, 24, 0) + "\x85"
                                            "abc",
         "runs past its last pixel"},
        {TgaHeader(1, 1, 24, 1, 1, 8, 0) + "abc" + "\x05", "names colour 5 of a map of 1"},
        {TgaHeader(2, 0, 0, 0, 4, 24, 0), "claims a size of 0 x 4"},
        {TgaHeader(2, 0, 0, 9000, 1, 24, 0) + std::string(27000, 'x'), "at most 8192 pixels"},
        {TgaHeader(2, 0, 0, 1, 1, 12, 0) + "xx", "12 bits a pixel"},
        {TgaHeader(7, 0, 0, 1, 1, 24, 0) + "xxx", "not a TGA, JPEG or PNG file"},
    };
    for (const Case& c : cases) {
        TextureImage image;
        const Status o =
            DecodeTexture(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), image);
        EXPECT_FALSE(o.ok()) << c.reason;
        EXPECT_NE(o.error().Message().find(c.reason), std::string::npos) << o.error().Message();
        EXPECT_TRUE(image.rgba.empty());
    }
}

// Packed grey rows and a palette with transparency, as small encoders write
// them: every sample is widened to 8 bits by repeating its bits (1 -> 255,
// 2-bit 2 -> 170, 4-bit 7 -> 119), and the tRNS alphas go with the first
// palette entries, the rest opaque.
TEST(PngDecoder, PackedGreyAndPaletteTransparencyDecodeExactly) {
    struct Grey {
        int depth;
        std::string row;           // one row of 8 pixels, packed
        std::vector<int> expected; // the 8 grey values
    };
    const Grey greys[] = {
        {1, B({0, 0xB2}), {255, 0, 255, 255, 0, 0, 255, 0}},
        {2, B({0, 0x1B, 0xE4}), {0, 85, 170, 255, 255, 170, 85, 0}},
        {4, B({0, 0x01, 0x7F, 0xA5, 0xC3}), {0, 17, 119, 255, 170, 85, 204, 51}},
    };
    for (const Grey& g : greys) {
        SCOPED_TRACE(g.depth);
        // Two rows, the second the first's inverse, so that rows are not mixed up.
        std::string second = g.row;
        for (size_t i = 1; i < second.size(); ++i)
            second[i] = char(~uint8_t(second[i]));
        const TextureImage image = Decode(Png(8, 2, g.depth, 0, g.row + second));
        ASSERT_EQ(image.width, 8);
        ASSERT_EQ(image.height, 2);
        for (int x = 0; x < 8; ++x) {
            const int v = g.expected[size_t(x)], inverse = 255 - v;
            EXPECT_EQ(Pixel(image, x, 0), (std::vector<int>{v, v, v, 255})) << x;
            EXPECT_EQ(Pixel(image, x, 1), (std::vector<int>{inverse, inverse, inverse, 255})) << x;
        }
    }

    // Four colours at 2 bits; tRNS gives entry 0 no alpha and entry 1 half.
    const std::string palette =
        PngChunk("PLTE", B({10, 20, 30, 40, 50, 60, 70, 80, 90, 200, 150, 100})) +
        PngChunk("tRNS", B({0, 128}));
    const TextureImage image = Decode(Png(4, 1, 2, 3, B({0, 0x1B}), palette));
    ASSERT_EQ(image.width, 4);
    EXPECT_EQ(Pixel(image, 0, 0), (std::vector<int>{10, 20, 30, 0}));
    EXPECT_EQ(Pixel(image, 1, 0), (std::vector<int>{40, 50, 60, 128}));
    EXPECT_EQ(Pixel(image, 2, 0), (std::vector<int>{70, 80, 90, 255}));
    EXPECT_EQ(Pixel(image, 3, 0), (std::vector<int>{200, 150, 100, 255}));
}

// A PNG beyond the size rule is refused by that rule, as TGA and JPEG are,
// before anything is allocated; one at the limit is read.
TEST(PngDecoder, ASizeBeyondTheRuleNamesTheRule) {
    struct Case {
        uint32_t width, height;
        const char* reason;
    };
    const Case cases[] = {
        {9000, 1,
         "it claims 9000 x 1 pixels; Gridwright reads textures of at most 8192 pixels a side"},
        {1, 8193,
         "it claims 1 x 8193 pixels; Gridwright reads textures of at most 8192 pixels a side"},
        {2000000000, 2000000000, "it claims 2000000000 x 2000000000 pixels"},
        {0, 4, "it claims a size of 0 x 4 pixels"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const std::string png = Png(c.width, c.height, 8, 0, B({0, 0}));
        TextureImage image;
        const Status o =
            DecodeTexture(reinterpret_cast<const uint8_t*>(png.data()), png.size(), image);
        ASSERT_FALSE(o.ok());
        EXPECT_NE(o.error().Message().find(c.reason), std::string::npos) << o.error().Message();
        EXPECT_EQ(o.error().Message().find("IHDR"), std::string::npos) << o.error().Message();
        EXPECT_TRUE(image.rgba.empty());
    }
    const TextureImage wide = Decode(Png(8192, 1, 8, 0, '\0' + std::string(8192, '\x40')));
    EXPECT_EQ(wide.width, 8192);
    EXPECT_EQ(Pixel(wide, 8191, 0), (std::vector<int>{0x40, 0x40, 0x40, 255}));
}

// PNG and JPEG variants written by ImageMagick, decoded by Gridwright and by
// ImageMagick itself; every pixel must agree (JPEG: within rounding).
TEST(TextureDecoders, AgreeWithImageMagickOnEveryVariant) {
    if (std::system("convert -version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    const std::string source = dir.File("source.png");
    // A picture with gradients, hard edges and transparency.
    ASSERT_EQ(std::system(("convert -size 37x23 gradient:red-blue \\( -size 37x23 "
                           "gradient:none-green -rotate 90 -resize 37x23! \\) -composite "
                           "-fill '#ffff0080' -draw 'rectangle 5,5 15,12' -depth 8 " +
                           source)
                              .c_str()),
              0);
    struct Variant {
        const char *name, *options;
        int tolerance;
    };
    const Variant variants[] = {
        {"interlaced.png", "-interlace PNG", 0},
        {"sixteen.png", "-depth 16", 1},
        {"palette.png", "-colors 16 -type Palette", 0},
        {"grey.png", "-colorspace Gray -alpha off", 0},
        {"grey-alpha.png", "-colorspace Gray", 0},
        {"baseline.jpg", "-quality 92 -alpha off", 2},
        {"progressive.jpg", "-interlace JPEG -quality 92 -alpha off", 2},
        {"grey.jpg", "-colorspace Gray -quality 92", 2},
        {"plain.tga", "-alpha on", 0},
        {"rle.tga", "-compress RLE -alpha on", 0},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        const std::string file = dir.File(v.name), raw = file + ".rgba";
        ASSERT_EQ(std::system(("convert " + source + " " + v.options + " " + file).c_str()), 0);
        // TGA: ImageMagick hands out rows in the order stored; -auto-orient
        // puts the top row first, as the game shows it.
        ASSERT_EQ(std::system(("convert " + file + " -auto-orient -depth 8 rgba:" + raw).c_str()),
                  0);
        TextureImage image;
        const Status o = LoadTexture(file, image);
        ASSERT_TRUE(o.ok()) << o.error().Message();
        const std::string expected = ReadWholeFile(raw);
        ASSERT_EQ(image.rgba.size(), expected.size());
        int worst = 0;
        for (size_t i = 0; i < expected.size(); ++i)
            worst = std::max(worst, std::abs(int(uint8_t(expected[i])) - int(image.rgba[i])));
        EXPECT_LE(worst, v.tolerance);
    }
}

// Every input that ever broke or stalled a decoder: refused with a reason
// naming what is wrong, or decoded to exactly the size it claims.
TEST(TextureDecoders, HostileFilesAreRefusedOrBounded) {
    const fs::path corpus = fs::path(GW_SOURCE_DIR) / "fuzz/corpus/texture";
    struct Expected {
        const char* file;
        const char* reason; // null: decodes
    };
    const Expected expected[] = {
        {"tga-truncated-100x100.tga", "ends before its last pixel"},
        {"tga-rle-overrun.tga", "runs past its last pixel"},
        {"tga-map-index-out-of-range.tga", "names colour 7 of a map of 2"},
        {"jpeg-undefined-huffman-table.jpg", "Huffman table 0x03 was not defined"},
        {"jpeg-progressive-1000-scans.jpg", "more than 100 scans"},
        // The zero-length chunk is skipped; the rows after it are read.
        {"png-zero-length-idat.png", nullptr},
        // Only the one pixel claimed is inflated, not the gigabyte behind it.
        {"png-idat-bomb-1x1.png", nullptr},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.file);
        TextureImage image;
        const Status o = LoadTexture((corpus / e.file).make_preferred().string(), image);
        if (e.reason) {
            EXPECT_FALSE(o.ok());
            EXPECT_NE(o.error().Message().find(e.reason), std::string::npos) << o.error().Message();
            EXPECT_TRUE(image.rgba.empty());
        } else {
            ASSERT_TRUE(o.ok()) << o.error().Message();
            EXPECT_EQ(image.rgba.size(), size_t(image.width) * size_t(image.height) * 4);
        }
    }
    // The PNG's two pixels are the colour written.
    TextureImage two;
    ASSERT_TRUE(
        LoadTexture((corpus / "png-zero-length-idat.png").make_preferred().string(), two).ok());
    EXPECT_EQ(Pixel(two, 1, 0), (std::vector<int>{0x10, 0x20, 0x30, 0xFF}));
    // A file cut short anywhere is refused, never half-shown.
    const std::string whole =
        ReadWholeFile((corpus / "png-zero-length-idat.png").make_preferred().string());
    for (size_t keep = 8; keep < whole.size(); keep += 7) {
        const std::string cut = whole.substr(0, keep);
        TextureImage image;
        EXPECT_FALSE(
            DecodeTexture(reinterpret_cast<const uint8_t*>(cut.data()), cut.size(), image).ok())
            << keep;
    }
}
