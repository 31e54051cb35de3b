#pragma once
// Reads compressed MD3 models (MDC, magic "IDPC", version 2) into a Model
// value, or an Error that names the file and the part that is wrong.
//
// A frame's vertex is its base frame's position (1/64 units) plus, when the
// frame has a compressed frame, that frame's offset: one byte an axis, 127
// meaning none, in steps of 1/20 unit. Frames and tags stay in the file's
// bytes and are decoded a frame at a time.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

#include <array>
#include <cstdint>

// The 256 directions a compressed frame's normal byte chooses from, as the
// game lays them out: rings of latitude from the equator down, then up.
const std::array<Point3, 256>& MdcNormalTable();

Result<Model> ReadMdc(const SourceBytes& source);
