// Templates over several texture files and several named runs of records:
// faces overlap only faces of their own file, and a layered file keeps each
// run's lines apart under the run's name, measured on the pictures and the
// files written.
#include "export/EpsTemplate.h"
#include "export/OraTemplate.h"
#include "export/PsdTemplate.h"
#include "export/SvgTemplate.h"
#include "render/TemplateImage.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cairo.h>
#include <cstdlib>
#include <map>
#include <set>
#include <zip.h>

namespace {

using Records = std::vector<const Surface*>;

// An axis-aligned rectangle [u0, u1] x [v0, v1] as two triangles.
void Rectangle(TestRecord& r, double u0, double v0, double u1, double v1) {
    r.SetVertices({{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}});
    r.AddTriangle(0, 1, 2);
    r.AddTriangle(0, 2, 3);
}

// Overlaps in opaque red, lines out of the way: only the highlight shows.
TemplateStyle OverlapStyle(int size, std::vector<int> sampled) {
    TemplateStyle style;
    style.width = style.height = size;
    style.overlaps = true;
    style.overlapColour = {255, 0, 0, 255};
    style.line = {0, 0, 0, 0};
    style.sampled = std::move(sampled);
    return style;
}

std::vector<bool> RedPixels(const TemplateImage& image) {
    std::vector<bool> red;
    for (const uint32_t p : image.pixels)
        red.push_back(p == 0xFFFF0000u);
    return red;
}

int Count(const std::vector<bool>& pixels) {
    return int(std::count(pixels.begin(), pixels.end(), true));
}

// The template drawn as a PDF page draws it (a vector target), on pixels.
TemplateImage DrawAsPage(const TemplateStyle& style, const Records& records) {
    TemplateImage image;
    image.width = style.width;
    image.height = style.height;
    image.pixels.assign(size_t(image.width) * size_t(image.height), 0);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(image.pixels.data()), CAIRO_FORMAT_ARGB32, image.width,
        image.height, image.width * 4);
    cairo_t* cr = cairo_create(surface);
    DrawTemplate(
        cr, style, records,
        {{double(style.width), double(style.height), 0.0, 0.0}, style.width, style.height, true});
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return image;
}

// The d attribute of the path in each group labelled `label`, in order.
std::vector<std::string> PathsLabelled(const std::string& svg, const std::string& label) {
    std::vector<std::string> paths;
    const std::string key = "inkscape:label=\"" + label + "\"";
    for (size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1)) {
        const size_t d = svg.find(" d=\"", at);
        const size_t end = svg.find('"', d + 4);
        paths.push_back(svg.substr(d + 4, end - d - 4));
    }
    return paths;
}

} // namespace

TEST(OverlapFiles, FacesStackedOverFacesOfAnotherTextureAreNoOverlap) {
    TestRecord a, b;
    Rectangle(a, 0.2, 0.2, 0.8, 0.8);
    Rectangle(b, 0.2, 0.2, 0.8, 0.8);
    const Records both{a.record, b.record};
    const int covered = 60 * 60; // the rectangle's pixel centres at 100 x 100
    // One file (none given, or the same id twice): the whole rectangle overlaps.
    for (const std::vector<int>& one : {std::vector<int>{}, std::vector<int>{3, 3}}) {
        EXPECT_EQ(Count(RedPixels(DrawTemplateImage(OverlapStyle(100, one), both))), covered);
        EXPECT_EQ(Count(RedPixels(DrawAsPage(OverlapStyle(100, one), both))), covered);
    }
    // Two files: nothing, on pixels and on a page.
    EXPECT_EQ(Count(RedPixels(DrawTemplateImage(OverlapStyle(100, {0, 1}), both))), 0);
    EXPECT_EQ(Count(RedPixels(DrawAsPage(OverlapStyle(100, {0, 1}), both))), 0);
    // The filled faces and the overlaps drawn from one count keep the fill whole.
    TemplateStyle filled = OverlapStyle(100, {0, 1});
    filled.fill = Rgba{0, 0, 255, 255};
    const TemplateImage fill = DrawTemplateImage(filled, both);
    EXPECT_EQ(std::count(fill.pixels.begin(), fill.pixels.end(), 0xFF0000FFu), covered);
    // The SVG fills the faces touching an overlap: none of either surface.
    for (const std::string& d :
         PathsLabelled(BuildSvgText(both, OverlapStyle(100, {0, 1})), "overlaps"))
        EXPECT_EQ(d, "");
    const std::vector<std::string> same =
        PathsLabelled(BuildSvgText(both, OverlapStyle(100, {2, 2})), "overlaps");
    ASSERT_EQ(same.size(), 2u);
    for (const std::string& d : same)
        EXPECT_EQ(std::count(d.begin(), d.end(), 'Z'), 2) << d;
}

TEST(OverlapFiles, TwoOfOneFileOverlapOnlyWhereTheyShareUnderAThirdOfAnother) {
    TestRecord a, b, c;
    Rectangle(a, 0.1, 0.1, 0.6, 0.6);
    Rectangle(b, 0.4, 0.4, 0.9, 0.9);
    Rectangle(c, 0.05, 0.05, 0.95, 0.95); // over both, sampling another file
    const Records records{a.record, b.record, c.record};
    const int size = 100;
    // The pixels whose centres lie inside both a and b: [0.4, 0.6] squared.
    std::vector<bool> shared(size_t(size) * size_t(size), false);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size, v = (y + 0.5) / size;
            shared[size_t(y) * size_t(size) + size_t(x)] = u > 0.4 && u < 0.6 && v > 0.4 && v < 0.6;
        }
    EXPECT_EQ(RedPixels(DrawTemplateImage(OverlapStyle(size, {7, 7, 9}), records)), shared);
    // All of one file, c overlaps all of a and b.
    EXPECT_GT(Count(RedPixels(DrawTemplateImage(OverlapStyle(size, {}), records))),
              Count(shared) * 4);
    // A list shorter than the records: the missing ids are file 0, so a
    // (file 5) overlaps nothing and b and c (file 0) overlap on all of b.
    std::vector<bool> onB(shared.size(), false);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size, v = (y + 0.5) / size;
            onB[size_t(y) * size_t(size) + size_t(x)] = u > 0.4 && u < 0.9 && v > 0.4 && v < 0.9;
        }
    EXPECT_EQ(RedPixels(DrawTemplateImage(OverlapStyle(size, {5}), records)), onB);
    // On a page, the faces touching an overlap of their own file are a's
    // and b's, not c's: c's would cover the frame beyond them.
    const std::vector<bool> page = RedPixels(DrawAsPage(OverlapStyle(size, {7, 7, 9}), records));
    EXPECT_TRUE(page[size_t(50) * size + 50]);
    EXPECT_TRUE(page[size_t(20) * size + 20]); // a, away from b
    EXPECT_FALSE(page[size_t(7) * size + 7]);  // c alone
}

TEST(OverlapFiles, EpsThroughGhostscriptHighlightsOnlyOneFilesOverlaps) {
    if (std::system("gs --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "Ghostscript (gs) is not installed";
    TestRecord a, b;
    Rectangle(a, 0.2, 0.2, 0.8, 0.8);
    Rectangle(b, 0.2, 0.2, 0.8, 0.8);
    TempDir dir;
    auto red = [&](const std::vector<int>& sampled) {
        const std::string eps = dir.File("t.eps"), ppm = dir.File("t.ppm");
        WriteWholeFile(
            eps, BuildEpsText({a.record, b.record}, OverlapStyle(100, sampled), "t", nullptr));
        const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -r72 "
                                    "-sDEVICE=ppmraw -sOutputFile='" +
                                    ppm + "' '" + eps + "' > /dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        const std::string bytes = ReadWholeFile(ppm);
        // "P6\n100 100\n255\n" then the pixels.
        const std::string pixels =
            bytes.substr(bytes.size() - std::min<size_t>(bytes.size(), 30000));
        int n = 0;
        for (size_t i = 0; i + 2 < pixels.size(); i += 3)
            n += uint8_t(pixels[i]) > 200 && uint8_t(pixels[i + 1]) < 60 &&
                 uint8_t(pixels[i + 2]) < 60;
        return n;
    };
    EXPECT_EQ(red({0, 1}), 0);
    EXPECT_GT(red({1, 1}), 3000);
}

TEST(RecordRuns, CountsThatDoNotAddUpAreMended) {
    auto runs = [](std::vector<TemplateStyle::Run> given, size_t records) {
        TemplateStyle style;
        style.runs = std::move(given);
        std::vector<std::pair<size_t, size_t>> out;
        for (const RecordRun& r : RunsOf(style, records))
            out.emplace_back(r.first, r.count);
        return out;
    };
    using Spans = std::vector<std::pair<size_t, size_t>>;
    EXPECT_EQ(runs({}, 3), (Spans{{0, 3}}));
    EXPECT_EQ(runs({{1, "a"}, {2, "b"}}, 3), (Spans{{0, 1}, {1, 2}}));
    EXPECT_EQ(runs({{1, "a"}}, 3), (Spans{{0, 3}})); // the last takes the rest
    EXPECT_EQ(runs({{2, "a"}, {5, "b"}, {4, "c"}}, 3), (Spans{{0, 2}, {2, 1}})); // too many
    EXPECT_EQ(runs({{0, "a"}, {2, "b"}, {0, "c"}}, 2), (Spans{{0, 2}}));
    EXPECT_EQ(runs({{SIZE_MAX, "a"}, {SIZE_MAX, "b"}}, 2), (Spans{{0, 2}}));
    EXPECT_EQ(runs({{1, "a"}}, 0), (Spans{{0, 0}}));
    TemplateStyle named;
    named.runs = {{4, "only"}};
    EXPECT_TRUE(SplitsRuns(RunsOf(named, 2)));
    named.runs = {{4, ""}};
    EXPECT_FALSE(SplitsRuns(RunsOf(named, 2)));
}

TEST(RecordRuns, NamesAreCutBetweenCharactersAndCleanOfControls) {
    EXPECT_EQ(CleanRunName("legs (red)"), "legs (red)");
    EXPECT_EQ(
        CleanRunName(std::string("a\x01\n\x7f\xC2\x85z", 7)),
        "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz"); // U+0085 byte by byte
    EXPECT_EQ(CleanRunName("\xC3(\xED\xA0\x80"),
              "\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    std::string accents;
    for (int i = 0; i < 150; ++i)
        accents += "\xC3\xA9"; // é
    EXPECT_EQ(CleanRunName(accents), accents.substr(0, kMaxRunNameBytes));
    std::string euros;
    for (int i = 0; i < 100; ++i)
        euros += "\xE2\x82\xAC"; // €
    const std::string cut = CleanRunName(euros);
    EXPECT_EQ(cut, euros.substr(0, kMaxRunNameBytes / 3 * 3));
    EXPECT_EQ(CleanRunName(std::string(10000, 'x')).size(), kMaxRunNameBytes);
}

namespace {

struct PsdLayer {
    std::string name, unicode; // the Pascal name; the Unicode name as UTF-8, when any
};

// The layer records of a PSD file as written: each name and Unicode name.
std::vector<PsdLayer> PsdLayers(const std::string& psd) {
    auto be = [&](size_t at, int bytes) {
        uint32_t v = 0;
        for (int k = 0; k < bytes; ++k)
            v = v << 8 | uint8_t(psd.at(at + size_t(k)));
        return v;
    };
    size_t at = 26;
    at += 4 + be(at, 4); // colour mode data
    at += 4 + be(at, 4); // image resources
    at += 8;             // the layer and mask section's length, the layer info's
    const int count = std::abs(int16_t(be(at, 2)));
    at += 2;
    std::vector<PsdLayer> layers;
    for (int i = 0; i < count; ++i) {
        at += 16;
        const uint32_t channels = be(at, 2);
        at += 2 + 6 * channels + 12;
        const size_t extra = be(at, 4), end = at + 4 + extra;
        at += 4;
        at += 4 + be(at, 4); // mask
        at += 4 + be(at, 4); // blending ranges
        PsdLayer layer;
        const size_t length = uint8_t(psd.at(at));
        layer.name = psd.substr(at + 1, length);
        at += (length + 4) / 4 * 4;
        while (at + 12 <= end) {
            const std::string key = psd.substr(at + 4, 4);
            const size_t size = be(at + 8, 4);
            if (key == "luni") {
                const uint32_t units = be(at + 12, 4);
                for (uint32_t k = 0; k < units; ++k) {
                    uint32_t c = be(at + 16 + 2 * k, 2);
                    if (c >= 0xD800 && c < 0xDC00) {
                        c = 0x10000 + ((c - 0xD800) << 10) + (be(at + 18 + 2 * k, 2) - 0xDC00);
                        ++k;
                    }
                    if (c < 0x80) {
                        layer.unicode += char(c);
                    } else if (c < 0x800) {
                        layer.unicode += char(0xC0 | (c >> 6));
                        layer.unicode += char(0x80 | (c & 0x3F));
                    } else if (c < 0x10000) {
                        layer.unicode += char(0xE0 | (c >> 12));
                        layer.unicode += char(0x80 | ((c >> 6) & 0x3F));
                        layer.unicode += char(0x80 | (c & 0x3F));
                    } else {
                        layer.unicode += char(0xF0 | (c >> 18));
                        layer.unicode += char(0x80 | ((c >> 12) & 0x3F));
                        layer.unicode += char(0x80 | ((c >> 6) & 0x3F));
                        layer.unicode += char(0x80 | (c & 0x3F));
                    }
                }
            }
            at += 12 + size;
        }
        EXPECT_EQ(at, end) << "layer " << i;
        at = end;
        layers.push_back(layer);
    }
    return layers;
}

// The entries of a zip archive held in memory, by name.
std::map<std::string, std::string> Unzip(const std::string& bytes) {
    std::map<std::string, std::string> entries;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive) {
        zip_source_free(source);
        zip_error_fini(&error);
        return entries;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        std::string content(size_t(stat.size), '\0');
        zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        if (file) {
            zip_fread(file, content.data(), stat.size);
            zip_fclose(file);
        }
        entries[stat.name] = content;
    }
    zip_close(archive);
    zip_error_fini(&error);
    return entries;
}

// The values of attribute `name` in the order they appear.
std::vector<std::string> Attributes(const std::string& xml, const std::string& name) {
    std::vector<std::string> values;
    const std::string key = " " + name + "=\"";
    for (size_t at = xml.find(key); at != std::string::npos; at = xml.find(key, at + 1)) {
        const size_t from = at + key.size();
        values.push_back(xml.substr(from, xml.find('"', from) - from));
    }
    return values;
}

// Two stacked-apart grids of lines, one run each, with overlaps and seams so
// that the lines sit among other layers.
struct TwoRuns {
    TestRecord a, b;
    TemplateStyle style;
    TwoRuns(const std::string& first, const std::string& second) {
        Rectangle(a, 0.1, 0.1, 0.5, 0.5);
        Rectangle(b, 0.3, 0.4, 0.9, 0.9);
        style.width = 96;
        style.height = 64;
        style.overlaps = true;
        style.seams = kDefaultSeamColour;
        style.runs = {{1, first}, {1, second}};
    }
    Records records() const { return {a.record, b.record}; }
};

} // namespace

TEST(RecordRuns, LayeredFilesKeepEachRunsLinesInALayerOfItsName) {
    for (const bool smooth : {false, true}) {
        TwoRuns t("head.md3: h_head (default)", "upper.md3: u_torso (red)");
        t.style.antialias = smooth;
        t.style.lineWidth = smooth ? 2.5 : 1.0;
        const LayeredTemplate layered = DrawLayeredTemplate(t.style, t.records());
        std::vector<std::string> names;
        for (const LayerImage& l : layered.layers)
            names.push_back(l.name);
        EXPECT_EQ(names, (std::vector<std::string>{"overlaps", "lines: head.md3: h_head (default)",
                                                   "lines: upper.md3: u_torso (red)", "seams"}));
        // The merged picture is the one drawn without runs.
        TemplateStyle unsplit = t.style;
        unsplit.runs.clear();
        const LayeredTemplate whole = DrawLayeredTemplate(unsplit, t.records());
        EXPECT_EQ(layered.merged.pixels, whole.merged.pixels);
        ASSERT_EQ(whole.layers.size(), 3u);
        EXPECT_EQ(whole.layers[1].name, "lines");
        // Each run's layer holds its own record's lines, as drawn alone.
        for (size_t k = 0; k < 2; ++k) {
            const LayeredTemplate alone = DrawLayeredTemplate(unsplit, {t.records()[k]});
            ASSERT_EQ(layered.layers.size(), 4u);
            EXPECT_EQ(layered.layers[1 + k].image.pixels, alone.layers[1].image.pixels) << k;
            EXPECT_GT(std::count_if(alone.layers[1].image.pixels.begin(),
                                    alone.layers[1].image.pixels.end(),
                                    [](uint32_t p) { return p >> 24; }),
                      100);
        }
        // The files carry the names and a picture for each layer.
        std::vector<std::string> psdNames;
        for (const PsdLayer& l : PsdLayers(EncodePsd(layered)))
            psdNames.push_back(l.name);
        EXPECT_EQ(psdNames, names);
        const std::map<std::string, std::string> ora = Unzip(EncodeOra(layered));
        ASSERT_TRUE(ora.count("stack.xml"));
        std::vector<std::string> stacked = Attributes(ora.at("stack.xml"), "name");
        std::reverse(stacked.begin(), stacked.end()); // the stack lists the top first
        EXPECT_EQ(stacked, names);
        const std::vector<std::string> sources = Attributes(ora.at("stack.xml"), "src");
        EXPECT_EQ(std::set<std::string>(sources.begin(), sources.end()).size(), 4u);
        for (const std::string& src : sources)
            EXPECT_TRUE(ora.count(src) && ora.at(src).substr(1, 3) == "PNG") << src;
    }
}

TEST(RecordRuns, HostileRunNamesSurviveInEveryFile) {
    const std::string hostile =
        std::string("<&\"'>\x01\x1b\x7f\xFF") + "\xC3\xA9" + std::string(10000, 'x') + "</g>";
    TwoRuns t(hostile, "second");
    const std::string clean = CleanRunName(hostile);
    ASSERT_LE(clean.size(), kMaxRunNameBytes);
    const LayeredTemplate layered = DrawLayeredTemplate(t.style, t.records());
    ASSERT_EQ(layered.layers.size(), 4u);
    EXPECT_EQ(layered.layers[1].name, "lines: " + clean);
    // PSD: a Pascal name of printable ASCII, the whole name in Unicode.
    const std::vector<PsdLayer> psd = PsdLayers(EncodePsd(layered));
    ASSERT_EQ(psd.size(), 4u);
    EXPECT_LE(psd[1].name.size(), 255u);
    EXPECT_TRUE(std::all_of(psd[1].name.begin(), psd[1].name.end(),
                            [](char c) { return c >= 0x20 && c < 0x7F; }));
    EXPECT_EQ(psd[1].name.substr(0, 12), "lines: <&\"'>");
    EXPECT_EQ(psd[1].unicode, "lines: " + clean);
    EXPECT_EQ(psd[2].name, "lines: second");
    EXPECT_EQ(psd[2].unicode, "");
    // ORA and SVG: escaped, the markup around intact.
    const std::string expected = "lines: &lt;&amp;&quot;'&gt;";
    const std::map<std::string, std::string> ora = Unzip(EncodeOra(layered));
    const std::vector<std::string> names = Attributes(ora.at("stack.xml"), "name");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[2].substr(0, expected.size()), expected);
    EXPECT_EQ(names[1], "lines: second");
    const std::string svg = BuildSvgText(t.records(), t.style);
    for (const char c : svg)
        ASSERT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n');
    size_t opened = 0, closed = 0;
    for (size_t at = svg.find("<g "); at != std::string::npos; at = svg.find("<g ", at + 1))
        ++opened;
    for (size_t at = svg.find("</g>"); at != std::string::npos; at = svg.find("</g>", at + 1))
        ++closed;
    EXPECT_EQ(opened, closed);
    // Two run groups around the surfaces' groups, each named by its run.
    const std::vector<std::string> labels = Attributes(svg, "inkscape:label");
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels[0].substr(0, 21), "&lt;&amp;&quot;'&gt;\xEF");
    EXPECT_NE(std::find(labels.begin(), labels.end(), "second"), labels.end());
    EXPECT_NE(svg.find("<title>second</title>"), std::string::npos);
    EXPECT_EQ(svg.find(std::string(201, 'x')), std::string::npos);
    // Without runs, no such groups: the first label is the first surface's.
    TemplateStyle unsplit = t.style;
    unsplit.runs.clear();
    EXPECT_EQ(BuildSvgText(t.records(), unsplit).find("<title>"), std::string::npos);
}
