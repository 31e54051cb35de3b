// Loading, EPS text and raster at the sizes the store holds.
//   build/bin/core_bench
#include "EpsTemplate.h"
#include "LayoutRaster.h"
#include "Md3Builder.h"
#include "Md3Reader.h"
#include "SurfaceStore.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

struct NullView : ModelLoadView {
    void AppendSurfaceName(const std::string&) override {}
    void ShowLoadFailure(const std::string& reason) override {
        std::fprintf(stderr, "load failed: %s\n", reason.c_str());
        std::abort();
    }
};

// A surface of `vertices` scattered coordinates and `triangles` triangles.
Md3SurfaceSpec Scattered(int index, int vertices, int triangles) {
    Md3SurfaceSpec s;
    s.name = "surface_" + std::to_string(index);
    s.shaders.push_back({"models/bench/skin_" + std::to_string(index) + ".tga", 0});
    uint32_t seed = 12345u + uint32_t(index);
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1 << 24);
    };
    for (int j = 0; j < vertices; ++j)
        s.uv.push_back({next(), next()});
    for (int k = 0; k < triangles; ++k) {
        const int32_t a = int32_t(next() * float(vertices - 3));
        s.triangles.push_back({a, a + 1, a + 2});
    }
    return s;
}

std::string ModelFile(int surfaces, int vertices, int triangles) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("gridwright-bench-" + std::to_string(surfaces) + "-" +
                               std::to_string(vertices) + "-" + std::to_string(triangles) + ".md3"))
                                 .string();
    if (!std::filesystem::exists(path)) {
        Md3ModelSpec model;
        for (int i = 0; i < surfaces; ++i)
            model.surfaces.push_back(Scattered(i, vertices, triangles));
        WriteBytesToFile(path, BuildMd3(model).bytes);
    }
    return path;
}

void Load(benchmark::State& state, int vertices, int triangles) {
    const std::string path = ModelFile(255, vertices, triangles);
    NullView view;
    for (auto _ : state) {
        g_modelPath = path;
        LoadModel(path, view);
    }
    state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;
}

void BM_Load255x1024(benchmark::State& state) { Load(state, 1024, 1024); }
void BM_Load255AtFullCapacity(benchmark::State& state) {
    Load(state, kMaxVertices, kMaxTriangles);
}

// The yardstick for the full-capacity load: reading the same bytes once.
void BM_ReadFullCapacityBytesOnce(benchmark::State& state) {
    const std::string path = ModelFile(255, kMaxVertices, kMaxTriangles);
    std::vector<char> buffer(std::filesystem::file_size(path));
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t got = ::read(fd, buffer.data() + done, buffer.size() - done);
            if (got <= 0)
                break;
            done += size_t(got);
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer.data());
    }
}

// A layout as exporters make them: a 64 x 64 grid wrapped round like a
// cylinder's, 4096 vertices and 8192 small triangles.
Md3SurfaceSpec MeshLayout() {
    Md3SurfaceSpec s;
    s.name = "mesh";
    const int side = 64;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            s.uv.push_back({float(x) / side, float(y) / side});
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int32_t i = y * side + x, right = y * side + (x + 1) % side,
                          down = ((y + 1) % side) * side + x,
                          diagonal = ((y + 1) % side) * side + (x + 1) % side;
            s.triangles.push_back({i, right, down});
            s.triangles.push_back({right, diagonal, down});
        }
    return s;
}

const SurfaceRecord& MeshSurface() {
    static bool loaded = false;
    if (!loaded) {
        const std::string path =
            (std::filesystem::temp_directory_path() / "gridwright-bench-mesh.md3").string();
        Md3ModelSpec model;
        model.surfaces.push_back(MeshLayout());
        WriteBytesToFile(path, BuildMd3(model).bytes);
        NullView view;
        g_modelPath = path;
        LoadModel(path, view);
        loaded = true;
    }
    return g_surfaces[0];
}

const SurfaceRecord& FullSurface() {
    static bool loaded = false;
    if (!loaded) {
        const std::string path = ModelFile(1, kMaxVertices, kMaxTriangles);
        NullView view;
        g_modelPath = path;
        LoadModel(path, view);
        loaded = true;
    }
    return g_surfaces[0];
}

void BM_EpsText8192Triangles(benchmark::State& state) {
    const SurfaceRecord& r = MeshSurface();
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildEpsText(&r, 256, 256, "bench.eps", nullptr));
}

void BM_Raster256For8192Triangles(benchmark::State& state) {
    const SurfaceRecord& r = MeshSurface();
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawLayoutRaster(&r, 256, 256));
}

// The worst case: 8192 triangles between random points, most edges crossing
// the whole template.
void BM_Raster256For8192ScatteredTriangles(benchmark::State& state) {
    const SurfaceRecord& r = FullSurface();
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawLayoutRaster(&r, 256, 256));
}

void BM_EpsText8192ScatteredTriangles(benchmark::State& state) {
    const SurfaceRecord& r = FullSurface();
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildEpsText(&r, 256, 256, "bench.eps", nullptr));
}

} // namespace

BENCHMARK(BM_Load255x1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load255AtFullCapacity)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFullCapacityBytesOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpsText8192Triangles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Raster256For8192Triangles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpsText8192ScatteredTriangles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Raster256For8192ScatteredTriangles)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
