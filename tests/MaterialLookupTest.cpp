// Pictures a material names itself (OBJ's map_Kd, glTF's images): written
// as the model's own machine wrote them, found beside the model on disk or
// in its game, and pictures the model holds decoded from its bytes. Also the
// files such a model reads beside itself (its material library, buffers).
#include "export/PngTemplate.h"
#include "flatten/GameTextureSource.h"
#include "game/OpenModel.h"
#include "model/WrittenPath.h"
#include "render/TemplateImage.h"
#include "tests/TestGame.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

class Folder {
  public:
    Folder() {
        std::random_device random;
        m_path = fs::temp_directory_path() / ("gw-material-" + std::to_string(random()));
        fs::create_directories(m_path);
    }
    ~Folder() {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string Put(const std::string& relative, const std::string& bytes) const {
        const fs::path at = m_path / relative;
        fs::create_directories(at.parent_path());
        std::ofstream(at, std::ios::binary) << bytes;
        return at.string();
    }
    const fs::path& path() const { return m_path; }

  private:
    fs::path m_path;
};

// A 2 x 1 PNG: its left pixel the colour given, its right one half see-through.
std::string Png(uint8_t r, uint8_t g, uint8_t b) {
    TemplateImage image;
    image.width = 2;
    image.height = 1;
    image.opaque = false;
    image.pixels = {0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b, 0x80404040u};
    return EncodePng(image);
}

Model OneSurface(const std::string& path, const std::string& texture) {
    Model model;
    model.path = path;
    Surface s;
    s.name = "body";
    s.shaderName = "Skin";
    s.texture = texture;
    s.u = {0, 1, 0};
    s.v = {0, 0, 1};
    s.triangles = {{0, 1, 2}};
    model.surfaces.push_back(s);
    return model;
}

// The colour of the left pixel of the picture the surface wears, or the problem.
std::string WornColour(GameTextureSource& source, const Model& model) {
    const SurfaceTexture t = source.Locate(model, model.surfaces[0], nullptr);
    if (t.file.empty())
        return "none: " + t.problem;
    std::string problem;
    const auto picture = source.Picture(t.file, problem);
    if (!picture)
        return "unreadable: " + problem;
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x", picture->rgba[0], picture->rgba[1],
                  picture->rgba[2]);
    return text;
}

} // namespace

TEST(WrittenPath, NamesFromOtherMachinesAreReadAsTheyMean) {
    EXPECT_EQ(NormalWritten(".\\SpiderTex.jpg"), "SpiderTex.jpg");
    EXPECT_EQ(NormalWritten("a\\.\\b//c.png"), "a/b/c.png");
    EXPECT_EQ(NormalWritten("a/b/../../../c.png"), "../c.png");
    EXPECT_EQ(NormalWritten("/../etc"), "/etc");
    EXPECT_EQ(JoinWritten("data/obj/editor/grow.mtl", "../../textures/mtrl/black.png"),
              "data/textures/mtrl/black.png");
    EXPECT_EQ(JoinWritten("mtl\\lib.mtl", "..\\tex\\a.png"), "tex/a.png");
    EXPECT_EQ(JoinWritten("x/lib.mtl", "C:\\Art\\a.png"), "C:/Art/a.png");
    EXPECT_TRUE(IsAbsoluteWritten("C:\\Art\\a.png"));
    EXPECT_TRUE(IsAbsoluteWritten("\\\\server\\a.png"));
    EXPECT_EQ(WrittenFileName("C:\\Art\\a.png"), "a.png");
}

TEST(MaterialPictures, FoundWhereTheMaterialSaysOrBesideTheModel) {
    Folder folder;
    const std::string model = folder.Put("data/obj/editor/grow.obj", "");
    folder.Put("data/textures/black.png", Png(1, 2, 3));
    folder.Put("data/obj/editor/skin.png", Png(4, 5, 6));
    GameTextureSource source(std::make_shared<const GameFiles>());
    // Above the model's folder, as the material names it from its own.
    EXPECT_EQ(WornColour(source, OneSurface(model, "../../textures/black.png")), "010203");
    // A path on the machine the model was made on: the file of that name beside the model.
    EXPECT_EQ(WornColour(source, OneSurface(model, "C:/Users/art/skin.png")), "040506");
    // A folder that moved: still the file of that name beside the model.
    EXPECT_EQ(WornColour(source, OneSurface(model, "old/maps/skin.png")), "040506");
    const std::string missing = WornColour(source, OneSurface(model, "gone.png"));
    EXPECT_NE(missing.find("none: "), std::string::npos);
    EXPECT_NE(missing.find("\"gone.png\""), std::string::npos) << missing;
}

TEST(MaterialPictures, InAPakNothingAboveTheGameIsRead) {
    Folder folder;
    folder.Put("game/pak0.pak", PakBytes({{"models/box/box.obj", "o box\n"},
                                          {"models/box/wood.png", Png(9, 8, 7)},
                                          {"textures/stone.png", Png(7, 7, 7)}}));
    folder.Put("secret.png", Png(6, 6, 6)); // beside the game, never read from it
    auto files = std::make_shared<GameFiles>();
    files->AddFolder((folder.path() / "game").make_preferred().string());
    GameTextureSource source(files);
    const std::string inPak =
        (folder.path() / "game/pak0.pak").make_preferred().string() + ":models/box/box.obj";
    EXPECT_EQ(WornColour(source, OneSurface(inPak, "wood.png")), "090807");
    EXPECT_EQ(WornColour(source, OneSurface(inPak, "../../textures/stone.png")), "070707");
    EXPECT_EQ(WornColour(source, OneSurface(inPak, "../../../secret.png")).rfind("none: ", 0), 0u);

    // The files the model reads beside itself obey the same bounds.
    const CompanionReader beside = GameCompanions(*files, "models/box/box.obj");
    const Result<SourceBytes> near = beside(".\\wood.png", 1 << 20);
    ASSERT_TRUE(near.ok()) << near.error().Message();
    EXPECT_EQ(near.value().bytes->size(), Png(9, 8, 7).size());
    const Result<SourceBytes> above = beside("..\\..\\..\\secret.png", 1 << 20);
    ASSERT_FALSE(above.ok());
    EXPECT_NE(above.error().reason.find("above the game"), std::string::npos);
    EXPECT_FALSE(beside("/etc/passwd", 1 << 20).ok());
    const Result<SourceBytes> large = beside("wood.png", 4);
    ASSERT_FALSE(large.ok());
    EXPECT_NE(large.error().reason.find("larger"), std::string::npos);
}

TEST(MaterialPictures, APictureTheModelHoldsIsDecodedFromItsBytes) {
    Model model = OneSurface("/nowhere/box.glb", "image 0");
    EmbeddedSkin held;
    held.name = "image 0";
    const std::string png = Png(200, 100, 50);
    held.encoded.assign(png.begin(), png.end());
    model.skins.push_back(held);
    GameTextureSource source(std::make_shared<const GameFiles>());
    EXPECT_EQ(WornColour(source, model), "c86432");
    // Read again with other bytes: the new picture, not the one cached.
    const std::string other = Png(1, 1, 1);
    model.skins[0].encoded.assign(other.begin(), other.end());
    EXPECT_EQ(WornColour(source, model), "010101");
    // Bytes that are no picture say so, and name the model's picture.
    model.skins[0].encoded = {1, 2, 3, 4};
    const std::string broken = WornColour(source, model);
    EXPECT_EQ(broken.rfind("unreadable: ", 0), 0u) << broken;
    EXPECT_NE(broken.find("box.glb#image 0"), std::string::npos) << broken;
}

TEST(ModelUvSets, ASetIsChosenOnEverySurfaceThatHasIt) {
    Model model = OneSurface("x.gltf", "");
    Surface two = model.surfaces[0];
    two.uvSets = {{{0, 1, 0}, {0, 0, 1}}, {{0.5, 0.5, 1}, {0.25, 1, 1}}};
    model.surfaces.push_back(two);
    EXPECT_EQ(UvSetCount(model), 2);
    EXPECT_EQ(UvSetInUse(model), 0);
    ASSERT_TRUE(UseUvSet(model, 1));
    EXPECT_EQ(model.surfaces[1].u, (std::vector<double>{0.5, 0.5, 1}));
    EXPECT_EQ(model.surfaces[0].u, (std::vector<double>{0, 1, 0})); // it has one set only
    EXPECT_EQ(UvSetInUse(model), 1);
    EXPECT_FALSE(UseUvSet(model, 2));
    EXPECT_EQ(model.surfaces[1].u, (std::vector<double>{0.5, 0.5, 1}));
    // A set shorter than the vertices is never put in use.
    model.surfaces[1].uvSets[0].u.pop_back();
    ASSERT_TRUE(UseUvSet(model, 0));
    EXPECT_EQ(model.surfaces[1].u, (std::vector<double>{0.5, 0.5, 1}));
}
