#include "model/IqmReader.h"
#include "image/TextureImage.h"
#include "model/ModelFormats.h"
#include "model/QuantizeTexCoord.h"
#include "tests/IqmBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <tuple>

namespace {

// Two meshes over seven vertices: "a" a triangle, "b" a quad whose triangles
// name vertices 3 to 6 of the whole file.
IqmDesc TwoMeshes() {
    IqmDesc d;
    d.meshes = {{"a", "skin_a", 0, 3, 0, 1}, {"b", "models/b.tga", 3, 4, 1, 2}};
    d.texCoords = {{0.1f, 0.2f},   {0.9f, 0.2f},   {0.5f, 0.8f},  {0.25f, 0.25f},
                   {0.75f, 0.25f}, {0.75f, 0.75f}, {0.25f, 0.75f}};
    for (size_t i = 0; i < d.texCoords.size(); ++i) {
        d.positions.push_back({float(i), float(i) * 2, -float(i)});
        d.normals.push_back({0, 0, i % 2 ? 1.0f : -1.0f});
    }
    d.triangles = {{0, 1, 2}, {3, 4, 5}, {3, 5, 6}};
    return d;
}

Result<Model> Read(const std::vector<uint8_t>& bytes, const std::string& path = "m.iqm") {
    return ReadModel({path, Bytes::Copy(bytes.data(), bytes.size())});
}

TEST(IqmReader, ReadsEachMeshAsASurfaceCountedFromItsFirstVertex) {
    const IqmDesc d = TwoMeshes();
    const Result<Model> read = Read(BuildIqm(d).bytes);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& model = read.value();
    EXPECT_EQ(model.format, "IQM");
    ASSERT_EQ(model.SurfaceCount(), 2);
    EXPECT_EQ(model.FrameCount(), 1);
    for (size_t i = 0; i < 2; ++i) {
        const Surface& s = model.surfaces[i];
        const IqmMeshDesc& m = d.meshes[i];
        EXPECT_EQ(s.name, m.name);
        EXPECT_EQ(s.shaderName, m.material);
        ASSERT_EQ(s.u.size(), m.vertexCount);
        ASSERT_EQ(s.triangles.size(), m.triangleCount);
        for (size_t j = 0; j < m.vertexCount; ++j) {
            const size_t file = m.firstVertex + j;
            EXPECT_EQ(s.u[j], QuantizeTexCoord(d.texCoords[file][0]));
            EXPECT_EQ(s.v[j], QuantizeTexCoord(d.texCoords[file][1])); // not flipped
            EXPECT_EQ(s.positions.at(j), d.positions[file]);
            EXPECT_EQ(s.normals.at(j), d.normals[file]);
        }
        for (size_t k = 0; k < m.triangleCount; ++k) {
            const auto& t = d.triangles[m.firstTriangle + k];
            const Triangle& got = s.triangles[k];
            EXPECT_EQ(
                std::vector<int64_t>({got.a, got.b, got.c}),
                std::vector<int64_t>({int64_t(t[0]) - m.firstVertex, int64_t(t[1]) - m.firstVertex,
                                      int64_t(t[2]) - m.firstVertex}));
        }
        EXPECT_TRUE(LayoutHasArea(s));
    }
}

TEST(IqmReader, ReadsHalfAndDoubleCoordinatesAndZeroesWhatIsNotFinite) {
    for (const uint32_t format : {kIqmHalf, kIqmDouble}) {
        IqmDesc d = TwoMeshes();
        d.texCoordFormat = format;
        const Result<Model> read = Read(BuildIqm(d).bytes);
        ASSERT_TRUE(read.ok()) << read.error().Message();
        const Surface& b = read.value().surfaces[1];
        // Quarters are exact in a half; a double holds the float it came from.
        EXPECT_EQ(std::vector<double>(b.u.begin(), b.u.end()),
                  std::vector<double>({0.25, 0.75, 0.75, 0.25}));
        EXPECT_EQ(read.value().surfaces[0].u[0], format == kIqmDouble ? 0.1 : 0.099976);
    }
    IqmDesc d = TwoMeshes();
    d.texCoords[0] = {NAN, INFINITY};
    d.positions[1] = {NAN, -INFINITY, 4};
    const Result<Model> read = Read(BuildIqm(d).bytes);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Surface& a = read.value().surfaces[0];
    EXPECT_EQ(a.u[0], 0.0);
    EXPECT_EQ(a.v[0], 0.0);
    EXPECT_EQ(a.positions[1], (Point3{0, 0, 4}));
}

// A file changed by `damage` is refused, naming the file and the part that
// is wrong, in words that start lower case and end without a stop.
struct Hostile {
    const char* what;
    std::function<void(IqmFile&)> damage;
    std::string reason; // a part of the reason
};

TEST(IqmReader, RefusesDamagedFilesNamingThePart) {
    auto word = [](int w, uint32_t v) { return [w, v](IqmFile& f) { SetIqmWord(f.bytes, w, v); }; };
    auto at = [](const char* block, size_t k, uint32_t v) {
        return [block, k, v](IqmFile& f) { PutIqmU32(f.bytes, f.at[block] + k, v); };
    };
    std::vector<Hostile> cases = {
        {"not an IQM", [](IqmFile& f) { f.bytes[15] = 'X'; }, "it does not start with"},
        {"short header", [](IqmFile& f) { f.bytes.resize(100); }, "too short for an IQM header"},
        {"version 1", word(kIqmVersion, 1), "IQM version 1; Gridwright reads version 2"},
        {"size too large",
         [](IqmFile& f) { SetIqmWord(f.bytes, kIqmFileSize, uint32_t(f.bytes.size() + 1)); },
         "but the file has"},
        {"size below header", word(kIqmFileSize, 12), "less than the header's own 124"},
        {"block in header", word(kIqmTrianglesAt, 8), "its triangles start at offset 8, inside"},
        {"name outside text", at("meshes", 0, 999), "the name of mesh 0 starts at offset 999"},
        {"material unended",
         [](IqmFile& f) {
             SetIqmWord(f.bytes, kIqmTextCount, IqmU32(f.bytes, f.at["meshes"] + 28) + 2);
         },
         "the material of mesh 1 runs past the end of the text"},
        {"triangle outside its mesh", at("triangles", 12 + 4, 2),
         "triangle 1 of mesh 1 (\"b\") uses vertex 2, outside the mesh's vertices 3 to 6"},
        {"mesh past the vertices", at("meshes", 24 + 8, 5), "mesh 1 (\"b\") has vertices 5 to 8"},
        {"mesh past the triangles", at("meshes", 24 + 20, 3), "has triangles 1 to 3"},
        {"meshes sharing vertices",
         [](IqmFile& f) {
             PutIqmU32(f.bytes, f.at["meshes"] + 24 + 8, 0);
             PutIqmU32(f.bytes, f.at["meshes"] + 24 + 12, 7);
         },
         "its meshes have 10 vertices together"},
        {"byte coordinates", at("vertex arrays", 20 + 8, kIqmUByte),
         "its texture coordinates are stored as unsigned bytes; Gridwright reads"},
        {"short positions", at("vertex arrays", 8, kIqmShort),
         "its positions are stored as signed 16-bit"},
        {"three coordinates", at("vertex arrays", 20 + 12, 3),
         "its texture coordinates have 3 components"},
        {"unknown format", at("vertex arrays", 40 + 8, 9), "vertex array 2 has component format 9"},
        {"no coordinates", at("vertex arrays", 20, 0x10), "it has no texture coordinates"},
        {"too many vertices", word(kIqmVertexCount, uint32_t(kMaxModelVertices + 1)),
         "Gridwright holds at most 16777216"},
    };
    // Each block moved to run past the end is named; so is the block a cut
    // falls in when the header's size is cut with it.
    const std::vector<std::tuple<const char*, size_t, std::string>> blocks = {
        {"header", 16 + 4 * kIqmTextAt, "its text lies"},
        {"header", 16 + 4 * kIqmMeshesAt, "its meshes lie"},
        {"header", 16 + 4 * kIqmArraysAt, "its vertex arrays lie"},
        {"vertex arrays", 16, "the positions of vertex array 0 lie"},
        {"vertex arrays", 20 + 16, "the texture coordinates of vertex array 1 lie"},
        {"vertex arrays", 40 + 16, "the normals of vertex array 2 lie"},
        {"header", 16 + 4 * kIqmTrianglesAt, "its triangles lie"},
    };
    for (const auto& b : blocks)
        cases.push_back({std::get<2>(b).c_str(),
                         [block = std::get<0>(b), offsetAt = std::get<1>(b)](IqmFile& f) {
                             const size_t base = block == std::string("header") ? 0 : f.at[block];
                             PutIqmU32(f.bytes, base + offsetAt, uint32_t(f.bytes.size() - 4));
                         },
                         std::get<2>(b) + " outside the file"});
    cases.push_back({"frames",
                     [](IqmFile& f) {
                         SetIqmWord(f.bytes, kIqmFrameCount, 1000);
                         SetIqmWord(f.bytes, kIqmFrameChannels, 1);
                         SetIqmWord(f.bytes, kIqmFramesAt, 124);
                     },
                     "its frames lie outside the file (bytes 124 to 2123"});
    cases.push_back({"frames past 2^64 bytes",
                     [](IqmFile& f) {
                         SetIqmWord(f.bytes, kIqmFrameCount, 0xFFFFFFFF);
                         SetIqmWord(f.bytes, kIqmFrameChannels, 0xFFFFFFFF);
                         SetIqmWord(f.bytes, kIqmFramesAt, 124);
                     },
                     "its frames lie outside the file (18446744065119617025 records"});
    cases.push_back({"cut in the triangles, size cut too",
                     [](IqmFile& f) {
                         f.bytes.resize(f.at["triangles"] + 13);
                         SetIqmWord(f.bytes, kIqmFileSize, uint32_t(f.bytes.size()));
                     },
                     "its triangles lie outside the file"});
    cases.push_back({"cut, size kept", [](IqmFile& f) { f.bytes.resize(f.at["triangles"] + 5); },
                     "it is cut short"});
    for (const Hostile& c : cases) {
        IqmFile file = BuildIqm(TwoMeshes());
        c.damage(file);
        const Result<Model> read = Read(file.bytes, "hostile.iqm");
        ASSERT_FALSE(read.ok()) << c.what;
        const Error& e = read.error();
        EXPECT_EQ(e.path, "hostile.iqm");
        EXPECT_NE(e.reason.find(c.reason), std::string::npos) << c.what << ": " << e.reason;
        EXPECT_TRUE(islower(static_cast<unsigned char>(e.reason[0]))) << e.reason;
        EXPECT_NE(e.reason.back(), '.') << e.reason;
    }
}

TEST(IqmReader, AnAnimationFileIsRefusedAsHavingNoMeshes) {
    IqmDesc d;
    d.anims = 1;
    d.frames = 4;
    const Result<Model> read = Read(BuildIqm(d).bytes);
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error().reason.find("no meshes (1 animation of 4 frames"), std::string::npos)
        << read.error().reason;
}

// The animations a mesh file names are read, each with its frames and
// speed; one whose name is not in the text, or whose frames the file lacks,
// is kept and said.
TEST(IqmReader, TheAnimationsAreReadAndTheirFlawsSaid) {
    IqmDesc d = TwoMeshes();
    d.anims = 2;
    d.frames = 4;
    IqmFile file = BuildIqm(d);
    const Result<Model> read = Read(file.bytes);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    ASSERT_EQ(read.value().animations.size(), 2u);
    const Animation& a = read.value().animations[1];
    EXPECT_EQ(a.name, "animation 1"); // named by the empty string
    EXPECT_EQ(a.first, 0);
    EXPECT_EQ(a.frames, 4);
    EXPECT_EQ(a.fps, 24);
    EXPECT_EQ(a.looping, 0);
    EXPECT_TRUE(read.value().notes.empty());

    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.bytes[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    const size_t second = file.at["animations"] + 20;
    put(second, 0xFFFFFF00u);      // its name far past the text
    put(second + 4, 3);            // frames 3 to 6 of the 4
    put(second + 12, 0x7FC00000u); // a speed that is NaN
    put(second + 16, 1);           // looping
    const Result<Model> flawed = Read(file.bytes);
    ASSERT_TRUE(flawed.ok()) << flawed.error().Message();
    const Animation& b = flawed.value().animations.at(1);
    EXPECT_EQ(b.name, "animation 1");
    EXPECT_EQ(b.first, 3);
    EXPECT_EQ(b.fps, 10);
    EXPECT_EQ(b.looping, 4);
    const std::vector<std::string>& notes = flawed.value().notes;
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find("not in the file's text"), std::string::npos) << notes[0];
    EXPECT_NE(notes[1].find("frames 3 to 6 of the 4"), std::string::npos) << notes[1];
}

// --- The real models ---------------------------------------------------------

const std::filesystem::path kCorpus = std::filesystem::path(GW_MODEL_CORPUS);

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What STATS.md says of each IQM: "meshes M, vertices V, triangles T" and,
// per mesh, its name, material and counts.
struct Stats {
    int meshes = -1;
    int64_t vertices = -1, triangles = -1;
    std::vector<std::array<std::string, 4>> perMesh; // name, material, verts, tris
};

std::map<std::string, Stats> ReadStats() {
    std::map<std::string, Stats> out;
    std::ifstream in(kCorpus / "STATS.md");
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.rfind("- `iqm/", 0) == 0) {
            current = line.substr(3, line.find('`', 3) - 3);
            out[current];
        } else if (!current.empty() && line.find("magic INTERQUAKEMODEL") != std::string::npos) {
            Stats& s = out[current];
            std::sscanf(line.c_str() + line.find("meshes"),
                        "meshes %d, vertices %" SCNd64 ", triangles %" SCNd64, &s.meshes,
                        &s.vertices, &s.triangles);
        } else if (!current.empty() && line.find("-   mesh \"") != std::string::npos) {
            // -   mesh "NAME": material "MAT", verts V, tris T
            const size_t n0 = line.find('"') + 1, n1 = line.find("\": material \"", n0);
            const size_t m0 = n1 + 13, m1 = line.find("\", verts ", m0);
            const size_t t = line.find(", tris ", m1);
            out[current].perMesh.push_back({line.substr(n0, n1 - n0), line.substr(m0, m1 - m0),
                                            line.substr(m1 + 9, t - m1 - 9), line.substr(t + 7)});
        } else if (line.rfind("- ", 0) != 0 && line.rfind("    ", 0) != 0) {
            current.clear();
        }
    }
    return out;
}

TEST(IqmRealModels, AgreeWithTheirHeadersAndTheStats) {
    if (!std::filesystem::is_directory(kCorpus / "iqm"))
        GTEST_SKIP() << "no IQM models in " << kCorpus;
    const std::map<std::string, Stats> stats = ReadStats();
    int checked = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kCorpus / "iqm")) {
        if (entry.path().extension() != ".iqm")
            continue;
        const std::string relative =
            std::filesystem::relative(entry.path(), kCorpus).generic_string();
        SCOPED_TRACE(relative);
        const std::vector<uint8_t> bytes = FileBytes(entry.path());
        const Result<Model> read = Read(bytes, entry.path().string());
        // The header, decoded here on its own.
        auto header = [&bytes](int w) { return IqmU32(bytes, 16 + 4 * size_t(w)); };
        const uint32_t meshes = header(kIqmMeshCount);
        const auto found = stats.find(relative);
        ASSERT_NE(found, stats.end()) << "not in STATS.md";
        const Stats& s = found->second;
        EXPECT_EQ(int(meshes), s.meshes);
        EXPECT_EQ(header(kIqmVertexCount), s.vertices);
        EXPECT_EQ(header(kIqmTriangleCount), s.triangles);
        ++checked;
        if (meshes == 0) { // an animation file
            ASSERT_FALSE(read.ok());
            EXPECT_NE(read.error().reason.find("no meshes"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(read.ok()) << read.error().Message();
        const Model& model = read.value();
        ASSERT_EQ(model.SurfaceCount(), s.meshes);
        ASSERT_EQ(s.perMesh.size(), meshes);
        const uint32_t text = header(kIqmTextAt);
        for (uint32_t i = 0; i < meshes; ++i) {
            const Surface& got = model.surfaces[i];
            const size_t m = header(kIqmMeshesAt) + 24 * size_t(i);
            const uint32_t first = IqmU32(bytes, m + 8);
            EXPECT_EQ(got.name, reinterpret_cast<const char*>(&bytes[text + IqmU32(bytes, m)]));
            EXPECT_EQ(got.name, s.perMesh[i][0]);
            EXPECT_EQ(got.shaderName, s.perMesh[i][1]);
            EXPECT_EQ(std::to_string(got.u.size()), s.perMesh[i][2]);
            EXPECT_EQ(std::to_string(got.triangles.size()), s.perMesh[i][3]);
            ASSERT_EQ(got.positions.size(), got.u.size());
            // Every corner is the file's own index, counted from the mesh's first vertex.
            const size_t tris = header(kIqmTrianglesAt) + 12 * size_t(IqmU32(bytes, m + 16));
            for (size_t k = 0; k < got.triangles.size(); ++k) {
                const Triangle& t = got.triangles[k];
                ASSERT_EQ(t.a + first, IqmU32(bytes, tris + 12 * k));
                ASSERT_EQ(t.c + first, IqmU32(bytes, tris + 12 * k + 8));
            }
        }
    }
    EXPECT_GT(checked, 0);
}

// Where a layout lies on its texture: of points along every edge, the share
// on painted pixels (any colour but the texture's most common one, its
// background), and the share of the texture painted.
struct Coverage {
    double onPaint = 0, painted = 0;
};

Coverage EdgesOnPaint(const Model& model, const TextureImage& image, bool flipV) {
    std::map<uint32_t, int64_t> counts;
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        uint32_t c;
        std::memcpy(&c, &image.rgba[i], 4);
        ++counts[c];
    }
    const auto background =
        std::max_element(counts.begin(), counts.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    int64_t on = 0, all = 0;
    for (const Surface& s : model.surfaces)
        ForEachTriangle(s, [&](int a, int b, int c) {
            const int corner[4] = {a, b, c, a};
            for (int e = 0; e < 3; ++e)
                for (int k = 0; k <= 8; ++k) {
                    const double f = k / 8.0, p = corner[e], q = corner[e + 1];
                    const double u = s.u[size_t(p)] + (s.u[size_t(q)] - s.u[size_t(p)]) * f;
                    double v = s.v[size_t(p)] + (s.v[size_t(q)] - s.v[size_t(p)]) * f;
                    v = flipV ? 1 - v : v;
                    auto wrap = [](double t, int n) {
                        const int64_t i = int64_t(std::floor(t * n)) % n;
                        return i < 0 ? i + n : i;
                    };
                    const size_t at =
                        size_t(wrap(v, image.height) * image.width + wrap(u, image.width)) * 4;
                    uint32_t colour;
                    std::memcpy(&colour, &image.rgba[at], 4);
                    on += colour != background->first;
                    ++all;
                }
        });
    return {all ? double(on) / double(all) : 0,
            1 - double(background->second) / double(image.width * image.height)};
}

TEST(IqmRealModels, EdgesLieOnThePaintOfTheirTextureWithVAsStored) {
    // The texture each model's configuration gives it (iqm.cfg beside it).
    const std::vector<std::pair<std::string, std::string>> models = {
        {"iqm/guy/models/iqm/guy.iqm", "iqm/guy/models/iqm/guytex.png"},
        {"iqm/re_player/actors/player/male/RE_Player_male.iqm",
         "iqm/re_player/actors/player/diffuse.png"},
        {"iqm/re_roller/actors/roller/roller.iqm", "iqm/re_roller/actors/roller/roller_uv4.png"},
        {"iqm/re_turret/actors/turret/sphere/turret_sphere.iqm",
         "iqm/re_turret/actors/turret/sphere/diffuse.png"},
    };
    int checked = 0;
    for (const auto& [modelPath, texturePath] : models) {
        if (!std::filesystem::exists(kCorpus / modelPath) ||
            !std::filesystem::exists(kCorpus / texturePath))
            continue;
        SCOPED_TRACE(modelPath);
        const Result<Model> read = Read(FileBytes(kCorpus / modelPath), modelPath);
        ASSERT_TRUE(read.ok()) << read.error().Message();
        TextureImage image;
        const Status loaded = LoadTexture((kCorpus / texturePath).make_preferred().string(), image);
        ASSERT_TRUE(loaded.ok()) << loaded.error().Message();
        // Lines placed at random land on paint as often as the texture is
        // painted; the layout's own must miss it at most 30% as often.
        const Coverage stored = EdgesOnPaint(read.value(), image, false);
        const Coverage flipped = EdgesOnPaint(read.value(), image, true);
        const double floor = stored.painted + 0.7 * (1 - stored.painted);
        EXPECT_GE(stored.onPaint, floor) << "painted share " << stored.painted;
        EXPECT_LT(flipped.onPaint, floor) << "painted share " << stored.painted;
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "no textured IQM models in " << kCorpus;
}

} // namespace

// --- Skeletons ----------------------------------------------------------------

namespace {

// An arm of two joints: the root at the origin, the elbow one unit along x.
// Vertices at 0, 1 and 2 along x follow the root, the elbow and the elbow;
// one at 1.5 is a fifth the root's and four fifths the elbow's. Frame 0 is
// the bind pose; in frame 1 the elbow turns a quarter about z.
IqmDesc Arm() {
    IqmDesc d;
    d.meshes = {{"arm", "skin", 0, 4, 0, 2}};
    d.positions = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {1.5f, 0, 0}};
    d.normals = {{0, 0, 1}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1}};
    d.texCoords = {{0, 0}, {0.5f, 0}, {1, 0}, {0.75f, 1}};
    d.triangles = {{0, 1, 3}, {1, 2, 3}};
    d.joints = {{"root", -1, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1}},
                {"elbow", 0, {1, 0, 0, 0, 0, 0, 1, 1, 1, 1}}};
    const float h = std::sqrt(0.5f);
    d.framePoses = {{d.joints[0].pose, d.joints[1].pose},
                    {d.joints[0].pose, {1, 0, 0, 0, 0, h, h, 1, 1, 1}}};
    d.frames = 2;
    d.anims = 1;
    d.blendIndices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}};
    d.blendWeights = {{255, 0, 0, 0}, {255, 0, 0, 0}, {255, 0, 0, 0}, {51, 204, 0, 0}};
    return d;
}

void ExpectNear(const Point3& got, const Point3& want, const char* what) {
    for (size_t c = 0; c < 3; ++c)
        EXPECT_NEAR(got[c], want[c], 2e-4) << what << " [" << c << "]";
}

} // namespace

// Each frame's vertices are carried by their joints, by weight; between two
// frames the joints' matrices are blended as the IQM sample blends them, so
// a quarter turn halfway is a lerp of the two matrices, not a slerp.
TEST(IqmSkeleton, FramesMoveTheVerticesByTheirJointsAndBlendTheirMatrices) {
    const Result<Model> read = Read(BuildIqm(Arm()).bytes);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    EXPECT_TRUE(m.notes.empty()) << m.notes.front();
    ASSERT_EQ(m.FrameCount(), 2);
    const SurfacePose bind = m.Pose(0, 0);
    ASSERT_EQ(bind.positions.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        ExpectNear(bind.positions[i], m.surfaces[0].positions[i], "frame 0 is the bind pose");
        ExpectNear(bind.normals[i], m.surfaces[0].normals[i], "and so are its normals");
    }
    const SurfacePose bent = m.Pose(0, 1);
    ExpectNear(bent.positions[0], {0, 0, 0}, "the root's vertex");
    ExpectNear(bent.positions[1], {1, 0, 0}, "the elbow's own place");
    ExpectNear(bent.positions[2], {1, 1, 0}, "the hand, turned about the elbow");
    ExpectNear(bent.normals[2], {0, 1, 0}, "the hand's normal, turned with it");
    ExpectNear(bent.positions[3], {1.1f, 0.4f, 0}, "a fifth at rest, four fifths turned");
    ExpectNear(m.Pose(0, 7).positions[2], {1, 1, 0}, "a frame past the last is the last");

    ASSERT_TRUE(m.geometry);
    const SurfacePose half = m.geometry->PoseBetween(0, 0, 1, 0.5f);
    ASSERT_EQ(half.positions.size(), 4u);
    ExpectNear(half.positions[2], {1.5f, 0.5f, 0}, "halfway, the matrices lerped");
    // The normal is made unit again after its matrix is blended.
    ExpectNear(half.normals[2], {std::sqrt(0.5f), std::sqrt(0.5f), 0}, "halfway's normal");
}

// A skeleton that cannot move the vertices leaves the bind pose and a
// note; the layout still loads.
TEST(IqmSkeleton, AFlawedSkeletonKeepsTheBindPoseAndSaysWhy) {
    const std::vector<std::pair<std::function<void(IqmDesc&)>, const char*>> flaws = {
        {[](IqmDesc& d) { d.blendIndices[2][0] = 9; }, "weighted to joint 9"},
        {[](IqmDesc& d) { d.joints[0].parent = 1; }, "does not come before it"},
    };
    for (const auto& [spoil, said] : flaws) {
        IqmDesc d = Arm();
        spoil(d);
        const Result<Model> read = Read(BuildIqm(d).bytes);
        ASSERT_TRUE(read.ok()) << read.error().Message();
        EXPECT_EQ(read.value().FrameCount(), 1) << said;
        ASSERT_EQ(read.value().notes.size(), 1u) << said;
        EXPECT_NE(read.value().notes[0].find(said), std::string::npos) << read.value().notes[0];
    }
    // Poses that read more numbers than each frame holds.
    IqmFile file = BuildIqm(Arm());
    SetIqmWord(file.bytes, kIqmFrameChannels, 1);
    const Result<Model> read = Read(file.bytes);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    EXPECT_EQ(read.value().FrameCount(), 1);
    ASSERT_FALSE(read.value().notes.empty());
    EXPECT_NE(read.value().notes.back().find("numbers a frame"), std::string::npos)
        << read.value().notes.back();
}

// The shared animated model: each frame's vertices span the box its file
// gives that frame (the exporter's own account of where the joints put
// them), and its frames differ.
TEST(IqmSkeleton, TheSharedModelsFramesSpanTheBoxesItsFileGivesThem) {
    const std::filesystem::path path = kCorpus / "iqm/guy/models/iqm/guy.iqm";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no " << path;
    const std::vector<uint8_t> bytes = FileBytes(path);
    const Result<Model> read = Read(bytes, path.string());
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    const uint32_t frames = IqmU32(bytes, 16 + 4 * 19), boundsAt = IqmU32(bytes, 16 + 4 * 22);
    ASSERT_GT(frames, 1u);
    ASSERT_NE(boundsAt, 0u) << "the file gives no boxes";
    ASSERT_EQ(m.FrameCount(), int(frames));
    std::vector<SurfacePose> first;
    for (size_t s = 0; s < m.surfaces.size(); ++s)
        first.push_back(m.Pose(s, 0));
    double moved = 0, worst = 0;
    for (uint32_t f = 0; f < frames; ++f) {
        float box[6];
        std::memcpy(box, bytes.data() + boundsAt + 32 * f, sizeof box);
        Point3 low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
        for (size_t s = 0; s < m.surfaces.size(); ++s) {
            const SurfacePose pose = m.Pose(s, int(f));
            ASSERT_EQ(pose.positions.size(), m.surfaces[s].u.size());
            for (size_t i = 0; i < pose.positions.size(); ++i)
                for (size_t c = 0; c < 3; ++c) {
                    low[c] = std::min(low[c], pose.positions[i][c]);
                    high[c] = std::max(high[c], pose.positions[i][c]);
                    moved = std::max<double>(
                        moved, std::fabs(pose.positions[i][c] - first[s].positions[i][c]));
                }
        }
        for (size_t c = 0; c < 3; ++c)
            worst = std::max({worst, std::fabs(double(low[c]) - box[c]),
                              std::fabs(double(high[c]) - box[3 + c])});
    }
    EXPECT_LT(worst, 0.01) << "the frames' extents, against the file's boxes";
    EXPECT_GT(moved, 0.1) << "some frame should differ from the first";
    std::cout << "largest gap to the file's boxes " << worst << ", largest move " << moved << "\n";
}
