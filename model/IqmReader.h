#pragma once
// Reads IQM models (version 2) into a Model value, or an Error that names
// the file and the part of it that is wrong, in plain words.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

// The model held in `source`: one surface per mesh, named after it and
// wearing its material, with the bind pose's positions and normals, and the
// animations' names and frames; every block the header names must lie
// inside the file. When it has frames, its skeleton moves the vertices in
// them (the model's geometry); a flaw there is a note, and the bind pose
// is kept, since a layout needs no more.
Result<Model> ReadIqm(const SourceBytes& source);
