// One frame of an animated model on the CPU, as the workspace makes it each
// time an animation moves on: the frames at the time, the shared player's
// parts joined on their blended tags, every vertex blended and placed.
//   build/bin/animation_bench
#include "bench/SharedPlayer.h"
#include "game/OpenModel.h"
#include "scene/Animations.h"
#include "scene/Scene.h"

#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace {

void BM_JoinedPlayerAnimatedFrame(benchmark::State& state) {
    static const std::optional<PlayerParts> player = LoadSharedPlayer();
    if (!player) {
        state.SkipWithError("the shared player is not here");
        return;
    }
    const auto& [lower, upper, head] = *player;
    // Every frame each part has, looping, at 15 a second.
    const Animation legs{
        "legs", Animation::Part::Legs, 0, FrameCountOf(*lower), FrameCountOf(*lower), 15, false};
    const Animation torso{
        "torso", Animation::Part::Torso, 0, FrameCountOf(*upper), FrameCountOf(*upper), 15, false};
    double seconds = 0;
    size_t vertices = 0;
    for (auto _ : state) {
        seconds += 1.0 / 60;
        const AnimationFrame l = FrameAtTime(legs, seconds), t = FrameAtTime(torso, seconds);
        const std::vector<ScenePart> parts =
            JoinPlayer(lower, upper, head, PartFrame{l.from, l.to, float(l.blend)},
                       PartFrame{t.from, t.to, float(t.blend)});
        vertices = 0;
        for (const ScenePart& part : parts)
            for (size_t s = 0; s < part.model->surfaces.size(); ++s) {
                const std::vector<Vec3> world = WorldPositions(part, s);
                vertices += world.size();
                benchmark::DoNotOptimize(world.data());
            }
    }
    state.counters["vertices"] = double(vertices);
    state.counters["legs_frames"] = double(FrameCountOf(*lower));
}
BENCHMARK(BM_JoinedPlayerAnimatedFrame)->Unit(benchmark::kMicrosecond);

// A skeletal model's frame: its joints blended between two frames, every
// vertex carried by its joints. The largest shared IQM (the turret, 3,758
// vertices on 3 joints) and the one with the most joints (the guy, 14).
void BM_SkeletalFrame(benchmark::State& state, const char* path) {
    const std::string file = std::string(GW_SHARED_DIR) + "/models/iqm/" + path;
    Result<OpenedModel> opened = OpenModel(file, {});
    if (!opened.ok() || opened.value().model.animations.empty() ||
        FrameCountOf(opened.value().model) < 2) {
        state.SkipWithError("the model or its frames are not here");
        return;
    }
    const auto model = std::make_shared<const Model>(std::move(opened.value().model));
    const Animation& played = model->animations.front();
    double seconds = 0;
    size_t vertices = 0;
    for (auto _ : state) {
        seconds += 1.0 / 60;
        const AnimationFrame f = FrameAtTime(played, seconds);
        std::vector<ScenePart> parts = SingleModel(model, f.from);
        parts[0].next = f.to;
        parts[0].blend = float(f.blend);
        vertices = 0;
        for (size_t s = 0; s < model->surfaces.size(); ++s) {
            const std::vector<Vec3> world = WorldPositions(parts[0], s);
            vertices += world.size();
            benchmark::DoNotOptimize(world.data());
        }
    }
    state.counters["vertices"] = double(vertices);
}
BENCHMARK_CAPTURE(BM_SkeletalFrame, turret, "re_turret/actors/turret/sphere/turret_sphere.iqm")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SkeletalFrame, guy, "guy/models/iqm/guy.iqm")->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
