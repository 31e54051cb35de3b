// Padding the shared player's torso texture (512x512, and doubled to
// 1024x1024) from the layout of its torso and legs, on one core.
//   build/bin/padding_bench
#include "flatten/GameTextureSource.h"
#include "flatten/PadLayout.h"
#include "game/GameTextures.h"
#include "game/OpenModel.h"
#include "image/TextureImage.h"
#include "render/Padding.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <optional>

namespace {

namespace fs = std::filesystem;

struct Torso {
    std::vector<OpenedModel> models;
    std::vector<std::vector<Skin>> skins;
    std::unique_ptr<GameTextureSource> source;
    PadLayout layout;
    TextureImage texture;
};

// Read once; null when the shared player is not here.
const Torso* LoadTorso() {
    static std::optional<Torso> torso;
    static bool tried = false;
    if (tried)
        return torso ? &*torso : nullptr;
    tried = true;
    const fs::path folder = fs::path(GW_SHARED_DIR) / "game/models/players/human_base";
    Torso t;
    if (!LoadTexture((folder / "base.png").string(), t.texture).ok())
        return nullptr;
    for (const char* part : {"upper.md3", "lower.md3"}) {
        Result<OpenedModel> opened = OpenModel((folder / part).string(), {});
        if (!opened.ok())
            return nullptr;
        t.models.push_back(std::move(opened.value()));
    }
    t.source = std::make_unique<GameTextureSource>(t.models[0].game.files);
    std::vector<DressedModel> dressed;
    t.skins.reserve(t.models.size());
    for (const OpenedModel& m : t.models) {
        t.skins.push_back(GameSkins(*m.game.files, m.game.gamePath, &m.model));
        const Skin* skin = nullptr;
        for (const Skin& s : t.skins.back())
            if (s.name == "default")
                skin = &s;
        dressed.push_back({&m.model, skin});
    }
    Result<PadLayout> layout =
        LayoutOfTexture(dressed, "models/players/human_base/base.tga", *t.source);
    if (!layout.ok())
        return nullptr;
    t.layout = std::move(layout.value());
    torso = std::move(t);
    return &*torso;
}

// The texture at `scale` times its side, each texel repeated.
TextureImage Scaled(const TextureImage& t, int scale) {
    TextureImage out;
    out.width = t.width * scale, out.height = t.height * scale;
    out.rgba.resize(size_t(out.width) * size_t(out.height) * 4);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            std::copy_n(&t.rgba[(size_t(y / scale) * size_t(t.width) + size_t(x / scale)) * 4], 4,
                        &out.rgba[(size_t(y) * size_t(out.width) + size_t(x)) * 4]);
    return out;
}

void BM_IslandMask(benchmark::State& state) {
    const Torso* t = LoadTorso();
    if (!t) {
        state.SkipWithError("the shared player is not here");
        return;
    }
    const int side = int(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(IslandMask(t->layout.records, WrapMode::Repeat, side, side));
}

void BM_PadTexture(benchmark::State& state) {
    const Torso* t = LoadTorso();
    if (!t) {
        state.SkipWithError("the shared player is not here");
        return;
    }
    const TextureImage texture = Scaled(t->texture, int(state.range(0)) / t->texture.width);
    const std::vector<uint8_t> mask = PadMask(t->layout, texture);
    for (auto _ : state)
        benchmark::DoNotOptimize(PadTexture(texture, mask, kDefaultPadBand));
}

void BM_CheckBleed(benchmark::State& state) {
    const Torso* t = LoadTorso();
    if (!t) {
        state.SkipWithError("the shared player is not here");
        return;
    }
    const TextureImage texture = Scaled(t->texture, int(state.range(0)) / t->texture.width);
    const std::vector<uint8_t> mask = PadMask(t->layout, texture);
    for (auto _ : state)
        benchmark::DoNotOptimize(CheckBleed(texture, mask, kDefaultPadBand));
}

} // namespace

BENCHMARK(BM_IslandMask)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PadTexture)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckBleed)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
