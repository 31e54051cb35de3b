// Ambient occlusion over the shared player joined (legs, torso, head), at
// about the samples a 1024x1024 texture's islands hold, on every core.
//   build/bin/bake_bench
#include "bake/Bake.h"
#include "bake/Occlusion.h"
#include "bench/SharedPlayer.h"
#include "flatten/GameTextureSource.h"
#include "flatten/PadLayout.h"
#include "game/ModelGame.h"
#include "game/OpenModel.h"
#include "scene/Scene.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <random>

namespace {

namespace fs = std::filesystem;

constexpr size_t kSamples = 420000;

struct Player {
    std::vector<WorldTriangle> faces;
    std::vector<OcclusionSample> samples;
};

// Read once; null when the shared player is not here.
const Player* LoadPlayer() {
    static std::optional<Player> player;
    static bool tried = false;
    if (tried)
        return player ? &*player : nullptr;
    tried = true;
    const std::optional<PlayerParts> loaded = LoadSharedPlayer();
    if (!loaded)
        return nullptr;
    const PlayerParts& parts = *loaded;
    Player p;
    for (const ScenePart& part : JoinPlayer(parts[0], parts[1], parts[2], 0, 0)) {
        for (size_t s = 0; s < part.model->surfaces.size(); ++s) {
            const std::vector<Vec3> at = WorldPositions(part, s);
            for (const Triangle& t : part.model->surfaces[s].triangles) {
                if (t.a < 0 || t.b < 0 || t.c < 0 || size_t(t.a) >= at.size() ||
                    size_t(t.b) >= at.size() || size_t(t.c) >= at.size())
                    continue;
                p.faces.push_back({at[size_t(t.a)], at[size_t(t.b)], at[size_t(t.c)]});
            }
        }
    }
    // The game winds front faces clockwise: (c - a) x (b - a) looks out.
    // Points over each face by its area, face after face, as texels of an
    // island follow one another over the model.
    double total = 0;
    for (const WorldTriangle& f : p.faces)
        total += Length(Cross(f[1] - f[0], f[2] - f[0]));
    if (!(total > 0))
        return nullptr;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0, 1);
    double carry = 0;
    for (const WorldTriangle& f : p.faces) {
        const Vec3 n = Cross(f[2] - f[0], f[1] - f[0]);
        carry += double(Length(n)) / total * double(kSamples);
        for (; carry >= 1; carry -= 1) {
            float a = unit(random), b = unit(random);
            if (a + b > 1) {
                a = 1 - a;
                b = 1 - b;
            }
            p.samples.push_back({f[0] + (f[1] - f[0]) * a + (f[2] - f[0]) * b, Normalised(n)});
        }
    }
    player = std::move(p);
    return &*player;
}

void BM_PlayerOcclusion(benchmark::State& state) {
    const Player* player = LoadPlayer();
    if (!player) {
        state.SkipWithError("the shared player is not here");
        return;
    }
    OcclusionOptions options;
    options.rays = int(state.range(0));
    options.threads = int(state.range(1));
    double open = 0;
    for (auto _ : state) {
        const OcclusionResult r = AmbientOcclusion(player->faces, player->samples, options);
        benchmark::DoNotOptimize(r.open.data());
        open = 0;
        for (float v : r.open)
            open += double(v);
    }
    const double rays = double(player->samples.size()) * double(options.rays);
    state.counters["faces"] = double(player->faces.size());
    state.counters["samples"] = double(player->samples.size());
    state.counters["mean_open"] = open / double(player->samples.size());
    state.counters["rays_per_s"] =
        benchmark::Counter(rays, benchmark::Counter::kIsIterationInvariantRate);
}
// The torso's and legs' texture baked whole at 1024x1024 from the player
// joined: its texels' points found (a mirrored half shades each texel
// twice), the rays cast, the layer padded.
struct PlayerTexture {
    std::array<std::shared_ptr<const Model>, 3> parts;
    std::vector<std::vector<Skin>> skins;
    std::vector<const Surface*> records;
};

const PlayerTexture* LoadTexture() {
    static std::optional<PlayerTexture> loaded;
    static bool tried = false;
    if (tried)
        return loaded ? &*loaded : nullptr;
    tried = true;
    const fs::path folder = fs::path(GW_SHARED_DIR) / "game/models/players/human_base";
    PlayerTexture t;
    std::vector<DressedModel> models;
    std::shared_ptr<GameFiles> files;
    const char* names[3] = {"lower.md3", "upper.md3", "head.md3"};
    t.skins.reserve(3);
    for (size_t i = 0; i < 3; ++i) {
        Result<OpenedModel> opened = OpenModel((folder / names[i]).string(), {});
        if (!opened.ok())
            return nullptr;
        t.parts[i] = std::make_shared<const Model>(std::move(opened.value().model));
        files = opened.value().game.files;
        t.skins.push_back(GameSkins(*files, opened.value().game.gamePath, t.parts[i].get()));
        const Skin* worn = nullptr;
        for (const Skin& skin : t.skins.back())
            if (skin.name == "default")
                worn = &skin;
        models.push_back({t.parts[i].get(), worn});
    }
    std::swap(models[0], models[1]); // the torso's texture: the torso first
    GameTextureSource source(files);
    const Result<PadLayout> layout =
        LayoutOfTexture(models, "models/players/human_base/base.tga", source);
    if (!layout.ok())
        return nullptr;
    t.records = layout.value().records;
    loaded = std::move(t);
    return &*loaded;
}

void BM_PlayerBake(benchmark::State& state) {
    const PlayerTexture* t = LoadTexture();
    if (!t) {
        state.SkipWithError("the shared player is not here");
        return;
    }
    BakeRequest request;
    request.parts = JoinPlayer(t->parts[0], t->parts[1], t->parts[2], 0, 0);
    request.records = t->records;
    request.width = request.height = 1024;
    request.layers = {BakeLayer::Occlusion};
    request.occlusion.rays = int(state.range(0));
    size_t texels = 0, samples = 0, neverSeen = 0;
    for (auto _ : state) {
        const Result<BakeResult> r = Bake(request);
        if (!r.ok()) {
            state.SkipWithError(r.error().reason.c_str());
            return;
        }
        texels = r.value().texels;
        samples = r.value().samples;
        neverSeen = r.value().neverSeen;
        benchmark::DoNotOptimize(r.value().layers.front().image.rgba.data());
    }
    state.counters["texels"] = double(texels);
    state.counters["points"] = double(samples);
    state.counters["never_seen_share"] = texels ? double(neverSeen) / double(texels) : 0.0;
}
BENCHMARK(BM_PlayerBake)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

// Rays, threads (0: all); one thread for the cost of a ray alone.
BENCHMARK(BM_PlayerOcclusion)
    ->Args({16, 0})
    ->Args({64, 0})
    ->Args({64, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
