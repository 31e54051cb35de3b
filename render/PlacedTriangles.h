#pragma once
// Where each triangle of the chosen surfaces is drawn on the template. With
// wrapping, a triangle appears at every whole-tile shift that brings it over
// the unit square, as the game's repeating texture shows it; one that lies
// in [0,1]² is drawn once, unshifted, exactly as without wrapping.
#include "model/Model.h"
#include "render/DrawingCancel.h"
#include "render/TemplateStyle.h"

#include <algorithm>
#include <cmath>
#include <vector>

struct PlacedTriangle {
    double u[3], v[3]; // texture coordinates after the shift
    int surface;       // position in the list of surfaces drawn
    int triangle;      // position in its surface's triangles
};

// A triangle spread over more tiles than this in either direction is drawn
// as stored, so no triangle is drawn more than 17 x 17 times.
inline constexpr double kMaxWrappedTiles = 16.0;

// The whole-tile shifts of one axis for a triangle spanning [low, high].
struct ShiftRange {
    int first = 0, last = -1; // empty when last < first
};

inline ShiftRange AxisShifts(double low, double high, WrapMode wrap) {
    if (wrap == WrapMode::Clip || (low >= 0 && high <= 1))
        return {0, 0};
    // Far off, or spread over more tiles than any real layout (they span one
    // or two): not a layout anyone paints, and its copies would be countless.
    // Drawn as stored (the template then clips it).
    if (!(low > -1e6 && high < 1e6) || high - low > kMaxWrappedTiles)
        return {0, 0};
    if (low == high) {
        const int shift = int(std::floor(low));
        return {shift, shift};
    }
    // Shifts s with high - s > 0 and low - s < 1.
    return {int(std::floor(low)), int(std::ceil(high)) - 1};
}

// Calls visit(const PlacedTriangle&) for every drawn copy of every triangle
// of the records, in file order, surface by surface; none once the drawing
// is cancelled. A triangle with a corner outside its surface's vertices is
// skipped, as ForEachTriangle skips it.
template <typename Visit>
void ForEachPlacedTriangle(const std::vector<const Surface*>& records, WrapMode wrap,
                           Visit&& visit) {
    for (size_t s = 0; s < records.size(); ++s) {
        const Surface& r = *records[s];
        if (DrawingCancelled())
            return;
        const int32_t vertices = int32_t(r.u.size());
        auto inside = [vertices](int32_t i) { return i >= 0 && i < vertices; };
        for (size_t k = 0; k < r.triangles.size(); ++k) {
            const Triangle tri = r.triangles[k];
            if (!inside(tri.a) || !inside(tri.b) || !inside(tri.c))
                continue;
            if (DrawingCancelled())
                return;
            const size_t a = size_t(tri.a), b = size_t(tri.b), c = size_t(tri.c);
            const double u[3] = {r.u[a], r.u[b], r.u[c]}, v[3] = {r.v[a], r.v[b], r.v[c]};
            const ShiftRange su =
                AxisShifts(std::min({u[0], u[1], u[2]}), std::max({u[0], u[1], u[2]}), wrap);
            const ShiftRange sv =
                AxisShifts(std::min({v[0], v[1], v[2]}), std::max({v[0], v[1], v[2]}), wrap);
            for (int j = sv.first; j <= sv.last; ++j)
                for (int i = su.first; i <= su.last; ++i)
                    visit(PlacedTriangle{{u[0] - i, u[1] - i, u[2] - i},
                                         {v[0] - j, v[1] - j, v[2] - j},
                                         int(s),
                                         int(k)});
        }
    }
}

// One edge of a triangle of a surface: from corner `corner` to the next, or
// the part of it between two fractions of the way along.
struct TriangleEdge {
    int triangle;                // position in the surface's triangles
    int corner;                  // 0, 1 or 2
    double from = 0.0, to = 1.0; // 0 at corner `corner`, 1 at the next
};

// Calls visit(u0, v0, u1, v1) for every drawn copy of each edge, shifted
// with its triangle as ForEachPlacedTriangle shifts it; none once the
// drawing is cancelled.
template <typename Visit>
void ForEachPlacedEdge(const Surface& r, const std::vector<TriangleEdge>& edges, WrapMode wrap,
                       Visit&& visit) {
    const size_t vertices = r.u.size();
    for (const TriangleEdge& edge : edges) {
        if (DrawingCancelled())
            return;
        const Triangle t = r.triangles[size_t(edge.triangle)];
        const int32_t c[3] = {t.a, t.b, t.c};
        if (std::any_of(c, c + 3, [&](int32_t i) { return i < 0 || size_t(i) >= vertices; }))
            continue;
        const double u[3] = {r.u[size_t(c[0])], r.u[size_t(c[1])], r.u[size_t(c[2])]},
                     v[3] = {r.v[size_t(c[0])], r.v[size_t(c[1])], r.v[size_t(c[2])]};
        const ShiftRange su =
            AxisShifts(std::min({u[0], u[1], u[2]}), std::max({u[0], u[1], u[2]}), wrap);
        const ShiftRange sv =
            AxisShifts(std::min({v[0], v[1], v[2]}), std::max({v[0], v[1], v[2]}), wrap);
        const int a = edge.corner, b = (edge.corner + 1) % 3;
        double u0 = u[a], v0 = v[a], u1 = u[b], v1 = v[b];
        if (edge.from != 0.0 || edge.to != 1.0) {
            u0 = u[a] + (u[b] - u[a]) * edge.from, v0 = v[a] + (v[b] - v[a]) * edge.from;
            u1 = u[a] + (u[b] - u[a]) * edge.to, v1 = v[a] + (v[b] - v[a]) * edge.to;
        }
        for (int j = sv.first; j <= sv.last; ++j)
            for (int i = su.first; i <= su.last; ++i)
                visit(u0 - i, v0 - j, u1 - i, v1 - j);
    }
}
