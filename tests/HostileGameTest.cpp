// Games built to hurt: paks whose entries share one stream, name one file
// twice, or hold skins and scripts of megabytes; links out of the game;
// folders that cannot be read; more paks than descriptors. Each is written
// here, byte by byte where libzip would refuse to write it.
#include "flatten/Batch.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "tests/TestGame.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void Put16(std::string& out, uint32_t v) {
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// One entry's data as a zip holds it.
struct Stream {
    std::string data; // deflated (method 8) or stored (0)
    uint32_t crc = 0, size = 0;
    uint16_t method = 0;
};

Stream Stored(const std::string& text) {
    Stream s;
    s.data = text;
    s.size = uint32_t(text.size());
    s.crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(text.data()), uInt(text.size())));
    return s;
}

// `bytes` of one letter, deflated piece by piece (a bomb never held whole).
Stream Deflated(size_t bytes, char letter) {
    Stream s;
    s.method = 8;
    s.size = uint32_t(bytes);
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    const std::string piece(1 << 20, letter);
    char out[1 << 16];
    size_t done = 0;
    do {
        const size_t n = std::min(piece.size(), bytes - done);
        s.crc = uint32_t(crc32(s.crc, reinterpret_cast<const Bytef*>(piece.data()), uInt(n)));
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        z.avail_in = uInt(n);
        done += n;
        const int flush = done == bytes ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef*>(out);
            z.avail_out = sizeof out;
            deflate(&z, flush);
            s.data.append(out, sizeof out - z.avail_out);
        } while (z.avail_out == 0);
    } while (done < bytes);
    deflateEnd(&z);
    return s;
}

// A zip of named entries; `shared` makes every entry's central record point
// at the first entry's data, as a crafted pak does.
std::string Zip(const std::vector<std::pair<std::string, Stream>>& entries, bool shared = false) {
    std::string out, directory;
    uint32_t firstOffset = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& [name, s] = entries[i];
        uint32_t offset = uint32_t(out.size());
        if (!shared || i == 0) {
            Put32(out, 0x04034b50);
            Put16(out, 20);
            Put16(out, 0);
            Put16(out, s.method);
            Put32(out, 0);
            Put32(out, s.crc);
            Put32(out, uint32_t(s.data.size()));
            Put32(out, s.size);
            Put16(out, uint16_t(name.size()));
            Put16(out, 0);
            out += name;
            out += s.data;
            firstOffset = i == 0 ? offset : firstOffset;
        } else {
            offset = firstOffset;
        }
        Put32(directory, 0x02014b50);
        Put16(directory, 20);
        Put16(directory, 20);
        Put16(directory, 0);
        Put16(directory, s.method);
        Put32(directory, 0);
        Put32(directory, s.crc);
        Put32(directory, uint32_t(s.data.size()));
        Put32(directory, s.size);
        Put16(directory, uint16_t(name.size()));
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, 0);
        Put32(directory, offset);
        directory += name;
    }
    const uint32_t at = uint32_t(out.size());
    out += directory;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, uint16_t(entries.size()));
    Put16(out, uint16_t(entries.size()));
    Put32(out, uint32_t(directory.size()));
    Put32(out, at);
    Put16(out, 0);
    return out;
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

std::string AllOf(const std::vector<std::string>& problems) {
    std::string all;
    for (const std::string& p : problems)
        all += p + "\n";
    return all;
}

bool Says(const std::vector<std::string>& problems, const std::string& what) {
    return AllOf(problems).find(what) != std::string::npos;
}

} // namespace

TEST(HostileGame, EntriesThatShareOneStreamAreRefusedAndNamed) {
    TempDir dir;
    const fs::path base = dir.path() / "base";
    fs::create_directories(base);
    // A hundred names for one stream of 4 MB: read, 400 MB for 40 KB of pak.
    std::vector<std::pair<std::string, Stream>> entries;
    const Stream one = Deflated(4u << 20, 'a');
    for (int i = 0; i < 100; ++i)
        entries.emplace_back("scripts/s" + std::to_string(i) + ".shader", one);
    WriteWholeFile((base / "pak0.pk3").make_preferred().string(), Zip(entries, true));
    WriteWholeFile((base / "pak1.pk3").make_preferred().string(),
                   Zip({{"models/ok.txt", Stored("ok")}, {"models/other.txt", Stored("other")}}));
    GameFiles game;
    game.AddFolder(base.string());
    EXPECT_EQ(game.List("scripts/").size(), 0u);
    EXPECT_EQ(game.Find("scripts/s0.shader"), nullptr);
    EXPECT_TRUE(Says(game.problems(), "\"scripts/s7.shader\" shares its data with another entry"))
        << AllOf(game.problems());
    // Entries side by side are no overlap.
    EXPECT_EQ(Text(game, "models/ok.txt"), "ok");
    EXPECT_EQ(Text(game, "models/other.txt"), "other");
    GameTextures textures(game);
    EXPECT_TRUE(textures.problems().empty()) << AllOf(textures.problems());
}

TEST(HostileGame, OneBudgetBoundsWhatTheGamesPaksInflate) {
    TempDir dir;
    const fs::path base = dir.path() / "base";
    fs::create_directories(base);
    std::vector<std::pair<std::string, Stream>> entries;
    const Stream mb = Deflated(1u << 20, 'b');
    for (int i = 0; i < 8; ++i)
        entries.emplace_back("textures/t" + std::to_string(i) + ".tga", mb);
    WriteWholeFile((base / "pak0.pk3").make_preferred().string(), Zip(entries));
    GameFiles game;
    game.AddFolder(base.string());
    ASSERT_TRUE(game.problems().empty()) << AllOf(game.problems());
    game.SetInflateBudget(int64_t(3) << 20);
    int read = 0;
    std::string refused;
    for (int i = 0; i < 8; ++i) {
        const std::string text = Text(game, "textures/t" + std::to_string(i) + ".tga");
        if (text.rfind("(error)", 0) == 0)
            refused = text;
        else
            ++read;
    }
    EXPECT_EQ(read, 3);
    EXPECT_NE(refused.find("as many bytes as Gridwright reads of one game"), std::string::npos)
        << refused;

    // The scripts a game holds are read within their own bound: more files
    // than any game has are named, not read for ever.
    const fs::path many = dir.path() / "many";
    fs::create_directories(many);
    std::vector<std::pair<std::string, Stream>> scripts;
    for (size_t i = 0; i < kMaxShaderScripts + 50; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "scripts/s%05zu.shader", i);
        char text[96];
        std::snprintf(text, sizeof text, "textures/s%05zu { { map textures/i%05zu.tga } }", i, i);
        scripts.emplace_back(name, Stored(text));
    }
    scripts.emplace_back("textures/i00001.tga", Stored("x"));
    scripts.emplace_back("textures/i01060.tga", Stored("x"));
    WriteWholeFile((many / "pak0.pk3").make_preferred().string(), Zip(scripts));
    GameFiles big;
    big.AddFolder(many.string());
    GameTextures bigTextures(big);
    std::string script, problem;
    EXPECT_NE(bigTextures.Find("textures/s00001", script, problem), nullptr) << problem;
    EXPECT_EQ(bigTextures.Find("textures/s01060", script, problem), nullptr);
    EXPECT_TRUE(Says(bigTextures.problems(), "more shader scripts than Gridwright reads"))
        << AllOf(bigTextures.problems());
}

TEST(HostileGame, AFloodOfTokensIsRefusedWithoutKeepingThem) {
    // Valid in form: one shader whose body is a million and more words.
    std::string flood = "textures/flood {\n";
    flood.reserve(kMaxShaderScriptTokens * 2 + 64);
    for (size_t i = 0; i < kMaxShaderScriptTokens; ++i)
        flood += "a ";
    flood += "}\n";
    std::map<std::string, ShaderImage> shaders;
    std::string problem;
    ParseShaderScript(flood, "scripts/flood.shader", shaders, problem);
    EXPECT_NE(problem.find("scripts/flood.shader: line 2: more than 1048576 words"),
              std::string::npos)
        << problem;
    EXPECT_TRUE(shaders.empty());
    // A name of a megabyte is quoted short.
    ParseShaderScript("\x1b]2;" + std::string(1 << 20, 'n'), "scripts/n.shader", shaders, problem);
    EXPECT_NE(problem.find("has no body"), std::string::npos);
    EXPECT_LT(problem.size(), 200u);
    EXPECT_EQ(problem.find('\x1b'), std::string::npos);
    // Limits as given: just over them is refused, just under them is read.
    ParseShaderScript("x { { map a.tga } b c }", "scripts/s.shader", shaders, problem, {64, 8});
    EXPECT_NE(problem.find("more than 8 words"), std::string::npos) << problem;
    ParseShaderScript("x { { map a.tga } b c }", "scripts/s.shader", shaders, problem, {64, 9});
    EXPECT_EQ(problem, "");
    EXPECT_EQ(shaders["x"].image, "a.tga");
    ParseShaderScript("x { { map a.tga } b c }", "scripts/s.shader", shaders, problem, {16, 9});
    EXPECT_NE(problem.find("larger than"), std::string::npos) << problem;

    // In a game: a script past the size limit is refused as it is read, and
    // the others still count.
    TempDir dir;
    fs::create_directories(dir.path() / "scripts");
    fs::create_directories(dir.path() / "textures");
    std::string big = "textures/big {\n";
    while (big.size() <= kMaxShaderScriptBytes)
        big += "{ map textures/big.tga }\n";
    WriteWholeFile((dir.path() / "scripts/big.shader").make_preferred().string(), big + "}\n");
    WriteWholeFile((dir.path() / "scripts/ok.shader").make_preferred().string(),
                   "textures/ok { { map textures/ok.tga } }\n");
    WriteWholeFile((dir.path() / "textures/ok.tga").make_preferred().string(), "x");
    GameFiles game;
    game.AddFolder(dir.path().string());
    GameTextures textures(game);
    std::string script;
    EXPECT_NE(textures.Find("textures/ok", script, problem), nullptr) << problem;
    EXPECT_TRUE(Says(textures.problems(), "larger than 4096 KB, which no shader script is"))
        << AllOf(textures.problems());
}

TEST(HostileGame, SkinsStopInflatingAtTheirLimit) {
    TempDir dir;
    const fs::path base = dir.path() / "base";
    fs::create_directories(base);
    // 65 MB of skin: past even the limit of any game file, but it is a
    // skin's limit that stops it, after 64 KB.
    std::vector<std::pair<std::string, Stream>> entries;
    entries.emplace_back("models/x/upper_default.skin", Stored("u_torso,models/x/a.tga\n"));
    entries.emplace_back("models/x/upper_huge.skin", Deflated((65u << 20) + 1, ' '));
    for (int i = 0; i < 15; ++i)
        entries.emplace_back("models/x/upper_h" + std::to_string(i) + ".skin",
                             Deflated(4u << 20, ' '));
    WriteWholeFile((base / "pak0.pk3").make_preferred().string(), Zip(entries));
    GameFiles game;
    game.AddFolder(base.string());
    // Sixteen skins of megabytes within two: each stopped at its limit.
    game.SetInflateBudget(int64_t(2) << 20);
    const std::vector<Skin> skins = GameSkins(game, "models/x/upper.md3");
    ASSERT_EQ(skins.size(), 17u);
    EXPECT_EQ(skins[0].name, "default");
    EXPECT_EQ(skins[0].problem, "");
    ASSERT_EQ(skins[0].entries.size(), 1u);
    for (size_t i = 1; i < skins.size(); ++i)
        EXPECT_EQ(skins[i].problem, "it is larger than 64 KB, which no skin file is")
            << skins[i].name;
}

TEST(HostileGame, LinksLeadingOutOfTheGameAreNotFollowed) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need an administrator's privilege on Windows, and links "
                    "leading out are what this test is about";
#else
    TempDir dir;
    const fs::path base = dir.path() / "base", outside = dir.path() / "home";
    fs::create_directories(base / "models");
    fs::create_directories(outside / "models");
    WriteWholeFile((outside / "models/photo.tga").make_preferred().string(), "private");
    WriteWholeFile((outside / "secret.pk3").make_preferred().string(),
                   Zip({{"models/secret.txt", Stored("secret")}}));
    fs::create_directory_symlink(outside, base / "away.pk3dir");
    fs::create_symlink(outside / "secret.pk3", base / "away.pk3");
    fs::create_symlink(outside / "models/photo.tga", base / "models/linked.tga");
    // Links that stay inside the game are the game's.
    WriteWholeFile((base / "real.pk3").make_preferred().string(),
                   Zip({{"models/real.txt", Stored("real")}}));
    fs::create_symlink(base / "real.pk3", base / "zz-alias.pk3");
    GameFiles game;
    game.AddFolder(base.string());
    EXPECT_EQ(Text(game, "models/photo.tga"), "(none)");
    EXPECT_EQ(Text(game, "models/secret.txt"), "(none)");
    EXPECT_EQ(Text(game, "models/linked.tga"), "(none)");
    EXPECT_EQ(Text(game, "models/real.txt"), "real");
    EXPECT_NE(game.Find("models/real.txt")->origin.find("zz-alias.pk3"), std::string::npos);
    // A file that links out is listed under its own name, so that it can be
    // named with its problem, and reading it is refused.
    const std::vector<GameFile> listed = game.List("models/");
    for (const GameFile& file : listed)
        EXPECT_EQ(file.origin.find(outside.string()), std::string::npos) << file.origin;
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].gamePath, "models/linked.tga");
    const Result<SourceBytes> leak = game.Read(listed[0]);
    ASSERT_FALSE(leak.ok());
    EXPECT_NE(leak.error().reason.find("leads out of the game folder"), std::string::npos)
        << leak.error().Message();
    EXPECT_EQ(listed[1].gamePath, "models/real.txt");
    EXPECT_TRUE(Says(game.problems(), "away.pk3dir\" is a link that leads out of the game"))
        << AllOf(game.problems());
    EXPECT_TRUE(Says(game.problems(), "away.pk3\" is a link that leads out of the game"))
        << AllOf(game.problems());
#endif
}

TEST(HostileGame, FourHundredPaksFitUnderTwoHundredFiftySixDescriptors) {
#ifdef _WIN32
    GTEST_SKIP() << "the descriptor limit is set with setrlimit, which Windows lacks";
#else
    TempDir dir;
    const fs::path base = dir.path() / "base";
    fs::create_directories(base);
    for (int i = 0; i < 400; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "pak%03d.pk3", i);
        WriteWholeFile((base / name).make_preferred().string(),
                       Zip({{"models/m" + std::to_string(i) + ".txt", Stored(std::to_string(i))}}));
    }
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit few = before;
    few.rlim_cur = std::min<rlim_t>(256, before.rlim_max);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
    int read = 0;
    std::vector<std::string> problems;
    size_t open = 0;
    {
        GameFiles game;
        game.AddFolder(base.string());
        problems = game.problems();
        // Every pak read, twice over, in an order that reopens them.
        for (int pass = 0; pass < 2; ++pass)
            for (int i = 0; i < 400; ++i)
                read += Text(game, "models/m" + std::to_string(i) + ".txt") == std::to_string(i);
        open = Archive::OpenCount();
    }
    setrlimit(RLIMIT_NOFILE, &before);
    EXPECT_TRUE(problems.empty()) << AllOf(problems);
    EXPECT_EQ(read, 800);
    EXPECT_LE(open, kOpenArchives);
    EXPECT_EQ(Archive::OpenCount(), 0u);
#endif
}

TEST(HostileGame, AFolderThatCannotBeListedIsNamedAndTheRestListed) {
#ifdef _WIN32
    GTEST_SKIP() << "a folder is made unreadable with POSIX permission bits";
#else
    TempDir dir;
    const fs::path base = dir.path() / "base";
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
        fs::create_directories(base / "models" / name);
        WriteWholeFile((base / "models" / name / "m.md3").make_preferred().string(), "x");
    }
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    fs::permissions(base / "models/c", fs::perms::none);
    GameFiles game;
    game.AddFolder(base.string());
    std::vector<GameFile> listed;
    // The superuser reads any folder: the listing is made as nobody.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    listed = game.List("models/");
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    fs::permissions(base / "models/c", fs::perms::owner_all);
    EXPECT_EQ(listed.size(), 5u);
    for (const GameFile& file : listed)
        EXPECT_EQ(file.gamePath.find("models/c/"), std::string::npos);
    EXPECT_TRUE(Says(game.problems(),
                     "cannot list the folder \"" + (base / "models/c").make_preferred().string()))
        << AllOf(game.problems());
#endif
}

TEST(HostileGame, ANameStoredTwiceIsReadFromItsLastEntryEverywhere) {
    TempDir dir;
    const fs::path base = dir.path() / "base";
    fs::create_directories(base);
    const fs::path pak = base / "pak0.pk3";
    WriteWholeFile(pak.string(), Zip({{"models/a.txt", Stored("first")},
                                      {"Models/A.TXT", Stored("second")},
                                      {"models/b.txt", Stored("b")},
                                      {"models/a.txt", Stored("last")}}));
    GameFiles game;
    game.AddFolder(base.string());
    EXPECT_EQ(Text(game, "models/a.txt"), "last");
    const std::vector<GameFile> listed = game.List("models/");
    ASSERT_EQ(listed.size(), 2u);
    const Result<SourceBytes> fromList = game.Read(listed[0]);
    ASSERT_TRUE(fromList.ok());
    EXPECT_EQ(fromList.value().bytes->size(), 4u);
    // ARCHIVE:PATH takes the same one.
    const Result<GameModel> named = OpenGameModel(pak.string() + ":models/a.txt", {});
    ASSERT_TRUE(named.ok()) << named.error().Message();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(named.value().bytes.bytes->data()),
                          named.value().bytes.bytes->size()),
              "last");
    EXPECT_TRUE(Says(game.problems(), "the entry \"Models/A.TXT\" is stored more than once"))
        << AllOf(game.problems());
    EXPECT_TRUE(Says(named.value().files->problems(), "is stored more than once"));
}

TEST(HostileGame, AShaderOfTheNameBeatsAnImageOfTheName) {
    TempDir dir;
    fs::create_directories(dir.path() / "scripts");
    fs::create_directories(dir.path() / "models/x");
    WriteWholeFile((dir.path() / "scripts/x.shader").make_preferred().string(),
                   "models/x/skin { { map models/x/stage.tga } }\n"
                   "models/x/gone { { map models/x/nowhere.tga } }\n");
    for (const char* image : {"skin.tga", "stage.tga", "gone.jpg"})
        WriteWholeFile((dir.path() / "models/x" / image).make_preferred().string(), "x");
    GameFiles game;
    game.AddFolder(dir.path().string());
    GameTextures textures(game);
    std::string script, problem;
    const std::unique_ptr<GameFile> skin = textures.Find("models/x/skin.tga", script, problem);
    ASSERT_NE(skin, nullptr) << problem;
    EXPECT_EQ(skin->gamePath, "models/x/stage.tga");
    EXPECT_EQ(script, "scripts/x.shader");
    // The shader's image is missing: the engine draws its default, never the
    // image of the shader's own name; the problem names both.
    EXPECT_EQ(textures.Find("models/x/gone", script, problem), nullptr);
    EXPECT_EQ(script, "scripts/x.shader");
    EXPECT_NE(problem.find("\"models/x/gone\" (scripts/x.shader) names the image "
                           "\"models/x/nowhere.tga\""),
              std::string::npos)
        << problem;
    // Scripts read in the background answer the same.
    GameFiles again;
    again.AddFolder(dir.path().string());
    // Declared first so that it outlives the reader, which may call back
    // after Find has its answer.
    std::atomic<bool> told{false};
    GameTextures background(again);
    background.ReadScriptsInBackground([&] { told = true; });
    const std::unique_ptr<GameFile> waited = background.Find("models/x/skin", script, problem);
    ASSERT_NE(waited, nullptr);
    EXPECT_EQ(waited->gamePath, "models/x/stage.tga");
    EXPECT_TRUE(background.ScriptsRead());
}

TEST(HostileGame, ABatchReadsAModelsSkinsOnceForAllItsTemplates) {
    // The test game's default skin, moved into a pak and grown to near the
    // skin's limit; the game may inflate it once, and not again for each
    // template the skin gives.
    TempDir dir;
    const std::string model = WriteTestGame(dir.path().string());
    const fs::path bot = fs::path(model).parent_path();
    std::string skin = ReadWholeFile((bot / "upper_default.skin").make_preferred().string());
    fs::remove(bot / "upper_default.skin");
    fs::remove(bot / "upper_red.skin");
    while (skin.size() < 60 * 1024)
        skin += "// a long comment to take room\n";
    WriteWholeFile((dir.path() / "pak0.pk3").make_preferred().string(),
                   Zip({{"models/players/bot/upper_default.skin", Stored(skin)}}));
    auto run = [&](int64_t budget, const std::string& out) {
        GameFiles game;
        game.AddFolder(dir.path().string());
        game.SetInflateBudget(budget);
        GameTextures textures(game);
        BatchOptions options;
        options.outDir = (dir.path() / out).make_preferred().string();
        options.sizeFromTexture = false;
        options.style.width = options.style.height = 16;
        std::string lines;
        for (BatchEntry& e : RunBatch(game, textures, options)) {
            e.output.clear();
            lines += ManifestLine(e) + "\n";
        }
        return lines;
    };
    const std::string unbounded = run(kGameInflateBudget, "a");
    EXPECT_GE(std::count(unbounded.begin(), unbounded.end(), '\n'), 3) << unbounded;
    EXPECT_NE(unbounded.find("\"skin\": \"default\""), std::string::npos) << unbounded;
    EXPECT_EQ(run(int64_t(100) << 10, "b"), unbounded);
}
