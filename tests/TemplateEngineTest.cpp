// The template engine, measured on what it draws: wrapped coordinates, line
// styles, transparency, overlaps and several surfaces.
#include "export/EpsTemplate.h"
#include "export/PdfTemplate.h"
#include "export/SvgTemplate.h"
#include "export/TemplateFile.h"
#include "image/TextureImage.h"
#include "render/DrawingCancel.h"
#include "render/Flipped.h"
#include "render/Islands.h"
#include "render/LayoutRaster.h"
#include "render/Seams.h"
#include "render/TemplateImage.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

using Records = std::vector<const Surface*>;

// A 4 x 4 grid of cells over [u0, u0 + 1] x [v0, v0 + 1], two triangles each.
void Grid(TestRecord& r, double u0, double v0) {
    std::vector<std::array<double, 2>> uv;
    for (int y = 0; y <= 4; ++y)
        for (int x = 0; x <= 4; ++x)
            uv.push_back({u0 + x / 4.0 * 0.9 + 0.05, v0 + y / 4.0 * 0.9 + 0.05});
    r.SetVertices(uv);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const int i = y * 5 + x;
            r.AddTriangle(i, i + 1, i + 5);
            r.AddTriangle(i + 1, i + 6, i + 5);
        }
}

int InkCount(const LayoutRaster& raster) {
    return int(std::count(raster.ink.begin(), raster.ink.end(), 1));
}

int Differences(const LayoutRaster& a, const LayoutRaster& b) {
    int n = 0;
    for (size_t i = 0; i < a.ink.size(); ++i)
        n += a.ink[i] != b.ink[i];
    return n;
}

uint32_t Alpha(uint32_t p) {
    return p >> 24;
}

// How dark a pixel is over white, 0 (white) to 255 (black), for any alpha.
int Darkness(uint32_t p) {
    const int under = 255 - int(Alpha(p));
    const int grey = (int((p >> 16) & 0xFF) + int((p >> 8) & 0xFF) + int(p & 0xFF)) / 3 + under;
    return 255 - std::min(grey, 255);
}

TemplateStyle Styled(int size) {
    TemplateStyle style;
    style.width = style.height = size;
    return style;
}

} // namespace

// The game repeats the texture: v + 1 and u + 2 paint the same texels.
TEST(TemplateWrap, ShiftedCoordinatesGiveTheSameTemplate) {
    TestRecord inside, down, across;
    Grid(inside, 0, 0);
    Grid(down, 0, 1);
    Grid(across, 2, 1);
    const LayoutRaster expected = DrawLayoutRaster({inside.record}, 256, 256, WrapMode::Repeat);
    ASSERT_GT(InkCount(expected), 1000);
    for (TestRecord* shifted : {&down, &across}) {
        const LayoutRaster got = DrawLayoutRaster({shifted->record}, 256, 256, WrapMode::Repeat);
        EXPECT_LE(Differences(expected, got), 8); // rounding at most, never a missing line
        // As stored, the shifted layout lies outside the template.
        EXPECT_EQ(InkCount(DrawLayoutRaster({shifted->record}, 256, 256, WrapMode::Clip)), 0);
    }
    // Inside the texture, wrapping changes nothing at all.
    EXPECT_EQ(Differences(expected, DrawLayoutRaster({inside.record}, 256, 256, WrapMode::Clip)),
              0);
}

TEST(TemplateWrap, ATriangleAcrossTheEdgeShowsAtTheTopAndTheBottom) {
    TestRecord r;
    r.SetVertices({{0.25, 0.75}, {0.75, 0.75}, {0.5, 1.25}});
    r.AddTriangle(0, 1, 2);
    const LayoutRaster raster = DrawLayoutRaster({r.record}, 100, 100, WrapMode::Repeat);
    int top = 0, bottom = 0;
    for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 20; ++y) {
            top += raster.IsInk(x, y);
            bottom += raster.IsInk(x, 99 - y);
        }
    EXPECT_GT(top, 5);
    EXPECT_GT(bottom, 5);
    // The EPS draws both copies; as stored it draws one, half outside its box.
    TemplateStyle style = Styled(100);
    const std::string wrapped = BuildEpsText({r.record}, style, "t.eps", nullptr);
    style.wrap = WrapMode::Clip;
    const std::string clipped = BuildEpsText({r.record}, style, "t.eps", nullptr);
    auto movetos = [](const std::string& text) {
        size_t n = 0;
        for (size_t at = text.find("moveto"); at != std::string::npos;
             at = text.find("moveto", at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(movetos(wrapped), 2u);
    EXPECT_EQ(movetos(clipped), 1u);
    EXPECT_EQ(clipped, PlainEps(r.record, 100, 100, "t.eps", nullptr));
    EXPECT_NE(clipped.find("25 25 moveto"), std::string::npos);
    EXPECT_NE(wrapped.find("25 125 moveto"), std::string::npos);
    EXPECT_NE(wrapped.find("25 25 moveto"), std::string::npos);
}

// Default templates are the classic ones whatever the output: the styled
// drawing path is not taken.
TEST(TemplateStyle, ThePlainStyleDrawsTheExactLineRule) {
    TestRecord r;
    Grid(r, 0, 0);
    const TemplateStyle style = Styled(97);
    ASSERT_TRUE(style.IsPlain());
    const TemplateImage image = DrawTemplateImage(style, {r.record});
    const LayoutRaster raster = PlainRaster(r.record, 97, 97);
    ASSERT_EQ(image.width, 97);
    for (int y = 0; y < 97; ++y)
        for (int x = 0; x < 97; ++x)
            ASSERT_EQ(image.At(x, y), raster.IsInk(x, y) ? 0xFF000000u : 0xFFFFFFFFu);
    // A colour alone keeps the same pixels, in that colour.
    TemplateStyle red = style;
    red.line = {200, 0, 0, 255};
    const TemplateImage reds = DrawTemplateImage(red, {r.record});
    for (int y = 0; y < 97; ++y)
        for (int x = 0; x < 97; ++x)
            ASSERT_EQ(reds.At(x, y), raster.IsInk(x, y) ? 0xFFC80000u : 0xFFFFFFFFu);
}

TEST(TemplateStyle, WiderLinesCoverProportionallyMore) {
    TestRecord r;
    Grid(r, 0, 0);
    auto ink = [&](double width) {
        TemplateStyle style = Styled(512);
        style.lineWidth = width;
        style.antialias = true;
        const TemplateImage image = DrawTemplateImage(style, {r.record});
        double sum = 0;
        for (uint32_t p : image.pixels)
            sum += Darkness(p) / 255.0;
        return sum;
    };
    const double one = ink(1), two = ink(2), four = ink(4);
    EXPECT_NEAR(two / one, 2.0, 0.25);
    EXPECT_NEAR(four / two, 2.0, 0.25);
}

TEST(TemplateStyle, AntialiasingGivesIntermediateLevelsAndAliasingNone) {
    TestRecord r;
    Grid(r, 0, 0);
    for (const bool antialias : {false, true}) {
        TemplateStyle style = Styled(200);
        style.lineWidth = 2.5;
        style.antialias = antialias;
        std::set<uint32_t> levels;
        for (uint32_t p : DrawTemplateImage(style, {r.record}).pixels)
            levels.insert(p);
        if (antialias)
            EXPECT_GT(levels.size(), 3u);
        else
            EXPECT_EQ(levels, (std::set<uint32_t>{0xFF000000u, 0xFFFFFFFFu}));
    }
}

TEST(TemplateStyle, NoBackgroundLeavesThePixelsAwayFromLinesTransparent) {
    TestRecord r;
    r.SetVertices({{0.1, 0.1}, {0.9, 0.1}, {0.1, 0.9}});
    r.AddTriangle(0, 1, 2);
    TemplateStyle style = Styled(100);
    style.background.reset();
    style.line = {0, 0, 255, 128};
    const TemplateImage image = DrawTemplateImage(style, {r.record});
    EXPECT_FALSE(image.opaque);
    EXPECT_EQ(image.At(95, 95), 0u);          // outside the triangle
    EXPECT_EQ(image.At(30, 30), 0u);          // inside, away from the lines
    EXPECT_EQ(Alpha(image.At(50, 10)), 128u); // on the top edge: the line's own alpha
    // A fill shows inside at its opacity, over nothing.
    style.fill = Rgba{0, 255, 0, 64};
    const TemplateImage filled = DrawTemplateImage(style, {r.record});
    EXPECT_EQ(Alpha(filled.At(30, 30)), 64u);
    EXPECT_EQ(filled.At(95, 95), 0u);
}

namespace {

// The highlight's share of a template of these triangles.
int HighlightedPixels(TestRecord& r, int size, const TemplateStyle& base, int x, int y,
                      uint32_t* at = nullptr) {
    TemplateStyle style = base;
    style.width = style.height = size;
    style.overlaps = true;
    style.overlapColour = {255, 0, 0, 255};
    style.line = {0, 0, 0, 0}; // lines out of the way: only the highlight shows
    const TemplateImage image = DrawTemplateImage(style, {r.record});
    if (at)
        *at = image.At(x, y);
    int red = 0;
    for (uint32_t p : image.pixels)
        red += p == 0xFFFF0000u;
    return red;
}

} // namespace

TEST(TemplateOverlaps, StackedAndMirroredFacesAreHighlightedSharedEdgesAreNot) {
    const TemplateStyle style = Styled(100);
    uint32_t centre = 0;
    // Two triangles stacked on the same texels.
    TestRecord stacked;
    stacked.SetVertices({{0.1, 0.1}, {0.9, 0.1}, {0.1, 0.9}, {0.2, 0.2}, {0.8, 0.2}, {0.2, 0.8}});
    stacked.AddTriangle(0, 1, 2);
    stacked.AddTriangle(3, 4, 5);
    EXPECT_GT(HighlightedPixels(stacked, 100, style, 30, 30, &centre), 1000);
    EXPECT_EQ(centre, 0xFFFF0000u);
    // A mirrored island: the same quad twice, the second with its corners swapped.
    TestRecord mirrored;
    mirrored.SetVertices({{0.2, 0.2}, {0.6, 0.2}, {0.6, 0.6}, {0.2, 0.6}});
    mirrored.AddTriangle(0, 1, 2);
    mirrored.AddTriangle(0, 2, 3);
    mirrored.AddTriangle(1, 0, 3);
    mirrored.AddTriangle(1, 3, 2);
    EXPECT_NEAR(HighlightedPixels(mirrored, 100, style, 40, 40, &centre), 40 * 40, 80);
    EXPECT_EQ(centre, 0xFFFF0000u);
    // A plain quad, two triangles sharing an edge, and a fan sharing a corner.
    TestRecord quad;
    quad.SetVertices({{0.1, 0.1}, {0.9, 0.1}, {0.9, 0.9}, {0.1, 0.9}, {0.5, 0.5}});
    quad.AddTriangle(0, 1, 2);
    quad.AddTriangle(0, 2, 3);
    EXPECT_EQ(HighlightedPixels(quad, 100, style, 0, 0), 0);
    EXPECT_EQ(HighlightedPixels(quad, 37, style, 0, 0), 0); // edges off the pixel grid too
    TestRecord fan;
    fan.SetVertices({{0.5, 0.5}, {0.9, 0.5}, {0.9, 0.9}, {0.1, 0.5}, {0.1, 0.1}});
    fan.AddTriangle(0, 1, 2);
    fan.AddTriangle(0, 3, 4);
    EXPECT_EQ(HighlightedPixels(fan, 64, style, 0, 0), 0);
    // With wrapping, a copy one tile away lands on the same texels.
    TestRecord wrapped;
    wrapped.SetVertices({{0.1, 0.1}, {0.5, 0.1}, {0.1, 0.5}, {1.1, 0.1}, {1.5, 0.1}, {1.1, 0.5}});
    wrapped.AddTriangle(0, 1, 2);
    wrapped.AddTriangle(3, 4, 5);
    EXPECT_GT(HighlightedPixels(wrapped, 100, style, 0, 0), 500);
    TemplateStyle clip = style;
    clip.wrap = WrapMode::Clip;
    EXPECT_EQ(HighlightedPixels(wrapped, 100, clip, 0, 0), 0);
}

TEST(TemplateSurfaces, SeveralSurfacesDrawTheUnionOfTheirLayouts) {
    TestRecord a, b;
    Grid(a, 0, 0);
    b.SetVertices({{0.0, 0.5}, {1.0, 0.6}, {0.3, 0.99}});
    b.AddTriangle(0, 1, 2);
    const LayoutRaster ra = PlainRaster(a.record, 128, 128);
    const LayoutRaster rb = PlainRaster(b.record, 128, 128);
    const LayoutRaster both = DrawLayoutRaster({a.record, b.record}, 128, 128, WrapMode::Repeat);
    for (size_t i = 0; i < both.ink.size(); ++i)
        ASSERT_EQ(both.ink[i], ra.ink[i] | rb.ink[i]);
    // Each its own colour, both readable.
    TemplateStyle style = Styled(128);
    style.colourBySurface = true;
    const TemplateImage image = DrawTemplateImage(style, {a.record, b.record});
    std::set<uint32_t> colours(image.pixels.begin(), image.pixels.end());
    EXPECT_TRUE(colours.count(0xFF000000u | (uint32_t(0xd6) << 16 | 0x27 << 8 | 0x28)));
    EXPECT_TRUE(colours.count(0xFF000000u | (uint32_t(0x1f) << 16 | 0x77 << 8 | 0xb4)));
}

TEST(TemplateColours, ParsesHexColoursAndRefusesTheRest) {
    Rgba c;
    ASSERT_TRUE(ParseColour("#1a2B3c", c));
    EXPECT_EQ(c, (Rgba{0x1a, 0x2b, 0x3c, 255}));
    ASSERT_TRUE(ParseColour("ff000080", c));
    EXPECT_EQ(c, (Rgba{255, 0, 0, 128}));
    for (const char* bad : {"", "#12345", "#1234567", "#gg0000", "red", "#12 456", "#123456789"})
        EXPECT_FALSE(ParseColour(bad, c)) << bad;
    EXPECT_EQ(FormatColour({1, 2, 255, 16}), "#0102ff10");
}

TEST(TemplateVector, StyledSvgIsWellFormedAndCarriesTheStyle) {
    TestRecord r;
    r.SetVertices({{0.25, 0.75}, {0.75, 0.75}, {0.5, 0.25}});
    r.AddTriangle(0, 1, 2);
    TemplateStyle style = Styled(64);
    style.line = {255, 0, 0, 128};
    style.lineWidth = 2.5;
    style.background.reset();
    style.fill = Rgba{0, 0, 255, 64};
    const std::string svg = BuildSvgText({r.record}, style);
    EXPECT_NE(svg.find("stroke=\"#ff0000\" stroke-opacity=\"0.502\" stroke-width=\"2.5\" "
                       "stroke-linejoin=\"round\" d=\"M16 48L48 48L32 16Z\""),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("fill=\"#0000ff\" fill-opacity=\"0.251\""), std::string::npos);
    EXPECT_EQ(svg.find("<rect"), std::string::npos); // no background
    const std::string pdf = BuildPdf({r.record}, style, "t (1).pdf");
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
}

// Coordinates a fuzzer found: far beyond any tile. Every output draws them as
// stored, without a fault (the sanitizer build checks the arithmetic).
TEST(TemplateWrap, FarOffCoordinatesAreDrawnAsStoredWithoutAFault) {
    TestRecord r;
    r.SetVertices({{6.74222e22, 0.5}, {0.5, 3e38}, {1e7, 1e6 + 0.5}});
    r.AddTriangle(0, 1, 2);
    TemplateStyle style = Styled(64);
    EXPECT_EQ(InkCount(DrawLayoutRaster({r.record}, 64, 64, WrapMode::Repeat)), 0);
    style.antialias = true;
    style.lineWidth = 3;
    style.fill = Rgba{0, 0, 255, 64};
    style.overlaps = true;
    EXPECT_EQ(DrawTemplateImage(style, {r.record}).width, 64);
    EXPECT_NE(BuildSvgText({r.record}, style).find("</svg>"), std::string::npos);
    EXPECT_NE(BuildEpsText({r.record}, style, "t.eps", nullptr).find("%%EOF"), std::string::npos);
    style.antialias = false;
    EXPECT_EQ(BuildPdf({r.record}, style, "t.pdf").substr(0, 5), "%PDF-");
}

// A cancelled drawing stops walking triangles: nothing more is drawn.
TEST(TemplateEngine, ACancelledDrawingDrawsNoMoreTriangles) {
    TestRecord r;
    r.SetVertices({{0.1, 0.1}, {0.9, 0.1}, {0.5, 0.9}});
    r.AddTriangle(0, 1, 2);
    TemplateStyle style = PlainStyle(64, 64, WrapMode::Repeat);
    style.overlaps = true;
    std::atomic<bool> cancel{false};
    auto ink = [&] {
        const TemplateImage image = DrawTemplateImage(style, {r.record});
        return std::count_if(image.pixels.begin(), image.pixels.end(),
                             [](uint32_t p) { return (p & 0xFFFFFF) != 0xFFFFFF; });
    };
    CancelScope scope(cancel);
    EXPECT_GT(ink(), 100);
    cancel = true;
    EXPECT_EQ(ink(), 0);
}

// Where two wide smooth lines meet, a pixel takes the larger of their
// coverages: every pixel whose whole square lies within a line is full ink.
TEST(TemplateStyle, CoverageOfMeetingLinesCombinesByMaximum) {
    TestRecord sliver; // two long edges about a pixel apart, meeting at a corner
    sliver.SetVertices({{0.1, 0.5}, {0.9, 0.5}, {0.9, 0.5 + 1.6 / 64}});
    sliver.AddTriangle(0, 1, 2);
    TemplateStyle style = Styled(64);
    style.lineWidth = 3;
    style.antialias = true;
    const TemplateImage image = DrawTemplateImage(style, {sliver.record});
    const double corners[3][2] = {
        {0.1 * 64, 0.5 * 64}, {0.9 * 64, 0.5 * 64}, {0.9 * 64, (0.5 + 1.6 / 64) * 64}};
    auto distance = [](double px, double py, const double* a, const double* b) {
        const double dx = b[0] - a[0], dy = b[1] - a[1];
        const double t =
            std::clamp(((px - a[0]) * dx + (py - a[1]) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        return std::hypot(px - a[0] - t * dx, py - a[1] - t * dy);
    };
    int full = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            double nearest = 1e9;
            for (int k = 0; k < 3; ++k)
                nearest =
                    std::min(nearest, distance(x + 0.5, y + 0.5, corners[k], corners[(k + 1) % 3]));
            // The pixel's square (half-diagonal 0.71) lies inside the 1.5-wide half line.
            if (nearest <= 1.5 - 0.75) {
                EXPECT_EQ(image.At(x, y) & 0xFFFFFF, 0u) << x << "," << y;
                ++full;
            }
        }
    EXPECT_GT(full, 80);
}

// A template with no background is transparent where nothing is drawn, as a
// PNG decoder reads the file back.
TEST(TemplateStyle, ATransparentPngReadsBackTransparent) {
    TestRecord r;
    r.SetVertices({{0.1, 0.1}, {0.9, 0.1}, {0.1, 0.9}});
    r.AddTriangle(0, 1, 2);
    TemplateStyle style = Styled(32);
    style.background.reset();
    TempDir dir;
    ASSERT_TRUE(WriteTemplateFile(dir.File("t.png"), {r.record}, style).ok());
    TextureImage png;
    ASSERT_TRUE(LoadTexture(dir.File("t.png"), png).ok());
    auto alpha = [&](int x, int y) { return png.rgba[(size_t(y) * 32 + size_t(x)) * 4 + 3]; };
    EXPECT_EQ(alpha(20, 20), 0);  // outside the triangle
    EXPECT_EQ(alpha(10, 10), 0);  // inside, unfilled
    EXPECT_EQ(alpha(16, 3), 255); // on the top edge
    EXPECT_EQ(png.rgba[(3 * 32 + 16) * 4], 0);
}

// A quad whose two triangles are laid out apart: the diagonal is joined in
// the model but cut in the layout, a seam, drawn at both places; the outer
// edges (one face each) are not. A quad laid out whole has no seam.
TEST(TemplateSeams, TheCutDiagonalIsASeamDrawnTwiceAndOpenEdgesAreNot) {
    Md3ModelDesc desc;
    Md3SurfaceDesc s;
    s.name = "quad";
    // Model: a square, its diagonal from (0,0,0) to (64,64,0), split into two
    // vertices at each diagonal end so that each triangle has its own layout.
    s.positions = {{0, 0, 0}, {64, 0, 0}, {64, 64, 0}, {0, 0, 0}, {64, 64, 0}, {0, 64, 0}};
    s.uv = {{0.05f, 0.05f}, {0.45f, 0.05f}, {0.45f, 0.45f},
            {0.55f, 0.55f}, {0.95f, 0.95f}, {0.55f, 0.95f}};
    s.triangles = {{0, 1, 2}, {3, 4, 5}};
    desc.surfaces = {s};
    TempDir dir;
    const RecordingView view = LoadBytes(BuildMd3(desc).bytes, dir);
    ASSERT_TRUE(view.failures.empty());
    const Surface& quad = view.model.surfaces[0];
    const std::vector<TriangleEdge> seams = FindSeams(quad);
    ASSERT_EQ(seams.size(), 2u); // the diagonal, once in each triangle
    EXPECT_EQ(seams[0].triangle, 0);
    EXPECT_EQ(seams[0].corner, 2); // c -> a: (64,64) -> (0,0)
    EXPECT_EQ(seams[1].triangle, 1);
    EXPECT_EQ(seams[1].corner, 0); // a -> b: (0,0) -> (64,64)

    // Drawn in green over the black lines, on the diagonals only.
    TemplateStyle style = Styled(100);
    style.seams = Rgba{0, 192, 0, 255};
    const TemplateImage image = DrawTemplateImage(style, {&quad});
    auto green = [&](int x, int y) { return (image.At(x, y) & 0xFFFFFF) == 0x00C000u; };
    EXPECT_TRUE(green(25, 25)); // the first triangle's diagonal
    EXPECT_TRUE(green(75, 75)); // the second's
    EXPECT_FALSE(green(25, 5)); // an outer edge: black
    EXPECT_EQ(image.At(25, 5) & 0xFFFFFF, 0u);
    // Laid out whole (the diagonal's ends share their coordinates), no seam.
    Md3SurfaceDesc whole = s;
    whole.uv = {{0.1f, 0.1f}, {0.9f, 0.1f}, {0.9f, 0.9f}, {0.1f, 0.1f}, {0.9f, 0.9f}, {0.1f, 0.9f}};
    desc.surfaces = {whole};
    const RecordingView joined = LoadBytes(BuildMd3(desc).bytes, dir, "whole.md3");
    EXPECT_TRUE(FindSeams(joined.model.surfaces[0]).empty());
}

// Three faces share one model edge from (0,0,0) to (64,0,0), a fin as
// hulls and hair have; two are laid out joined and one apart. Whichever of
// them comes first in the file, the edge is a seam at all three places.
TEST(TemplateSeams, AnEdgeOfThreeFacesWithOneLaidOutApartIsASeamAtEach) {
    for (int apart = 0; apart < 3; ++apart) {
        SCOPED_TRACE(apart);
        Md3ModelDesc desc;
        Md3SurfaceDesc s;
        s.name = "fin";
        // Each face: the shared edge's two ends, then its own third corner.
        for (int f = 0; f < 3; ++f) {
            s.positions.insert(s.positions.end(), {{0, 0, 0},
                                                   {64, 0, 0},
                                                   {int16_t(32), int16_t(f == 1 ? 64 : 0),
                                                    int16_t(f == 1 ? 0 : (f == 0 ? 64 : -64))}});
            const float v = f == apart ? 0.6f : 0.1f; // the joined two share (0.1, v), (0.4, v)
            s.uv.insert(s.uv.end(), {{0.1f, v}, {0.4f, v}, {0.1f + 0.1f * float(f + 1), v + 0.3f}});
            s.triangles.push_back({3 * f, 3 * f + 1, 3 * f + 2});
        }
        desc.surfaces = {s};
        TempDir dir;
        const RecordingView view = LoadBytes(BuildMd3(desc).bytes, dir);
        ASSERT_TRUE(view.failures.empty());
        const std::vector<TriangleEdge> seams = FindSeams(view.model.surfaces[0]);
        ASSERT_EQ(seams.size(), 3u);
        for (int f = 0; f < 3; ++f) {
            EXPECT_EQ(seams[size_t(f)].triangle, f);
            EXPECT_EQ(seams[size_t(f)].corner, 0);
        }
    }
}

// A face whose positions run the other way round, its layout wound as its
// neighbours': it faces away from its normals, so it alone is flipped.
TEST(TemplateFlipped, AFaceWoundBackwardsInTheModelIsFlipped) {
    Md3ModelDesc desc;
    Md3SurfaceDesc s;
    s.name = "strip";
    for (int f = 0; f < 3; ++f) {
        const int16_t x = int16_t(f * 64);
        if (f == 1) // the second and third corners' positions swapped
            s.positions.insert(s.positions.end(), {{x, 0, 0}, {x, 64, 0}, {int16_t(x + 64), 0, 0}});
        else
            s.positions.insert(s.positions.end(), {{x, 0, 0}, {int16_t(x + 64), 0, 0}, {x, 64, 0}});
        const float u0 = 0.05f + 0.3f * float(f), u1 = u0 + 0.25f;
        s.uv.insert(s.uv.end(), {{u0, 0.1f}, {u1, 0.1f}, {u0, 0.6f}});
        s.triangles.push_back({3 * f, 3 * f + 1, 3 * f + 2});
    }
    desc.surfaces = {s};
    TempDir dir;
    const RecordingView view = LoadBytes(BuildMd3(desc).bytes, dir);
    ASSERT_TRUE(view.failures.empty());
    EXPECT_EQ(FindFlipped(view.model.surfaces[0]), std::vector<int>{1});
}

// Three faces wound one way in the model (normals along +z); the middle one
// is laid out mirrored (its u reversed), so it alone is flipped and filled.
TEST(TemplateFlipped, OnlyTheFaceLaidOutMirroredIsFilled) {
    Md3ModelDesc desc;
    Md3SurfaceDesc s;
    s.name = "strip";
    for (int f = 0; f < 3; ++f) {
        const int16_t x = int16_t(f * 64);
        s.positions.insert(s.positions.end(), {{x, 0, 0}, {int16_t(x + 64), 0, 0}, {x, 64, 0}});
        const float u0 = 0.05f + 0.3f * float(f), u1 = u0 + 0.25f;
        if (f == 1) // mirrored: the u of the corners swapped
            s.uv.insert(s.uv.end(), {{u1, 0.1f}, {u0, 0.1f}, {u1, 0.6f}});
        else
            s.uv.insert(s.uv.end(), {{u0, 0.1f}, {u1, 0.1f}, {u0, 0.6f}});
        s.triangles.push_back({3 * f, 3 * f + 1, 3 * f + 2});
    }
    desc.surfaces = {s};
    TempDir dir;
    const RecordingView view = LoadBytes(BuildMd3(desc).bytes, dir);
    ASSERT_TRUE(view.failures.empty());
    const Surface& strip = view.model.surfaces[0];
    EXPECT_EQ(FindFlipped(strip), std::vector<int>{1});

    TemplateStyle style = Styled(100);
    style.flipped = Rgba{0, 0, 255, 255};
    const TemplateImage image = DrawTemplateImage(style, {&strip});
    auto blue = [&](int x, int y) { return (image.At(x, y) & 0xFFFFFF) == 0x0000FFu; };
    EXPECT_TRUE(blue(50, 20));  // inside the mirrored face (x 35..60, y 10..60)
    EXPECT_FALSE(blue(10, 20)); // inside the first face: white
    EXPECT_EQ(image.At(10, 20) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_FALSE(blue(70, 20)); // inside the third
}

// A 2 x 2 grid of quads sharing their layout edges is one island: with
// --outline islands only its outer border is drawn. A second, separate quad
// is a second island, and --islands gives the two different opaque colours.
TEST(TemplateIslands, OneGridIsOneIslandOutlinedOnItsBorderAndTwoIslandsTwoColours) {
    Md3ModelDesc desc;
    Md3SurfaceDesc s;
    s.name = "grid";
    // A 3 x 3 lattice of vertices over u, v in 0.1..0.5, then a lone quad at 0.7..0.9.
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            s.positions.push_back({int16_t(i * 64), int16_t(j * 64), 0});
            s.uv.push_back({0.1f + 0.2f * float(i), 0.1f + 0.2f * float(j)});
        }
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const int a = j * 3 + i;
            s.triangles.push_back({a, a + 1, a + 4});
            s.triangles.push_back({a, a + 4, a + 3});
        }
    for (const auto& [u, v] : {std::pair{0.7f, 0.7f}, {0.9f, 0.7f}, {0.9f, 0.9f}, {0.7f, 0.9f}}) {
        s.positions.push_back({int16_t(u * 640), int16_t(v * 640), 64});
        s.uv.push_back({u, v});
    }
    s.triangles.push_back({9, 10, 11});
    s.triangles.push_back({9, 11, 12});
    desc.surfaces = {s};
    TempDir dir;
    const RecordingView view = LoadBytes(BuildMd3(desc).bytes, dir);
    ASSERT_TRUE(view.failures.empty());
    const Surface& grid = view.model.surfaces[0];
    const SurfaceIslands islands = FindIslands(grid);
    EXPECT_EQ(islands.count, 2);
    EXPECT_EQ(islands.islandOf, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(islands.borders.size(), 8u + 4u); // two edges per grid side, four for the quad

    TemplateStyle style = Styled(100);
    const auto ink = [](const TemplateImage& image, int x, int y) {
        return (image.At(x, y) & 0xFFFFFF) == 0u;
    };
    const TemplateImage all = DrawTemplateImage(style, {&grid});
    style.outline = Outline::Islands;
    const TemplateImage borders = DrawTemplateImage(style, {&grid});
    EXPECT_TRUE(ink(all, 30, 20) && ink(all, 20, 30)); // the inner lines at u, v = 0.3
    EXPECT_FALSE(ink(borders, 30, 20) || ink(borders, 20, 30) || ink(borders, 25, 25));
    EXPECT_TRUE(ink(borders, 10, 20) && ink(borders, 30, 10) && ink(borders, 50, 40));
    EXPECT_TRUE(ink(borders, 80, 70) && ink(borders, 70, 80));
    EXPECT_FALSE(ink(borders, 80, 80)); // the quad's diagonal: inside its island

    style.islands = true;
    const TemplateImage filled = DrawTemplateImage(style, {&grid});
    const uint32_t first = filled.At(20, 20), second = filled.At(85, 80);
    EXPECT_EQ(first, filled.At(45, 45)); // one flat colour over the whole grid
    EXPECT_EQ(second, filled.At(75, 85));
    EXPECT_NE(first, second);
    for (const uint32_t c : {first, second}) {
        EXPECT_EQ(c >> 24, 0xFFu); // opaque
        EXPECT_NE(c, 0xFFFFFFFFu); // not the background
    }
    EXPECT_EQ(filled.At(95, 20), 0xFFFFFFFFu); // outside both: background
}

namespace {

// Ink of a drawing's black lines on white.
bool Ink(const TemplateImage& image, int x, int y) {
    return (image.At(x, y) & 0xFFFFFF) == 0u;
}

TemplateImage IslandBorders(const Surface& surface, int size = 100) {
    TemplateStyle style = Styled(size);
    style.outline = Outline::Islands;
    return DrawTemplateImage(style, {&surface});
}

bool SamePixels(const TemplateImage& a, const TemplateImage& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

} // namespace

// The borders of a layout with nothing stacked are its edges of one face
// each, drawn whole: exactly the lines they always were.
TEST(TemplateIslands, BordersOfALayoutWithNothingStackedAreItsEdgesOfOneFace) {
    TestRecord r;
    // A 2 x 2 grid of quads over 0.1..0.5 (two triangles each), then a lone
    // triangle and a lone quad.
    std::vector<std::array<double, 2>> uv;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            uv.push_back({0.1 + 0.2 * i, 0.1 + 0.2 * j});
    for (const auto& p : std::vector<std::array<double, 2>>{
             {0.6, 0.1}, {0.95, 0.15}, {0.7, 0.45}, {0.6, 0.6}, {0.9, 0.6}, {0.9, 0.9}, {0.6, 0.9}})
        uv.push_back(p);
    r.SetVertices(uv);
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            const int a = j * 3 + i;
            r.AddTriangle(a, a + 1, a + 4);
            r.AddTriangle(a, a + 4, a + 3);
        }
    r.AddTriangle(9, 10, 11);
    r.AddTriangle(12, 13, 14);
    r.AddTriangle(12, 14, 15);
    const SurfaceIslands islands = FindIslands(*r);
    EXPECT_EQ(islands.count, 3);
    // The grid's outer edges (triangle, corner), then the triangle's three
    // and the quad's four, each whole.
    const std::vector<std::pair<int, int>> expected = {{0, 0}, {1, 2}, {2, 0}, {2, 1},  {5, 1},
                                                       {5, 2}, {6, 1}, {7, 1}, {8, 0},  {8, 1},
                                                       {8, 2}, {9, 0}, {9, 1}, {10, 1}, {10, 2}};
    std::vector<std::pair<int, int>> found;
    for (const TriangleEdge& e : islands.borders) {
        found.push_back({e.triangle, e.corner});
        EXPECT_EQ(e.from, 0.0);
        EXPECT_EQ(e.to, 1.0);
    }
    EXPECT_EQ(found, expected);
    // Islands of one face are outlined exactly as every edge is.
    TestRecord lone;
    lone.SetVertices(uv);
    lone.AddTriangle(9, 10, 11);
    TemplateStyle all = Styled(100);
    EXPECT_TRUE(SamePixels(IslandBorders(*lone), DrawTemplateImage(all, {lone.record})));
}

// Mirrored halves of a model often share one layout: every face of the
// second half lies exactly on a face of the first (wound the other way, as a
// mirror winds it). The island is still outlined, once, as one half alone is.
TEST(TemplateIslands, MirroredHalvesSharingOneLayoutKeepTheirBorder) {
    TestRecord one, both;
    const std::vector<std::array<double, 2>> quad = {
        {0.2, 0.2}, {0.8, 0.2}, {0.8, 0.8}, {0.2, 0.8}};
    one.SetVertices(quad);
    one.AddTriangle(0, 1, 2);
    one.AddTriangle(0, 2, 3);
    std::vector<std::array<double, 2>> twice = quad;
    twice.insert(twice.end(), quad.begin(), quad.end());
    both.SetVertices(twice);
    both.AddTriangle(0, 1, 2);
    both.AddTriangle(0, 2, 3);
    both.AddTriangle(4, 6, 5); // the mirrored half
    both.AddTriangle(4, 7, 6);
    const SurfaceIslands islands = FindIslands(*both);
    EXPECT_EQ(islands.count, 1);
    ASSERT_EQ(islands.borders.size(), 4u);
    for (const TriangleEdge& e : islands.borders)
        EXPECT_LT(e.triangle, 2); // drawn along the first half's faces
    const TemplateImage image = IslandBorders(*both);
    EXPECT_TRUE(Ink(image, 50, 20) && Ink(image, 80, 50) && Ink(image, 50, 80) &&
                Ink(image, 20, 50));
    EXPECT_FALSE(Ink(image, 50, 50)); // the diagonal, inside
    EXPECT_TRUE(SamePixels(image, IslandBorders(*one)));
}

// One island's faces meeting three to one along a line (a T-junction): the
// line is inside the island, though no edge of it is the same as another's.
// And a face folded over its neighbour (sharing an edge, lying on the same
// side of it): its other edges are inside the area covered, and the shared
// edge is on the border.
TEST(TemplateIslands, EdgesInsideTheAreaCoveredAreNoBorders) {
    TestRecord t;
    // A quad over v 0.1..0.5, two quads below over 0.5..0.9 whose top edges
    // meet the first's bottom edge at u = 0.5, joined into one island by two
    // slivers at the left.
    t.SetVertices({{0.1, 0.1},
                   {0.9, 0.1},
                   {0.1, 0.5},
                   {0.9, 0.5},
                   {0.5, 0.5},
                   {0.1, 0.9},
                   {0.5, 0.9},
                   {0.9, 0.9},
                   {0.05, 0.5}});
    t.AddTriangle(0, 1, 3);
    t.AddTriangle(0, 3, 2);
    t.AddTriangle(2, 4, 5);
    t.AddTriangle(4, 6, 5);
    t.AddTriangle(4, 3, 6);
    t.AddTriangle(3, 7, 6);
    t.AddTriangle(0, 2, 8);
    t.AddTriangle(2, 5, 8);
    const SurfaceIslands tee = FindIslands(*t);
    EXPECT_EQ(tee.count, 1);
    const TemplateImage image = IslandBorders(*t);
    EXPECT_FALSE(Ink(image, 30, 50) || Ink(image, 70, 50)); // the line v = 0.5
    EXPECT_TRUE(Ink(image, 50, 10) && Ink(image, 90, 30) && Ink(image, 90, 70) &&
                Ink(image, 30, 90) && Ink(image, 70, 90)); // the outline
    // The slivers' outer edges, near u = 0.075.
    EXPECT_TRUE(Ink(image, 6, 30) || Ink(image, 7, 30) || Ink(image, 8, 30));
    EXPECT_TRUE(Ink(image, 6, 70) || Ink(image, 7, 70) || Ink(image, 8, 70));
    EXPECT_FALSE(Ink(image, 10, 30) || Ink(image, 10, 70)); // their inner ones

    TestRecord fold;
    fold.SetVertices({{0.1, 0.1}, {0.9, 0.1}, {0.1, 0.9}, {0.4, 0.3}});
    fold.AddTriangle(0, 1, 2);
    fold.AddTriangle(0, 1, 3); // inside the first, on the same side of 0 -> 1
    const SurfaceIslands folded = FindIslands(*fold);
    ASSERT_EQ(folded.borders.size(), 3u);
    for (const TriangleEdge& e : folded.borders)
        EXPECT_EQ(e.triangle, 0);
    const TemplateImage outline = IslandBorders(*fold);
    EXPECT_TRUE(Ink(outline, 50, 10) && Ink(outline, 10, 50) && Ink(outline, 50, 50));
    EXPECT_FALSE(Ink(outline, 25, 20) || Ink(outline, 65, 20)); // the folded face's edges
}

// A copy that covers only part of an edge leaves the rest of it on the
// border: the stretch drawn ends where the area covered on its other side
// ends.
TEST(TemplateIslands, AnEdgeHalfCoveredIsABorderOnItsOtherHalf) {
    TestRecord r;
    // A quad over 0.1..0.9 x 0.1..0.5; below its bottom edge, one triangle
    // under its left half only, joined to it by two slivers at the left.
    r.SetVertices(
        {{0.1, 0.1}, {0.9, 0.1}, {0.9, 0.5}, {0.1, 0.5}, {0.5, 0.5}, {0.1, 0.9}, {0.05, 0.5}});
    r.AddTriangle(0, 1, 2);
    r.AddTriangle(0, 2, 3);
    r.AddTriangle(3, 4, 5);
    r.AddTriangle(0, 3, 6);
    r.AddTriangle(3, 5, 6);
    const SurfaceIslands islands = FindIslands(*r);
    EXPECT_EQ(islands.count, 1);
    const TemplateImage image = IslandBorders(*r, 200);
    EXPECT_FALSE(Ink(image, 60, 100)); // v = 0.5 under the left half: inside
    EXPECT_TRUE(Ink(image, 140, 100)); // under the right half: the border
    EXPECT_TRUE(Ink(image, 179, 100));
    bool partial = false;
    for (const TriangleEdge& e : islands.borders)
        partial = partial || e.from != 0.0 || e.to != 1.0;
    EXPECT_TRUE(partial);
}

// A face folded inside another of its island is judged alike at the end of
// a sculpt's 300,000 faces as alone: the folded face's edges are inside.
TEST(TemplateIslands, AFoldLateInAHugeSurfaceIsJudgedAsAlone) {
    Surface fold;
    fold.u = {0.1, 0.9, 0.1, 0.4};
    fold.v = {0.1, 0.1, 0.9, 0.3};
    fold.triangles = {{0, 1, 2}, {0, 1, 3}};
    const SurfaceIslands alone = FindIslands(fold);
    ASSERT_EQ(alone.borders.size(), 3u);

    // A 388 x 388 grid of cells in u, v 1..2, then the same fold.
    Surface huge;
    const int side = 388;
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x) {
            huge.u.push_back(1 + double(x) / side);
            huge.v.push_back(1 + double(y) / side);
        }
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int32_t i = y * (side + 1) + x;
            huge.triangles.push_back({i, i + 1, i + side + 1});
            huge.triangles.push_back({i + 1, i + side + 2, i + side + 1});
        }
    const auto first = int32_t(huge.u.size());
    const int firstFace = int(huge.triangles.size());
    huge.u.insert(huge.u.end(), fold.u.begin(), fold.u.end());
    huge.v.insert(huge.v.end(), fold.v.begin(), fold.v.end());
    for (const Triangle& t : fold.triangles)
        huge.triangles.push_back({t.a + first, t.b + first, t.c + first});
    const SurfaceIslands late = FindIslands(huge);
    EXPECT_EQ(late.count, 2);
    std::vector<std::pair<int, int>> expected, found;
    for (const TriangleEdge& e : alone.borders)
        expected.emplace_back(e.triangle, e.corner);
    for (const TriangleEdge& e : late.borders)
        if (e.triangle >= firstFace)
            found.emplace_back(e.triangle - firstFace, e.corner);
    EXPECT_EQ(found, expected);
    // The grid's own border: its four sides, one edge per cell along each.
    EXPECT_EQ(late.borders.size() - found.size(), size_t(4 * side));
}
