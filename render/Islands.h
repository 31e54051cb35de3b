#pragma once
// Islands: the pieces a layout is cut into. Two faces of a surface belong to
// one island when they share a layout edge (the same two texture
// coordinates); an island's border is the outline of the area its faces
// cover, however many of them are stacked there (mirrored halves of a model
// often share one layout). Painters trace these borders and fill islands by
// colour.
#include "model/Model.h"
#include "render/LayoutDrawing.h"
#include "render/PlacedTriangles.h"

#include <vector>

struct SurfaceIslands {
    std::vector<int> islandOf; // per triangle; -1 for a triangle with a corner out of the surface
    int count = 0;
    // Each stretch of border once, as a whole edge or a part of one, in
    // triangle order.
    std::vector<TriangleEdge> borders;
};

SurfaceIslands FindIslands(const Surface& surface);

// Per pixel of a width x height grid, the island drawn there (numbered over
// all records in order, later faces over earlier ones), or -1.
std::vector<int32_t> IslandLabels(const std::vector<const Surface*>& records,
                                  const std::vector<SurfaceIslands>& islands, WrapMode wrap,
                                  const LayoutMapping& mapping, int width, int height);

// One flat, opaque colour per island numbered as the labels number them,
// each unlike every other island's colour, unlike the background, and far
// from the colours of the islands that touch it in the labels.
std::vector<Rgba> IslandColours(const std::vector<int32_t>& labels, int width, int height,
                                int islandCount, const std::optional<Rgba>& background);
