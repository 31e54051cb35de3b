// The game-side lookups of the formats beside MD3: an MD2's header skins and
// their Quake II stand-ins, Doom 3 materials (materials/*.mtr, loose and in
// paks), DarkPlaces' numbered skin files and a Quake game's palette. Each
// game is written by hand into a folder of its own; the real models' trees
// are read where they are.
#include "game/GameTextures.h"
#include "game/ModelGame.h"
#include "game/ShaderScripts.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// A game folder of its own, removed after the test.
class GameDir {
  public:
    GameDir() {
        std::random_device random;
        m_path = fs::temp_directory_path() / ("gw-lookup-" + std::to_string(random()));
        fs::create_directories(m_path);
    }
    ~GameDir() {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    GameDir(const GameDir&) = delete;
    GameDir& operator=(const GameDir&) = delete;
    const fs::path& path() const { return m_path; }
    void Put(const std::string& gamePath, const std::string& bytes) const {
        const fs::path at = m_path / gamePath;
        fs::create_directories(at.parent_path());
        std::ofstream(at, std::ios::binary) << bytes;
    }
    void Remove(const std::string& gamePath) const { fs::remove(m_path / gamePath); }

  private:
    fs::path m_path;
};

void WriteZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& files) {
    int error = 0;
    zip_t* zip = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, content] : files) {
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_RAW), 0) << zip_strerror(zip);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

// The game path of the image a texture name finds; empty (and the problem) when none.
std::string Found(const GameTextures& textures, const std::string& name,
                  std::string* problem = nullptr, std::string* script = nullptr) {
    std::string s, p;
    const std::unique_ptr<GameFile> file = textures.Find(name, s, p);
    if (problem)
        *problem = p;
    if (script)
        *script = s;
    return file ? file->gamePath : std::string();
}

std::string AllOf(const std::vector<std::string>& problems) {
    std::string all;
    for (const std::string& p : problems)
        all += p + "\n";
    return all;
}

std::vector<std::string> NamesOf(const std::vector<Skin>& skins) {
    std::vector<std::string> names;
    for (const Skin& s : skins)
        names.push_back(s.name);
    return names;
}

} // namespace

// An MD2 names its skin "models/x/skin.pcx": the .pcx itself when there, else
// the stand-ins Quake II engines take, .tga before .png before .jpg. A name
// of Quake III's kind keeps its order (.jpg before .png) with .pcx last.
TEST(FormatLookup, QuakeTwoSkinsFindThePcxThenTheirStandIns) {
    GameDir dir;
    for (const char* file : {"skin.pcx", "skin.tga", "skin.png", "skin.jpg"})
        dir.Put(std::string("models/x/") + file, "x");
    GameFiles files;
    files.AddFolder(dir.path().string());
    const GameTextures textures(files);
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i) {
        const std::string found = Found(textures, "models/x/skin.pcx");
        order.push_back(found);
        if (found.empty())
            break;
        dir.Remove(found);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"models/x/skin.pcx", "models/x/skin.tga",
                                               "models/x/skin.png", "models/x/skin.jpg"}));
    std::string problem;
    EXPECT_EQ(Found(textures, "models/x/skin.pcx", &problem), "");
    EXPECT_NE(problem.find("no image \"models/x/skin.pcx\""), std::string::npos) << problem;
    // A .wal is a Quake II picture as well.
    dir.Put("textures/w.png", "x");
    dir.Put("textures/w.jpg", "x");
    EXPECT_EQ(Found(textures, "textures/w.wal"), "textures/w.png");

    // Quake III's names, with and without an extension: tga, jpg, jpeg, png,
    // and last the .pcx that ioquake3 reads after them.
    for (const std::string name : {"models/y/t", "models/y/t.bmp"}) {
        std::vector<std::string> found;
        for (const char* file : {"t.tga", "t.jpg", "t.jpeg", "t.png", "t.pcx"})
            dir.Put(std::string("models/y/") + file, "x");
        for (int i = 0; i < 5; ++i) {
            found.push_back(Found(textures, name));
            if (found.back().empty())
                break;
            dir.Remove(found.back());
        }
        EXPECT_EQ(found,
                  (std::vector<std::string>{"models/y/t.tga", "models/y/t.jpg", "models/y/t.jpeg",
                                            "models/y/t.png", "models/y/t.pcx"}))
            << name;
    }
    // A name given whole is found as given before any other.
    dir.Put("models/y/t.png", "x");
    dir.Put("models/y/t.tga", "x");
    EXPECT_EQ(Found(textures, "models/y/t.png"), "models/y/t.png");
}

// The skins an MD2's header names are skin choices beside its .skin files:
// each dresses every surface in its picture, found as the game finds it.
TEST(FormatLookup, HeaderSkinsAreChoicesBesideTheSkinFiles) {
    GameDir dir;
    dir.Put("models/m/tris.md2", "the model's bytes are not read here");
    dir.Put("models/m/tris_default.skin", "body,models/m/painted.tga\n");
    dir.Put("models/m/painted.tga", "x");
    dir.Put("models/m/grunt.tga", "x"); // the stand-in of the missing grunt.pcx
    dir.Put("models/n/grunt.pcx", "x");
    Model model;
    model.surfaces.resize(2);
    model.surfaces[0].name = "body";
    model.surfaces[1].name = "head";
    model.skinNames = {"models/m/grunt.pcx", "models/n/GRUNT.pcx", "", "../../etc/default.pcx",
                       "models/m/\x1b]2;title.pcx"};

    const std::vector<Skin> header = HeaderSkins(model);
    ASSERT_EQ(NamesOf(header),
              (std::vector<std::string>{"grunt", "grunt_1", "default", "?]2;title"}));
    EXPECT_EQ(header[0].path, "models/m/grunt.pcx");
    EXPECT_EQ(header[0].TextureOf("HEAD"), "models/m/grunt.pcx");
    EXPECT_EQ(header[1].TextureOf("body"), "models/n/GRUNT.pcx");
    EXPECT_TRUE(header[2].entries.empty());
    EXPECT_NE(header[2].problem.find("not a game path"), std::string::npos) << header[2].problem;

    GameFiles files;
    files.AddFolder(dir.path().string());
    const std::vector<Skin> skins = GameSkins(files, "models/m/tris.md2", &model);
    // The .skin file first; the header's "default" renamed, as a file took it.
    ASSERT_EQ(skins.size(), 5u);
    EXPECT_EQ(skins[0].name, "default");
    EXPECT_EQ(skins[0].path, (dir.path() / "models/m/tris_default.skin").make_preferred().string());
    EXPECT_EQ(skins[1].name, "grunt");
    EXPECT_EQ(skins[3].name.rfind("default_", 0), 0u) << skins[3].name;
    // The window's lookup: the header skin's picture is its Quake II stand-in.
    const GameTextures textures(files);
    const SurfaceTexture worn = WornTexture("body", "", &skins[1]);
    EXPECT_EQ(Found(textures, worn.name), "models/m/grunt.tga");
    EXPECT_EQ(Found(textures, WornTexture("head", "", &skins[2]).name), "models/n/grunt.pcx");
    EXPECT_EQ(Found(textures, WornTexture("body", "", &skins[0]).name), "models/m/painted.tga");
    // Without the model, only the files.
    EXPECT_EQ(GameSkins(files, "models/m/tris.md2").size(), 1u);
}

// Materials as Doom 3 writes them: the "diffusemap" shorthand, a stage that
// says "blend diffusemap" before or after its map, bump and specular stages
// passed over, other declarations skipped, comments, image programs.
TEST(FormatLookup, MaterialFilesGiveEachMaterialItsDiffuseMap) {
    const std::string text = R"(// a table is no material
table sinTable { { 0, 1, 0, -1 } }
models/a/short { diffusemap models/a/short_d.tga  bumpmap models/a/short_local }
material models/a/stage
{
    /* the bump map comes first,
       { map models/a/not_this } */
    { blend bumpmap map models/a/stage_local }
    { map models/a/stage_d  blend diffusemap }
    { blend diffusemap map models/a/second_d }
}
"Models\A\Quoted" { { blend diffuseMap map "models/a/q uoted.tga" } }
models/a/program { diffusemap makeIntensity( models/a/grey.tga ) }
models/a/nested { diffusemap addnormals(heightmap(models/a/h, 4), models/a/n) }
models/a/decal { { blend bumpmap map models/a/d_local } { blend blend map models/a/decal } }
models/a/builtin { diffusemap _white }
models/a/deep { { if ( parm7 > 0 ) { } map models/a/deep_d blend diffusemap } }
models/a/short { diffusemap models/a/redefined.tga }
particle models/a/notmaterial { { material models/a/x } }
)";
    std::map<std::string, ShaderImage> materials;
    std::string problem;
    ParseMaterialFile(text, "materials/a.mtr", materials, problem);
    EXPECT_EQ(problem, "");
    std::map<std::string, std::string> images;
    for (const auto& [name, image] : materials) {
        images[name] = image.image;
        EXPECT_EQ(image.script, "materials/a.mtr");
    }
    EXPECT_EQ(images, (std::map<std::string, std::string>{
                          {"models/a/short", "models/a/short_d.tga"},
                          {"models/a/stage", "models/a/stage_d"},
                          {"models/a/quoted", "models/a/q uoted.tga"},
                          {"models/a/program", "models/a/grey.tga"},
                          {"models/a/nested", "models/a/h"},
                          {"models/a/decal", "models/a/decal"},
                          {"models/a/deep", "models/a/deep_d"},
                      }));

    // One defined before (in an earlier file) keeps its definition.
    ParseMaterialFile("models/a/short { diffusemap models/a/later }", "materials/b.mtr", materials,
                      problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(materials["models/a/short"].image, "models/a/short_d.tga");
}

// Hostile material files are refused whole, with where and why, never a
// crash: unclosed, stray braces, braces too deep, past the limits.
TEST(FormatLookup, ABrokenMaterialFileIsLeftOutWithItsReason) {
    struct Case {
        std::string text, says;
    };
    const std::vector<Case> cases = {
        {"models/a/x { diffusemap models/a/x.tga\n\n",
         "line 1: the material \"models/a/x\" is not closed"},
        {"models/a/x { }\n}\n", "line 2: a brace where a material name should be"},
        {"models/a/x", "the material \"models/a/x\" has no body"},
        {"a { " + std::string(20, '{') + std::string(20, '}') + " }",
         "braces deeper than 8 levels"},
        {"/* never closed { diffusemap x }", ""},
        {std::string("\0\0{", 3), "a brace where a material name should be"},
    };
    for (const Case& c : cases) {
        std::map<std::string, ShaderImage> materials;
        std::string problem;
        ParseMaterialFile(c.text, "materials/bad.mtr", materials, problem);
        EXPECT_TRUE(materials.empty()) << c.text;
        if (c.says.empty()) {
            EXPECT_EQ(problem, "") << c.text;
        } else {
            EXPECT_NE(problem.find("materials/bad.mtr: "), std::string::npos) << problem;
            EXPECT_NE(problem.find(c.says), std::string::npos) << problem;
        }
    }
    // The shader scripts' limits: just past them refused, just within read.
    std::map<std::string, ShaderImage> materials;
    std::string problem;
    const std::string small = "x { diffusemap a.tga b }"; // 6 words, 24 bytes
    ParseMaterialFile(small, "materials/s.mtr", materials, problem, {64, 5});
    EXPECT_NE(problem.find("more than 5 words"), std::string::npos) << problem;
    EXPECT_TRUE(materials.empty());
    ParseMaterialFile(small, "materials/s.mtr", materials, problem, {small.size() - 1, 6});
    EXPECT_NE(problem.find("larger than"), std::string::npos) << problem;
    ParseMaterialFile(small, "materials/s.mtr", materials, problem, {small.size(), 6});
    EXPECT_EQ(problem, "");
    EXPECT_EQ(materials["x"].image, "a.tga");
    // A flood of words in one body.
    std::string flood = "x {\n";
    for (size_t i = 0; i < kMaxShaderScriptTokens; ++i)
        flood += "a ";
    materials.clear();
    ParseMaterialFile(flood + "}", "materials/f.mtr", materials, problem);
    EXPECT_NE(problem.find("line 2: more than 1048576 words"), std::string::npos) << problem;
    EXPECT_TRUE(materials.empty());
}

// In a game: materials loose and in a pak, their images found as Doom 3
// finds them (.tga, then .jpg, then .png); a shader script's definition
// first; a broken file named in the problems while the others still count;
// a name no material defines is a texture name.
TEST(FormatLookup, AGamesMaterialsLeadToTheirImages) {
    GameDir dir;
    dir.Put("materials/loose.mtr", "models/m/body { diffusemap models/m/body_d }\n"
                                   "models/m/gone { diffusemap models/m/nowhere }\n"
                                   "models/m/both { diffusemap models/m/from_mtr.tga }\n");
    dir.Put("materials/broken.mtr", "models/m/broken { diffusemap models/m/body_d.tga\n");
    dir.Put("scripts/q3.shader", "models/m/both { { map models/m/from_shader.tga } }\n");
    for (const char* file : {"body_d.jpg", "body_d.png", "from_mtr.tga", "from_shader.tga",
                             "plain.jpg", "plain.png", "head_d.png"})
        dir.Put(std::string("models/m/") + file, "x");
    WriteZip(dir.path() / "pak0.pk3",
             {{"materials/paked.mtr", "material models/m/head\n{\n{ blend diffusemap\n"
                                      "map models/m/head_d.tga\n}\n}\n"}});
    GameFiles files;
    files.AddFolder(dir.path().string());
    const GameTextures textures(files);
    std::string problem, script;
    // .tga is missing: Doom 3 reads .jpg, then its forks .png.
    EXPECT_EQ(Found(textures, "models/m/body", &problem, &script), "models/m/body_d.jpg")
        << problem;
    EXPECT_EQ(script, "materials/loose.mtr");
    EXPECT_EQ(Found(textures, "models/m/HEAD.tga", &problem, &script), "models/m/head_d.png")
        << problem;
    EXPECT_EQ(script, "materials/paked.mtr");
    EXPECT_EQ(Found(textures, "models/m/both", &problem, &script), "models/m/from_shader.tga");
    EXPECT_EQ(script, "scripts/q3.shader");
    EXPECT_EQ(Found(textures, "models/m/gone", &problem, &script), "");
    EXPECT_EQ(script, "materials/loose.mtr");
    EXPECT_NE(problem.find("the material \"models/m/gone\" (materials/loose.mtr) names the image "
                           "\"models/m/nowhere\", which the game does not hold"),
              std::string::npos)
        << problem;
    // No material of the name: the name is a texture's, in Quake III's order.
    EXPECT_EQ(Found(textures, "models/m/plain", &problem, &script), "models/m/plain.jpg");
    EXPECT_EQ(script, "");
    EXPECT_EQ(Found(textures, "models/m/broken", &problem), "");
    EXPECT_NE(AllOf(textures.problems())
                  .find("the material file materials/broken.mtr: line 1: the material "
                        "\"models/m/broken\" is not closed; it was left out"),
              std::string::npos)
        << AllOf(textures.problems());

    // The folder's own image, through the model's game as the window looks.
    dir.Put("models/m/m.md5mesh", "x");
    const SurfaceTexture t =
        FindSurfaceTexture((dir.path() / "models/m/m.md5mesh").make_preferred().string(), "s",
                           "models/m/body", nullptr);
    EXPECT_EQ(t.file, (dir.path() / "models/m/body_d.jpg").make_preferred().string());
    EXPECT_EQ(t.origin, "shader:materials/loose.mtr");
}

// Material files and shader scripts share one budget of files: more than a
// game holds are named, not read for ever.
TEST(FormatLookup, MaterialFilesCountAgainstTheScriptsBudget) {
    GameDir dir;
    std::vector<std::pair<std::string, std::string>> entries;
    for (size_t i = 0; i < kMaxShaderScripts - 2; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "scripts/s%05zu.shader", i);
        entries.emplace_back(name, "x { { map x.tga } }");
    }
    for (int i = 0; i < 5; ++i)
        entries.emplace_back("materials/m" + std::to_string(i) + ".mtr",
                             "models/m" + std::to_string(i) + " { diffusemap models/i" +
                                 std::to_string(i) + " }");
    for (int i = 0; i < 5; ++i)
        entries.emplace_back("models/i" + std::to_string(i) + ".tga", "x");
    WriteZip(dir.path() / "pak0.pk3", entries);
    GameFiles files;
    files.AddFolder(dir.path().string());
    const GameTextures textures(files);
    std::string problem, script;
    EXPECT_EQ(Found(textures, "models/m1", &problem, &script), "models/i1.tga") << problem;
    // Its material was left out: the name is read as a texture's, and none is.
    EXPECT_EQ(Found(textures, "models/m2", &problem, &script), "");
    EXPECT_EQ(script, "");
    EXPECT_NE(AllOf(textures.problems())
                  .find("more shader scripts and material files than Gridwright reads (1024 "
                        "files, 32 MB in all); \"" +
                        (dir.path() / "pak0.pk3").make_preferred().string() +
                        ":materials/m2.mtr\""),
              std::string::npos)
        << AllOf(textures.problems());
}

// DarkPlaces' numbered skins ("body.iqm_0.skin" ...) beside any model, in
// number order, read as .skin files with its "replace" lines; one past a
// gap in the numbers is listed with why it is never worn.
TEST(FormatLookup, NumberedSkinsAreFoundInNumberOrder) {
    GameDir dir;
    dir.Put("models/b/body.iqm", "x");
    for (int i = 0; i <= 10; ++i)
        dir.Put("models/b/body.iqm_" + std::to_string(i) + ".skin",
                "mesh,models/b/skin" + std::to_string(i) + ".tga\n");
    dir.Put("models/b/body.iqm_2.skin", "// DarkPlaces' own form\nreplace mesh models/b/two.tga\n"
                                        "tag_weapon,\n");
    dir.Put("models/b/body.iqm_12.skin", "mesh,models/b/twelve.tga\n"); // 11 is missing
    dir.Put("models/b/body.iqm_01.skin", "mesh,models/b/never.tga\n");  // not as the engine writes
    dir.Put("models/b/body.iqm_x.skin", "mesh,models/b/never.tga\n");   // no number
    dir.Put("models/b/body_red.skin", "mesh,models/b/red.tga\n");       // Quake III's kind
    dir.Put("models/b/body_default.skin", "mesh,models/b/default.tga\n");
    dir.Put("models/b/other.iqm_0.skin", "mesh,models/b/other.tga\n");     // another model's
    dir.Put("models/b/sub/body.iqm_3.skin", "mesh,models/b/deeper.tga\n"); // another folder
    GameFiles files;
    files.AddFolder(dir.path().string());
    const std::vector<Skin> skins = GameSkins(files, "models/b/body.iqm");
    EXPECT_EQ(NamesOf(skins), (std::vector<std::string>{"default", "0", "1", "2", "3", "4", "5",
                                                        "6", "7", "8", "9", "10", "12", "red"}));
    ASSERT_EQ(skins.size(), 14u);
    for (size_t i = 1; i <= 11; ++i) {
        EXPECT_EQ(skins[i].problem, "") << skins[i].name;
        EXPECT_EQ(skins[i].path, (dir.path() / ("models/b/body.iqm_" + skins[i].name + ".skin"))
                                     .make_preferred()
                                     .string());
    }
    EXPECT_EQ(skins[1].TextureOf("mesh"), "models/b/skin0.tga");
    EXPECT_EQ(skins[11].TextureOf("mesh"), "models/b/skin10.tga");
    EXPECT_EQ(skins[3].TextureOf("mesh"), "models/b/two.tga");
    EXPECT_EQ(skins[3].entries.size(), 1u); // the tag line is no surface's
    EXPECT_NE(skins[12].problem.find("body.iqm_11.skin is missing"), std::string::npos)
        << skins[12].problem;
    EXPECT_EQ(skins[13].TextureOf("mesh"), "models/b/red.tga");
    Skin loaded;
    EXPECT_FALSE(ChooseSkin(skins, "12", loaded).ok());
    const Result<const Skin*> ten = ChooseSkin(skins, "10", loaded);
    ASSERT_TRUE(ten.ok());
    EXPECT_EQ(ten.value()->TextureOf("MESH"), "models/b/skin10.tga");

    // Any model file, in a pak as well: an MD2's and an MD3's.
    WriteZip(dir.path() / "pak0.pk3", {{"models/q/tris.md2_0.skin", "tris,models/q/a.pcx\n"},
                                       {"models/q/upper.md3_0.skin", "u,models/q/b.tga\n"}});
    GameFiles paked;
    paked.AddFolder(dir.path().string());
    const std::vector<Skin> md2 = GameSkins(paked, "models/q/tris.md2");
    ASSERT_EQ(md2.size(), 1u);
    EXPECT_EQ(md2[0].name, "0");
    EXPECT_EQ(md2[0].path,
              (dir.path() / "pak0.pk3").make_preferred().string() + ":models/q/tris.md2_0.skin");
    EXPECT_EQ(md2[0].TextureOf("tris"), "models/q/a.pcx");
    EXPECT_EQ(NamesOf(GameSkins(paked, "models/q/upper.md3")), (std::vector<std::string>{"0"}));
}

// A Quake game's palette: its 768 bytes, or why there is none.
TEST(FormatLookup, ThePaletteIsTheGamesOwnOrTheReasonWhyNot) {
    GameDir dir;
    GameFiles none;
    none.AddFolder(dir.path().string());
    const auto missing = GamePalette(none);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().reason,
              "the game has no gfx/palette.lmp; the colours are Quake's own");

    std::string bytes;
    for (int i = 0; i < 768; ++i)
        bytes += char((i * 7 + 3) & 0xFF);
    WriteZip(dir.path() / "pak0.pk3", {{"GFX/Palette.LMP", bytes}});
    GameFiles paked;
    paked.AddFolder(dir.path().string());
    const auto found = GamePalette(paked);
    ASSERT_TRUE(found.ok()) << found.error().Message();
    for (size_t i = 0; i < 768; ++i)
        ASSERT_EQ(found.value()[i], uint8_t((i * 7 + 3) & 0xFF)) << i;

    for (const size_t size : {size_t(0), size_t(767), size_t(769), size_t(70000)}) {
        dir.Put("gfx/palette.lmp", std::string(size, 'p')); // loose beats the pak
        GameFiles wrong;
        wrong.AddFolder(dir.path().string());
        const auto refused = GamePalette(wrong);
        ASSERT_FALSE(refused.ok()) << size;
        EXPECT_EQ(refused.error().path, (dir.path() / "gfx/palette.lmp").make_preferred().string());
        if (size < 65536) {
            EXPECT_NE(refused.error().reason.find("holds " + std::to_string(size) + " bytes"),
                      std::string::npos)
                << refused.error().reason;
        }
        EXPECT_NE(refused.error().reason.find("the colours are Quake's own"), std::string::npos)
            << refused.error().reason;
    }
}

#ifdef GW_MODEL_CORPUS
namespace {

const fs::path kCorpus = GW_MODEL_CORPUS;

// The shader names an .md5mesh gives its meshes: 'shader "NAME"' lines.
std::vector<std::string> Md5Shaders(const fs::path& mesh) {
    std::ifstream in(mesh);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string word, name;
        if (words >> word && word == "shader" && words >> std::quoted(name))
            names.push_back(name);
    }
    return names;
}

} // namespace

// The real models' trees: an MD5's shader finds its image through the game
// of its folder, and a Quake palette is read whole.
TEST(FormatLookup, RealModelsFindTheirImages) {
    const fs::path grenade = kCorpus / "md5/grenade";
    const fs::path palette = kCorpus / "mdl/palette";
    if (!fs::exists(grenade) || !fs::exists(palette))
        GTEST_SKIP() << "no model corpus at " << kCorpus;
    const fs::path mesh = grenade / "models/weapons/grenade/grenade.md5mesh";
    const std::vector<std::string> shaders = Md5Shaders(mesh);
    ASSERT_FALSE(shaders.empty());
    for (const std::string& shader : shaders) {
        const SurfaceTexture t = FindSurfaceTexture(mesh.string(), "mesh", shader, nullptr);
        ASSERT_NE(t.file, "") << shader << ": " << t.problem;
        EXPECT_TRUE(fs::is_regular_file(t.file)) << t.file;
        EXPECT_TRUE(fs::equivalent(fs::path(t.file).parent_path(), mesh.parent_path())) << t.file;
        EXPECT_EQ(fs::path(t.file).stem(), fs::path(shader).filename());
    }
    // The blade's meshes wear "Material", which its game neither defines
    // nor holds: the problem names the game.
    const fs::path blade = kCorpus / "md5/blade2/packages/models/mapmodels/svarog/blade2/tau0/"
                                     "mapmodel.md5mesh";
    if (fs::exists(blade))
        for (const std::string& shader : Md5Shaders(blade)) {
            const SurfaceTexture t = FindSurfaceTexture(blade.string(), "mesh", shader, nullptr);
            EXPECT_EQ(t.file, "");
            EXPECT_NE(t.problem.find("no shader or material of that name in the game"),
                      std::string::npos)
                << t.problem;
        }

    GameFiles quake;
    quake.AddFolder(palette.string());
    const auto colours = GamePalette(quake);
    ASSERT_TRUE(colours.ok()) << colours.error().Message();
    std::ifstream in(palette / "gfx/palette.lmp", std::ios::binary);
    const std::string onDisk((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    ASSERT_EQ(onDisk.size(), 768u);
    EXPECT_TRUE(std::equal(colours.value().begin(), colours.value().end(), onDisk.begin(),
                           [](uint8_t a, char b) { return a == uint8_t(b); }));
    // Quake's palette opens with a ramp of greys from black.
    EXPECT_EQ(colours.value()[0] + colours.value()[1] + colours.value()[2], 0);
    for (size_t i = 1; i < 16; ++i) {
        EXPECT_EQ(colours.value()[i * 3], colours.value()[i * 3 + 1]) << i;
        EXPECT_GT(colours.value()[i * 3], colours.value()[i * 3 - 3]) << i;
    }
}
#endif
