#include "model/GltfReader.h"
#include "model/ModelFormats.h"
#include "model/QuantizeTexCoord.h"
#include "tests/GltfBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using nlohmann::json;

Result<Model> Read(const std::vector<uint8_t>& bytes, const std::string& path = "m.gltf") {
    return ReadModel({path, Bytes::Copy(bytes.data(), bytes.size())});
}

std::string ReasonOf(const std::vector<uint8_t>& bytes, const std::string& path = "m.gltf") {
    const Result<Model> read = Read(bytes, path);
    return read.ok() ? std::string("(read)") : read.error().reason;
}

// A quad over four vertices: positions, the given UV sets, two triangles.
GltfBuilder Quad(const std::vector<std::vector<float>>& uvSets) {
    GltfBuilder b;
    json attributes = {{"POSITION", b.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3", 3)}};
    for (size_t s = 0; s < uvSets.size(); ++s)
        attributes["TEXCOORD_" + std::to_string(s)] = b.Floats(uvSets[s], "VEC2", 2);
    b.Primitive(attributes, b.Indices({0, 1, 2, 0, 2, 3}), "quad");
    return b;
}

const std::vector<float> kUv0 = {0.1f, 0.2f, 0.9f, 0.2f, 0.9f, 0.8f, 0.1f, 0.8f};
const std::vector<float> kUv1 = {0.5f, 0.5f, 0.75f, 0.5f, 0.75f, 0.25f, 0.5f, 0.25f};

void ExpectUv(const Surface& s, const std::vector<float>& uv) {
    ASSERT_EQ(s.u.size() * 2, uv.size());
    for (size_t i = 0; i < s.u.size(); ++i) {
        EXPECT_EQ(s.u[i], QuantizeTexCoord(uv[2 * i])) << i;
        EXPECT_EQ(s.v[i], QuantizeTexCoord(uv[2 * i + 1])) << i; // stored down from the top
    }
}

TEST(GltfReader, ReadsTheSameQuadFromAGltfWithADataBufferAndFromAGlb) {
    GltfBuilder b = Quad({kUv0});
    for (const auto& [bytes, path, format] :
         {std::tuple{b.GltfBytes(), "q.gltf", "glTF"}, std::tuple{b.Glb(), "q.glb", "GLB"},
          std::tuple{b.Glb(), "named-wrongly.gltf", "GLB"}}) {
        const Result<Model> read = Read(bytes, path);
        ASSERT_TRUE(read.ok()) << read.error().Message();
        const Model& m = read.value();
        EXPECT_EQ(m.format, format);
        ASSERT_EQ(m.SurfaceCount(), 1);
        const Surface& s = m.surfaces[0];
        EXPECT_EQ(s.name, "quad");
        EXPECT_TRUE(s.shaderName.empty());
        ExpectUv(s, kUv0);
        ASSERT_EQ(s.triangles.size(), 2u);
        EXPECT_EQ(s.triangles[1].a, 0);
        EXPECT_EQ(s.triangles[1].b, 2);
        EXPECT_EQ(s.triangles[1].c, 3);
        EXPECT_EQ(s.positions.at(2), (Point3{1, 1, 0}));
        EXPECT_TRUE(s.uvSets.empty());
    }
}

TEST(GltfReader, TwoUvSetsTheMaterialPicksSetOneAndUseUvSetSwitches) {
    GltfBuilder b = Quad({kUv0, kUv1});
    b.doc["meshes"][0]["primitives"][0]["material"] = 0;
    b.doc["materials"] = {
        {{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}, {"texCoord", 1}}}}}}};
    b.doc["textures"] = {{{"source", 0}}};
    b.doc["images"] = {{{"uri", "tex/My%20Skin.png"}}};
    Result<Model> read = Read(b.GltfBytes());
    ASSERT_TRUE(read.ok()) << read.error().Message();
    Model& m = read.value();
    const Surface& s = m.surfaces.at(0);
    EXPECT_EQ(s.shaderName, "material 0");
    EXPECT_EQ(s.texture, "tex/My Skin.png");
    ASSERT_EQ(s.uvSets.size(), 2u);
    ExpectUv(s, kUv1);
    EXPECT_EQ(UvSetCount(m), 2);
    ASSERT_TRUE(UseUvSet(m, 0));
    ExpectUv(m.surfaces[0], kUv0);
    EXPECT_FALSE(UseUvSet(m, 2));
}

TEST(GltfReader, DecodesStridesNormalisedIntegersAndSparseValues) {
    // Interleaved: position (12 bytes) then a UV as two normalised ushorts,
    // padded to a 20-byte stride.
    struct Vertex {
        float p[3];
        uint16_t uv[2];
        uint32_t pad;
    };
    const std::vector<Vertex> vertices = {
        {{0, 0, 0}, {0, 65535}, 0}, {{1, 0, 0}, {65535, 65535}, 0}, {{0, 1, 0}, {32768, 0}, 0}};
    GltfBuilder b;
    const int view = b.View(vertices, int(sizeof(Vertex)));
    const int position = b.Accessor(view, 5126, 3, "VEC3");
    const int uv = b.Accessor(view, 5123, 3, "VEC2", {{"byteOffset", 12}, {"normalized", true}});
    const std::vector<uint8_t> bytesUv = {0, 255, 255, 255, 128, 0};
    const int uvBytes = b.Accessor(b.View(bytesUv), 5121, 3, "VEC2", {{"normalized", true}});
    // Sparse over zeros: vertex 1 and 2 get values, vertex 0 stays 0.
    const std::vector<uint8_t> sparseIndices = {1, 2};
    const std::vector<float> sparseValues = {0.25f, 0.5f, 0.75f, 1.0f};
    const int si = b.View(sparseIndices);
    const int sv = b.View(sparseValues);
    const int sparse = b.Accessor(-1, 5126, 3, "VEC2",
                                  {{"sparse",
                                    {{"count", 2},
                                     {"indices", {{"bufferView", si}, {"componentType", 5121}}},
                                     {"values", {{"bufferView", sv}}}}}});
    const std::vector<uint8_t> index = {0, 1, 2};
    const int indices = b.Accessor(b.View(index), 5121, 3, "SCALAR");
    b.Primitive({{"POSITION", position}, {"TEXCOORD_0", uv}}, indices, "strided");
    b.Primitive({{"POSITION", position}, {"TEXCOORD_0", uvBytes}}, indices, "bytes");
    b.Primitive({{"POSITION", position}, {"TEXCOORD_0", sparse}}, indices, "sparse");
    const Result<Model> read = Read(b.Glb(), "s.glb");
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    ASSERT_EQ(m.SurfaceCount(), 3);
    EXPECT_EQ(m.surfaces[0].positions.at(2), (Point3{0, 1, 0}));
    ExpectUv(m.surfaces[0], {0, 1, 1, 1, 32768.0f / 65535.0f, 0});
    ExpectUv(m.surfaces[1], {0, 1, 1, 1, 128.0f / 255.0f, 0});
    ExpectUv(m.surfaces[2], {0, 0, 0.25f, 0.5f, 0.75f, 1.0f});
}

TEST(GltfReader, StripsAndFansBecomeTrianglesAndPointsAreLeftOutWithANote) {
    GltfBuilder b;
    const int position = b.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 2, 1, 0}, "VEC3", 3);
    b.Primitive({{"POSITION", position}}, -1, "strip")["mode"] = 5;
    b.Primitive({{"POSITION", position}}, -1, "fan")["mode"] = 6;
    b.Primitive({{"POSITION", position}}, -1, "dots")["mode"] = 0;
    b.Primitive({{"POSITION", position}}, -1,
                "squeezed")["extensions"] = {{"KHR_draco_mesh_compression", {{"bufferView", 0}}}};
    b.doc["extensionsRequired"] = {"KHR_draco_mesh_compression", "EXT_unknown_thing"};
    const Result<Model> read = Read(b.GltfBytes());
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    ASSERT_EQ(m.SurfaceCount(), 2);
    auto corners = [](const Surface& s) {
        std::vector<int> out;
        for (const Triangle& t : s.triangles)
            out.insert(out.end(), {t.a, t.b, t.c});
        return out;
    };
    // Every strip triangle wound as its first: the odd ones turned.
    EXPECT_EQ(corners(m.surfaces[0]), (std::vector<int>{0, 1, 2, 1, 3, 2, 2, 3, 4}));
    EXPECT_EQ(corners(m.surfaces[1]), (std::vector<int>{1, 2, 0, 2, 3, 0, 3, 4, 0}));
    ASSERT_EQ(m.notes.size(), 3u);
    EXPECT_NE(m.notes[0].find("EXT_unknown_thing"), std::string::npos) << m.notes[0];
    EXPECT_NE(m.notes[1].find("dots"), std::string::npos) << m.notes[1];
    EXPECT_NE(m.notes[2].find("squeezed is compressed"), std::string::npos) << m.notes[2];
}

TEST(GltfReader, PlacesMeshesByTheirNodesAndPosesSkinsByTheirJoints) {
    GltfBuilder b;
    const int position = b.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", 3);
    const int normal = b.Floats({0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3", 3);
    b.Primitive({{"POSITION", position}, {"NORMAL", normal}}, -1, "moved");
    // Vertex 0 on joint 0, vertex 1 on joint 1, vertex 2 half on each.
    const std::vector<uint8_t> joints = {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0};
    const int j = b.Accessor(b.View(joints), 5121, 3, "VEC4");
    const int w = b.Floats({1, 0, 0, 0, 1, 0, 0, 0, 0.5f, 0.5f, 0, 0}, "VEC4", 4);
    b.Primitive({{"POSITION", position}, {"JOINTS_0", j}, {"WEIGHTS_0", w}}, -1, "skinned");
    b.Primitive({{"POSITION", position}}, -1, "unused");
    // Inverse binds: joint 1 bound at x = 1.
    const int ibm = b.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0,  0, 0, 1,
                              1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, 0, 0, 1},
                             "MAT4", 16);
    b.doc["skins"] = {{{"joints", {2, 3}}, {"inverseBindMatrices", ibm}}};
    b.doc["nodes"] = {
        // A quarter turn about z, then 10 up; the child 5 along x more.
        {{"rotation", {0, 0, std::sqrt(0.5), std::sqrt(0.5)}},
         {"translation", {0, 0, 10}},
         {"children", {1}}},
        {{"translation", {5, 0, 0}}, {"mesh", 0}, {"children", {0}}}, // a loop back: cut
        {{"translation", {0, 100, 0}}},
        {{"translation", {0, 200, 0}}},
        {{"mesh", 1}, {"skin", 0}, {"translation", {1000, 0, 0}}}}; // ignored: skinned
    b.doc["scenes"] = {{{"nodes", {0, 2, 3, 4}}}};
    const Result<Model> read = Read(b.GltfBytes());
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    ASSERT_EQ(m.SurfaceCount(), 3);
    auto near = [](const Point3& a, const Point3& b) {
        return std::abs(a[0] - b[0]) < 1e-5 && std::abs(a[1] - b[1]) < 1e-5 &&
               std::abs(a[2] - b[2]) < 1e-5;
    };
    const Surface& moved = m.surfaces[0];
    // Local (1,0,0) -> child (6,0,0) -> turned (0,6,0) -> (0,6,10).
    EXPECT_TRUE(near(moved.positions[1], Point3{0, 6, 10}));
    EXPECT_TRUE(near(moved.normals[0], Point3{0, 0, 1}));
    const Surface& skinned = m.surfaces[1];
    EXPECT_TRUE(near(skinned.positions[0], Point3{0, 100, 0}));
    EXPECT_TRUE(near(skinned.positions[1], Point3{0, 200, 0}));     // (1,0,0) - 1 on x, +200
    EXPECT_TRUE(near(skinned.positions[2], Point3{-0.5f, 151, 0})); // halfway
    EXPECT_EQ(m.surfaces[2].positions[1], (Point3{1, 0, 0}));       // no node: as stored
    EXPECT_FALSE(m.notes.empty());
}

TEST(GltfReader, EmbeddedImagesBecomeSkinsAndMissingTexturesAreNoted) {
    GltfBuilder b = Quad({kUv0});
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                      'I',  'H', 'D', 'R', 0,    0,    0,    7,    0, 0, 0, 3};
    b.doc["images"] = {{{"bufferView", b.View(png)}, {"mimeType", "image/png"}, {"name", "Skin"}},
                       {{"uri", "data:image/png;base64," + GltfBuilder::Base64(png)}}};
    b.doc["textures"] = {{{"source", 0}}, {{"source", 1}}, {{"sampler", 0}}};
    b.doc["materials"] = {
        {{"name", "a"}, {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}}}}},
        {{"pbrMetallicRoughness",
          {{"baseColorTexture",
            {{"index", 1}, {"extensions", {{"KHR_texture_transform", json::object()}}}}}}}},
        {{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 2}}}}}}};
    json& meshes = b.doc["meshes"];
    for (int k = 1; k < 3; ++k)
        meshes.push_back(meshes[0]);
    for (int k = 0; k < 3; ++k)
        meshes[size_t(k)]["primitives"][0]["material"] = k;
    const Result<Model> read = Read(b.Glb(), "e.glb");
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    ASSERT_EQ(m.skins.size(), 2u);
    EXPECT_EQ(m.skins[0].name, "image 0 (Skin)");
    EXPECT_EQ(m.skins[0].encoded, png);
    EXPECT_EQ(m.skins[0].width, 7);
    EXPECT_EQ(m.skins[0].height, 3);
    EXPECT_EQ(m.skins[1].encoded, png);
    EXPECT_EQ(m.surfaces[0].shaderName, "a");
    EXPECT_EQ(m.surfaces[0].texture, m.skins[0].name);
    EXPECT_EQ(m.surfaces[1].texture, "image 1");
    EXPECT_TRUE(m.surfaces[2].texture.empty());
    EXPECT_EQ(m.notes.size(), 2u); // the transform, the texture without image
}

TEST(GltfReader, RefusesBrokenFilesSayingWhatIsWrong) {
    auto with = [](auto edit) {
        GltfBuilder b = Quad({kUv0});
        edit(b);
        return b;
    };
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
        {with([](GltfBuilder& b) { b.bin[80] = 7; }).GltfBytes(), "index 7 is past its 4"},
        {with([](GltfBuilder& b) { b.doc["accessors"][2]["count"] = 7; }).GltfBytes(),
         "accessor 2 reaches past the end of buffer view 2"},
        {with([](GltfBuilder& b) { b.doc["bufferViews"][0]["byteLength"] = 4000; }).Glb(),
         "buffer view 0 reaches past the end of buffer 0"},
        {with([](GltfBuilder& b) { b.doc["accessors"][0]["count"] = -1; }).GltfBytes(),
         "accessor 0 has a missing or invalid count"},
        {with([](GltfBuilder& b) { b.doc["accessors"][0]["count"] = 1e300; }).GltfBytes(),
         "accessor 0 has a missing or invalid count"},
        {with([](GltfBuilder& b) { b.doc["accessors"][0].erase("bufferView"); }).GltfBytes(),
         "accessor 0 holds no values"},
        {std::vector<uint8_t>{'{', '"', 'a'}, "its JSON cannot be read at byte"},
        {std::vector<uint8_t>(100000, '['), "nested more than"},
        {with([](GltfBuilder& b) { b.doc["asset"]["x"] = 1; }).GltfBytes(), "(read)"},
        {with([](GltfBuilder& b) { b.doc["asset"]["version"] = "1.0"; }).GltfBytes(),
         "only glTF 2.0"},
    };
    for (const auto& [bytes, reason] : cases)
        EXPECT_NE(ReasonOf(bytes).find(reason), std::string::npos)
            << reason << " / " << ReasonOf(bytes);

    GltfBuilder b = Quad({kUv0});
    std::string text = b.Gltf();
    std::string huge = text;
    huge.insert(huge.find("\"version\""), "\"x\":1e400,");
    EXPECT_NE(ReasonOf({huge.begin(), huge.end()}).find("number too large"), std::string::npos)
        << ReasonOf({huge.begin(), huge.end()});
    const size_t data = text.find("base64,") + 7;
    text.insert(data + 4, "*");
    EXPECT_NE(ReasonOf({text.begin(), text.end()}).find("is not valid base64"), std::string::npos);
    json external = json::parse(b.Gltf());
    external["buffers"][0]["uri"] = "my%20quad.bin";
    const std::string ext = external.dump();
    EXPECT_NE(ReasonOf({ext.begin(), ext.end()}).find("\"my quad.bin\" beside the model"),
              std::string::npos);
    external["buffers"][0]["uri"] = "http://example.com/q.bin";
    const std::string web = external.dump();
    EXPECT_NE(ReasonOf({web.begin(), web.end()}).find("not a file beside the model"),
              std::string::npos);

    std::vector<uint8_t> glb = b.Glb();
    const std::vector<uint8_t> cut(glb.begin(), glb.end() - 10);
    EXPECT_NE(ReasonOf(cut, "q.glb").find("cut short"), std::string::npos) << ReasonOf(cut);
    std::vector<uint8_t> lying = glb;
    lying[12] = 0xF0; // the JSON chunk's length past the end
    lying[13] = 0xFF;
    EXPECT_NE(ReasonOf(lying, "q.glb").find("past the end of the file"), std::string::npos);
    const std::vector<uint8_t> overclaimed = b.Glb(int64_t(b.bin.size()) + 4);
    EXPECT_NE(ReasonOf(overclaimed, "q.glb").find("buffer 0 gives"), std::string::npos)
        << ReasonOf(overclaimed, "q.glb");
}

TEST(GltfDataUri, DecodesBase64WithOrWithoutPaddingAndPercentEscapes) {
    auto bytes = [](std::string_view uri) {
        const Result<DataUri> d = DecodeDataUri(uri);
        return d.ok() ? std::string(d.value().bytes.begin(), d.value().bytes.end())
                      : "refused: " + d.error().reason;
    };
    EXPECT_EQ(bytes("data:application/octet-stream;base64,QUJD"), "ABC");
    EXPECT_EQ(bytes("data:image/png;base64,QUI="), "AB");
    EXPECT_EQ(bytes("data:;base64,QUI"), "AB");
    EXPECT_EQ(bytes("data:;base64,QQ=="), "A");
    EXPECT_EQ(bytes("data:text/plain;charset=utf-8,a%20b%2c"), "a b,");
    EXPECT_EQ(DecodeDataUri("data:image/jpeg;base64,").value().mediaType, "image/jpeg");
    for (const std::string_view bad : {"data:;base64,Q", "data:;base64,QQ=A", "data:;base64,QQ===",
                                       "data:;base64,QU*D", "data:a%2", "data;base64,QUJD"})
        EXPECT_EQ(bytes(bad).rfind("refused: ", 0), 0u) << bad << " gave " << bytes(bad);
}

// The real models, when the shared folder is beside the checkout.
std::string Corpus(const std::string& path) {
    return std::string(GW_MODEL_CORPUS) + "/gltf/" + path;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(GltfRealModels, BoxTexturedReadsAlikeFromItsGltfAndItsGlb) {
    const std::string gltf = Corpus("BoxTextured/glTF/BoxTextured.gltf");
    if (!std::filesystem::exists(gltf))
        GTEST_SKIP() << "no " << gltf;
    const Result<Model> text = LoadModelFile(gltf);
    const Result<Model> binary = LoadModelFile(Corpus("BoxTextured/glTF-Binary/BoxTextured.glb"));
    ASSERT_TRUE(text.ok()) << text.error().Message();
    ASSERT_TRUE(binary.ok()) << binary.error().Message();
    const Surface& a = text.value().surfaces.at(0);
    const Surface& b = binary.value().surfaces.at(0);
    EXPECT_EQ(a.name, "Mesh");
    EXPECT_EQ(a.texture, "CesiumLogoFlat.png");
    EXPECT_EQ(a.triangles.size(), 12u);
    EXPECT_EQ(a.u, b.u);
    EXPECT_EQ(a.v, b.v);
    EXPECT_EQ(a.positions, b.positions);
    ASSERT_EQ(a.triangles.size(), b.triangles.size());
    for (size_t k = 0; k < a.triangles.size(); ++k)
        EXPECT_TRUE(a.triangles[k].a == b.triangles[k].a && a.triangles[k].c == b.triangles[k].c);
    // A UV against the buffer's own bytes: TEXCOORD_0's view and offset.
    const std::vector<uint8_t> bin = FileBytes(Corpus("BoxTextured/glTF/BoxTextured0.bin"));
    const std::vector<uint8_t> textBytes = FileBytes(gltf);
    const json doc = json::parse(textBytes.begin(), textBytes.end());
    const json& accessor =
        doc["accessors"][doc["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"].get<int>()];
    const json& view = doc["bufferViews"][accessor["bufferView"].get<int>()];
    const size_t stride = view.value("byteStride", 8);
    const size_t at = view.value("byteOffset", 0) + accessor.value("byteOffset", 0) + 5 * stride;
    float uv[2];
    ASSERT_LE(at + 8, bin.size());
    std::memcpy(uv, bin.data() + at, 8);
    EXPECT_EQ(a.u[5], QuantizeTexCoord(uv[0]));
    EXPECT_EQ(a.v[5], QuantizeTexCoord(uv[1]));
    // The .glb carries its picture: a real PNG, sized by its header.
    const Model& glb = binary.value();
    ASSERT_EQ(glb.skins.size(), 1u);
    EXPECT_EQ(b.texture, glb.skins[0].name);
    const std::vector<uint8_t> png = FileBytes(Corpus("BoxTextured/glTF/CesiumLogoFlat.png"));
    EXPECT_EQ(glb.skins[0].encoded, png);
    EXPECT_GT(glb.skins[0].width, 0);
}

TEST(GltfRealModels, StipsPartsStandApartOnceSkinned) {
    const std::string path = Corpus("Stip/glTF/stip.gltf");
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no " << path;
    const Result<Model> read = LoadModelFile(path);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    ASSERT_EQ(m.SurfaceCount(), 20);
    // Each part's centre: posed by its joints, no two parts lie on each other.
    std::vector<Point3> centres;
    for (const Surface& s : m.surfaces) {
        EXPECT_TRUE(std::filesystem::exists(Corpus("Stip/glTF/" + s.texture))) << s.texture;
        EXPECT_FALSE(s.triangles.empty());
        Point3 lo = s.positions.at(0), hi = lo;
        for (const Point3& p : s.positions)
            for (int k = 0; k < 3; ++k)
                lo[size_t(k)] = std::min(lo[size_t(k)], p[size_t(k)]),
                hi[size_t(k)] = std::max(hi[size_t(k)], p[size_t(k)]);
        centres.push_back({(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2});
    }
    int apart = 0;
    for (size_t i = 0; i < centres.size(); ++i)
        for (size_t j = i + 1; j < centres.size(); ++j)
            apart += std::hypot(centres[i][0] - centres[j][0], centres[i][1] - centres[j][1],
                                centres[i][2] - centres[j][2]) > 1e-3;
    EXPECT_EQ(apart, 20 * 19 / 2);
}

TEST(GltfRealModels, RobotHoldsItsMeshesAndTriangles) {
    const std::string path = Corpus("robot/robot.glb");
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no " << path;
    const Result<Model> read = LoadModelFile(path);
    ASSERT_TRUE(read.ok()) << read.error().Message();
    const Model& m = read.value();
    EXPECT_EQ(m.format, "GLB");
    EXPECT_EQ(m.SurfaceCount(), 19);
    size_t triangles = 0;
    for (const Surface& s : m.surfaces) {
        triangles += s.triangles.size();
        EXPECT_TRUE(s.texture.empty());
        EXPECT_FALSE(s.shaderName.empty());
    }
    EXPECT_EQ(triangles, 3238u);
    EXPECT_TRUE(m.skins.empty());
}

} // namespace
