// --pad and --check-bleed run in process on a game the test writes: what
// they refuse, and the texels of what they write, read back through our
// own decoders.
#include "image/TextureImage.h"
#include "render/Padding.h"
#include "tests/CliRun.h"
#include "tests/Md3Builder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const int kSide = 32;

// A 32-bit TGA: a square of texels (8..23 each way) in a gradient on a
// background of one colour no island has.
std::string PaintedTga() {
    std::string out(18, '\0');
    out[2] = 2;
    out[12] = char(kSide), out[14] = char(kSide);
    out[16] = 32;
    out[17] = 0x28; // top row first, 8 alpha bits
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const bool inside = x >= 8 && x < 24 && y >= 8 && y < 24;
            const char bgra[4] = {char(inside ? x * 8 : 254), char(inside ? y * 8 : 0),
                                  char(inside ? 40 : 255), char(inside ? 200 : 255)};
            out.append(bgra, 4);
        }
    return out;
}

class PadCli : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("gw_pad_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        const fs::path folder = root / "models/players/p";
        fs::create_directories(folder);
        Md3ModelDesc model;
        // A square of two triangles over the middle of the texture, and a
        // surface wearing another texture.
        Md3SurfaceDesc body;
        body.name = "body";
        body.shaders.push_back({"models/players/p/body.tga", 0});
        body.uv = {{0.3f, 0.3f}, {0.7f, 0.3f}, {0.7f, 0.7f}, {0.3f, 0.7f}};
        body.triangles = {{0, 1, 2}, {0, 2, 3}};
        model.surfaces.push_back(body);
        Md3SurfaceDesc belt = body;
        belt.name = "belt";
        belt.shaders = {{"models/players/p/belt.tga", 0}};
        model.surfaces.push_back(belt);
        upper = (folder / "upper.md3").make_preferred().string();
        ASSERT_TRUE(WriteBytesToFile(upper, BuildMd3(model).bytes));
        body_ = (folder / "body.tga").make_preferred().string();
        std::ofstream(body_, std::ios::binary) << PaintedTga();
        std::ofstream(folder / "belt.tga", std::ios::binary) << PaintedTga();
        painted = (root / "paint.tga").make_preferred().string();
        std::ofstream(painted, std::ios::binary) << PaintedTga();
    }
    void TearDown() override { fs::remove_all(root); }

    static std::string Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path root;
    std::string upper, body_, painted;
};

} // namespace

TEST_F(PadCli, Refusals) {
    // paint.tga is neither worn nor named like a worn texture, and two are worn.
    Outcome run =
        Cli({upper, "--pad", painted, "-o", (root / "out.tga").make_preferred().string()});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_NE(run.err.find("--texture NAME"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("models/players/p/body.tga"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("models/players/p/belt.tga"), std::string::npos) << run.err;
    run = Cli({upper, "--pad", body_, "-o", (root / "out.jpg").make_preferred().string()});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_NE(run.err.find("JPEG would change the texels"), std::string::npos) << run.err;
    run = Cli({upper, "--pad", body_, "-o", body_});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_NE(run.err.find("--in-place"), std::string::npos) << run.err;
    run = Cli({upper, "--pad", body_});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_NE(run.err.find("no output file given"), std::string::npos) << run.err;
    run = Cli({upper, "--pad", body_, "--pad-band", "-1", "-o",
               (root / "o.png").make_preferred().string()});
    EXPECT_EQ(run.status, kUsage);
    EXPECT_FALSE(fs::exists(root / "out.tga") || fs::exists(root / "out.jpg") ||
                 fs::exists(root / "o.png"));
    EXPECT_EQ(Bytes(body_), PaintedTga()); // never written over
}

// Two finishing commands at once, or one with --batch, are refused before
// anything runs: neither may be dropped unsaid.
TEST_F(PadCli, CommandsGoOneAtATime) {
    const std::string pak = (root / "p.pk3").make_preferred().string(),
                      out = (root / "o.png").make_preferred().string();
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const Case cases[] = {
        {{upper, "--pad", body_, "--check-bleed", body_, "-o", out},
         "--pad and --check-bleed go one at a time"},
        {{upper, "--check-skin", "--pack", pak}, "--check-skin and --pack go one at a time"},
        {{upper, "--pad", body_, "--pack", pak, "--list", "-o", out},
         "--list, --pad and --pack go one at a time"},
        {{upper, "--set-skin", "0", body_, "--new-skin", "gold", "-o", out},
         "--set-skin and --new-skin go one at a time"},
        {{"--game", root.string(), "--batch", "models/*", "--pack", pak},
         "--pack takes one MODEL, not --batch"},
        {{"--game", root.string(), "--batch", "models/*", "--check-bleed", body_},
         "--check-bleed takes one MODEL, not --batch"},
    };
    for (const Case& c : cases) {
        const Outcome run = Cli(c.args);
        EXPECT_EQ(run.status, kUsage) << c.said;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(pak) || fs::exists(out) ||
                 fs::exists(root / "models/players/p/upper_gold.skin"));
    // The help names --set-skin's two values once.
    const Outcome help = Cli({"--help"});
    EXPECT_NE(help.out.find("--set-skin N PICTURE "), std::string::npos);
    EXPECT_EQ(help.out.find(" x 2"), std::string::npos) << help.out;
}

TEST_F(PadCli, WritesKeptIslandsAndPaddedGutters) {
    for (const char* name : {"out.tga", "out.png"}) {
        const std::string out = (root / name).make_preferred().string();
        const Outcome run = Cli({upper, "--pad", painted, "--texture", "models/players/p/body",
                                 "--pad-band", "4", "-o", out});
        ASSERT_EQ(run.status, kOk) << run.err;
        TextureImage before, after;
        ASSERT_TRUE(LoadTexture(painted, before).ok());
        ASSERT_TRUE(LoadTexture(out, after).ok());
        ASSERT_EQ(after.width, kSide);
        ASSERT_EQ(after.height, kSide);
        size_t kept = 0, changed = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const size_t i = (size_t(y) * size_t(kSide) + size_t(x)) * 4;
                // The square spans texels 9.6..22.4, grown by one: 8..23.
                const bool island = x >= 8 && x < 24 && y >= 8 && y < 24;
                const bool same = std::equal(&after.rgba[i], &after.rgba[i] + 4, &before.rgba[i]);
                if (island) {
                    EXPECT_TRUE(same) << name << " " << x << "," << y;
                    kept += same;
                } else {
                    changed += !same;
                    // Beside the square, the edge texel's colour.
                    if (x == 5 && y >= 8 && y < 24) {
                        EXPECT_TRUE(
                            std::equal(&after.rgba[i], &after.rgba[i] + 4,
                                       &before.rgba[(size_t(y) * size_t(kSide) + size_t(8)) * 4]));
                    }
                }
            }
        EXPECT_EQ(kept, 256u);
        EXPECT_EQ(changed, (size_t(kSide) * size_t(kSide)) - 256u); // no background left
        EXPECT_NE(run.out.find("256 texels kept"), std::string::npos) << run.out;
    }
}

TEST_F(PadCli, InPlaceLeavesTheFileWholeAndPadded) {
    const std::string before = Bytes(body_);
    const Outcome run = Cli({upper, "--pad", body_, "--in-place"});
    ASSERT_EQ(run.status, kOk) << run.err;
    const std::string after = Bytes(body_);
    EXPECT_NE(after, before);
    EXPECT_EQ(after.size(), before.size()); // the same TGA, every texel there
    TextureImage image;
    ASSERT_TRUE(LoadTexture(body_, image).ok());
    // Now padded: the bleed check finds nothing thin and no stray paint.
    const Outcome check = Cli({upper, "--check-bleed", body_});
    ASSERT_EQ(check.status, kOk) << check.err;
    std::istringstream lines(check.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "level\twidth\theight\tborder\tthin\tunsampled");
    int levels = 0;
    while (std::getline(lines, line)) {
        int level = 0, w = 0, h = 0;
        size_t border = 0, thin = 0, unsampled = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d\t%d\t%d\t%zu\t%zu\t%zu", &level, &w, &h, &border,
                              &thin, &unsampled),
                  6)
            << line;
        EXPECT_EQ(thin, 0u) << line;
        EXPECT_EQ(unsampled, 0u) << line;
        ++levels;
    }
    EXPECT_EQ(levels, 6); // 32 down to 1
}

TEST_F(PadCli, CheckBleedCountsAndMarksAnUnpaddedTexture) {
    const std::string picture = (root / "bleed.png").make_preferred().string();
    const Outcome run = Cli({upper, "--check-bleed", body_, "-o", picture});
    ASSERT_EQ(run.status, kOk) << run.err;
    std::istringstream lines(run.out);
    std::string header, first;
    std::getline(lines, header);
    std::getline(lines, first);
    int level = -1, w = 0, h = 0;
    size_t border = 0, thin = 0, unsampled = 0;
    ASSERT_EQ(std::sscanf(first.c_str(), "%d\t%d\t%d\t%zu\t%zu\t%zu", &level, &w, &h, &border,
                          &thin, &unsampled),
              6);
    EXPECT_EQ(level, 0);
    EXPECT_EQ(border, 60u); // the outline of a 16x16 square
    EXPECT_EQ(thin, 60u);
    EXPECT_EQ(unsampled, 0u); // the gutter is all background
    TextureImage marked;
    ASSERT_TRUE(LoadTexture(picture, marked).ok());
    ASSERT_EQ(marked.width, kSide);
    const uint8_t* corner = &marked.rgba[(size_t(8) * size_t(kSide) + size_t(8)) * 4];
    EXPECT_TRUE(std::equal(corner, corner + 4, kThinColour));
}

TEST_F(PadCli, BatchPadsEachTextureOnceWithAllItsWearers) {
    // A second model wearing body.tga on the left of the texture only.
    Md3ModelDesc model;
    Md3SurfaceDesc side;
    side.name = "side";
    side.shaders.push_back({"models/players/p/body.tga", 0});
    side.uv = {{0.05f, 0.05f}, {0.15f, 0.05f}, {0.05f, 0.15f}};
    side.triangles = {{0, 1, 2}};
    model.surfaces.push_back(side);
    fs::create_directories(root / "models/other");
    ASSERT_TRUE(WriteBytesToFile((root / "models/other/thing.md3").make_preferred().string(),
                                 BuildMd3(model).bytes));
    const fs::path out = root / "padded";
    const Outcome run = Cli({"--game", root.string(), "--batch", "*", "--pad", "-o", out.string()});
    ASSERT_EQ(run.status, kOk) << run.err;
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 2u); // body.tga and belt.tga, each once
    EXPECT_NE(run.out.find("padded 2 textures"), std::string::npos) << run.out;
    TextureImage body, belt;
    ASSERT_TRUE(
        LoadTexture((out / "models/players/p/body.tga").make_preferred().string(), body).ok());
    ASSERT_TRUE(
        LoadTexture((out / "models/players/p/belt.tga").make_preferred().string(), belt).ok());
    // Texel (2, 2) lies under the second model's face: kept (background) on
    // the file it wears, padded over on the one it does not.
    const size_t corner = (size_t(2) * size_t(kSide) + size_t(2)) * 4;
    const uint8_t background[4] = {255, 0, 254, 255};
    EXPECT_TRUE(std::equal(&body.rgba[corner], &body.rgba[corner] + 4, background));
    EXPECT_FALSE(std::equal(&belt.rgba[corner], &belt.rgba[corner] + 4, background));
    // An output folder that is the game itself would write over its textures.
    const Outcome over =
        Cli({"--game", root.string(), "--batch", "*", "--pad", "-o", root.string()});
    EXPECT_EQ(over.status, kCannotWrite);
    EXPECT_NE(over.err.find("nothing written"), std::string::npos) << over.err;
    EXPECT_EQ(Bytes(body_), PaintedTga());
}
