// An EPS we write must render: Ghostscript draws it, and the lines of a known
// layout land on the pixels where they belong.
#include "export/EpsTemplate.h"
#include "export/PdfTemplate.h"
#include "export/TemplateFile.h"
#include "render/TemplateImage.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdlib>

namespace {

struct Grey {
    int width = 0, height = 0;
    std::string pixels;
    int At(int x, int y) const { return uint8_t(pixels[size_t(y) * size_t(width) + size_t(x)]); }
    // Dark within one pixel of (x, y): a 1-unit stroke may straddle rows.
    bool DarkNear(int x, int y) const {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (x + dx >= 0 && x + dx < width && y + dy >= 0 && y + dy < height &&
                    At(x + dx, y + dy) < 128)
                    return true;
        return false;
    }
};

// A binary PGM ("P5") or PPM ("P6"): width, height and maximum, with '#'
// comments between; the pixels as bytes, `channels` a pixel.
Grey ReadPnm(const std::string& bytes, const char* wanted, size_t channels) {
    size_t at = 0;
    auto token = [&] {
        while (at < bytes.size() && (std::isspace(uint8_t(bytes[at])) || bytes[at] == '#')) {
            if (bytes[at] == '#')
                at = bytes.find('\n', at);
            else
                ++at;
        }
        const size_t start = at;
        while (at < bytes.size() && !std::isspace(uint8_t(bytes[at])))
            ++at;
        return bytes.substr(start, at - start);
    };
    Grey g;
    const std::string magic = token();
    g.width = std::atoi(token().c_str());
    g.height = std::atoi(token().c_str());
    token(); // maximum value
    g.pixels = bytes.substr(std::min(at + 1, bytes.size()));
    if (magic != wanted || g.pixels.size() != size_t(g.width) * size_t(g.height) * channels)
        g.width = g.height = 0;
    return g;
}

Grey ReadPgm(const std::string& bytes) {
    return ReadPnm(bytes, "P5", 1);
}

// A model of one triangle, (0.25, 0.75) (0.75, 0.75) (0.5, 0.25), loaded.
Model LoadOneTriangle(const TempDir& dir) {
    Md3ModelDesc model;
    model.surfaces.push_back(TriangleSurface("tri", {0.25f, 0.75f}, {0.75f, 0.75f}, {0.5f, 0.25f}));
    return LoadBytes(BuildMd3(model).bytes, dir).model;
}

// The classic EPS template of the model's first surface, as saved.
bool WriteClassicEps(const Model& model, int width, int height, const std::string& path) {
    return WriteTemplateFile(path, {&model.surfaces.at(0)},
                             PlainStyle(width, height, WrapMode::Repeat))
        .ok();
}

} // namespace

TEST(Ghostscript, RendersTheTemplateWithItsLinesInPlace) {
    if (std::system("gs --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "Ghostscript (gs) is not installed";
    TempDir dir;
    const Model model = LoadOneTriangle(dir);
    const std::string eps = dir.File("t.eps"), pgm = dir.File("t.pgm");
    ASSERT_TRUE(WriteClassicEps(model, 128, 64, eps));
    const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -r72 -sDEVICE=pgmraw "
                                "-sOutputFile='" +
                                pgm + "' '" + eps + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Grey g = ReadPgm(ReadWholeFile(pgm));
    ASSERT_EQ(g.width, 128);
    ASSERT_EQ(g.height, 64);
    // Image rows grow downwards: v = 0.75 is row 48, v = 0.25 is row 16.
    for (int x = 36; x <= 92; x += 4)
        EXPECT_TRUE(g.DarkNear(x, 48)) << "bottom edge at x " << x;
    EXPECT_TRUE(g.DarkNear(64, 16)) << "apex";
    EXPECT_TRUE(g.DarkNear(48, 32)) << "left edge";
    EXPECT_TRUE(g.DarkNear(80, 32)) << "right edge";
    int dark = 0;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            dark += g.At(x, y) < 128;
    EXPECT_FALSE(g.DarkNear(64, 38)) << "inside";
    EXPECT_FALSE(g.DarkNear(10, 10)) << "outside";
    EXPECT_FALSE(g.DarkNear(120, 60)) << "outside";
    // Edges of 64 and twice 45 units, a 1-unit stroke on pixel borders covering two pixels.
    EXPECT_GT(dark, 150);
    EXPECT_LT(dark, 400);
}

// A file name cannot reach PostScript as code: a name that holds line breaks,
// a backslash, "quit" and bytes above 127 gives exactly the template of a
// plain name, and Ghostscript prints nothing.
TEST(Ghostscript, HostileFileNamesStayInTheTitle) {
    if (std::system("gs --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "Ghostscript (gs) is not installed";
    TempDir dir;
    const Model model = LoadOneTriangle(dir);
    auto render = [&](const std::string& name, std::string& printed) {
        const std::string eps = dir.File(name), pgm = dir.File("out.pgm"), log = dir.File("gs.log");
        EXPECT_TRUE(WriteClassicEps(model, 96, 64, eps));
        // The name goes to Ghostscript through a link, so the shell never sees it.
        const std::string plain = dir.File("render.eps");
        std::filesystem::remove(plain);
        std::filesystem::create_symlink(eps, plain);
        const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -r72 "
                                    "-sDEVICE=pgmraw -sOutputFile='" +
                                    pgm + "' '" + plain + "' > '" + log + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        printed = ReadWholeFile(log);
        return ReadWholeFile(pgm);
    };
    std::string plainPrinted, hostilePrinted;
    const std::string expected = render("plain.eps", plainPrinted);
    const std::string hostile = "x\n(INJECTED) print flush\n\\\rquit\r\xC3\xA9\x80(.eps";
    const std::string got = render(hostile, hostilePrinted);
    EXPECT_EQ(hostilePrinted, "");
    EXPECT_EQ(plainPrinted, "");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(got, expected);
    const std::string text = ReadWholeFile(dir.File(hostile));
    EXPECT_NE(text.find("%%Title: (x\\012(INJECTED) print "
                        "flush\\012\\\\\\015quit\\015\\303\\251\\200(.eps)\r\n"),
              std::string::npos);
    for (const char c : text)
        EXPECT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
}

namespace {

// Ghostscript's anti-aliased rendering of a template file at 72 dpi.
Grey RenderSmooth(const std::string& file, const std::string& pgm, bool eps) {
    const std::string command = std::string("gs -q -dSAFER -dBATCH -dNOPAUSE -r72 ") +
                                (eps ? "-dEPSCrop " : "") +
                                "-dGraphicsAlphaBits=4 -sDEVICE=pgmraw -sOutputFile='" + pgm +
                                "' '" + file + "' > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return {};
    return ReadPgm(ReadWholeFile(pgm));
}

// The share of pixels of a that have no pixel of about the same grey within
// one pixel in b: lines may sit half a pixel apart in the two drawings.
double Unmatched(const Grey& a, const Grey& b) {
    int unmatched = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            bool matched = false;
            for (int dy = -1; dy <= 1 && !matched; ++dy)
                for (int dx = -1; dx <= 1 && !matched; ++dx) {
                    const int bx = x + dx, by = y + dy;
                    matched = bx >= 0 && by >= 0 && bx < b.width && by < b.height &&
                              std::abs(a.At(x, y) - b.At(bx, by)) <= 64;
                }
            unmatched += !matched;
        }
    return double(unmatched) / (double(a.width) * a.height);
}

} // namespace

// A styled PDF and a styled EPS look like the PNG of the same style.
TEST(Ghostscript, StyledPdfAndEpsMatchThePngOfTheSameStyle) {
    if (std::system("gs --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "Ghostscript (gs) is not installed";
    TempDir dir;
    TestRecord r;
    std::vector<std::array<double, 2>> uv;
    for (int y = 0; y <= 3; ++y)
        for (int x = 0; x <= 3; ++x)
            uv.push_back({0.1 + x * 0.25, 0.1 + y * 0.2 + x * 0.05});
    r.SetVertices(uv);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const int i = y * 4 + x;
            r.AddTriangle(i, i + 1, i + 4);
            r.AddTriangle(i + 1, i + 5, i + 4);
        }
    TemplateStyle style;
    style.width = 160;
    style.height = 120;
    style.line = {20, 20, 120, 255};
    style.lineWidth = 2;
    style.fill = Rgba{200, 200, 200, 255};
    style.background = Rgba{250, 250, 250, 255};
    TemplateStyle smooth = style;
    smooth.antialias = true;
    const TemplateImage image = DrawTemplateImage(smooth, {r.record});
    Grey expected;
    expected.width = image.width;
    expected.height = image.height;
    for (uint32_t p : image.pixels)
        expected.pixels +=
            char((((p >> 16) & 0xFF) * 299 + ((p >> 8) & 0xFF) * 587 + (p & 0xFF) * 114) / 1000);
    const std::string pdf = dir.File("t.pdf"), eps = dir.File("t.eps");
    WriteWholeFile(pdf, BuildPdf({r.record}, style, "t.pdf"));
    WriteWholeFile(eps, BuildEpsText({r.record}, style, "t.eps", nullptr));
    for (const auto& [file, isEps] : {std::pair{pdf, false}, std::pair{eps, true}}) {
        SCOPED_TRACE(file);
        const Grey got = RenderSmooth(file, dir.File("t.pgm"), isEps);
        ASSERT_EQ(got.width, 160);
        ASSERT_EQ(got.height, 120);
        EXPECT_LT(Unmatched(expected, got), 0.01);
        EXPECT_LT(Unmatched(got, expected), 0.01);
        // and the drawing is really there: lines, fill and background all show
        int dark = 0, fill = 0;
        for (char c : got.pixels) {
            dark += uint8_t(c) < 100;
            fill += uint8_t(c) > 190 && uint8_t(c) < 215;
        }
        EXPECT_GT(dark, 500);
        EXPECT_GT(fill, 2000);
    }
}

namespace {

// Ghostscript's colour rendering (binary PPM) of a template file at 72 dpi;
// empty when it cannot run.
std::vector<std::array<int, 3>> RenderColour(const std::string& file, const std::string& ppm,
                                             bool eps, int& width) {
    const std::string command = std::string("gs -q -dSAFER -dBATCH -dNOPAUSE -r72 ") +
                                (eps ? "-dEPSCrop " : "") + "-sDEVICE=ppmraw -sOutputFile='" + ppm +
                                "' '" + file + "' > /dev/null 2>&1";
    std::vector<std::array<int, 3>> pixels;
    if (std::system(command.c_str()) != 0)
        return pixels;
    const Grey image = ReadPnm(ReadWholeFile(ppm), "P6", 3);
    width = image.width;
    const std::string& b = image.pixels;
    for (size_t at = 0; image.width > 0 && at + 2 < b.size(); at += 3)
        pixels.push_back({uint8_t(b[at]), uint8_t(b[at + 1]), uint8_t(b[at + 2])});
    return pixels;
}

} // namespace

// Each colour reaches its own channel in EPS and PDF (a red line is red, not
// blue), and faces that only share an edge are no overlap in vector output.
TEST(Ghostscript, VectorTemplatesKeepTheirChannelsAndTheirOverlapsExact) {
    if (std::system("gs --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "Ghostscript (gs) is not installed";
    TempDir dir;
    TestRecord quad; // two triangles sharing an edge, and a third stacked on them
    quad.SetVertices(
        {{0.1, 0.1}, {0.9, 0.1}, {0.9, 0.9}, {0.1, 0.9}, {0.3, 0.5}, {0.5, 0.5}, {0.4, 0.7}});
    quad.AddTriangle(0, 1, 2);
    quad.AddTriangle(0, 2, 3);
    TemplateStyle style;
    style.width = style.height = 100;
    style.line = {255, 0, 0, 255};
    style.overlaps = true;
    style.overlapColour = {0, 0, 255, 255};
    for (const bool stacked : {false, true}) {
        if (stacked)
            quad.AddTriangle(4, 5, 6);
        for (const bool eps : {false, true}) {
            SCOPED_TRACE(std::string(eps ? "eps" : "pdf") + (stacked ? ", stacked" : ""));
            const std::string file = dir.File(eps ? "t.eps" : "t.pdf");
            WriteWholeFile(file, eps ? BuildEpsText({quad.record}, style, "t.eps", nullptr)
                                     : BuildPdf({quad.record}, style, "t.pdf"));
            int width = 0;
            const auto pixels = RenderColour(file, dir.File("t.ppm"), eps, width);
            ASSERT_EQ(pixels.size(), 100u * 100u);
            int red = 0, blue = 0;
            for (const auto& p : pixels) {
                red += p[0] > 200 && p[1] < 80 && p[2] < 80;
                blue += p[2] > 200 && p[0] < 80 && p[1] < 80;
            }
            EXPECT_GT(red, 200); // the lines
            if (stacked)
                EXPECT_GT(blue, 100); // the stacked face
            else
                EXPECT_EQ(blue, 0); // a shared edge is no overlap
        }
    }
}
