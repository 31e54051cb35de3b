#pragma once
// A generated mesh of any size, as exporters lay out sculpts and scans: a
// bumpy sphere cut into islands of 16 x 16 cells, each island its own patch
// of the layout (a few mirrored, a few stacked on the one before), split
// into a number of surfaces. Deterministic: the same counts give the same
// bytes. Written as OBJ and as binary glTF for the readers' benchmarks.
#include "model/Model.h"

#include <cstdint>
#include <string>

// A model of `triangles` triangles (at least 1) in `surfaces` surfaces (at
// least 1), with u, v, positions and normals.
Model BigMeshModel(int64_t triangles, int surfaces);

// v/vt/vn/f text, one g and usemtl per surface; vt's v counts upwards.
void WriteBigMeshObj(const Model& model, const std::string& path);
// glTF 2.0 binary: one mesh per surface, float positions (with their bounds),
// normals and texture coordinates, 32-bit indices, a material per surface.
void WriteBigMeshGlb(const Model& model, const std::string& path);

// The model's file in the temporary folder ("obj" or "glb"), written once
// and reused by later runs.
std::string BigMeshFile(int64_t triangles, int surfaces, const std::string& extension);
