// Who wears the chosen surface's texture, in the window: the tooltips name
// the player's wearers, "Worn by…" lists the game's as the command line's
// --wearers does, and "all of its texture, in this player" draws the legs and
// the torso in one template, the union of their own templates.
#include "app/MainWindow/WornByDialog.h"
#include "app/OptionsDialog/OptionsDialog.h"
#include "export/SheetTemplate.h"
#include "image/TextureImage.h"
#include "tests/GuiHarness.h"
#include "tests/Md3Builder.h"
#include "tests/TestModels.h"

#include <QApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kGame = fs::path(GW_SOURCE_DIR) / "../shared/game";
const char* const kPlayer = "models/players/human_base";
const char* const kBase = "models/players/human_base/base";

#define NEED_GAME()                                                                                \
    if (!fs::exists(kGame / kPlayer / "lower.md3"))                                                \
    GTEST_SKIP() << "the shared game is not here"

// The window on a model of the shared game, its scripts read, the surface
// named chosen.
std::unique_ptr<MainWindow> OpenOn(const std::string& part, const char* surface) {
    auto window = StartMainWindow((kGame / kPlayer / part).make_preferred().string());
    QApplication::processEvents();
    const std::shared_ptr<GameTextureSource>& source = window->textures().source();
    EXPECT_TRUE(QTest::qWaitFor([&] { return source->textures().ScriptsRead(); }, 10000));
    QApplication::processEvents();
    const QList<QListWidgetItem*> rows =
        window->surfaceList()->findItems(QString::fromLatin1(surface), Qt::MatchExactly);
    EXPECT_EQ(rows.size(), 1) << surface;
    if (!rows.isEmpty())
        SelectRow(*window, window->surfaceList()->row(rows.first()));
    return window;
}

void Choose(MainWindow& window, SurfaceChoice choice) {
    TemplateOptions options = window.templateOptions();
    options.surfaces = choice;
    ASSERT_TRUE(WithModal([&] { window.OnTemplateOptions(); },
                          [&](QWidget* w) {
                              auto* panel = static_cast<OptionsDialog*>(w);
                              panel->SetOptions(options);
                              QTest::mouseClick(panel->Control("ok"), Qt::LeftButton);
                          }));
}

std::string Printed(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
}

TextureImage Decoded(const std::string& file) {
    TextureImage image;
    const Status read = LoadTexture(file, image);
    EXPECT_TRUE(read.ok()) << file << ": " << (read.ok() ? "" : read.error().Message());
    return image;
}

bool Dark(const TextureImage& image, size_t pixel) {
    return image.rgba[pixel * 4] < 128;
}

// A game of its own: a player whose legs and torso wear one texture, its
// head another, and a crate elsewhere in the game wearing the legs' too.
std::string WriteSmallGame(const fs::path& root) {
    const fs::path player = root / "models/players/p";
    fs::create_directories(player);
    fs::create_directories(root / "models/crates");
    auto write = [](const fs::path& file, std::vector<Md3SurfaceDesc> surfaces) {
        Md3ModelDesc model;
        model.surfaces = std::move(surfaces);
        EXPECT_TRUE(WriteBytesToFile(file.string(), BuildMd3(model).bytes)) << file;
    };
    Md3SurfaceDesc belt = TriangleSurface("l_belt", {0, 0}, {1, 0}, {0, 1});
    belt.shaders = {{"models/players/p/belt.tga", 0}};
    write(player / "lower.md3", {GridSurface("l_legs", 2, "models/players/p/skin.tga"), belt});
    Md3SurfaceDesc torso = TriangleSurface("u_torso", {0.5f, 0.5f}, {1, 0.5f}, {1, 1});
    torso.shaders = {{"models/players/p/skin.tga", 0}};
    write(player / "upper.md3", {torso});
    Md3SurfaceDesc head = TriangleSurface("h_head", {0, 0}, {1, 1}, {0, 1});
    head.shaders = {{"models/players/p/head.tga", 0}};
    write(player / "head.md3", {head});
    Md3SurfaceDesc box = TriangleSurface("c_box", {0, 0.5f}, {0.5f, 0.5f}, {0, 1});
    box.shaders = {{"models/players/p/skin.tga", 0}};
    write(root / "models/crates/crate.md3", {box});
    return (player / "lower.md3").make_preferred().string();
}

std::set<std::string> NamesOf(const std::vector<const Surface*>& surfaces) {
    std::set<std::string> names;
    for (const Surface* s : surfaces)
        names.insert(s->name);
    return names;
}

} // namespace

// On a game the test writes: the legs' texture is worn by the torso in the
// player and by a crate in the game; the belt by the legs' model alone.
TEST(WornByWindow, TheWidenedChoicesGatherThePlayersAndTheGamesWearers) {
    TempDir dir;
    auto window = StartMainWindow(WriteSmallGame(dir.path()));
    QApplication::processEvents();
    ModelTextures& textures = window->textures();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return textures.source()->textures().ScriptsRead(); }, 10000));
    SelectRow(*window, 0); // l_legs
    const QString tip = window->textureList()->toolTip();
    EXPECT_TRUE(tip.contains("upper.md3 u_torso")) << tip.toStdString();
    EXPECT_FALSE(tip.contains("crate.md3")) << tip.toStdString(); // not of the player
    using Names = std::set<std::string>;
    EXPECT_EQ(NamesOf(ChosenSurfaces(SurfaceChoice::SameTexture, textures, 0)), Names{"l_legs"});
    EXPECT_EQ(NamesOf(ChosenSurfaces(SurfaceChoice::PlayerTexture, textures, 0)),
              (Names{"l_legs", "u_torso"}));
    // Until the game is scanned, the player's.
    EXPECT_EQ(NamesOf(ChosenSurfaces(SurfaceChoice::GameTexture, textures, 0)),
              (Names{"l_legs", "u_torso"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return textures.GameWearers() != nullptr; }, 30000));
    EXPECT_EQ(NamesOf(ChosenSurfaces(SurfaceChoice::GameTexture, textures, 0)),
              (Names{"l_legs", "u_torso", "c_box"}));
    EXPECT_EQ(NamesOf(ChosenSurfaces(SurfaceChoice::GameTexture, textures, 1)), Names{"l_belt"});
    // The other models' surfaces outlive the models' gathering in the style.
    TemplateOptions game;
    game.surfaces = SurfaceChoice::GameTexture;
    const StyledTemplate styled = StyleFor(game, textures, 0);
    EXPECT_EQ(styled.models.size(), 3u);
    EXPECT_EQ(styled.style.runs.size(), 3u);
    (void)StyleFor(game, textures, 1); // another texture gathered
    EXPECT_EQ(NamesOf(styled.surfaces), (Names{"l_legs", "u_torso", "c_box"}));
}

// The SKIN box and the surface's line name the other part that wears the
// legs' texture, and the legs themselves with the skin that dresses them so.
TEST(WornByWindow, TheTooltipsNameThePlayersWearers) {
    NEED_GAME();
    auto window = OpenOn("lower.md3", "l_legs");
    const QString tip = window->textureList()->toolTip();
    EXPECT_TRUE(tip.contains("Worn by:")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("upper.md3 u_torso (default)")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("lower.md3 l_legs (default)")) << tip.toStdString();
    // The head wears none of it; the torso's own light skin dresses it in another file.
    EXPECT_FALSE(tip.contains("head.md3")) << tip.toStdString();
    EXPECT_FALSE(tip.contains("u_torso (default, light")) << tip.toStdString();
    const int row = window->selectedSurface();
    EXPECT_EQ(window->surfaceList()->item(row)->toolTip(),
              tip.mid(tip.indexOf("Worn by:"))); // the same list on the surface's line
    // Cut short, the list says how many it leaves out.
    const QStringList all = WornByLines(window->textures(), row, 100).split('\n');
    ASSERT_GE(all.size(), 3);
    const QStringList cut = WornByLines(window->textures(), row, 1).split('\n');
    EXPECT_EQ(cut, (QStringList{all[0], all[1], QString("and %1 more").arg(all.size() - 2)}));
}

// The dialog lists, row for row, what gridwright-flatten --wearers prints
// for the texture, and says it is looking until the game's scan is done.
TEST(WornByWindow, TheWornByListIsTheCommandLines) {
    NEED_GAME();
    auto window = OpenOn("lower.md3", "l_kneepads");
    WornByDialog dialog(window->textures(), window->selectedSurface(), window.get());
    QObject::connect(window.get(), &MainWindow::gameScanned, &dialog, &WornByDialog::Fill);
    EXPECT_EQ(dialog.statusText(), "Looking through the game's models…");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.list()->topLevelItemCount() > 0; }, 30000));
    std::map<std::string, std::set<std::string>> shown; // model, surface, origin -> skins
    for (int i = 0; i < dialog.list()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = dialog.list()->topLevelItem(i);
        const std::string key =
            (row->text(0) + "\t" + row->text(1) + "\t" + row->text(3)).toStdString();
        EXPECT_EQ(shown.count(key), 0u) << key; // each wearer once
        for (const QString& skin : row->text(2).split(", ", Qt::SkipEmptyParts))
            shown[key].insert(skin.toStdString());
    }
    const std::string listed = Printed(std::string(GW_FLATTEN_TOOL) + " --game '" + kGame.string() +
                                       "' --wearers models/players/human_base/armour");
    std::map<std::string, std::set<std::string>> printed;
    std::istringstream lines(listed);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string part; std::getline(fields, part, '\t');)
            f.push_back(part);
        ASSERT_EQ(f.size(), 4u) << line;
        printed[f[0] + "\t" + f[1] + "\t" + f[3]].insert(f[2]);
    }
    ASSERT_FALSE(printed.empty()) << listed;
    EXPECT_EQ(shown, printed);
}

// "All of its texture, in this player" on the legs: the PNG saved holds the
// torso's faces as well, pixel for pixel the union of the two parts' own
// templates as the command line writes them, with a line layer per part.
TEST(WornByWindow, InThisPlayerTheTemplateIsTheUnionOfThePartsTemplates) {
    NEED_GAME();
    TempDir dir;
    DesktopStandIn desktop;
    auto window = OpenOn("lower.md3", "l_legs");
    Choose(*window, SurfaceChoice::PlayerTexture);
    EXPECT_EQ(TemplateOptions::Load().surfaces, SurfaceChoice::PlayerTexture);
    const StyledTemplate styled =
        StyleFor(window->templateOptions(), window->textures(), window->selectedSurface());
    ASSERT_EQ(styled.style.runs.size(), 2u);
    EXPECT_EQ(styled.style.runs[0].name, "models/players/human_base/lower.md3: l_legs (default)");
    EXPECT_EQ(styled.style.runs[1].name, "models/players/human_base/upper.md3: u_torso (default)");
    EXPECT_EQ(styled.style.runs[0].count + styled.style.runs[1].count, styled.surfaces.size());

    const std::string joined = dir.File("player.png");
    desktop.answers.push_back(QString::fromStdString(joined));
    ASSERT_TRUE(WithModal([&] { window->OnFlatten(); },
                          [](QWidget* d) {
                              QTest::mouseClick(static_cast<LaidOutDialog*>(d)->control("save"),
                                                Qt::LeftButton);
                          }));
    // Named after the texture the parts share, not after either part.
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(QFileInfo(desktop.asked[0].initialName).fileName(), "base");
    TextureImage alone[2];
    const char* parts[2] = {"lower.md3", "upper.md3"};
    for (int k = 0; k < 2; ++k) {
        const std::string file = dir.File(std::string(parts[k]) + ".png");
        const std::string command = std::string(GW_FLATTEN_TOOL) + " '" +
                                    (kGame / kPlayer / parts[k]).string() + "' --texture " + kBase +
                                    " --size texture -o '" + file + "' > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        alone[k] = Decoded(file);
    }
    const TextureImage both = Decoded(joined);
    ASSERT_EQ(both.width, alone[0].width);
    ASSERT_EQ(both.height, alone[0].height);
    ASSERT_EQ(both.width, alone[1].width);
    size_t onlyLegs = 0, onlyTorso = 0, wrong = 0;
    for (size_t p = 0; p < size_t(both.width) * size_t(both.height); ++p) {
        const bool legs = Dark(alone[0], p), torso = Dark(alone[1], p);
        onlyLegs += legs && !torso;
        onlyTorso += torso && !legs;
        wrong += Dark(both, p) != (legs || torso);
    }
    EXPECT_GT(onlyLegs, 0u);
    EXPECT_GT(onlyTorso, 0u);
    EXPECT_EQ(wrong, 0u);
}

// "In the game" draws the player's until the game is scanned, then every
// wearer of the game; the choice is remembered, and a stored choice the
// window does not know gives the chosen surface and says so.
TEST(WornByWindow, InTheGameFollowsTheScanAndTheChoiceIsRemembered) {
    NEED_GAME();
    auto window = OpenOn("upper.md3", "u_armour_light");
    Choose(*window, SurfaceChoice::GameTexture);
    EXPECT_EQ(TemplateOptions::Load().surfaces, SurfaceChoice::GameTexture);
    ModelTextures& textures = window->textures();
    const int selected = window->selectedSurface();
    ASSERT_TRUE(QTest::qWaitFor([&] { return textures.GameWearers() != nullptr; }, 30000));
    const std::vector<const Surface*> game =
        ChosenSurfaces(SurfaceChoice::GameTexture, textures, selected);
    const std::vector<const Surface*> player =
        ChosenSurfaces(SurfaceChoice::PlayerTexture, textures, selected);
    // The surfaces the command line says wear it in the whole game, each once.
    std::multiset<std::string> drawn, worn;
    for (const Surface* s : game)
        drawn.insert(s->name);
    std::istringstream lines(Printed(std::string(GW_FLATTEN_TOOL) + " --game '" + kGame.string() +
                                     "' --wearers models/players/human_base/armour"));
    std::set<std::string> seen;
    for (std::string line; std::getline(lines, line);) {
        const std::string model = line.substr(0, line.find('\t'));
        const std::string rest = line.substr(line.find('\t') + 1);
        const std::string surface = rest.substr(0, rest.find('\t'));
        if (seen.insert(model + "\t" + surface).second)
            worn.insert(surface);
    }
    ASSERT_FALSE(worn.empty());
    EXPECT_EQ(drawn, worn);
    EXPECT_EQ(game.size(), player.size()); // the armour is worn by this player alone

    GridwrightSettings().setValue("template/surfaces", "galaxy");
    QStringList reset;
    EXPECT_EQ(TemplateOptions::Load(&reset).surfaces, SurfaceChoice::Selected);
    EXPECT_TRUE(reset.contains("template/surfaces"));
}

// A model with no part beside it: "in this player" and "in the game" are
// "in this model".
TEST(WornByWindow, AModelAloneDrawsItsOwnSurfacesOfTheTexture) {
    TempDir dir;
    auto window = StartMainWindow(WriteSampleModel(dir.path().string()));
    QApplication::processEvents();
    SelectRow(*window, 1);
    ModelTextures& textures = window->textures();
    const std::vector<const Surface*> own = ChosenSurfaces(SurfaceChoice::SameTexture, textures, 1);
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(ChosenSurfaces(SurfaceChoice::PlayerTexture, textures, 1), own);
    ASSERT_TRUE(QTest::qWaitFor([&] { return textures.GameWearers() != nullptr; }, 30000));
    EXPECT_EQ(ChosenSurfaces(SurfaceChoice::GameTexture, textures, 1), own);
    EXPECT_TRUE(StyleFor(TemplateOptions{}, textures, 1).models.empty());
}

// The window's sheet of the player: each texture its parts wear through any
// skin, each page the very template the command line draws of that texture
// across the game, at the place the sheet's layout gives it.
TEST(WornByWindow, ThePlayersSheetHoldsEachTexturesTemplateAtItsPlace) {
    NEED_GAME();
    TempDir dir;
    DesktopStandIn desktop;
    auto window = OpenOn("lower.md3", "l_legs");
    const std::shared_ptr<const WearerScan> scan = window->textures().PlayerWearers();
    ASSERT_NE(scan, nullptr);
    ASSERT_GE(scan->textures.size(), 5u); // legs, torso, head: each skin's textures
    const std::string sheet = dir.File("sheet.png");
    desktop.answers.push_back(QString::fromStdString(sheet));
    window->OnSavePlayerSheet();
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(desktop.asked[0].initialName, "human_base_sheet.png");
    const TextureImage drawn = Decoded(sheet);

    std::vector<TextureImage> alone;
    std::vector<SheetPage> pages;
    for (const WornFile& t : scan->textures) {
        const std::string file = dir.File("page" + std::to_string(alone.size()) + ".png");
        const std::string command = std::string(GW_FLATTEN_TOOL) + " --game '" + kGame.string() +
                                    "' --texture '" + t.texture + "' --size texture -o '" + file +
                                    "' > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        alone.push_back(Decoded(file));
        SheetPage page;
        page.label = fs::path(t.texture).filename().string() + "  " +
                     std::to_string(alone.back().width) + "x" + std::to_string(alone.back().height);
        page.style.width = alone.back().width;
        page.style.height = alone.back().height;
        pages.push_back(page);
    }
    const Result<SheetLayout> layout = LayOutSheet(pages);
    ASSERT_TRUE(layout.ok());
    ASSERT_EQ(drawn.width, layout.value().width);
    ASSERT_EQ(drawn.height, layout.value().height);
    for (size_t k = 0; k < pages.size(); ++k) {
        const SheetBox& at = layout.value().places[k].page;
        size_t differ = 0;
        for (int y = 0; y < at.height; ++y)
            for (int x = 0; x < at.width; ++x)
                differ += Dark(drawn, size_t(at.y + y) * size_t(drawn.width) + size_t(at.x + x)) !=
                          Dark(alone[k], size_t(y) * size_t(at.width) + size_t(x));
        EXPECT_EQ(differ, 0u) << scan->textures[k].texture;
    }
}
