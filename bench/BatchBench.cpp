// The batch over the 34 real MD3 models in one pak: one template per texture
// file across every model that wears it, against one template per texture
// of each model alone (the way a batch went before templates were joined).
#include "export/TemplateFile.h"
#include "flatten/Batch.h"
#include "flatten/GameTextureSource.h"
#include "flatten/TemplateRequest.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "game/OpenModel.h"

#include <benchmark/benchmark.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// The real models in one pak under models/, as a game ships them; empty
// when they are not here.
std::string RealModelPak(size_t& models) {
    const fs::path corpus = fs::path(GW_SHARED_DIR) / "md3";
    const fs::path pak = fs::temp_directory_path() / "gridwright-bench-real-md3.pk3";
    std::vector<std::pair<std::string, std::string>> files;
    if (fs::is_directory(corpus))
        for (const auto& entry : fs::recursive_directory_iterator(corpus))
            if (entry.is_regular_file() && entry.path().extension() == ".md3") {
                std::ifstream in(entry.path(), std::ios::binary);
                files.emplace_back("models/" + fs::relative(entry.path(), corpus).string(),
                                   std::string(std::istreambuf_iterator<char>(in), {}));
            }
    models = files.size();
    if (files.empty())
        return {};
    int error = 0;
    zip_t* zip = zip_open(pak.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return {};
    for (const auto& [name, bytes] : files)
        zip_file_add(zip, name.c_str(), zip_source_buffer(zip, bytes.data(), bytes.size(), 0),
                     ZIP_FL_ENC_UTF_8);
    return zip_close(zip) == 0 ? pak.string() : std::string();
}

struct Setup {
    GameFiles files;
    std::string out = (fs::temp_directory_path() / "gridwright-bench-batch").string();
    size_t models = 0;
    bool ok = false;
    Setup() {
        const std::string pak = RealModelPak(models);
        ok = !pak.empty() && files.AddArchive(pak).ok();
    }
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

BatchOptions Options(const Setup& setup) {
    BatchOptions options;
    options.outDir = setup.out;
    options.style.width = options.style.height = 512; // the pak holds no textures
    options.sizeFromTexture = false;
    options.jobs = 1;
    return options;
}

void BM_BatchByTexture(benchmark::State& state) {
    Setup& setup = Shared();
    if (!setup.ok) {
        state.SkipWithError("the real models are not here");
        return;
    }
    size_t written = 0;
    for (auto _ : state) {
        fs::remove_all(setup.out);
        GameTextures textures(setup.files);
        const std::vector<BatchEntry> entries = RunBatch(setup.files, textures, Options(setup));
        written = size_t(std::count_if(entries.begin(), entries.end(),
                                       [](const BatchEntry& e) { return e.error.empty(); }));
    }
    state.counters["models"] = double(setup.models);
    state.counters["templates"] = double(written);
}

// Each model alone: a template per texture it wears, read and drawn apart.
void BM_BatchByModel(benchmark::State& state) {
    Setup& setup = Shared();
    if (!setup.ok) {
        state.SkipWithError("the real models are not here");
        return;
    }
    size_t written = 0;
    for (auto _ : state) {
        fs::remove_all(setup.out);
        fs::create_directories(setup.out);
        GameTextures textures(setup.files);
        GameTextureSource source(setup.files, textures);
        const BatchOptions options = Options(setup);
        written = 0;
        for (const GameFile& file : ListModels(setup.files)) {
            const Result<Model> model = ReadGameModel(setup.files, file);
            if (!model.ok())
                continue;
            const std::vector<Skin> skins = GameSkins(setup.files, file.gamePath, &model.value());
            const Skin* skin =
                !skins.empty() && skins.front().name == "default" ? &skins.front() : nullptr;
            std::vector<std::string> keys;
            for (const Surface& s : model.value().surfaces) {
                const std::string worn = WornTexture(s, skin).name;
                if (TextureKey(worn).empty() ||
                    std::find(keys.begin(), keys.end(), TextureKey(worn)) != keys.end())
                    continue;
                keys.push_back(TextureKey(worn));
                TemplateRequest request;
                request.texture = worn;
                request.skin = skin;
                request.style = options.style;
                const Result<TemplatePlan> plan = PlanTemplate(model.value(), request, source);
                if (!plan.ok())
                    continue;
                const std::string out =
                    setup.out + "/" + std::to_string(written) + "." + ExtensionOf(options.format);
                written += WriteTemplateFile(out, plan.value().surfaces, plan.value().style).ok();
            }
        }
    }
    state.counters["models"] = double(setup.models);
    state.counters["templates"] = double(written);
}

} // namespace

BENCHMARK(BM_BatchByTexture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchByModel)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
