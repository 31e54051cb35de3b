#pragma once
// A mesh drawn while the camera moves: the same surface with fewer
// triangles, made once from the full one by merging the vertices that share
// a cell of a grid over it. A software renderer turns a sculpt's million
// triangles a frame too slowly to follow the mouse; the coarse one keeps up,
// and the full one is drawn as soon as the camera stops.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Triangles (three vertex indices each, into the same vertices) of about
// `target` triangles or fewer, covering what `triangles` cover: each corner
// is moved to the first vertex of its grid cell, and triangles that shrink
// to a line or repeat another are left out. `positions` holds x, y, z at
// the start of every `stride` floats. Indices outside the vertices are
// skipped. Empty when the mesh is already no larger than the target.
std::vector<uint32_t> CoarseTriangles(std::span<const float> positions, size_t stride,
                                      std::span<const uint32_t> triangles, size_t target);
