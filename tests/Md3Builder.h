#pragma once
// Writes MD3 model files from a plain description: the sample model, the test
// models, the benchmark models and the fuzzer's seeds all come from here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Md3Shader {
    std::string name;
    int32_t index = 0;
};

struct Md3SurfaceDesc {
    std::string name;
    int32_t flags = 0;
    int32_t frames = 1;
    std::vector<Md3Shader> shaders;
    std::vector<std::array<float, 2>> uv;
    std::vector<std::array<int32_t, 3>> triangles;
    // Frame 0's positions (1/64 units), one per vertex; empty: all at 0.
    std::vector<std::array<int16_t, 3>> positions;
    // Frame 0's normals as stored (latitude, longitude), one per vertex; empty: all 0.
    std::vector<std::array<uint8_t, 2>> normals;
    // Real exporters put the shader list either right after the header or
    // after the other lists.
    bool shadersAfterLists = false;
};

struct Md3TagDesc {
    std::string name;
    std::array<float, 3> origin{};
    std::array<std::array<float, 3>, 3> axis{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
};

struct Md3ModelDesc {
    std::string name = "model";
    std::vector<Md3SurfaceDesc> surfaces;
    std::vector<Md3TagDesc> tags; // frame 0's
};

struct BuiltMd3 {
    std::vector<uint8_t> bytes;
    std::vector<size_t> surfaceOffsets; // where each surface header starts
};

BuiltMd3 BuildMd3(const Md3ModelDesc& model);

// Overwrites a little-endian 32-bit value, for models with faults on purpose.
void PatchI32(std::vector<uint8_t>& bytes, size_t at, int32_t value);
void PatchF32(std::vector<uint8_t>& bytes, size_t at, float value);

bool WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A surface of n x n grid cells, two triangles each, spread over 0..1.
Md3SurfaceDesc GridSurface(const std::string& name, int cells, const std::string& shader);
