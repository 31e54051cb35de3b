#include "model/MdcReader.h"
#include "model/ModelFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

// A small MDC file written the way the game lays one out: header, frames,
// tag names, tags, then each surface's header, first shader, triangles,
// texture coordinates, base frames, compressed frames and frame numbers.
struct HandSurface {
    std::string name = "body", shader = "models/hand/body";
    std::vector<std::array<float, 2>> st;
    std::vector<std::array<int32_t, 3>> triangles;
    int baseFrames = 1, compFrames = 0;
    std::vector<std::array<int16_t, 3>> base; // baseFrames x vertices, in 1/64 units
    std::vector<uint8_t> normals;             // per base vertex: longitude, latitude
    std::vector<std::array<uint8_t, 4>> comp; // compFrames x vertices
    std::vector<int16_t> frameBase, frameComp;
};

struct HandModel {
    int32_t version = 2;
    std::vector<std::string> frameNames{"idle"};
    std::vector<std::string> tagNames;
    std::vector<std::array<int16_t, 6>> tags; // frames x tags
    std::vector<HandSurface> surfaces;
    std::map<std::string, size_t> starts; // where each part begins, for cutting
};

void Put32(std::vector<uint8_t>& b, size_t at, int32_t v) {
    for (int k = 0; k < 4; ++k)
        b[at + size_t(k)] = uint8_t(uint32_t(v) >> (8 * k));
}
void Push16(std::vector<uint8_t>& b, int16_t v) {
    b.push_back(uint8_t(v & 0xFF));
    b.push_back(uint8_t(uint16_t(v) >> 8));
}
void Push32(std::vector<uint8_t>& b, int32_t v) {
    b.resize(b.size() + 4);
    Put32(b, b.size() - 4, v);
}
void PushName(std::vector<uint8_t>& b, const std::string& name, size_t size) {
    const size_t at = b.size();
    b.resize(at + size, 0);
    std::memcpy(&b[at], name.data(), std::min(name.size(), size));
}

std::vector<uint8_t> Write(HandModel& m) {
    std::vector<uint8_t> b(112, 0);
    std::memcpy(b.data(), "IDPC", 4);
    Put32(b, 4, m.version);
    Put32(b, 76, int32_t(m.frameNames.size()));
    Put32(b, 80, int32_t(m.tagNames.size()));
    Put32(b, 84, int32_t(m.surfaces.size()));
    m.starts["frames"] = b.size();
    Put32(b, 92, int32_t(b.size()));
    for (const std::string& name : m.frameNames) {
        b.resize(b.size() + 40, 0);
        PushName(b, name, 16);
    }
    m.starts["tag names"] = b.size();
    Put32(b, 96, int32_t(b.size()));
    for (const std::string& name : m.tagNames)
        PushName(b, name, 64);
    m.starts["tags"] = b.size();
    Put32(b, 100, int32_t(b.size()));
    for (const auto& tag : m.tags)
        for (int16_t v : tag)
            Push16(b, v);
    Put32(b, 104, int32_t(b.size()));
    for (size_t i = 0; i < m.surfaces.size(); ++i) {
        const HandSurface& s = m.surfaces[i];
        const size_t at = b.size();
        const std::string label = "surface " + std::to_string(i) + " ";
        m.starts[label + "header"] = at;
        b.resize(at + 124, 0);
        std::memcpy(&b[at + 4], s.name.data(), std::min<size_t>(s.name.size(), 64));
        auto field = [&](size_t offset, size_t value) { Put32(b, at + offset, int32_t(value)); };
        field(72, size_t(s.compFrames));
        field(76, size_t(s.baseFrames));
        field(80, 1);
        field(84, s.st.size());
        field(88, s.triangles.size());
        m.starts[label + "first shader"] = b.size();
        field(96, b.size() - at);
        PushName(b, s.shader, 64);
        Push32(b, 0);
        m.starts[label + "triangles"] = b.size();
        field(92, b.size() - at);
        for (const auto& t : s.triangles)
            for (int32_t c : t)
                Push32(b, c);
        m.starts[label + "texture coordinates"] = b.size();
        field(100, b.size() - at);
        for (const auto& st : s.st)
            for (float f : st) {
                int32_t raw;
                std::memcpy(&raw, &f, 4);
                Push32(b, raw);
            }
        m.starts[label + "base frames"] = b.size();
        field(104, b.size() - at);
        for (size_t v = 0; v < s.base.size(); ++v) {
            for (int16_t x : s.base[v])
                Push16(b, x);
            b.push_back(v < s.normals.size() / 2 ? s.normals[2 * v] : 0);
            b.push_back(v < s.normals.size() / 2 ? s.normals[2 * v + 1] : 0);
        }
        m.starts[label + "compressed frames"] = b.size();
        field(108, b.size() - at);
        for (const auto& c : s.comp)
            b.insert(b.end(), c.begin(), c.end());
        m.starts[label + "base frame numbers"] = b.size();
        field(112, b.size() - at);
        for (int16_t f : s.frameBase)
            Push16(b, f);
        m.starts[label + "compressed frame numbers"] = b.size();
        field(116, b.size() - at);
        for (int16_t f : s.frameComp)
            Push16(b, f);
        field(120, b.size() - at);
    }
    Put32(b, 108, int32_t(b.size()));
    return b;
}

Result<Model> Read(const std::vector<uint8_t>& bytes) {
    return ReadMdc({"hand.mdc", Bytes::Copy(bytes.data(), bytes.size())});
}

// Three vertices over three frames: frame 0 is base frame 0 as stored,
// frame 1 is base frame 0 moved by compressed frame 0, frame 2 is base
// frame 1 moved by compressed frame 1. One tag turns between frames.
HandModel Animated() {
    HandModel m;
    m.frameNames = {"stand", "step", "leap"};
    m.tagNames = {"tag_head"};
    // Origin (1, 0, -1); yaw 90 degrees, then pitch 90, then roll 90.
    m.tags = {{64, 0, -64, 0, 8175, 0}, {0, 0, 0, 8175, 0, 0}, {0, 32, 0, 0, 0, 8175}};
    HandSurface s;
    s.st = {{0.25f, 0.5f}, {1.5f, -0.25f}, {0.0f, 1.0f}};
    s.triangles = {{0, 1, 2}, {0, 2, 5}}; // the second reaches past the vertices
    s.baseFrames = 2;
    s.compFrames = 2;
    s.base = {{64, -128, 32},  {0, 0, 0},   {-640, 6400, 1}, // base frame 0
              {128, 128, 128}, {-64, 0, 0}, {0, 0, -32}};    // base frame 1
    // Longitude 64 with latitude 0 points along +x; longitude 0 along +z.
    s.normals = {64, 0, 0, 0, 64, 0, 0, 0, 0, 0, 0, 0};
    s.comp = {{147, 87, 127, 252},  {127, 127, 127, 0},  {0, 255, 128, 255}, // compressed 0
              {127, 127, 137, 140}, {107, 127, 127, 33}, {127, 147, 127, 200}};
    s.frameBase = {0, 0, 1};
    s.frameComp = {-1, 0, 1};
    m.surfaces = {s};
    return m;
}

void ExpectNear(const Point3& got, const Point3& want, float tolerance, const std::string& what) {
    for (size_t k = 0; k < 3; ++k)
        EXPECT_NEAR(got[k], want[k], tolerance) << what << " axis " << k;
}

// Frames are their base frame plus the compressed offset, 1/20 unit a step
// from 127; positions and offsets worked out by hand.
TEST(MdcReader, FramesAreBasePlusCompressedOffsets) {
    HandModel m = Animated();
    const Result<Model> read = Read(Write(m));
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& model = read.value();
    ASSERT_EQ(model.SurfaceCount(), 1);
    EXPECT_EQ(model.FrameCount(), 3);
    EXPECT_EQ(model.frameNames, (std::vector<std::string>{"stand", "step", "leap"}));
    const Surface& s = model.surfaces[0];
    EXPECT_EQ(s.name, "body");
    EXPECT_EQ(s.shaderName, "models/hand/body");
    EXPECT_EQ(s.u, (std::vector<double>{0.25, 1.5, 0.0}));
    EXPECT_EQ(s.v, (std::vector<double>{0.5, -0.25, 1.0}));
    ASSERT_EQ(s.triangles.size(), 1u);
    EXPECT_EQ(s.triangles[0].c, 2);

    // Frame 0: base frame 0 alone, normals from latitude and longitude.
    ASSERT_EQ(s.positions.size(), 3u);
    ExpectNear(s.positions[0], {1, -2, 0.5f}, 1e-6f, "frame 0 vertex 0");
    ExpectNear(s.positions[2], {-10, 100, 1.0f / 64}, 1e-6f, "frame 0 vertex 2");
    ExpectNear(s.normals[0], {1, 0, 0}, 1e-6f, "frame 0 normal 0");
    ExpectNear(s.normals[1], {0, 0, 1}, 1e-6f, "frame 0 normal 1");
    const SurfacePose first = model.Pose(0, 0);
    EXPECT_EQ(first.positions, s.positions);

    // Frame 1: (1, -2, 0.5) + (20, -40, 0) / 20; (0, 0, 0) + nothing;
    // (-10, 100, 1/64) + (-127, 128, 1) / 20.
    const SurfacePose step = model.Pose(0, 1);
    ASSERT_EQ(step.positions.size(), 3u);
    ExpectNear(step.positions[0], {2, -4, 0.5f}, 1e-5f, "frame 1 vertex 0");
    ExpectNear(step.positions[1], {0, 0, 0}, 1e-5f, "frame 1 vertex 1");
    ExpectNear(step.positions[2], {-16.35f, 106.4f, 0.015625f + 0.05f}, 1e-4f, "frame 1 vertex 2");
    // Normals of a compressed frame come from its index into the game's 256
    // directions (entries copied from the game's own table).
    ExpectNear(step.normals[0], {0.19509f, 0, 0.980785f}, 1e-5f, "frame 1 normal 0");
    ExpectNear(step.normals[1], {1, 0, 0}, 1e-5f, "frame 1 normal 1");
    ExpectNear(step.normals[2], {0, -0.19509f, 0.980785f}, 1e-5f, "frame 1 normal 2");

    // Frame 2: base frame 1 (2, 2, 2), (-1, 0, 0), (0, 0, -0.5) plus
    // (0, 0, 0.5), (-1, 0, 0), (0, 1, 0).
    const SurfacePose leap = model.Pose(0, 2);
    ExpectNear(leap.positions[0], {2, 2, 2.5f}, 1e-5f, "frame 2 vertex 0");
    ExpectNear(leap.positions[1], {-2, 0, 0}, 1e-5f, "frame 2 vertex 1");
    ExpectNear(leap.positions[2], {0, 1, -0.5f}, 1e-5f, "frame 2 vertex 2");
    ExpectNear(leap.normals[0], {0.19509f, 0, -0.980785f}, 1e-5f, "frame 2 normal 0");
    ExpectNear(leap.normals[1], {0.956195f, 0.218245f, -0.19509f}, 1e-5f, "frame 2 normal 1");
    ExpectNear(leap.normals[2], {0.256938f, 0.790775f, 0.55557f}, 1e-5f, "frame 2 normal 2");
    // Frames past the last show the last.
    EXPECT_EQ(model.Pose(0, 99).positions, leap.positions);
}

// Tags: origin in 1/64 units, angles of 360/32700 degrees turned into
// forward, left and up as the game does.
TEST(MdcReader, TagsAreDecodedPerFrame) {
    HandModel m = Animated();
    const Result<Model> read = Read(Write(m));
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const std::vector<TagPose> yaw = read.value().Tags(0);
    ASSERT_EQ(yaw.size(), 1u);
    EXPECT_EQ(yaw[0].name, "tag_head");
    ExpectNear(yaw[0].origin, {1, 0, -1}, 1e-6f, "origin");
    ExpectNear(yaw[0].axes[0], {0, 1, 0}, 1e-5f, "yaw forward");
    ExpectNear(yaw[0].axes[1], {-1, 0, 0}, 1e-5f, "yaw left");
    ExpectNear(yaw[0].axes[2], {0, 0, 1}, 1e-5f, "yaw up");
    const std::vector<TagPose> pitch = read.value().Tags(1);
    ExpectNear(pitch[0].axes[0], {0, 0, -1}, 1e-5f, "pitch forward");
    ExpectNear(pitch[0].axes[1], {0, 1, 0}, 1e-5f, "pitch left");
    ExpectNear(pitch[0].axes[2], {1, 0, 0}, 1e-5f, "pitch up");
    const std::vector<TagPose> roll = read.value().Tags(2);
    ExpectNear(roll[0].origin, {0, 0.5f, 0}, 1e-6f, "roll origin");
    ExpectNear(roll[0].axes[0], {1, 0, 0}, 1e-5f, "roll forward");
    ExpectNear(roll[0].axes[1], {0, 0, 1}, 1e-5f, "roll left");
    ExpectNear(roll[0].axes[2], {0, -1, 0}, 1e-5f, "roll up");
}

TEST(MdcReader, ReadByMagicAndNotTextureCoordinatesThatAreNotNumbers) {
    HandModel m = Animated();
    m.surfaces[0].st[1] = {std::nanf(""), INFINITY};
    const std::vector<uint8_t> bytes = Write(m);
    const Result<Model> read = ReadModel({"renamed.md3", Bytes::Copy(bytes.data(), bytes.size())});
    ASSERT_TRUE(read.ok()) << read.error().Message();
    EXPECT_EQ(read.value().format, "MDC");
    EXPECT_EQ(read.value().surfaces[0].u[1], 0.0);
    EXPECT_EQ(read.value().surfaces[0].v[1], 0.0);
}

void ExpectRefused(const std::vector<uint8_t>& bytes, const std::string& part,
                   const std::string& what) {
    const Result<Model> read = Read(bytes);
    ASSERT_FALSE(read.ok()) << what;
    EXPECT_EQ(read.error().path, "hand.mdc");
    const std::string& reason = read.error().reason;
    EXPECT_NE(reason.find(part), std::string::npos) << what << ": " << reason;
    ASSERT_FALSE(reason.empty());
    EXPECT_TRUE(std::islower(static_cast<unsigned char>(reason[0]))) << reason;
    EXPECT_NE(reason.back(), '.') << reason;
}

// A file cut inside any part is refused, and the reason names that part.
TEST(MdcReaderHostile, CutInsideEachPartNamesIt) {
    HandModel m = Animated();
    HandSurface second = m.surfaces[0];
    second.name = "legs";
    m.surfaces.push_back(second);
    const std::vector<uint8_t> whole = Write(m);
    ASSERT_TRUE(Read(whole).ok());
    ExpectRefused({whole.begin(), whole.begin() + 60}, "too short for a model header", "header");
    for (const auto& [part, start] : m.starts) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(start + 1));
        std::string want = part;
        if (part.rfind("surface ", 0) == 0) {
            // "surface 1 triangles" is told as "the triangles of surface 1 (\"legs\")".
            const size_t space = part.find(' ', 8);
            const std::string which = part.substr(0, space);
            want = part.substr(space + 1) == "header"
                       ? "the header of " + which
                       : "the " + part.substr(space + 1) + " of " + which;
        } else {
            want = "the " + part + " are out of bounds";
        }
        ExpectRefused(cut, want, "cut in " + part);
    }
    EXPECT_EQ(m.starts.size(), 3u + 2 * 8);
}

TEST(MdcReaderHostile, FrameNumbersOutOfRangeAreRefused) {
    struct Case {
        const char* what;
        int frame;
        int16_t base, comp;
        const char* part;
    };
    for (const Case& c :
         {Case{"base past the last", 2, 2, 1, "frame 2 of surface 0 (\"body\") names base frame 2"},
          Case{"negative base", 1, -1, 0, "names base frame -1"},
          Case{"compressed past the last", 1, 0, 2, "names compressed frame 2"},
          Case{"compressed below -1", 0, 0, -2, "names compressed frame -2"}}) {
        HandModel m = Animated();
        m.surfaces[0].frameBase[size_t(c.frame)] = c.base;
        m.surfaces[0].frameComp[size_t(c.frame)] = c.comp;
        ExpectRefused(Write(m), c.part, c.what);
    }
    // Without compressed frames the compressed numbers are not read at all.
    HandModel plain = Animated();
    plain.surfaces[0].compFrames = 0;
    plain.surfaces[0].comp.clear();
    plain.surfaces[0].frameComp.clear();
    const Result<Model> read = Read(Write(plain));
    ASSERT_TRUE(read.ok()) << read.error().Message();
    ExpectNear(read.value().Pose(0, 2).positions[0], {2, 2, 2}, 1e-6f, "base frame 1 alone");
}

TEST(MdcReaderHostile, CountsPastLimitsOrTheBytesAreRefused) {
    HandModel animated = Animated();
    const std::vector<uint8_t> good = Write(animated);
    const size_t surface = 112 + 3 * 56 + 64 + 3 * 12;
    struct Case {
        const char* what;
        size_t at;
        int32_t value;
        const char* part;
    };
    for (const Case& c : {
             Case{"version 1", 4, 1, "MDC version 1"},
             Case{"no frames", 76, 0, "it has no frames"},
             Case{"a billion frames", 76, 1 << 30, "frames; Gridwright holds at most 65536"},
             Case{"a billion tags", 80, 1 << 30, "the tag names are out of bounds"},
             Case{"negative tags", 80, -4, "negative count of tags"},
             Case{"a thousand surfaces", 84, 1000, "1000 surfaces"},
             Case{"frames elsewhere", 92, 1 << 30, "the frames are out of bounds"},
             Case{"huge vertex count", surface + 84, 1 << 30, "holds at most 4096"},
             Case{"negative vertex count", surface + 84, -1, "negative count of vertices"},
             Case{"too many triangles", surface + 88, 8193, "8193 triangles"},
             Case{"huge base frames", surface + 76, INT32_MAX, "base frames; Gridwright"},
             Case{"base frames past the bytes", surface + 76, 60000,
                  "the base frames of surface 0"},
             Case{"no base frame", surface + 76, 0, "has no base frame"},
             Case{"compressed past the bytes", surface + 72, 9000, "the compressed frames of"},
             Case{"shader far away", surface + 96, INT32_MIN, "the first shader of surface 0"},
         }) {
        std::vector<uint8_t> bytes = good;
        Put32(bytes, c.at, c.value);
        ExpectRefused(bytes, c.part, c.what);
    }
    HandModel two = Animated();
    two.surfaces.push_back(two.surfaces[0]);
    std::vector<uint8_t> bytes = Write(two);
    Put32(bytes, surface + 120, 0);
    ExpectRefused(bytes, "ends at offset 0", "a surface that does not end");
    ExpectRefused({'I', 'D', 'P', '3'}, "not an MDC model", "an MD3's magic");
}

// ---- The real model ------------------------------------------------------

const std::string kCorpus = GW_MODEL_CORPUS;

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What the corpus's notes say of each surface: name, vertices, triangles, shader.
struct Listed {
    std::string name, shader;
    int vertices = 0, triangles = 0;
};
std::vector<Listed> ListedSurfaces(const std::string& file, int& frames, int& tags) {
    std::ifstream in(kCorpus + "/STATS.md");
    std::string line;
    bool inside = false;
    std::vector<Listed> out;
    while (std::getline(in, line)) {
        if (line.find("`" + file + "`") != std::string::npos) {
            inside = true;
            continue;
        }
        if (!inside)
            continue;
        if (line.rfind("    -", 0) != 0)
            break;
        if (size_t f = line.find("frames: "); f != std::string::npos) {
            frames = std::stoi(line.substr(f + 8));
            tags = std::stoi(line.substr(line.find("tags: ") + 6));
            continue;
        }
        const size_t q = line.find("surface \"");
        if (q == std::string::npos)
            continue;
        Listed s;
        const size_t end = line.find('"', q + 9);
        s.name = line.substr(q + 9, end - q - 9);
        s.vertices = std::stoi(line.substr(line.find("verts ") + 6));
        s.triangles = std::stoi(line.substr(line.find("tris ") + 5));
        const size_t shader = line.find("['");
        s.shader = line.substr(shader + 2, line.find("']") - shader - 2);
        out.push_back(s);
    }
    return out;
}

int32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                   uint32_t(b[at + 3]) << 24);
}
float LeF(const std::vector<uint8_t>& b, size_t at) {
    const int32_t raw = Le32(b, at);
    float f;
    std::memcpy(&f, &raw, 4);
    return f;
}

TEST(MdcRealModel, SpiderMatchesItsNotesAndItsFrameBounds) {
    const std::string path = kCorpus + "/mdc/spider/spider.mdc";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << path << " is not here";
    const Result<Model> read = LoadModelFile(path);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& model = read.value();
    EXPECT_EQ(model.format, "MDC");
    int frames = -1, tags = -1;
    const std::vector<Listed> listed = ListedSurfaces("mdc/spider/spider.mdc", frames, tags);
    ASSERT_EQ(listed.size(), 19u) << "STATS.md lists the spider's surfaces";
    ASSERT_EQ(model.SurfaceCount(), int(listed.size()));
    EXPECT_EQ(model.FrameCount(), frames);
    EXPECT_EQ(int(model.Tags(0).size()), tags);
    for (size_t i = 0; i < listed.size(); ++i) {
        const Surface& s = model.surfaces[i];
        EXPECT_EQ(s.name, listed[i].name);
        EXPECT_EQ(s.shaderName, listed[i].shader) << s.name;
        EXPECT_EQ(int(s.u.size()), listed[i].vertices) << s.name;
        EXPECT_EQ(int(s.triangles.size()), listed[i].triangles) << s.name;
        EXPECT_EQ(s.positions.size(), s.u.size()) << s.name;
    }
    // The header's own numbers, read here from the bytes.
    const std::vector<uint8_t> bytes = FileBytes(path);
    ASSERT_GE(bytes.size(), 112u);
    EXPECT_EQ(Le32(bytes, 4), 2);
    EXPECT_EQ(Le32(bytes, 76), model.FrameCount());
    EXPECT_EQ(Le32(bytes, 84), model.SurfaceCount());
    const size_t framesAt = size_t(Le32(bytes, 92));
    ASSERT_EQ(model.frameNames.size(), size_t(frames));
    // Every frame's vertices lie in the bounds the frame's record gives (the
    // exporter wrote them from the same vertices), within a compressed
    // frame's rounding. The spider's compressed frames move nothing (every
    // offset is 127) but carry normals picked from the game's 256
    // directions: each lies near its base frame's latitude and longitude one.
    double leastDot = 1;
    for (int f = 0; f < model.FrameCount(); ++f) {
        const size_t record = framesAt + size_t(f) * 56;
        EXPECT_EQ(model.frameNames[size_t(f)],
                  std::string(reinterpret_cast<const char*>(&bytes[record + 40]),
                              strnlen(reinterpret_cast<const char*>(&bytes[record + 40]), 16)));
        for (size_t i = 0; i < model.surfaces.size(); ++i) {
            const SurfacePose pose = model.Pose(i, f);
            ASSERT_EQ(pose.positions.size(), model.surfaces[i].u.size());
            for (size_t v = 0; v < pose.positions.size(); ++v) {
                for (size_t k = 0; k < 3; ++k) {
                    const float low = LeF(bytes, record + 4 * k);
                    const float high = LeF(bytes, record + 12 + 4 * k);
                    ASSERT_GE(pose.positions[v][k], low - 0.2f) << "frame " << f << " " << i;
                    ASSERT_LE(pose.positions[v][k], high + 0.2f) << "frame " << f << " " << i;
                }
                const Point3& n = pose.normals[v];
                ASSERT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-4);
                const Point3& base = model.surfaces[i].normals[v];
                leastDot =
                    std::min(leastDot, double(n[0] * base[0] + n[1] * base[1] + n[2] * base[2]));
            }
        }
    }
    // The directions lie 11.25 degrees apart: the spider's are within 11 of
    // the base normal; a table laid out wrong puts some far off.
    EXPECT_GT(leastDot, std::cos(15 * 3.14159265 / 180));
}

// The same spider exported as OBJ: each surface's triangles cover the same
// texture coordinates there, OBJ's v counting up from the bottom.
TEST(MdcRealModel, SpiderTextureCoordinatesMatchItsObjExport) {
    const std::string path = kCorpus + "/mdc/spider/spider.mdc";
    const std::string objPath = kCorpus + "/obj/spider/spider.obj";
    if (!std::filesystem::exists(path) || !std::filesystem::exists(objPath))
        GTEST_SKIP() << "the spider's MDC or OBJ is not here";
    const Result<Model> read = LoadModelFile(path);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    using Corner = std::pair<long, long>;
    using Corners = std::array<Corner, 3>;
    auto key = [](double u, double v) {
        return Corner{std::lround(u * 1e3), std::lround(v * 1e3)};
    };
    auto sorted = [](Corners c) {
        std::sort(c.begin(), c.end());
        return c;
    };
    std::vector<std::pair<double, double>> vt;
    std::map<std::string, std::vector<std::array<int, 3>>> faces;
    std::ifstream in(objPath);
    std::string line, group;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "vt") {
            double u = 0, v = 0;
            words >> u >> v;
            vt.emplace_back(u, v);
        } else if (kind == "g") {
            words >> group;
        } else if (kind == "f") {
            std::array<int, 3> f{};
            std::string corner;
            for (int& index : f) {
                words >> corner;
                index = std::stoi(corner.substr(corner.find('/') + 1)) - 1;
            }
            faces[group].push_back(f);
        }
    }
    int matched = 0, matchedUnflipped = 0;
    for (const Surface& s : read.value().surfaces) {
        std::multiset<Corners> mine, theirs, theirsUnflipped;
        ForEachTriangle(s, [&](int a, int b, int c) {
            mine.insert(
                sorted({key(s.u[size_t(a)], s.v[size_t(a)]), key(s.u[size_t(b)], s.v[size_t(b)]),
                        key(s.u[size_t(c)], s.v[size_t(c)])}));
        });
        for (const auto& f : faces[s.name]) {
            Corners flipped, plain;
            for (size_t k = 0; k < 3; ++k) {
                ASSERT_LT(size_t(f[k]), vt.size());
                const auto [u, v] = vt[size_t(f[k])];
                flipped[k] = key(u, 1 - v);
                plain[k] = key(u, v);
            }
            theirs.insert(sorted(flipped));
            theirsUnflipped.insert(sorted(plain));
        }
        EXPECT_EQ(mine, theirs) << s.name;
        matched += mine == theirs;
        matchedUnflipped += mine == theirsUnflipped;
    }
    EXPECT_EQ(matched, 19);
    // The comparison tells v up from v down: most surfaces are not symmetric.
    EXPECT_LT(matchedUnflipped, 12);
}

} // namespace
