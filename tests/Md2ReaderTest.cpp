// The MD2 reader on models written here byte by byte (every hostile header
// refused with a reason naming the part) and on the real models of the
// corpus: counts against the corpus's own notes, coordinates against the
// file's GL commands, and the drawn edges against the painted skin.
#include "model/Md2Reader.h"
#include "image/TextureImage.h"
#include "model/ModelFormats.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

namespace {

// A small MD2, laid out as the game's exporter does: header, skins, texture
// coordinates, triangles, frames, GL commands.
struct Md2Layout {
    int32_t version = 8, skinWidth = 64, skinHeight = 32, xyz = 3;
    std::vector<std::string> skins = {"models/box/skin.pcx"};
    std::vector<std::array<int16_t, 2>> st = {{0, 0}, {63, 0}, {0, 31}};
    std::vector<std::array<int16_t, 6>> triangles = {{0, 1, 2, 0, 1, 2}};
    struct Frame {
        std::array<float, 3> scale{1, 1, 1}, translate{0, 0, 0};
        std::string name = "stand01";
        std::vector<std::array<uint8_t, 4>> vertices = {
            {0, 0, 0, 5}, {10, 0, 0, 52}, {0, 20, 0, 84}};
    };
    std::vector<Frame> frames = {Frame{}};
};

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = uint8_t(v >> (8 * i));
}
void Add16(std::vector<uint8_t>& out, int16_t v) {
    out.push_back(uint8_t(uint16_t(v)));
    out.push_back(uint8_t(uint16_t(v) >> 8));
}
void AddFloat(std::vector<uint8_t>& out, float f) {
    uint32_t raw;
    std::memcpy(&raw, &f, 4);
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(raw >> (8 * i)));
}

// Header word indices, as dmdl_t orders them.
enum Word {
    kVersion = 1,
    kSkinW,
    kSkinH,
    kFrameSize,
    kSkins,
    kXyz,
    kSt,
    kTris,
    kGl,
    kFrames,
    kSkinsAt,
    kStAt,
    kTrisAt,
    kFramesAt,
    kGlAt,
    kEnd
};

std::vector<uint8_t> Build(const Md2Layout& m) {
    std::vector<uint8_t> out(68, 0);
    std::memcpy(out.data(), "IDP2", 4);
    auto word = [&](int i, int64_t v) { Put32(out, size_t(i) * 4, uint32_t(v)); };
    word(kVersion, m.version);
    word(kSkinW, m.skinWidth);
    word(kSkinH, m.skinHeight);
    word(kFrameSize, 40 + 4 * m.xyz);
    word(kSkins, int64_t(m.skins.size()));
    word(kXyz, m.xyz);
    word(kSt, int64_t(m.st.size()));
    word(kTris, int64_t(m.triangles.size()));
    word(kFrames, int64_t(m.frames.size()));
    word(kSkinsAt, int64_t(out.size()));
    for (const std::string& s : m.skins) {
        std::vector<uint8_t> name(64, 0);
        std::memcpy(name.data(), s.data(), std::min<size_t>(s.size(), 64));
        out.insert(out.end(), name.begin(), name.end());
    }
    word(kStAt, int64_t(out.size()));
    for (const auto& st : m.st) {
        Add16(out, st[0]);
        Add16(out, st[1]);
    }
    word(kTrisAt, int64_t(out.size()));
    for (const auto& t : m.triangles)
        for (const int16_t i : t)
            Add16(out, i);
    word(kFramesAt, int64_t(out.size()));
    for (const Md2Layout::Frame& f : m.frames) {
        for (const float s : f.scale)
            AddFloat(out, s);
        for (const float t : f.translate)
            AddFloat(out, t);
        std::vector<uint8_t> name(16, 0);
        std::memcpy(name.data(), f.name.data(), std::min<size_t>(f.name.size(), 16));
        out.insert(out.end(), name.begin(), name.end());
        for (int i = 0; i < m.xyz; ++i) {
            const auto v = size_t(i) < f.vertices.size() ? f.vertices[size_t(i)]
                                                         : std::array<uint8_t, 4>{0, 0, 0, 0};
            out.insert(out.end(), v.begin(), v.end());
        }
    }
    word(kGlAt, int64_t(out.size()));
    word(kGl, 1);
    out.insert(out.end(), 4, 0); // one command word: the end
    word(kEnd, int64_t(out.size()));
    return out;
}

Result<Model> Read(const std::vector<uint8_t>& bytes, const std::string& path = "box/tris.md2") {
    return ReadMd2({path, Bytes::Copy(bytes.data(), bytes.size())});
}

std::string Reason(const std::vector<uint8_t>& bytes) {
    const Result<Model> read = Read(bytes);
    return read.ok() ? "(loaded)" : read.error().reason;
}

TEST(Md2Reader, DecodesAHandMadeModel) {
    Md2Layout layout;
    layout.skins.push_back("models/box/red.pcx");
    Md2Layout::Frame second;
    second.scale = {0.5f, 2, 1};
    second.translate = {-4, 1, 100};
    second.name = "run1";
    second.vertices = {{2, 3, 4, 52}, {4, 3, 4, 52}, {2, 5, 255, 52}};
    layout.frames.push_back(second);
    // A second triangle sharing positions 1 and 2 but not their coordinates
    // at 2: a seam, so one vertex more.
    layout.st.push_back({40, 20});
    layout.triangles.push_back({2, 1, 0, 3, 1, 0});
    const Result<Model> read = Read(Build(layout));
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& model = read.value();
    ASSERT_EQ(model.surfaces.size(), 1u);
    const Surface& s = model.surfaces[0];
    EXPECT_EQ(s.name, "tris");
    EXPECT_EQ(s.shaderName, "models/box/skin.pcx");
    EXPECT_EQ(model.skinNames,
              (std::vector<std::string>{"models/box/skin.pcx", "models/box/red.pcx"}));
    EXPECT_EQ(model.frameNames, (std::vector<std::string>{"stand01", "run1"}));
    // Three pairs from the first triangle, then (2, 3) is new; (1, 1) and
    // (0, 0) are met again.
    ASSERT_EQ(s.u.size(), 4u);
    ASSERT_EQ(s.triangles.size(), 2u);
    EXPECT_EQ(s.triangles[1].a, 3);
    EXPECT_EQ(s.triangles[1].b, 1);
    EXPECT_EQ(s.triangles[1].c, 0);
    // Texel centres of a 64 x 32 skin, v down from the top as t is.
    EXPECT_NEAR(s.u[1], 63.5 / 64, 1e-6);
    EXPECT_NEAR(s.v[2], 31.5 / 32, 1e-6);
    EXPECT_NEAR(s.u[3], 40.5 / 64, 1e-6);
    EXPECT_NEAR(s.v[3], 20.5 / 32, 1e-6);
    // Positions are byte * scale + translate; normals the game's table (its
    // entries 5, 52 and 84 are +z, +x and -z).
    ASSERT_EQ(model.FrameCount(), 2);
    const SurfacePose last = model.Pose(0, 1);
    ASSERT_EQ(last.positions.size(), 4u);
    EXPECT_EQ(last.positions[3], (Point3{-3, 11, 355}));
    EXPECT_EQ(last.normals[0], (Point3{1, 0, 0}));
    EXPECT_EQ(s.positions[1], (Point3{10, 0, 0}));
    EXPECT_EQ(s.normals[0], (Point3{0, 0, 1}));
    EXPECT_EQ(s.normals[2], (Point3{0, 0, -1}));
    // Picked by its magic from the format table, whatever the name.
    const std::vector<uint8_t> bytes = Build(layout);
    const Result<Model> any = ReadModel({"x.bin", Bytes::Copy(bytes.data(), bytes.size())});
    ASSERT_TRUE(any.ok());
    EXPECT_EQ(any.value().format, "MD2");
    // No skin named: no shader, and a model of no name still names its surface.
    layout.skins.clear();
    const Result<Model> bare = Read(Build(layout), "/models/.md2");
    ASSERT_TRUE(bare.ok());
    EXPECT_TRUE(bare.value().surfaces[0].shaderName.empty());
    EXPECT_FALSE(bare.value().surfaces[0].name.empty());
}

// Each hostile header is refused, and the reason names what is wrong.
TEST(Md2Reader, RefusesHostileHeadersNamingThePart) {
    const std::vector<uint8_t> good = Build(Md2Layout{});
    ASSERT_TRUE(Read(good).ok());
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> spoil;
        const char* reason;
    };
    auto set = [](int word, int64_t v) {
        return [word, v](std::vector<uint8_t>& b) { Put32(b, size_t(word) * 4, uint32_t(v)); };
    };
    const std::vector<Case> cases = {
        {"magic", [](std::vector<uint8_t>& b) { b[3] = '3'; }, "IDP2"},
        {"short header", [](std::vector<uint8_t>& b) { b.resize(40); }, "header"},
        {"version", set(kVersion, 7), "version 7"},
        {"zero width", set(kSkinW, 0), "skin width of 0"},
        {"negative height", set(kSkinH, -5), "skin height of -5"},
        {"huge width", set(kSkinW, kMaxTextureSide + 1), "skin width"},
        {"small frames", set(kFrameSize, 44), "frames are 44 bytes"},
        {"negative skins", set(kSkins, -1), "-1 skins"},
        {"no triangles", set(kTris, 0), "no triangles"},
        {"no frames", set(kFrames, 0), "no frames"},
        {"vertices past the limit", set(kXyz, kMaxMeshVertices + 1), "vertices; Gridwright"},
        {"triangles past the limit", set(kTris, kMaxMeshTriangles + 1), "triangles; Gridwright"},
        {"frames past the limit", set(kFrames, kMaxModelFrames + 1), "frames; Gridwright"},
        {"skins out of the file", set(kSkins, 1000), "skin names are out of bounds"},
        {"coordinates out of the file", set(kStAt, 1 << 30), "texture coordinates are out of"},
        {"triangles out of the file", set(kTrisAt, -8), "triangles are out of bounds"},
        {"frames out of the file", set(kFrames, 9), "frames are out of bounds"},
        {"huge frames", set(kFrameSize, INT32_MAX), "frames are out of bounds"},
        {"GL commands out of the file", set(kGl, 1 << 28), "GL commands are out of bounds"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.spoil(bytes);
        EXPECT_NE(Reason(bytes).find(c.reason), std::string::npos)
            << c.what << ": " << Reason(bytes);
    }
    // A triangle naming a vertex or a coordinate that is not there (the game
    // would read past its lists) is refused by number.
    Md2Layout layout;
    layout.triangles.push_back({0, 1, 2, 0, 1, 2});
    layout.triangles.push_back({0, 3, 2, 0, 1, 2});
    EXPECT_EQ(Reason(Build(layout)), "triangle 2 names vertex 3 of 3");
    layout.triangles.back() = {0, 1, 2, 0, -1, 2};
    EXPECT_EQ(Reason(Build(layout)), "triangle 2 names texture coordinate -1 of 3");
    // Every reason names the file, through the one error type.
    const Result<Model> read = Read(Build(layout));
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().path, "box/tris.md2");
}

// Frames times vertices is what is held decoded: a small file claiming a
// great many of both is refused before they are decoded.
TEST(Md2Reader, RefusesMoreDecodedVerticesThanItHolds) {
    Md2Layout layout;
    layout.xyz = 1;
    layout.triangles.clear();
    layout.st.assign(2000, {0, 0});
    for (int16_t i = 0; i < 2000; i += 2)
        layout.triangles.push_back({0, 0, 0, i, int16_t(i + 1), i});
    layout.frames.assign(kMaxModelVertices / 2000 + 1, Md2Layout::Frame{});
    for (auto& f : layout.frames)
        f.vertices.resize(1);
    EXPECT_NE(Reason(Build(layout)).find("vertices Gridwright holds"), std::string::npos)
        << Reason(Build(layout));
    // Each list within its limit, but more distinct pairs than a surface holds.
    layout.xyz = 150;
    layout.frames.assign(1, Md2Layout::Frame{});
    layout.st.assign(30000, {0, 0});
    layout.triangles.clear();
    for (int16_t x = 0; x < 150; ++x)
        for (int16_t t = 0; t + 2 < 30000; t += 3)
            layout.triangles.push_back({x, x, x, t, int16_t(t + 1), int16_t(t + 2)});
    EXPECT_NE(Reason(Build(layout))
                  .find("at most " + std::to_string(kMaxMeshVertices) + " vertices in a surface"),
              std::string::npos)
        << Reason(Build(layout));
}

// ---- The real models ----

std::filesystem::path CorpusDir() {
    return std::filesystem::path(GW_MODEL_CORPUS) / "md2";
}

std::vector<std::filesystem::path> RealModels() {
    std::vector<std::filesystem::path> out;
    std::error_code error;
    if (!std::filesystem::is_directory(CorpusDir(), error))
        return out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(CorpusDir(), error))
        if (entry.path().extension() == ".md2")
            out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int32_t Word32(const std::vector<uint8_t>& b, size_t at) {
    return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                   uint32_t(b[at + 3]) << 24);
}
float Float32(const std::vector<uint8_t>& b, size_t at) {
    const uint32_t raw = uint32_t(Word32(b, at));
    float f;
    std::memcpy(&f, &raw, 4);
    return f;
}

// What the corpus's notes say of a model: "vertices: 126, texcoords: 112, ...".
struct Noted {
    int vertices = -1, texcoords = -1, triangles = -1, glCommands = -1, frames = -1;
    int skinWidth = -1, skinHeight = -1, skins = -1;
    std::string firstFrame;
};

Noted NotesOf(const std::string& name) {
    std::ifstream in(std::filesystem::path(GW_MODEL_CORPUS) / "STATS.md");
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    Noted n;
    const auto start = all.find("### md2/" + name + "\n");
    if (start == std::string::npos)
        return n;
    const std::string section = all.substr(start, all.find("###", start + 4) - start);
    std::smatch m;
    if (std::regex_search(section, m,
                          std::regex(R"(vertices: (\d+), texcoords: (\d+), triangles: (\d+), GL )"
                                     R"(commands: (\d+), frames: (\d+) \(first/last: (\S+))"))) {
        n.vertices = std::stoi(m[1]);
        n.texcoords = std::stoi(m[2]);
        n.triangles = std::stoi(m[3]);
        n.glCommands = std::stoi(m[4]);
        n.frames = std::stoi(m[5]);
        n.firstFrame = m[6];
    }
    if (std::regex_search(
            section, m, std::regex(R"(skin size (\d+)x(\d+); skin names stored in file: (\d+))"))) {
        n.skinWidth = std::stoi(m[1]);
        n.skinHeight = std::stoi(m[2]);
        n.skins = std::stoi(m[3]);
    }
    return n;
}

std::string ModelName(const std::filesystem::path& path) {
    return std::filesystem::relative(path, CorpusDir()).begin()->string();
}

TEST(Md2RealModels, CountsAgreeWithTheNotesAndTheHeader) {
    const auto models = RealModels();
    if (models.empty())
        GTEST_SKIP() << "no MD2 models in " << CorpusDir();
    for (const auto& path : models) {
        SCOPED_TRACE(path.string());
        const std::vector<uint8_t> bytes = FileBytes(path);
        const Result<Model> read = LoadModelFile(path.string());
        ASSERT_TRUE(read.ok()) << read.error().Message();
        const Model& model = read.value();
        const Noted noted = NotesOf(ModelName(path));
        ASSERT_GT(noted.triangles, 0) << "no notes for " << ModelName(path);
        EXPECT_EQ(model.format, "MD2");
        ASSERT_EQ(model.surfaces.size(), 1u);
        const Surface& s = model.surfaces[0];
        EXPECT_EQ(int(s.triangles.size()), noted.triangles);
        EXPECT_EQ(int(s.triangles.size()), Word32(bytes, 4 * kTris));
        EXPECT_EQ(model.FrameCount(), noted.frames);
        ASSERT_FALSE(model.frameNames.empty());
        EXPECT_EQ(model.frameNames.front(), noted.firstFrame);
        EXPECT_EQ(int(model.skinNames.size()), noted.skins);
        EXPECT_EQ(Word32(bytes, 4 * kSkinW), noted.skinWidth);
        EXPECT_EQ(Word32(bytes, 4 * kXyz), noted.vertices);
        EXPECT_EQ(Word32(bytes, 4 * kSt), noted.texcoords);
        // A vertex per pair in use: at least as many as either list uses
        // apart, at most three a triangle.
        EXPECT_GE(int(s.u.size()), std::max(noted.vertices, noted.texcoords) * 9 / 10);
        EXPECT_LE(s.u.size(), s.triangles.size() * 3);
        EXPECT_EQ(s.positions.size(), s.u.size());
        for (const Point3& n : s.normals)
            EXPECT_NEAR(std::hypot(n[0], n[1], n[2]), 1.0, 1e-5);
    }
}

// The file's GL commands hold each corner's coordinates as floats, as the
// exporter had them; the texel list holds them rounded down to a texel. The
// centre of that texel lies within half a texel of the float, where its
// corner (s / width) is up to a whole texel off.
TEST(Md2RealModels, CoordinatesLieWithinHalfATexelOfTheGlCommands) {
    const auto models = RealModels();
    if (models.empty())
        GTEST_SKIP() << "no MD2 models in " << CorpusDir();
    for (const auto& path : models) {
        SCOPED_TRACE(path.string());
        const std::vector<uint8_t> b = FileBytes(path);
        const Result<Model> read = LoadModelFile(path.string());
        ASSERT_TRUE(read.ok());
        const Surface& s = read.value().surfaces[0];
        const double w = Word32(b, 4 * kSkinW), h = Word32(b, 4 * kSkinH);
        // Frame 0's position of each stored vertex, decoded here.
        const size_t frame = size_t(Word32(b, 4 * kFramesAt));
        auto position = [&](int32_t i) {
            Point3 p;
            for (size_t a = 0; a < 3; ++a)
                p[a] = float(b[frame + 40 + size_t(i) * 4 + a]) * Float32(b, frame + 4 * a) +
                       Float32(b, frame + 12 + 4 * a);
            return p;
        };
        size_t at = size_t(Word32(b, 4 * kGlAt)), corners = 0, near = 0, nearCorner = 0;
        double worst = 0;
        for (int32_t count; (count = Word32(b, at)) != 0;) {
            at += 4;
            for (int32_t k = 0; k < std::abs(count); ++k, at += 12, ++corners) {
                const double gs = Float32(b, at) * w, gt = Float32(b, at + 4) * h;
                const Point3 p = position(Word32(b, at + 8));
                double best = 1e9, bestCorner = 1e9;
                for (size_t i = 0; i < s.u.size(); ++i)
                    if (s.positions[i] == p) {
                        best = std::min(
                            best, std::max(std::fabs(s.u[i] * w - gs), std::fabs(s.v[i] * h - gt)));
                        const double cs = s.u[i] * w - 0.5, ct = s.v[i] * h - 0.5;
                        bestCorner =
                            std::min(bestCorner, std::max(std::fabs(cs - gs), std::fabs(ct - gt)));
                    }
                worst = std::max(worst, best);
                near += best <= 0.5 + 1e-3;
                nearCorner += bestCorner <= 0.5 + 1e-3;
            }
        }
        ASSERT_GT(corners, s.triangles.size());
        EXPECT_LE(worst, 0.5 + 1e-3);
        EXPECT_EQ(near, corners);
        // The texel's corner would miss by more than half a texel on most.
        EXPECT_LT(double(nearCorner), 0.75 * double(corners));
    }
}

// Where the layout's edges cross the skin, the skin is painted: the share of
// edge samples on painted pixels, for a mapping of (u, v) onto the picture.
double PaintedShare(const Surface& s, const TextureImage& skin,
                    const std::function<std::array<double, 2>(double, double)>& map) {
    auto painted = [&](double x, double y) {
        const int px = std::clamp(int(std::floor(x * skin.width)), 0, skin.width - 1);
        const int py = std::clamp(int(std::floor(y * skin.height)), 0, skin.height - 1);
        const uint8_t* p = &skin.rgba[(size_t(py) * size_t(skin.width) + size_t(px)) * 4];
        return std::max({p[0], p[1], p[2]}) >= 24;
    };
    size_t samples = 0, on = 0;
    ForEachTriangle(s, [&](int a, int b, int c) {
        const int corner[4] = {a, b, c, a};
        for (int e = 0; e < 3; ++e) {
            const auto p = map(s.u[size_t(corner[e])], s.v[size_t(corner[e])]);
            const auto q = map(s.u[size_t(corner[e + 1])], s.v[size_t(corner[e + 1])]);
            const double length =
                std::hypot((q[0] - p[0]) * skin.width, (q[1] - p[1]) * skin.height);
            const int steps = std::max(1, int(std::ceil(length)));
            for (int k = 0; k <= steps; ++k) {
                const double t = double(k) / steps;
                on += painted(p[0] + (q[0] - p[0]) * t, p[1] + (q[1] - p[1]) * t);
                ++samples;
            }
        }
    });
    return samples ? double(on) / double(samples) : 0;
}

TEST(Md2RealModels, EdgesLieOnThePaintedSkin) {
    const auto models = RealModels();
    if (models.empty())
        GTEST_SKIP() << "no MD2 models in " << CorpusDir();
    for (const auto& path : models) {
        SCOPED_TRACE(path.string());
        const Result<Model> read = LoadModelFile(path.string());
        ASSERT_TRUE(read.ok());
        // The skin beside the model (these name none in their header).
        std::filesystem::path skinPath;
        for (const char* name : {"skin.pcx", "skin.png", "skin.jpg", "skin.tga"})
            if (std::filesystem::exists(path.parent_path() / name))
                skinPath = path.parent_path() / name;
        ASSERT_FALSE(skinPath.empty()) << "no skin beside the model";
        TextureImage skin;
        const Status loaded = LoadTexture(skinPath.string(), skin);
        ASSERT_TRUE(loaded.ok()) << loaded.error().Message();
        const Surface& s = read.value().surfaces[0];
        const double right = PaintedShare(s, skin, [](double u, double v) {
            return std::array<double, 2>{u, v};
        });
        const double flipped = PaintedShare(s, skin, [](double u, double v) {
            return std::array<double, 2>{u, 1 - v};
        });
        const double halved = PaintedShare(s, skin, [](double u, double v) {
            return std::array<double, 2>{u / 2, v / 2};
        });
        const double swapped = PaintedShare(s, skin, [](double u, double v) {
            return std::array<double, 2>{v, u};
        });
        EXPECT_GE(right, 0.9);
        // A wrong mapping leaves edges off the paint far more often.
        for (const double wrong : {flipped, halved, swapped})
            EXPECT_GT(1 - wrong, 1.8 * (1 - right)) << wrong << " against " << right;
    }
}

} // namespace
