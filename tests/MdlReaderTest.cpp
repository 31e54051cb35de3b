// The MDL reader against the game's rules: real models decoded here on their
// own and compared, the template's lines measured on the skins' pixels, and
// hand-made files that are cut, inflated or contradict themselves.
#include "model/MdlReader.h"
#include "image/IndexedSkin.h"
#include "model/ModelFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// ---- A hand-made file ----

struct StVert {
    int32_t onseam = 0, s = 0, t = 0;
};
struct Tri {
    int32_t front = 1, a = 0, b = 0, c = 0;
};
struct PoseDesc {
    std::string name;
    std::vector<uint8_t> vertices; // 4 bytes a vertex: x, y, z, normal index
};
struct FrameDesc {
    bool group = false;
    std::vector<PoseDesc> poses; // one for a simple frame
};
struct SkinDesc {
    std::vector<std::vector<uint8_t>> pictures; // one for a single skin
    bool group = false;
};
struct MdlDesc {
    int32_t version = 6;
    float scale[3] = {0.5f, 0.25f, 2.0f}, origin[3] = {-10, 4, 0.5f};
    int32_t width = 8, height = 4;
    std::vector<SkinDesc> skins;
    std::vector<StVert> stverts;
    std::vector<Tri> triangles;
    std::vector<FrameDesc> frames;
};

// Where each part starts, and the word its refusal must name.
struct Part {
    size_t at;
    std::string name;
};

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        out.push_back(uint8_t(value >> (8 * k)));
}
void PutI(std::vector<uint8_t>& out, int32_t value) {
    Put32(out, uint32_t(value));
}
void PutF(std::vector<uint8_t>& out, float value) {
    uint32_t raw;
    std::memcpy(&raw, &value, 4);
    Put32(out, raw);
}

std::vector<uint8_t> BuildMdl(const MdlDesc& d, std::vector<Part>* parts = nullptr) {
    std::vector<uint8_t> out{'I', 'D', 'P', 'O'};
    auto part = [&](const std::string& name) {
        if (parts)
            parts->push_back({out.size(), name});
    };
    if (parts)
        parts->push_back({4, "header"});
    PutI(out, d.version);
    for (float f : d.scale)
        PutF(out, f);
    for (float f : d.origin)
        PutF(out, f);
    PutF(out, 30);              // radius
    for (int k = 0; k < 3; ++k) // eye position
        PutF(out, 0);
    PutI(out, int32_t(d.skins.size()));
    PutI(out, d.width);
    PutI(out, d.height);
    PutI(out, int32_t(d.stverts.size()));
    PutI(out, int32_t(d.triangles.size()));
    PutI(out, int32_t(d.frames.size()));
    PutI(out, 0); // synctype
    PutI(out, 0); // flags
    PutF(out, 1); // size
    for (size_t i = 0; i < d.skins.size(); ++i) {
        part("skin " + std::to_string(i));
        PutI(out, d.skins[i].group ? 1 : 0);
        if (d.skins[i].group) {
            PutI(out, int32_t(d.skins[i].pictures.size()));
            for (size_t k = 0; k < d.skins[i].pictures.size(); ++k)
                PutF(out, 0.1f);
        }
        for (const auto& picture : d.skins[i].pictures)
            out.insert(out.end(), picture.begin(), picture.end());
    }
    if (!d.stverts.empty())
        part("texture coordinates");
    for (const StVert& v : d.stverts) {
        PutI(out, v.onseam);
        PutI(out, v.s);
        PutI(out, v.t);
    }
    if (!d.triangles.empty())
        part("triangles");
    for (const Tri& t : d.triangles) {
        PutI(out, t.front);
        PutI(out, t.a);
        PutI(out, t.b);
        PutI(out, t.c);
    }
    for (size_t i = 0; i < d.frames.size(); ++i) {
        part("frame " + std::to_string(i));
        const FrameDesc& f = d.frames[i];
        PutI(out, f.group ? 1 : 0);
        if (f.group) {
            PutI(out, int32_t(f.poses.size()));
            Put32(out, 0);
            Put32(out, 0xFFFFFFFF);
            for (size_t k = 0; k < f.poses.size(); ++k)
                PutF(out, 0.1f);
        }
        for (const PoseDesc& p : f.poses) {
            Put32(out, 0);
            Put32(out, 0xFFFFFFFF);
            std::string name = p.name.substr(0, 16);
            name.resize(16, '\0'); // a full 16-byte name has no zero
            out.insert(out.end(), name.begin(), name.end());
            out.insert(out.end(), p.vertices.begin(), p.vertices.end());
        }
    }
    return out;
}

Result<Model> Read(const std::vector<uint8_t>& bytes, const std::string& path = "hand.mdl") {
    return ReadMdl({path, Bytes::Copy(bytes.data(), bytes.size())});
}

// A model with every kind of part: a single skin and a group of two, three
// vertices (two on the seam), a front and a back triangle, a simple frame and
// a group of two poses.
MdlDesc EveryPart() {
    MdlDesc d;
    const std::vector<uint8_t> picture(32, 7);
    d.skins = {{{picture}, false},
               {{std::vector<uint8_t>(32, 1), std::vector<uint8_t>(32, 2)}, true}};
    d.stverts = {{0x20, 0, 0}, {0, 3, 1}, {0x20, 0, 3}};
    d.triangles = {{1, 0, 1, 2}, {0, 0, 2, 1}};
    auto pose = [](const char* name, uint8_t base) {
        return PoseDesc{name, {base, 1, 2, 0, uint8_t(base + 3), 4, 5, 5, 6, 7, 8, 161}};
    };
    d.frames = {{false, {pose("stand", 10)}}, {true, {pose("run1", 20), pose("run2", 30)}}};
    return d;
}

// ---- The file decoded here on its own, as the game reads it ----

struct Decoded {
    float scale[3], origin[3], radius;
    int32_t skins, width, height, vertices, triangles, frames;
    int pictures = 0;
    std::vector<StVert> stverts;
    std::vector<Tri> tris;
    struct Pose {
        uint8_t min[3], max[3];
        std::string name;
        size_t at; // first vertex
    };
    std::vector<Pose> poses;
};

int32_t I32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = v << 8 | b.at(at + size_t(k));
    return int32_t(v);
}
float F32(const std::vector<uint8_t>& b, size_t at) {
    const uint32_t raw = uint32_t(I32(b, at));
    float f;
    std::memcpy(&f, &raw, 4);
    return f;
}

Decoded Decode(const std::vector<uint8_t>& b) {
    Decoded d{};
    for (int k = 0; k < 3; ++k) {
        d.scale[k] = F32(b, 8 + 4 * size_t(k));
        d.origin[k] = F32(b, 20 + 4 * size_t(k));
    }
    d.radius = F32(b, 32);
    d.skins = I32(b, 48);
    d.width = I32(b, 52);
    d.height = I32(b, 56);
    d.vertices = I32(b, 60);
    d.triangles = I32(b, 64);
    d.frames = I32(b, 68);
    size_t p = 84;
    const size_t picture = size_t(d.width) * size_t(d.height);
    for (int i = 0; i < d.skins; ++i) {
        const int32_t type = I32(b, p);
        p += 4;
        const int32_t n = type == 0 ? 1 : I32(b, p);
        if (type != 0)
            p += 4 + 4 * size_t(n);
        p += size_t(n) * picture;
        d.pictures += n;
    }
    for (int i = 0; i < d.vertices; ++i, p += 12)
        d.stverts.push_back({I32(b, p), I32(b, p + 4), I32(b, p + 8)});
    for (int i = 0; i < d.triangles; ++i, p += 16)
        d.tris.push_back({I32(b, p), I32(b, p + 4), I32(b, p + 8), I32(b, p + 12)});
    for (int i = 0; i < d.frames; ++i) {
        const int32_t type = I32(b, p);
        p += 4;
        int32_t n = 1;
        if (type != 0) {
            n = I32(b, p);
            p += 12 + 4 * size_t(n);
        }
        for (int k = 0; k < n; ++k) {
            Decoded::Pose pose{};
            std::memcpy(pose.min, &b.at(p), 3);
            std::memcpy(pose.max, &b.at(p + 4), 3);
            pose.name.assign(reinterpret_cast<const char*>(&b.at(p + 8)), 16);
            pose.name.resize(pose.name.find('\0') == std::string::npos ? 16 : pose.name.find('\0'));
            pose.at = p + 24;
            d.poses.push_back(pose);
            p += 24 + 4 * size_t(d.vertices);
        }
    }
    EXPECT_LE(p, b.size());
    return d;
}

// Vertices a back-facing triangle uses on the seam: each needs a copy.
int SeamCopies(const Decoded& d) {
    std::vector<bool> copied(size_t(d.vertices), false);
    int n = 0;
    for (const Tri& t : d.tris)
        for (int32_t c : {t.a, t.b, t.c})
            if (t.front == 0 && d.stverts[size_t(c)].onseam != 0 && !copied[size_t(c)]) {
                copied[size_t(c)] = true;
                ++n;
            }
    return n;
}

// ---- Lines on the skin ----

// The pixels the game takes for background: the region of the top-left
// pixel's colour joined to it, which it floods before uploading the skin.
std::vector<bool> Background(const EmbeddedSkin& skin) {
    std::vector<bool> bg(skin.indices.size(), false);
    const uint8_t colour = skin.indices[0];
    std::vector<std::pair<int, int>> todo{{0, 0}};
    bg[0] = true;
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            const int nx = x + dx, ny = y + dy;
            const size_t i = size_t(ny) * size_t(skin.width) + size_t(nx);
            if (nx >= 0 && ny >= 0 && nx < skin.width && ny < skin.height && !bg[i] &&
                skin.indices[i] == colour) {
                bg[i] = true;
                todo.push_back({nx, ny});
            }
        }
    }
    return bg;
}

// The share of triangle edges drawn on the skin (u, v scaled to its pixels)
// whose every point lies on or next to a painted pixel.
double EdgesOnPaint(const Surface& s, const std::vector<double>& u, const std::vector<double>& v,
                    const EmbeddedSkin& skin) {
    const std::vector<bool> bg = Background(skin);
    auto painted = [&](double x, double y) {
        const int px = int(std::floor(x)), py = int(std::floor(y));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = px + dx, ny = py + dy;
                if (nx >= 0 && ny >= 0 && nx < skin.width && ny < skin.height &&
                    !bg[size_t(ny) * size_t(skin.width) + size_t(nx)])
                    return true;
            }
        return false;
    };
    int edges = 0, good = 0;
    for (const Triangle& t : s.triangles) {
        const int32_t corners[3] = {t.a, t.b, t.c};
        for (int k = 0; k < 3; ++k) {
            const size_t a = size_t(corners[k]), b = size_t(corners[(k + 1) % 3]);
            const double x0 = u[a] * skin.width, y0 = v[a] * skin.height;
            const double x1 = u[b] * skin.width, y1 = v[b] * skin.height;
            const int steps = 1 + int(4 * std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)));
            bool ok = true;
            for (int i = 0; i <= steps && ok; ++i)
                ok = painted(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
            ++edges;
            good += ok;
        }
    }
    return edges ? double(good) / edges : 0;
}

std::vector<double> Mirrored(std::vector<double> values) {
    for (double& x : values)
        x = 1 - x;
    return values;
}

// Every edge drawn must lie on paint; a wrong mapping loses this many.
constexpr double kOnPaintFloor = 0.97;

// ---- The real models ----

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const char* const kRealModels[] = {"armor", "b_g_key", "grenade", "player"};

std::string RealPath(const std::string& name) {
    return std::string(GW_MODEL_CORPUS) + "/mdl/" + name + "/progs/" + name + ".mdl";
}

// What the corpus's STATS.md says of one model.
struct Stats {
    int skins = -1, width = -1, height = -1, vertices = -1, triangles = -1, frames = -1;
    std::string first, last;
};
Stats StatsOf(const std::string& name) {
    const std::vector<uint8_t> bytes = FileBytes(std::string(GW_MODEL_CORPUS) + "/STATS.md");
    const std::string text(bytes.begin(), bytes.end());
    Stats s;
    const auto at = text.find("### mdl/" + name + "\n");
    if (at == std::string::npos)
        return s;
    const std::string block = text.substr(at, text.find("###", at + 4) - at);
    std::smatch m;
    if (std::regex_search(block, m, std::regex(R"(skins: (\d+).*skin size (\d+)x(\d+))"))) {
        s.skins = std::stoi(m[1]);
        s.width = std::stoi(m[2]);
        s.height = std::stoi(m[3]);
    }
    if (std::regex_search(block, m,
                          std::regex(R"(vertices \(skin verts\): (\d+), triangles: (\d+), )"
                                     R"(frames: (\d+).*names: (\S+) / (\S+))"))) {
        s.vertices = std::stoi(m[1]);
        s.triangles = std::stoi(m[2]);
        s.frames = std::stoi(m[3]);
        s.first = m[4];
        s.last = m[5];
    }
    return s;
}

class RealMdl : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kRealModels)
            if (FileBytes(RealPath(name)).empty())
                GTEST_SKIP() << "the real MDL models are not in " << GW_MODEL_CORPUS;
    }
};

} // namespace

TEST_F(RealMdl, CountsAgreeWithTheCorpusAndTheHeader) {
    for (const char* name : kRealModels) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = FileBytes(RealPath(name));
        const Decoded d = Decode(bytes);
        const Stats stats = StatsOf(name);
        const Result<Model> read = Read(bytes, RealPath(name));
        ASSERT_TRUE(read.ok()) << read.error().Message();
        const Model& m = read.value();
        ASSERT_EQ(m.SurfaceCount(), 1);
        const Surface& s = m.surfaces[0];
        EXPECT_EQ(s.name, name);

        EXPECT_EQ(int(m.skins.size()), stats.skins);
        EXPECT_EQ(int(m.skins.size()), d.pictures);
        for (const EmbeddedSkin& skin : m.skins) {
            EXPECT_EQ(skin.width, stats.width);
            EXPECT_EQ(skin.height, stats.height);
            EXPECT_EQ(skin.indices.size(), size_t(d.width) * size_t(d.height));
        }
        EXPECT_EQ(d.vertices, stats.vertices);
        EXPECT_EQ(s.u.size(), size_t(d.vertices + SeamCopies(d)));
        EXPECT_EQ(s.triangles.size(), size_t(stats.triangles));
        EXPECT_EQ(s.triangles.size(), size_t(d.triangles));
        EXPECT_EQ(m.FrameCount(), stats.frames);
        EXPECT_EQ(m.FrameCount(), int(d.poses.size()));
        ASSERT_EQ(m.frameNames.size(), d.poses.size());
        EXPECT_EQ(m.frameNames.front(), stats.first);
        EXPECT_EQ(m.frameNames.back(), stats.last);
        for (size_t f = 0; f < d.poses.size(); ++f)
            EXPECT_EQ(m.frameNames[f], d.poses[f].name);
        EXPECT_EQ(s.positions.size(), s.u.size());
    }
}

// Each vertex lies inside the box its frame records for itself (packed the
// same way), within the model's bounding radius, with a unit normal.
TEST_F(RealMdl, EveryFramePlacesItsVerticesInsideItsOwnBox) {
    for (const char* name : kRealModels) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = FileBytes(RealPath(name));
        const Decoded d = Decode(bytes);
        const Result<Model> read = Read(bytes);
        ASSERT_TRUE(read.ok()) << read.error().Message();
        const Model& m = read.value();
        int outside = 0, beyondRadius = 0, notUnit = 0;
        for (int f = 0; f < m.FrameCount(); ++f) {
            const SurfacePose pose = m.Pose(0, f);
            ASSERT_EQ(pose.positions.size(), m.surfaces[0].u.size());
            const Decoded::Pose& box = d.poses[size_t(f)];
            for (size_t i = 0; i < pose.positions.size(); ++i) {
                double length = 0, radius = 0;
                for (int k = 0; k < 3; ++k) {
                    const double lo = box.min[k] * d.scale[k] + d.origin[k];
                    const double hi = box.max[k] * d.scale[k] + d.origin[k];
                    const double x = pose.positions[i][size_t(k)];
                    outside += x < lo - 1e-3 || x > hi + 1e-3;
                    length += pose.normals[i][size_t(k)] * pose.normals[i][size_t(k)];
                    radius += x * x;
                }
                notUnit += std::fabs(length - 1) > 1e-4;
                beyondRadius += std::sqrt(radius) > d.radius * 1.001 + 1e-3;
            }
        }
        EXPECT_EQ(outside, 0);
        EXPECT_EQ(beyondRadius, 0);
        EXPECT_EQ(notUnit, 0);
        // The first frame is the surface's own.
        EXPECT_EQ(m.surfaces[0].positions, m.Pose(0, 0).positions);
    }
}

// The lines of the template lie on the islands painted on every skin; on a
// skin with background around its islands, a layout mirrored either way
// leaves it.
TEST_F(RealMdl, TemplateLinesLieOnThePaintedSkin) {
    int telling = 0;
    for (const char* name : kRealModels) {
        SCOPED_TRACE(name);
        const Result<Model> read = Read(FileBytes(RealPath(name)));
        ASSERT_TRUE(read.ok()) << read.error().Message();
        const Surface& s = read.value().surfaces[0];
        for (const EmbeddedSkin& skin : read.value().skins) {
            SCOPED_TRACE(skin.name);
            EXPECT_GE(EdgesOnPaint(s, s.u, s.v, skin), kOnPaintFloor);
            const std::vector<bool> bg = Background(skin);
            if (std::count(bg.begin(), bg.end(), true) < std::ptrdiff_t(bg.size() / 10))
                continue; // painted edge to edge: any layout lies on paint
            ++telling;
            EXPECT_LT(EdgesOnPaint(s, s.u, Mirrored(s.v), skin), kOnPaintFloor);
            EXPECT_LT(EdgesOnPaint(s, Mirrored(s.u), s.v, skin), kOnPaintFloor);
        }
    }
    EXPECT_GE(telling, 1) << "no skin with a background to tell a wrong layout by";
}

TEST(MdlReader, OpensThroughTheFormatTable) {
    const std::vector<uint8_t> bytes = BuildMdl(EveryPart());
    const Result<Model> read =
        ReadModel({"x/progs/thing.mdl", Bytes::Copy(bytes.data(), bytes.size())});
    ASSERT_TRUE(read.ok()) << read.error().Message();
    EXPECT_EQ(read.value().format, "MDL");
    EXPECT_EQ(read.value().surfaces[0].name, "thing");
    EXPECT_EQ(read.value().surfaces[0].shaderName, read.value().skins[0].name);
    // A file named .mdl that is not one is refused in the MDL reader's words.
    const std::vector<uint8_t> junk(100, 'x');
    const Result<Model> refused = ReadModel({"a.MDL", Bytes::Copy(junk.data(), junk.size())});
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().reason.find("\"IDPO\""), std::string::npos);
}

// A back-facing triangle draws its seam corners on the right half of the
// skin, where the back is painted; the front keeps them on the left.
TEST(MdlReader, BackOfTheSeamIsDrawnOnTheRightHalf) {
    MdlDesc d;
    d.width = 32;
    d.height = 16;
    // Vertices 0 and 2 on the seam; 1 on the front, 3 on the back.
    d.stverts = {{0x20, 0, 2}, {0, 10, 2}, {0x20, 0, 12}, {0, 26, 2}};
    d.triangles = {{1, 0, 1, 2}, {0, 0, 3, 2}};
    d.frames = {{false, {{"f", {1, 2, 3, 0, 4, 5, 6, 1, 7, 8, 9, 2, 10, 11, 12, 3}}}},
                {false, {{"g", {9, 9, 9, 0, 8, 8, 8, 1, 7, 7, 7, 2, 6, 6, 6, 3}}}}};
    // The skin painted where the game draws each triangle: the back at
    // s + width / 2 for its seam corners. Pixels whose middle lies inside.
    std::vector<uint8_t> picture(size_t(d.width * d.height), 0);
    for (const Tri& t : d.triangles) {
        double x[3], y[3];
        const int32_t c[3] = {t.a, t.b, t.c};
        for (int k = 0; k < 3; ++k) {
            const StVert& v = d.stverts[size_t(c[k])];
            x[k] = v.s + (t.front == 0 && v.onseam ? d.width / 2 : 0) + 0.5;
            y[k] = v.t + 0.5;
        }
        for (int py = 0; py < d.height; ++py)
            for (int px = 0; px < d.width; ++px) {
                auto side = [&](int i, int j) {
                    return (x[j] - x[i]) * (py + 0.5 - y[i]) - (y[j] - y[i]) * (px + 0.5 - x[i]);
                };
                const double e0 = side(0, 1), e1 = side(1, 2), e2 = side(2, 0);
                if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0))
                    picture[size_t(py) * size_t(d.width) + size_t(px)] = 5;
            }
    }
    d.skins = {{{picture}, false}};
    const Result<Model> read = Read(BuildMdl(d));
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    const Surface& s = m.surfaces[0];
    ASSERT_EQ(s.u.size(), 6u); // the two seam vertices the back uses, copied
    ASSERT_EQ(s.triangles.size(), 2u);
    const Triangle front = s.triangles[0], back = s.triangles[1];
    for (int32_t c : {front.a, front.b, front.c})
        EXPECT_LT(s.u[size_t(c)], 0.5);
    for (int32_t c : {back.a, back.c}) { // the seam corners
        EXPECT_GE(s.u[size_t(c)], 0.5);
        EXPECT_NE(c, front.a);
        EXPECT_NE(c, front.c);
    }
    EXPECT_EQ(back.b, 3);
    // A copy stands where its vertex does, in every frame.
    for (int f = 0; f < m.FrameCount(); ++f) {
        const SurfacePose pose = m.Pose(0, f);
        EXPECT_EQ(pose.positions[size_t(back.a)], pose.positions[size_t(front.a)]);
        EXPECT_EQ(pose.positions[size_t(back.c)], pose.positions[size_t(front.c)]);
        EXPECT_EQ(pose.normals[size_t(back.a)], pose.normals[size_t(front.a)]);
    }
    const EmbeddedSkin& skin = m.skins[0];
    EXPECT_GE(EdgesOnPaint(s, s.u, s.v, skin), kOnPaintFloor);
    // Without the shift (each copy back where its vertex is) or upside down,
    // the back's lines cross the bare middle.
    std::vector<double> unshifted = s.u;
    unshifted[size_t(back.a)] = s.u[size_t(front.a)];
    unshifted[size_t(back.c)] = s.u[size_t(front.c)];
    EXPECT_LT(EdgesOnPaint(s, unshifted, s.v, skin), kOnPaintFloor);
    EXPECT_LT(EdgesOnPaint(s, s.u, Mirrored(s.v), skin), kOnPaintFloor);
}

TEST(MdlReader, GroupsOfPicturesAndPosesAreFlattenedInOrder) {
    const MdlDesc d = EveryPart();
    const Result<Model> read = Read(BuildMdl(d));
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    ASSERT_EQ(m.skins.size(), 3u);
    EXPECT_EQ(m.skins[0].name, "skin 0");
    EXPECT_EQ(m.skins[1].name, "skin 1, picture 1 of 2");
    EXPECT_EQ(m.skins[2].name, "skin 1, picture 2 of 2");
    EXPECT_EQ(m.skins[1].indices, d.skins[1].pictures[0]);
    EXPECT_EQ(m.skins[2].indices, d.skins[1].pictures[1]);
    EXPECT_EQ(m.frameNames, (std::vector<std::string>{"stand", "run1 (1 of 2)", "run2 (2 of 2)"}));
    ASSERT_EQ(m.FrameCount(), 3);
    // Positions as the game scales them, pose after pose.
    const std::vector<PoseDesc> poses = {d.frames[0].poses[0], d.frames[1].poses[0],
                                         d.frames[1].poses[1]};
    const std::array<Point3, kQuakeNormalCount>& normals = QuakeNormals();
    for (int f = 0; f < 3; ++f) {
        const SurfacePose pose = m.Pose(0, f);
        const std::vector<uint8_t>& raw = poses[size_t(f)].vertices;
        for (size_t i = 0; i < 3; ++i) {
            for (size_t k = 0; k < 3; ++k)
                EXPECT_FLOAT_EQ(pose.positions[i][k], raw[i * 4 + k] * d.scale[k] + d.origin[k]);
            EXPECT_EQ(pose.normals[i], normals[raw[i * 4 + 3]]);
        }
    }
    // Texel middles: s = 3 of 8, t = 1 of 4.
    EXPECT_DOUBLE_EQ(m.surfaces[0].u[1], 3.5 / 8);
    EXPECT_DOUBLE_EQ(m.surfaces[0].v[1], 1.5 / 4);
}

// The table's directions are unit vectors in opposite pairs, none twice: a
// mistyped digit breaks one of the three.
TEST(MdlReader, NormalTableIsASymmetricSetOfDirections) {
    const auto& table = QuakeNormals();
    double closest = 2;
    for (size_t i = 0; i < table.size(); ++i) {
        const Point3 n = table[i];
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-5) << i;
        double opposite = 2;
        for (size_t j = 0; j < table.size(); ++j) {
            auto dist = [&](float sign) {
                return double(std::hypot(n[0] - sign * table[j][0], n[1] - sign * table[j][1],
                                         n[2] - sign * table[j][2]));
            };
            opposite = std::min(opposite, dist(-1));
            if (j != i)
                closest = std::min(closest, dist(1));
        }
        EXPECT_LT(opposite, 1e-5) << i;
    }
    EXPECT_GT(closest, 0.1);
}

// Cut anywhere, the file is refused, and the reason names the part cut.
TEST(MdlReaderHostile, CutAtEveryByteNamesThePart) {
    std::vector<Part> parts;
    const std::vector<uint8_t> whole = BuildMdl(EveryPart(), &parts);
    ASSERT_TRUE(Read(whole).ok());
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const Result<Model> read = Read({whole.begin(), whole.begin() + std::ptrdiff_t(cut)});
        ASSERT_FALSE(read.ok()) << cut;
        std::string part = "IDPO";
        for (const Part& p : parts)
            if (cut >= p.at)
                part = p.name;
        const std::string& reason = read.error().reason;
        EXPECT_NE(reason.find(part), std::string::npos) << cut << ": " << reason;
        EXPECT_EQ(read.error().path, "hand.mdl");
        EXPECT_TRUE(std::islower(static_cast<unsigned char>(reason[0])) && reason.back() != '.')
            << reason;
    }
}

// Counts and sizes the bytes cannot hold, or the game could not draw, are
// refused before anything is made of them.
TEST(MdlReaderHostile, ImpossibleCountsAreRefusedNamingThePart) {
    const std::vector<uint8_t> good = BuildMdl(EveryPart());
    auto with = [&](size_t at, int32_t value) {
        std::vector<uint8_t> b = good;
        for (int k = 0; k < 4; ++k)
            b[at + size_t(k)] = uint8_t(uint32_t(value) >> (8 * k));
        return b;
    };
    const size_t group = 84 + 4 + 32 + 4;               // skin 1's picture count
    const size_t frames = group + 4 + 8 + 64 + 36 + 32; // frame 0's type
    const size_t poses = frames + 4 + 24 + 12 + 4;      // frame 1's pose count
    ASSERT_EQ(I32(good, group), 2);
    ASSERT_EQ(I32(good, poses), 2);
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
        {with(4, 7), "version 7"},
        {with(48, 1 << 30), "1073741824 skins"},
        {with(48, -1), "-1 skins"},
        {with(52, 0), "a size of 0 x 4 pixels"},
        {with(56, -4), "a size of 8 x -4 pixels"},
        {with(52, 8193), "at most 8192 pixels a side"},
        {with(60, INT32_MAX), "2147483647 vertices; Gridwright holds at most"},
        {with(60, 1000), "texture coordinates of its 1000 vertices"},
        {with(64, -2), "-2 triangles"},
        {with(64, 1 << 22), "4194304 triangles; Gridwright holds at most"},
        {with(64, 100), "list of its 100 triangles"},
        {with(68, 1 << 20), "1048576 frames; Gridwright holds at most"},
        {with(68, 9), "frame 2 is cut short"},
        {with(group, 0), "skin 1 is a group of 0 pictures"},
        {with(group, -3), "skin 1 is a group of -3 pictures"},
        {with(group, 1 << 28), "skin 1 is a group of 268435456 pictures, but the"},
        {with(poses, 0), "frame 1 is a group of 0 poses"},
        {with(poses, 1 << 26), "frame 1 is a group of 67108864 poses, but the"},
        {with(frames - 32 + 16 + 8, 3), "triangle 1 uses vertex 3, but the model has 3"},
        {with(8, 0x7F800000), "finite"},
        {with(8, 0x7F000000), "finite"},  // scale * 255 overflows
        {with(20, 0x7FC00000), "finite"}, // origin not a number
    };
    for (const auto& [bytes, words] : cases) {
        const Result<Model> read = Read(bytes);
        ASSERT_FALSE(read.ok()) << words;
        EXPECT_NE(read.error().reason.find(words), std::string::npos)
            << words << " / " << read.error().reason;
    }
}

TEST(MdlReaderHostile, MorePosesThanFramesHeldIsRefused) {
    MdlDesc d;
    d.skins = {{{std::vector<uint8_t>(32, 0)}, false}};
    FrameDesc many{true, std::vector<PoseDesc>(size_t(kMaxModelFrames) + 1, PoseDesc{"p", {}})};
    d.frames = {many};
    const Result<Model> read = Read(BuildMdl(d));
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error().reason.find("poses in all"), std::string::npos) << read.error().reason;
    d.frames[0].poses.resize(size_t(kMaxModelFrames));
    EXPECT_TRUE(Read(BuildMdl(d)).ok());
}

TEST(IndexedSkin, ShippedPaletteIsTheOneInRes) {
    const std::vector<uint8_t> file =
        FileBytes(std::string(GW_SOURCE_DIR) + "/res/palette/palette.lmp");
    std::string reason;
    const auto palette = ReadPalette(file, &reason);
    ASSERT_TRUE(palette.has_value()) << reason;
    EXPECT_EQ(*palette, ShippedPalette());
    for (size_t size : {0u, 767u, 769u}) {
        const std::vector<uint8_t> wrong(size, 1);
        EXPECT_FALSE(ReadPalette(wrong, &reason).has_value());
        EXPECT_NE(reason.find(std::to_string(size) + " bytes"), std::string::npos) << reason;
    }
}

// Every pixel takes its index's colour and stays opaque, 255 included (the
// game uploads model skins without alpha); a skin whose pixels disagree with
// its size paints nothing.
TEST(IndexedSkin, PaintsEveryIndexOpaque) {
    std::array<uint8_t, kPaletteBytes> palette{};
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = uint8_t(i * 7 + 3);
    const EmbeddedSkin skin{"skin 0", 3, 2, {0, 255, 1, 254, 128, 7}, {}};
    const TextureImage image = PaintIndexed(skin, palette);
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    for (size_t p = 0; p < 6; ++p) {
        for (size_t c = 0; c < 3; ++c)
            EXPECT_EQ(image.rgba[p * 4 + c], palette[skin.indices[p] * 3 + c]) << p;
        EXPECT_EQ(image.rgba[p * 4 + 3], 255) << p;
    }
    EXPECT_EQ(PaintIndexed({"short", 3, 2, {1, 2, 3}, {}}, palette).width, 0);
    EXPECT_EQ(PaintIndexed({"none", 0, 0, {}, {}}, palette).width, 0);
}
