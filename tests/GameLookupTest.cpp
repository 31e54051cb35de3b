// One game for every lookup and one cache for every picture: a player's
// parts found inside a pak, a loose model's skins found in its folder's paks
// as well as beside it, and decoded pictures kept under one byte budget,
// least recently used first, never one that is still held.
#include "flatten/Batch.h"
#include "flatten/GameTextureSource.h"
#include "game/ModelGame.h"
#include "image/TextureCache.h"
#include "tests/Md3Builder.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

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

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A part of one triangle wearing `shader`, with the tags given.
std::string PartMd3(const std::string& shader, std::vector<Md3TagDesc> tags) {
    Md3ModelDesc desc;
    Md3SurfaceDesc s;
    s.name = "s";
    s.shaders = {{shader, 0}};
    s.positions = {{0, 0, 0}, {64, 0, 0}, {0, 64, 0}};
    s.uv = {{0, 0}, {1, 0}, {0, 1}};
    s.triangles = {{0, 1, 2}};
    desc.surfaces = {s};
    desc.tags = std::move(tags);
    return Text(BuildMd3(desc).bytes);
}

// A w x h picture of one grey, top row first.
std::string GreyTga(int w, int h, uint8_t grey) {
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = char(w & 255);
    tga[13] = char(w >> 8);
    tga[14] = char(h & 255);
    tga[15] = char(h >> 8);
    tga[16] = 32;
    tga[17] = 0x28;
    for (int i = 0; i < w * h; ++i)
        tga += {char(grey), char(grey), char(grey), char(255)};
    return tga;
}

// A decoder of one-colour pictures that counts its calls.
TextureCache::Decoder Solid(int side, int* calls) {
    return [side, calls](TextureImage& image) {
        ++*calls;
        image.width = image.height = side;
        image.rgba.assign(size_t(side) * size_t(side) * 4, 200);
        return Success();
    };
}

} // namespace

TEST(PlayerParts, APlayersPartsAreFoundInsideAPakAndOneThatIsNoModelSaysWhy) {
    TempDir dir;
    const std::string lower = PartMd3("models/players/p/legs.tga", {{"tag_torso", {0, 0, 24}}});
    const std::string upper = PartMd3("models/players/p/body.tga", {{"tag_head", {0, 0, 16}}});
    const fs::path pak = dir.path() / "test.pk3";
    WriteZip(pak, {{"models/players/p/lower.md3", lower},
                   {"models/players/p/upper.md3", upper},
                   {"models/players/p/head.md3", "not a model at all"}});
    Result<GameModel> opened = OpenGameModel(pak.string() + ":models/players/p/upper.md3", {});
    ASSERT_TRUE(opened.ok()) << opened.error().Message();
    ASSERT_EQ(PlayerPartOf(opened.value().gamePath), 1);
    const std::array<PlayerPart, 3> parts =
        FindPlayerParts(*opened.value().files, opened.value().gamePath);
    ASSERT_NE(parts[0].model, nullptr) << parts[0].problem;
    EXPECT_EQ(parts[0].gamePath, "models/players/p/lower.md3");
    EXPECT_EQ(parts[0].model->surfaces.at(0).shaderName, "models/players/p/legs.tga");
    EXPECT_EQ(parts[1].model, nullptr); // the model's own slot
    EXPECT_EQ(parts[2].model, nullptr);
    EXPECT_EQ(parts[2].problem.rfind("the head (head.md3) is not a model: ", 0), 0u)
        << parts[2].problem;

    // The same from a folder; a part that is not there is missing, with no reason.
    const fs::path folder = dir.path() / "loose/models/players/p";
    fs::create_directories(folder);
    WriteWholeFile((folder / "upper.md3").make_preferred().string(), upper);
    WriteWholeFile((folder / "head.md3").make_preferred().string(), upper);
    std::string gamePath;
    const std::shared_ptr<GameFiles> game =
        GameOfModelFile((folder / "head.md3").make_preferred().string(), gamePath);
    EXPECT_EQ(gamePath, "models/players/p/head.md3");
    const std::array<PlayerPart, 3> loose = FindPlayerParts(*game, gamePath);
    EXPECT_EQ(loose[0].model, nullptr);
    EXPECT_EQ(loose[0].problem, "");
    EXPECT_NE(loose[1].model, nullptr);
}

// A shader whose stage image the game lacks: every lookup names the script
// it comes from, as well as the image it wants, whether the model is a file
// by itself or looked up through the one texture source.
TEST(ModelGame, AShaderWhoseImageIsMissingIsNamedWithItsScript) {
    TempDir dir;
    const fs::path game = dir.path() / "mod", bot = game / "models/bot";
    fs::create_directories(bot);
    fs::create_directories(game / "scripts");
    const std::string model = (bot / "bot.md3").make_preferred().string();
    WriteWholeFile(model, PartMd3("models/bot/gone", {}));
    WriteWholeFile((game / "scripts/bot.shader").make_preferred().string(),
                   "models/bot/gone\n{\n{\nmap models/bot/nowhere.tga\n}\n}\n");
    const SurfaceTexture byFile = FindSurfaceTexture(model, "s", "models/bot/gone", nullptr);
    EXPECT_EQ(byFile.file, "");
    EXPECT_EQ(byFile.origin, "shader:scripts/bot.shader");
    EXPECT_NE(byFile.problem.find("names the image \"models/bot/nowhere.tga\""), std::string::npos)
        << byFile.problem;

    std::string gamePath;
    GameTextureSource source(GameOfModelFile(model, gamePath));
    const Model m = LoadPath(model).model;
    const SurfaceTexture bySource = source.Locate(m, m.surfaces[0], nullptr);
    EXPECT_EQ(bySource.file, "");
    EXPECT_EQ(bySource.origin, "shader:scripts/bot.shader");
    EXPECT_EQ(bySource.problem, byFile.problem);
}

TEST(ModelGame, ALooseModelIsAGameOfItsFolderItsPaksIncluded) {
    TempDir dir;
    const fs::path game = dir.path() / "mod", bot = game / "models/players/bot";
    fs::create_directories(bot);
    const std::string model = (bot / "upper.md3").make_preferred().string();
    WriteWholeFile(model, PartMd3("models/players/bot/own", {}));
    WriteWholeFile((bot / "upper_default.skin").make_preferred().string(),
                   "s,models/players/bot/torso\n");
    WriteWholeFile((bot / "torso.tga").make_preferred().string(), GreyTga(4, 2, 90));
    // A skin and its shader and texture only in the folder's pak.
    WriteZip(game / "pak0.pk3",
             {{"models/players/bot/upper_blue.skin", "s,models/players/bot/s\n"},
              {"scripts/bot.shader",
               "models/players/bot/s\n{\n{\nmap models/players/bot/blue.tga\n}\n}\n"},
              {"models/players/bot/blue.tga", GreyTga(8, 8, 30)}});
    const std::vector<Skin> skins = FindSkins(model);
    ASSERT_EQ(skins.size(), 2u);
    EXPECT_EQ(skins[0].name, "default");
    EXPECT_EQ(skins[1].name, "blue");
    EXPECT_EQ(skins[1].path, (game / "pak0.pk3").make_preferred().string() +
                                 ":models/players/bot/upper_blue.skin");
    const SurfaceTexture blue = FindSurfaceTexture(model, "s", "", &skins[1]);
    EXPECT_EQ(blue.origin, "shader:scripts/bot.shader");
    EXPECT_EQ(blue.file,
              (game / "pak0.pk3").make_preferred().string() + ":models/players/bot/blue.tga");

    // The window's, the command line's and the batch's one source reads it
    // from the pak and the loose one from disk.
    std::string gamePath;
    GameTextureSource source(GameOfModelFile(model, gamePath));
    const Model m = LoadPath(model).model;
    std::string problem;
    const SurfaceTexture fromPak = source.Locate(m, m.surfaces[0], &skins[1]);
    const auto picture = source.Picture(fromPak.file, problem);
    ASSERT_NE(picture, nullptr) << problem;
    EXPECT_EQ(picture->width, 8);
    EXPECT_EQ(picture->rgba[0], 30);
    const SurfaceTexture loose = source.Locate(m, m.surfaces[0], &skins[0]);
    EXPECT_EQ(loose.file, (bot / "torso.tga").make_preferred().string());
    ASSERT_NE(source.Picture(loose.file, problem), nullptr) << problem;
}

TEST(TextureCache, PicturesStayUnderOneBudgetLeastRecentlyUsedFirstNeverOneThatIsHeld) {
    const size_t picture = 16 * 16 * 4; // 1 KB a picture
    TextureCache cache(3 * picture);
    int calls = 0;
    Error problem;
    for (int i = 0; i < 5; ++i)
        ASSERT_NE(cache.Get("t" + std::to_string(i), 0, Solid(16, &calls), problem), nullptr);
    EXPECT_EQ(calls, 5);
    EXPECT_LE(cache.bytes(), cache.budget());
    EXPECT_EQ(cache.count(), 3u);
    // t2 used again goes to the front: t3 is the least recently used now.
    cache.Get("t2", 0, Solid(16, &calls), problem);
    EXPECT_EQ(calls, 5);
    cache.Get("t5", 0, Solid(16, &calls), problem);
    EXPECT_NE(cache.Peek("t2", 0), nullptr);
    EXPECT_EQ(cache.Peek("t3", 0), nullptr);

    // Held pictures are never let go: the cache passes its budget while
    // they are held, and comes back under it once they are let go.
    std::vector<std::shared_ptr<const TextureImage>> held;
    for (int i = 10; i < 15; ++i)
        held.push_back(cache.Get("t" + std::to_string(i), 0, Solid(16, &calls), problem));
    for (int i = 10; i < 15; ++i)
        EXPECT_NE(cache.Peek("t" + std::to_string(i), 0), nullptr) << i;
    EXPECT_EQ(cache.bytes(), 5 * picture);
    held.clear();
    cache.Get("t20", 0, Solid(16, &calls), problem);
    EXPECT_LE(cache.bytes(), cache.budget());
    EXPECT_NE(cache.Peek("t20", 0), nullptr);

    // A failure is kept (not decoded again) until the file is forgotten.
    int failures = 0;
    auto broken = [&failures](TextureImage&) -> Status {
        ++failures;
        return Error{"Cannot read the texture", "bad.tga", "it is broken"};
    };
    EXPECT_EQ(cache.Get("bad.tga", 0, broken, problem), nullptr);
    EXPECT_EQ(problem.reason, "it is broken");
    EXPECT_EQ(cache.Get("bad.tga", 0, broken, problem), nullptr);
    EXPECT_EQ(failures, 1);
    cache.Forget("bad.tga");
    EXPECT_EQ(cache.Get("bad.tga", 0, Solid(16, &calls), problem)->width, 16);

    // Saved again while it was being decoded: what was read is given but
    // not kept, so that the next look reads the file anew.
    auto savedMeanwhile = [&cache](TextureImage& image) {
        cache.Forget("busy.tga");
        image.width = image.height = 4;
        image.rgba.assign(64, 1);
        return Success();
    };
    EXPECT_NE(cache.Get("busy.tga", 0, savedMeanwhile, problem), nullptr);
    EXPECT_EQ(cache.Peek("busy.tga", 0), nullptr);
    auto modelReopened = [&cache](TextureImage& image) {
        cache.Clear();
        image.width = image.height = 4;
        image.rgba.assign(64, 1);
        return Success();
    };
    EXPECT_NE(cache.Get("busy.tga", 0, modelReopened, problem), nullptr);
    EXPECT_EQ(cache.count(), 0u);
}

TEST(TextureCache, APictureAskedSmallerIsScaledToFitAndOneThatFitsIsKeptOnce) {
    TextureCache cache(1 << 20);
    int calls = 0;
    Error problem;
    // 64 x 16 asked at most 32 a side: 32 x 8, the full size not kept.
    auto wide = [&calls](TextureImage& image) {
        ++calls;
        image.width = 64;
        image.height = 16;
        image.rgba.assign(64 * 16 * 4, 0);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 64; ++x) {
                uint8_t* p = &image.rgba[size_t(y * 64 + x) * 4];
                p[0] = x < 32 ? 240 : 10; // left half red
                p[3] = 255;
            }
        return Success();
    };
    const auto small = cache.Get("wide.tga", 32, wide, problem);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->width, 32);
    EXPECT_EQ(small->height, 8);
    EXPECT_EQ(small->rgba[0], 240);
    EXPECT_EQ(small->rgba[size_t(31) * 4], 10);
    EXPECT_EQ(cache.bytes(), small->Bytes());
    EXPECT_EQ(cache.Peek("wide.tga", 0), nullptr);
    // The full size, asked after, is decoded and kept beside it.
    EXPECT_EQ(cache.Get("wide.tga", 0, wide, problem)->width, 64);
    EXPECT_EQ(calls, 2);
    // A picture that fits is kept once for every size asked.
    const auto fits = cache.Get("fits.tga", 0, Solid(8, &calls), problem);
    EXPECT_EQ(cache.Get("fits.tga", 2048, Solid(8, &calls), problem), fits);
    EXPECT_EQ(cache.bytes(), small->Bytes() + 64 * 16 * 4 + fits->Bytes());
    cache.Forget("wide.tga");
    EXPECT_EQ(cache.bytes(), fits->Bytes());

    // Transparent pixels lend no colour to the scaled one.
    TextureImage half;
    half.width = 2;
    half.height = 1;
    half.rgba = {0, 0, 0, 0, 200, 100, 50, 255};
    const TextureImage one = ScaledToFit(half, 1);
    ASSERT_EQ(one.rgba.size(), 4u);
    EXPECT_EQ(one.rgba[0], 200);
    EXPECT_EQ(one.rgba[1], 100);
    EXPECT_EQ(one.rgba[3], 128);
}

// A batch over many textures keeps only what its budget holds, and every
// template is still drawn at its texture's size.
TEST(TextureCache, ABatchKeepsItsDecodedTexturesUnderTheBudget) {
    TempDir dir;
    const fs::path game = dir.path() / "game", folder = game / "models/m";
    fs::create_directories(folder);
    for (int i = 0; i < 6; ++i) {
        const std::string n = std::to_string(i);
        WriteWholeFile((folder / ("m" + n + ".md3")).make_preferred().string(),
                       PartMd3("models/m/t" + n, {}));
        WriteWholeFile((folder / ("t" + n + ".tga")).make_preferred().string(),
                       GreyTga(32, 32, uint8_t(20 * i)));
    }
    GameFiles files;
    files.AddFolder(game.string());
    GameTextures textures(files);
    BatchOptions options;
    options.outDir = (dir.path() / "out").make_preferred().string();
    options.jobs = 2;
    const size_t picture = 32 * 32 * 4;
    options.cache = std::make_shared<TextureCache>(2 * picture);
    const std::vector<BatchEntry> entries = RunBatch(files, textures, options);
    ASSERT_EQ(entries.size(), 6u);
    for (const BatchEntry& e : entries) {
        EXPECT_EQ(e.error, "") << e.model;
        EXPECT_EQ(e.width, 32);
    }
    EXPECT_LE(options.cache->bytes(), options.cache->budget());
    EXPECT_LE(options.cache->count(), 2u);
}
