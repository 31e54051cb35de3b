#pragma once
// The wireframe of a surface's texture layout: every triangle as a closed
// path a -> b -> c -> a, each vertex placed at trunc(scale * coordinate + origin).
#include "model/SurfaceStore.h"
#include "render/LineRaster.h"

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
