#pragma once
// Reads Quake II MD2 models (IDP2, version 8) into a Model value, or an Error
// that names the file and the part of it that is wrong.
#include "model/ByteSource.h"
#include "model/Error.h"
#include "model/Model.h"

// One surface wearing the first skin the header names; every frame decoded.
// Texture coordinates are the centres of the texels the file stores, as the
// game samples them.
Result<Model> ReadMd2(const SourceBytes& source);
