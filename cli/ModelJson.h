#pragma once
// What --dump writes: the model's surfaces as JSON.
#include "model/Model.h"

#include <string>

// An MD3: {"surfaceCount": N, "surfaces": [...]}, each surface's header
// fields, its texture coordinates as read (six decimals) and its triangles.
// Any other format: {"format": "MDL", "surfaceCount": N, "frameCount": F,
// "frameNames": [...], "skinNames": [...], "skins": [{"name", "width",
// "height"}], "surfaces": [{"name", "shaderName", "vertexCount",
// "triangleCount", "u", "v", "triangles"}]}.
std::string ModelAsJson(const Model& model);
