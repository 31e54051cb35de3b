#pragma once
// Reads Wavefront OBJ models (text) and their material libraries into a Model
// value, or an Error that names the file, the line and what is wrong.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

#include <string>
#include <string_view>
#include <unordered_map>

// One surface per group (or object) and material, named after the group;
// the material's map_Kd becomes the surface's texture, relative to the model.
// Material libraries are read through source.companions; what could not be
// read is said in the model's notes.
Result<Model> ReadObj(const SourceBytes& source);

// A material library's text: each material's name and the picture its map_Kd
// names, as written (options such as "-s 1 1 1" taken off). The first
// definition of a name wins.
std::unordered_map<std::string, std::string> ReadMtlMaps(std::string_view text);
