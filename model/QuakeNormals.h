#pragma once
// The 162 vertex normals of Quake and Quake II models (both games' anorms.h):
// an MDL or MD2 vertex stores its normal as an index into this table.
#include "model/Model.h"

#include <array>
#include <cstddef>

inline constexpr size_t kQuakeNormalCount = 162;
const std::array<Point3, kQuakeNormalCount>& QuakeNormals();
