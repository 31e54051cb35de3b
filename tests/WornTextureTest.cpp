// One template per texture file, over every model and skin that wears it,
// checked on the real game: against the single-model templates it must
// join, and against who wears what as the skins themselves say.
#include "export/SheetTemplate.h"
#include "image/TextureImage.h"
#include "model/ByteSource.h"
#include "model/Model.h"
#include "model/ModelFormats.h"
#include "model/SkinFile.h"
#include "tests/CliRun.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kGame = fs::path(GW_SOURCE_DIR) / "../shared/game";
const char* const kPlayer = "models/players/human_base";

#define NEED_GAME()                                                                                \
    if (!fs::exists(kGame / kPlayer / "lower.md3"))                                                \
    GTEST_SKIP() << "the shared game is not here"

TextureImage Decoded(const fs::path& file) {
    TextureImage image;
    const Status read = LoadTexture(file.string(), image);
    EXPECT_TRUE(read.ok()) << file << ": " << (read.ok() ? "" : read.error().Message());
    return image;
}

bool Dark(const TextureImage& image, size_t pixel) {
    return image.rgba[pixel * 4] < 128;
}

std::vector<std::string> Split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, by))
        parts.push_back(part);
    return parts;
}

} // namespace

// The human's base texture is worn by the legs and the torso: its one
// template is the union of the two models' own, pixel for pixel, and the
// manifest says both wear it.
TEST(WornTexture, ATextureWornByTwoModelsIsOneTemplateOfBoth) {
    NEED_GAME();
    TempDir dir;
    const fs::path out = dir.path() / "out";
    const Outcome batch =
        Cli({"--game", kGame.string(), "--batch", std::string(kPlayer) + "/*", "-o", out.string()});
    ASSERT_EQ(batch.status, kOk) << batch.err;
    const fs::path joined = out / kPlayer / "base.png";
    ASSERT_TRUE(fs::exists(joined)) << batch.out;
    EXPECT_FALSE(fs::exists(out / kPlayer / "base__upper_default.png"));

    TextureImage alone[2];
    const char* parts[2] = {"lower.md3", "upper.md3"};
    for (int k = 0; k < 2; ++k) {
        const fs::path file = dir.path() / (std::string(parts[k]) + ".png");
        const Outcome one =
            Cli({(kGame / kPlayer / parts[k]).string(), "--texture", std::string(kPlayer) + "/base",
                 "--size", "texture", "-o", file.string()});
        ASSERT_EQ(one.status, kOk) << one.err;
        alone[k] = Decoded(file);
    }
    const TextureImage both = Decoded(joined);
    ASSERT_EQ(both.width, alone[0].width);
    ASSERT_EQ(both.height, alone[0].height);
    size_t onlyLegs = 0, onlyTorso = 0, wrong = 0;
    for (size_t p = 0; p < size_t(both.width) * size_t(both.height); ++p) {
        const bool legs = Dark(alone[0], p), torso = Dark(alone[1], p);
        wrong += Dark(both, p) != (legs || torso);
        onlyLegs += legs && !torso;
        onlyTorso += torso && !legs;
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_GT(onlyLegs, 1000u); // each model brings faces of its own
    EXPECT_GT(onlyTorso, 1000u);

    const std::string manifest = ReadWholeFile((out / "manifest.jsonl").make_preferred().string());
    std::string line;
    for (const std::string& l : Split(manifest, '\n'))
        if (l.find("\"texture\": \"models/players/human_base/base.png\"") != std::string::npos)
            line = l;
    EXPECT_NE(line.find("{\"model\": \"models/players/human_base/lower.md3\", \"surface\": "
                        "\"l_legs\", \"skins\": [\"default\"]}"),
              std::string::npos)
        << line;
    EXPECT_NE(line.find("{\"model\": \"models/players/human_base/upper.md3\", \"surface\": "
                        "\"u_torso\", \"skins\": [\"default\"]}"),
              std::string::npos)
        << line;

    // The same texture asked for of the whole game, by another spelling of its name.
    const fs::path asked = dir.path() / "asked.png";
    const Outcome game =
        Cli({"--game", kGame.string(), "--texture", "MODELS\\Players\\human_base\\BASE.tga",
             "--size", "texture", "-o", asked.string()});
    ASSERT_EQ(game.status, kOk) << game.err;
    EXPECT_EQ(ReadWholeFile(asked.string()), ReadWholeFile(joined.string()));
}

// Through every skin, a texture is still one file: no two files written
// are alike, and a surface that wears a texture through some skins only
// says which.
TEST(WornTexture, EverySkinWritesNoTwoIdenticalFiles) {
    NEED_GAME();
    TempDir dir;
    const fs::path out = dir.path() / "out";
    const Outcome batch =
        Cli({"--game", kGame.string(), "--batch", "*", "--skin", "all", "-o", out.string()});
    ASSERT_NE(batch.status, kUsage) << batch.err; // two real textures are missing from the game
    std::map<std::string, fs::path> seen;
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        if (entry.path().extension() != ".png")
            continue;
        ++files;
        const auto [at, added] = seen.emplace(ReadWholeFile(entry.path().string()), entry.path());
        EXPECT_TRUE(added) << entry.path() << " is " << at->second;
    }
    EXPECT_GT(files, 20u);
    const std::string manifest = ReadWholeFile((out / "manifest.jsonl").make_preferred().string());
    EXPECT_NE(manifest.find("{\"model\": \"models/players/human_base/lower.md3\", \"surface\": "
                            "\"l_kneepads\", \"skins\": [\"default\", \"light\"]}"),
              std::string::npos);
}

// --wearers against the list the skins themselves give: every model of the
// player, every skin beside it, every surface it names (else the surface's
// own shader), for every texture the player wears.
TEST(WornTexture, WearersAreWhatTheSkinsSay) {
    NEED_GAME();
    std::map<std::string, std::set<std::string>> expected; // texture key -> lines
    for (const auto& entry : fs::directory_iterator(kGame / kPlayer)) {
        if (entry.path().extension() != ".md3")
            continue;
        const std::string stem = entry.path().stem().string();
        const std::string gamePath = std::string(kPlayer) + "/" + entry.path().filename().string();
        const Result<SourceBytes> bytes =
            ReadFileBytes(entry.path().string(), int64_t(64) << 20, "too large");
        ASSERT_TRUE(bytes.ok()) << entry.path();
        const Result<Model> model = ReadModel(bytes.value());
        ASSERT_TRUE(model.ok()) << entry.path();
        std::vector<std::pair<std::string, std::vector<SkinEntry>>> skins;
        for (const auto& file : fs::directory_iterator(kGame / kPlayer)) {
            const std::string name = file.path().filename().string();
            if (file.path().extension() == ".skin" && name.rfind(stem + "_", 0) == 0)
                skins.emplace_back(name.substr(stem.size() + 1, name.size() - stem.size() - 6),
                                   ParseSkin(ReadWholeFile(file.path().string())));
        }
        if (skins.empty())
            skins.emplace_back("", std::vector<SkinEntry>{});
        for (const auto& [skin, entries] : skins)
            for (const Surface& s : model.value().surfaces) {
                std::string texture = s.shaderName;
                for (const SkinEntry& e : entries)
                    if (LowerCase(e.surface) == LowerCase(s.name))
                        texture = e.texture;
                if (!TextureKey(texture).empty())
                    expected[TextureKey(texture)].insert(
                        gamePath + "\t" + s.name + "\t" + skin + "\t" +
                        entry.path().lexically_normal().generic_string());
            }
    }
    ASSERT_GE(expected.size(), 8u);
    for (const auto& [texture, lines] : expected) {
        const Outcome run = Cli({"--game", kGame.string(), "--wearers", texture});
        ASSERT_EQ(run.status, kOk) << texture << ": " << run.err;
        std::set<std::string> listed;
        for (const std::string& line : Split(run.out, '\n'))
            listed.insert(line);
        EXPECT_EQ(listed, lines) << texture;
    }
    const Outcome none = Cli({"--game", kGame.string(), "--wearers", "models/none/such"});
    EXPECT_EQ(none.status, kUsage);
    EXPECT_NE(none.err.find("no surface of the models of the game wears the texture"),
              std::string::npos)
        << none.err;
}

// A player's sheet: every texture its parts wear, each page the very
// template the batch wrote for it, at the place the layout gives it.
TEST(WornTexture, APlayersSheetHoldsEachOfItsTemplatesAtItsPlace) {
    NEED_GAME();
    TempDir dir;
    const fs::path out = dir.path() / "out";
    const Outcome batch = Cli({"--game", kGame.string(), "--batch", std::string(kPlayer) + "/*",
                               "--sheet", "-o", out.string()});
    ASSERT_EQ(batch.status, kOk) << batch.err;
    EXPECT_NE(batch.out.find(" and 4 sheets"), std::string::npos) << batch.out; // 3 models beside
    nlohmann::json sheet;
    std::map<std::string, std::string> templateOf; // texture -> file
    for (const std::string& line :
         Split(ReadWholeFile((out / "manifest.jsonl").make_preferred().string()), '\n')) {
        const nlohmann::json entry = nlohmann::json::parse(line);
        if (entry.contains("sheet") && entry["sheet"] == kPlayer)
            sheet = entry;
        if (entry.contains("sheet"))
            continue;
        // The textures the player's three parts wear, not its backpack's.
        for (const auto& wearer : entry["wearers"])
            for (const char* part : {"lower.md3", "upper.md3", "head.md3"})
                if (wearer["model"] == std::string(kPlayer) + "/" + part)
                    templateOf[entry["texture"]] = entry["output"];
    }
    ASSERT_TRUE(sheet.is_object());
    EXPECT_TRUE(sheet["error"].is_null()) << sheet["error"];
    ASSERT_EQ(sheet["pages"].size(), templateOf.size()); // every texture the player wears
    // The layout of pages of those sizes and labels, as the sheet was made.
    std::vector<TextureImage> alone;
    std::vector<SheetPage> pages;
    for (const auto& texture : sheet["pages"]) {
        alone.push_back(Decoded(templateOf.at(texture)));
        SheetPage page;
        page.label = fs::path(texture.get<std::string>()).filename().string() + "  " +
                     std::to_string(alone.back().width) + "x" + std::to_string(alone.back().height);
        page.style.width = alone.back().width;
        page.style.height = alone.back().height;
        pages.push_back(page);
    }
    const Result<SheetLayout> layout = LayOutSheet(pages);
    ASSERT_TRUE(layout.ok());
    const TextureImage drawn = Decoded(sheet["output"].get<std::string>());
    ASSERT_EQ(drawn.width, layout.value().width);
    ASSERT_EQ(drawn.height, layout.value().height);
    for (size_t k = 0; k < pages.size(); ++k) {
        const SheetBox& at = layout.value().places[k].page;
        size_t differ = 0;
        for (int y = 0; y < at.height; ++y)
            for (int x = 0; x < at.width; ++x)
                for (int c = 0; c < 4; ++c)
                    differ +=
                        drawn.rgba[(size_t(at.y + y) * size_t(drawn.width) + size_t(at.x + x)) * 4 +
                                   size_t(c)] !=
                        alone[k].rgba[(size_t(y) * size_t(at.width) + size_t(x)) * 4 + size_t(c)];
        EXPECT_EQ(differ, 0u) << sheet["pages"][k];
    }
}
