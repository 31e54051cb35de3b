// "Pack the skin..." in the main window: the pak it writes is the command
// line's --pack of the same model and skin, byte for byte; a skin with
// problems is shown them and nothing is written.
#include "app/MainWindow/MainWindow.h"
#include "tests/GuiHarness.h"
#include "tests/Md3Builder.h"
#include "tests/TestModels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// A player's torso beside its default skin, in a game folder of its own.
std::string WriteBot(const fs::path& root, const std::string& skin) {
    const fs::path bot = root / "models" / "players" / "bot";
    fs::create_directories(bot);
    Md3ModelDesc model;
    Md3SurfaceDesc s;
    s.name = "u_torso";
    s.shaders.push_back({"models/players/bot/unused", 0});
    s.positions = {{0, 0, 0}, {64, 0, 0}, {0, 64, 0}};
    s.uv = {{0.1f, 0.1f}, {0.9f, 0.1f}, {0.5f, 0.9f}};
    s.triangles = {{0, 1, 2}};
    model.surfaces.push_back(s);
    const std::string path = (bot / "upper.md3").make_preferred().string();
    EXPECT_TRUE(WriteBytesToFile(path, BuildMd3(model).bytes));
    WriteWholeFile((bot / "upper_default.skin").make_preferred().string(), skin);
    WriteWholeFile((bot / "torso.tga").make_preferred().string(), "painted torso");
    return path;
}

} // namespace

TEST(PackSkinWindow, ThePakIsTheCommandLinesAndProblemsWriteNothing) {
    TempDir dir;
    DesktopStandIn desktop;
    const fs::path game = dir.path() / "game";
    const std::string model = WriteBot(game, "u_torso,models/players/bot/torso.tga\n");
    auto window = StartMainWindow(model);
    ASSERT_NE(window->model(), nullptr);

    const std::string pak = dir.File("bot.pk3"), reference = dir.File("reference.pk3");
    desktop.answers = {QString::fromStdString(pak)};
    window->OnPackSkin();
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_FALSE(desktop.asked[0].open);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_TRUE(desktop.messages[0].text.contains("packed into bot.pk3"))
        << desktop.messages[0].text.toStdString();
    EXPECT_TRUE(desktop.messages[0].detail.contains("models/players/bot/torso.tga"))
        << desktop.messages[0].detail.toStdString();
    const std::string command = std::string(GW_FLATTEN_TOOL) + " '" + model + "' --pack '" +
                                reference + "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string written = ReadWholeFile(pak);
    EXPECT_FALSE(written.empty());
    EXPECT_EQ(written, ReadWholeFile(reference));
    if (std::system("command -v unzip >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("unzip -tq '" + pak + "' >/dev/null").c_str()), 0);
    }

    // A skin naming a missing picture: its problem shown, no pak written.
    WriteWholeFile((game / "models/players/bot/upper_default.skin").make_preferred().string(),
                   "u_torso,models/players/bot/missing.tga\n");
    const std::string refused = dir.File("refused.pk3");
    desktop.answers = {QString::fromStdString(refused)};
    window->OnPackSkin();
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_TRUE(desktop.messages[1].text.startsWith("Nothing written"))
        << desktop.messages[1].text.toStdString();
    EXPECT_TRUE(desktop.messages[1].detail.contains("missing.tga"))
        << desktop.messages[1].detail.toStdString();
    EXPECT_FALSE(fs::exists(refused));

    // Inside the game folder the pak is refused: the game would read it.
    desktop.answers = {QString::fromStdString((game / "zz.pk3").make_preferred().string())};
    window->OnPackSkin();
    ASSERT_EQ(desktop.messages.size(), 3u);
    EXPECT_TRUE(desktop.messages[2].detail.contains("inside the game folder"));
    EXPECT_FALSE(fs::exists(game / "zz.pk3"));
}
