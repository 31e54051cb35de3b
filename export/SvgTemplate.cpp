#include "export/SvgTemplate.h"

#include "render/LayoutDrawing.h"
#include "render/OverlapCoverage.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

std::string PlainSvg(const std::vector<const Surface*>& records, const TemplateStyle& style) {
    const std::string w = std::to_string(style.width), h = std::to_string(style.height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
                      "\">\n<rect width=\"" + w + "\" height=\"" + h +
                      "\" fill=\"white\"/>\n<path fill=\"none\" stroke=\"black\" "
                      "stroke-width=\"1\" shape-rendering=\"crispEdges\" d=\"";
    const LayoutMapping m{double(style.width), double(style.height), 0.0, 0.0};
    auto at = [](double scale, double coordinate) {
        return std::to_string(TruncateCoordinate(scale * coordinate)) + ".5";
    };
    ForEachPlacedTriangle(records, style.wrap, [&](const PlacedTriangle& t) {
        svg += "M" + at(m.scaleX, t.u[0]) + " " + at(m.scaleY, t.v[0]) + "L" +
               at(m.scaleX, t.u[1]) + " " + at(m.scaleY, t.v[1]) + "L" + at(m.scaleX, t.u[2]) +
               " " + at(m.scaleY, t.v[2]) + "Z";
    });
    svg += "\"/>\n</svg>\n";
    return svg;
}

// A number with at most three decimals, in the C locale's notation.
void AppendNumber(std::string& out, double value) {
    // Kept within the range every other drawing keeps points in.
    value = std::clamp(value, -double(kCoordinateLimit), double(kCoordinateLimit));
    if (value != value)
        value = 0;
    char digits[48];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 3);
    std::string text(digits, result.ptr);
    while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) {
        const bool dot = text.back() == '.';
        text.pop_back();
        if (dot)
            break;
    }
    out += text == "-0" ? "0" : text;
}

std::string Paint(const char* what, const Rgba& c) {
    char text[96];
    std::snprintf(text, sizeof text, "%s=\"#%02x%02x%02x\" %s-opacity=\"%.3f\"", what, c.r, c.g,
                  c.b, what, c.a / 255.0);
    std::string s = text;
    for (char& ch : s)
        if (ch == ',')
            ch = '.';
    return s;
}

} // namespace

std::string BuildSvgText(const std::vector<const Surface*>& records, const TemplateStyle& style) {
    if (style.IsPlain())
        return PlainSvg(records, style);
    const double w = style.width, h = style.height;
    const std::string ws = std::to_string(style.width), hs = std::to_string(style.height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      ws + "\" height=\"" + hs + "\" viewBox=\"0 0 " + ws + " " + hs + "\">\n";
    if (style.background)
        svg += "<rect width=\"" + ws + "\" height=\"" + hs + "\" " +
               Paint("fill", *style.background) + "/>\n";
    auto path = [&](int onlySurface, const OverlapCoverage* involved) {
        std::string d;
        ForEachPlacedTriangle(records, style.wrap, [&](const PlacedTriangle& t) {
            if (onlySurface >= 0 && t.surface != onlySurface)
                return;
            double x[3], y[3];
            for (int k = 0; k < 3; ++k) {
                x[k] = w * t.u[k];
                y[k] = h * t.v[k];
            }
            if (involved && !TouchesOverlap(*involved, x, y))
                return;
            for (int k = 0; k < 3; ++k) {
                d += k ? 'L' : 'M';
                AppendNumber(d, x[k]);
                d += ' ';
                AppendNumber(d, y[k]);
            }
            d += 'Z';
        });
        return d;
    };
    if (style.fill)
        svg += "<path " + Paint("fill", *style.fill) + " stroke=\"none\" d=\"" + path(-1, nullptr) +
               "\"/>\n";
    if (style.overlaps) {
        const OverlapCoverage coverage =
            CountCoverage(records, style.wrap, {w, h, 0.0, 0.0}, style.width, style.height);
        svg += "<path " + Paint("fill", style.overlapColour) + " stroke=\"none\" d=\"" +
               path(-1, &coverage) + "\"/>\n";
    }
    char width[48];
    std::snprintf(width, sizeof width, "%.4g", style.lineWidth);
    for (char* p = width; *p; ++p)
        if (*p == ',')
            *p = '.';
    const int passes = style.colourBySurface ? int(records.size()) : 1;
    for (int s = 0; s < passes; ++s) {
        Rgba colour = style.colourBySurface ? SurfacePaletteColour(s) : style.line;
        colour.a = style.line.a;
        svg += "<path fill=\"none\" " + Paint("stroke", colour) + " stroke-width=\"" + width +
               "\" stroke-linejoin=\"" + (style.lineWidth > 1 ? "round" : "miter") + "\" d=\"" +
               path(style.colourBySurface ? s : -1, nullptr) + "\"/>\n";
    }
    svg += "</svg>\n";
    return svg;
}
