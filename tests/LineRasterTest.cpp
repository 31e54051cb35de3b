#include "LineRaster.h"
#include "LayoutRaster.h"
#include "TestModels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels Line(int x0, int y0, int x1, int y1, int width = 64, int height = 64) {
    Pixels pixels;
    ForEachLinePixel(x0, y0, x1, y1, width, height, [&](int x, int y) {
        EXPECT_TRUE(pixels.insert({x, y}).second);
    });
    return pixels;
}

Pixels Ink(const LayoutRaster& raster) {
    Pixels pixels;
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x)
            if (raster.IsInk(x, y))
                pixels.insert({x, y});
    return pixels;
}

} // namespace

TEST(LineRaster, CoversTheStartAndLeavesOutTheEnd) {
    EXPECT_EQ(Line(2, 3, 5, 3), (Pixels{{2, 3}, {3, 3}, {4, 3}}));
    EXPECT_EQ(Line(5, 3, 2, 3), (Pixels{{5, 3}, {4, 3}, {3, 3}}));
    EXPECT_EQ(Line(1, 1, 1, 4), (Pixels{{1, 1}, {1, 2}, {1, 3}}));
    EXPECT_EQ(Line(0, 0, 4, 2), (Pixels{{0, 0}, {1, 1}, {2, 1}, {3, 2}}));
    EXPECT_EQ(Line(3, 3, 0, 0), (Pixels{{3, 3}, {2, 2}, {1, 1}}));
    EXPECT_TRUE(Line(7, 7, 7, 7).empty());
}

TEST(LineRaster, ClipsToTheAreaWithoutWalkingFarOffPoints) {
    // Only the visible part is visited, whatever the line's length.
    EXPECT_EQ(Line(-kCoordinateLimit, 5, 3, 5, 8, 8), (Pixels{{0, 5}, {1, 5}, {2, 5}}));
    EXPECT_EQ(Line(kCoordinateLimit, kCoordinateLimit, -kCoordinateLimit, -kCoordinateLimit, 4, 4),
              (Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    EXPECT_TRUE(Line(-kCoordinateLimit, -5, kCoordinateLimit, -5).empty());
    // The clipped part lies exactly where the whole line would put it.
    const Pixels whole = Line(-30, -7, 90, 41, 200, 200);
    Pixels inside;
    for (auto [x, y] : whole)
        if (x >= 0 && x < 64 && y >= 0 && y < 32)
            inside.insert({x, y});
    EXPECT_EQ(Line(-30, -7, 90, 41, 64, 32), inside);
}

TEST(LineRaster, TruncatesCoordinatesTowardZeroWithinTheLimit) {
    EXPECT_EQ(TruncateCoordinate(101.5), 101);
    EXPECT_EQ(TruncateCoordinate(-0.9984), 0);
    EXPECT_EQ(TruncateCoordinate(-64.0), -64);
    EXPECT_EQ(TruncateCoordinate(1e300), kCoordinateLimit);
    EXPECT_EQ(TruncateCoordinate(-1e300), -kCoordinateLimit);
    EXPECT_EQ(TruncateCoordinate(std::nan("")), 0);
}

TEST(LayoutRaster, DrawsTheUnitTriangleAsTopRowLeftColumnAndDiagonal) {
    TestRecord r;
    r.SetVertices({{0, 0}, {1, 0}, {0, 1}});
    r.AddTriangle(0, 1, 2);
    const LayoutRaster raster = DrawLayoutRaster(r.record, 128, 128);
    Pixels expected;
    for (int i = 0; i < 128; ++i) {
        expected.insert({i, 0});
        expected.insert({0, i});
        if (i > 0)
            expected.insert({128 - i, i});
    }
    EXPECT_EQ(Ink(raster), expected);
}

TEST(LayoutRaster, PlacesVerticesByTruncatedProducts) {
    TestRecord r;
    // u = 0.5 with W = 64 gives x = 32; v = 0.999999 with H = 32 gives y = 31.
    r.SetVertices({{0.5, 0.999999}, {0.5, 0.0}, {0.75, 0.999999}});
    r.AddTriangle(0, 1, 0);
    const LayoutRaster raster = DrawLayoutRaster(r.record, 64, 32);
    EXPECT_EQ(raster.width, 64);
    EXPECT_EQ(raster.height, 32);
    Pixels column;
    for (int y = 0; y <= 31; ++y)
        column.insert({32, y});
    EXPECT_EQ(Ink(raster), column);
}

TEST(LayoutRaster, SkipsBadCornersAndDrawsNothingForNoTriangles) {
    TestRecord r;
    r.SetVertices({{0.1, 0.1}, {0.9, 0.1}, {0.5, 0.9}});
    EXPECT_TRUE(Ink(DrawLayoutRaster(r.record, 32, 32)).empty());
    r->triangleCount = -4;
    EXPECT_TRUE(Ink(DrawLayoutRaster(r.record, 32, 32)).empty());
    r->triangleCount = 0;
    r.AddTriangle(0, 1, 3);  // 3 is past vertexCount
    r.AddTriangle(-1, 1, 2); // negative
    r.AddTriangle(0, 1, 2);
    r->u[3] = 0.0;
    const Pixels ink = Ink(DrawLayoutRaster(r.record, 32, 32));
    r->triangleCount = 0;
    r.AddTriangle(0, 1, 2);
    EXPECT_EQ(ink, Ink(DrawLayoutRaster(r.record, 32, 32)));
    EXPECT_FALSE(ink.empty());
    EXPECT_TRUE(Ink(DrawLayoutRaster(nullptr, 8, 8)).empty());
}

TEST(LayoutRaster, CoordinatesFarOutsideLeaveOnlyTheVisibleLines) {
    TestRecord r;
    r.SetVertices({{0.0, 0.5}, {3.0e38, 0.5}, {0.0, 2.0}});
    r.AddTriangle(0, 1, 2);
    const LayoutRaster raster = DrawLayoutRaster(r.record, 16, 16);
    for (int x = 0; x < 16; ++x)
        EXPECT_TRUE(raster.IsInk(x, 8)) << x;
    for (int y = 8; y < 16; ++y)
        EXPECT_TRUE(raster.IsInk(0, y)) << y;
}
