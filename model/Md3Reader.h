#pragma once
// Reads MD3 models into a Model value, or an Error that names the file and
// says what is wrong with it in plain words.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

// The model held in `source`, which it keeps (the frames and tags are views
// into its bytes). A model that cannot be held whole is refused.
Result<Model> ReadMd3(const SourceBytes& source);

// Reads a model file whole, opened once, then ReadMd3.
Result<Model> LoadMd3File(const std::string& path);
