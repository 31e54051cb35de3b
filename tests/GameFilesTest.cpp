// A game's files as the engine merges them, on folders and archives the
// tests write with libzip: which file wins, names in any case, shader
// scripts, and hostile archives refused with the archive and entry named.
#include "game/GameFiles.h"
#include "game/Archive.h"
#include "game/ShaderScripts.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Writes a zip of (name, content) pairs, deflated.
void WriteZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& files,
              const char* password = nullptr) {
    int error = 0;
    zip_t* zip = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, content] : files) {
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        const zip_int64_t index = zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_RAW);
        ASSERT_GE(index, 0) << zip_strerror(zip);
        // AES needs a crypto library, which a libzip may be built without.
        const zip_uint16_t method = zip_encryption_method_supported(ZIP_EM_AES_256, 1)
                                        ? ZIP_EM_AES_256
                                        : ZIP_EM_TRAD_PKWARE;
        if (password) {
            ASSERT_EQ(zip_file_set_encryption(zip, zip_uint64_t(index), method, password), 0)
                << zip_strerror(zip);
        }
    }
    ASSERT_EQ(zip_close(zip), 0);
}

std::string Text(const GameFiles& game, const std::string& path) {
    const std::unique_ptr<GameFile> file = game.Find(path);
    if (!file)
        return "(none)";
    const Result<SourceBytes> read = game.Read(*file);
    if (!read.ok())
        return "(error) " + read.error().Message();
    const Bytes& b = *read.value().bytes;
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

} // namespace

TEST(GameFiles, PaksLooseFilesAndModsWinAsInTheEngine) {
    TempDir dir;
    const fs::path base = dir.path() / "base", mod = dir.path() / "mod";
    fs::create_directories(base);
    fs::create_directories(mod);
    WriteZip(base / "pak0.pk3", {{"models/a.txt", "pak0"}, {"models/only0.txt", "only0"}});
    WriteZip(base / "PAK2.pk3", {{"models/a.txt", "pak2"}});
    WriteZip(base / "pak10.pk3", {{"Models\\A.TXT", "pak10"}}); // sorts before PAK2 without case
    GameFiles game;
    game.AddFolder(base.string());
    EXPECT_EQ(Text(game, "models/a.txt"), "pak2");       // the pak whose name sorts last
    EXPECT_EQ(Text(game, "MODELS\\Only0.TXT"), "only0"); // any case, either slash
    EXPECT_EQ(game.Find("models/a.txt")->origin,
              (base / "PAK2.pk3").make_preferred().string() + ":models/a.txt");

    // A .pk3dir folder beats the paks; a loose file beats both.
    fs::create_directories(base / "z.pk3dir/models");
    std::ofstream(base / "z.pk3dir/models/a.txt") << "pk3dir";
    GameFiles withDir;
    withDir.AddFolder(base.string());
    EXPECT_EQ(Text(withDir, "models/a.txt"), "pk3dir");
    fs::create_directories(base / "Models");
    std::ofstream(base / "Models/A.txt") << "loose";
    GameFiles withLoose;
    withLoose.AddFolder(base.string());
    EXPECT_EQ(Text(withLoose, "models/a.txt"), "loose");
    EXPECT_FALSE(withLoose.Find("models/a.txt")->inArchive);

    // A mod folder beats the base, even the base's loose files.
    WriteZip(mod / "zz-mod.pk3", {{"models/a.txt", "mod"}});
    withLoose.AddFolder(mod.string());
    EXPECT_EQ(Text(withLoose, "models/a.txt"), "mod");
    // The merged listing holds each game path once, the winner's.
    const std::vector<GameFile> listed = withLoose.List("models/");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].gamePath, "models/a.txt");
    EXPECT_NE(listed[0].origin.find("zz-mod.pk3:"), std::string::npos);
    // Names that could leave the game are no names.
    for (const char* bad : {"../secret.txt", "/etc/passwd", "models/../../x", "a::b", "C:/x"})
        EXPECT_EQ(withLoose.Find(bad), nullptr) << bad;
}

// ".." anywhere in a name makes it no game path, even where the walk would
// stay inside the game: the engine compares names, it never resolves them.
TEST(GameFiles, DotDotAfterTheFirstPartIsNoGamePath) {
    for (const char* bad : {"textures/../../x.tga", "textures/../models/a.txt", "models/a/..",
                            "models\\..\\models\\a.txt"})
        EXPECT_FALSE(IsGamePath(bad)) << bad;
    for (const char* good : {"textures/..x/a.tga", "textures/x../a.tga", "./models/a.txt"})
        EXPECT_TRUE(IsGamePath(good)) << good;
    TempDir dir;
    const fs::path base = dir.path() / "base";
    fs::create_directories(base / "models");
    fs::create_directories(base / "textures");
    std::ofstream(base / "models/a.txt") << "inside";
    GameFiles game;
    game.AddFolder(base.string());
    EXPECT_EQ(Text(game, "models/a.txt"), "inside");
    EXPECT_EQ(Text(game, "textures/../models/a.txt"), "(none)");
    EXPECT_EQ(Text(game, "textures\\..\\models\\a.txt"), "(none)");
    // A pak's entry so named is left out, and said to be.
    WriteZip(base / "pak0.pk3", {{"textures/../../x.tga", "out"}, {"models/b.txt", "b"}});
    GameFiles paked;
    paked.AddFolder(base.string());
    EXPECT_EQ(Text(paked, "models/b.txt"), "b");
    ASSERT_EQ(paked.problems().size(), 1u);
    EXPECT_NE(paked.problems()[0].find("\"textures/../../x.tga\" is not a game path"),
              std::string::npos)
        << paked.problems()[0];
}

TEST(GameFiles, HostileArchivesAreRefusedNamingTheArchiveAndTheEntry) {
    TempDir dir;
    const fs::path base = dir.path() / "base";
    fs::create_directories(base);
    // An entry of 100 MB of zeros: more than any game file; refused while
    // inflating, whatever the directory says.
    WriteZip(base / "bomb.pk3", {{"models/bomb.tga", std::string(100u << 20, '\0')},
                                 {"../escape.txt", "out"},
                                 {"models/ok.txt", "ok"}});
    GameFiles game;
    game.AddFolder(base.string());
    const std::string bomb = Text(game, "models/bomb.tga");
    EXPECT_NE(bomb.find("bomb.pk3:models/bomb.tga"), std::string::npos) << bomb;
    EXPECT_NE(bomb.find("more than 64 MB"), std::string::npos) << bomb;
    EXPECT_EQ(Text(game, "models/ok.txt"), "ok");
    ASSERT_EQ(game.problems().size(), 1u);
    EXPECT_NE(game.problems()[0].find("\"../escape.txt\" is not a game path"), std::string::npos)
        << game.problems()[0];

    // Encrypted entries, a damaged entry (CRC), a cut archive, a broken directory.
    WriteZip(base / "locked.pk3", {{"models/locked.txt", "secret"}}, "password");
    GameFiles locked;
    locked.AddFolder(base.string());
    EXPECT_NE(Text(locked, "models/locked.txt")
                  .find("locked.pk3:models/locked.txt\": the entry is "
                        "encrypted"),
              std::string::npos)
        << Text(locked, "models/locked.txt");

    const fs::path damaged = dir.path() / "damaged.pk3";
    WriteZip(damaged, {{"models/x.txt", std::string(5000, 'x')}});
    std::string bytes = ReadWholeFile(damaged.string());
    const size_t data = bytes.find("models/x.txt") + 12;
    bytes[data + 3] ^= 0x5A; // inside the deflated data
    WriteWholeFile(damaged.string(), bytes);
    GameFiles one;
    ASSERT_TRUE(one.AddArchive(damaged.string()).ok());
    const std::string read = Text(one, "models/x.txt");
    EXPECT_NE(read.find("(error)"), std::string::npos) << read;
    EXPECT_NE(read.find("damaged.pk3:models/x.txt"), std::string::npos) << read;

    const fs::path cut = dir.path() / "cut.pk3";
    WriteWholeFile(cut.string(), bytes.substr(0, bytes.size() / 2));
    GameFiles none;
    const Status opened = none.AddArchive(cut.string());
    ASSERT_FALSE(opened.ok());
    EXPECT_NE(opened.error().Message().find(cut.string()), std::string::npos);
    const fs::path broken = dir.path() / "broken.pk3";
    WriteZip(broken, {{"models/y.txt", "y"}});
    std::string directory = ReadWholeFile(broken.string());
    directory[directory.rfind("PK\x01\x02") + 10] ^= 0x7F; // the central record's method
    WriteWholeFile(broken.string(), directory);
    const Status brokenOpened = none.AddArchive(broken.string());
    if (brokenOpened.ok()) { // some damage is only seen when the entry is read
        EXPECT_NE(Text(none, "models/y.txt").find("broken.pk3:models/y.txt"), std::string::npos);
    } else {
        EXPECT_NE(brokenOpened.error().Message().find(broken.string()), std::string::npos);
    }
}

TEST(ShaderScripts, TheFirstDrawingStageNamesTheImage) {
    std::map<std::string, ShaderImage> shaders;
    std::string problem;
    ParseShaderScript("// the hive\n"
                      "models/buildables/hive/hive_strands_s\n"
                      "{\n"
                      "  cull none /* both sides */\n"
                      "  {\n"
                      "    map $lightmap\n"
                      "    rgbGen identity\n"
                      "  }\n"
                      "  {\n"
                      "    map \"models/buildables/hive/hive_strands.tga\"\n"
                      "    blendFunc filter\n"
                      "  }\n"
                      "  { clampMap models/other.tga }\n"
                      "}\n"
                      "Models/Anim{{animMap 10 models/a1.tga models/a2.tga}}\n"
                      "textures/white { { map $whiteimage } }\n",
                      "scripts/hive.shader", shaders, problem);
    EXPECT_EQ(problem, "");
    ASSERT_EQ(shaders.size(), 2u);
    EXPECT_EQ(shaders["models/buildables/hive/hive_strands_s"].image,
              "models/buildables/hive/hive_strands.tga");
    EXPECT_EQ(shaders["models/anim"].image, "models/a1.tga");
    EXPECT_EQ(shaders["models/anim"].script, "scripts/hive.shader");
    // A script that breaks off is left out whole and says where.
    std::map<std::string, ShaderImage> none;
    ParseShaderScript("a { { map x.tga }\n\nb { { map y.tga } }", "scripts/bad.shader", none,
                      problem);
    EXPECT_TRUE(none.empty());
    EXPECT_NE(problem.find("scripts/bad.shader: line"), std::string::npos) << problem;
}
