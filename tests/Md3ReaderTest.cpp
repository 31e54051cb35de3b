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

class Md3Reader : public ::testing::Test {};

} // namespace

TEST_F(Md3Reader, ReadsHeadersNamesAndListsInFileOrder) {
    const BuiltMd3 built = BuildMd3(TwoSurfaces());
    TempDir dir;
    const RecordingView view = LoadBytes(built.bytes, dir);
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(view.names, (std::vector<std::string>{"b_head", "a_legs"}));
    ASSERT_EQ(view.model.SurfaceCount(), 2);
    EXPECT_EQ(view.model.md3->surfaceCount, 2);

    const Surface& head = view.model.surfaces[0];
    const Md3SurfaceHeader& headH = view.model.md3->surfaces[0];
    EXPECT_EQ(headH.fileOffset, int32_t(built.surfaceOffsets[0]));
    EXPECT_EQ(headH.vertexCount, 3);
    EXPECT_EQ(headH.triangleCount, 1);
    EXPECT_EQ(headH.shaderCount, 2);
    EXPECT_EQ(head.shaderName, "models/players/x/head.tga");
    EXPECT_EQ(headH.shaderIndex, 7);
    EXPECT_EQ(headH.triangleOffset, 108 + 2 * 68);
    EXPECT_EQ(headH.texCoordOffset, 108 + 2 * 68 + 12);
    EXPECT_EQ(headH.vertexOffset, headH.texCoordOffset + 3 * 8);
    EXPECT_EQ(headH.endOffset, headH.vertexOffset + 3 * 8);
    EXPECT_EQ(
        (std::vector<double>{head.u[0], head.v[0], head.u[1], head.v[1], head.u[2], head.v[2]}),
        (std::vector<double>{0.25, -0.25, 0.007813, 1.0, 0.123457, 1.0}));
    EXPECT_EQ((std::vector<int>{head.triangles[0].a, head.triangles[0].b, head.triangles[0].c}),
              (std::vector<int>{0, 1, 2}));
    // One frame of three vertices, decoded.
    EXPECT_EQ(view.model.Pose(0, 0).positions.size(), 3u);
    EXPECT_EQ(head.positions.size(), 3u);

    // The shader list of this one lies after the other lists, not at 108.
    const Surface& legs = view.model.surfaces[1];
    const Md3SurfaceHeader& legsH = view.model.md3->surfaces[1];
    EXPECT_EQ(legsH.fileOffset, headH.fileOffset + headH.endOffset);
    EXPECT_EQ(legs.shaderName, "models/players/x/legs.tga");
    EXPECT_EQ(legsH.flags, 5);
    EXPECT_EQ(legsH.frameCount, 3);
    EXPECT_EQ(legsH.triangleCount, 8);
    EXPECT_EQ(legs.u[8], 1.0);
    EXPECT_EQ(legs.v[8], 1.0);
    EXPECT_EQ(legs.triangles[7].a, 5);
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
    EXPECT_EQ(view.model.surfaces[1].shaderName, "tex"); // nothing left over after the zero
}

TEST_F(Md3Reader, ShaderCountOfZeroGivesAnEmptyShader) {
    Md3ModelDesc model = TwoSurfaces();
    model.surfaces[0].shaders.clear();
    TempDir dir;
    const RecordingView view = LoadBytes(BuildMd3(model).bytes, dir);
    EXPECT_EQ(view.model.surfaces[0].shaderName, "");
    EXPECT_EQ(view.model.md3->surfaces[0].shaderIndex, 0);
    EXPECT_EQ(TextureNameOf(view.model.surfaces[0]), "");
}

TEST_F(Md3Reader, ZeroAndNegativeCountsReadNothing) {
    Md3ModelDesc empty;
    TempDir dir;
    RecordingView view = LoadBytes(BuildMd3(empty).bytes, dir, "empty.md3");
    EXPECT_TRUE(view.failures.empty());
    EXPECT_TRUE(view.names.empty());
    EXPECT_EQ(view.model.md3->surfaceCount, 0);

    std::vector<uint8_t> bytes = BuildMd3(TwoSurfaces()).bytes;
    PatchI32(bytes, 84, -3);
    view = LoadBytes(bytes, dir, "negative.md3");
    EXPECT_TRUE(view.failures.empty());
    EXPECT_TRUE(view.names.empty());
    EXPECT_EQ(view.model.md3->surfaceCount, -3);

    BuiltMd3 built = BuildMd3(TwoSurfaces());
    PatchI32(built.bytes, built.surfaceOffsets[0] + 80, -1); // vertices
    PatchI32(built.bytes, built.surfaceOffsets[0] + 84, 0);  // triangles
    view = LoadBytes(built.bytes, dir, "negative-vertices.md3");
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(view.model.md3->surfaces[0].vertexCount, -1);
    EXPECT_TRUE(view.model.surfaces[0].u.empty());
    EXPECT_EQ(view.model.md3->surfaces[0].triangleCount, 0);
}

// A surface whose end offset does not move on would list itself again and
// again in place of the surfaces after it: such a model is refused.
TEST_F(Md3Reader, ASurfaceThatDoesNotEndAfterItsStartIsRefused) {
    Md3ModelDesc model = TwoSurfaces();
    model.surfaces.push_back(TriangleSurface("c_third", {0, 0}, {1, 0}, {0, 1}));
    for (const int32_t end : {0, -40}) {
        BuiltMd3 built = BuildMd3(model);
        PatchI32(built.bytes, built.surfaceOffsets[0] + 104, end);
        TempDir dir;
        const RecordingView view = LoadBytes(built.bytes, dir);
        ASSERT_EQ(view.failures.size(), 1u);
        EXPECT_EQ(view.failures[0],
                  "\"" + dir.File("model.md3") + "\": surface 0 (\"b_head\") ends at offset " +
                      std::to_string(end) +
                      " from its start, so the surfaces after it cannot be found.");
    }
    // The last surface's end offset leads nowhere: it is not checked.
    BuiltMd3 built = BuildMd3(model);
    PatchI32(built.bytes, built.surfaceOffsets[2] + 104, 0);
    TempDir dir;
    EXPECT_TRUE(LoadBytes(built.bytes, dir).failures.empty());
}

TEST_F(Md3Reader, NonFiniteCoordinatesAreStoredAsZero) {
    BuiltMd3 built = BuildMd3(TwoSurfaces());
    const size_t uv = built.surfaceOffsets[0] + 108 + 2 * 68 + 12;
    PatchF32(built.bytes, uv, std::numeric_limits<float>::infinity());
    PatchF32(built.bytes, uv + 4, std::numeric_limits<float>::quiet_NaN());
    TempDir dir;
    const RecordingView view = LoadBytes(built.bytes, dir);
    EXPECT_EQ(view.model.surfaces[0].u[0], 0.0);
    EXPECT_EQ(view.model.surfaces[0].v[0], 0.0);
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
    EXPECT_EQ(view.model.md3->surfaces[0].vertexCount, kMaxVertices);
    EXPECT_EQ(view.model.surfaces[0].v[kMaxVertices - 1], 0.25);
    EXPECT_EQ(view.model.surfaces[0].triangles[kMaxTriangles - 1].c, kMaxVertices - 1);
}

TEST_F(Md3Reader, RefusesFilesItCannotOpenAndCreatesNothing) {
    TempDir dir;
    const std::string missing = dir.File("missing.md3");
    RecordingView view = LoadPath(missing);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], "Cannot open \"" + missing + "\": No such file or directory.");
    EXPECT_FALSE(std::filesystem::exists(missing));

    view = LoadPath(dir.path().string());
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0],
              "Cannot open \"" + dir.path().string() + "\": it is a folder, not a file.");
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
        // Cut right after the first shader's 64-byte name: its index word is missing.
        {patched(s1 + 92, int32_t(good.bytes.size() - s1 - 64)),
         "the first shader of surface 1 (\"a_legs\") is out of bounds (bytes " +
             std::to_string(good.bytes.size() - 64) + " to " +
             std::to_string(good.bytes.size() + 3) + outOfFile},
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
    }
    // The whole record as the file's last 68 bytes is read.
    TempDir dir;
    const RecordingView last =
        LoadBytes(patched(s1 + 92, int32_t(good.bytes.size() - s1 - 68)), dir);
    EXPECT_TRUE(last.failures.empty());
    EXPECT_EQ(last.names.size(), 2u);
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
    wrongMagic[3] = '9';
    const std::vector<std::vector<uint8_t>> refused = {
        png, text, std::vector<uint8_t>(4096, 0), wrongMagic, {}, {'I', 'D', 'P'}};
    for (const auto& bytes : refused) {
        SCOPED_TRACE(bytes.size());
        ExpectRefused(bytes, notAModel);
    }
    // The bytes pick the reader, not the name: "IDP2" in a file named .md3
    // is read (and here refused) as the MD2 it says it is.
    std::vector<uint8_t> md2 = BuildMd3(TwoSurfaces()).bytes;
    md2[3] = '2';
    ExpectRefused(md2, "it is MD2 version 15; the game reads version 8 only.");
    if (std::filesystem::exists("/bin/ls")) {
        const RecordingView view = LoadPath("/bin/ls");
        ASSERT_EQ(view.failures.size(), 1u);
        // Named as no format's file: refused for every format at once.
        EXPECT_EQ(view.failures[0].rfind("\"/bin/ls\": it is not a model Gridwright reads: it "
                                         "does not start as an MD3",
                                         0),
                  0u)
            << view.failures[0];
    }
    std::vector<uint8_t> otherVersion = BuildMd3(TwoSurfaces()).bytes;
    PatchI32(otherVersion, 4, 16);
    TempDir dir;
    EXPECT_TRUE(LoadBytes(otherVersion, dir).failures.empty());
}

// A pipe, a device or a socket is refused at once: opening a pipe with no
// writer would wait forever.
TEST_F(Md3Reader, RefusesPipesAndDevicesWithoutWaiting) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs and /dev devices are POSIX";
#else
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
    for (const std::string device : {"/dev/null", "/dev/zero"}) {
        const RecordingView refused = LoadPath(device);
        ASSERT_EQ(refused.failures.size(), 1u);
        EXPECT_EQ(refused.failures[0], "Cannot open \"" + device + "\": it is not a regular file.");
    }
#endif
}

// A model written to while it is read (another program saving it) is refused
// whole. The write is injected into the read itself through the linker
// (-Wl,--wrap=pread); a file swapped by rename is no change to the one read.
namespace {
std::string g_appendOnRead;
} // namespace

#ifndef _WIN32
extern "C" ssize_t __real_pread(int fd, void* buffer, size_t count, off_t offset);
extern "C" ssize_t __wrap_pread(int fd, void* buffer, size_t count, off_t offset) {
    if (!g_appendOnRead.empty()) {
        std::FILE* f = std::fopen(g_appendOnRead.c_str(), "ab");
        std::fputs("more", f);
        std::fclose(f);
        g_appendOnRead.clear();
    }
    return __real_pread(fd, buffer, count, offset);
}
#endif

TEST(Md3ReaderChanges, AModelThatChangesWhileItIsReadIsRefused) {
#ifdef _WIN32
    GTEST_SKIP() << "the change is injected into pread through -Wl,--wrap, a POSIX call";
#else
    TempDir dir;
    const std::string path = dir.File("model.md3");
    WriteBytesToFile(path, BuildMd3(TwoSurfaces()).bytes);
    g_appendOnRead = path;
    const RecordingView view = LoadPath(path);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0],
              "\"" + path + "\": the file changed while it was being read; load it again.");
    EXPECT_TRUE(view.names.empty());
    // Left alone, the same file loads.
    EXPECT_TRUE(LoadPath(path).failures.empty());
#endif
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
        const Surface& last = view.model.surfaces[size_t(c.surfaces - 1)];
        EXPECT_EQ(view.names.back(), "s" + std::to_string(c.surfaces - 1));
        EXPECT_EQ(int(last.u.size()), c.vertices);
        EXPECT_EQ(last.u[c.vertices - 1], c.vertices > 3 ? 0.5 : 0.0);
        EXPECT_EQ(last.triangles[size_t(c.triangles - 1)].c, c.vertices - 1);
    }
}
