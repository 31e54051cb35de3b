#include "render/LineRaster.h"
#include "render/LayoutRaster.h"
#include "tests/TestModels.h"

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
    const LayoutRaster raster = PlainRaster(r.record, 128, 128);
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
    const LayoutRaster raster = PlainRaster(r.record, 64, 32);
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
    EXPECT_TRUE(Ink(PlainRaster(r.record, 32, 32)).empty());
    r.AddTriangle(0, 1, 3);  // 3 is past the vertices
    r.AddTriangle(-1, 1, 2); // negative
    r.AddTriangle(0, 1, 2);
    const Pixels ink = Ink(PlainRaster(r.record, 32, 32));
    r.ClearTriangles();
    r.AddTriangle(0, 1, 2);
    EXPECT_EQ(ink, Ink(PlainRaster(r.record, 32, 32)));
    EXPECT_FALSE(ink.empty());
    EXPECT_TRUE(Ink(PlainRaster(nullptr, 8, 8)).empty());
}

TEST(LayoutRaster, CoordinatesFarOutsideLeaveOnlyTheVisibleLines) {
    TestRecord r;
    r.SetVertices({{0.0, 0.5}, {3.0e38, 0.5}, {0.0, 2.0}});
    r.AddTriangle(0, 1, 2);
    const LayoutRaster raster = PlainRaster(r.record, 16, 16);
    for (int x = 0; x < 16; ++x)
        EXPECT_TRUE(raster.IsInk(x, 8)) << x;
    for (int y = 8; y < 16; ++y)
        EXPECT_TRUE(raster.IsInk(0, y)) << y;
}

namespace {

// The same line, stepped over its whole length with no clipping, then cut to
// the area: what the clipped stepping must give exactly.
Pixels UnclippedLine(int x0, int y0, int x1, int y1, int width, int height) {
    Pixels pixels;
    const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    for (int64_t i = 0; i < steps; ++i) {
        // The distance from the start is the exact ratio i * |d| / steps with
        // halves rounded up, taken in the line's direction.
        auto along = [&](int64_t start, int64_t delta) {
            const int64_t distance = (2 * i * std::llabs(delta) + steps) / (2 * steps);
            return delta < 0 ? start - distance : start + distance;
        };
        const int64_t x = along(x0, dx), y = along(y0, dy);
        if (x >= 0 && x < width && y >= 0 && y < height)
            pixels.insert({int(x), int(y)});
    }
    return pixels;
}

} // namespace

// Lines that enter and leave through each of the four edges, x-major and
// y-major, in both directions: clipping must drop exactly the pixels outside.
TEST(LineRaster, ClippingThroughEveryEdgeKeepsExactlyThePixelsInside) {
    const int width = 40, height = 24;
    struct Segment {
        int x0, y0, x1, y1;
    };
    const Segment segments[] = {
        {-30, 5, 70, 17},  {-30, -9, 70, 30}, {-10, 23, 50, -1},     {5, -30, 17, 60},
        {-3, -30, 44, 60}, {39, -5, 0, 30},   {-50, 0, 90, 23},      {0, -40, 39, 64},
        {20, 10, 20, 100}, {-1, 24, 40, 24},  {-100, -1, 100, 24},   {41, 12, -2, 13},
        {-7, -70, 46, 95}, {3, 23, 3, -1},    {-1000, 11, 1000, 12}, {19, -900, 21, 900},
    };
    int lines = 0;
    for (const Segment& s : segments) {
        for (const bool reversed : {false, true}) {
            const Segment d = reversed ? Segment{s.x1, s.y1, s.x0, s.y0} : s;
            for (const bool transposed : {false, true}) {
                const Segment t = transposed ? Segment{d.y0, d.x0, d.y1, d.x1} : d;
                const int w = transposed ? height : width, h = transposed ? width : height;
                const Pixels expected = UnclippedLine(t.x0, t.y0, t.x1, t.y1, w, h);
                EXPECT_EQ(Line(t.x0, t.y0, t.x1, t.y1, w, h), expected)
                    << t.x0 << "," << t.y0 << " -> " << t.x1 << "," << t.y1 << " in " << w << "x"
                    << h;
                lines += !expected.empty();
            }
        }
    }
    EXPECT_GE(lines, 56); // the table really crosses the area
}
