// Templates and searches on a generated mesh of a million triangles (one
// surface, and the same split in eight), as sculpts and scans bring them.
//   build/bin/bigmesh_bench
#include "bench/BigMesh.h"
#include "export/TemplateFile.h"
#include "image/TextureImage.h"
#include "render/Flipped.h"
#include "render/Islands.h"
#include "render/OverlapCoverage.h"
#include "render/Seams.h"
#include "render/TemplateImage.h"

#include <benchmark/benchmark.h>

#include <map>
#include <utility>

namespace {

const Model& Mesh(int64_t triangles, int surfaces) {
    static std::map<std::pair<int64_t, int>, Model> made;
    auto found = made.find({triangles, surfaces});
    if (found == made.end())
        found =
            made.emplace(std::pair{triangles, surfaces}, BigMeshModel(triangles, surfaces)).first;
    return found->second;
}

std::vector<const Surface*> AllOf(const Model& model) {
    std::vector<const Surface*> all;
    for (const Surface& s : model.surfaces)
        all.push_back(&s);
    return all;
}

const TextureImage& Texture2048() {
    static const TextureImage texture = [] {
        TextureImage t;
        t.width = t.height = 2048;
        t.rgba.resize(size_t(2048) * 2048 * 4);
        for (size_t i = 0; i < t.rgba.size(); i += 4) {
            const size_t x = i / 4 % 2048, y = i / 4 / 2048;
            t.rgba[i] = uint8_t(x / 8);
            t.rgba[i + 1] = uint8_t(y / 8);
            t.rgba[i + 2] = uint8_t((x ^ y) & 0xFF);
            t.rgba[i + 3] = 255;
        }
        return t;
    }();
    return texture;
}

// Every layer and option the template engine has, at 2048 x 2048.
TemplateStyle EveryLayer() {
    TemplateStyle style;
    style.width = style.height = 2048;
    style.antialias = true;
    style.lineWidth = 2;
    style.fill = Rgba{40, 120, 255, 64};
    style.overlaps = true;
    style.colourBySurface = true;
    style.seams = kDefaultSeamColour;
    style.flipped = kDefaultFlippedColour;
    style.outline = Outline::Islands;
    style.islands = true;
    style.underlay = &Texture2048();
    style.underlayOpacity = 0.5;
    return style;
}

constexpr int64_t kMillion = 1000000;

void BM_BigPlain2048(benchmark::State& state) {
    const auto all = AllOf(Mesh(kMillion, int(state.range(0))));
    const TemplateStyle style = PlainStyle(2048, 2048, WrapMode::Repeat);
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTemplateImage(style, all));
}

void BM_BigPlain2048Png(benchmark::State& state) {
    const auto all = AllOf(Mesh(kMillion, int(state.range(0))));
    const TemplateStyle style = PlainStyle(2048, 2048, WrapMode::Repeat);
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildTemplateBytes(all, style, TemplateFormat::Png, "bench"));
}

void BM_BigEveryLayer2048(benchmark::State& state) {
    const auto all = AllOf(Mesh(kMillion, int(state.range(0))));
    const TemplateStyle style = EveryLayer();
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTemplateImage(style, all));
}

void EveryLayerFile(benchmark::State& state, TemplateFormat format) {
    const auto all = AllOf(Mesh(kMillion, int(state.range(0))));
    const TemplateStyle style = EveryLayer();
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string file = BuildTemplateBytes(all, style, format, "bench");
        if (file.empty())
            state.SkipWithError("no file");
        bytes = file.size();
        benchmark::DoNotOptimize(file);
    }
    state.counters["MB"] = double(bytes) / 1e6;
}
void BM_BigEveryLayer2048Png(benchmark::State& state) {
    EveryLayerFile(state, TemplateFormat::Png);
}
void BM_BigEveryLayer2048Psd(benchmark::State& state) {
    EveryLayerFile(state, TemplateFormat::Psd);
}
void BM_BigEveryLayer2048Ora(benchmark::State& state) {
    EveryLayerFile(state, TemplateFormat::Ora);
}

// The searches on one surface of 250k and 1M triangles: near-linear, so the
// second is about four times the first.
void BM_BigOverlaps2048(benchmark::State& state) {
    const auto all = AllOf(Mesh(state.range(0), 1));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            CountCoverage(all, WrapMode::Repeat, {2048.0, 2048.0, 0.0, 0.0}, 2048, 2048));
}
void BM_BigSeams(benchmark::State& state) {
    const Surface& s = Mesh(state.range(0), 1).surfaces[0];
    size_t found = 0;
    for (auto _ : state)
        found = FindSeams(s).size();
    state.counters["seams"] = double(found);
}
void BM_BigFlipped(benchmark::State& state) {
    const Surface& s = Mesh(state.range(0), 1).surfaces[0];
    size_t found = 0;
    for (auto _ : state)
        found = FindFlipped(s).size();
    state.counters["flipped"] = double(found);
}
void BM_BigIslands(benchmark::State& state) {
    const Surface& s = Mesh(state.range(0), 1).surfaces[0];
    SurfaceIslands found;
    for (auto _ : state)
        found = FindIslands(s);
    state.counters["islands"] = double(found.count);
    state.counters["borders"] = double(found.borders.size());
}

} // namespace

BENCHMARK(BM_BigPlain2048)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BigPlain2048Png)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BigEveryLayer2048)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_BigEveryLayer2048Png)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_BigEveryLayer2048Psd)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_BigEveryLayer2048Ora)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_BigOverlaps2048)->Arg(250000)->Arg(kMillion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigSeams)->Arg(250000)->Arg(kMillion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigFlipped)->Arg(250000)->Arg(kMillion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigIslands)->Arg(250000)->Arg(kMillion)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
