// Each reader on the largest real models of its format, against the time it
// takes to read the file's bytes, and (when built with assimp) against
// assimp importing the same bytes from memory.
//   build/bin/reader_bench --benchmark_min_time=0.2 --benchmark_repetitions=3
//     --benchmark_report_aggregates_only=true --benchmark_out=reader.json
//   bench/reader_ratios.py reader.json
// Per file: Bytes/ is ReadFileBytes as LoadModelFile calls it (from the page
// cache after the first run), Ours/ the reader on bytes already in memory,
// Load/ the whole LoadModelFile, Assimp/ ReadFileFromMemory with no
// post-processing step (every one of these formats stores triangles).
#include "bench/BigMesh.h"
#include "model/ByteSource.h"
#include "model/GltfReader.h"
#include "model/IqmReader.h"
#include "model/Md2Reader.h"
#include "model/Md3Reader.h"
#include "model/Md5Reader.h"
#include "model/MdcReader.h"
#include "model/MdlReader.h"
#include "model/Model.h"
#include "model/ModelFormats.h"
#include "model/ObjReader.h"

#include <benchmark/benchmark.h>

#ifdef GW_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct ReaderCase {
    const char* format;    // lower case, as the benchmark names show it
    const char* file;      // under the shared folder
    const char* extension; // assimp's hint
    Result<Model> (*read)(const SourceBytes&);
};

// The largest files of each format the shared folders hold (MD2's are all
// small; the three largest are taken).
const ReaderCase kCases[] = {
    {"md3", "md3/tremulous/players_level3_nonseg.md3", "md3", ReadMd3},
    {"md3", "md3/tremulous/players_level2_nonseg.md3", "md3", ReadMd3},
    {"md3", "md3/tremulous/players_level4_nonseg.md3", "md3", ReadMd3},
    {"md3", "md3/tremulous/players_human_bsuit_lower.md3", "md3", ReadMd3},
    {"md3", "models/md3/casey/models/players/casey/upper.md3", "md3", ReadMd3},
    {"mdl", "models/mdl/player/progs/player.mdl", "mdl", ReadMdl},
    {"mdl", "models/mdl/b_g_key/progs/b_g_key.mdl", "mdl", ReadMdl},
    {"mdl", "models/mdl/armor/progs/armor.mdl", "mdl", ReadMdl},
    {"md2", "models/md2/well_base/packages/models/mapmodels/objects/well_base/tris.md2", "md2",
     ReadMd2},
    {"md2", "models/md2/lamp01/packages/models/mapmodels/objects/lamp01/tris.md2", "md2", ReadMd2},
    {"md2", "models/md2/fire/packages/models/mapmodels/objects/fire/tris.md2", "md2", ReadMd2},
    {"mdc", "models/mdc/spider/spider.mdc", "mdc", ReadMdc},
    {"md5", "models/md5/blade2/packages/models/mapmodels/svarog/blade2/tau0/mapmodel.md5mesh",
     "md5mesh", ReadMd5},
    {"md5", "models/md5/grenade/models/weapons/grenade/grenade.md5mesh", "md5mesh", ReadMd5},
    {"iqm", "models/iqm/re_roller/actors/roller/roller.iqm", "iqm", ReadIqm},
    {"iqm", "models/iqm/re_player/actors/player/male/RE_Player_male.iqm", "iqm", ReadIqm},
    {"iqm", "models/iqm/re_turret/actors/turret/sphere/turret_sphere.iqm", "iqm", ReadIqm},
    {"obj", "models/obj/neverball_rift/data/ball/rift/rift.obj", "obj", ReadObj},
    {"obj", "models/obj/spider/spider.obj", "obj", ReadObj},
    {"gltf", "models/gltf/robot/robot.glb", "glb", ReadGltf},
    {"gltf", "models/gltf/Stip/glTF/stip.gltf", "gltf", ReadGltf},
    {"gltf", "models/gltf/BoxTextured/glTF-Binary/BoxTextured.glb", "glb", ReadGltf},
    // A sculpt's million triangles, generated (bench/BigMesh.h).
    {"obj", "million.obj", "obj", ReadObj},
    {"gltf", "million.glb", "glb", ReadGltf},
};

std::string PathOf(const ReaderCase& c) {
    if (std::string(c.file).rfind("million.", 0) == 0)
        return BigMeshFile(1000000, 1, c.extension);
    return (std::filesystem::path(GW_SHARED_DIR) / c.file).string();
}

// The same call LoadModelFile makes.
Result<SourceBytes> ReadBytes(const std::string& path) {
    return ReadFileBytes(path, INT32_MAX, "it is larger than the 2 GB a model file may take");
}

// The file's bytes, or a skip that says why there are none.
bool BytesOrSkip(benchmark::State& state, const std::string& path, SourceBytes& out) {
    if (!std::filesystem::is_regular_file(path)) {
        state.SkipWithError(("no file " + path).c_str());
        return false;
    }
    Result<SourceBytes> read = ReadBytes(path);
    if (!read.ok()) {
        state.SkipWithError(read.error().Message().c_str());
        return false;
    }
    out = std::move(read.value());
    out.companions = DiskCompanions(path); // a .gltf's buffers, an OBJ's materials
    return true;
}

void Describe(benchmark::State& state, const SourceBytes& source, const Model* model) {
    const auto size = int64_t(source.bytes->size());
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    state.counters["bytes"] = double(size);
    if (model == nullptr)
        return;
    size_t vertices = 0;
    for (const Surface& surface : model->surfaces)
        vertices += surface.u.size();
    state.counters["verts"] = double(vertices);
    state.counters["frames"] = double(model->FrameCount());
}

void BM_Bytes(benchmark::State& state, const ReaderCase& c) {
    const std::string path = PathOf(c);
    SourceBytes source;
    if (!BytesOrSkip(state, path, source))
        return;
    for (auto _ : state) {
        Result<SourceBytes> read = ReadBytes(path);
        if (!read.ok()) {
            state.SkipWithError(read.error().Message().c_str());
            return;
        }
        benchmark::DoNotOptimize(read.value().bytes->data());
    }
    Describe(state, source, nullptr);
}

void BM_Ours(benchmark::State& state, const ReaderCase& c) {
    SourceBytes source;
    if (!BytesOrSkip(state, PathOf(c), source))
        return;
    Result<Model> first = c.read(source);
    if (!first.ok()) {
        state.SkipWithError(first.error().Message().c_str());
        return;
    }
    for (auto _ : state) {
        Result<Model> model = c.read(source);
        benchmark::DoNotOptimize(model.ok());
    }
    Describe(state, source, &first.value());
}

void BM_Load(benchmark::State& state, const ReaderCase& c) {
    const std::string path = PathOf(c);
    SourceBytes source;
    if (!BytesOrSkip(state, path, source))
        return;
    for (auto _ : state) {
        Result<Model> model = LoadModelFile(path);
        if (!model.ok()) {
            state.SkipWithError(model.error().Message().c_str());
            return;
        }
        benchmark::DoNotOptimize(model.value().surfaces.data());
    }
    Describe(state, source, nullptr);
}

#ifdef GW_HAVE_ASSIMP
void BM_Assimp(benchmark::State& state, const ReaderCase& c) {
    SourceBytes source;
    if (!BytesOrSkip(state, PathOf(c), source))
        return;
    // One importer for the run, as a program would keep: its construction
    // (every format's importer made and registered) is not the file's cost.
    Assimp::Importer importer;
    const auto* data = source.bytes->data();
    const size_t size = source.bytes->size();
    if (importer.ReadFileFromMemory(data, size, 0, c.extension) == nullptr) {
        state.SkipWithError(("assimp: " + std::string(importer.GetErrorString())).c_str());
        return;
    }
    for (auto _ : state) {
        const aiScene* scene = importer.ReadFileFromMemory(data, size, 0, c.extension);
        benchmark::DoNotOptimize(scene);
        importer.FreeScene();
    }
    Describe(state, source, nullptr);
}
#endif

} // namespace

int main(int argc, char** argv) {
    for (const ReaderCase& c : kCases) {
        const std::string name =
            std::string(c.format) + "/" + std::filesystem::path(c.file).filename().string();
        const std::string parent = std::filesystem::path(c.file).parent_path().filename().string();
        // MD2 files are all tris.md2: name them by their folder.
        const std::string shown = std::string(c.format) == "md2" ? "md2/" + parent : name;
        benchmark::RegisterBenchmark(("Bytes/" + shown).c_str(), BM_Bytes, c)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Ours/" + shown).c_str(), BM_Ours, c)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Load/" + shown).c_str(), BM_Load, c)
            ->Unit(benchmark::kMicrosecond);
#ifdef GW_HAVE_ASSIMP
        benchmark::RegisterBenchmark(("Assimp/" + shown).c_str(), BM_Assimp, c)
            ->Unit(benchmark::kMicrosecond);
#endif
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
