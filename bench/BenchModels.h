#pragma once
// Models for the benchmarks: surfaces of 4096 vertices and 8192 triangles,
// laid out as exporters do (a wrapped 64 x 64 grid of small triangles) or
// scattered between random points (most edges cross the whole layout: the
// worst case for drawing).
#include "model/Model.h"
#include "tests/Md3Builder.h"

#include <filesystem>
#include <string>

inline Md3SurfaceDesc BenchSurface(int index, bool scattered, int vertices = kMaxVertices,
                                   int triangles = kMaxTriangles) {
    Md3SurfaceDesc s;
    s.name = "surface_" + std::to_string(index);
    s.shaders.push_back({"models/bench/skin_" + std::to_string(index) + ".tga", 0});
    uint32_t seed = 12345u + uint32_t(index);
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1 << 24);
    };
    const int side = 64;
    for (int j = 0; j < vertices; ++j)
        s.uv.push_back(scattered ? std::array<float, 2>{next(), next()}
                                 : std::array<float, 2>{float(j % side) / side,
                                                        float(j / side % side) / side});
    // A sheet in the model, one position per vertex, so that seams and
    // windings are found on real edges.
    for (int j = 0; j < vertices; ++j)
        s.positions.push_back({int16_t(j % side * 16), int16_t(j / side * 16), int16_t(index)});
    for (int k = 0; k < triangles; ++k) {
        if (scattered) {
            const int32_t a = int32_t(next() * float(vertices - 3));
            s.triangles.push_back({a, a + 1, a + 2});
            continue;
        }
        const int cell = k / 2 % (side * side), x = cell % side, y = cell / side;
        const int32_t i = y * side + x, right = y * side + (x + 1) % side,
                      down = ((y + 1) % side) * side + x,
                      diagonal = ((y + 1) % side) * side + (x + 1) % side;
        s.triangles.push_back(k % 2 ? std::array<int32_t, 3>{right, diagonal, down}
                                    : std::array<int32_t, 3>{i, right, down});
    }
    return s;
}

// Written once into the temporary folder and reused by later runs.
inline std::string BenchModelFile(int surfaces, bool scattered, int vertices = kMaxVertices,
                                  int triangles = kMaxTriangles) {
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("gridwright-bench-" + std::to_string(surfaces) + "x" + std::to_string(vertices) + "x" +
          std::to_string(triangles) + (scattered ? "-scattered" : "-mesh") + "-positions.md3"))
            .string();
    if (!std::filesystem::exists(path)) {
        Md3ModelDesc model;
        for (int i = 0; i < surfaces; ++i)
            model.surfaces.push_back(BenchSurface(i, scattered, vertices, triangles));
        WriteBytesToFile(path, BuildMd3(model).bytes);
    }
    return path;
}
