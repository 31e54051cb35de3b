// Loading, EPS text and raster at the sizes a model may hold.
//   build/bin/core_bench
#include "bench/BenchModels.h"
#include "export/EpsTemplate.h"
#include "export/TemplateFile.h"
#include "game/GameFiles.h"
#include "game/ModelGame.h"
#include "image/TextureCache.h"
#include "image/TextureImage.h"
#include "model/Md3Reader.h"
#include "model/Model.h"
#include "model/ModelFormats.h"
#include "model/TextureFinder.h"
#include "render/Islands.h"
#include "render/LayoutRaster.h"
#include "render/OverlapCoverage.h"
#include "render/TemplateImage.h"
#include "tests/Md3Builder.h"

#include <benchmark/benchmark.h>
#include <zip.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

Model MustLoad(const std::string& path) {
    Result<Model> loaded = LoadModelFile(path);
    if (!loaded.ok()) {
        std::fprintf(stderr, "load failed: %s\n", loaded.error().Message().c_str());
        std::abort();
    }
    return std::move(loaded.value());
}

void Load(benchmark::State& state, int vertices, int triangles) {
    const std::string path = BenchModelFile(255, true, vertices, triangles);
    for (auto _ : state)
        benchmark::DoNotOptimize(MustLoad(path));
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

// The one surface of a benchmark model, loaded once.
const Surface& OneSurface(bool scattered) {
    static const Model mesh = MustLoad(BenchModelFile(1, false));
    static const Model spread = MustLoad(BenchModelFile(1, true));
    return (scattered ? spread : mesh).surfaces[0];
}

std::vector<const Surface*> AllOf(const Model& model) {
    std::vector<const Surface*> all;
    for (const Surface& s : model.surfaces)
        all.push_back(&s);
    return all;
}

const Surface& MeshSurface() {
    return OneSurface(false);
}
const Surface& ScatteredSurface() {
    return OneSurface(true);
}
void BM_EpsText8192Triangles(benchmark::State& state) {
    const Surface& r = MeshSurface();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            BuildEpsText({&r}, PlainStyle(256, 256, WrapMode::Clip), "bench.eps", nullptr));
}

void BM_Raster256For8192Triangles(benchmark::State& state) {
    const Surface& r = MeshSurface();
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawLayoutRaster({&r}, 256, 256, WrapMode::Clip));
}

// The worst case: 8192 triangles between random points, most edges crossing
// the whole template.
void BM_Raster256For8192ScatteredTriangles(benchmark::State& state) {
    const Surface& r = ScatteredSurface();
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawLayoutRaster({&r}, 256, 256, WrapMode::Clip));
}

void BM_EpsText8192ScatteredTriangles(benchmark::State& state) {
    const Surface& r = ScatteredSurface();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            BuildEpsText({&r}, PlainStyle(256, 256, WrapMode::Clip), "bench.eps", nullptr));
}

TemplateStyle PainterStyle() {
    TemplateStyle style;
    style.width = style.height = 2048;
    style.antialias = true;
    style.lineWidth = 2;
    style.fill = Rgba{40, 120, 255, 64};
    style.overlaps = true;
    return style;
}

// A styled 2048 x 2048 template of one 8192-triangle surface: anti-aliased,
// width 2, filled, overlaps highlighted.
void BM_StyledTemplate2048Mesh(benchmark::State& state) {
    const Surface& r = MeshSurface();
    const TemplateStyle style = PainterStyle();
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTemplateImage(style, {&r}));
}

// Overlaps judged over every triangle of the full-capacity model (255
// surfaces of 8192 mesh triangles, about 2 million) at 2048 x 2048.
void BM_Overlaps2048FullCapacityAll(benchmark::State& state) {
    const Model model = MustLoad(BenchModelFile(255, false));
    const std::vector<const Surface*> all = AllOf(model);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            CountCoverage(all, WrapMode::Repeat, {2048.0, 2048.0, 0.0, 0.0}, 2048, 2048));
    state.counters["triangles"] = double(all.size()) * kMaxTriangles;
}

// The whole styled template of the full-capacity model, overlaps included.
void BM_StyledTemplate2048FullCapacityAll(benchmark::State& state) {
    const Model model = MustLoad(BenchModelFile(255, false));
    const std::vector<const Surface*> all = AllOf(model);
    TemplateStyle style;
    style.width = style.height = 2048;
    style.overlaps = true;
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTemplateImage(style, all));
}

// The same with seams drawn and flipped faces filled: within twice the above.
void BM_SeamsAndFlipped2048FullCapacityAll(benchmark::State& state) {
    const Model model = MustLoad(BenchModelFile(255, false));
    const std::vector<const Surface*> all = AllOf(model);
    TemplateStyle style;
    style.width = style.height = 2048;
    style.overlaps = true;
    style.seams = Rgba{0, 192, 0, 255};
    style.flipped = Rgba{0, 96, 255, 128};
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTemplateImage(style, all));
}

// The plain template of the full-capacity model, and the same with every
// paint-ready aid but the overlaps: seams, flipped faces, island borders and
// island colours. The aids should cost at most twice the plain template.
void BM_PlainTemplate2048FullCapacityAll(benchmark::State& state) {
    const Model model = MustLoad(BenchModelFile(255, false));
    const std::vector<const Surface*> all = AllOf(model);
    const TemplateStyle style = PlainStyle(2048, 2048, WrapMode::Repeat);
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTemplateImage(style, all));
}
void BM_PaintReady2048FullCapacityAll(benchmark::State& state) {
    const Model model = MustLoad(BenchModelFile(255, false));
    const std::vector<const Surface*> all = AllOf(model);
    TemplateStyle style = PlainStyle(2048, 2048, WrapMode::Repeat);
    style.seams = kDefaultSeamColour;
    style.flipped = kDefaultFlippedColour;
    style.outline = Outline::Islands;
    style.islands = true;
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTemplateImage(style, all));
}

// The islands and their borders of every surface of the full-capacity model
// (about 2 million triangles), as the paint-ready template finds them; and of
// 255 surfaces of scattered triangles, one heap of faces over one another.
void IslandsOf(benchmark::State& state, bool scattered) {
    const Model model = MustLoad(BenchModelFile(255, scattered));
    size_t borders = 0;
    for (auto _ : state) {
        borders = 0;
        for (const Surface& s : model.surfaces)
            borders += FindIslands(s).borders.size();
    }
    state.counters["borders"] = double(borders);
}
void BM_IslandBordersFullCapacityMesh(benchmark::State& state) {
    IslandsOf(state, false);
}
void BM_IslandBordersFullCapacityScattered(benchmark::State& state) {
    IslandsOf(state, true);
}

// A layered 2048 x 2048 PSD of one 8192-triangle surface (three times the
// busiest real model) with six layers: islands, fill, overlaps, flipped,
// lines and seams, from drawing to the file's bytes.
void BM_Psd2048SixLayers(benchmark::State& state) {
    const Surface& r = MeshSurface();
    TemplateStyle style = PainterStyle();
    style.islands = true;
    style.seams = kDefaultSeamColour;
    style.flipped = kDefaultFlippedColour;
    for (auto _ : state) {
        const std::string psd = BuildTemplateBytes({&r}, style, TemplateFormat::Psd, "bench");
        if (psd.empty())
            state.SkipWithError("no PSD");
        benchmark::DoNotOptimize(psd);
    }
}

// A 2048 x 2048 texture in a game folder, as a painter's model has it.
std::string BenchTextureModel() {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / "gridwright-bench-game";
    const std::filesystem::path bot = root / "models/players/bench";
    const std::string model = (bot / "upper.md3").string();
    if (!std::filesystem::exists(bot / "skin.tga")) {
        std::filesystem::create_directories(bot);
        std::string tga(18, '\0');
        tga[2] = 2; // true colour
        tga[12] = tga[14] = 0;
        tga[13] = tga[15] = 8; // 2048 = 0x0800
        tga[16] = 24;
        tga.reserve(18 + 2048 * 2048 * 3);
        for (int y = 0; y < 2048; ++y)
            for (int x = 0; x < 2048; ++x) {
                tga += char(x / 8);
                tga += char(y / 8);
                tga += char((x ^ y) & 0xFF);
            }
        std::ofstream(bot / "skin.tga", std::ios::binary) << tga;
        std::filesystem::copy_file(BenchModelFile(1, false), model,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    return model;
}

// Resolving and decoding a 2048 x 2048 TGA, then drawing it under an
// 8192-triangle layout at 2048 x 2048.
void BM_TextureUnderLayout2048(benchmark::State& state) {
    const std::string model = BenchTextureModel();
    const Model loaded = MustLoad(model);
    const Surface& r = loaded.surfaces[0];
    TemplateStyle style;
    style.width = style.height = 2048;
    for (auto _ : state) {
        const Result<std::string> file = FindTextureFile(model, "models/players/bench/skin");
        TextureImage texture;
        if (!file.ok() || !LoadTexture(file.value(), texture).ok())
            state.SkipWithError("the bench texture was not found");
        style.underlay = &texture;
        benchmark::DoNotOptimize(DrawTemplateImage(style, {&r}));
    }
}

// A pak of 10,000 entries (models, textures, skins in 500 folders), written once.
std::string BenchPak() {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "gridwright-bench-10000.pk3";
    if (!std::filesystem::exists(path)) {
        int error = 0;
        zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        static const std::string content(64, 'x');
        for (int i = 0; i < 10000; ++i) {
            const char* kind[] = {"upper.md3", "skin.tga", "upper_default.skin", "lower.md3"};
            const std::string name = "models/set" + std::to_string(i / 20) + "/item" +
                                     std::to_string(i) + "_" + kind[i % 4];
            zip_file_add(zip, name.c_str(),
                         zip_source_buffer(zip, content.data(), content.size(), 0), 0);
        }
        zip_close(zip);
    }
    return path.string();
}

// Opening a pak of 10,000 entries and listing its models, as --models does.
void BM_ListModelsOf10000EntryPak(benchmark::State& state) {
    const std::string pak = BenchPak();
    size_t models = 0;
    for (auto _ : state) {
        GameFiles files;
        if (!files.AddArchive(pak).ok())
            state.SkipWithError("the bench pak cannot be opened");
        models = 0;
        for (const GameFile& file : files.List("models/"))
            models += file.gamePath.size() > 4 &&
                      file.gamePath.compare(file.gamePath.size() - 4, 4, ".md3") == 0;
    }
    state.counters["models"] = double(models);
}

} // namespace

BENCHMARK(BM_ListModelsOf10000EntryPak)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextureUnderLayout2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StyledTemplate2048Mesh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Overlaps2048FullCapacityAll)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_StyledTemplate2048FullCapacityAll)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SeamsAndFlipped2048FullCapacityAll)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PlainTemplate2048FullCapacityAll)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PaintReady2048FullCapacityAll)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_IslandBordersFullCapacityMesh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IslandBordersFullCapacityScattered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Psd2048SixLayers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load255x1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load255AtFullCapacity)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFullCapacityBytesOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpsText8192Triangles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Raster256For8192Triangles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EpsText8192ScatteredTriangles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Raster256For8192ScatteredTriangles)->Unit(benchmark::kMillisecond);
// A picture the cache holds, asked again (every repaint of a view asks).
void BM_TextureCacheHit(benchmark::State& state) {
    TextureCache cache;
    Error problem;
    auto decode = [](TextureImage& image) {
        image.width = image.height = 256;
        image.rgba.assign(size_t(256) * 256 * 4, 128);
        return Success();
    };
    for (int i = 0; i < 64; ++i)
        cache.Get("models/x/t" + std::to_string(i) + ".tga", 0, decode, problem);
    const std::string key = "models/x/t17.tga";
    for (auto _ : state)
        benchmark::DoNotOptimize(cache.Get(key, 0, decode, problem));
}

// An 8192 x 8192 texture scaled to what the 3D view is given (2048 a side).
void BM_ScaleTexture8192To2048(benchmark::State& state) {
    TextureImage big;
    big.width = big.height = 8192;
    big.rgba.resize(size_t(8192) * 8192 * 4);
    for (size_t i = 0; i < big.rgba.size(); ++i)
        big.rgba[i] = uint8_t(i * 2654435761u >> 24);
    for (auto _ : state)
        benchmark::DoNotOptimize(ScaledToFit(big, 2048));
}

BENCHMARK(BM_TextureCacheHit);
BENCHMARK(BM_ScaleTexture8192To2048)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
