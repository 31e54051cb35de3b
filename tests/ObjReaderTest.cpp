#include "model/ObjReader.h"
#include "model/ModelFormats.h"
#include "model/QuantizeTexCoord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::string>;

// A model read from text; `files` are what lies beside it (its libraries).
Result<Model> Read(const std::string& text, const Files& files = {},
                   const std::string& path = "hand.obj") {
    SourceBytes source{path,
                       Bytes::Copy(reinterpret_cast<const uint8_t*>(text.data()), text.size())};
    source.companions = [files](const std::string& written, int64_t limit) -> Result<SourceBytes> {
        const auto found = files.find(written);
        if (found == files.end() || int64_t(found->second.size()) > limit)
            return Error{"Cannot open", written, "No such file or directory"};
        const std::string& bytes = found->second;
        return SourceBytes{
            written, Bytes::Copy(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())};
    };
    return ReadObj(source);
}

std::string Refusal(const std::string& text) {
    const Result<Model> read = Read(text);
    EXPECT_FALSE(read.ok()) << text;
    if (read.ok())
        return {};
    EXPECT_EQ(read.error().path, "hand.obj");
    return read.error().reason;
}

bool Noted(const Model& model, const std::string& words) {
    for (const std::string& note : model.notes)
        if (note.find(words) != std::string::npos)
            return true;
    return false;
}

std::string AllNotes(const Model& model) {
    std::string out;
    for (const std::string& note : model.notes)
        out += note + "\n";
    return out;
}

const Surface* Named(const Model& model, const std::string& name) {
    for (const Surface& s : model.surfaces)
        if (s.name == name)
            return &s;
    return nullptr;
}

// The corner position of triangle t's corner k.
Point3 At(const Surface& s, size_t t, int k) {
    const Triangle& tri = s.triangles[t];
    return s.positions[size_t(k == 0 ? tri.a : k == 1 ? tri.b : tri.c)];
}

const char* const kSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                            "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";

TEST(ObjReader, CornersIndexedFromEitherEnd) {
    // Counted back from the latest: -4 is the first of the four defined.
    const Result<Model> back = Read(std::string(kSquare) + "f -4/-4 -3/-3 -2/-2 -1/-1\n");
    const Result<Model> ahead = Read(std::string(kSquare) + "f 1/1 2/2 3/3 4/4\n");
    ASSERT_TRUE(back.ok()) << back.error().Message();
    ASSERT_TRUE(ahead.ok()) << ahead.error().Message();
    const Surface& a = back.value().surfaces.at(0);
    const Surface& b = ahead.value().surfaces.at(0);
    ASSERT_EQ(a.triangles.size(), 2u);
    for (size_t t = 0; t < 2; ++t)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(At(a, t, k), At(b, t, k));
    // A face may name vertices defined after it.
    const Result<Model> forward = Read("f 1 2 3\nv 0 0 0\nv 1 0 0\nv 0 1 0\n");
    ASSERT_TRUE(forward.ok()) << forward.error().Message();
    EXPECT_EQ(forward.value().surfaces.at(0).triangles.size(), 1u);
}

TEST(ObjReader, PolygonsAreFannedFromTheirFirstCorner) {
    const Result<Model> read = Read("v 0 0 0\nv 2 0 0\nv 3 1 0\nv 1 3 0\nv -1 1 0\nf 1 2 3 4 5\n");
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Surface& s = read.value().surfaces.at(0);
    ASSERT_EQ(s.triangles.size(), 3u);
    EXPECT_EQ(s.u.size(), 5u);
    const Point3 first{0, 0, 0};
    const Point3 corners[] = {{2, 0, 0}, {3, 1, 0}, {1, 3, 0}, {-1, 1, 0}};
    for (size_t t = 0; t < 3; ++t) {
        EXPECT_EQ(At(s, t, 0), first);
        EXPECT_EQ(At(s, t, 1), corners[t]);
        EXPECT_EQ(At(s, t, 2), corners[t + 1]);
    }
    // No vn: each corner faces the way the polygon winds (counter-clockwise
    // seen from +z).
    for (const Point3& n : s.normals) {
        EXPECT_NEAR(n[2], 1.0f, 1e-6f);
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1], 0.0f, 1e-6f);
    }
}

TEST(ObjReader, TexCoordsTurnToGrowDownwards) {
    const Result<Model> read = Read("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.25 0.1\nvt 0.75 0.9\n"
                                    "vt 1.5 -0.2 0.0\nf 1/1 2/2 3/3\n");
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Surface& s = read.value().surfaces.at(0);
    ASSERT_EQ(s.u.size(), 3u);
    const double u[] = {0.25, 0.75, 1.5}, v[] = {0.9, 0.1, 1.2};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(s.u[i], u[i], 1e-6);
        EXPECT_NEAR(s.v[i], v[i], 1e-6);
        // Six decimals at most, as every reader gives them.
        EXPECT_EQ(s.v[i], std::round(s.v[i] * 1e6) / 1e6);
    }
}

TEST(ObjReader, VerticesAreSharedOnlyWhereAllTheirIndicesAgree) {
    // Two quads on one edge; the second has its own vt on that edge (a seam).
    const Result<Model> read = Read("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\n"
                                    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 2\n"
                                    "f 1/1/1 2/2/1 3/3/1 4/4/1\nf 2/1/1 5/2/1 6/3/1 3/4/1\n"
                                    "f 1/1/1 2/2/1 3/3/1\n");
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Surface& s = read.value().surfaces.at(0);
    EXPECT_EQ(s.triangles.size(), 5u);
    EXPECT_EQ(s.u.size(), 8u); // 4 + 4: the shared edge has other vt in the second quad
    for (const Point3& n : s.normals)
        EXPECT_EQ(n, (Point3{0, 0, 1})); // vn normalised
}

TEST(ObjReader, GroupsAndMaterialsMakeSurfacesInOrderOfFirstUse) {
    const std::string text = std::string(kSquare) + "g legs left\nusemtl red\nf 1/1 2/2 3/3\n"
                                                    "usemtl blue\nf 1/1 3/3 4/4\n"
                                                    "g head\nusemtl red\nf 1/1 2/2 4/4\n"
                                                    "g legs left\nusemtl red\nf 2/2 3/3 4/4\n"
                                                    "o lamp\nf 1 2 3\n";
    const Result<Model> read = Read(text);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& model = read.value();
    ASSERT_EQ(model.surfaces.size(), 4u);
    EXPECT_EQ(model.surfaces[0].name, "legs left (red)");
    EXPECT_EQ(model.surfaces[1].name, "legs left (blue)");
    EXPECT_EQ(model.surfaces[2].name, "head");
    EXPECT_EQ(model.surfaces[3].name, "lamp");
    EXPECT_EQ(model.surfaces[0].shaderName, "red");
    EXPECT_EQ(model.surfaces[1].shaderName, "blue");
    EXPECT_EQ(model.surfaces[2].shaderName, "red");
    // The group's second visit to red joins its first surface.
    EXPECT_EQ(model.surfaces[0].triangles.size(), 2u);
    // Materials are named but no library is.
    EXPECT_TRUE(Noted(model, "no material library")) << AllNotes(model);
    const Result<Model> plain = Read("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain.value().surfaces.at(0).name, "default");
    EXPECT_EQ(plain.value().surfaces.at(0).shaderName, "");
}

TEST(ObjReader, WindowsLineEndsTabsAndContinuedLinesReadAsPlainOnes) {
    const std::string plain = "# made by hand\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                              "vt 0 0\nvt 1 0\nvt 1 1\nvn 0 0 1\ng box\ns 1\n"
                              "f 1/1/1 2/2/1 3/3/1 4/1/1\nl 1 2\n";
    const std::string twisted = "# made by hand\r\nv\t0 0 0\r\nv 1 0 0\r\nv 1 \\\r\n1 0\r\n"
                                "v 0 1 0\r\nvt 0 0\r\nvt 1 0\r\nvt 1 1\r\nvn 0 0 1\r\n"
                                "g\tbox\r\ns 1\r\nf 1/1/1 \\\n2/2/1 \\\r\n3/3/1 4/1/1\r\nl 1 2";
    const Result<Model> a = Read(plain);
    const Result<Model> b = Read(twisted);
    ASSERT_TRUE(a.ok()) << a.error().Message();
    ASSERT_TRUE(b.ok()) << b.error().Message();
    ASSERT_EQ(b.value().surfaces.size(), 1u);
    const Surface& x = a.value().surfaces[0];
    const Surface& y = b.value().surfaces[0];
    EXPECT_EQ(y.name, "box");
    EXPECT_EQ(x.positions, y.positions);
    EXPECT_EQ(x.u, y.u);
    EXPECT_EQ(x.v, y.v);
    ASSERT_EQ(y.triangles.size(), 2u);
    // A refusal after continued lines names the line the statement starts on.
    const std::string reason = Refusal("v 0 0 0\nv 1 \\\n0 0\nv 0 1 0\nf 1 2 \\\n9\n");
    EXPECT_TRUE(reason.starts_with("line 5: ")) << reason;
}

TEST(ObjReader, BrokenFilesAreRefusedSayingWhere) {
    const std::string three = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    EXPECT_EQ(Refusal(three + "f 1 2 4\n"),
              "line 4: a face names vertex 4, but the file defines 3");
    EXPECT_EQ(Refusal(three + "vt 0 0\nf 1/1 2/2 3/3\n"),
              "line 5: a face names texture coordinate 3, but the file defines 1");
    EXPECT_EQ(Refusal(three + "f 1//1 2//1 3//1\n"),
              "line 4: a face names normal 1, but the file defines 0");
    EXPECT_EQ(Refusal(three + "f 0 1 2\n"), "line 4: a face names vertex 0, but OBJ counts from 1");
    EXPECT_EQ(Refusal(three + "f -1 -2 -4\n"),
              "line 4: a face names vertex -4 (counted back from the latest), but only 3 are "
              "defined before it");
    EXPECT_TRUE(Refusal(three + "f 1 2 99999999999\n").starts_with("line 4: a face names vertex"));
    EXPECT_TRUE(
        Refusal(three + "f 1 2 -9223372036854775808\n").starts_with("line 4: a face names"));
    EXPECT_TRUE(Refusal(three + "f 1 2 99999999999999999999\n").starts_with("line 4: the face"));
    EXPECT_TRUE(Refusal(three + "f 1 2/x 3\n").starts_with("line 4: the face corner \"2/x\""));
    EXPECT_TRUE(Refusal(three + "f 1 2/1/1/1 3\n").starts_with("line 4: the face corner"));
    EXPECT_TRUE(Refusal("v 0 zero 0\n").starts_with("line 1: a vertex (v x y z) holds \"zero\""));
    EXPECT_TRUE(Refusal("v 0 0 nan\n").find("not a finite number") != std::string::npos);
    EXPECT_TRUE(Refusal("v 1e39 0 0\n").find("not a finite number") != std::string::npos);
    EXPECT_TRUE(Refusal("v 0 0\n").starts_with("line 1: a vertex (v x y z) needs more numbers"));
    EXPECT_EQ(Refusal(""), "it is empty, so it holds no model");
    EXPECT_EQ(Refusal(three + "# nothing else\n"),
              "it holds no faces (\"f\" lines), so it has no surface to show");
    EXPECT_TRUE(
        Refusal("Dear painter,\nhere is the model.\n").starts_with("it is not an OBJ model"));
    const std::string binary("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    EXPECT_TRUE(Refusal(binary).find("not text") != std::string::npos) << Refusal(binary);
    EXPECT_TRUE(Refusal(three + std::string("g a\0b\n", 6)).starts_with("line 4:"));
}

TEST(ObjReader, WhatIsReadPastIsNoted) {
    const Result<Model> read =
        Read(std::string(kSquare) + "f 1/1 2/2 3/3\nf 1 2\nf 1 3 4\nf 2/2 3 4/4\nvp 0.5\nxyz 1\n");
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& model = read.value();
    EXPECT_TRUE(Noted(model, "1 face with fewer than 3 corners was skipped")) << AllNotes(model);
    EXPECT_TRUE(Noted(model, "2 faces have corners without texture coordinates"))
        << AllNotes(model);
    EXPECT_TRUE(Noted(model, "line 14: \"xyz 1\"")) << AllNotes(model);
    const Surface& s = model.surfaces.at(0);
    EXPECT_EQ(s.triangles.size(), 3u);
    // The corners without vt sit at the layout's top left.
    size_t atOrigin = 0;
    for (size_t i = 0; i < s.u.size(); ++i)
        atOrigin += s.u[i] == 0 && s.v[i] == 0;
    // 1, 3 and 4 without vt, and 4/4, whose vt (0 1) is the top left too.
    EXPECT_EQ(atOrigin, 4u);
}

TEST(ObjReader, MaterialLibrariesGiveEachSurfaceItsPicture) {
    const Files files = {
        {"..\\mtl\\a.mtl",
         "# first\r\nnewmtl red\r\nKd 1 0 0\r\n"
         "map_Kd -s 1 1 1 -o 0.5 0.5 -clamp on -mm 0 1 -bm 2 .\\tex\\red one.png\r\n"
         "newmtl plain\nKd 1 1 1\n"},
        {"b.mtl", "newmtl red\nmap_Kd other.png\nnewmtl blue\n\tmap_Kd\t../blue.tga\n"
                  "newmtl abs\nmap_Kd C:\\art\\abs.png\n"},
    };
    const std::string text = std::string("mtllib ..\\mtl\\a.mtl b.mtl\n") + kSquare +
                             "usemtl red\nf 1/1 2/2 3/3\nusemtl blue\nf 1/1 2/2 3/3\n"
                             "usemtl plain\nf 1/1 2/2 3/3\nusemtl abs\nf 1/1 2/2 3/3\n"
                             "usemtl gold\nf 1/1 2/2 3/3\n";
    const Result<Model> read = Read(text, files);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& model = read.value();
    ASSERT_EQ(model.surfaces.size(), 5u);
    // Relative to the model: the first library that defines a name wins.
    EXPECT_EQ(model.surfaces[0].texture, "../mtl/tex/red one.png");
    EXPECT_EQ(model.surfaces[1].texture, "../blue.tga");
    EXPECT_EQ(model.surfaces[2].texture, "");
    EXPECT_EQ(model.surfaces[3].texture, "C:/art/abs.png");
    EXPECT_EQ(model.surfaces[4].texture, "");
    EXPECT_EQ(model.notes.size(), 1u) << AllNotes(model);
    EXPECT_TRUE(Noted(model, "material \"gold\" is not in its material library"))
        << AllNotes(model);
}

TEST(ObjReader, AMissingLibraryIsNotedAndTheModelsOwnNameTried) {
    const std::string text = std::string("mtllib amor.mtl\n") + kSquare + "usemtl Main\nf 1 2 3\n";
    const Result<Model> found =
        Read(text, {{"tris.mtl", "newmtl Main\nmap_Kd skin.jpg\n"}}, "models/armor/tris.obj");
    ASSERT_TRUE(found.ok()) << found.error().Message();
    EXPECT_EQ(found.value().surfaces.at(0).texture, "skin.jpg");
    EXPECT_TRUE(
        Noted(found.value(), "its material library \"amor.mtl\" is not beside it; \"tris.mtl\""))
        << AllNotes(found.value());
    const Result<Model> lost = Read(text, {}, "tris.obj");
    ASSERT_TRUE(lost.ok());
    EXPECT_TRUE(Noted(lost.value(), "nor is \"tris.mtl\"")) << AllNotes(lost.value());
    EXPECT_EQ(lost.value().surfaces.at(0).shaderName, "Main");
    // Bytes from no folder: nothing to read the library from.
    const Result<Model> nowhere =
        ReadObj({"x.obj", Bytes::Copy(reinterpret_cast<const uint8_t*>(text.data()), text.size())});
    ASSERT_TRUE(nowhere.ok());
    EXPECT_TRUE(Noted(nowhere.value(), "its materials could not be read"))
        << AllNotes(nowhere.value());
}

TEST(ObjReader, MoreSurfacesThanTheLimitAreRefused) {
    std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    for (int g = 0; g <= kMaxModelSurfaces; ++g)
        text += "g part" + std::to_string(g) + "\nf 1 2 3\n";
    const std::string reason = Refusal(text);
    EXPECT_NE(reason.find("more than " + std::to_string(kMaxModelSurfaces) + " surfaces"),
              std::string::npos)
        << reason;
    EXPECT_TRUE(reason.starts_with("line " + std::to_string(3 + 2 * (kMaxModelSurfaces + 1))))
        << reason;
}

TEST(ObjReader, ReadThroughTheFormatTableByItsName) {
    const std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    const Result<Model> read = ReadModel(
        {"Box.OBJ", Bytes::Copy(reinterpret_cast<const uint8_t*>(text.data()), text.size())});
    ASSERT_TRUE(read.ok()) << read.error().Message();
    EXPECT_EQ(read.value().format, "OBJ");
}

// The real models, each checked against what STATS.md counts in its file
// and against the first textured corner its first face names.
struct RealObj {
    fs::path file;
    size_t triangles = 0;
};

std::vector<RealObj> RealObjs(const fs::path& corpus) {
    std::ifstream stats(corpus / "STATS.md");
    std::vector<RealObj> out;
    const std::regex file(R"(^- `(obj/[^`]+\.obj)`)");
    const std::regex counts(R"(\(= (\d+) triangles after fan\))");
    std::string line;
    std::smatch m;
    while (std::getline(stats, line)) {
        if (std::regex_search(line, m, file))
            out.push_back({corpus / m[1].str(), 0});
        else if (!out.empty() && std::regex_search(line, m, counts))
            out.back().triangles = std::stoul(m[1].str());
    }
    return out;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

TEST(ObjReader, RealModelsMatchTheirFiles) {
    const fs::path corpus = GW_MODEL_CORPUS;
    const std::vector<RealObj> models = RealObjs(corpus);
    if (models.empty())
        GTEST_SKIP() << "no OBJ models listed in " << corpus / "STATS.md";
    for (const RealObj& real : models) {
        SCOPED_TRACE(real.file.string());
        const Result<Model> read = LoadModelFile(real.file.string());
        ASSERT_TRUE(read.ok()) << read.error().Message();
        const Model& model = read.value();
        EXPECT_EQ(model.format, "OBJ");
        size_t triangles = 0;
        for (const Surface& s : model.surfaces) {
            triangles += s.triangles.size();
            EXPECT_TRUE(LayoutHasArea(s)) << s.name;
            // Every picture named is where the name says, from the model's folder.
            if (!s.texture.empty()) {
                EXPECT_TRUE(fs::exists(real.file.parent_path() / s.texture))
                    << s.name << ": " << s.texture;
            }
        }
        EXPECT_EQ(triangles, real.triangles);
        // The first face's first corner, looked up in the file's own lines.
        std::ifstream in(real.file);
        std::vector<std::array<float, 3>> v;
        std::vector<std::array<float, 2>> vt;
        std::string line, face;
        while (std::getline(in, line)) {
            const std::vector<std::string> w = Words(line);
            if (w.size() >= 4 && w[0] == "v")
                v.push_back({std::stof(w[1]), std::stof(w[2]), std::stof(w[3])});
            else if (w.size() >= 3 && w[0] == "vt")
                vt.push_back({std::stof(w[1]), std::stof(w[2])});
            else if (w.size() >= 4 && w[0] == "f" && face.empty())
                face = w[1];
        }
        ASSERT_FALSE(face.empty());
        const size_t slash = face.find('/');
        ASSERT_NE(slash, std::string::npos);
        const Point3 p = v.at(size_t(std::stoi(face)) - 1);
        const std::array<float, 2> t = vt.at(size_t(std::stoi(face.substr(slash + 1))) - 1);
        bool seen = false;
        for (const Surface& s : model.surfaces)
            for (size_t i = 0; i < s.u.size(); ++i)
                seen = seen || (s.positions[i] == p && std::fabs(s.u[i] - t[0]) < 1e-6 &&
                                std::fabs(s.v[i] - (1.0 - t[1])) < 1e-6);
        EXPECT_TRUE(seen) << "no vertex at the first corner with u = " << t[0] << ", v = 1 - "
                          << t[1];
    }
}

TEST(ObjReader, RealModelsMaterials) {
    const fs::path obj = fs::path(GW_MODEL_CORPUS) / "obj";
    if (!fs::exists(obj / "spider/spider.obj"))
        GTEST_SKIP() << obj << " is absent";
    {
        const Result<Model> read =
            LoadModelFile((obj / "spider/spider.obj").make_preferred().string());
        ASSERT_TRUE(read.ok()) << read.error().Message();
        const Model& model = read.value();
        EXPECT_EQ(model.surfaces.size(), 19u);
        EXPECT_TRUE(model.notes.empty()) << AllNotes(model);
        const Surface* leg = Named(model, "Bein1Re");
        ASSERT_NE(leg, nullptr);
        EXPECT_EQ(leg->shaderName, "BeinTex");
        EXPECT_EQ(leg->texture, "drkwood2.jpg"); // ".\drkwood2.jpg" in the library
    }
    {
        const Result<Model> read = LoadModelFile(
            (obj / "neverball_grow/data/obj/editor/grow.obj").make_preferred().string());
        ASSERT_TRUE(read.ok()) << read.error().Message();
        bool black = false;
        for (const Surface& s : read.value().surfaces)
            if (s.shaderName == "mtrl/black") {
                EXPECT_EQ(s.texture, "../../textures/mtrl/black.png");
                black = true;
            }
        EXPECT_TRUE(black);
    }
    {
        const Result<Model> read =
            LoadModelFile((obj / "armor/packages/models/armor/tris.obj").make_preferred().string());
        ASSERT_TRUE(read.ok()) << read.error().Message();
        EXPECT_TRUE(Noted(read.value(), "\"amor.mtl\" is not beside it; \"tris.mtl\""))
            << AllNotes(read.value());
        EXPECT_EQ(read.value().surfaces.at(0).shaderName, "Main");
    }
}

} // namespace
