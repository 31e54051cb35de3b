#include "render/TemplateImage.h"

#include "image/TextureImage.h"
#include "render/Flipped.h"
#include "render/Islands.h"
#include "render/LayoutRaster.h"
#include "render/LineMask.h"
#include "render/OverlapCoverage.h"
#include "render/Seams.h"

#include <algorithm>
#include <atomic>
#include <cairo.h>
#include <exception>
#include <functional>
#include <new>
#include <optional>
#include <thread>

namespace {

void SetColour(cairo_t* cr, const Rgba& c) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
}

// What the layers search the surfaces for (islands, seams, flipped faces,
// the faces over each pixel), found once per template and only when a layer
// asks for it: a layered file's merged picture and its layers share them. A
// million-triangle surface takes a second to search, so the searches the
// style will ask for run two at a time, each into its own slot (the same
// result whatever the order).
class TemplateSearches {
  public:
    explicit TemplateSearches(const std::vector<const Surface*>& records) : m_records(records) {}

    void Prepare(const TemplateStyle& style) {
        const size_t n = m_records.size();
        const bool islands = style.islands || style.outline == Outline::Islands;
        std::vector<std::function<void()>> tasks;
        if (islands && m_islands.size() != n) {
            m_islands.assign(n, {});
            for (size_t s = 0; s < n; ++s)
                tasks.emplace_back([this, s] { m_islands[s] = FindIslands(*m_records[s]); });
        }
        if (style.seams && m_seams.size() != n) {
            m_seams.assign(n, {});
            for (size_t s = 0; s < n; ++s)
                tasks.emplace_back([this, s] { m_seams[s] = FindSeams(*m_records[s]); });
        }
        if (style.flipped && m_flipped.size() != n) {
            m_flipped.assign(n, {});
            for (size_t s = 0; s < n; ++s)
                tasks.emplace_back([this, s] { m_flipped[s] = FlippedOf(*m_records[s]); });
        }
        RunTwoAtATime(tasks);
    }
    const std::vector<SurfaceIslands>& Islands() {
        if (m_islands.size() != m_records.size()) {
            m_islands.clear();
            for (const Surface* r : m_records)
                m_islands.push_back(FindIslands(*r));
        }
        return m_islands;
    }
    const std::vector<std::vector<TriangleEdge>>& Seams() {
        if (m_seams.size() != m_records.size()) {
            m_seams.clear();
            for (const Surface* r : m_records)
                m_seams.push_back(FindSeams(*r));
        }
        return m_seams;
    }
    const std::vector<std::vector<bool>>& Flipped() {
        if (m_flipped.size() != m_records.size()) {
            m_flipped.clear();
            for (const Surface* r : m_records)
                m_flipped.push_back(FlippedOf(*r));
        }
        return m_flipped;
    }
    // The count of faces of each texture file over each pixel of the
    // target's grid.
    const OverlapCoverage& Coverage(const TemplateStyle& style, const DrawTarget& target) {
        if (!m_coverage || m_coverageWrap != style.wrap || m_coverageSampled != style.sampled ||
            !SameGrid(m_coverageTarget, target)) {
            m_coverage.reset();
            m_coverage = CountCoverage(m_records, style.sampled, style.wrap, target.mapping,
                                       target.width, target.height);
            m_coverageWrap = style.wrap;
            m_coverageSampled = style.sampled;
            m_coverageTarget = target;
        }
        return *m_coverage;
    }

  private:
    static std::vector<bool> FlippedOf(const Surface& r) {
        std::vector<bool> flipped(r.triangles.size(), false);
        for (const int k : FindFlipped(r))
            flipped[size_t(k)] = true;
        return flipped;
    }
    static bool SameGrid(const DrawTarget& a, const DrawTarget& b) {
        return a.width == b.width && a.height == b.height && a.vector == b.vector &&
               a.mapping.scaleX == b.mapping.scaleX && a.mapping.scaleY == b.mapping.scaleY &&
               a.mapping.originX == b.mapping.originX && a.mapping.originY == b.mapping.originY;
    }
    // The largest first is what the caller lists first; a failure (memory)
    // on the helper thread is raised again here.
    static void RunTwoAtATime(const std::vector<std::function<void()>>& tasks) {
        if (tasks.empty())
            return;
        std::atomic<size_t> next{0};
        auto work = [&] {
            for (size_t k = next++; k < tasks.size(); k = next++)
                tasks[k]();
        };
        if (tasks.size() == 1) {
            work();
            return;
        }
        std::exception_ptr failed;
        std::thread helper([&] {
            try {
                work();
            } catch (...) {
                failed = std::current_exception();
                next = tasks.size();
            }
        });
        try {
            work();
        } catch (...) {
            next = tasks.size();
            helper.join();
            throw;
        }
        helper.join();
        if (failed)
            std::rethrow_exception(failed);
    }

    const std::vector<const Surface*>& m_records;
    std::vector<SurfaceIslands> m_islands;
    std::vector<std::vector<TriangleEdge>> m_seams;
    std::vector<std::vector<bool>> m_flipped;
    std::optional<OverlapCoverage> m_coverage;
    WrapMode m_coverageWrap = WrapMode::Repeat;
    std::vector<int> m_coverageSampled;
    DrawTarget m_coverageTarget{};
};

// Every placed triangle of the records as closed subpaths.
void AddTriangles(cairo_t* cr, const std::vector<const Surface*>& records, WrapMode wrap,
                  const LayoutMapping& m) {
    ForEachPlacedTriangle(records, wrap, [&](const PlacedTriangle& t) {
        cairo_move_to(cr, m.scaleX * t.u[0] + m.originX, m.scaleY * t.v[0] + m.originY);
        cairo_line_to(cr, m.scaleX * t.u[1] + m.originX, m.scaleY * t.v[1] + m.originY);
        cairo_line_to(cr, m.scaleX * t.u[2] + m.originX, m.scaleY * t.v[2] + m.originY);
        cairo_close_path(cr);
    });
}

// A one-byte mask surface whose pixels are 255 where has(x, y).
template <typename Has> cairo_surface_t* MaskOf(int width, int height, Has&& has) {
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS)
        return mask;
    cairo_surface_flush(mask);
    unsigned char* data = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            data[size_t(y) * size_t(stride) + size_t(x)] = has(x, y) ? 255 : 0;
    cairo_surface_mark_dirty(mask);
    return mask;
}

void PaintThroughMask(cairo_t* cr, cairo_surface_t* mask, const Rgba& colour) {
    if (cairo_surface_status(mask) == CAIRO_STATUS_SUCCESS) {
        SetColour(cr, colour);
        cairo_mask_surface(cr, mask, 0, 0);
    }
    cairo_surface_destroy(mask);
}

// Faces filled and overlaps highlighted. On pixels both come from one count
// of the faces over each pixel centre (filled where one or more cover it,
// highlighted where two or more do); on a page the fill is a path and the
// faces involved in an overlap are filled.
void DrawFacesAndOverlaps(cairo_t* cr, const TemplateStyle& style,
                          const std::vector<const Surface*>& records, const DrawTarget& target,
                          bool drawFill, bool drawOverlaps, TemplateSearches& searches) {
    const bool fill = drawFill && style.fill, overlaps = drawOverlaps && style.overlaps;
    if (!fill && !overlaps)
        return;
    if (target.vector && fill) {
        AddTriangles(cr, records, style.wrap, target.mapping);
        SetColour(cr, *style.fill);
        cairo_fill(cr);
    }
    // Judged on the target's own grid (for a page, one cell per unit).
    const OverlapCoverage& coverage = searches.Coverage(style, target);
    if (!target.vector) {
        if (fill)
            PaintThroughMask(cr,
                             MaskOf(target.width, target.height,
                                    [&](int x, int y) { return coverage.Covered(x, y); }),
                             *style.fill);
        if (overlaps)
            PaintThroughMask(cr,
                             MaskOf(target.width, target.height,
                                    [&](int x, int y) { return coverage.Overlapping(x, y); }),
                             style.overlapColour);
        return;
    }
    if (!overlaps)
        return;
    const LayoutMapping& m = target.mapping;
    ForEachPlacedTriangle(records, style.wrap, [&](const PlacedTriangle& t) {
        double x[3], y[3];
        for (int k = 0; k < 3; ++k) {
            x[k] = m.scaleX * t.u[k] + m.originX;
            y[k] = m.scaleY * t.v[k] + m.originY;
        }
        if (!TouchesOverlap(coverage, size_t(t.surface), x, y))
            return;
        cairo_move_to(cr, x[0], y[0]);
        cairo_line_to(cr, x[1], y[1]);
        cairo_line_to(cr, x[2], y[2]);
        cairo_close_path(cr);
    });
    SetColour(cr, style.overlapColour);
    cairo_fill(cr);
}

// The texture over the unit square, under everything else.
void DrawUnderlay(cairo_t* cr, const TextureImage& texture, double opacity,
                  const DrawTarget& target) {
    if (texture.width <= 0 || texture.height <= 0)
        return;
    cairo_surface_t* picture =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, texture.width, texture.height);
    if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(picture);
        return;
    }
    cairo_surface_flush(picture);
    unsigned char* data = cairo_image_surface_get_data(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    for (int y = 0; y < texture.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
        const uint8_t* in = &texture.rgba[size_t(y) * size_t(texture.width) * 4];
        for (int x = 0; x < texture.width; ++x, in += 4) {
            // Cairo wants premultiplied colour.
            const uint32_t a = in[3];
            auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
            row[x] = a << 24 | pre(in[0]) << 16 | pre(in[1]) << 8 | pre(in[2]);
        }
    }
    cairo_surface_mark_dirty(picture);
    const LayoutMapping& m = target.mapping;
    cairo_save(cr);
    cairo_translate(cr, m.originX, m.originY);
    cairo_scale(cr, m.scaleX / texture.width, m.scaleY / texture.height);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint_with_alpha(cr, std::clamp(opacity, 0.0, 1.0));
    cairo_restore(cr);
    cairo_surface_destroy(picture);
}

Rgba LineColourOf(const TemplateStyle& style, int surface) {
    if (!style.colourBySurface)
        return style.line;
    Rgba c = SurfacePaletteColour(surface);
    c.a = style.line.a;
    return c;
}

// The edges drawn as lines: every edge of every face, or only the island
// borders.
struct LineEdges {
    bool all = true;
    std::vector<std::vector<TriangleEdge>> borders; // per record, when not all
};

LineEdges LineEdgesOf(const TemplateStyle& style, TemplateSearches& searches) {
    LineEdges edges;
    edges.all = style.outline == Outline::All;
    if (!edges.all)
        for (const SurfaceIslands& i : searches.Islands())
            edges.borders.push_back(i.borders);
    return edges;
}

// Calls segment(x0, y0, x1, y1) in target units for every line of the
// records first to end - 1 in drawing order.
template <typename Segment>
void ForEachLine(const std::vector<const Surface*>& records, size_t first, size_t end,
                 const LineEdges& edges, WrapMode wrap, const LayoutMapping& m, Segment&& segment) {
    if (edges.all) {
        const std::vector<const Surface*> part(records.begin() + std::ptrdiff_t(first),
                                               records.begin() + std::ptrdiff_t(end));
        ForEachPlacedTriangle(part, wrap, [&](const PlacedTriangle& t) {
            double x[3], y[3];
            for (int k = 0; k < 3; ++k) {
                x[k] = m.scaleX * t.u[k] + m.originX;
                y[k] = m.scaleY * t.v[k] + m.originY;
            }
            for (int k = 0; k < 3; ++k)
                segment(x[k], y[k], x[(k + 1) % 3], y[(k + 1) % 3]);
        });
        return;
    }
    for (size_t s = first; s < end; ++s)
        ForEachPlacedEdge(*records[s], edges.borders[s], wrap,
                          [&](double u0, double v0, double u1, double v1) {
                              segment(m.scaleX * u0 + m.originX, m.scaleY * v0 + m.originY,
                                      m.scaleX * u1 + m.originX, m.scaleY * v1 + m.originY);
                          });
}

// The lines of the records first to end - 1 (a run of them; all by default),
// each record keeping its colour among all the records.
void DrawLines(cairo_t* cr, const TemplateStyle& style, const std::vector<const Surface*>& records,
               const DrawTarget& target, TemplateSearches& searches, size_t first = 0,
               size_t end = SIZE_MAX) {
    end = std::min(end, records.size());
    first = std::min(first, end);
    const bool exactRule = !target.vector && style.lineWidth == 1.0 && !style.antialias;
    const LineEdges edges = LineEdgesOf(style, searches);
    // One pass per record when each has its colour, else one for all.
    const size_t passes = style.colourBySurface ? end - first : 1;
    for (size_t pass = 0; pass < passes; ++pass) {
        const size_t lo = style.colourBySurface ? first + pass : first;
        const size_t hi = style.colourBySurface ? lo + 1 : end;
        const Rgba colour = LineColourOf(style, int(lo));
        if (exactRule) {
            // The first templates' line rule, each pixel painted once.
            std::vector<uint8_t> ink(size_t(target.width) * size_t(target.height), 0);
            auto plot = [&](int x, int y) {
                ink[size_t(y) * size_t(target.width) + size_t(x)] = 1;
            };
            if (edges.all) {
                const std::vector<const Surface*> chosen(records.begin() + std::ptrdiff_t(lo),
                                                         records.begin() + std::ptrdiff_t(hi));
                ForEachPlacedLayoutPixel(chosen, style.wrap, target.mapping, target.width,
                                         target.height, plot);
            } else {
                ForEachLine(records, lo, hi, edges, style.wrap, target.mapping,
                            [&](double x0, double y0, double x1, double y1) {
                                ForEachLinePixel(TruncateCoordinate(x0), TruncateCoordinate(y0),
                                                 TruncateCoordinate(x1), TruncateCoordinate(y1),
                                                 target.width, target.height, plot);
                            });
            }
            PaintThroughMask(cr,
                             MaskOf(target.width, target.height,
                                    [&](int x, int y) {
                                        return ink[size_t(y) * size_t(target.width) + size_t(x)] !=
                                               0;
                                    }),
                             colour);
            continue;
        }
        cairo_set_line_width(cr, style.lineWidth);
        cairo_set_line_join(cr,
                            style.lineWidth > 1 ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
        if (target.vector) {
            // One path: a page keeps it as one stroke.
            if (edges.all) {
                AddTriangles(cr,
                             std::vector<const Surface*>(records.begin() + std::ptrdiff_t(lo),
                                                         records.begin() + std::ptrdiff_t(hi)),
                             style.wrap, target.mapping);
            } else {
                ForEachLine(records, lo, hi, edges, style.wrap, target.mapping,
                            [&](double x0, double y0, double x1, double y1) {
                                cairo_move_to(cr, x0, y0);
                                cairo_line_to(cr, x1, y1);
                            });
            }
            SetColour(cr, colour);
            cairo_stroke(cr);
            continue;
        }
        // On pixels, a coverage mask of capsules, laid down in the colour.
        cairo_surface_t* lines =
            cairo_image_surface_create(CAIRO_FORMAT_A8, target.width, target.height);
        if (cairo_surface_status(lines) == CAIRO_STATUS_SUCCESS) {
            cairo_surface_flush(lines);
            const LineMask mask{cairo_image_surface_get_data(lines),
                                cairo_image_surface_get_stride(lines), target.width, target.height};
            ForEachLine(records, lo, hi, edges, style.wrap, target.mapping,
                        [&](double x0, double y0, double x1, double y1) {
                            AddSegment(mask, x0, y0, x1, y1, style.lineWidth, style.antialias);
                        });
            cairo_surface_mark_dirty(lines);
        }
        PaintThroughMask(cr, lines, colour);
    }
}

// Each island in its own flat colour, under the other fills: on pixels,
// whichever island covers a pixel's centre (aliased, so the magic wand takes
// exactly one island); on a page, each island's faces as one filled path.
void DrawIslands(cairo_t* cr, const TemplateStyle& style,
                 const std::vector<const Surface*>& records, const DrawTarget& target,
                 TemplateSearches& searches) {
    const std::vector<SurfaceIslands>& islands = searches.Islands();
    int total = 0;
    for (const SurfaceIslands& i : islands)
        total += i.count;
    // Judged on the target's own grid (for a page, one cell per unit).
    const std::vector<int32_t> label =
        IslandLabels(records, islands, style.wrap, target.mapping, target.width, target.height);
    const std::vector<Rgba> flat =
        IslandColours(label, target.width, target.height, total, style.background);
    if (target.vector) {
        const LayoutMapping& m = target.mapping;
        size_t first = 0; // the number of the surface's first island
        for (size_t s = 0; s < records.size(); first += size_t(islands[s].count), ++s) {
            // One path per island, its faces gathered in one walk.
            std::vector<std::vector<PlacedTriangle>> faces(size_t(islands[s].count));
            ForEachPlacedTriangle(std::vector<const Surface*>{records[s]}, style.wrap,
                                  [&](const PlacedTriangle& t) {
                                      const int i = islands[s].islandOf[size_t(t.triangle)];
                                      if (i >= 0)
                                          faces[size_t(i)].push_back(t);
                                  });
            for (size_t i = 0; i < faces.size(); ++i) {
                for (const PlacedTriangle& t : faces[i]) {
                    cairo_move_to(cr, m.scaleX * t.u[0] + m.originX, m.scaleY * t.v[0] + m.originY);
                    cairo_line_to(cr, m.scaleX * t.u[1] + m.originX, m.scaleY * t.v[1] + m.originY);
                    cairo_line_to(cr, m.scaleX * t.u[2] + m.originX, m.scaleY * t.v[2] + m.originY);
                    cairo_close_path(cr);
                }
                SetColour(cr, flat[first + i]);
                cairo_fill(cr);
            }
        }
        return;
    }
    cairo_surface_t* picture =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, target.width, target.height);
    if (cairo_surface_status(picture) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(picture);
        unsigned char* data = cairo_image_surface_get_data(picture);
        const int stride = cairo_image_surface_get_stride(picture);
        for (int y = 0; y < target.height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
            for (int x = 0; x < target.width; ++x) {
                const int32_t id = label[size_t(y) * size_t(target.width) + size_t(x)];
                if (id < 0) {
                    row[x] = 0;
                    continue;
                }
                const Rgba& c = flat[size_t(id)];
                row[x] = 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
            }
        }
        cairo_surface_mark_dirty(picture);
        cairo_set_source_surface(cr, picture, 0, 0);
        cairo_paint(cr);
    }
    cairo_surface_destroy(picture);
}

// The seam edges, over everything else, each where its triangle is drawn
// (every wrapped copy), as wide as the lines.
void DrawSeams(cairo_t* cr, const TemplateStyle& style, const std::vector<const Surface*>& records,
               const DrawTarget& target, TemplateSearches& searches) {
    const LayoutMapping& m = target.mapping;
    cairo_surface_t* mask = nullptr;
    LineMask lines{};
    if (!target.vector) {
        mask = cairo_image_surface_create(CAIRO_FORMAT_A8, target.width, target.height);
        if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(mask);
            return;
        }
        cairo_surface_flush(mask);
        lines = {cairo_image_surface_get_data(mask), cairo_image_surface_get_stride(mask),
                 target.width, target.height};
    }
    const std::vector<std::vector<TriangleEdge>>& seams = searches.Seams();
    for (size_t s = 0; s < records.size(); ++s)
        ForEachPlacedEdge(
            *records[s], seams[s], style.wrap, [&](double u0, double v0, double u1, double v1) {
                const double x0 = m.scaleX * u0 + m.originX, y0 = m.scaleY * v0 + m.originY,
                             x1 = m.scaleX * u1 + m.originX, y1 = m.scaleY * v1 + m.originY;
                if (target.vector) {
                    cairo_move_to(cr, x0, y0);
                    cairo_line_to(cr, x1, y1);
                } else {
                    AddSegment(lines, x0, y0, x1, y1, style.lineWidth, style.antialias);
                }
            });
    if (target.vector) {
        cairo_set_line_width(cr, style.lineWidth);
        SetColour(cr, *style.seams);
        cairo_stroke(cr);
        return;
    }
    cairo_surface_mark_dirty(mask);
    PaintThroughMask(cr, mask, *style.seams);
}

// The flipped faces, filled over the other fills and under the lines, at
// every wrapped copy; pixel centres decide unless the template is smoothed.
void DrawFlipped(cairo_t* cr, const TemplateStyle& style,
                 const std::vector<const Surface*>& records, const DrawTarget& target,
                 TemplateSearches& searches) {
    const LayoutMapping& m = target.mapping;
    const std::vector<std::vector<bool>>& flipped = searches.Flipped();
    ForEachPlacedTriangle(records, style.wrap, [&](const PlacedTriangle& t) {
        if (!flipped[size_t(t.surface)][size_t(t.triangle)])
            return;
        double x[3], y[3];
        for (int q = 0; q < 3; ++q) {
            x[q] = m.scaleX * t.u[q] + m.originX;
            y[q] = m.scaleY * t.v[q] + m.originY;
        }
        // All turned one way, so that overlapping faces add up under the
        // non-zero rule instead of cancelling.
        const bool reverse = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]) < 0;
        cairo_move_to(cr, x[0], y[0]);
        cairo_line_to(cr, x[reverse ? 2 : 1], y[reverse ? 2 : 1]);
        cairo_line_to(cr, x[reverse ? 1 : 2], y[reverse ? 1 : 2]);
        cairo_close_path(cr);
    });
    cairo_save(cr);
    if (!target.vector && !style.antialias)
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    SetColour(cr, *style.flipped);
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace

const char* LayerName(TemplateLayer layer) {
    switch (layer) {
    case TemplateLayer::Texture:
        return "texture";
    case TemplateLayer::Baked:
        return "baked";
    case TemplateLayer::Islands:
        return "islands";
    case TemplateLayer::Fill:
        return "fill";
    case TemplateLayer::Overlaps:
        return "overlaps";
    case TemplateLayer::Flipped:
        return "flipped";
    case TemplateLayer::Lines:
        return "lines";
    case TemplateLayer::Seams:
        return "seams";
    }
    return "";
}

std::vector<TemplateLayer> LayersOf(const TemplateStyle& style) {
    std::vector<TemplateLayer> layers;
    if (style.underlay)
        layers.push_back(TemplateLayer::Texture);
    if (style.islands)
        layers.push_back(TemplateLayer::Islands);
    if (style.fill)
        layers.push_back(TemplateLayer::Fill);
    if (style.overlaps)
        layers.push_back(TemplateLayer::Overlaps);
    if (style.flipped)
        layers.push_back(TemplateLayer::Flipped);
    layers.push_back(TemplateLayer::Lines);
    if (style.seams)
        layers.push_back(TemplateLayer::Seams);
    return layers;
}

namespace {

void BeginLayer(cairo_t* cr, const TemplateStyle& style, const DrawTarget& target) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, target.width, target.height);
    cairo_clip(cr);
    cairo_set_antialias(cr, target.vector || style.antialias ? CAIRO_ANTIALIAS_DEFAULT
                                                             : CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

// One layer; for the lines, only those of run when one is given.
void DrawLayer(cairo_t* cr, const TemplateStyle& style, const std::vector<const Surface*>& records,
               const DrawTarget& target, TemplateLayer layer, TemplateSearches& searches,
               const RecordRun* run = nullptr) {
    BeginLayer(cr, style, target);
    switch (layer) {
    case TemplateLayer::Texture:
        if (style.underlay)
            DrawUnderlay(cr, *style.underlay, style.underlayOpacity, target);
        break;
    case TemplateLayer::Baked:
        break; // drawn from the model, not the layout: InsertLayersAboveTexture
    case TemplateLayer::Islands:
        if (style.islands)
            DrawIslands(cr, style, records, target, searches);
        break;
    case TemplateLayer::Fill:
        DrawFacesAndOverlaps(cr, style, records, target, true, false, searches);
        break;
    case TemplateLayer::Overlaps:
        DrawFacesAndOverlaps(cr, style, records, target, false, true, searches);
        break;
    case TemplateLayer::Flipped:
        if (style.flipped)
            DrawFlipped(cr, style, records, target, searches);
        break;
    case TemplateLayer::Lines:
        if (run)
            DrawLines(cr, style, records, target, searches, run->first, run->first + run->count);
        else
            DrawLines(cr, style, records, target, searches);
        break;
    case TemplateLayer::Seams:
        if (style.seams)
            DrawSeams(cr, style, records, target, searches);
        break;
    }
    cairo_restore(cr);
}

} // namespace

namespace {

void DrawTemplateWith(cairo_t* cr, const TemplateStyle& style,
                      const std::vector<const Surface*>& records, const DrawTarget& target,
                      TemplateSearches& searches) {
    searches.Prepare(style);
    if (style.background) {
        BeginLayer(cr, style, target);
        SetColour(cr, *style.background);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    for (const TemplateLayer layer : LayersOf(style)) {
        if (layer == TemplateLayer::Overlaps && style.fill)
            continue; // drawn with the fill, from one count of the faces
        if (layer == TemplateLayer::Fill) {
            BeginLayer(cr, style, target);
            DrawFacesAndOverlaps(cr, style, records, target, true, true, searches);
            cairo_restore(cr);
            continue;
        }
        DrawLayer(cr, style, records, target, layer, searches);
    }
}

} // namespace

void DrawTemplate(cairo_t* cr, const TemplateStyle& style,
                  const std::vector<const Surface*>& records, const DrawTarget& target) {
    TemplateSearches searches(records);
    DrawTemplateWith(cr, style, records, target, searches);
}

uint32_t StraightPixel(uint32_t p) {
    // Every (alpha, channel) pair once: a division per channel per pixel
    // was most of the time spent writing layered files.
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(256 * 256);
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t c = 0; c < 256; ++c)
                t[a * 256 + c] =
                    uint8_t(a == 0 ? 0 : std::min<uint32_t>(255, (c * 255 + a / 2) / a));
        return t;
    }();
    const uint32_t a = p >> 24;
    if (a == 255)
        return p;
    const uint8_t* row = &table[size_t(a) * 256];
    return a << 24 | uint32_t(row[(p >> 16) & 0xFF]) << 16 | uint32_t(row[(p >> 8) & 0xFF]) << 8 |
           row[p & 0xFF];
}

namespace {

// Runs draw on a Cairo context over the image's pixels; false when the
// drawing ran out of memory (a huge template with its per-pixel counts).
template <typename Draw> bool DrawOnto(TemplateImage& image, Draw&& draw) {
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(image.pixels.data()), CAIRO_FORMAT_ARGB32, image.width,
        image.height, image.width * 4);
    cairo_t* cr = cairo_create(surface);
    bool drawn = true;
    try {
        draw(cr);
    } catch (const std::bad_alloc&) {
        drawn = false;
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    return drawn;
}

TemplateImage DrawTemplateImageWith(const TemplateStyle& style,
                                    const std::vector<const Surface*>& records,
                                    TemplateSearches& searches) {
    TemplateImage image;
    const int width = std::clamp(style.width, 1, kMaxTemplateSide);
    const int height = std::clamp(style.height, 1, kMaxTemplateSide);
    try {
        image.pixels.assign(size_t(width) * size_t(height), 0);
    } catch (const std::bad_alloc&) {
        return image;
    }
    image.width = width;
    image.height = height;
    image.opaque = style.background && style.background->a == 255;
    if (style.IsPlain()) {
        const LayoutRaster raster = DrawLayoutRaster(records, width, height, style.wrap);
        for (size_t i = 0; i < image.pixels.size(); ++i)
            image.pixels[i] = raster.ink[i] ? 0xFF000000u : 0xFFFFFFFFu;
        return image;
    }
    if (!DrawOnto(image, [&](cairo_t* cr) {
            DrawTemplateWith(cr, style, records,
                             {{double(width), double(height), 0.0, 0.0}, width, height, false},
                             searches);
        }))
        return {};
    return image;
}

} // namespace

TemplateImage DrawTemplateImage(const TemplateStyle& style,
                                const std::vector<const Surface*>& records) {
    TemplateSearches searches(records);
    return DrawTemplateImageWith(style, records, searches);
}

LayeredTemplate DrawLayeredTemplate(const TemplateStyle& style,
                                    const std::vector<const Surface*>& records) {
    LayeredTemplate result;
    // The merged picture and the layers search the surfaces once.
    TemplateSearches searches(records);
    result.merged = DrawTemplateImageWith(style, records, searches);
    if (result.merged.width == 0)
        return result;
    const int width = result.merged.width, height = result.merged.height;
    TemplateStyle alone = style;
    alone.background.reset();
    alone.underlayOpacity = 1.0; // the layer's own opacity carries it
    // The lines split by run when the runs are named: each its own layer.
    const std::vector<RecordRun> runs = RunsOf(style, records.size());
    const bool split = SplitsRuns(runs);
    auto add = [&](TemplateLayer layer, const RecordRun* run) {
        LayerImage entry{
            layer,
            {},
            layer == TemplateLayer::Texture ? std::clamp(style.underlayOpacity, 0.0, 1.0) : 1.0,
            run ? "lines: " + run->name : std::string(LayerName(layer))};
        try {
            entry.image.pixels.assign(size_t(width) * size_t(height), 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        entry.image.width = width;
        entry.image.height = height;
        entry.image.opaque = false;
        if (!DrawOnto(entry.image, [&](cairo_t* cr) {
                DrawLayer(cr, alone, records,
                          {{double(width), double(height), 0.0, 0.0}, width, height, false}, layer,
                          searches, run);
            }))
            return false;
        result.layers.push_back(std::move(entry));
        return true;
    };
    for (const TemplateLayer layer : LayersOf(style)) {
        if (layer == TemplateLayer::Lines && split) {
            for (const RecordRun& run : runs)
                if (!add(layer, &run))
                    return {};
        } else if (!add(layer, nullptr)) {
            return {};
        }
    }
    return result;
}

void InsertLayersAboveTexture(LayeredTemplate& layered, std::vector<LayerImage> layers,
                              const TemplateStyle& style) {
    const int width = layered.merged.width, height = layered.merged.height;
    if (width == 0 || layers.empty())
        return;
    auto at = layered.layers.begin();
    while (at != layered.layers.end() && at->layer == TemplateLayer::Texture)
        ++at;
    layered.layers.insert(at, std::make_move_iterator(layers.begin()),
                          std::make_move_iterator(layers.end()));
    // Premultiplied compositing, channel by channel, as the painting
    // programs do it: source over, or multiply (W3C compositing).
    std::vector<float> rgba(size_t(width) * size_t(height) * 4, 0.0f);
    if (style.background)
        for (size_t i = 0; i < rgba.size(); i += 4) {
            const float a = float(style.background->a) / 255.0f;
            rgba[i] = float(style.background->r) / 255.0f * a;
            rgba[i + 1] = float(style.background->g) / 255.0f * a;
            rgba[i + 2] = float(style.background->b) / 255.0f * a;
            rgba[i + 3] = a;
        }
    for (const LayerImage& layer : layered.layers) {
        if (!layer.visible)
            continue;
        const float opacity = float(std::clamp(layer.opacity, 0.0, 1.0));
        for (int y = 0; y < layer.image.height; ++y) {
            const int ty = y + layer.y;
            if (ty < 0 || ty >= height)
                continue;
            for (int x = 0; x < layer.image.width; ++x) {
                const int tx = x + layer.x;
                if (tx < 0 || tx >= width)
                    continue;
                const uint32_t p = layer.image.At(x, y);
                const float s[4] = {float(p >> 16 & 0xFF) / 255.0f * opacity,
                                    float(p >> 8 & 0xFF) / 255.0f * opacity,
                                    float(p & 0xFF) / 255.0f * opacity,
                                    float(p >> 24) / 255.0f * opacity};
                float* d = &rgba[(size_t(ty) * size_t(width) + size_t(tx)) * 4];
                const float da = d[3];
                for (int c = 0; c < 3; ++c)
                    d[c] = layer.multiply ? s[c] * (1 - da) + d[c] * (1 - s[3]) + s[c] * d[c]
                                          : s[c] + d[c] * (1 - s[3]);
                d[3] = s[3] + da * (1 - s[3]);
            }
        }
    }
    bool opaque = true;
    for (size_t i = 0; i < layered.merged.pixels.size(); ++i) {
        const float* c = &rgba[i * 4];
        auto byte = [](float v) { return uint32_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
        layered.merged.pixels[i] =
            byte(c[3]) << 24 | byte(c[0]) << 16 | byte(c[1]) << 8 | byte(c[2]);
        opaque = opaque && byte(c[3]) == 255;
    }
    layered.merged.opaque = opaque;
}
