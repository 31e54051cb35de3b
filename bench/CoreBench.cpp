// Loading, EPS text and raster at the sizes the store holds.
//   build/bin/core_bench
#include "bench/BenchModels.h"
#include "export/EpsTemplate.h"
#include "model/Md3Reader.h"
#include "model/SurfaceStore.h"
#include "render/LayoutRaster.h"
#include "tools/Md3Builder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

void MustLoad(const std::string& path) {
    const Outcome outcome = LoadModel(path);
    if (!outcome.ok) {
        std::fprintf(stderr, "load failed: %s\n", outcome.reason.c_str());
        std::abort();
    }
}

void Load(benchmark::State& state, int vertices, int triangles) {
    const std::string path = BenchModelFile(255, true, vertices, triangles);
    for (auto _ : state)
        MustLoad(path);
    state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;
}

void BM_Load255x1024(benchmark::State& state) {
    Load(state, 1024, 1024);
}
void BM_Load255AtFullCapacity(benchmark::State& state) {
    Load(state, kMaxVertices, kMaxTriangles);
}

// The yardstick for the full-capacity load: reading the same bytes once.
void BM_ReadFullCapacityBytesOnce(benchmark::State& state) {
    const std::string path = BenchModelFile(255, true);
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

// One surface loaded into the store; the last one asked for stays loaded.
const SurfaceRecord& OneSurface(bool scattered) {
    static int loaded = -1;
    if (loaded != int(scattered)) {
        const std::string path = BenchModelFile(1, scattered);
        MustLoad(path);
        loaded = int(scattered);
    }
    return g_surfaces[0];
}

const SurfaceRecord& MeshSurface() {
    return OneSurface(false);
}
const SurfaceRecord& ScatteredSurface() {
    return OneSurface(true);
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
    const SurfaceRecord& r = ScatteredSurface();
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawLayoutRaster(&r, 256, 256));
}

void BM_EpsText8192ScatteredTriangles(benchmark::State& state) {
    const SurfaceRecord& r = ScatteredSurface();
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
