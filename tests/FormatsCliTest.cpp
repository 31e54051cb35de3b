// Every model format through the whole command line, on the real models of
// ../shared/models (skipped when absent): what is listed, dumped and drawn,
// the skins an MDL holds as textures and as pictures written out, and a
// model read from an id pak.
#include "cli/Commands.h"
#include "image/IndexedSkin.h"
#include "image/TextureImage.h"
#include "model/ModelFormats.h"
#include "tests/CliRun.h"
#include "tests/TestGame.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kModels = GW_MODEL_CORPUS;

// Every model file of the new formats in the corpus that holds a mesh.
std::vector<fs::path> RealModels() {
    std::vector<fs::path> found;
    if (!fs::is_directory(kModels))
        return found;
    for (const char* folder : {"mdl", "md2", "mdc", "md5", "iqm"})
        for (const auto& entry : fs::recursive_directory_iterator(kModels / folder))
            if (entry.is_regular_file() && HasModelExtension(entry.path().string()))
                found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

TextureImage Decoded(const std::string& path) {
    TextureImage image;
    const Status read = LoadTexture(path, image);
    EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error().Message());
    return image;
}

fs::path Armor() {
    return kModels / "mdl/armor/progs/armor.mdl";
}

} // namespace

// Each real model: --list's counts agree with --dump's, the dump names the
// format, and a template of all its surfaces has ink. Animation-only IQMs
// are refused, saying so.
TEST(EveryFormat, RealModelsListDumpAndDraw) {
    const std::vector<fs::path> models = RealModels();
    if (models.empty())
        GTEST_SKIP() << "no real models in " << kModels;
    TempDir dir;
    int drawn = 0, refused = 0;
    for (const fs::path& path : models) {
        SCOPED_TRACE(path.string());
        const Outcome list = Cli({"--list", path.string()});
        if (list.status != kOk) {
            EXPECT_NE(list.err.find("holds no meshes"), std::string::npos) << list.err;
            ++refused;
            continue;
        }
        const Outcome dump = Cli({"--dump", path.string()});
        ASSERT_EQ(dump.status, kOk) << dump.err;
        const std::string format = LowerCase(path.extension().string().substr(1));
        const std::string expected = format == "md5mesh" ? "MD5" : [&] {
            std::string upper = format;
            for (char& c : upper)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            return upper;
        }();
        EXPECT_EQ(dump.out.rfind("{\"format\": \"" + expected + "\"", 0), 0u)
            << dump.out.substr(0, 80);
        // Every listed surface's vertex and triangle counts appear in the dump.
        std::istringstream lines(list.out);
        std::string line;
        int surfaces = 0;
        while (std::getline(lines, line)) {
            std::vector<std::string> field;
            std::istringstream cells(line);
            for (std::string cell; std::getline(cells, cell, '\t');)
                field.push_back(cell);
            ASSERT_EQ(field.size(), 5u) << line;
            EXPECT_NE(
                dump.out.find("\"vertexCount\": " + field[3] + ", \"triangleCount\": " + field[4]),
                std::string::npos)
                << line;
            ++surfaces;
        }
        EXPECT_GT(surfaces, 0);
        const std::string png = dir.File("t" + std::to_string(drawn) + ".png");
        const Outcome drawnOut = Cli({path.string(), "--all", "--size", "256x256", "-o", png});
        ASSERT_EQ(drawnOut.status, kOk) << drawnOut.err;
        const TextureImage image = Decoded(png);
        ASSERT_EQ(image.width, 256);
        size_t ink = 0;
        for (size_t i = 0; i < image.rgba.size(); i += 4)
            ink += image.rgba[i] < 128;
        EXPECT_GT(ink, 100u);
        ++drawn;
    }
    EXPECT_GT(drawn, 8);
    EXPECT_GT(refused, 0); // the corpus holds animation-only IQMs
}

// An MDL's own skins are its textures: the default wears skin 0, --skin picks
// another, --size texture takes the skin's size, and --extract-skin writes
// exactly the skin in the palette's colours: the game's when it has one,
// else the shipped one, said once.
TEST(HeldSkins, AreTexturesAndArePicturesInTheGamesColours) {
    if (!fs::exists(Armor()))
        GTEST_SKIP() << "no " << Armor();
    const Result<Model> read = LoadModelFile(Armor().string());
    ASSERT_TRUE(read.ok());
    const Model& model = read.value();
    ASSERT_EQ(model.skins.size(), 3u);

    TempDir dir;
    const Outcome textures = Cli({"--textures", Armor().string(), "--skin", "skin 1"});
    ASSERT_EQ(textures.status, kOk) << textures.err;
    EXPECT_NE(textures.out.find("\tskin 1\t"), std::string::npos) << textures.out;
    EXPECT_NE(textures.out.find("\t200x200"), std::string::npos) << textures.out;
    EXPECT_NE(textures.err.find("no gfx/palette.lmp"), std::string::npos) << textures.err;

    const std::string out = dir.File("skin1.png");
    const Outcome extracted = Cli({"--extract-skin", "1", Armor().string(), "-o", out});
    ASSERT_EQ(extracted.status, kOk) << extracted.err;
    const TextureImage painted = PaintIndexed(model.skins[1], ShippedPalette());
    const TextureImage written = Decoded(out);
    ASSERT_EQ(written.width, painted.width);
    EXPECT_TRUE(written.rgba == painted.rgba);

    // Under the layout, at full opacity, the underlay is the same skin.
    const std::string under = dir.File("under.png");
    const Outcome drawn =
        Cli({Armor().string(), "--skin", "skin 1", "--size", "texture", "--underlay",
             "--underlay-opacity", "1", "--line-colour", "#00000000", "-o", under});
    ASSERT_EQ(drawn.status, kOk) << drawn.err;
    EXPECT_TRUE(Decoded(under).rgba == painted.rgba);

    // A game of its own, whose palette is one grey: every pixel takes it.
    const fs::path game = dir.path() / "id1";
    fs::create_directories(game / "progs");
    fs::create_directories(game / "gfx");
    fs::copy_file(Armor(), game / "progs/armor.mdl");
    std::string palette(kPaletteBytes, char(77));
    std::ofstream(game / "gfx/palette.lmp", std::ios::binary) << palette;
    const std::string grey = dir.File("grey.tga");
    const Outcome own = Cli(
        {"--extract-skin", "0", (game / "progs/armor.mdl").make_preferred().string(), "-o", grey});
    ASSERT_EQ(own.status, kOk) << own.err;
    EXPECT_EQ(own.err, "");
    const TextureImage greyImage = Decoded(grey);
    ASSERT_FALSE(greyImage.rgba.empty());
    for (size_t i = 0; i < greyImage.rgba.size(); i += 4)
        ASSERT_EQ(greyImage.rgba[i], 77) << i;

    // Asking for a skin it does not hold, or a model that holds none.
    EXPECT_EQ(Cli({"--extract-skin", "3", Armor().string(), "-o", out}).status, kCannotLoad);
    EXPECT_EQ(Cli({"--extract-skin", "0", Armor().string(), "-o", dir.File("x.jpg")}).status,
              kUsage);
}

// Quake's paks: a model named inside one, the game's --models listing
// progs/, and magic, not the name, picking the reader.
TEST(HeldSkins, ModelsInIdPaksAndByTheirMagic) {
    if (!fs::exists(Armor()))
        GTEST_SKIP() << "no " << Armor();
    std::ifstream in(Armor(), std::ios::binary);
    const std::string mdl((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TempDir dir;
    const fs::path game = dir.path() / "id1";
    fs::create_directories(game);
    std::ofstream(game / "pak0.pak", std::ios::binary) << PakBytes({{"progs/armor.mdl", mdl}});
    const Outcome inPak =
        Cli({"--list", (game / "pak0.pak").make_preferred().string() + ":progs/armor.mdl"});
    ASSERT_EQ(inPak.status, kOk) << inPak.err;
    EXPECT_EQ(inPak.out, "0\tarmor\tskin 0\t141\t148\n");
    const Outcome models = Cli({"--game", game.string(), "--models"});
    ASSERT_EQ(models.status, kOk) << models.err;
    EXPECT_NE(models.out.find("progs/armor.mdl\t"), std::string::npos) << models.out;
    const Outcome byPath = Cli({"--game", game.string(), "--list", "progs/armor.mdl"});
    EXPECT_EQ(byPath.out, inPak.out) << byPath.err;

    std::ofstream(dir.File("armor.md3"), std::ios::binary) << mdl;
    const Outcome renamed = Cli({"--list", dir.File("armor.md3")});
    ASSERT_EQ(renamed.status, kOk) << renamed.err;
    EXPECT_EQ(renamed.out, "0\tarmor\tskin 0\t141\t148\n");
}
