// The skin's check, its pak and new skins, run through the command line on
// games written here (and on the real game when it is there): what goes in
// the pak is read back through our own archive reader and `unzip -t`.
#include "flatten/SkinPack.h"
#include "game/Archive.h"
#include "tests/CliRun.h"
#include "tests/Md3Builder.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::string>; // game path -> bytes

const std::string kBot = "models/players/bot/";

std::string Md3Of(const std::string& surface) {
    Md3ModelDesc model;
    Md3SurfaceDesc s;
    s.name = surface;
    s.shaders.push_back({"models/players/bot/unused", 0});
    s.uv = {{0.1f, 0.1f}, {0.9f, 0.1f}, {0.5f, 0.9f}};
    s.triangles = {{0, 1, 2}};
    model.surfaces.push_back(s);
    const std::vector<uint8_t> bytes = BuildMd3(model).bytes;
    return {bytes.begin(), bytes.end()};
}

void Put(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

void PutZip(const fs::path& path, const Files& files) {
    int error = 0;
    zip_t* zip = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, content] : files) {
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_RAW), 0);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

// A player whose parts, animation and icon ship in pak0.pk3 with two
// pictures; loose beside them the skin: one picture equal to the pak's, one
// changed, one new, and a head wearing a shader of two stages.
struct BotGame {
    fs::path root;
    Files pak, loose;
    std::string model() const {
        return (root / "pak0.pk3").make_preferred().string() + ":" + kBot + "upper.md3";
    }
    void Write() const {
        for (const auto& [path, bytes] : loose)
            Put(root / path, bytes);
        PutZip(root / "pak0.pk3", pak);
    }
};

BotGame MakeBot(const fs::path& root) {
    BotGame g{root, {}, {}};
    g.pak = {{kBot + "lower.md3", Md3Of("l_legs")}, {kBot + "upper.md3", Md3Of("u_torso")},
             {kBot + "head.md3", Md3Of("h_head")},  {kBot + "animation.cfg", "sex m\n"},
             {kBot + "icon_default.tga", "icon"},   {kBot + "same.tga", "same bytes"},
             {kBot + "changed.tga", "as shipped"}};
    g.loose = {{kBot + "same.tga", "same bytes"},
               {kBot + "changed.tga", "painted again"},
               {kBot + "new.tga", "a new picture"},
               {kBot + "glow.tga", "glow"},
               {kBot + "f1.jpg", "frame one"},
               {kBot + "f2.tga", "frame two"},
               {"scripts/bot.shader", "models/players/bot/glow\n{\n\t{\n\t\tmap "
                                      "models/players/bot/glow.tga\n\t}\n\t{\n\t\tanimMap 2 "
                                      "models/players/bot/f1.jpg models/players/bot/f2.tga\n"
                                      "\t\tblendFunc add\n\t}\n}\n"},
               {kBot + "lower_default.skin", "l_legs,models/players/bot/new.tga\n"},
               {kBot + "upper_default.skin", "tag_head,\nu_torso,models/players/bot/same.tga\n"
                                             "u_arm,models/players/bot/changed.tga\n"},
               {kBot + "head_default.skin", "h_head,models/players/bot/glow\n"}};
    return g;
}

// The entries of a pak as our reader reads them: name -> bytes.
Files ReadPak(const std::string& path) {
    Files files;
    Result<std::shared_ptr<Archive>> archive = Archive::Open(path);
    EXPECT_TRUE(archive.ok()) << (archive.ok() ? "" : archive.error().Message());
    if (!archive.ok())
        return files;
    for (const ArchiveEntry& entry : archive.value()->entries()) {
        Result<SourceBytes> bytes = archive.value()->Read(entry);
        EXPECT_TRUE(bytes.ok()) << entry.name;
        if (bytes.ok())
            files[entry.name].assign(reinterpret_cast<const char*>(bytes.value().bytes->data()),
                                     bytes.value().bytes->size());
    }
    return files;
}

Files Pick(const BotGame& g, const std::set<std::string>& names) {
    Files picked;
    for (const std::string& name : names)
        picked[name] = g.loose.count(name) ? g.loose.at(name) : g.pak.at(name);
    return picked;
}

bool HasUnzip() {
    return std::system("command -v unzip >/dev/null 2>&1") == 0;
}

} // namespace

TEST(SkinPack, NewAndChangedFilesGoInWithTheShadersStagesAndFullAddsTheRest) {
    TempDir dir;
    BotGame g = MakeBot(dir.path() / "game");
    g.Write();
    const std::string a = dir.File("a.pk3"), b = dir.File("b.pk3"), full = dir.File("full.pk3");
    const Outcome first = Cli({g.model(), "--pack", a});
    ASSERT_EQ(first.status, kOk) << first.err;
    const std::set<std::string> skinFiles = {kBot + "lower_default.skin",
                                             kBot + "upper_default.skin",
                                             kBot + "head_default.skin",
                                             kBot + "changed.tga",
                                             kBot + "new.tga",
                                             kBot + "glow.tga",
                                             kBot + "f1.jpg",
                                             kBot + "f2.tga",
                                             "scripts/bot.shader"};
    // same.tga ships in the pak with the same bytes: left out.
    EXPECT_EQ(ReadPak(a), Pick(g, skinFiles));
    ASSERT_EQ(Cli({g.model(), "--pack", b}).status, kOk);
    EXPECT_EQ(ReadWholeFile(a), ReadWholeFile(b)) << "two runs differ";

    const Outcome all = Cli({g.model(), "--pack", full, "--full"});
    ASSERT_EQ(all.status, kOk) << all.err;
    std::set<std::string> everything = skinFiles;
    for (const char* name :
         {"same.tga", "lower.md3", "upper.md3", "head.md3", "animation.cfg", "icon_default.tga"})
        everything.insert(kBot + name);
    EXPECT_EQ(ReadPak(full), Pick(g, everything));

    if (!HasUnzip())
        GTEST_SKIP() << "no unzip to test the paks with";
    for (const std::string& pak : {a, full})
        EXPECT_EQ(std::system(("unzip -tq '" + pak + "' >/dev/null").c_str()), 0) << pak;
}

TEST(SkinPack, TheCheckListsWhereEachFileComesFromAndWhetherThePakShipsIt) {
    TempDir dir;
    BotGame g = MakeBot(dir.path() / "game");
    g.Write();
    const Outcome run = Cli({g.model(), "--check-skin"});
    ASSERT_EQ(run.status, kOk) << run.err;
    std::map<std::string, std::string> state;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const auto tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
        const auto tab3 = line.find('\t', tab2 + 1);
        ASSERT_NE(tab3, std::string::npos) << line;
        state[line.substr(0, tab1)] = line.substr(tab2 + 1, tab3 - tab2 - 1);
    }
    EXPECT_EQ(state[kBot + "same.tga"], "shipped");
    EXPECT_EQ(state[kBot + "changed.tga"], "changed");
    EXPECT_EQ(state[kBot + "new.tga"], "new");
    EXPECT_EQ(state[kBot + "upper.md3"], "shipped");
    EXPECT_EQ(state["scripts/bot.shader"], "new");
    EXPECT_EQ(run.err.find("icon_"), std::string::npos) << run.err;

    // Without its icon the game will not load the skin: said, naming the
    // file to add, and the pak still written (an icon may come from elsewhere).
    g.pak.erase(kBot + "icon_default.tga");
    g.Write();
    const std::string out = dir.File("no-icon.pk3");
    const Outcome pack = Cli({g.model(), "--pack", out});
    EXPECT_EQ(pack.status, kOk) << pack.err;
    EXPECT_NE(pack.err.find(kBot + "icon_default.tga is missing"), std::string::npos) << pack.err;
    EXPECT_TRUE(fs::exists(out));
}

// Every rule broken at once: each said on its line, naming the file, and
// neither the check passes nor the pak is written.
TEST(SkinPack, EveryBrokenRuleIsSaidAtOnceAndNothingIsWritten) {
    TempDir dir;
    BotGame g = MakeBot(dir.path() / "game");
    const std::string longName = kBot + std::string(60, 'x') + ".tga"; // 83 bytes
    g.loose[longName] = "long";
    g.loose[kBot + "only.png"] = "a png";
    g.loose[kBot + "my paint.tga"] = "spaced";
    g.loose[kBot + "CHANGED.tga"] = g.loose[kBot + "changed.tga"];
    g.loose.erase(kBot + "changed.tga");
    g.loose[kBot + "NEW.tga"] = "a twin";
    g.loose[kBot + "upper_default.skin"] = "u_torso," + longName +
                                           "\nu_arm,models/players/bot/CHANGED.tga\n"
                                           "u_hand,models/players/bot/only.tga\n"
                                           "u_foot,models/players/bot/missing.tga\n"
                                           "u_leg,models/players/bot/my paint.tga\n";
    g.Write();
    const std::string out = dir.File("out.pk3");
    const Outcome pack = Cli({g.model(), "--pack", out});
    EXPECT_EQ(pack.status, kSkinProblem) << pack.err;
    EXPECT_FALSE(fs::exists(out));
    const Outcome check = Cli({g.model(), "--check-skin"});
    EXPECT_EQ(check.status, kSkinProblem);
    for (const std::string* run : {&pack.err, &check.err}) {
        // One line each, each naming the file concerned.
        for (const std::string& said :
             {longName + "\" of u_torso is 83 bytes long",
              std::string("only.tga\", but the game holds only \"") + kBot + "only.png",
              std::string("missing.tga\" of u_foot resolves to nothing"),
              std::string("my paint.tga\" of u_leg holds a space"),
              kBot + "CHANGED.tga differs only in letter case from",
              std::string("NEW.tga\", whose name differs only in letter case")})
            EXPECT_NE(run->find(said), std::string::npos) << said << "\n" << *run;
    }
    EXPECT_NE(pack.err.find("1.32 release"), std::string::npos) << "which engines load nothing";
}

TEST(SkinPack, NamesAreCheckedByTheEnginesReadingOfThem) {
    EXPECT_EQ(GameNameProblem(std::string(63, 'a')), "");
    EXPECT_NE(GameNameProblem(std::string(64, 'a')), "");
    for (const char* bad :
         {"a b", "a,b", "a\"b", "a\\b", "a:b", "a//b", "a/*b", "../a", "a\tb", "caf\xc3\xa9"})
        EXPECT_NE(GameNameProblem(bad), "") << bad;
    EXPECT_EQ(GameNameProblem("models/players/x/Upper_Red-2.tga"), "");
}

TEST(SkinPack, ANewSkinIsCopiedChecksAndPacksAndIsNeverWrittenOver) {
    TempDir dir;
    BotGame g = MakeBot(dir.path() / "game");
    g.Write();
    // The model is inside a pak: the loose files need a folder.
    const Outcome noFolder = Cli({g.model(), "--new-skin", "blue"});
    EXPECT_EQ(noFolder.status, kUsage) << noFolder.err;
    const Outcome made = Cli({g.model(), "--new-skin", "blue", "-o", g.root.string()});
    ASSERT_EQ(made.status, kOk) << made.err;
    EXPECT_NE(made.out.find("team games"), std::string::npos) << made.out;
    EXPECT_EQ(ReadWholeFile((g.root / kBot / "changed_blue.tga").string()),
              g.loose[kBot + "changed.tga"]);
    EXPECT_EQ(ReadWholeFile((g.root / kBot / "same_blue.tga").string()), g.pak[kBot + "same.tga"]);
    const std::string upper = ReadWholeFile((g.root / kBot / "upper_blue.skin").string());
    EXPECT_NE(upper.find("u_arm,models/players/bot/changed_blue.tga"), std::string::npos) << upper;
    EXPECT_NE(upper.find("tag_head,"), std::string::npos) << upper;

    const Outcome check = Cli({g.model(), "--check-skin", "--skin", "blue"});
    EXPECT_EQ(check.status, kOk) << check.err;
    const std::string out = dir.File("blue.pk3");
    ASSERT_EQ(Cli({g.model(), "--pack", out, "--skin", "blue"}).status, kOk);
    const Files packed = ReadPak(out);
    for (const char* copy : {"same_blue.tga", "changed_blue.tga", "new_blue.tga", "glow_blue.tga",
                             "upper_blue.skin", "lower_blue.skin", "head_blue.skin"})
        EXPECT_EQ(packed.count(kBot + copy), 1u) << copy;

    // Again: every file is there already, and none is touched.
    Put(g.root / kBot / "upper_blue.skin", "painted by hand");
    const Outcome again = Cli({g.model(), "--new-skin", "blue", "-o", g.root.string()});
    EXPECT_EQ(again.status, kSkinProblem);
    EXPECT_NE(again.err.find("upper_blue.skin"), std::string::npos) << again.err;
    EXPECT_EQ(ReadWholeFile((g.root / kBot / "upper_blue.skin").string()), "painted by hand");
}

TEST(SkinPack, APakInsideTheGameFolderIsRefused) {
    TempDir dir;
    BotGame g = MakeBot(dir.path() / "game");
    g.Write();
    const std::string out = (g.root / "zz-bot.pk3").string();
    EXPECT_EQ(Cli({g.model(), "--pack", out}).status, kUsage);
    EXPECT_FALSE(fs::exists(out));
}

// The real game's player: every .skin beside it is checked, every file
// listed exists, and every extension said to differ does.
TEST(SkinPack, TheRealGamesPlayerSkinsAreChecked) {
    const fs::path folder =
        fs::path(GW_MODEL_CORPUS).parent_path() / "game" / "models" / "players" / "human_base";
    if (!fs::exists(folder / "upper.md3"))
        GTEST_SKIP() << "no real game at " << folder;
    std::set<std::string> skins;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".skin")
            skins.insert(name.substr(name.find('_') + 1, name.size() - name.find('_') - 6));
    }
    ASSERT_FALSE(skins.empty());
    for (const std::string& skin : skins) {
        const Outcome run =
            Cli({(folder / "upper.md3").make_preferred().string(), "--check-skin", "--skin", skin});
        EXPECT_TRUE(run.status == kOk || run.status == kSkinProblem) << run.err;
        EXPECT_EQ(run.status == kSkinProblem,
                  run.err.find("problems with the skin") != std::string::npos);
        std::istringstream lines(run.out);
        size_t listed = 0;
        for (std::string line; std::getline(lines, line); ++listed) {
            const auto tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
            EXPECT_TRUE(fs::exists(line.substr(tab1 + 1, tab2 - tab1 - 1))) << line;
        }
        for (const char* part : {"lower_", "upper_", "head_"})
            EXPECT_EQ(fs::exists(folder / (part + skin + ".skin")),
                      run.out.find(part + skin + ".skin") != std::string::npos)
                << part << skin;
        // "names "X", but the game holds only "Y"": Y is there, X is not.
        for (size_t at = 0; (at = run.err.find("names \"", at)) != std::string::npos; ++at) {
            const size_t x = at + 7, xEnd = run.err.find('"', x);
            const size_t y = run.err.find("holds only \"", xEnd) + 12, yEnd = run.err.find('"', y);
            const fs::path game = folder.parent_path().parent_path().parent_path();
            EXPECT_FALSE(fs::exists(game / run.err.substr(x, xEnd - x)));
            EXPECT_TRUE(fs::exists(game / run.err.substr(y, yEnd - y)));
        }
        EXPECT_GT(listed, 0u) << skin;
    }
}

// A model that is no player: its skin is MODELSTEM_NAME.skin, and a loose
// model's new skin goes into its own game folder.
TEST(SkinPack, AnotherModelsNewSkinGoesBesideItInItsGame) {
    TempDir dir;
    const fs::path game = dir.path() / "game";
    Put(game / "models/x/thing.md3", Md3Of("body"));
    Put(game / "models/x/thing_default.skin", "body,models/x/a.tga\n");
    Put(game / "models/x/a.tga", "paint");
    const std::string model = (game / "models/x/thing.md3").make_preferred().string();
    const Outcome made = Cli({model, "--new-skin", "shiny"});
    ASSERT_EQ(made.status, kOk) << made.err;
    EXPECT_EQ(ReadWholeFile((game / "models/x/thing_shiny.skin").make_preferred().string()),
              "body,models/x/a_shiny.tga\n");
    EXPECT_EQ(ReadWholeFile((game / "models/x/a_shiny.tga").make_preferred().string()), "paint");
    const Outcome check = Cli({model, "--check-skin", "--skin", "shiny"});
    EXPECT_EQ(check.status, kOk) << check.err;
    EXPECT_NE(check.out.find("models/x/a_shiny.tga"), std::string::npos) << check.out;
    // One copy's name taken: refused, naming it, and no file of the skin written.
    Put(game / "models/x/a_matt.tga", "someone's paint");
    const Outcome taken = Cli({model, "--new-skin", "matt"});
    EXPECT_EQ(taken.status, kSkinProblem);
    EXPECT_NE(taken.err.find("models/x/a_matt.tga"), std::string::npos) << taken.err;
    EXPECT_FALSE(fs::exists(game / "models/x/thing_matt.skin"));
    EXPECT_EQ(ReadWholeFile((game / "models/x/a_matt.tga").make_preferred().string()),
              "someone's paint");
    // A skin that is not there is a problem the check says, naming the file.
    const Outcome missing = Cli({model, "--check-skin", "--skin", "gold"});
    EXPECT_EQ(missing.status, kSkinProblem);
    EXPECT_NE(missing.err.find("models/x/thing_gold.skin"), std::string::npos) << missing.err;
}
