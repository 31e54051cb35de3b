#pragma once
// What --dump writes: the model's surfaces as JSON.
#include "model/Model.h"

#include <string>

// {"surfaceCount": N, "surfaces": [...]}: each surface's header fields, its
// texture coordinates as read (six decimals) and its triangles as stored.
std::string ModelAsJson(const Model& model);
