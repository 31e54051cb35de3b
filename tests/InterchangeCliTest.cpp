// OBJ and glTF through the whole command line: the real models of
// ../shared/models (skipped when absent) find the pictures their materials
// name, wherever those point; a picture held in a .glb is drawn under the
// layout as the same file beside a .gltf is; a choice of texture coordinates;
// a model's companions read from a pak.
#include "image/TextureImage.h"
#include "tests/CliRun.h"
#include "tests/GltfBuilder.h"
#include "tests/TestGame.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kModels = GW_MODEL_CORPUS;

std::vector<std::vector<std::string>> Rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

TextureImage Decoded(const std::string& path) {
    TextureImage image;
    const Status read = LoadTexture(path, image);
    EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error().Message());
    return image;
}

// The share of pixels of two pictures of one size within a few levels of each other.
double SameShare(const TextureImage& a, const TextureImage& b) {
    if (a.width != b.width || a.height != b.height || a.rgba.empty())
        return 0;
    size_t same = 0;
    for (size_t p = 0; p < a.rgba.size(); p += 4) {
        bool near = true;
        for (size_t c = 0; c < 3; ++c)
            near = near && std::abs(int(a.rgba[p + c]) - int(b.rgba[p + c])) <= 6;
        same += near;
    }
    return double(same) / double(a.rgba.size() / 4);
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A square of two triangles whose set 0 lies in the left half of the
// texture and set 1 in the right half.
GltfBuilder TwoSets() {
    GltfBuilder g;
    const int position = g.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3", 3);
    const int left = g.Floats({0.05f, 0.05f, 0.45f, 0.05f, 0.45f, 0.95f, 0.05f, 0.95f}, "VEC2", 2);
    const int right = g.Floats({0.55f, 0.05f, 0.95f, 0.05f, 0.95f, 0.95f, 0.55f, 0.95f}, "VEC2", 2);
    const int indices = g.Indices({0, 1, 2, 0, 2, 3});
    g.Primitive({{"POSITION", position}, {"TEXCOORD_0", left}, {"TEXCOORD_1", right}}, indices,
                "card");
    return g;
}

// Columns of the template holding ink (dark pixels), left half and right half.
std::pair<int, int> InkByHalf(const TextureImage& image) {
    int left = 0, right = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.rgba[size_t(y * image.width + x) * 4] < 128)
                (x < image.width / 2 ? left : right)++;
    return {left, right};
}

} // namespace

// Every surface of the real models wears a picture that is found and read:
// through ".\" in the spider's library, above the model's folder in grow's,
// beside the BoxTextured .gltf, inside its .glb. The armor's library is
// missing, and the command says so.
TEST(InterchangeModels, TheirMaterialsPicturesAreFoundAndRead) {
    if (!fs::is_directory(kModels / "obj") || !fs::is_directory(kModels / "gltf"))
        GTEST_SKIP() << "no OBJ and glTF models in " << kModels;
    for (const char* model :
         {"obj/spider/spider.obj", "obj/neverball_grow/data/obj/editor/grow.obj",
          "obj/neverball_rift/data/ball/rift/rift.obj", "gltf/BoxTextured/glTF/BoxTextured.gltf",
          "gltf/BoxTextured/glTF-Binary/BoxTextured.glb", "gltf/Stip/glTF/stip.gltf"}) {
        const Outcome run = Cli({(kModels / model).make_preferred().string(), "--textures"});
        EXPECT_EQ(run.status, 0) << model << ": " << run.err;
        EXPECT_EQ(run.err, "") << model;
        const auto rows = Rows(run.out);
        EXPECT_FALSE(rows.empty()) << model;
        for (const auto& row : rows) {
            ASSERT_EQ(row.size(), 6u) << model;
            EXPECT_EQ(row[3], "material") << model << " " << row[1];
            EXPECT_FALSE(row[4].empty()) << model << " " << row[1] << " wears " << row[2];
            EXPECT_NE(row[5].find('x'), std::string::npos) << model << " " << row[1];
        }
    }
    const Outcome grow =
        Cli({(kModels / "obj/neverball_grow/data/obj/editor/grow.obj").make_preferred().string(),
             "--textures"});
    EXPECT_NE(grow.out.find("data/textures/mtrl/"), std::string::npos) << grow.out;
    const Outcome box =
        Cli({(kModels / "gltf/BoxTextured/glTF-Binary/BoxTextured.glb").make_preferred().string(),
             "--textures"});
    EXPECT_NE(box.out.find("BoxTextured.glb#image 0"), std::string::npos) << box.out;

    const Outcome armor =
        Cli({(kModels / "obj/armor/packages/models/armor/tris.obj").make_preferred().string(),
             "--list"});
    EXPECT_EQ(armor.status, 0) << armor.err;
    EXPECT_NE(armor.err.find("\"amor.mtl\""), std::string::npos) << armor.err;
}

// The picture a .glb holds is drawn under its layout exactly as the same
// picture beside the .gltf is, and both are the texture file's pixels where
// no line covers them.
TEST(InterchangeModels, APictureInsideTheModelIsDrawnUnderItsLayout) {
    const fs::path gltf = kModels / "gltf/BoxTextured/glTF/BoxTextured.gltf";
    const fs::path glb = kModels / "gltf/BoxTextured/glTF-Binary/BoxTextured.glb";
    if (!fs::exists(gltf) || !fs::exists(glb))
        GTEST_SKIP() << "no BoxTextured in " << kModels;
    TempDir dir;
    const TextureImage texture = Decoded((gltf.parent_path() / "CesiumLogoFlat.png").string());
    std::vector<TextureImage> drawn;
    for (const fs::path& model : {gltf, glb}) {
        const std::string out = (dir.path() / (model.extension().string() + ".png")).string();
        const Outcome run = Cli({model.string(), "--all", "--underlay", "--underlay-opacity", "1",
                                 "--size", "texture", "-o", out});
        ASSERT_EQ(run.status, 0) << run.err;
        drawn.push_back(Decoded(out));
    }
    EXPECT_EQ(drawn[0].rgba, drawn[1].rgba);
    EXPECT_GT(SameShare(drawn[1], texture), 0.6);
}

// A model with two sets of texture coordinates: the first is laid out unless
// --uv-set names the other; a set it lacks is refused, naming those it has.
TEST(InterchangeModels, TheChosenSetOfTextureCoordinatesIsLaidOut) {
    TempDir dir;
    const fs::path model = dir.path() / "card.glb";
    WriteBytes(model, TwoSets().Glb());
    const std::string out = (dir.path() / "t.png").make_preferred().string();
    const Outcome first = Cli({model.string(), "--all", "--size", "64x64", "-o", out});
    ASSERT_EQ(first.status, 0) << first.err;
    auto [left, right] = InkByHalf(Decoded(out));
    EXPECT_GT(left, 0);
    EXPECT_EQ(right, 0);
    const Outcome second =
        Cli({model.string(), "--all", "--uv-set", "1", "--size", "64x64", "-o", out});
    ASSERT_EQ(second.status, 0) << second.err;
    std::tie(left, right) = InkByHalf(Decoded(out));
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 0);
    const Outcome missing = Cli({model.string(), "--list", "--uv-set", "2"});
    EXPECT_EQ(missing.status, kCannotLoad);
    EXPECT_NE(missing.err.find("--uv-set 0 to 1"), std::string::npos) << missing.err;
    const Outcome dump = Cli({model.string(), "--dump"});
    EXPECT_NE(dump.out.find("\"uvSetCount\": 2"), std::string::npos) << dump.out;
}

// A .gltf in a pak reads its buffer from beside it in the pak; one whose
// buffer lies above the game is refused, saying so.
TEST(InterchangeModels, AModelInAPakReadsItsBufferFromThePak) {
    GltfBuilder g = TwoSets();
    nlohmann::json doc = g.doc;
    doc["buffers"] = {{{"byteLength", g.bin.size()}, {"uri", "card%20data.bin"}}};
    nlohmann::json above = doc;
    above["buffers"][0]["uri"] = "../../../card data.bin";
    TempDir dir;
    const std::string bin(g.bin.begin(), g.bin.end());
    {
        std::ofstream(dir.path() / "pak0.pak", std::ios::binary)
            << PakBytes({{"models/card/card.gltf", doc.dump()},
                         {"models/card/above.gltf", above.dump()},
                         {"models/card/card data.bin", bin}});
    }
    const std::string pak = (dir.path() / "pak0.pak").make_preferred().string();
    const Outcome read = Cli({pak + ":models/card/card.gltf", "--list"});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_NE(read.out.find("card"), std::string::npos) << read.out;
    const Outcome refused = Cli({pak + ":models/card/above.gltf", "--list"});
    EXPECT_EQ(refused.status, kCannotLoad);
    EXPECT_NE(refused.err.find("above the game"), std::string::npos) << refused.err;
}
