#pragma once
// Flipped faces: laid out with their winding reversed against the rest of
// their surface. A face's winding in the model is read against its vertex
// normals (frame 0); its layout winding is the sign of its area in the
// layout. Most faces of a surface agree; the ones that do not are mirrored
// copies, which a painter must know before painting one side of a symmetric
// part.
#include "model/Model.h"

#include <vector>

// The positions in the surface's triangles of its flipped faces, in order.
// Faces with no area in the layout are never flipped; when as many faces go
// one way as the other, the ones against the first counted face are flipped.
std::vector<int> FindFlipped(const Surface& surface);
