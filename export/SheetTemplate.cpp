#include "export/SheetTemplate.h"

#include "export/BmpTemplate.h"
#include "export/OraTemplate.h"
#include "export/PngTemplate.h"
#include "export/PsdTemplate.h"
#include "export/SafeFile.h"
#include "export/SvgTemplate.h"
#include "export/TgaTemplate.h"
#include "export/XmlText.h"
#include "model/Version.h"
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"

#include <algorithm>
#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr double kLabelFontSize = 12.0;
constexpr double kLabelBaseline = 14.0; // from the top of the strip
constexpr const char* kEllipsis = "\xE2\x80\xA6";

int PageWidth(const SheetPage& page) {
    return std::clamp(page.style.width, 1, kMaxTemplateSide);
}
int PageHeight(const SheetPage& page) {
    return std::clamp(page.style.height, 1, kMaxTemplateSide);
}

Error SheetError(std::string reason) {
    return Error{"", "", std::move(reason)};
}

// Decodes one character of strict UTF-8 at text[at]; length 0 when the
// bytes there are not one (bad lead, short, overlong, surrogate, too big).
uint32_t DecodeUtf8(const std::string& text, size_t at, size_t& length) {
    const uint8_t lead = uint8_t(text[at]);
    length = 0;
    size_t need = 0;
    uint32_t code = 0, least = 0;
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 2, code = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 3, code = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < need)
        return 0;
    for (size_t k = 1; k < need; ++k) {
        const uint8_t next = uint8_t(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    length = need;
    return code;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | (code >> 12 & 0x3F));
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Characters that would reorder, hide or break the line rather than show.
bool IsInvisibleControl(uint32_t c) {
    return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

bool IsNonCharacter(uint32_t c) {
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE || (c >= 0xE0000 && c <= 0xE007F);
}

// Where each character of valid UTF-8 starts, and the end.
std::vector<size_t> CharacterStarts(const std::string& text) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); ++i)
        if ((uint8_t(text[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    starts.push_back(text.size());
    return starts;
}

double TextWidth(cairo_t* cr, const std::string& text) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return std::max(extents.x_advance, extents.x_bearing + extents.width);
}

// The longest start of the label that fits the width, "…" ending a cut one;
// empty when not even that fits.
std::string FittedLabel(cairo_t* cr, const std::string& text, double width) {
    if (TextWidth(cr, text) <= width)
        return text;
    const std::vector<size_t> starts = CharacterStarts(text);
    // Binary search on the count of characters kept before the "…".
    size_t low = 0, high = starts.size() - 1;
    while (low < high) {
        const size_t mid = (low + high + 1) / 2;
        if (TextWidth(cr, text.substr(0, starts[mid]) + kEllipsis) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    std::string fitted = text.substr(0, starts[low]) + kEllipsis;
    return TextWidth(cr, fitted) <= width ? fitted : std::string();
}

void SetColour(cairo_t* cr, const Rgba& c) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
}

// Every page's label in its strip, in its page's line colour, never outside
// the strip.
void DrawLabels(cairo_t* cr, const std::vector<SheetPage>& pages, const SheetLayout& layout) {
    cairo_save(cr);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kLabelFontSize);
    for (size_t i = 0; i < pages.size(); ++i) {
        const SheetBox& box = layout.places[i].label;
        const std::string text = FittedLabel(cr, SheetLabelText(pages[i].label), double(box.width));
        if (text.empty())
            continue;
        cairo_save(cr);
        cairo_rectangle(cr, box.x, box.y, box.width, box.height);
        cairo_clip(cr);
        SetColour(cr, pages[i].style.line);
        cairo_move_to(cr, box.x, box.y + kLabelBaseline);
        cairo_show_text(cr, text.c_str());
        cairo_restore(cr);
    }
    cairo_restore(cr);
}

Rgba SheetBackground(const std::vector<SheetPage>& pages) {
    return pages.front().style.background.value_or(Rgba{255, 255, 255, 255});
}

// Runs draw on a Cairo context over the image's pixels.
template <typename Draw> void DrawOn(TemplateImage& image, Draw&& draw) {
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(image.pixels.data()), CAIRO_FORMAT_ARGB32, image.width,
        image.height, image.width * 4);
    cairo_t* cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

// An image of the size, every pixel the colour; empty when the memory
// cannot be had.
TemplateImage FilledImage(int width, int height, const std::optional<Rgba>& colour) {
    TemplateImage image;
    image.pixels.assign(size_t(width) * size_t(height), 0);
    image.width = width;
    image.height = height;
    image.opaque = colour && colour->a == 255;
    if (colour)
        DrawOn(image, [&](cairo_t* cr) {
            SetColour(cr, *colour);
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_paint(cr);
        });
    return image;
}

void Place(TemplateImage& sheet, const TemplateImage& page, const SheetBox& at) {
    for (int y = 0; y < page.height; ++y)
        std::memcpy(&sheet.pixels[size_t(at.y + y) * size_t(sheet.width) + size_t(at.x)],
                    &page.pixels[size_t(y) * size_t(page.width)], size_t(page.width) * 4);
    sheet.opaque = sheet.opaque && page.opaque;
}

// The flat sheet: the background, each page's own template at its place,
// the labels over all. When layers is given, each page's picture is also
// kept as a layer of its own. Empty (zero size) when the memory is lacking.
TemplateImage DrawSheetImage(const std::vector<SheetPage>& pages, const SheetLayout& layout,
                             std::vector<LayerImage>* layers) {
    TemplateImage sheet = FilledImage(layout.width, layout.height, SheetBackground(pages));
    for (size_t i = 0; i < pages.size(); ++i) {
        TemplateImage page = DrawTemplateImage(pages[i].style, pages[i].records);
        if (page.width != layout.places[i].page.width ||
            page.height != layout.places[i].page.height)
            return {};
        Place(sheet, page, layout.places[i].page);
        if (layers)
            layers->push_back({TemplateLayer::Lines, std::move(page), 1.0,
                               SheetLabelText(pages[i].label), layout.places[i].page.x,
                               layout.places[i].page.y});
    }
    DrawOn(sheet, [&](cairo_t* cr) { DrawLabels(cr, pages, layout); });
    return sheet;
}

std::string BuildFlat(const std::vector<SheetPage>& pages, const SheetLayout& layout,
                      std::string (*encode)(const TemplateImage&)) {
    const TemplateImage sheet = DrawSheetImage(pages, layout, nullptr);
    return sheet.width == 0 ? std::string() : encode(sheet);
}

std::string BuildLayered(const std::vector<SheetPage>& pages, const SheetLayout& layout,
                         std::string (*encode)(const LayeredTemplate&)) {
    LayeredTemplate layered;
    layered.layers.push_back({TemplateLayer::Fill,
                              FilledImage(layout.width, layout.height, SheetBackground(pages)), 1.0,
                              "background", 0, 0});
    layered.merged = DrawSheetImage(pages, layout, &layered.layers);
    if (layered.merged.width == 0)
        return {};
    TemplateImage labels = FilledImage(layout.width, layout.height, std::nullopt);
    labels.opaque = false;
    DrawOn(labels, [&](cairo_t* cr) { DrawLabels(cr, pages, layout); });
    layered.layers.push_back({TemplateLayer::Lines, std::move(labels), 1.0, "labels", 0, 0});
    return encode(layered);
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// One vector page with every template drawn at its place, as its own file
// of one template would draw it, and the labels as text.
std::string BuildVector(const std::vector<SheetPage>& pages, const SheetLayout& layout,
                        TemplateFormat format, const std::string& title) {
    std::string bytes;
    const double width = layout.width, height = layout.height;
    cairo_surface_t* surface = nullptr;
    if (format == TemplateFormat::Pdf) {
        surface = cairo_pdf_surface_create_for_stream(AppendToString, &bytes, width, height);
        if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
            // The title is a file name, which may be any bytes.
            cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE,
                                           SheetLabelText(title).c_str());
            const std::string creator = std::string("Gridwright ") + kGridwrightVersion;
            cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, creator.c_str());
        }
    } else {
        surface = cairo_ps_surface_create_for_stream(AppendToString, &bytes, width, height);
        if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS)
            cairo_ps_surface_set_eps(surface, 1);
    }
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return {};
    }
    cairo_t* cr = cairo_create(surface);
    const std::optional<Rgba> background = pages.front().style.background;
    SetColour(cr, background.value_or(Rgba{255, 255, 255, 255}));
    cairo_paint(cr);
    for (size_t i = 0; i < pages.size(); ++i) {
        const SheetBox& at = layout.places[i].page;
        cairo_save(cr);
        cairo_translate(cr, at.x, at.y);
        DrawTemplate(cr, pages[i].style, pages[i].records,
                     {{double(at.width), double(at.height), 0.0, 0.0}, at.width, at.height, true});
        cairo_restore(cr);
    }
    DrawLabels(cr, pages, layout);
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool finished = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return drawn && finished ? bytes : std::string();
}

std::string SvgColour(const char* what, const Rgba& c) {
    char text[96];
    std::snprintf(text, sizeof text, "%s=\"#%02x%02x%02x\" %s-opacity=\"%.3f\"", what, c.r, c.g,
                  c.b, what, c.a / 255.0);
    for (char* p = text; *p; ++p)
        if (*p == ',')
            *p = '.';
    return text;
}

// The SVG sheet: each page's own SVG drawing (the one its file would hold)
// as a layer moved to its place and clipped to it, the labels as text fitted
// with the same font measures as the pictures'. A Cairo SVG surface would
// turn the templates' drawing into one big picture.
std::string BuildSheetSvg(const std::vector<SheetPage>& pages, const SheetLayout& layout) {
    const std::string ws = std::to_string(layout.width), hs = std::to_string(layout.height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" width=\"" +
                      ws + "\" height=\"" + hs + "\" viewBox=\"0 0 " + ws + " " + hs + "\">\n";
    svg += "<rect width=\"" + ws + "\" height=\"" + hs + "\" " +
           SvgColour("fill", SheetBackground(pages)) + "/>\n";
    for (size_t i = 0; i < pages.size(); ++i) {
        const SheetBox& at = layout.places[i].page;
        TemplateStyle style = pages[i].style;
        style.width = at.width;
        style.height = at.height;
        const std::string page = BuildSvgText(pages[i].records, style);
        // Its content: between the root's opening tag and its end.
        const size_t root = page.find("<svg");
        const size_t begin = root == std::string::npos ? root : page.find('>', root);
        const size_t end = page.rfind("</svg>");
        if (begin == std::string::npos || end == std::string::npos || end < begin)
            return {};
        // Ids made unique to the page: every page may name a surface alike.
        std::string content = page.substr(begin + 1, end - begin - 1);
        const std::string prefix = "p" + std::to_string(i + 1) + "-";
        for (size_t p = content.find(" id=\""); p != std::string::npos;
             p = content.find(" id=\"", p + 5))
            content.insert(p + 5, prefix);
        const std::string clip = "sheet-page-" + std::to_string(i + 1);
        svg += "<clipPath id=\"" + clip + "\"><rect width=\"" + std::to_string(at.width) +
               "\" height=\"" + std::to_string(at.height) + "\"/></clipPath>\n";
        svg += "<g id=\"sheet-" + std::to_string(i + 1) + "\" inkscape:label=\"" +
               XmlAttributeText(SheetLabelText(pages[i].label)) +
               "\" inkscape:groupmode=\"layer\" transform=\"translate(" + std::to_string(at.x) +
               " " + std::to_string(at.y) + ")\" clip-path=\"url(#" + clip + ")\">" + content +
               "</g>\n";
    }
    // The labels, cut to their pages' widths as on the pictures.
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kLabelFontSize);
    svg += "<g id=\"labels\" inkscape:label=\"labels\" inkscape:groupmode=\"layer\" "
           "font-family=\"DejaVu Sans\" font-size=\"12\" xml:space=\"preserve\">\n";
    for (size_t i = 0; i < pages.size(); ++i) {
        const SheetBox& box = layout.places[i].label;
        const std::string text = FittedLabel(cr, SheetLabelText(pages[i].label), double(box.width));
        if (!text.empty())
            svg += "<text x=\"" + std::to_string(box.x) + "\" y=\"" +
                   std::to_string(box.y + int(kLabelBaseline)) + "\" " +
                   SvgColour("fill", pages[i].style.line) + ">" + XmlAttributeText(text) +
                   "</text>\n";
    }
    svg += "</g>\n</svg>\n";
    const bool measured = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return measured ? svg : std::string();
}

} // namespace

std::string SheetLabelText(const std::string& label) {
    std::string out;
    size_t characters = 0;
    for (size_t at = 0; at < label.size();) {
        if (characters == kMaxSheetLabelCharacters) {
            out += kEllipsis;
            break;
        }
        size_t length = 0;
        uint32_t code = DecodeUtf8(label, at, length);
        if (length == 0) {
            code = 0xFFFD; // one replacement per bad byte
            length = 1;
        }
        at += length;
        if (code < 0x20 || (code >= 0x7F && code < 0xA0) || code == 0x2028 || code == 0x2029)
            code = ' ';
        else if (IsNonCharacter(code))
            code = 0xFFFD;
        else if (IsInvisibleControl(code))
            continue;
        AppendUtf8(out, code);
        ++characters;
    }
    return out;
}

namespace {

struct PackedSheet {
    SheetLayout layout;
    int64_t width = 0, height = 0; // at least, when tooLarge
    bool tooLarge = false;
};

// The pages in rows no wider than target (but for a single wider page).
// 64-bit sums, and the loop stops once the sheet passes its side: a huge
// count of pages overflows nothing.
PackedSheet PackRows(const std::vector<SheetPage>& pages, int64_t target) {
    PackedSheet sheet;
    sheet.layout.places.reserve(pages.size());
    int64_t x = 0, y = 0, rowHeight = 0, right = 0;
    for (const SheetPage& page : pages) {
        const int64_t w = PageWidth(page), h = PageHeight(page) + kSheetLabelHeight;
        if (x > 0 && x + w > target) {
            y += rowHeight + kSheetGap;
            x = rowHeight = 0;
        }
        if (y + h + 2 * kSheetMargin > kMaxSheetSide) {
            sheet.tooLarge = true;
            rowHeight = h;
            break;
        }
        const int px = int(kSheetMargin + x), py = int(kSheetMargin + y);
        sheet.layout.places.push_back(
            {{px, py, int(w), kSheetLabelHeight},
             {px, py + kSheetLabelHeight, int(w), int(h) - kSheetLabelHeight}});
        right = std::max(right, x + w);
        rowHeight = std::max(rowHeight, h);
        x += w + kSheetGap;
    }
    sheet.width = right + 2 * kSheetMargin;
    sheet.height = y + rowHeight + 2 * kSheetMargin;
    sheet.tooLarge = sheet.tooLarge || sheet.width > kMaxSheetSide || sheet.height > kMaxSheetSide;
    sheet.layout.width = int(std::min<int64_t>(sheet.width, kMaxSheetSide));
    sheet.layout.height = int(std::min<int64_t>(sheet.height, kMaxSheetSide));
    return sheet;
}

} // namespace

Result<SheetLayout> LayOutSheet(const std::vector<SheetPage>& pages) {
    if (pages.empty())
        return SheetError("there is no template to put on the sheet");
    int64_t area = 0, widest = 0;
    for (const SheetPage& page : pages) {
        const int64_t w = PageWidth(page), h = PageHeight(page) + kSheetLabelHeight;
        area += (w + kSheetGap) * (h + kSheetGap);
        widest = std::max(widest, w);
    }
    // Rows of the square root of the area leave the sheet taller than wide
    // (equal pages fit one fewer a row than a square would): a few widths a
    // little above it are tried, and the squarest sheet kept.
    const double side = std::sqrt(double(area));
    std::optional<PackedSheet> best;
    PackedSheet first;
    for (int tenths = 10; tenths <= 15; ++tenths) {
        const int64_t target =
            std::max(widest, int64_t(std::ceil(side * tenths / 10.0)) - kSheetGap);
        PackedSheet sheet = PackRows(pages, target);
        if (tenths == 10)
            first = sheet;
        if (sheet.tooLarge)
            continue;
        auto key = [](const PackedSheet& p) {
            return std::pair(std::max(p.width, p.height), p.width * p.height);
        };
        if (!best || key(sheet) < key(*best))
            best = std::move(sheet);
    }
    if (!best)
        return SheetError("the sheet would be " + std::to_string(first.width) + " x " +
                          std::to_string(first.height) + " pixels" +
                          (first.layout.places.size() < pages.size() ? " or more" : "") +
                          ", more than " + std::to_string(kMaxSheetSide) +
                          " on a side: make the templates smaller with --size or put fewer on a "
                          "sheet");
    return std::move(best->layout);
}

Result<std::string> BuildSheetBytes(const std::vector<SheetPage>& pages, TemplateFormat format,
                                    const std::string& title) {
    const FormatInfo* info = InfoOf(format);
    if (!info)
        return SheetError("give the sheet the extension " + ExtensionList());
    for (size_t i = 0; i < pages.size(); ++i) {
        const Status fits = CheckStyle(pages[i].style, format);
        if (!fits.ok())
            return SheetError("template " + std::to_string(i + 1) + " (" +
                              SheetLabelText(pages[i].label) + "): " + fits.error().reason);
    }
    if ((format == TemplateFormat::Psd || format == TemplateFormat::Ora) &&
        pages.size() > kMaxSheetLayers)
        return SheetError("a layered sheet holds at most " + std::to_string(kMaxSheetLayers) +
                          " templates, one a layer, not " + std::to_string(pages.size()) +
                          ": put fewer on a sheet or write a picture");
    Result<SheetLayout> layout = LayOutSheet(pages);
    if (!layout.ok())
        return layout.error();
    try {
        switch (format) {
        case TemplateFormat::Png:
            return BuildFlat(pages, layout.value(), EncodePng);
        case TemplateFormat::Bmp:
            return BuildFlat(pages, layout.value(), EncodeBmp24);
        case TemplateFormat::Tga:
            return BuildFlat(pages, layout.value(), EncodeTga);
        case TemplateFormat::Psd:
            return BuildLayered(pages, layout.value(), EncodePsd);
        case TemplateFormat::Ora:
            return BuildLayered(pages, layout.value(), EncodeOra);
        case TemplateFormat::Svg:
            return BuildSheetSvg(pages, layout.value());
        case TemplateFormat::Pdf:
        case TemplateFormat::Eps:
            return BuildVector(pages, layout.value(), format, title);
        case TemplateFormat::Unknown:
            break;
        }
    } catch (const std::bad_alloc&) {
    }
    return std::string(); // said to the painter as "not enough memory"
}

Status WriteSheetFile(const std::string& path, const std::vector<SheetPage>& pages) {
    const Result<std::string> bytes = BuildSheetBytes(pages, FormatOfPath(path), FileNameOf(path));
    if (!bytes.ok())
        return Error{"Cannot write", path, bytes.error().reason};
    if (bytes.value().empty())
        return Error{"Cannot write", path,
                     "there is not enough memory to draw the sheet; try smaller templates or "
                     "fewer on a sheet"};
    return WriteFileSafely(path, bytes.value());
}
