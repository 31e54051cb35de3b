#include "export/BmpTemplate.h"
#include "export/PngTemplate.h"
#include "export/SafeFile.h"
#include "export/SvgTemplate.h"
#include "export/TemplateFile.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

uint32_t LE(const std::string& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | uint8_t(b[at + size_t(i)]);
    return v;
}

uint32_t BE(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
           uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
}

LayoutRaster Diagonal(int w, int h) {
    LayoutRaster r{w, h, std::vector<uint8_t>(size_t(w) * size_t(h), 0)};
    for (int i = 0; i < std::min(w, h); ++i)
        r.ink[size_t(i) * size_t(w) + size_t(i)] = 1;
    return r;
}

} // namespace

TEST(TemplateImages, BmpIsA24BitBottomUpPictureOfTheRaster) {
    const LayoutRaster raster = Diagonal(5, 3);
    const std::string bmp = EncodeBmp24(raster);
    const size_t rowBytes = 16; // 5 * 3 = 15, padded to 4
    ASSERT_EQ(bmp.size(), 54 + rowBytes * 3);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(LE(bmp, 2, 4), bmp.size());
    EXPECT_EQ(LE(bmp, 10, 4), 54u);
    EXPECT_EQ(LE(bmp, 14, 4), 40u);
    EXPECT_EQ(LE(bmp, 18, 4), 5u);
    EXPECT_EQ(LE(bmp, 22, 4), 3u);
    EXPECT_EQ(LE(bmp, 28, 2), 24u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const size_t at = 54 + size_t(2 - y) * rowBytes + size_t(x) * 3;
            const char expected = raster.IsInk(x, y) ? '\0' : '\xFF';
            EXPECT_EQ(bmp.substr(at, 3), std::string(3, expected)) << x << "," << y;
        }
}

// Reads the PNG the way a viewer does: every chunk's CRC checked with zlib,
// the image data inflated with zlib, the rows unfiltered.
TEST(TemplateImages, PngHoldsTheRasterAsOneBitGreyscale) {
    const LayoutRaster raster = Diagonal(10, 2);
    const std::string png = EncodePng(raster);
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    std::vector<std::string> types;
    std::string header, data;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = BE(png, at);
        ASSERT_LE(at + 12 + length, png.size());
        const std::string type = png.substr(at + 4, 4);
        const std::string body = png.substr(at + 8, length);
        const uLong crc = crc32(crc32(0, nullptr, 0),
                                reinterpret_cast<const Bytef*>(png.data() + at + 4), length + 4);
        EXPECT_EQ(BE(png, at + 8 + length), uint32_t(crc)) << type;
        types.push_back(type);
        if (type == "IHDR")
            header = body;
        if (type == "IDAT")
            data += body;
        at += 12 + length;
    }
    EXPECT_EQ(types.front(), "IHDR");
    EXPECT_EQ(types.back(), "IEND");
    ASSERT_EQ(header.size(), 13u);
    EXPECT_EQ(BE(header, 0), 10u);
    EXPECT_EQ(BE(header, 4), 2u);
    EXPECT_EQ(header.substr(8, 5), std::string("\x01\x00\x00\x00\x00", 5)); // 1-bit grey
    std::string rows(2 * (1 + 2), '?');
    uLongf size = rows.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                         reinterpret_cast<const Bytef*>(data.data()), data.size()),
              Z_OK);
    ASSERT_EQ(size, rows.size());
    // Undo each row's filter (for 1-bit pixels a "pixel" is one byte), then
    // one bit per pixel, white = 1, the row padded with white.
    const size_t stride = 2;
    std::string pixels, previous(stride, '\0');
    for (size_t row = 0; row < 2; ++row) {
        const int filter = rows[row * (stride + 1)];
        std::string line = rows.substr(row * (stride + 1) + 1, stride);
        for (size_t i = 0; i < stride; ++i) {
            const int a = i ? uint8_t(line[i - 1]) : 0, b = uint8_t(previous[i]),
                      c = i ? uint8_t(previous[i - 1]) : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                      pc = std::abs(p - c);
            const int predictor[] = {0, a, b, (a + b) / 2,
                                     pa <= pb && pa <= pc ? a
                                     : pb <= pc           ? b
                                                          : c};
            ASSERT_LT(filter, 5);
            line[i] = char(uint8_t(line[i]) + predictor[filter]);
        }
        pixels += line;
        previous = line;
    }
    EXPECT_EQ(pixels, std::string("\x7F\xFF\xBF\xFF", 4));
}

TEST(TemplateImages, SvgStrokesThePixelCentresOfTheTriangles) {
    TestRecord r;
    r.SetVertices({{0, 0}, {1, 0}, {0, 1}});
    r.AddTriangle(0, 1, 2);
    r.AddTriangle(0, 1, 7); // skipped
    const std::string svg = PlainSvg(r.record, 64, 32);
    EXPECT_NE(svg.find("width=\"64\" height=\"32\""), std::string::npos);
    EXPECT_NE(svg.find("d=\"M0.5 0.5L64.5 0.5L0.5 32.5Z\""), std::string::npos);
}

TEST(TemplateImages, BmpFileIsTheRasterOfTheSurface) {
    TempDir dir;
    Md3ModelDesc model;
    model.surfaces.push_back(TriangleSurface("t", {0, 0}, {1, 0}, {0, 1}));
    const RecordingView view = LoadBytes(BuildMd3(model).bytes, dir);
    const std::string path = dir.File("t.bmp");
    const std::vector<const Surface*> surfaces{&view.model.surfaces[0]};
    EXPECT_TRUE(WriteTemplateFile(path, surfaces, PlainStyle(64, 32, WrapMode::Repeat)).ok());
    EXPECT_EQ(ReadWholeFile(path), EncodeBmp24(PlainRaster(surfaces[0], 64, 32)));
#ifndef _WIN32 // a full disk, as POSIX systems offer one
    EXPECT_EQ(
        WriteFileSafely("/dev/full", EncodeBmp24(PlainRaster(surfaces[0], 8, 8))).error().Message(),
        "Cannot write \"/dev/full\": No space left on device.");
#endif
}
