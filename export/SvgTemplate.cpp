#include "export/SvgTemplate.h"

#include "export/XmlText.h"
#include "render/Flipped.h"
#include "render/Islands.h"
#include "render/LayoutDrawing.h"
#include "render/OverlapCoverage.h"
#include "render/Seams.h"
#include "render/TemplateImage.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <set>

namespace {

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

// An XML id from a name: letters, digits, '-', '_' and '.', starting with a
// letter or '_', unlike every id given before.
std::string UniqueId(const std::string& name, std::set<std::string>& taken) {
    std::string id;
    for (const char c : name) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        id += keep ? c : '_';
    }
    if (id.empty() ||
        !((id[0] >= 'a' && id[0] <= 'z') || (id[0] >= 'A' && id[0] <= 'Z') || id[0] == '_'))
        id = "surface_" + id;
    std::string unique = id;
    for (int n = 2; taken.count(unique); ++n)
        unique = id + "-" + std::to_string(n);
    taken.insert(unique);
    return unique;
}

// Path data for triangles given in template units, each as M L L Z.
void AppendTriangle(std::string& d, const double x[3], const double y[3]) {
    for (int k = 0; k < 3; ++k) {
        d += k ? 'L' : 'M';
        AppendNumber(d, x[k]);
        d += ' ';
        AppendNumber(d, y[k]);
    }
    d += 'Z';
}

} // namespace

std::string BuildSvgText(const std::vector<const Surface*>& records, const TemplateStyle& style) {
    const bool plain = style.IsPlain();
    const double w = style.width, h = style.height;
    const LayoutMapping m{w, h, 0.0, 0.0};
    const std::string ws = std::to_string(style.width), hs = std::to_string(style.height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" width=\"" +
                      ws + "\" height=\"" + hs + "\" viewBox=\"0 0 " + ws + " " + hs + "\">\n";
    if (style.background)
        svg += "<rect width=\"" + ws + "\" height=\"" + hs + "\" " +
               (plain ? std::string("fill=\"white\"") : Paint("fill", *style.background)) + "/>\n";

    // What every surface's layers need from all of them.
    std::optional<OverlapCoverage> coverage;
    if (style.overlaps)
        coverage = CountCoverage(records, style.sampled, style.wrap, m, style.width, style.height);
    std::vector<SurfaceIslands> islands;
    std::vector<Rgba> islandColours;
    std::vector<size_t> firstIsland; // per surface, the number of its first island
    if (style.islands || style.outline == Outline::Islands)
        for (const Surface* r : records) {
            firstIsland.push_back(
                islands.empty() ? 0 : firstIsland.back() + size_t(islands.back().count));
            islands.push_back(FindIslands(*r));
        }
    if (style.islands) {
        int total = 0;
        for (const SurfaceIslands& i : islands)
            total += i.count;
        islandColours =
            IslandColours(IslandLabels(records, islands, style.wrap, m, style.width, style.height),
                          style.width, style.height, total, style.background);
    }
    char width[48];
    std::snprintf(width, sizeof width, "%.4g", style.lineWidth);
    for (char* p = width; *p; ++p)
        if (*p == ',')
            *p = '.';

    std::set<std::string> ids;
    // Named runs of records: each run's surfaces in a group of its own.
    const std::vector<RecordRun> runs = RunsOf(style, records.size());
    const bool split = SplitsRuns(runs);
    size_t run = 0;
    for (size_t s = 0; s < records.size(); ++s) {
        if (split && s == runs[run].first) {
            const std::string name = XmlAttributeText(runs[run].name);
            svg += "<g id=\"" + UniqueId("run-" + std::to_string(run + 1), ids) +
                   "\" inkscape:label=\"" + name + "\" inkscape:groupmode=\"layer\">\n<title>" +
                   name + "</title>\n";
        }
        const Surface& r = *records[s];
        const std::vector<const Surface*> one{&r};
        const std::string id = UniqueId(r.name, ids);
        svg += "<g id=\"" + id + "\" inkscape:label=\"" + XmlAttributeText(r.name) +
               "\" inkscape:groupmode=\"layer\">\n";
        auto layer = [&](TemplateLayer which, const std::string& content) {
            const std::string name = LayerName(which);
            svg += "<g id=\"" + UniqueId(id + "-" + name, ids) + "\" inkscape:label=\"" + name +
                   "\" inkscape:groupmode=\"layer\">\n" + content + "</g>\n";
        };
        auto faces = [&](auto&& keep) {
            std::string d;
            ForEachPlacedTriangle(one, style.wrap, [&](const PlacedTriangle& t) {
                double x[3], y[3];
                for (int k = 0; k < 3; ++k) {
                    x[k] = w * t.u[k];
                    y[k] = h * t.v[k];
                }
                if (keep(t, x, y))
                    AppendTriangle(d, x, y);
            });
            return d;
        };
        auto edges = [&](const std::vector<TriangleEdge>& list) {
            std::string d;
            ForEachPlacedEdge(r, list, style.wrap, [&](double u0, double v0, double u1, double v1) {
                d += 'M';
                AppendNumber(d, w * u0);
                d += ' ';
                AppendNumber(d, h * v0);
                d += 'L';
                AppendNumber(d, w * u1);
                d += ' ';
                AppendNumber(d, h * v1);
            });
            return d;
        };
        for (const TemplateLayer which : LayersOf(style)) {
            switch (which) {
            case TemplateLayer::Texture:
            case TemplateLayer::Baked:
                break; // pictures and PDF only
            case TemplateLayer::Islands: {
                std::string content;
                for (int i = 0; i < islands[s].count; ++i)
                    content += "<path " + Paint("fill", islandColours[firstIsland[s] + size_t(i)]) +
                               " stroke=\"none\" d=\"" +
                               faces([&](const PlacedTriangle& t, const double*, const double*) {
                                   return islands[s].islandOf[size_t(t.triangle)] == i;
                               }) +
                               "\"/>\n";
                layer(which, content);
                break;
            }
            case TemplateLayer::Fill:
                layer(which, "<path " + Paint("fill", *style.fill) + " stroke=\"none\" d=\"" +
                                 faces([](const PlacedTriangle&, const double*, const double*) {
                                     return true;
                                 }) +
                                 "\"/>\n");
                break;
            case TemplateLayer::Overlaps:
                layer(which,
                      "<path " + Paint("fill", style.overlapColour) + " stroke=\"none\" d=\"" +
                          faces([&](const PlacedTriangle&, const double* x, const double* y) {
                              return TouchesOverlap(*coverage, s, x, y);
                          }) +
                          "\"/>\n");
                break;
            case TemplateLayer::Flipped: {
                std::vector<bool> flipped(r.triangles.size(), false);
                for (const int k : FindFlipped(r))
                    flipped[size_t(k)] = true;
                // Turned one way each, so overlapping ones add up under the
                // non-zero rule instead of cancelling.
                std::string d;
                ForEachPlacedTriangle(one, style.wrap, [&](const PlacedTriangle& t) {
                    if (!flipped[size_t(t.triangle)])
                        return;
                    double x[3], y[3];
                    for (int k = 0; k < 3; ++k) {
                        x[k] = w * t.u[k];
                        y[k] = h * t.v[k];
                    }
                    if ((x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]) < 0) {
                        std::swap(x[1], x[2]);
                        std::swap(y[1], y[2]);
                    }
                    AppendTriangle(d, x, y);
                });
                layer(which, "<path " + Paint("fill", *style.flipped) + " stroke=\"none\" d=\"" +
                                 d + "\"/>\n");
                break;
            }
            case TemplateLayer::Lines: {
                if (plain) {
                    // The picture's lines, as pixel-centred strokes.
                    auto at = [](double scale, double coordinate) {
                        return std::to_string(TruncateCoordinate(scale * coordinate)) + ".5";
                    };
                    std::string d;
                    // Appended piece by piece: a chain of operator+ here makes GCC 12 at
                    // -O3 report a false -Wrestrict.
                    ForEachPlacedTriangle(one, style.wrap, [&](const PlacedTriangle& t) {
                        for (int k = 0; k < 3; ++k)
                            d.append(k == 0 ? "M" : "L")
                                .append(at(w, t.u[k]))
                                .append(" ")
                                .append(at(h, t.v[k]));
                        d.append("Z");
                    });
                    layer(which, "<path fill=\"none\" stroke=\"black\" stroke-width=\"1\" "
                                 "shape-rendering=\"crispEdges\" d=\"" +
                                     d + "\"/>\n");
                    break;
                }
                Rgba colour = style.colourBySurface ? SurfacePaletteColour(int(s)) : style.line;
                colour.a = style.line.a;
                const std::string d = style.outline == Outline::Islands
                                          ? edges(islands[s].borders)
                                          : faces([](const PlacedTriangle&, const double*,
                                                     const double*) { return true; });
                layer(which, "<path fill=\"none\" " + Paint("stroke", colour) + " stroke-width=\"" +
                                 width + "\" stroke-linejoin=\"" +
                                 (style.lineWidth > 1 ? "round" : "miter") + "\" d=\"" + d +
                                 "\"/>\n");
                break;
            }
            case TemplateLayer::Seams:
                layer(which, "<path fill=\"none\" " + Paint("stroke", *style.seams) +
                                 " stroke-width=\"" + width + "\" d=\"" + edges(FindSeams(r)) +
                                 "\"/>\n");
                break;
            }
        }
        svg += "</g>\n";
        if (split && s + 1 == runs[run].first + runs[run].count) {
            svg += "</g>\n";
            ++run;
        }
    }
    svg += "</svg>\n";
    return svg;
}
