// Which texture each surface wears and what it looks like, on a small game
// folder written by the test: .skin files, texture names found as the games
// find them, images decoded in the right row order, and the texture under
// the layout.
#include "game/ModelGame.h"
#include "image/TextureImage.h"
#include "model/Md3Reader.h"
#include "model/SkinFile.h"
#include "model/TextureFinder.h"
#include "render/TemplateImage.h"
#include "tests/TestGame.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The file a texture name leads to, or "" and why not.
std::string FileFor(const std::string& model, const std::string& name, std::string& problem) {
    const Result<std::string> found = FindTextureFile(model, name);
    problem = found.ok() ? "" : found.error().reason;
    return found.ok() ? found.value() : "";
}

} // namespace

TEST(SkinFiles, ParseSurfaceTexturePairsAndSkipCommentsTagsAndNoise) {
    const std::vector<SkinEntry> entries = ParseSkin("// header\n"
                                                     "tag_torso,\n"
                                                     "TAG_weapon,models/x/y.tga\n"
                                                     "  u_torso , models/a/b.tga // why\r\n"
                                                     "\"u_arm\",\"models/a/c\"\n"
                                                     "no comma here\n"
                                                     ",textures/orphan.tga\n"
                                                     "u_legs,\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].surface, "u_torso");
    EXPECT_EQ(entries[0].texture, "models/a/b.tga");
    EXPECT_EQ(entries[1].surface, "u_arm");
    EXPECT_EQ(entries[1].texture, "models/a/c");
    EXPECT_EQ(entries[2].texture, "");
    Skin skin{"default", "x.skin", entries, {}};
    EXPECT_EQ(skin.TextureOf("U_TORSO"), "models/a/b.tga");
    EXPECT_EQ(skin.TextureOf("u_head"), "");
}

TEST(Textures, EverySurfaceResolvesAsTheGameFindsIt) {
    TempDir dir;
    const std::string model = WriteTestGame(dir.path().string());
    const RecordingView view = LoadPath(model);
    ASSERT_TRUE(view.failures.empty());
    const std::vector<Skin> skins = FindSkins(model);
    ASSERT_EQ(skins.size(), 2u);
    EXPECT_EQ(skins[0].name, "default");
    EXPECT_EQ(skins[1].name, "red");
    const std::string bot = (dir.path() / "models/players/bot/").make_preferred().string();
    struct Expected {
        const char *surface, *name, *origin, *file;
    };
    const Expected expected[] = {
        {"u_torso", "models/players/bot/torso.tga", "skin:upper_default.skin", "torso.tga"},
        {"u_arm", "models\\players\\bot\\arm.tga", "skin:upper_default.skin", "arm.jpg"},
        {"u_belt", "models/players/bot/belt", "skin:upper_default.skin", "belt.tga"},
        {"u_pack", "models/players/bot/pack.tga", "skin:upper_default.skin", "pack.png"},
        {"u_gone", "models/players/bot/gone.tga", "skin:upper_default.skin", ""},
        {"u_bad", "models/players/bot/bad.tga", "skin:upper_default.skin", "bad.tga"},
        {"u_own", "models/players/bot/belt", "model", "belt.tga"},
        {"u_escape", "../../../../secret", "model", ""},
    };
    for (int i = 0; i < 8; ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.surface);
        ASSERT_EQ(view.model.surfaces[size_t(i)].name, e.surface);
        const SurfaceTexture t = FindSurfaceTexture(
            model, e.surface, view.model.surfaces[size_t(i)].shaderName, &skins[0]);
        EXPECT_EQ(t.name, e.name);
        EXPECT_EQ(t.origin, e.origin);
        EXPECT_EQ(t.file, *e.file ? bot + e.file : std::string());
        EXPECT_EQ(t.problem.empty(), *e.file != 0) << t.problem;
    }
    // The red skin gives the torso another texture; the arm, which it does not
    // name, wears the model's own (none).
    SurfaceTexture red = FindSurfaceTexture(model, "u_torso", "", &skins[1]);
    EXPECT_EQ(red.file, bot + "torso_red.tga");
    EXPECT_EQ(red.origin, "skin:upper_red.skin");
    red = FindSurfaceTexture(model, "u_arm", "", &skins[1]);
    EXPECT_EQ(red.origin, "model");
    EXPECT_EQ(red.problem, "the surface names no texture");
    // A name that climbs out of the game's folder is never followed there.
    std::string problem;
    EXPECT_EQ(FileFor(model, "models/../../secret.tga", problem), "");
}

TEST(Textures, ImagesDecodeInTheirOwnRowOrder) {
    TempDir dir;
    WriteTestGame(dir.path().string());
    const fs::path bot = dir.path() / "models/players/bot";
    struct Expected {
        const char* file;
        int width, height, r, g, b;
    };
    // torso: bottom-up TGA; torso_red: top-down TGA; belt: top-down run-length TGA.
    const Expected expected[] = {{"torso.tga", 16, 8, 200, 40, 40},
                                 {"torso_red.tga", 8, 8, 250, 0, 0},
                                 {"belt.tga", 32, 4, 40, 40, 200},
                                 {"arm.jpg", 16, 16, 40, 200, 40},
                                 {"pack.png", 8, 24, 90, 90, 90}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.file);
        TextureImage image;
        const Status loaded = LoadTexture((bot / e.file).make_preferred().string(), image);
        ASSERT_TRUE(loaded.ok()) << loaded.error().Message();
        EXPECT_EQ(image.width, e.width);
        EXPECT_EQ(image.height, e.height);
        auto near = [](int a, int b) { return std::abs(a - b) <= 12; }; // JPEG is lossy
        const uint8_t* corner = &image.rgba[0];
        EXPECT_TRUE(near(corner[0], kCornerR) && near(corner[1], kCornerG) &&
                    near(corner[2], kCornerB))
            << int(corner[0]) << "," << int(corner[1]) << "," << int(corner[2]);
        const uint8_t* far =
            &image.rgba[(size_t(image.height - 1) * size_t(image.width) + size_t(image.width - 1)) *
                        4];
        EXPECT_TRUE(near(far[0], e.r) && near(far[1], e.g) && near(far[2], e.b));
    }
    TextureImage broken;
    const Status bad = LoadTexture((bot / "bad.tga").make_preferred().string(), broken);
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().Message().rfind("Cannot read the texture \"" +
                                              (bot / "bad.tga").make_preferred().string() +
                                              "\": it is not an image Gridwright can read (",
                                          0),
              0u)
        << bad.error().Message();
    EXPECT_FALSE(LoadTexture((bot / "gone.tga").make_preferred().string(), broken).ok());
}

TEST(Textures, TheUnderlayShowsTheTextureAtItsOpacityAwayFromTheLines) {
    TempDir dir;
    WriteTestGame(dir.path().string());
    TextureImage texture;
    ASSERT_TRUE(LoadTexture((dir.path() / "models/players/bot/torso.tga").make_preferred().string(),
                            texture)
                    .ok());
    TestRecord r;
    r.SetVertices({{0.25, 0.25}, {0.75, 0.25}, {0.5, 0.75}});
    r.AddTriangle(0, 1, 2);
    for (const double opacity : {0.5, 0.25, 1.0}) {
        TemplateStyle style;
        style.width = 64;
        style.height = 32;
        style.underlay = &texture;
        style.underlayOpacity = opacity;
        const TemplateImage image = DrawTemplateImage(style, {r.record});
        // Away from the lines and the corner: the texture's red over white.
        const uint32_t p = image.At(56, 26);
        auto blend = [opacity](int c) { return int(c * opacity + 255 * (1 - opacity) + 0.5); };
        EXPECT_NEAR(int((p >> 16) & 0xFF), blend(200), 2) << opacity;
        EXPECT_NEAR(int((p >> 8) & 0xFF), blend(40), 2) << opacity;
        EXPECT_NEAR(int(p & 0xFF), blend(40), 2) << opacity;
        // The lines stay on top, black.
        EXPECT_EQ(image.At(32, 8) & 0xFFFFFF, 0u);
    }
}

// A mod unpacked anywhere may name any file: nothing outside its game folder
// is read, however the name or a link tries to get there.
TEST(Textures, NamesAndSkinsNeverLeaveTheGameFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need an administrator's privilege on Windows, and links "
                    "leading out are what this test is about";
#else
    TempDir dir;
    // ~/Downloads/mod/models/players/bot/upper.md3 beside ~/Pictures/holiday.png.
    const fs::path home = dir.path(), mod = home / "Downloads/mod";
    const std::string model = WriteTestGame(mod.string());
    const fs::path bot = mod / "models/players/bot";
    fs::create_directories(home / "Pictures");
    fs::copy_file(bot / "torso.tga", home / "Pictures/holiday.png");
    EXPECT_EQ(GameFolderOf(model), mod.string());
    std::string problem;
    EXPECT_EQ(FileFor(model, "Pictures/holiday", problem), "");
    EXPECT_NE(problem.find(mod.string()), std::string::npos) << problem;
    // A texture that links out of the game is not followed.
    fs::create_symlink(home / "Pictures/holiday.png", bot / "linked.png");
    EXPECT_EQ(FileFor(model, "models/players/bot/linked", problem), "");

    // A skin that links out of the game, and one too large to be a skin, are
    // listed with their problem and never read.
    WriteWholeFile((home / "secret.txt").make_preferred().string(), "u_torso,token-1234\n");
    fs::create_symlink(home / "secret.txt", bot / "upper_leak.skin");
    WriteWholeFile((bot / "upper_huge.skin").make_preferred().string(),
                   std::string(kMaxSkinBytes + 1, 'x'));
    const std::vector<Skin> skins = FindSkins(model);
    ASSERT_EQ(skins.size(), 4u);
    for (const Skin& s : skins) {
        SCOPED_TRACE(s.name);
        if (s.name == "leak")
            EXPECT_NE(s.problem.find("leads out of the game folder"), std::string::npos);
        else if (s.name == "huge")
            EXPECT_NE(s.problem.find("larger than 64 KB"), std::string::npos);
        else
            EXPECT_EQ(s.problem, "");
        for (const SkinEntry& e : s.entries)
            EXPECT_EQ(e.texture.find("token"), std::string::npos);
    }
    Skin loaded;
    const Result<const Skin*> leak = ChooseSkin(skins, "leak", loaded);
    ASSERT_FALSE(leak.ok());
    EXPECT_NE(leak.error().Message().find("upper_leak.skin"), std::string::npos)
        << leak.error().Message();
#endif
}

// As the game searches: the name as given, then .tga before .jpg, .jpeg and
// .png; and a name with ".." is refused even where it would stay inside.
TEST(Textures, ExtensionsAreTriedInTheGamesOrderAndDotDotIsNoName) {
    TempDir dir;
    const std::string model = WriteTestGame(dir.path().string());
    const fs::path bot = dir.path() / "models/players/bot";
    fs::copy_file(bot / "arm.jpg", bot / "both.jpg");
    fs::copy_file(bot / "torso.tga", bot / "both.tga");
    fs::copy_file(bot / "pack.png", bot / "both.png");
    std::string problem;
    EXPECT_EQ(FileFor(model, "models/players/bot/both.png", problem),
              (bot / "both.png").make_preferred().string()); // as given first
    EXPECT_EQ(FileFor(model, "models/players/bot/both.jpg", problem),
              (bot / "both.jpg").make_preferred().string());
    EXPECT_EQ(FileFor(model, "models/players/bot/both.bmp", problem),
              (bot / "both.tga").make_preferred().string());
    EXPECT_EQ(FileFor(model, "models/players/bot/both", problem),
              (bot / "both.tga").make_preferred().string());
    EXPECT_EQ(FileFor(model, "models/../models/players/bot/torso.tga", problem), "");
    EXPECT_NE(problem.find("is not a texture name"), std::string::npos) << problem;
    for (const char* name : {"textures/../../x.tga", "models/players/../players/bot/torso.tga",
                             "models/players/bot/../bot/torso"}) {
        problem.clear();
        EXPECT_EQ(FileFor(model, name, problem), "") << name;
        EXPECT_NE(problem.find("is not a texture name"), std::string::npos) << problem;
    }
}
