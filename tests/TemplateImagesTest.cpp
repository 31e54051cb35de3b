#include "TemplateImages.h"
#include "TestModels.h"

#include <gtest/gtest.h>

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

TEST(TemplateImages, PngHoldsTheRasterAsOneBitGreyscale) {
    const LayoutRaster raster = Diagonal(10, 2);
    const std::string png = EncodePng(raster);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(BE(png, 16), 10u);
    EXPECT_EQ(BE(png, 20), 2u);
    EXPECT_EQ(png[24], 1); // bit depth
    EXPECT_EQ(png[25], 0); // greyscale
    const size_t idat = 8 + 25;
    EXPECT_EQ(png.substr(idat + 4, 4), "IDAT");
    // zlib header, then one final stored block of 2 rows x (1 + 2) bytes.
    const std::string z = png.substr(idat + 8, BE(png, idat));
    EXPECT_EQ(uint8_t(z[2]), 1);
    EXPECT_EQ(LE(z, 3, 2), 6u);
    const std::string rows = z.substr(7, 6);
    EXPECT_EQ(rows, std::string("\x00\x7F\xFF\x00\xBF\xFF", 6));
    EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
}

TEST(TemplateImages, SvgStrokesThePixelCentresOfTheTriangles) {
    TestRecord r;
    r.SetVertices({{0, 0}, {1, 0}, {0, 1}});
    r.AddTriangle(0, 1, 2);
    r.AddTriangle(0, 1, 7); // skipped
    const std::string svg = BuildSvgText(r.record, 64, 32);
    EXPECT_NE(svg.find("width=\"64\" height=\"32\""), std::string::npos);
    EXPECT_NE(svg.find("d=\"M0.5 0.5L64.5 0.5L0.5 32.5Z\""), std::string::npos);
}

TEST(TemplateImages, BmpFileIsTheRasterOfTheExportSurface) {
    TempDir dir;
    Md3ModelSpec model;
    model.surfaces.push_back(TriangleSurface("t", {0, 0}, {1, 0}, {0, 1}));
    LoadBytes(BuildMd3(model).bytes, dir);
    g_exportSurface = 0;
    const std::string path = dir.File("t.bmp");
    EXPECT_TRUE(WriteBmpTemplate(64, 32, path, 24, nullptr));
    EXPECT_EQ(ReadWholeFile(path), EncodeBmp24(DrawLayoutRaster(&g_surfaces[0], 64, 32)));
    std::string shown;
    EXPECT_FALSE(WriteBmpTemplate(8, 8, "/dev/full", 24, [&](const std::string& r) { shown = r; }));
    EXPECT_EQ(shown, "Cannot write \"/dev/full\": No space left on device.");
}
