#pragma once
// A surface's vertices numbered by where they are: vertices that share their
// texture coordinates are one point of the layout, and vertices that share
// their frame-0 position are one point of the model. MD3 files split
// vertices wherever a normal or a coordinate changes, so edges are compared
// through these numbers, never through vertex indices.
#include "model/Model.h"

#include <cstdint>
#include <vector>

// Per vertex, its layout point's number (0, 1, ...).
std::vector<uint32_t> LayoutPoints(const Surface& surface);
// Per vertex, its model point's number; empty when the file holds no positions.
std::vector<uint32_t> ModelPoints(const Surface& surface);
