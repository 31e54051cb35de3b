// The workspace's 3D view on a real X display: uploading the full-capacity
// model (255 surfaces of 8192 triangles) and a generated million-triangle
// mesh, one frame of orbiting that mesh, and one frame of a real player
// (../shared/game's human_base, joined) at 1280 x 800. Run it where OpenGL
// is, or under Xvfb with Mesa's software renderer:
//   tests/gl_under_xvfb.sh build/bin/gl_bench
// Each frame is read back (grabFramebuffer), which the figures include.
#include "app/Workspace/ModelView.h"
#include "bench/BenchModels.h"
#include "bench/BigMesh.h"
#include "model/Md3Reader.h"
#include "model/ModelFormats.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>

namespace {

std::unique_ptr<ModelView> view; // gone before the application is

ModelView& View() {
    if (!view) {
        view = std::make_unique<ModelView>();
        view->resize(1280, 800);
        view->show();
        QApplication::processEvents();
    }
    return *view;
}

std::shared_ptr<const Model> Load(const std::string& path) {
    Result<Model> loaded = LoadModelFile(path);
    return loaded.ok() ? std::make_shared<const Model>(std::move(loaded.value())) : nullptr;
}

void BM_UploadFullCapacityModel(benchmark::State& state) {
    const auto model = Load(BenchModelFile(kMaxSurfaces, false));
    ModelView& view = View();
    for (auto _ : state) {
        view.SetScene(SingleModel(model, 0), {}, true);
        benchmark::DoNotOptimize(view.grabFramebuffer());
    }
    state.counters["triangles"] = double(view.uploadedTriangles());
}

void BM_FrameOfARealPlayer1280x800(benchmark::State& state) {
    const std::filesystem::path folder =
        std::filesystem::path(GW_SHARED_DIR) / "game/models/players/human_base";
    const auto lower = Load((folder / "lower.md3").string()),
               upper = Load((folder / "upper.md3").string()),
               head = Load((folder / "head.md3").string());
    if (!lower || !upper || !head) {
        state.SkipWithError("no ../shared/game: the real player is not here");
        return;
    }
    ModelView& view = View();
    view.SetScene(JoinPlayer(lower, upper, head, 0, 0), {}, true);
    benchmark::DoNotOptimize(view.grabFramebuffer()); // uploaded once
    for (auto _ : state) {
        view.camera().yaw += 0.05f; // orbiting
        benchmark::DoNotOptimize(view.grabFramebuffer());
    }
    state.counters["triangles"] = double(view.uploadedTriangles());
}

// A generated mesh of a million triangles (one surface, or eight): its
// upload, and one frame of orbiting it, which must take under 1/30 s.
std::shared_ptr<const Model> BigMesh(int surfaces) {
    static std::map<int, std::shared_ptr<const Model>> made;
    auto& model = made[surfaces];
    if (!model)
        model = std::make_shared<const Model>(BigMeshModel(1000000, surfaces));
    return model;
}

void BM_UploadMillionTriangles(benchmark::State& state) {
    const auto model = BigMesh(int(state.range(0)));
    ModelView& view = View();
    for (auto _ : state) {
        view.SetScene(SingleModel(model, 0), {}, true);
        benchmark::DoNotOptimize(view.grabFramebuffer());
    }
    state.counters["triangles"] = double(view.uploadedTriangles());
}

void BM_OrbitFrameMillionTriangles1280x800(benchmark::State& state) {
    const auto model = BigMesh(int(state.range(0)));
    ModelView& view = View();
    view.SetScene(SingleModel(model, 0), {}, true);
    // The first surface chosen and outlined, as the window has it, or none.
    view.SetSelected(state.range(1) ? 0 : -1, state.range(1) ? 0 : -1);
    benchmark::DoNotOptimize(view.grabFramebuffer()); // uploaded once
    for (auto _ : state) {
        view.camera().yaw += 0.05f;
        benchmark::DoNotOptimize(view.grabFramebuffer());
    }
    view.SetSelected(-1, -1);
    state.counters["triangles"] = double(view.uploadedTriangles());
    state.counters["drawn"] = double(view.drawnTriangles());
}

// The camera still: the whole mesh, as the view shows it once the mouse stops.
void BM_StillFrameMillionTriangles1280x800(benchmark::State& state) {
    const auto model = BigMesh(int(state.range(0)));
    ModelView& view = View();
    view.SetScene(SingleModel(model, 0), {}, true);
    benchmark::DoNotOptimize(view.grabFramebuffer());
    for (auto _ : state)
        benchmark::DoNotOptimize(view.grabFramebuffer());
    state.counters["drawn"] = double(view.drawnTriangles());
}

} // namespace

BENCHMARK(BM_UploadMillionTriangles)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OrbitFrameMillionTriangles1280x800)
    ->ArgNames({"surfaces", "outlined"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({8, 0})
    ->Args({8, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StillFrameMillionTriangles1280x800)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadFullCapacityModel)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FrameOfARealPlayer1280x800)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    view.reset();
    return 0;
}
