// gridwright-flatten's commands run in process on games the tests write:
// what each prints, what it writes and its exit status; and the libraries
// under them (the request planner, the batch, the game's texture source).
#include "cli/Commands.h"
#include "cli/ModelJson.h"
#include "flatten/Batch.h"
#include "flatten/GameTextureSource.h"
#include "flatten/TemplateRequest.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "model/JsonText.h"
#include "tests/CliRun.h"
#include "tests/Md3Builder.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

// A model of one triangle per surface, each surface wearing its shader.
void WriteModel(const fs::path& path,
                const std::vector<std::pair<std::string, std::string>>& surfaces) {
    Md3ModelDesc model;
    for (const auto& [name, shader] : surfaces) {
        Md3SurfaceDesc s;
        s.name = name;
        s.shaders.push_back({shader, 0});
        s.uv = {{0.1f, 0.1f}, {0.9f, 0.1f}, {0.5f, 0.9f}};
        s.triangles = {{0, 1, 2}};
        model.surfaces.push_back(s);
    }
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(WriteBytesToFile(path.string(), BuildMd3(model).bytes));
}

// An uncompressed 24-bit TGA of one grey.
std::string Tga(int width, int height) {
    std::string out(18, '\0');
    out[2] = 2;
    out[12] = char(width & 0xFF), out[13] = char(width >> 8);
    out[14] = char(height & 0xFF), out[15] = char(height >> 8);
    out[16] = 24;
    out.append(size_t(width) * size_t(height) * 3, char(0x80));
    return out;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

void WriteZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& files) {
    int error = 0;
    zip_t* zip = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, content] : files) {
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_RAW), 0);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

size_t FilesUnder(const fs::path& folder, const std::string& extension) {
    size_t n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        n += entry.is_regular_file() && entry.path().extension() == extension;
    return n;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

} // namespace

TEST(CliGameFolders, EachGameTakesOneFolderAndTheModelStandsAnywhere) {
    TempDir dir;
    const fs::path base = dir.path() / "base", mod = dir.path() / "mod";
    WriteModel(base / "models/x/x.md3", {{"body", "models/x/skin"}});
    fs::create_directories(mod);
    const std::string out = dir.File("t.png");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--game", base.string(), "models/x/x.md3", "-o", out},
          {"--game=" + base.string(), "models/x/x.md3", "-o", out},
          {"models/x/x.md3", "--game", base.string(), "--game", mod.string(), "-o", out},
          {"--game", base.string(), "--surface", "body", "models/x/x.md3", "-o", out},
          {"--game", base.string(), "--seams", "models/x/x.md3", "-o", out},
          {"--game", base.string(), "--flipped", "models/x/x.md3", "--seams", "#ff0000", "-o",
           out}}) {
        fs::remove(out);
        const Outcome run = Cli(args);
        EXPECT_EQ(run.status, kOk) << args[0] << " " << args[1] << ": " << run.err;
        EXPECT_NE(run.out.find("wrote "), std::string::npos) << run.out;
        EXPECT_TRUE(fs::exists(out)) << args[0] << " " << args[1];
    }
}

TEST(CliGameFolders, APakAFileOrNothingIsNoGameFolderAndSaysWhatOneIs) {
    TempDir dir;
    const fs::path base = dir.path() / "base";
    WriteModel(base / "models/x/x.md3", {{"body", "models/x/skin"}});
    WriteZip(
        dir.path() / "game.pk3",
        {{"models/x/x.md3", ReadWholeFile((base / "models/x/x.md3").make_preferred().string())}});
    WriteFile(dir.path() / "notes.txt", "not a game");
    struct Case {
        std::string folder, says;
    };
    for (const Case& c :
         {Case{(dir.path() / "game.pk3").make_preferred().string(), "is a pak"},
          Case{(dir.path() / "notes.txt").make_preferred().string(), "is a file"},
          Case{(dir.path() / "nowhere").make_preferred().string(), "does not exist"}}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--game", c.folder, "--models"},
              {"--game", c.folder, "--batch", "*", "-o", dir.File("batch")},
              {"--game", base.string(), "--game", c.folder, "--list", "models/x/x.md3"}}) {
            const Outcome run = Cli(args);
            EXPECT_EQ(run.status, kUsage) << c.folder << " " << args[2] << ": " << run.out;
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("a game folder holds the game's paks and its models/"),
                      std::string::npos)
                << run.err;
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_FALSE(fs::exists(dir.File("batch")));
}

TEST(CliGameFolders, APakGivenAsTheModelSaysHowToNameAModelInIt) {
    TempDir dir;
    const fs::path model = dir.path() / "m.md3";
    WriteModel(model, {{"body", "skin"}});
    const std::string pak = dir.File("game.pk3");
    WriteZip(pak, {{"models/x/x.md3", ReadWholeFile(model.string())}});
    Outcome run = Cli({"--list", pak});
    EXPECT_EQ(run.status, kCannotLoad);
    EXPECT_EQ(run.err, "gridwright-flatten: \"" + pak +
                           "\" is a pak, not a model; name a model inside it as " + pak +
                           ":models/...\n");
    run = Cli({"--list", pak + ":models/x/x.md3"});
    EXPECT_EQ(run.status, kOk) << run.err;
    EXPECT_EQ(run.out, "0\tbody\tskin\t3\t1\n");
}

TEST(CliMessages, TheHintFollowsTheKindOfErrorNotItsWords) {
    TempDir dir;
    // A name made to look like the other kind of error.
    WriteModel(dir.path() / "m.md3", {{"a wears the texture b", "has no area"}});
    const std::string model = dir.File("m.md3"), out = dir.File("t.png");
    Outcome run = Cli({model, "--surface", "x wears the texture y", "-o", out});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_NE(run.err.find("'gridwright-flatten --list " + model + "' shows their surfaces."),
              std::string::npos)
        << run.err;
    run = Cli({model, "--texture", "nosuch", "-o", out});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_NE(run.err.find("'gridwright-flatten --textures " + model + "' shows their textures."),
              std::string::npos)
        << run.err;
    // A missing texture named "has no area" is no warning about a layout.
    run = Cli({model, "--underlay", "-o", out});
    EXPECT_EQ(run.status, kOk) << run.err;
    EXPECT_NE(run.err.find("gridwright-flatten: Cannot find the texture \"has no area\""),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("warning:"), std::string::npos) << run.err;
}

TEST(CliMessages, LimitsAndNamesAreSaidAsTheyAre) {
    TempDir dir;
    const fs::path folder = dir.path() / "models/x";
    WriteModel(folder / "x.md3", {{"body", "models/x/skin"}});
    const std::string model = (folder / "x.md3").make_preferred().string(), out = dir.File("t.png");
    Outcome run = Cli({model, "--line-width", "64.0000001", "-o", out});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_NE(run.err.find("at most 64, not 64.0000001\n"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out));

    // A NUL and an escape sequence in a skin's texture name: escaped, the
    // message whole after them.
    const char skinText[] = "body,models/x/te\0xt\x1b]2;t\x07.tga\n";
    WriteFile(folder / "x_default.skin", std::string(skinText, sizeof skinText - 1));
    run = Cli({model, "--underlay", "-o", out});
    EXPECT_EQ(run.status, kOk) << run.err;
    EXPECT_NE(run.err.find("\"models/x/te\\x00xt\\x1b]2;t\\x07.tga\": "), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find('\0'), std::string::npos);
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
}

TEST(CliTextures, FilesFoundArePrintedWithoutDotDot) {
    TempDir dir;
    const fs::path game = dir.path() / "paks";
    WriteModel(game / "models/x/x.md3", {{"body", "models/x/skin"}, {"head", "models/x/head"}});
    WriteFile(game / "models/x/skin.tga", Tga(8, 4));
    WriteZip(game / "pak0.pk3", {{"models/x/head.tga", Tga(4, 4)}});
    fs::create_directories(dir.path() / "out");
    const std::string model = (dir.path() / "out/../paks/models/x/x.md3").make_preferred().string();
    const Outcome run = Cli({"--textures", model});
    ASSERT_EQ(run.status, kOk) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_NE(lines[0].find("\t" + (game / "models/x/skin.tga").generic_string() + "\t8x4"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(
        lines[1].find("\t" + (game / "pak0.pk3").generic_string() + ":models/x/head.tga\t4x4"),
        std::string::npos)
        << lines[1];
    EXPECT_EQ(run.out.find(".."), std::string::npos) << run.out;
}

// Three models named x.md3 in three folders, all wearing one texture, and
// one more naming it with backslashes.
fs::path WriteSharedTextureGame(const TempDir& dir) {
    const fs::path game = dir.path() / "game";
    for (const char* folder : {"a", "b", "c"})
        WriteModel(game / "models" / folder / "x.md3", {{"body", "models/shared/skin"}});
    WriteModel(game / "models/d/y.md3", {{"body", "models\\shared\\skin"}});
    WriteFile(game / "models/shared/skin.tga", Tga(8, 4));
    return game;
}

// A painter paints a file: four models wearing it (one naming it with
// backslashes) are one template, which the manifest says they all wear.
TEST(CliBatch, ModelsWearingOneTextureShareItsOneTemplate) {
    TempDir dir;
    const fs::path game = WriteSharedTextureGame(dir), out = dir.path() / "out";
    const Outcome run =
        Cli({"--game", game.string(), "--batch", "*", "-o", out.string(), "-j", "2"});
    ASSERT_EQ(run.status, kOk) << run.err;
    EXPECT_NE(run.out.find("wrote 1 templates"), std::string::npos) << run.out;
    EXPECT_EQ(FilesUnder(out, ".png"), 1u);
    const std::vector<std::string> manifest =
        Lines(ReadWholeFile((out / "manifest.jsonl").make_preferred().string()));
    ASSERT_EQ(manifest.size(), 1u);
    // The file's game path, with '/', whatever the model wrote.
    EXPECT_NE(manifest[0].find("\"texture\": \"models/shared/skin.tga\""), std::string::npos)
        << manifest[0];
    for (const char* model :
         {"models/a/x.md3", "models/b/x.md3", "models/c/x.md3", "models/d/y.md3"})
        EXPECT_NE(manifest[0].find(std::string("{\"model\": \"") + model +
                                   "\", \"surface\": \"body\", \"skins\": [\"\"]}"),
                  std::string::npos)
            << model << ": " << manifest[0];
    EXPECT_TRUE(fs::exists(out / "models/shared/skin.png"));
}

// Two files whose names come out alike under the output folder each keep
// their template: the second is named after the model that wears it.
TEST(CliBatch, TwoTexturesOfOneFileNameEachKeepTheirTemplate) {
    TempDir dir;
    const fs::path game = dir.path() / "game", out = dir.path() / "out";
    WriteModel(game / "models/a/x.md3", {{"body", "models/shared/a b"}});
    WriteModel(game / "models/b/x.md3", {{"body", "models/shared/a_b"}});
    WriteFile(game / "models/shared/a b.tga", Tga(8, 4));
    WriteFile(game / "models/shared/a_b.tga", Tga(4, 8));
    const Outcome run = Cli({"--game", game.string(), "--batch", "*", "-o", out.string()});
    ASSERT_EQ(run.status, kOk) << run.err;
    EXPECT_EQ(FilesUnder(out, ".png"), 2u);
    EXPECT_TRUE(fs::exists(out / "models/shared/a_b.png"));
    EXPECT_TRUE(fs::exists(out / "models/shared/a_b__x.png"));
}

// Across a game: every wearer listed, whatever its spelling of the name, and
// the template of them all never written over the texture or a model.
TEST(CliGameTexture, WearersAreListedAndTheirTemplateKeepsThePaint) {
    TempDir dir;
    const fs::path game = WriteSharedTextureGame(dir);
    const Outcome listed = Cli({"--game", game.string(), "--wearers", "Models/Shared/SKIN.png"});
    ASSERT_EQ(listed.status, kOk) << listed.err;
    const std::vector<std::string> lines = Lines(listed.out);
    ASSERT_EQ(lines.size(), 4u) << listed.out;
    EXPECT_EQ(lines[3], "models/d/y.md3\tbody\t\t" + (game / "models/d/y.md3").generic_string());

    const fs::path texture = game / "models/shared/skin.tga";
    const std::string paint = ReadWholeFile(texture.string());
    for (const fs::path& out : {texture, game / "models/a/../shared/skin.tga"}) {
        const Outcome over =
            Cli({"--game", game.string(), "--texture", "models/shared/skin", "-o", out.string()});
        EXPECT_EQ(over.status, kUsage) << over.out;
        EXPECT_NE(over.err.find("choose another file name"), std::string::npos) << over.err;
    }
    EXPECT_EQ(ReadWholeFile(texture.string()), paint);
    const Outcome surface =
        Cli({"--game", game.string(), "--texture", "models/shared/skin", "--surface", "body", "-o",
             (dir.path() / "t.png").make_preferred().string()});
    EXPECT_EQ(surface.status, kUsage);
    const Outcome drawn = Cli({"--game", game.string(), "--texture", "models/shared/skin", "-o",
                               (dir.path() / "t.png").make_preferred().string()});
    EXPECT_EQ(drawn.status, kOk) << drawn.err;
    EXPECT_NE(drawn.out.find("4 surfaces of 4 models"), std::string::npos) << drawn.out;
}

TEST(CliBatch, AHugeJobCountIsClampedAndSaid) {
    TempDir dir;
    const fs::path game = WriteSharedTextureGame(dir), out = dir.path() / "out";
    const Outcome run =
        Cli({"--game", game.string(), "--batch", "*", "-o", out.string(), "-j", "100000"});
    EXPECT_EQ(run.status, kOk) << run.err;
    EXPECT_NE(run.err.find("-j 100000 is more than 64; making 64 templates at once."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(FilesUnder(out, ".png"), 1u);
    // The library keeps to the bound whoever calls it.
    GameFiles files;
    files.AddFolder(game.string());
    GameTextures textures(files);
    BatchOptions options;
    options.outDir = (dir.path() / "direct").make_preferred().string();
    options.jobs = 1 << 30;
    const std::vector<BatchEntry> entries = RunBatch(files, textures, options);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].wearers.size(), 4u);
    EXPECT_EQ(entries[0].error, "") << entries[0].output;
}

TEST(CliBatch, TheManifestIsStrictJsonAndTheTerminalSeesNoRawBytes) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses control bytes and bytes that are not UTF-8 in file names, "
                    "which this test's folders hold";
#else
    TempDir dir;
    const fs::path game = dir.path() / "game", out = dir.path() / "out";
    // A model whose folder's name retitles a terminal, one whose name is
    // not UTF-8, one whose name is; all wearing a texture that is missing.
    WriteModel(game / "models/\x1b]2;owned\x07/m.md3", {{"body", "models/none/\xff\x1b[2J"}});
    WriteModel(game / "models/\xc3\xa9t\xe9/m.md3", {{"body", "models/none/t"}});
    const Outcome run = Cli({"--game", game.string(), "--batch", "*", "-o", out.string()});
    EXPECT_EQ(run.status, kCannotWrite);
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x07'), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("models/\\x1b]2;owned\\x07/m.md3, models/none/\xff\\x1b[2J: "),
              std::string::npos)
        << run.err;
    const std::string manifest = ReadWholeFile((out / "manifest.jsonl").make_preferred().string());
    EXPECT_EQ(manifest.find('\x1b'), std::string::npos);
    EXPECT_EQ(manifest.find('\xff'), std::string::npos);
    EXPECT_EQ(manifest.find('\xe9'), std::string::npos);
    EXPECT_NE(manifest.find("\"models/\\u001B]2;owned\\u0007/m.md3\""), std::string::npos)
        << manifest;
    EXPECT_NE(manifest.find("\"models/\xc3\xa9t\\u00E9/m.md3\""), std::string::npos) << manifest;
#endif
}

TEST(CliBatch, AnOutdirThatIsAFileFailsBeforeAnyTemplateIsDrawn) {
    TempDir dir;
    const fs::path game = WriteSharedTextureGame(dir);
    WriteFile(dir.path() / "out", "a file");
    const Outcome run = Cli({"--game", game.string(), "--batch", "*", "-o", dir.File("out")});
    EXPECT_EQ(run.status, kCannotWrite);
    EXPECT_EQ(run.err, "gridwright-flatten: cannot make the folder \"" + dir.File("out") +
                           "\": Not a directory.\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadWholeFile(dir.File("out")), "a file");
}

TEST(CliBatch, AnOutdirThatCannotBeMadeSaysWhy) {
#ifdef _WIN32
    GTEST_SKIP() << "an unwritable folder is made with POSIX permission bits (or /sys)";
#else
    TempDir dir;
    const fs::path game = WriteSharedTextureGame(dir);
    // A read-only folder stops everyone but root; /sys stops root too.
    fs::path out;
    if (::geteuid() != 0) {
        fs::create_directories(dir.path() / "locked");
        ::chmod((dir.path() / "locked").c_str(), 0555);
        out = dir.path() / "locked/out";
    } else if (fs::is_directory("/sys/kernel")) {
        out = "/sys/kernel/gridwright-test/out";
    } else {
        GTEST_SKIP() << "no folder that refuses root here";
    }
    const Outcome run = Cli({"--game", game.string(), "--batch", "*", "-o", out.string()});
    EXPECT_EQ(run.status, kCannotWrite);
    const std::string prefix =
        "gridwright-flatten: cannot make the folder \"" + out.string() + "\": ";
    EXPECT_EQ(run.err.substr(0, prefix.size()), prefix) << run.err;
    EXPECT_TRUE(run.err.find("Permission denied") != std::string::npos ||
                run.err.find("Operation not permitted") != std::string::npos)
        << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    ::chmod((dir.path() / "locked").c_str(), 0755);
#endif
}

TEST(JsonText, ValidUtf8PassesAndEveryOtherByteIsEscaped) {
    EXPECT_EQ(JsonString("plain \"q\" \\ /"), "\"plain \\\"q\\\" \\\\ /\"");
    EXPECT_EQ(JsonString(std::string("\x01\x1f\x7f\0", 4)), "\"\\u0001\\u001F\x7f\\u0000\"");
    EXPECT_EQ(JsonString("\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xa8"),
              "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xa8\"");
    // Lone, cut, overlong, surrogate and beyond U+10FFFF: each byte escaped.
    EXPECT_EQ(JsonString("\xff"), "\"\\u00FF\"");
    EXPECT_EQ(JsonString("a\xc3"), "\"a\\u00C3\"");
    EXPECT_EQ(JsonString("\xe2\x82z"), "\"\\u00E2\\u0082z\"");
    EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\u00C0\\u00AF\"");
    EXPECT_EQ(JsonString("\xe0\x80\xaf"), "\"\\u00E0\\u0080\\u00AF\"");
    EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\u00ED\\u00A0\\u0080\"");
    EXPECT_EQ(JsonString("\xf4\x90\x80\x80"), "\"\\u00F4\\u0090\\u0080\\u0080\"");
}

TEST(JsonText, DumpKeepsItsAsciiAndPassesUtf8) {
    TempDir dir;
    WriteModel(dir.path() / "m.md3", {{"a\x01\"b\\", "t\xe9"}, {"\xc3\xa9t\xc3\xa9", "x"}});
    Outcome run = Cli({"--dump", dir.File("m.md3")});
    ASSERT_EQ(run.status, kOk) << run.err;
    EXPECT_NE(run.out.find("\"name\": \"a\\u0001\\\"b\\\\\", \"flags\": 0"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"shaderName\": \"t\\u00E9\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"name\": \"\xc3\xa9t\xc3\xa9\""), std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(0, 49), "{\"surfaceCount\": 2, \"surfaces\": [\n    {\"fileOffse");
}

// The request planner, on a model of three surfaces and a source that
// counts what it is asked.
class CountingSource : public TextureSource {
  public:
    std::shared_ptr<const TextureImage> Picture(const std::string& file,
                                                std::string& problem) override {
        ++pictures;
        if (file == "broken.tga") {
            problem = "Cannot read the texture \"broken.tga\": it is cut short";
            return nullptr;
        }
        auto image = std::make_shared<TextureImage>();
        image->width = file == "big.tga" ? 64 : 32;
        image->height = 16;
        return image;
    }
    SurfaceTexture Locate(const Model&, const Surface& surface, const Skin* skin) override {
        SurfaceTexture t = WornTexture(surface.name, surface.shaderName, skin);
        if (t.name.find("missing") == std::string::npos)
            t.file = t.name;
        else
            t.problem = "no such file";
        return t;
    }
    int pictures = 0;
};

TEST(TemplatePlanner, SurfacesByIndexNameOrCaseAndErrorsByKind) {
    TempDir dir;
    WriteModel(dir.path() / "m.md3",
               {{"Torso", "small.tga"}, {"7", "Models\\Big.TGA"}, {"legs", "small.tga"}});
    const RecordingView view = LoadPath(dir.File("m.md3"));
    ASSERT_EQ(view.model.SurfaceCount(), 3);
    const Model& m = view.model;
    CountingSource source;
    TemplateRequest request;
    request.surfaces = {"2", "torso", "7", "Torso"};
    Result<TemplatePlan> plan = PlanTemplate(m, request, source);
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(plan.value().indices, (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(source.pictures, 0); // no texture asked for, none decoded

    request = {};
    request.texture = "models/big"; // any case, either slash, no extension
    request.all = true;
    plan = PlanTemplate(m, request, source);
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(plan.value().indices, (std::vector<int>{1, 0, 2}));

    request = {};
    request.surfaces = {"9"};
    plan = PlanTemplate(m, request, source);
    ASSERT_FALSE(plan.ok());
    EXPECT_EQ(plan.error().kind, ErrorKind::NoSuchSurface);
    EXPECT_NE(plan.error().reason.find("no surface 9 (it has 3)"), std::string::npos);
    request = {};
    request.texture = "nosuch";
    plan = PlanTemplate(m, request, source);
    ASSERT_FALSE(plan.ok());
    EXPECT_EQ(plan.error().kind, ErrorKind::NoSuchTexture);
}

TEST(TemplatePlanner, TextureSizeAndUnderlayFromEachFileOnce) {
    TempDir dir;
    WriteModel(dir.path() / "m.md3", {{"a", "small.tga"},
                                      {"b", "small.tga"},
                                      {"c", "big.tga"},
                                      {"d", "missing.tga"},
                                      {"e", "broken.tga"}});
    const RecordingView view = LoadPath(dir.File("m.md3"));
    const Model& m = view.model;
    CountingSource source;
    TemplateRequest request;
    request.surfaces = {"a", "b"};
    request.textureSize = true;
    request.underlay = true;
    Result<TemplatePlan> plan = PlanTemplate(m, request, source);
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(source.pictures, 1);
    EXPECT_EQ(plan.value().style.width, 32);
    EXPECT_EQ(plan.value().style.height, 16);
    EXPECT_NE(plan.value().style.underlay, nullptr);
    EXPECT_TRUE(plan.value().warnings.empty());

    request.surfaces = {"a", "c", "d", "e"};
    request.primary = 2; // "c": its texture goes under
    plan = PlanTemplate(m, request, source);
    ASSERT_TRUE(plan.ok());
    const TemplatePlan& p = plan.value();
    EXPECT_EQ(p.sizeConflict, "big.tga (64x16), small.tga (32x16)");
    EXPECT_EQ(p.texturesRead, 2);
    EXPECT_EQ(p.texture->width, 64);
    std::vector<std::string> said;
    for (const Error& w : p.warnings) {
        EXPECT_EQ(w.kind, ErrorKind::Failed) << w.reason;
        said.push_back(w.reason);
    }
    ASSERT_EQ(said.size(), 3u);
    EXPECT_EQ(said[0], "Cannot find the texture \"missing.tga\": no such file");
    EXPECT_EQ(said[1], "Cannot read the texture \"broken.tga\": it is cut short");
    EXPECT_NE(said[2].find("wear 2 textures; the one under the template is \"big.tga\""),
              std::string::npos);
}

TEST(TemplatePlanner, ALayoutWithoutAreaIsAWarningOfItsKind) {
    Md3ModelDesc desc;
    Md3SurfaceDesc flat;
    flat.name = "flat";
    flat.shaders.push_back({"x", 0});
    flat.uv = {{0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}};
    flat.triangles = {{0, 1, 2}};
    desc.surfaces.push_back(flat);
    TempDir dir;
    const RecordingView view = LoadBytes(BuildMd3(desc).bytes, dir);
    CountingSource source;
    const Result<TemplatePlan> plan = PlanTemplate(view.model, TemplateRequest{}, source);
    ASSERT_TRUE(plan.ok());
    ASSERT_EQ(plan.value().warnings.size(), 1u);
    EXPECT_EQ(plan.value().warnings[0].kind, ErrorKind::EmptyLayout);
}

TEST(GameTextureSource, FindsTexturesInPaksAndDecodesEachFileOnce) {
    TempDir dir;
    const fs::path game = dir.path() / "game";
    WriteModel(game / "models/x/x.md3", {{"a", "models/x/skin"}, {"b", "models/x/SKIN.tga"}});
    WriteZip(game / "pak0.pk3", {{"models/x/skin.tga", Tga(8, 2)}, {"models/x/bad.tga", "junk"}});
    GameFiles files;
    files.AddFolder(game.string());
    GameTextures textures(files);
    GameTextureSource source(files, textures);
    const RecordingView view = LoadPath((game / "models/x/x.md3").make_preferred().string());
    const Model& m = view.model;
    const SurfaceTexture a = source.Locate(m, m.surfaces[0], nullptr);
    const SurfaceTexture b = source.Locate(m, m.surfaces[1], nullptr);
    EXPECT_EQ(a.file, (game / "pak0.pk3").make_preferred().string() + ":models/x/skin.tga");
    EXPECT_EQ(b.file, a.file);
    std::string problem;
    const std::shared_ptr<const TextureImage> first = source.Picture(a.file, problem);
    ASSERT_NE(first, nullptr) << problem;
    EXPECT_EQ(first->width, 8);
    EXPECT_EQ(first->height, 2);
    EXPECT_EQ(source.Picture(b.file, problem).get(), first.get());

    // A texture that does not decode is refused naming it, every time.
    Skin skin{"bad", "", {{"a", "models/x/bad.tga"}}, ""};
    const SurfaceTexture bad = source.Locate(m, m.surfaces[0], &skin);
    ASSERT_NE(bad.file, "");
    EXPECT_EQ(source.Picture(bad.file, problem), nullptr);
    EXPECT_NE(problem.find("pak0.pk3:models/x/bad.tga"), std::string::npos) << problem;
    std::string again;
    EXPECT_EQ(source.Picture(bad.file, again), nullptr);
    EXPECT_EQ(again, problem);
}

TEST(BatchNames, TexturePathsBecomeSafeFileNamesInsideTheFolder) {
    EXPECT_EQ(BatchFileName("models/x/skin.tga", TemplateFormat::Png), "models/x/skin.png");
    EXPECT_EQ(BatchFileName("models\\x\\skin", TemplateFormat::Svg), "models/x/skin.svg");
    EXPECT_EQ(BatchFileName("../../etc/pass wd", TemplateFormat::Png), "etc/pass_wd.png");
    EXPECT_EQ(BatchFileName("/abs/..", TemplateFormat::Png), "abs.png");
    EXPECT_EQ(BatchFileName("..", TemplateFormat::Png), "texture.png");
    EXPECT_EQ(GamePath("models\\x\\skin"), "models/x/skin");
}
