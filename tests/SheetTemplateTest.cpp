// Sheets: several templates on one canvas. Every page must come out as its
// own template drawn alone, at the place the layout gave it, with its label in
// the strip above and nothing anywhere else.
#include "export/SheetTemplate.h"
#include "export/SvgTemplate.h"
#include "image/TextureImage.h"
#include "render/TemplateImage.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <cctype>
#include <cstdlib>
#include <zip.h>

namespace {

// Three templates of different sizes and looks: a plain one, a filled
// smooth one with red lines, a tall one with thick blue lines.
class SheetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        a.SetVertices({{0.1, 0.1}, {0.9, 0.2}, {0.5, 0.9}});
        a.AddTriangle(0, 1, 2);
        b.SetVertices({{0.0, 0.0}, {1.0, 0.0}, {1.0, 1.0}, {0.0, 1.0}});
        b.AddTriangle(0, 1, 2);
        b.AddTriangle(0, 2, 3);
        c.SetVertices({{0.2, 0.05}, {0.8, 0.5}, {0.3, 0.95}});
        c.AddTriangle(0, 1, 2);
        TemplateStyle styled;
        styled.width = 100;
        styled.height = 80;
        styled.line = {200, 0, 0, 255};
        styled.antialias = true;
        styled.fill = Rgba{255, 230, 200, 255};
        TemplateStyle tall;
        tall.width = 40;
        tall.height = 120;
        tall.line = {0, 0, 220, 255};
        tall.lineWidth = 3;
        pages = {
            {"models/players/x/head_default: head.tga 64x48",
             {a.record},
             PlainStyle(64, 48, WrapMode::Clip)},
            {"upper: body.tga 100x80", {b.record}, styled},
            {"lower: legs.tga 40x120 with a label far longer than its page", {c.record}, tall}};
    }
    TestRecord a, b, c;
    std::vector<SheetPage> pages;
};

bool Inside(const SheetBox& box, int x, int y) {
    return x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height;
}

bool Overlap(const SheetBox& p, const SheetBox& q) {
    return p.x < q.x + q.width && q.x < p.x + p.width && p.y < q.y + q.height &&
           q.y < p.y + p.height;
}

uint32_t PixelOf(const TextureImage& image, int x, int y) {
    const uint8_t* p = &image.rgba[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
    return uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

TextureImage DecodedPng(const std::string& bytes) {
    TextureImage image;
    EXPECT_TRUE(
        DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image).ok());
    return image;
}

SheetLayout LayoutOf(const std::vector<SheetPage>& pages) {
    const Result<SheetLayout> layout = LayOutSheet(pages);
    EXPECT_TRUE(layout.ok()) << layout.error().reason;
    return layout.ok() ? layout.value() : SheetLayout{};
}

// Each page's pixels are its own template's; outside the pages and the label
// strips only the background; every label leaves ink in its strip and only
// there.
void ExpectSheetPicture(const TextureImage& sheet, const std::vector<SheetPage>& pages,
                        const SheetLayout& layout, uint32_t background) {
    ASSERT_EQ(sheet.width, layout.width);
    ASSERT_EQ(sheet.height, layout.height);
    for (size_t i = 0; i < pages.size(); ++i) {
        const TemplateImage alone = DrawTemplateImage(pages[i].style, pages[i].records);
        const SheetBox& at = layout.places[i].page;
        ASSERT_EQ(alone.width, at.width);
        ASSERT_EQ(alone.height, at.height);
        int wrong = 0;
        for (int y = 0; y < at.height; ++y)
            for (int x = 0; x < at.width; ++x)
                wrong += PixelOf(sheet, at.x + x, at.y + y) != StraightPixel(alone.At(x, y));
        EXPECT_EQ(wrong, 0) << "page " << i;
    }
    std::vector<int> ink(pages.size(), 0);
    int stray = 0;
    for (int y = 0; y < sheet.height; ++y)
        for (int x = 0; x < sheet.width; ++x) {
            bool onPage = false;
            for (size_t i = 0; i < pages.size() && !onPage; ++i)
                onPage = Inside(layout.places[i].page, x, y);
            if (onPage || PixelOf(sheet, x, y) == background)
                continue;
            bool inLabel = false;
            for (size_t i = 0; i < pages.size(); ++i)
                if (Inside(layout.places[i].label, x, y)) {
                    ++ink[i];
                    inLabel = true;
                }
            stray += !inLabel;
        }
    EXPECT_EQ(stray, 0);
    for (size_t i = 0; i < pages.size(); ++i)
        EXPECT_GT(ink[i], 20) << "label " << i;
}

// The layers of a PSD: name (the Unicode one when there is one) and bounds.
struct PsdLayer {
    std::string name;
    int top, left, bottom, right;
};
std::vector<PsdLayer> PsdLayers(const std::string& psd) {
    size_t at = 26;
    auto u32 = [&](size_t p) {
        return p + 4 <= psd.size()
                   ? uint32_t(uint8_t(psd[p])) << 24 | uint32_t(uint8_t(psd[p + 1])) << 16 |
                         uint32_t(uint8_t(psd[p + 2])) << 8 | uint8_t(psd[p + 3])
                   : 0u;
    };
    auto u16 = [&](size_t p) {
        return p + 2 <= psd.size() ? uint32_t(uint8_t(psd[p])) << 8 | uint8_t(psd[p + 1]) : 0u;
    };
    at += 4 + u32(at); // colour mode data
    at += 4 + u32(at); // image resources
    at += 8;           // layer and mask section, layer info lengths
    const int count = std::abs(int16_t(u16(at)));
    at += 2;
    std::vector<PsdLayer> layers;
    for (int i = 0; i < count && at < psd.size(); ++i) {
        PsdLayer layer{"", int(u32(at)), int(u32(at + 4)), int(u32(at + 8)), int(u32(at + 12))};
        const size_t channels = u16(at + 16);
        at += 18 + channels * 6 + 12;
        const size_t extra = u32(at), end = at + 4 + extra;
        size_t p = at + 4;
        p += 4 + u32(p); // mask
        p += 4 + u32(p); // blending ranges
        const size_t nameLength = p < psd.size() ? uint8_t(psd[p]) : 0;
        layer.name = psd.substr(std::min(p + 1, psd.size()), nameLength);
        p += (nameLength + 4) / 4 * 4;
        while (p + 12 <= end && psd.compare(p, 4, "8BIM") == 0) {
            const size_t length = u32(p + 8);
            if (psd.compare(p + 4, 4, "luni") == 0) {
                // UTF-16 big-endian back to UTF-8 through a pair-aware loop.
                std::string utf8;
                const size_t units = u32(p + 12);
                for (size_t k = 0; k < units; ++k) {
                    uint32_t code = u16(p + 16 + 2 * k);
                    if (code >= 0xD800 && code < 0xDC00 && k + 1 < units)
                        code = 0x10000 + ((code - 0xD800) << 10) + (u16(p + 18 + 2 * k++) - 0xDC00);
                    char buffer[8] = {};
                    if (code < 0x80)
                        buffer[0] = char(code);
                    else if (code < 0x800)
                        buffer[0] = char(0xC0 | code >> 6), buffer[1] = char(0x80 | (code & 0x3F));
                    else if (code < 0x10000)
                        buffer[0] = char(0xE0 | code >> 12),
                        buffer[1] = char(0x80 | (code >> 6 & 0x3F)),
                        buffer[2] = char(0x80 | (code & 0x3F));
                    else
                        buffer[0] = char(0xF0 | code >> 18),
                        buffer[1] = char(0x80 | (code >> 12 & 0x3F)),
                        buffer[2] = char(0x80 | (code >> 6 & 0x3F)),
                        buffer[3] = char(0x80 | (code & 0x3F));
                    utf8 += buffer;
                }
                layer.name = utf8;
            }
            p += 12 + length;
        }
        at = end;
        layers.push_back(layer);
    }
    return layers;
}

// One entry of a zip held in memory; empty when it is not there.
std::string ZipEntry(const std::string& archive, const std::string& name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    std::string out;
    if (zip) {
        zip_stat_t stat;
        zip_file_t* file =
            zip_stat(zip, name.c_str(), 0, &stat) == 0 ? zip_fopen(zip, name.c_str(), 0) : nullptr;
        if (file) {
            out.resize(size_t(stat.size));
            if (zip_fread(file, out.data(), stat.size) != zip_int64_t(stat.size))
                out.clear();
            zip_fclose(file);
        }
        zip_close(zip);
    } else if (source) {
        zip_source_free(source);
    }
    zip_error_fini(&error);
    return out;
}

// Whether Cairo takes the text as UTF-8: it refuses anything else.
bool CairoTakes(const std::string& text) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 4, 4);
    cairo_t* cr = cairo_create(surface);
    cairo_show_text(cr, text.c_str());
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

TEST_F(SheetTest, LayoutKeepsOrderSizesAndRoom) {
    const SheetLayout layout = LayoutOf(pages);
    ASSERT_EQ(layout.places.size(), pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        const SheetPlace& p = layout.places[i];
        EXPECT_EQ(p.page.width, pages[i].style.width);
        EXPECT_EQ(p.page.height, pages[i].style.height);
        // The label strip sits right above its page, as wide.
        EXPECT_EQ(p.label.x, p.page.x);
        EXPECT_EQ(p.label.y + p.label.height, p.page.y);
        EXPECT_EQ(p.label.width, p.page.width);
        EXPECT_GT(p.label.height, 10);
        EXPECT_GE(p.label.x, kSheetMargin);
        EXPECT_GE(p.label.y, kSheetMargin);
        EXPECT_LE(p.page.x + p.page.width, layout.width - kSheetMargin);
        EXPECT_LE(p.page.y + p.page.height, layout.height - kSheetMargin);
        for (size_t j = 0; j < i; ++j) {
            const SheetPlace& q = layout.places[j];
            for (const SheetBox* one : {&p.page, &p.label})
                for (const SheetBox* other : {&q.page, &q.label})
                    EXPECT_FALSE(Overlap(*one, *other)) << i << " and " << j;
            // In order: to the right in the same row, or in a row below.
            EXPECT_TRUE(p.label.y == q.label.y ? p.page.x > q.page.x : p.label.y > q.label.y);
        }
    }
    // A single page: the sheet is the page, its label and the margins.
    const SheetLayout one = LayoutOf({pages[1]});
    EXPECT_EQ(one.width, 100 + 2 * kSheetMargin);
    EXPECT_EQ(one.height, 80 + kSheetLabelHeight + 2 * kSheetMargin);
}

TEST_F(SheetTest, ManyPagesFormARoughSquareNeverNarrowerThanTheWidest) {
    std::vector<SheetPage> many;
    for (int i = 0; i < 16; ++i)
        many.push_back({"p" + std::to_string(i), {a.record}, PlainStyle(64, 64, WrapMode::Clip)});
    many.push_back({"wide", {a.record}, PlainStyle(900, 10, WrapMode::Clip)});
    const SheetLayout layout = LayoutOf(many);
    EXPECT_GE(layout.width, 900 + 2 * kSheetMargin);
    const SheetLayout square = LayoutOf(std::vector<SheetPage>(many.begin(), many.end() - 1));
    // 16 equal pages: 4 rows of 4.
    EXPECT_EQ(square.places[3].label.y, square.places[0].label.y);
    EXPECT_GT(square.places[4].label.y, square.places[0].label.y);
    EXPECT_EQ(square.places[15].label.y, square.places[12].label.y);
    EXPECT_EQ(square.width, 4 * 64 + 3 * kSheetGap + 2 * kSheetMargin);
    // Three or more equal pages: about as wide as tall, never a column or
    // a row when a grid would do (two can only be a row or a column).
    for (size_t n = 3; n <= 30; ++n) {
        const SheetLayout grid = LayoutOf(
            std::vector<SheetPage>(n, {"", {a.record}, PlainStyle(200, 200, WrapMode::Clip)}));
        const int longer = std::max(grid.width, grid.height),
                  shorter = std::min(grid.width, grid.height);
        EXPECT_LE(longer, shorter * 17 / 10)
            << n << " pages: " << grid.width << " x " << grid.height;
    }
}

TEST_F(SheetTest, PngHoldsEachTemplateAtItsPlaceAndLabelsOnlyInTheirStrips) {
    const Result<std::string> png = BuildSheetBytes(pages, TemplateFormat::Png, "sheet.png");
    ASSERT_TRUE(png.ok()) << png.error().reason;
    ASSERT_FALSE(png.value().empty());
    const SheetLayout layout = LayoutOf(pages);
    const TextureImage sheet = DecodedPng(png.value());
    ExpectSheetPicture(sheet, pages, layout, 0xFFFFFFFFu);
    // Each label in its page's line colour: the red page's ink is red, the
    // blue one's blue.
    auto darkest = [&](size_t i) {
        const SheetBox& box = layout.places[i].label;
        uint32_t best = 0xFFFFFFFFu;
        int bestSum = 3 * 255;
        for (int y = box.y; y < box.y + box.height; ++y)
            for (int x = box.x; x < box.x + box.width; ++x) {
                const uint32_t p = PixelOf(sheet, x, y);
                const int sum = int((p >> 16) & 0xFF) + int((p >> 8) & 0xFF) + int(p & 0xFF);
                if (sum < bestSum)
                    bestSum = sum, best = p;
            }
        return best;
    };
    const uint32_t red = darkest(1), blue = darkest(2);
    EXPECT_GT((red >> 16) & 0xFF, (red & 0xFF) + 100);
    EXPECT_GT(blue & 0xFF, ((blue >> 16) & 0xFF) + 100);
}

TEST_F(SheetTest, EveryPictureFormatAndTheLayeredMergedAgree) {
    const std::string png = BuildSheetBytes(pages, TemplateFormat::Png, "s").value();
    const TextureImage flat = DecodedPng(png);
    // The TGA: 32-bit, top row first, after an 18-byte header.
    const std::string tga = BuildSheetBytes(pages, TemplateFormat::Tga, "s").value();
    ASSERT_GE(tga.size(), 18 + flat.rgba.size());
    int wrong = 0;
    for (int y = 0; y < flat.height; ++y)
        for (int x = 0; x < flat.width; ++x) {
            const uint8_t* p = reinterpret_cast<const uint8_t*>(
                &tga[18 + (size_t(y) * size_t(flat.width) + size_t(x)) * 4]);
            wrong += (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]) !=
                     PixelOf(flat, x, y);
        }
    EXPECT_EQ(wrong, 0);
    const std::string bmp = BuildSheetBytes(pages, TemplateFormat::Bmp, "s").value();
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    // The OpenRaster's merged picture is the flat one.
    const std::string ora = BuildSheetBytes(pages, TemplateFormat::Ora, "s").value();
    const TextureImage merged = DecodedPng(ZipEntry(ora, "mergedimage.png"));
    EXPECT_EQ(merged.width, flat.width);
    EXPECT_EQ(merged.rgba, flat.rgba);
}

TEST_F(SheetTest, LayeredFilesHoldALayerPerPageNamedAfterItsLabel) {
    const SheetLayout layout = LayoutOf(pages);
    const std::string psd = BuildSheetBytes(pages, TemplateFormat::Psd, "s").value();
    const std::vector<PsdLayer> layers = PsdLayers(psd);
    ASSERT_EQ(layers.size(), pages.size() + 2);
    EXPECT_EQ(layers.front().name, "background");
    EXPECT_EQ(layers.back().name, "labels");
    EXPECT_EQ(layers.back().right, layout.width);
    EXPECT_EQ(layers.back().bottom, layout.height);
    for (size_t i = 0; i < pages.size(); ++i) {
        const PsdLayer& l = layers[i + 1];
        const SheetBox& at = layout.places[i].page;
        EXPECT_EQ(l.name, pages[i].label);
        EXPECT_EQ(l.left, at.x);
        EXPECT_EQ(l.top, at.y);
        EXPECT_EQ(l.right, at.x + at.width);
        EXPECT_EQ(l.bottom, at.y + at.height);
    }

    const std::string ora = BuildSheetBytes(pages, TemplateFormat::Ora, "s").value();
    const std::string stack = ZipEntry(ora, "stack.xml");
    size_t previous = std::string::npos; // the stack lists the top first
    for (size_t i = 0; i < pages.size(); ++i) {
        const SheetBox& at = layout.places[i].page;
        const size_t found = stack.find("name=\"" + pages[i].label + "\"");
        ASSERT_NE(found, std::string::npos) << stack;
        const size_t end = stack.find("/>", found);
        const std::string entry = stack.substr(found, end - found);
        EXPECT_NE(
            entry.find("x=\"" + std::to_string(at.x) + "\" y=\"" + std::to_string(at.y) + "\""),
            std::string::npos)
            << entry;
        if (i > 0) {
            EXPECT_LT(found, previous);
        }
        previous = found;
        // The layer's picture is the page's own template.
        const size_t src = entry.find("src=\"") + 5;
        const TextureImage layer =
            DecodedPng(ZipEntry(ora, entry.substr(src, entry.find('"', src) - src)));
        const TemplateImage alone = DrawTemplateImage(pages[i].style, pages[i].records);
        ASSERT_EQ(layer.width, alone.width);
        ASSERT_EQ(layer.height, alone.height);
        int wrong = 0;
        for (int y = 0; y < alone.height; ++y)
            for (int x = 0; x < alone.width; ++x)
                wrong += PixelOf(layer, x, y) != StraightPixel(alone.At(x, y));
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_NE(stack.find("name=\"labels\""), std::string::npos);
    EXPECT_NE(stack.find("name=\"background\""), std::string::npos);
}

TEST_F(SheetTest, HostileLabelsAreShownAsPrintableUtf8) {
    EXPECT_EQ(SheetLabelText("a\x01"
                             "b\tc\n\x7F"
                             "d"),
              "a b c  d");
    EXPECT_EQ(SheetLabelText("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(SheetLabelText("\xFF"), "\xEF\xBF\xBD");
    // An overlong '/' and a lone surrogate are not characters.
    EXPECT_EQ(SheetLabelText("\xC0\xAF").find('/'), std::string::npos);
    EXPECT_EQ(SheetLabelText("\xED\xA0\x80").find("\xED\xA0\x80"), std::string::npos);
    // C1 controls and direction overrides do not reach the text.
    EXPECT_EQ(SheetLabelText("x\xC2\x85y\xE2\x80\xAEz"), "x yz");

    std::string junk;
    for (int i = 0; i < 10240; ++i)
        junk += char((i * 151 + 7) % 256);
    const std::string shown = SheetLabelText(junk);
    EXPECT_TRUE(CairoTakes(shown));
    EXPECT_FALSE(CairoTakes(junk));
    for (const char ch : shown)
        EXPECT_FALSE(uint8_t(ch) < 0x20 || ch == 0x7F);
    EXPECT_LE(shown.size(), kMaxSheetLabelCharacters * 4 + 3);

    // Such labels on every page: the sheet is drawn, its labels stay in
    // their strips, the layers carry the shown text.
    std::vector<SheetPage> hostile = pages;
    hostile[0].label = junk;
    hostile[1].label = std::string(10240, 'W');
    hostile[2].label = "\xE2\x80\xAE\x1B[31m<&\"lower\">\xF0\x9F\x98\x80";
    const Result<std::string> png = BuildSheetBytes(hostile, TemplateFormat::Png, junk);
    ASSERT_TRUE(png.ok());
    ExpectSheetPicture(DecodedPng(png.value()), hostile, LayoutOf(hostile), 0xFFFFFFFFu);
    const std::vector<PsdLayer> layers =
        PsdLayers(BuildSheetBytes(hostile, TemplateFormat::Psd, "s").value());
    ASSERT_EQ(layers.size(), 5u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(layers[i + 1].name, SheetLabelText(hostile[i].label));
    const std::string ora = BuildSheetBytes(hostile, TemplateFormat::Ora, "s").value();
    EXPECT_NE(ZipEntry(ora, "stack.xml").find("&lt;&amp;&quot;lower&quot;&gt;\xF0\x9F\x98\x80"),
              std::string::npos);
    hostile[1].style.antialias = false; // vector pages are always smooth
    const Result<std::string> pdf = BuildSheetBytes(hostile, TemplateFormat::Pdf, junk);
    ASSERT_TRUE(pdf.ok()) << pdf.error().reason;
    EXPECT_EQ(pdf.value().substr(0, 5), "%PDF-");
}

TEST_F(SheetTest, RefusesNoPagesTooLargeSheetsAndStylesTheFormatCannotTake) {
    const Result<std::string> none = BuildSheetBytes({}, TemplateFormat::Png, "s");
    ASSERT_FALSE(none.ok());
    EXPECT_NE(none.error().reason.find("no template"), std::string::npos);

    std::vector<SheetPage> big(5, {"big", {a.record}, PlainStyle(8192, 8192, WrapMode::Clip)});
    const Result<std::string> huge = BuildSheetBytes(big, TemplateFormat::Png, "s");
    ASSERT_FALSE(huge.ok());
    EXPECT_NE(huge.error().reason.find("--size"), std::string::npos);
    EXPECT_NE(huge.error().reason.find("16384"), std::string::npos);
    EXPECT_NE(huge.error().reason.find("fewer"), std::string::npos);
    // Four a little smaller fit in two rows of two.
    std::vector<SheetPage> four(4, {"", {a.record}, PlainStyle(8000, 8000, WrapMode::Clip)});
    const SheetLayout twoByTwo = LayoutOf(four);
    EXPECT_EQ(twoByTwo.width, 2 * 8000 + kSheetGap + 2 * kSheetMargin);
    EXPECT_EQ(twoByTwo.height, 2 * (8000 + kSheetLabelHeight) + kSheetGap + 2 * kSheetMargin);
    // Very many tiny pages: refused quickly, not drawn.
    std::vector<SheetPage> tiny(300000, {"", {}, PlainStyle(1, 60, WrapMode::Clip)});
    EXPECT_FALSE(LayOutSheet(tiny).ok());

    // A layer a page: too many for a layered file, not for a picture.
    std::vector<SheetPage> layers(kMaxSheetLayers + 1, {"", {}, PlainStyle(2, 2, WrapMode::Clip)});
    const Result<std::string> psd = BuildSheetBytes(layers, TemplateFormat::Psd, "s");
    ASSERT_FALSE(psd.ok());
    EXPECT_NE(psd.error().reason.find(std::to_string(kMaxSheetLayers)), std::string::npos);
    EXPECT_FALSE(BuildSheetBytes(layers, TemplateFormat::Ora, "s").ok());
    EXPECT_TRUE(LayOutSheet(layers).ok());

    pages[1].style.background.reset();
    const Result<std::string> bmp = BuildSheetBytes(pages, TemplateFormat::Bmp, "s");
    ASSERT_FALSE(bmp.ok());
    EXPECT_NE(bmp.error().reason.find("template 2 (upper"), std::string::npos);
    EXPECT_NE(bmp.error().reason.find("transparency"), std::string::npos);

    TempDir dir;
    const Status unknown = WriteSheetFile(dir.File("sheet.xyz"), pages);
    ASSERT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.error().path, dir.File("sheet.xyz"));
    ASSERT_TRUE(WriteSheetFile(dir.File("sheet.png"), pages).ok());
    EXPECT_EQ(ReadWholeFile(dir.File("sheet.png")),
              BuildSheetBytes(pages, TemplateFormat::Png, "sheet.png").value());
}

namespace {

// Ghostscript's 72-dpi greyscale rendering of a file; empty when it fails.
TextureImage RenderWithGhostscript(const std::string& file, const TempDir& dir, bool eps) {
    const std::string pgm = dir.File("out.pgm");
    const std::string command = std::string("gs -q -dSAFER -dBATCH -dNOPAUSE -r72 ") +
                                (eps ? "-dEPSCrop " : "") + "-sDEVICE=pgmraw -sOutputFile='" + pgm +
                                "' '" + file + "' > /dev/null 2>&1";
    TextureImage grey;
    if (std::system(command.c_str()) != 0)
        return grey;
    // "P5", then width, height and maximum, with '#' comment lines between.
    const std::string bytes = ReadWholeFile(pgm);
    size_t at = 0;
    auto number = [&] {
        while (at < bytes.size() && (std::isspace(uint8_t(bytes[at])) || bytes[at] == '#'))
            at = bytes[at] == '#' ? bytes.find('\n', at) : at + 1;
        int value = 0;
        while (at < bytes.size() && std::isdigit(uint8_t(bytes[at])) && value < 100000)
            value = value * 10 + (bytes[at++] - '0');
        return value;
    };
    if (bytes.compare(0, 2, "P5") != 0)
        return grey;
    at = 2;
    const int width = number(), height = number();
    number(); // the maximum
    if (width <= 0 || height <= 0 || bytes.size() != at + 1 + size_t(width) * size_t(height))
        return grey;
    grey.width = width;
    grey.height = height;
    grey.rgba.assign(bytes.begin() + std::ptrdiff_t(at) + 1, bytes.end()); // one byte a pixel here
    return grey;
}

} // namespace

TEST_F(SheetTest, VectorSheetsRenderWithTheirTemplatesAtTheirPlaces) {
    if (std::system("gs --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "Ghostscript (gs) is not installed";
    // Lines only, as EPS takes them; the plain page's exact pixels tell
    // where its lines must be.
    pages[1].style.antialias = false;
    pages[1].style.fill.reset();
    const SheetLayout layout = LayoutOf(pages);
    TempDir dir;
    for (const char* name : {"sheet.pdf", "sheet.eps"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WriteSheetFile(dir.File(name), pages).ok());
        const TextureImage grey =
            RenderWithGhostscript(dir.File(name), dir, std::string(name).ends_with(".eps"));
        ASSERT_EQ(grey.width, layout.width);
        ASSERT_EQ(grey.height, layout.height);
        auto dark = [&](int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (x + dx >= 0 && x + dx < grey.width && y + dy >= 0 && y + dy < grey.height &&
                        grey.rgba[size_t(y + dy) * size_t(grey.width) + size_t(x + dx)] < 160)
                        return true;
            return false;
        };
        // Every line pixel of each template drawn alone is drawn on the
        // sheet too, shifted to its page.
        for (size_t i = 0; i < pages.size(); ++i) {
            const TemplateImage alone = DrawTemplateImage(pages[i].style, pages[i].records);
            const SheetBox& at = layout.places[i].page;
            int lines = 0, missing = 0;
            for (int y = 0; y < alone.height; ++y)
                for (int x = 0; x < alone.width; ++x)
                    if ((alone.At(x, y) & 0xFF) < 128 || ((alone.At(x, y) >> 16) & 0xFF) < 128) {
                        ++lines;
                        missing += !dark(at.x + x, at.y + y);
                    }
            EXPECT_GT(lines, 50) << i;
            EXPECT_LE(missing, lines / 50) << i;
        }
        // Ink elsewhere only in the label strips, each strip with some.
        std::vector<int> ink(pages.size(), 0);
        int stray = 0;
        for (int y = 0; y < grey.height; ++y)
            for (int x = 0; x < grey.width; ++x) {
                if (grey.rgba[size_t(y) * size_t(grey.width) + size_t(x)] > 200)
                    continue;
                bool placed = false;
                for (size_t i = 0; i < pages.size(); ++i) {
                    placed = placed || Inside(layout.places[i].page, x, y);
                    if (Inside(layout.places[i].label, x, y)) {
                        ++ink[i];
                        placed = true;
                    }
                }
                stray += !placed;
            }
        EXPECT_EQ(stray, 0);
        for (size_t i = 0; i < pages.size(); ++i)
            EXPECT_GT(ink[i], 20) << "label " << i;
    }
}

TEST_F(SheetTest, LongLabelsAreCutToTheirPageWidth) {
    // The first 40 columns of page 2's label strip on a PNG sheet, the page
    // `width` wide; right: the last column with ink.
    auto strip = [&](const std::string& label, int width, std::vector<uint32_t>& pixels) {
        std::vector<SheetPage> sheet = pages;
        sheet[2].label = label;
        sheet[2].style.width = width;
        const SheetLayout layout = LayoutOf(sheet);
        const TextureImage image =
            DecodedPng(BuildSheetBytes(sheet, TemplateFormat::Png, "s").value());
        const SheetBox& box = layout.places[2].label;
        pixels.clear();
        int right = -1;
        for (int y = box.y; y < box.y + box.height; ++y)
            for (int x = box.x; x < box.x + box.width; ++x) {
                const uint32_t p = PixelOf(image, x, y);
                if (x < box.x + 40)
                    pixels.push_back(p);
                if (p != 0xFFFFFFFFu)
                    right = std::max(right, x - box.x);
            }
        return right;
    };
    const std::string label = "legs and more words than fit";
    std::vector<uint32_t> cut, longer, shorter, candidate;
    const int end = strip(label, 40, cut);
    // Cut at the same place whatever follows, the text running up to the
    // strip's end.
    strip(label + ", and then some more", 40, longer);
    EXPECT_EQ(cut, longer);
    EXPECT_GE(end, 40 - 12);
    // It is a start of the label and "…" that fits whole, as drawn on a wide
    // page: not the label clipped.
    bool found = false;
    for (size_t k = 0; k < label.size() && !found; ++k)
        found = strip(label.substr(0, k) + "\xE2\x80\xA6", 400, candidate) < 40 && candidate == cut;
    EXPECT_TRUE(found);
    // A label that fits is drawn whole.
    EXPECT_LT(strip("legs", 40, shorter), 30);
    EXPECT_NE(shorter, cut);
}

TEST_F(SheetTest, SvgHoldsEachPagesOwnDrawingAtItsPlaceAndTheLabelsAsText) {
    pages[1].style.antialias = false;
    pages[2].label = "<b>&\"legs\"\x01\xFF";
    pages[2].style.width = 300; // room for the whole label
    const SheetLayout layout = LayoutOf(pages);
    const Result<std::string> built = BuildSheetBytes(pages, TemplateFormat::Svg, "s");
    ASSERT_TRUE(built.ok()) << built.error().reason;
    const std::string& svg = built.value();
    for (size_t i = 0; i < pages.size(); ++i) {
        const SheetBox& at = layout.places[i].page;
        const size_t group =
            svg.find("translate(" + std::to_string(at.x) + " " + std::to_string(at.y) + ")");
        ASSERT_NE(group, std::string::npos) << i;
        // The page's drawing as its own file holds it, its ids made the page's.
        const std::string alone = BuildSvgText(pages[i].records, pages[i].style);
        const size_t from = alone.find('>', alone.find("<svg")) + 1;
        std::string expected = alone.substr(from, alone.rfind("</svg>") - from);
        const std::string prefix = "p" + std::to_string(i + 1) + "-";
        for (size_t p = expected.find(" id=\""); p != std::string::npos;
             p = expected.find(" id=\"", p + 5 + prefix.size()))
            expected.insert(p + 5, prefix);
        EXPECT_NE(svg.find(expected, group), std::string::npos) << i;
    }
    size_t texts = 0;
    for (size_t p = svg.find("<text "); p != std::string::npos; p = svg.find("<text ", p + 1))
        ++texts;
    EXPECT_EQ(texts, pages.size());
    EXPECT_NE(svg.find(">&lt;b&gt;&amp;&quot;legs&quot; \xEF\xBF\xBD</text>"), std::string::npos);
    for (const char c : svg)
        EXPECT_FALSE(uint8_t(c) < 0x20 && c != '\n');
    // No picture stands in for the drawing.
    EXPECT_EQ(svg.find("<image"), std::string::npos);
}
