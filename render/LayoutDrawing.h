#pragma once
// The wireframe of a surface's texture layout: every triangle as a closed
// path a -> b -> c -> a, each vertex placed at trunc(scale * coordinate + origin).
#include "model/Model.h"
#include "render/LineRaster.h"
#include "render/PlacedTriangles.h"

struct LayoutMapping {
    double scaleX, scaleY;   // pixels per unit of u and of v
    double originX, originY; // where (0, 0) lands
};

struct LayoutPoint {
    int x, y;
};

// Calls plot(x, y) for every line pixel inside [0, width) x [0, height) of
// the placed triangles: vertex (u, v) lands on
// trunc(scale * u + origin), and each triangle is a closed path a -> b -> c -> a.
template <typename Plot>
void ForEachPlacedLayoutPixel(const std::vector<const Surface*>& records, WrapMode wrap,
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
