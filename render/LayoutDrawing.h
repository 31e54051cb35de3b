#pragma once
// The wireframe of a surface's texture layout: every triangle as a closed
// path a -> b -> c -> a, each vertex placed at trunc(scale * coordinate + origin).
#include "model/SurfaceStore.h"
#include "render/LineRaster.h"
#include "render/PlacedTriangles.h"

struct LayoutMapping {
    double scaleX, scaleY;   // pixels per unit of u and of v
    double originX, originY; // where (0, 0) lands
};

struct LayoutPoint {
    int x, y;
};

inline LayoutPoint MapVertex(const SurfaceRecord& r, int vertex, const LayoutMapping& m) {
    return {TruncateCoordinate(m.scaleX * r.u[vertex] + m.originX),
            TruncateCoordinate(m.scaleY * r.v[vertex] + m.originY)};
}

// Calls plot(x, y) for every line pixel inside [0, width) x [0, height).
// Triangles with a corner outside the surface's vertices are skipped.
template <typename Plot>
void ForEachLayoutPixel(const SurfaceRecord& r, const LayoutMapping& m, int width, int height,
                        Plot&& plot) {
    ForEachTriangle(r, [&](int a, int b, int c) {
        const LayoutPoint pa = MapVertex(r, a, m), pb = MapVertex(r, b, m), pc = MapVertex(r, c, m);
        ForEachLinePixel(pa.x, pa.y, pb.x, pb.y, width, height, plot);
        ForEachLinePixel(pb.x, pb.y, pc.x, pc.y, width, height, plot);
        ForEachLinePixel(pc.x, pc.y, pa.x, pa.y, width, height, plot);
    });
}

// The same for placed triangles: vertex (u, v) lands on
// trunc(scale * u + origin), and each triangle is a closed path a -> b -> c -> a.
template <typename Plot>
void ForEachPlacedLayoutPixel(const std::vector<const SurfaceRecord*>& records, WrapMode wrap,
                              const LayoutMapping& m, int width, int height, Plot&& plot) {
    ForEachPlacedTriangle(records, wrap, [&](const PlacedTriangle& t) {
        LayoutPoint p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = {TruncateCoordinate(m.scaleX * t.u[k] + m.originX),
                    TruncateCoordinate(m.scaleY * t.v[k] + m.originY)};
        ForEachLinePixel(p[0].x, p[0].y, p[1].x, p[1].y, width, height, plot);
        ForEachLinePixel(p[1].x, p[1].y, p[2].x, p[2].y, width, height, plot);
        ForEachLinePixel(p[2].x, p[2].y, p[0].x, p[0].y, width, height, plot);
    });
}
