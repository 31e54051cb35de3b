#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Md3ModelDesc TwoSurfaces() {
    Md3ModelDesc model;
    Md3SurfaceDesc head = TriangleSurface("b_head", {0.25f, -0.25f}, {0.0078125f, 1.0000001f},
                                          {0.1234567f, 0.9999996f});
    head.shaders = {{"models/players/x/head.tga", 7}, {"second", 8}};
    Md3SurfaceDesc legs = GridSurface("a_legs", 2, "models/players/x/legs.tga");
    legs.shadersAfterLists = true;
    legs.flags = 5;
    legs.frames = 3;
    model.surfaces = {head, legs};
    return model;
}

// Builds a model, loads it and expects it to be refused with this reason.
void ExpectRefused(const std::vector<uint8_t>& bytes, const std::string& reasonAfterPath) {
    TempDir dir;
    const RecordingView view = LoadBytes(bytes, dir);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], "\"" + dir.File("model.md3") + "\": " + reasonAfterPath);
    EXPECT_TRUE(view.names.empty());
}

class Md3Reader : public ::testing::Test {
  protected:
    // Every test starts from a known model in the store.
    void SetUp() override {
        const RecordingView view = LoadBytes(BuildMd3(TwoSurfaces()).bytes, m_dir, "known.md3");
        ASSERT_TRUE(view.failures.empty());
    }
    void ExpectKnownModelKept() {
        EXPECT_EQ(g_surfaceCount, 2);
        EXPECT_STREQ(g_surfaces[0].name, "b_head");
        EXPECT_STREQ(g_surfaces[1].name, "a_legs");
        EXPECT_EQ(g_surfaces[1].vertexCount, 9);
    }
    TempDir m_dir;
};

} // namespace

TEST_F(Md3Reader, ReadsHeadersNamesAndListsInFileOrder) {
    const BuiltMd3 built = BuildMd3(TwoSurfaces());
    TempDir dir;
    const RecordingView view = LoadBytes(built.bytes, dir);
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(view.names, (std::vector<std::string>{"b_head", "a_legs"}));
    EXPECT_EQ(g_surfaceCount, 2);

    const SurfaceRecord& head = g_surfaces[0];
    EXPECT_EQ(head.fileOffset, int32_t(built.surfaceOffsets[0]));
    EXPECT_EQ(head.vertexCount, 3);
    EXPECT_EQ(head.triangleCount, 1);
    EXPECT_EQ(head.shaderCount, 2);
    EXPECT_STREQ(head.shaderName, "models/players/x/head.tga");
    EXPECT_EQ(head.shaderIndex, 7);
    EXPECT_EQ(head.triangleOffset, 108 + 2 * 68);
    EXPECT_EQ(head.texCoordOffset, 108 + 2 * 68 + 12);
    EXPECT_EQ(head.vertexOffset, head.texCoordOffset + 3 * 8);
    EXPECT_EQ(head.endOffset, head.vertexOffset + 3 * 8);
    EXPECT_EQ(
        (std::vector<double>{head.u[0], head.v[0], head.u[1], head.v[1], head.u[2], head.v[2]}),
        (std::vector<double>{0.25, -0.25, 0.007813, 1.0, 0.123457, 1.0}));
    EXPECT_EQ((std::vector<int>{head.cornerA[0], head.cornerB[0], head.cornerC[0]}),
              (std::vector<int>{0, 1, 2}));

    // The shader list of this one lies after the other lists, not at 108.
    const SurfaceRecord& legs = g_surfaces[1];
    EXPECT_EQ(legs.fileOffset, head.fileOffset + head.endOffset);
    EXPECT_STREQ(legs.shaderName, "models/players/x/legs.tga");
    EXPECT_EQ(legs.flags, 5);
    EXPECT_EQ(legs.frameCount, 3);
    EXPECT_EQ(legs.triangleCount, 8);
    EXPECT_EQ(legs.u[8], 1.0);
    EXPECT_EQ(legs.v[8], 1.0);
    EXPECT_EQ(legs.cornerA[7], 5);
    EXPECT_EQ(TextureNameOf(legs), "legs.tga");
}

TEST_F(Md3Reader, NamesEndAtTheirFirstZeroAndKeepAtMost63Characters) {
    Md3ModelDesc model = TwoSurfaces();
    model.surfaces[0].name = std::string(64, 'n');
    model.surfaces[1].shaders[0].name = std::string("tex") + '\0' + "leftover";
    model.surfaces[1].name = std::string("legs") + '\0' + "junk";
    TempDir dir;
    const RecordingView view = LoadBytes(BuildMd3(model).bytes, dir);
    EXPECT_EQ(view.names, (std::vector<std::string>{std::string(63, 'n'), "legs"}));
    EXPECT_EQ(g_surfaces[0].name[63], '\0');
    EXPECT_EQ(NameText(g_surfaces[1].shaderName), "tex");
    EXPECT_EQ(g_surfaces[1].shaderName[4], '\0'); // nothing left over after the zero
}

TEST_F(Md3Reader, ShaderCountOfZeroGivesAnEmptyShader) {
    Md3ModelDesc model = TwoSurfaces();
    model.surfaces[0].shaders.clear();
    TempDir dir;
    LoadBytes(BuildMd3(model).bytes, dir);
    EXPECT_STREQ(g_surfaces[0].shaderName, "");
    EXPECT_EQ(g_surfaces[0].shaderIndex, 0);
    EXPECT_EQ(TextureNameOf(g_surfaces[0]), "");
}

TEST_F(Md3Reader, ZeroAndNegativeCountsReadNothing) {
    Md3ModelDesc empty;
    TempDir dir;
    RecordingView view = LoadBytes(BuildMd3(empty).bytes, dir, "empty.md3");
    EXPECT_TRUE(view.failures.empty());
    EXPECT_TRUE(view.names.empty());
    EXPECT_EQ(g_surfaceCount, 0);
    // Records past the count keep the earlier model's surfaces.
    EXPECT_STREQ(g_surfaces[1].name, "a_legs");

    std::vector<uint8_t> bytes = BuildMd3(TwoSurfaces()).bytes;
    PatchI32(bytes, 84, -3);
    view = LoadBytes(bytes, dir, "negative.md3");
    EXPECT_TRUE(view.failures.empty());
    EXPECT_TRUE(view.names.empty());
    EXPECT_EQ(g_surfaceCount, -3);

    BuiltMd3 built = BuildMd3(TwoSurfaces());
    PatchI32(built.bytes, built.surfaceOffsets[0] + 80, -1); // vertices
    PatchI32(built.bytes, built.surfaceOffsets[0] + 84, 0);  // triangles
    view = LoadBytes(built.bytes, dir, "negative-vertices.md3");
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(g_surfaces[0].vertexCount, -1);
    EXPECT_EQ(g_surfaces[0].triangleCount, 0);
}

TEST_F(Md3Reader, EndOffsetOfZeroRepeatsTheSurface) {
    Md3ModelDesc model = TwoSurfaces();
    model.surfaces.push_back(TriangleSurface("c_third", {0, 0}, {1, 0}, {0, 1}));
    BuiltMd3 built = BuildMd3(model);
    PatchI32(built.bytes, built.surfaceOffsets[0] + 104, 0);
    TempDir dir;
    const RecordingView view = LoadBytes(built.bytes, dir);
    EXPECT_EQ(view.names, (std::vector<std::string>{"b_head", "b_head", "b_head"}));
    EXPECT_EQ(g_surfaces[2].fileOffset, g_surfaces[0].fileOffset);
    EXPECT_EQ(g_surfaces[2].u[2], 0.123457);
}

TEST_F(Md3Reader, SmallerModelOverwritesOnlyWhatItReads) {
    Md3ModelDesc small;
    small.surfaces.push_back(TriangleSurface("only", {0.5f, 0.5f}, {0, 0}, {1, 1}));
    TempDir dir;
    LoadBytes(BuildMd3(small).bytes, dir);
    EXPECT_EQ(g_surfaceCount, 1);
    EXPECT_EQ(g_surfaces[0].vertexCount, 3);
    EXPECT_EQ(g_surfaces[0].u[0], 0.5);
    // Past the new counts the earlier model's values stay.
    EXPECT_STREQ(g_surfaces[1].name, "a_legs");
    EXPECT_EQ(g_surfaces[1].vertexCount, 9);
}

TEST_F(Md3Reader, NonFiniteCoordinatesAreStoredAsZero) {
    BuiltMd3 built = BuildMd3(TwoSurfaces());
    const size_t uv = built.surfaceOffsets[0] + 108 + 2 * 68 + 12;
    PatchF32(built.bytes, uv, std::numeric_limits<float>::infinity());
    PatchF32(built.bytes, uv + 4, std::numeric_limits<float>::quiet_NaN());
    TempDir dir;
    LoadBytes(built.bytes, dir);
    EXPECT_EQ(g_surfaces[0].u[0], 0.0);
    EXPECT_EQ(g_surfaces[0].v[0], 0.0);
}

TEST_F(Md3Reader, HoldsSurfacesAtFullCapacity) {
    Md3ModelDesc model;
    Md3SurfaceDesc big;
    big.name = "big";
    big.uv.assign(kMaxVertices, {0.5f, 0.25f});
    big.triangles.assign(kMaxTriangles, {0, 1, kMaxVertices - 1});
    model.surfaces = {big};
    TempDir dir;
    const RecordingView view = LoadBytes(BuildMd3(model).bytes, dir);
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(g_surfaces[0].vertexCount, kMaxVertices);
    EXPECT_EQ(g_surfaces[0].v[kMaxVertices - 1], 0.25);
    EXPECT_EQ(g_surfaces[0].cornerC[kMaxTriangles - 1], kMaxVertices - 1);
}

TEST_F(Md3Reader, RefusesFilesItCannotOpenAndCreatesNothing) {
    TempDir dir;
    const std::string missing = dir.File("missing.md3");
    RecordingView view = LoadPath(missing);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], "Cannot open \"" + missing + "\": No such file or directory.");
    EXPECT_FALSE(std::filesystem::exists(missing));
    ExpectKnownModelKept();

    view = LoadPath(dir.path().string());
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0],
              "Cannot open \"" + dir.path().string() + "\": it is a folder, not a file.");
    ExpectKnownModelKept();
}

TEST_F(Md3Reader, RefusesWhatDoesNotFitAndKeepsTheStore) {
    const BuiltMd3 good = BuildMd3(TwoSurfaces());
    const size_t s0 = good.surfaceOffsets[0], s1 = good.surfaceOffsets[1];
    const std::string size = std::to_string(good.bytes.size());
    auto patched = [&](size_t at, int32_t value) {
        std::vector<uint8_t> bytes = good.bytes;
        PatchI32(bytes, at, value);
        return bytes;
    };

    struct Refusal {
        std::vector<uint8_t> bytes;
        std::string reason;
    };
    const int64_t intMin = std::numeric_limits<int32_t>::min();
    const std::string outOfFile = " are out of bounds for a file of " + size + " bytes).";
    const Refusal refusals[] = {
        {std::vector<uint8_t>(good.bytes.begin(), good.bytes.begin() + 90),
         "too short for a model header (bytes 100 to 103 are out of bounds for a file of 90 "
         "bytes)."},
        {patched(84, 256), "it has 256 surfaces; Gridwright holds at most 255."},
        {patched(s0 + 80, 4097),
         "surface 0 (\"b_head\") has 4097 vertices; Gridwright holds at most 4096."},
        {patched(s1 + 84, 8193),
         "surface 1 (\"a_legs\") has 8193 triangles; Gridwright holds at most 8192."},
        {patched(100, -8), "the header of surface 0 is out of bounds (bytes -8 to 99" + outOfFile},
        {patched(s0 + 104, 1 << 30), "the header of surface 1 is out of bounds (bytes " +
                                         std::to_string(s0 + (1 << 30)) + " to " +
                                         std::to_string(s0 + (1 << 30) + 107) + outOfFile},
        {patched(s0 + 92, -int32_t(s0) - 1),
         "the first shader of surface 0 (\"b_head\") is out of bounds (bytes -1 to 66" + outOfFile},
        {patched(s1 + 96, int32_t(good.bytes.size() - s1 - 71)),
         "the texture coordinates of surface 1 (\"a_legs\") are out of bounds (bytes " +
             std::to_string(good.bytes.size() - 71) + " to " + std::to_string(good.bytes.size()) +
             outOfFile},
        {patched(s0 + 88, int32_t(intMin)),
         "the triangles of surface 0 (\"b_head\") are out of bounds (bytes " +
             std::to_string(int64_t(s0) + intMin) + " to " +
             std::to_string(int64_t(s0) + intMin + 11) + outOfFile},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.reason);
        ExpectRefused(refusal.bytes, refusal.reason);
        ExpectKnownModelKept();
    }
}

// Anything that does not start with "IDP3" is refused first, with that
// reason and no other; another version number is still read.
TEST_F(Md3Reader, RefusesFilesThatAreNotModelsAndAcceptsAnyVersion) {
    const std::string notAModel =
        "it does not start with \"IDP3\", so it is not an MD3 model; load the model's .md3 file "
        "instead.";
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    png.resize(60, 0);
    std::vector<uint8_t> text(300, 'a');
    std::vector<uint8_t> wrongMagic = BuildMd3(TwoSurfaces()).bytes;
    wrongMagic[3] = '2';
    const std::vector<std::vector<uint8_t>> refused = {
        png, text, std::vector<uint8_t>(4096, 0), wrongMagic, {}, {'I', 'D', 'P'}};
    for (const auto& bytes : refused) {
        SCOPED_TRACE(bytes.size());
        ExpectRefused(bytes, notAModel);
        ExpectKnownModelKept();
    }
    if (std::filesystem::exists("/bin/ls")) {
        const RecordingView view = LoadPath("/bin/ls");
        ASSERT_EQ(view.failures.size(), 1u);
        EXPECT_EQ(view.failures[0], "\"/bin/ls\": " + notAModel);
        ExpectKnownModelKept();
    }
    std::vector<uint8_t> otherVersion = BuildMd3(TwoSurfaces()).bytes;
    PatchI32(otherVersion, 4, 16);
    TempDir dir;
    EXPECT_TRUE(LoadBytes(otherVersion, dir).failures.empty());
}

// A pipe, a device or a socket is refused at once: opening a pipe with no
// writer would wait forever.
TEST_F(Md3Reader, RefusesPipesAndDevicesWithoutWaiting) {
    TempDir dir;
    const std::string fifo = dir.File("f.md3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto loading = std::async(std::launch::async, [&] { return LoadPath(fifo); });
    if (loading.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
        // Unblock the reader so the test can end, then fail.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        loading.wait();
        ::close(writer);
        FAIL() << "loading a FIFO did not return within a second";
    }
    const RecordingView view = loading.get();
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], "Cannot open \"" + fifo + "\": it is not a regular file.");
    ExpectKnownModelKept();
    for (const std::string device : {"/dev/null", "/dev/zero"}) {
        const RecordingView refused = LoadPath(device);
        ASSERT_EQ(refused.failures.size(), 1u);
        EXPECT_EQ(refused.failures[0], "Cannot open \"" + device + "\": it is not a regular file.");
    }
    ExpectKnownModelKept();
}

// A model replaced or rewritten between the header pass and the list passes
// is refused whole: nothing of either file stays listed or drawn.
namespace {
std::string g_swapFrom, g_swapTo;
void SwapTheModel() {
    std::filesystem::rename(g_swapFrom, g_swapTo);
}
void AppendToTheModel() {
    std::FILE* f = std::fopen(g_swapTo.c_str(), "ab");
    std::fputs("more", f);
    std::fclose(f);
}
} // namespace

TEST_F(Md3Reader, AModelThatChangesWhileItIsReadIsRefused) {
    TempDir dir;
    const BuiltMd3 full = BuildMd3(TwoSurfaces());
    g_swapTo = dir.File("model.md3");
    g_swapFrom = dir.File("half.md3");
    std::vector<uint8_t> half(full.bytes.begin(), full.bytes.begin() + full.bytes.size() / 2);
    const std::string changed =
        "\"" + g_swapTo + "\": the file changed while it was being read; load it again.";
    for (void (*change)() : {SwapTheModel, AppendToTheModel}) {
        WriteBytesToFile(g_swapTo, full.bytes);
        WriteBytesToFile(g_swapFrom, half);
        SetBetweenPassesHook(change);
        const RecordingView view = LoadPath(g_swapTo);
        SetBetweenPassesHook(nullptr);
        ASSERT_EQ(view.failures.size(), 1u);
        EXPECT_EQ(view.failures[0], changed);
        EXPECT_EQ(g_surfaceCount, 0);
    }
    // Left alone, the same file loads.
    WriteBytesToFile(g_swapTo, full.bytes);
    EXPECT_TRUE(LoadPath(g_swapTo).failures.empty());
    EXPECT_EQ(g_surfaceCount, 2);
}

// Each capacity is accepted exactly up to its limit and refused one past it.
TEST(Md3ReaderCapacity, HoldsEachLimitAndRefusesOneMore) {
    struct Case {
        const char* what;
        int surfaces, vertices, triangles;
        const char* refusal; // empty: loads
    };
    const Case cases[] = {
        {"255 surfaces", kMaxSurfaces, 3, 1, ""},
        {"256 surfaces", kMaxSurfaces + 1, 3, 1,
         "it has 256 surfaces; Gridwright holds at most 255."},
        {"4096 vertices", 1, kMaxVertices, 1, ""},
        {"4097 vertices", 1, kMaxVertices + 1, 1,
         "surface 0 (\"s0\") has 4097 vertices; Gridwright holds at most 4096."},
        {"8192 triangles", 1, 3, kMaxTriangles, ""},
        {"8193 triangles", 1, 3, kMaxTriangles + 1,
         "surface 0 (\"s0\") has 8193 triangles; Gridwright holds at most 8192."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Md3ModelDesc model;
        for (int i = 0; i < c.surfaces; ++i) {
            Md3SurfaceDesc s = TriangleSurface("s" + std::to_string(i), {0, 0}, {1, 0}, {0, 1});
            s.uv.resize(size_t(c.vertices), {0.5f, 0.5f});
            s.triangles.assign(size_t(c.triangles), {0, 1, c.vertices - 1});
            model.surfaces.push_back(s);
        }
        TempDir dir;
        const RecordingView view = LoadBytes(BuildMd3(model).bytes, dir);
        if (*c.refusal) {
            ASSERT_EQ(view.failures.size(), 1u);
            EXPECT_EQ(view.failures[0], "\"" + dir.File("model.md3") + "\": " + c.refusal);
            continue;
        }
        ASSERT_TRUE(view.failures.empty()) << view.failures[0];
        ASSERT_EQ(int(view.names.size()), c.surfaces);
        const SurfaceRecord& last = g_surfaces[c.surfaces - 1];
        EXPECT_EQ(view.names.back(), "s" + std::to_string(c.surfaces - 1));
        EXPECT_EQ(last.vertexCount, c.vertices);
        EXPECT_EQ(last.u[c.vertices - 1], c.vertices > 3 ? 0.5 : 0.0);
        EXPECT_EQ(last.cornerC[c.triangles - 1], c.vertices - 1);
    }
}
