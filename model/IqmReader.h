#pragma once
// Reads IQM models (version 2) into a Model value, or an Error that names
// the file and the part of it that is wrong, in plain words.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

// The model held in `source`: one surface per mesh, named after it and
// wearing its material, with the bind pose's positions and normals, and the
// animations' names and frames. The skeleton and the frames' poses are not
// read (the bind pose is what a layout needs), but every block the header
// names must lie inside the file.
Result<Model> ReadIqm(const SourceBytes& source);
