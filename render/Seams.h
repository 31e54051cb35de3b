#pragma once
// Seams: layout edges where the model is joined but its layout is cut. Two
// faces that share an edge's two positions in the model (frame 0) but not
// its texture coordinates meet there; paint must match across the two
// places. MD3 files split vertices at seams, so positions are compared, not
// vertex indices. An edge of one face only is an open edge, not a seam.
#include "model/Model.h"
#include "render/PlacedTriangles.h"

#include <vector>

// The seam edges of a surface, in triangle order; none when the file holds
// no positions.
std::vector<TriangleEdge> FindSeams(const Surface& surface);
