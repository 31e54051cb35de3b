#pragma once
// Reads Quake's MDL models (magic "IDPO", version 6) into a Model value, or
// an Error that names the file and the part of it that is wrong.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

#include "model/QuakeNormals.h"

// One surface named after the file, its skins' pictures (8-bit indices into
// the game's palette), and every frame decoded, the poses of a frame group
// in a row. A vertex on the seam that a back-facing triangle uses gets a copy
// shifted by half the skin's width, as the game draws it.
Result<Model> ReadMdl(const SourceBytes& source);
