#include "render/TemplateImage.h"

#include "image/TextureImage.h"
#include "render/Flipped.h"
#include "render/LayoutRaster.h"
#include "render/LineMask.h"
#include "render/OverlapCoverage.h"
#include "render/Seams.h"

#include <algorithm>
#include <cairo.h>
#include <new>

namespace {

void SetColour(cairo_t* cr, const Rgba& c) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
}

// Every placed triangle of the records (or of one surface) as closed subpaths.
void AddTriangles(cairo_t* cr, const std::vector<const Surface*>& records, WrapMode wrap,
                  const LayoutMapping& m, int onlySurface = -1) {
    ForEachPlacedTriangle(records, wrap, [&](const PlacedTriangle& t) {
        if (onlySurface >= 0 && t.surface != onlySurface)
            return;
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
                          const std::vector<const Surface*>& records, const DrawTarget& target) {
    if (!style.fill && !style.overlaps)
        return;
    if (target.vector && style.fill) {
        AddTriangles(cr, records, style.wrap, target.mapping);
        SetColour(cr, *style.fill);
        cairo_fill(cr);
    }
    // Judged on the target's own grid (for a page, one cell per unit).
    const OverlapCoverage coverage =
        CountCoverage(records, style.wrap, target.mapping, target.width, target.height);
    if (!target.vector) {
        if (style.fill)
            PaintThroughMask(
                cr,
                MaskOf(target.width, target.height,
                       [&](int x, int y) {
                           return coverage.count[size_t(y) * size_t(target.width) + size_t(x)] != 0;
                       }),
                *style.fill);
        if (style.overlaps)
            PaintThroughMask(cr,
                             MaskOf(target.width, target.height,
                                    [&](int x, int y) { return coverage.Overlapping(x, y); }),
                             style.overlapColour);
        return;
    }
    if (!style.overlaps)
        return;
    const LayoutMapping& m = target.mapping;
    ForEachPlacedTriangle(records, style.wrap, [&](const PlacedTriangle& t) {
        double x[3], y[3];
        for (int k = 0; k < 3; ++k) {
            x[k] = m.scaleX * t.u[k] + m.originX;
            y[k] = m.scaleY * t.v[k] + m.originY;
        }
        if (!TouchesOverlap(coverage, x, y))
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

void DrawLines(cairo_t* cr, const TemplateStyle& style, const std::vector<const Surface*>& records,
               const DrawTarget& target) {
    const int passes = style.colourBySurface ? int(records.size()) : 1;
    const bool exactRule = !target.vector && style.lineWidth == 1.0 && !style.antialias;
    for (int s = 0; s < passes; ++s) {
        const int only = style.colourBySurface ? s : -1;
        if (exactRule) {
            // The first templates' line rule, each pixel painted once.
            std::vector<uint8_t> ink(size_t(target.width) * size_t(target.height), 0);
            std::vector<const Surface*> chosen =
                only < 0 ? records : std::vector<const Surface*>{records[size_t(only)]};
            ForEachPlacedLayoutPixel(
                chosen, style.wrap, target.mapping, target.width, target.height,
                [&](int x, int y) { ink[size_t(y) * size_t(target.width) + size_t(x)] = 1; });
            PaintThroughMask(cr,
                             MaskOf(target.width, target.height,
                                    [&](int x, int y) {
                                        return ink[size_t(y) * size_t(target.width) + size_t(x)] !=
                                               0;
                                    }),
                             LineColourOf(style, s));
            continue;
        }
        cairo_set_line_width(cr, style.lineWidth);
        cairo_set_line_join(cr,
                            style.lineWidth > 1 ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
        Rgba colour = LineColourOf(style, s);
        if (target.vector) {
            // One path: a page keeps it as one stroke.
            AddTriangles(cr, records, style.wrap, target.mapping, only);
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
            const LayoutMapping& m = target.mapping;
            ForEachPlacedTriangle(records, style.wrap, [&](const PlacedTriangle& t) {
                if (only >= 0 && t.surface != only)
                    return;
                double x[3], y[3];
                for (int k = 0; k < 3; ++k) {
                    x[k] = m.scaleX * t.u[k] + m.originX;
                    y[k] = m.scaleY * t.v[k] + m.originY;
                }
                for (int k = 0; k < 3; ++k)
                    AddSegment(mask, x[k], y[k], x[(k + 1) % 3], y[(k + 1) % 3], style.lineWidth,
                               style.antialias);
            });
            cairo_surface_mark_dirty(lines);
        }
        PaintThroughMask(cr, lines, colour);
    }
}

// The seam edges, over everything else, each where its triangle is drawn
// (every wrapped copy), as wide as the lines.
void DrawSeams(cairo_t* cr, const TemplateStyle& style, const std::vector<const Surface*>& records,
               const DrawTarget& target) {
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
    for (const Surface* r : records) {
        for (const SeamEdge& seam : FindSeams(*r)) {
            if (DrawingCancelled())
                break;
            const Triangle t = r->triangles[size_t(seam.triangle)];
            const int32_t c[3] = {t.a, t.b, t.c};
            double u[3], v[3];
            for (int k = 0; k < 3; ++k) {
                u[k] = r->u[size_t(c[k])];
                v[k] = r->v[size_t(c[k])];
            }
            const ShiftRange su =
                AxisShifts(std::min({u[0], u[1], u[2]}), std::max({u[0], u[1], u[2]}), style.wrap);
            const ShiftRange sv =
                AxisShifts(std::min({v[0], v[1], v[2]}), std::max({v[0], v[1], v[2]}), style.wrap);
            const int a = seam.corner, b = (seam.corner + 1) % 3;
            for (int j = sv.first; j <= sv.last; ++j)
                for (int i = su.first; i <= su.last; ++i) {
                    const double x0 = m.scaleX * (u[a] - i) + m.originX,
                                 y0 = m.scaleY * (v[a] - j) + m.originY,
                                 x1 = m.scaleX * (u[b] - i) + m.originX,
                                 y1 = m.scaleY * (v[b] - j) + m.originY;
                    if (target.vector) {
                        cairo_move_to(cr, x0, y0);
                        cairo_line_to(cr, x1, y1);
                    } else {
                        AddSegment(lines, x0, y0, x1, y1, style.lineWidth, style.antialias);
                    }
                }
        }
    }
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
                 const std::vector<const Surface*>& records, const DrawTarget& target) {
    const LayoutMapping& m = target.mapping;
    for (const Surface* r : records) {
        for (const int k : FindFlipped(*r)) {
            if (DrawingCancelled())
                break;
            const Triangle t = r->triangles[size_t(k)];
            const int32_t c[3] = {t.a, t.b, t.c};
            double u[3], v[3];
            for (int i = 0; i < 3; ++i) {
                u[i] = r->u[size_t(c[i])];
                v[i] = r->v[size_t(c[i])];
            }
            const ShiftRange su =
                AxisShifts(std::min({u[0], u[1], u[2]}), std::max({u[0], u[1], u[2]}), style.wrap);
            const ShiftRange sv =
                AxisShifts(std::min({v[0], v[1], v[2]}), std::max({v[0], v[1], v[2]}), style.wrap);
            for (int j = sv.first; j <= sv.last; ++j)
                for (int i = su.first; i <= su.last; ++i) {
                    double x[3], y[3];
                    for (int q = 0; q < 3; ++q) {
                        x[q] = m.scaleX * (u[q] - i) + m.originX;
                        y[q] = m.scaleY * (v[q] - j) + m.originY;
                    }
                    // All turned one way, so that overlapping faces add up
                    // under the non-zero rule instead of cancelling.
                    const bool reverse =
                        (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]) < 0;
                    cairo_move_to(cr, x[0], y[0]);
                    cairo_line_to(cr, x[reverse ? 2 : 1], y[reverse ? 2 : 1]);
                    cairo_line_to(cr, x[reverse ? 1 : 2], y[reverse ? 1 : 2]);
                    cairo_close_path(cr);
                }
        }
    }
    cairo_save(cr);
    if (!target.vector && !style.antialias)
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    SetColour(cr, *style.flipped);
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace

void DrawTemplate(cairo_t* cr, const TemplateStyle& style,
                  const std::vector<const Surface*>& records, const DrawTarget& target) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, target.width, target.height);
    cairo_clip(cr);
    cairo_set_antialias(cr, target.vector || style.antialias ? CAIRO_ANTIALIAS_DEFAULT
                                                             : CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    if (style.background) {
        SetColour(cr, *style.background);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
    if (style.underlay)
        DrawUnderlay(cr, *style.underlay, style.underlayOpacity, target);
    DrawFacesAndOverlaps(cr, style, records, target);
    if (style.flipped)
        DrawFlipped(cr, style, records, target);
    DrawLines(cr, style, records, target);
    if (style.seams)
        DrawSeams(cr, style, records, target);
    cairo_restore(cr);
}

TemplateImage DrawTemplateImage(const TemplateStyle& style,
                                const std::vector<const Surface*>& records) {
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
    cairo_surface_t* surface =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(image.pixels.data()),
                                            CAIRO_FORMAT_ARGB32, width, height, width * 4);
    cairo_t* cr = cairo_create(surface);
    DrawTemplate(cr, style, records,
                 {{double(width), double(height), 0.0, 0.0}, width, height, false});
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    return image;
}
