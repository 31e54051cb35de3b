// The workspace on a real X display with Mesa's software OpenGL: the model
// wears its texture in the 3D view, a save of the texture by rename shows
// within two seconds in the 3D view and under the layout, and a click on a
// face chooses its surface in the main window; a player inside a pak is
// joined; pictures come from their decoding thread, scaled to the view.
#include "app/MainWindow/MainWindow.h"
#include "app/Workspace/LayoutView.h"
#include "app/Workspace/ModelView.h"
#include "app/Workspace/WorkspaceWindow.h"
#include "tests/GuiHarness.h"
#include "tests/Md3Builder.h"
#include "tests/TestModels.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>
#include <zip.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

// A picture of one colour (8 x 8 unless told), 32-bit, top row first.
std::string OneColourTga(uint8_t r, uint8_t g, uint8_t b, int width = 8, int height = 8) {
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = char(width & 255);
    tga[13] = char(width >> 8);
    tga[14] = char(height & 255);
    tga[15] = char(height >> 8);
    tga[16] = 32;
    tga[17] = 0x28; // top-left origin, 8 alpha bits
    for (int i = 0; i < width * height; ++i)
        tga += {char(b), char(g), char(r), char(255)};
    return tga;
}

// A cube 128 units wide about the origin, every face wearing `shader`.
Md3SurfaceDesc Cube(const std::string& name, const std::string& shader) {
    Md3SurfaceDesc cube;
    cube.name = name;
    cube.shaders = {{shader, 0}};
    for (int i = 0; i < 8; ++i) {
        cube.positions.push_back(
            {int16_t(i & 1 ? 64 : -64), int16_t(i & 2 ? 64 : -64), int16_t(i & 4 ? 64 : -64)});
        cube.uv.push_back({i & 2 ? 0.9f : 0.1f, i & 4 ? 0.1f : 0.9f});
    }
    cube.triangles = {{1, 3, 7}, {1, 7, 5}, {0, 4, 6}, {0, 6, 2}, {2, 6, 7}, {2, 7, 3},
                      {0, 1, 5}, {0, 5, 4}, {4, 5, 7}, {4, 7, 6}, {0, 2, 3}, {0, 3, 1}};
    return cube;
}

std::string Md3Text(const Md3ModelDesc& desc) {
    const std::vector<uint8_t> bytes = BuildMd3(desc).bytes;
    return std::string(bytes.begin(), bytes.end());
}

void WriteZip(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& files) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, content] : files) {
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_RAW), 0) << zip_strerror(zip);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

// Waits up to two seconds for a condition, the events running.
template <typename Test> bool Within2s(Test&& test) {
    QElapsedTimer clock;
    clock.start();
    while (!test()) {
        if (clock.elapsed() > 2000)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Which channel leads in a pixel: 'r', 'g', 'b', or 0 when none clearly does.
char Leading(QRgb c) {
    const int r = qRed(c), g = qGreen(c), b = qBlue(c);
    if (r > 60 && r > 2 * g && r > 2 * b)
        return 'r';
    if (g > 60 && g > 2 * r && g > 2 * b)
        return 'g';
    if (b > 60 && b > 2 * r && b > 2 * g)
        return 'b';
    return 0;
}

// The share of a picture's pixels (on a grid) led by a channel.
double Share(const QImage& image, char channel) {
    int led = 0, all = 0;
    for (int y = 4; y < image.height(); y += 8)
        for (int x = 4; x < image.width(); x += 8, ++all)
            led += Leading(image.pixel(x, y)) == channel;
    return all ? double(led) / all : 0;
}

} // namespace

TEST(WorkspaceGl, TheModelWearsItsTextureAndFollowsItsSavesAndClicks) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::filesystem::path folder = dir.path() / "models" / "test";
    std::filesystem::create_directories(folder);
    Md3ModelDesc desc;
    Md3SurfaceDesc marker;
    marker.name = "marker";
    marker.positions = {{-1280, 0, 0}, {-1280, 64, 0}, {-1280, 0, 64}};
    marker.uv = {{0.1f, 0.1f}, {0.2f, 0.1f}, {0.1f, 0.2f}};
    marker.triangles = {{0, 1, 2}};
    Md3SurfaceDesc cube;
    cube.name = "cube";
    cube.shaders = {{"models/test/paint.tga", 0}};
    for (int i = 0; i < 8; ++i) {
        cube.positions.push_back(
            {int16_t(i & 1 ? 64 : -64), int16_t(i & 2 ? 64 : -64), int16_t(i & 4 ? 64 : -64)});
        cube.uv.push_back({i & 2 ? 0.9f : 0.1f, i & 4 ? 0.1f : 0.9f});
    }
    cube.triangles = {{1, 3, 7}, {1, 7, 5}, {0, 4, 6}, {0, 6, 2}, {2, 6, 7}, {2, 7, 3},
                      {0, 1, 5}, {0, 5, 4}, {4, 5, 7}, {4, 7, 6}, {0, 2, 3}, {0, 3, 1}};
    desc.surfaces = {marker, cube};
    const std::string model = (folder / "cube.md3").make_preferred().string();
    ASSERT_TRUE(WriteBytesToFile(model, BuildMd3(desc).bytes));
    const std::string texture = (folder / "paint.tga").make_preferred().string();
    WriteWholeFile(texture, OneColourTga(220, 30, 30));

    auto window = StartMainWindow(model);
    QApplication::processEvents();
    ASSERT_EQ(window->surfaceList()->count(), 2);
    SelectRow(*window, 1);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    ModelView* view = workspace->modelView();
    // Close to the cube's +x side: it fills the view.
    OrbitCamera& camera = view->camera();
    camera.target = {};
    camera.yaw = 0;
    camera.pitch = 0;
    camera.distance = 1.6f;
    view->update();
    // The picture comes from its decoding thread.
    EXPECT_TRUE(Within2s([&] { return Share(view->grabFramebuffer(), 'r') > 0.99; }));
    QImage frame = view->grabFramebuffer();
    ASSERT_FALSE(frame.isNull());
    EXPECT_GT(Share(frame, 'r'), 0.99) << "red share " << Share(frame, 'r');
    EXPECT_EQ(view->uploadedTriangles(), 13u);

    // Saved as editors save: written aside, renamed over.
    QElapsedTimer clock;
    clock.start();
    const std::string aside = (folder / ".paint.tga.new").make_preferred().string();
    WriteWholeFile(aside, OneColourTga(30, 200, 30));
    ASSERT_EQ(std::rename(aside.c_str(), texture.c_str()), 0);
    bool green = false;
    while (!green && clock.elapsed() < 2000) {
        QTest::qWait(50);
        green = Share(view->grabFramebuffer(), 'g') > 0.99;
    }
    EXPECT_TRUE(green) << "the 3D view did not show the new texture within 2 s";
    std::printf("the new texture showed after %lld ms\n", static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(camera.distance, 1.6f); // the camera kept
    // The layout's underlay shows it too: the texture's square is green.
    Within2s([&] { return Share(workspace->layoutView()->grab().toImage(), 'g') > 0.3; });
    const QImage layout = workspace->layoutView()->grab().toImage();
    EXPECT_GT(Share(layout, 'g'), 0.3) << "green share under the layout " << Share(layout, 'g');

    // Caught half written, the picture is not reported: the view keeps the
    // last one, and shows the finished file once it settles.
    const std::string blue = OneColourTga(30, 30, 220);
    WriteWholeFile(texture, blue.substr(0, 40));
    QTest::qWait(600);
    EXPECT_TRUE(workspace->statusText().isEmpty()) << workspace->statusText().toStdString();
    EXPECT_GT(Share(view->grabFramebuffer(), 'g'), 0.99);
    WriteWholeFile(texture, blue);
    clock.restart();
    bool shown = false;
    while (!shown && clock.elapsed() < 2000) {
        QTest::qWait(50);
        shown = Share(view->grabFramebuffer(), 'b') > 0.99;
    }
    EXPECT_TRUE(shown) << "the finished file was not shown";
    EXPECT_TRUE(workspace->statusText().isEmpty());

    // A click on a face chooses its surface in the main window.
    SelectRow(*window, 0);
    QTest::mouseClick(view, Qt::LeftButton, {}, view->rect().center());
    EXPECT_EQ(window->surfaceList()->currentRow(), 1);
    // And a choice there outlines it here, in orange; another choice takes
    // the outline away.
    auto orangePixels = [view] {
        const QImage shown = view->grabFramebuffer();
        int orange = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb c = shown.pixel(x, y);
                orange += qRed(c) > 180 && qGreen(c) > 90 && qGreen(c) < 170 && qBlue(c) < 80;
            }
        return orange;
    };
    camera.distance = 6;
    view->update();
    const int outlined = orangePixels();
    EXPECT_GT(outlined, 50);
    SelectRow(*window, 0);
    EXPECT_LT(orangePixels(), outlined / 4);
}

// The chosen surface's outline covers the paint of a model of one surface:
// O and a check box take it away (remembered), and it is one pixel wide.
TEST(WorkspaceGl, TheChosenSurfacesOutlineIsThinAndTurnsOffByKeyAndCheckBox) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::filesystem::path folder = dir.path() / "models" / "test";
    std::filesystem::create_directories(folder);
    Md3ModelDesc desc;
    Md3SurfaceDesc cube;
    cube.name = "cube";
    cube.shaders = {{"models/test/paint.tga", 0}};
    for (int i = 0; i < 8; ++i) {
        cube.positions.push_back(
            {int16_t(i & 1 ? 64 : -64), int16_t(i & 2 ? 64 : -64), int16_t(i & 4 ? 64 : -64)});
        cube.uv.push_back({i & 2 ? 0.9f : 0.1f, i & 4 ? 0.1f : 0.9f});
    }
    cube.triangles = {{1, 3, 7}, {1, 7, 5}, {0, 4, 6}, {0, 6, 2}, {2, 6, 7}, {2, 7, 3},
                      {0, 1, 5}, {0, 5, 4}, {4, 5, 7}, {4, 7, 6}, {0, 2, 3}, {0, 3, 1}};
    desc.surfaces = {cube};
    const std::string model = (folder / "cube.md3").make_preferred().string();
    ASSERT_TRUE(WriteBytesToFile(model, BuildMd3(desc).bytes));

    // Its texture is painted after the model is opened: the view wears it
    // once it is saved, without opening the model again.
    auto window = StartMainWindow(model);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    ModelView* view = workspace->modelView();
    view->camera().distance = 4;
    view->update();
    EXPECT_LT(Share(view->grabFramebuffer(), 'b'), 0.05);
    WriteWholeFile((folder / "paint.tga").make_preferred().string(), OneColourTga(30, 30, 220));
    QElapsedTimer clock;
    clock.start();
    bool painted = false;
    while (!painted && clock.elapsed() < 2000) {
        QTest::qWait(50);
        painted = Share(view->grabFramebuffer(), 'b') > 0.2;
    }
    EXPECT_TRUE(painted) << "the texture painted after the model was opened did not show";
    auto isOrange = [](QRgb c) {
        return qRed(c) > 180 && qGreen(c) > 90 && qGreen(c) < 170 && qBlue(c) < 80;
    };
    // Orange pixels, and those of them whose row and column both run on
    // orange (a line more than one pixel wide).
    auto orange = [&](int* thick) {
        const QImage shown = view->grabFramebuffer();
        int count = 0;
        *thick = 0;
        for (int y = 1; y + 1 < shown.height(); ++y)
            for (int x = 1; x + 1 < shown.width(); ++x) {
                if (!isOrange(shown.pixel(x, y)))
                    continue;
                ++count;
                const bool across =
                    isOrange(shown.pixel(x - 1, y)) && isOrange(shown.pixel(x + 1, y));
                const bool down =
                    isOrange(shown.pixel(x, y - 1)) && isOrange(shown.pixel(x, y + 1));
                *thick += across && down;
            }
        return count;
    };
    int thick = 0;
    const int outlined = orange(&thick);
    EXPECT_GT(outlined, 100);
    EXPECT_LT(thick, outlined / 50)
        << thick << " of " << outlined << " orange pixels are inside a thick line";

    auto* box = workspace->findChild<QCheckBox*>("outline");
    ASSERT_NE(box, nullptr) << "no check box for the outline";
    EXPECT_TRUE(box->isChecked());
    QTest::keyClick(workspace, Qt::Key_O);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(orange(&thick), 0);
    box->click();
    EXPECT_GT(orange(&thick), outlined / 2);
    box->click();
    EXPECT_EQ(orange(&thick), 0);
    EXPECT_FALSE(GridwrightSettings().value("workspace/outline", true).toBool());
}

// A player packed in a pak: its legs and head come from the pak too, each
// wearing its texture from the pak; a part there that is no model says why.
TEST(WorkspaceGl, APlayerInsideAZippedPakIsJoinedWearingThePaksTextures) {
    TempDir dir;
    DesktopStandIn desktop;
    Md3ModelDesc lower, upper, head;
    lower.surfaces = {Cube("legs", "models/players/p/green.tga")};
    lower.tags = {{"tag_torso", {0, 0, 2}}}; // a cube above (positions count 1/64)
    upper.surfaces = {Cube("torso", "models/players/p/red.tga")};
    upper.tags = {{"tag_head", {0, 0, 2}}};
    head.surfaces = {Cube("face", "models/players/p/blue.tga")};
    const std::string pak = dir.File("test.pk3");
    WriteZip(pak, {{"models/players/p/lower.md3", Md3Text(lower)},
                   {"models/players/p/upper.md3", Md3Text(upper)},
                   {"models/players/p/head.md3", Md3Text(head)},
                   {"models/players/p/green.tga", OneColourTga(30, 200, 30)},
                   {"models/players/p/red.tga", OneColourTga(220, 30, 30)},
                   {"models/players/p/blue.tga", OneColourTga(30, 30, 220)}});
    auto window = StartMainWindow(pak + ":models/players/p/upper.md3");
    ASSERT_NE(window->model(), nullptr);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    workspace->SetJoinPlayer(true);
    EXPECT_TRUE(workspace->showsPlayer());
    ModelView* view = workspace->modelView();
    EXPECT_EQ(view->parts().size(), 3u);
    EXPECT_TRUE(workspace->statusText().isEmpty()) << workspace->statusText().toStdString();
    // Seen whole, each part shows its own colour.
    view->FitView();
    auto all = [&] {
        const QImage shown = view->grabFramebuffer();
        return Share(shown, 'r') > 0.02 && Share(shown, 'g') > 0.02 && Share(shown, 'b') > 0.02;
    };
    EXPECT_TRUE(Within2s(all)) << "the parts do not wear their pak's textures: red "
                               << Share(view->grabFramebuffer(), 'r') << ", green "
                               << Share(view->grabFramebuffer(), 'g') << ", blue "
                               << Share(view->grabFramebuffer(), 'b');

    // The head there is not a model: the torso and legs are shown, and the
    // reason is said.
    std::filesystem::create_directories(dir.path() / "other");
    const std::string broken = dir.File("other/broken.pk3");
    WriteZip(broken, {{"models/players/p/lower.md3", Md3Text(lower)},
                      {"models/players/p/upper.md3", Md3Text(upper)},
                      {"models/players/p/head.md3", "IDP3 and then nothing"}});
    window.reset();
    window = StartMainWindow(broken + ":models/players/p/upper.md3");
    window->OpenWorkspace();
    workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    workspace->SetJoinPlayer(true);
    EXPECT_EQ(workspace->modelView()->parts().size(), 2u);
    EXPECT_TRUE(workspace->statusText().contains("the head (head.md3) is not a model: "))
        << workspace->statusText().toStdString();
}

// A texture larger than the view can show is decoded off the interface
// thread and given to the view scaled down, the picture the cache holds (and
// counts in its budget); until it comes the model is drawn untextured.
TEST(WorkspaceGl, PicturesComeFromTheirDecoderScaledToWhatTheViewShows) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::filesystem::path folder = dir.path() / "models" / "test";
    std::filesystem::create_directories(folder);
    Md3ModelDesc desc;
    desc.surfaces = {Cube("cube", "models/test/wide.tga")};
    const std::string model = (folder / "cube.md3").make_preferred().string();
    ASSERT_TRUE(WriteBytesToFile(model, BuildMd3(desc).bytes));
    const std::string texture = (folder / "wide.tga").make_preferred().string();
    WriteWholeFile(texture, OneColourTga(220, 30, 30, 4096, 16));
    auto window = StartMainWindow(model);
    window->OpenWorkspace(); // no events run until the checks below
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ModelView* view = workspace->modelView();
    ASSERT_EQ(view->pictures().size(), 1u);
    ASSERT_EQ(view->pictures()[0].size(), 1u);
    EXPECT_EQ(view->pictures()[0][0], nullptr) << "decoded on the interface thread";
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    ASSERT_TRUE(Within2s([&] { return view->pictures()[0][0] != nullptr; }));
    const std::shared_ptr<const TextureImage> shown = view->pictures()[0][0];
    EXPECT_EQ(shown->width, 2048);
    EXPECT_EQ(shown->height, 8);
    EXPECT_EQ(workspace->ViewPictureSide(), 2048); // llvmpipe takes larger ones
    EXPECT_EQ(window->textures().source()->cache()->Peek(texture, 2048), shown);
    OrbitCamera& camera = view->camera();
    camera.target = {};
    camera.yaw = camera.pitch = 0;
    camera.distance = 1.6f;
    view->update();
    EXPECT_TRUE(Within2s([&] { return Share(view->grabFramebuffer(), 'r') > 0.99; }));
}

// A Quake model wears the skin it holds in the 3D view, the one chosen in
// the main window; its frames are on the slider; named as a player's part
// it is still a model by itself, since only Quake III's players are joined.
TEST(WorkspaceGl, AQuakeModelWearsTheSkinItHoldsAndPlaysItsFrames) {
    const std::string key = std::string(GW_MODEL_CORPUS) + "/mdl/b_g_key/progs/b_g_key.mdl";
    if (!std::filesystem::exists(key))
        GTEST_SKIP() << key << " is not here";
    TempDir dir;
    DesktopStandIn desktop;
    auto window = StartMainWindow(key);
    ASSERT_NE(window->model(), nullptr);
    ASSERT_GE(window->model()->skins.size(), 2u);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    auto* frames = workspace->findChild<QSlider*>("frame");
    ASSERT_NE(frames, nullptr);
    EXPECT_EQ(frames->maximum() + 1, window->model()->FrameCount());
    EXPECT_GT(window->model()->FrameCount(), 1);
    EXPECT_FALSE(workspace->findChild<QCheckBox*>("joinPlayer")->isEnabled());
    ModelView* view = workspace->modelView();
    view->FitView();
    // Untextured, the model is drawn in grey: its skin gives it colour.
    auto coloured = [](const QImage& shown) {
        int count = 0;
        for (int y = 0; y < shown.height(); y += 4)
            for (int x = 0; x < shown.width(); x += 4) {
                const QRgb c = shown.pixel(x, y);
                count += std::abs(qRed(c) - qBlue(c)) > 40 || std::abs(qGreen(c) - qBlue(c)) > 40;
            }
        return count;
    };
    EXPECT_TRUE(Within2s([&] { return coloured(view->grabFramebuffer()) > 50; }))
        << coloured(view->grabFramebuffer()) << " coloured pixels";
    // The key's six skins are one picture: the armour's three differ.
    const std::string armor = std::string(GW_MODEL_CORPUS) + "/mdl/armor/progs/armor.mdl";
    window.reset();
    window = StartMainWindow(armor);
    ASSERT_NE(window->model(), nullptr);
    window->OpenWorkspace();
    workspace = window->workspace();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    view = workspace->modelView();
    view->FitView();
    EXPECT_TRUE(Within2s([&] { return coloured(view->grabFramebuffer()) > 50; }));
    const QImage first = view->grabFramebuffer();
    const auto& held = window->model()->skins;
    ASSERT_GE(held.size(), 2u);
    ASSERT_NE(held[1].indices, held[0].indices);
    int other = -1;
    for (int i = 0; i < int(window->textures().skins().size()); ++i)
        if (window->textures().skins()[size_t(i)].name == held[1].name)
            other = i;
    ASSERT_GE(other, 0);
    window->OnChooseSkin(other);
    auto differing = [&] {
        const QImage shown = view->grabFramebuffer();
        int count = 0;
        for (int y = 0; y < shown.height(); y += 4)
            for (int x = 0; x < shown.width(); x += 4)
                count += shown.pixel(x, y) != first.pixel(x, y);
        return count;
    };
    EXPECT_TRUE(Within2s([&] { return differing() > 50; })) << differing() << " pixels changed";

    // The same bytes named as a player's torso: no parts to join.
    const std::string upper = dir.File("upper.mdl");
    std::filesystem::copy_file(key, upper);
    window.reset();
    window = StartMainWindow(upper);
    window->OpenWorkspace();
    workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    EXPECT_FALSE(workspace->findChild<QCheckBox*>("joinPlayer")->isEnabled());
    workspace->SetJoinPlayer(true);
    EXPECT_FALSE(workspace->showsPlayer());
    EXPECT_EQ(workspace->modelView()->parts().size(), 1u);
}

// A surface of more vertices than 16-bit indices reach (a sculpt's) is drawn
// from its vertices once and outlined when chosen, as a small one is; a
// surface whose edges outnumber a quarter of the view's pixels is not.
TEST(WorkspaceGl, ASurfacePastSixtyFiveThousandVerticesIsOutlined) {
    // A cube's corners at vertex 69,000 and on, the vertices before unused.
    const Md3SurfaceDesc cube = Cube("cube", "");
    const int32_t offset = 69000;
    Surface big;
    big.name = "big";
    big.u.assign(size_t(offset) + 8, 0.5);
    big.v.assign(size_t(offset) + 8, 0.5);
    big.positions.assign(size_t(offset) + 8, Point3{0, 0, 0});
    big.normals.assign(size_t(offset) + 8, Point3{0, 0, 1});
    for (size_t i = 0; i < 8; ++i) {
        big.positions[size_t(offset) + i] = {
            float(cube.positions[i][0]), float(cube.positions[i][1]), float(cube.positions[i][2])};
        const Point3 p = big.positions[size_t(offset) + i];
        const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        big.normals[size_t(offset) + i] = {p[0] / length, p[1] / length, p[2] / length};
    }
    for (const auto& t : cube.triangles)
        big.triangles.push_back({t[0] + offset, t[1] + offset, t[2] + offset});
    auto model = std::make_shared<Model>();
    model->surfaces.push_back(big);

    ModelView view;
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.SetScene(SingleModel(model, 0), {}, true);
    auto orangePixels = [&view] {
        const QImage shown = view.grabFramebuffer();
        int orange = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb c = shown.pixel(x, y);
                orange += qRed(c) > 180 && qGreen(c) > 90 && qGreen(c) < 170 && qBlue(c) < 80;
            }
        return orange;
    };
    EXPECT_EQ(orangePixels(), 0);
    EXPECT_EQ(view.uploadedTriangles(), 12u);
    view.SetSelected(0, 0);
    EXPECT_GT(orangePixels(), 50);

    // 400 x 300 / 4 = 30,000 edges at most: a grid of 100 x 100 cells has
    // 30,200, and stays unoutlined.
    Surface grid = big;
    grid.triangles.clear();
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 100; ++x) {
            const int32_t i = y * 101 + x;
            grid.triangles.push_back({i, i + 1, i + 101});
            grid.triangles.push_back({i + 1, i + 102, i + 101});
        }
    for (int32_t y = 0; y <= 100; ++y)
        for (int32_t x = 0; x <= 100; ++x)
            grid.positions[size_t(y) * 101 + size_t(x)] = {float(x - 50), float(y - 50), 0};
    auto dense = std::make_shared<Model>();
    dense->surfaces.push_back(grid);
    view.SetScene(SingleModel(dense, 0), {}, true);
    EXPECT_EQ(orangePixels(), 0);
    EXPECT_EQ(view.uploadedTriangles(), 20000u);
}

// A sculpt too large to turn smoothly is drawn coarse while the camera
// moves: the same silhouette and shading within a few levels, and the whole
// mesh again, unasked, once the camera stops.
TEST(WorkspaceGl, ALargeMeshTurnsCoarseAndSettlesWhole) {
    const int rings = 300, segments = 500; // 298,000 triangles
    Surface sphere;
    sphere.name = "sculpt";
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const double lat = M_PI * r / rings, lng = 2 * M_PI * s / segments;
            const Point3 n{float(std::sin(lat) * std::cos(lng)),
                           float(std::sin(lat) * std::sin(lng)), float(std::cos(lat))};
            sphere.positions.push_back({n[0] * 50, n[1] * 50, n[2] * 50});
            sphere.normals.push_back(n);
            sphere.u.push_back(double(s) / segments);
            sphere.v.push_back(double(r) / rings);
        }
    for (int32_t r = 0; r < rings; ++r)
        for (int32_t s = 0; s < segments; ++s) {
            const int32_t i = r * (segments + 1) + s, below = i + segments + 1;
            if (r > 0)
                sphere.triangles.push_back({i, below, i + 1});
            if (r + 1 < rings)
                sphere.triangles.push_back({i + 1, below, below + 1});
        }
    auto model = std::make_shared<Model>();
    model->surfaces.push_back(sphere);
    const size_t all = sphere.triangles.size();

    ModelView view;
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.SetScene(SingleModel(model, 0), {}, true);
    view.grabFramebuffer();
    EXPECT_EQ(view.drawnTriangles(), all);
    view.camera().yaw += 0.3f;
    const QImage moving = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    EXPECT_LT(view.drawnTriangles(), all / 2);
    EXPECT_GT(view.drawnTriangles(), 1000u);
    // The camera has not moved since: the whole mesh, from the same place.
    const QImage still = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(view.drawnTriangles(), all);
    ASSERT_EQ(moving.size(), still.size());
    int covered = 0, differs = 0;
    const QRgb background = still.pixel(0, 0);
    for (int y = 0; y < still.height(); ++y)
        for (int x = 0; x < still.width(); ++x) {
            const QRgb a = moving.pixel(x, y), b = still.pixel(x, y);
            covered += b != background;
            differs += std::abs(qRed(a) - qRed(b)) > 24 || std::abs(qGreen(a) - qGreen(b)) > 24;
        }
    EXPECT_GT(covered, 10000);
    EXPECT_LT(differs, covered / 25) << differs << " of " << covered << " pixels differ";

    // Moved again, then left alone: the view draws the whole mesh by itself.
    view.camera().yaw += 0.3f;
    view.grabFramebuffer();
    EXPECT_LT(view.drawnTriangles(), all / 2);
    EXPECT_TRUE(Within2s([&] {
        QApplication::processEvents();
        return view.drawnTriangles() == all;
    }));
}

namespace {

// Where a point of the world lands in a view of this size.
QPoint OnScreen(const OrbitCamera& camera, const Vec3& p, int width, int height) {
    const std::array<float, 16> v = camera.View(),
                                m = camera.Projection(float(width) / float(height));
    float eye[4], clip[4];
    const float in[4] = {p.x, p.y, p.z, 1};
    for (int r = 0; r < 4; ++r) { // column-major: element (r, c) at c * 4 + r
        eye[r] = 0;
        for (int c = 0; c < 4; ++c)
            eye[r] += v[size_t(c) * 4 + size_t(r)] * in[c];
    }
    for (int r = 0; r < 4; ++r) {
        clip[r] = 0;
        for (int c = 0; c < 4; ++c)
            clip[r] += m[size_t(c) * 4 + size_t(r)] * eye[c];
    }
    return {int((clip[0] / clip[3] + 1) / 2 * float(width)),
            int((1 - clip[1] / clip[3]) / 2 * float(height))};
}

// The channel leading in every pixel of a 5 x 5 patch about each part's
// centre ("rrr": three parts all red), or '?' where they disagree.
std::string CentreColours(ModelView* view) {
    const QImage shown = view->grabFramebuffer();
    std::string colours;
    for (const ScenePart& part : view->parts()) {
        const QPoint at =
            OnScreen(view->camera(), BoundsOf({part}).Centre(), shown.width(), shown.height());
        char lead = 0;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const QPoint q = at + QPoint(dx, dy);
                const char c = shown.rect().contains(q) ? Leading(shown.pixel(q)) : 0;
                lead = dy == -2 && dx == -2 ? c : lead == c ? lead : '?';
            }
        colours += lead ? lead : '-';
    }
    return colours;
}

} // namespace

// Every model of the game that wears the chosen surface's texture file stands
// beside the model: one naming it in other letters and extension, one through
// a skin; one wearing another file stays out. A save of the file repaints all
// three, the camera kept.
TEST(WorkspaceGl, EveryModelWearingTheTextureStandsBesideItAndFollowsItsSaves) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::filesystem::path models = dir.path() / "models";
    for (const char* folder : {"a", "b", "c", "d", "shared"})
        std::filesystem::create_directories(models / folder);
    auto write = [&](const char* path, const std::string& shader) {
        Md3ModelDesc desc;
        desc.surfaces = {Cube("cube", shader)};
        ASSERT_TRUE(
            WriteBytesToFile((models / path).make_preferred().string(), BuildMd3(desc).bytes));
    };
    write("a/a.md3", "models/shared/paint.tga");
    write("b/b.md3", "MODELS/Shared/Paint.JPG");
    write("c/c.md3", "models/c/plain.tga");
    WriteWholeFile((models / "c" / "c_blue.skin").make_preferred().string(),
                   "cube,models/shared/paint.tga\n");
    write("d/d.md3", "models/d/green.tga");
    WriteWholeFile((models / "d" / "green.tga").make_preferred().string(),
                   OneColourTga(30, 200, 30));
    const std::string paint = (models / "shared" / "paint.tga").make_preferred().string();
    WriteWholeFile(paint, OneColourTga(220, 30, 30));

    auto window = StartMainWindow((models / "a" / "a.md3").make_preferred().string());
    ASSERT_EQ(window->surfaceList()->count(), 1);
    SelectRow(*window, 0);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    ModelView* view = workspace->modelView();
    EXPECT_EQ(view->parts().size(), 1u);

    QCheckBox* box = workspace->wearersSwitch();
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box, workspace->findChild<QCheckBox*>("wearers"));
    EXPECT_FALSE(box->isChecked());
    box->click();
    // The game is looked through on a thread: the window answers meanwhile,
    // the model alone until the answer comes.
    EXPECT_TRUE(workspace->lookingForWearers());
    EXPECT_EQ(view->parts().size(), 1u);
    EXPECT_TRUE(workspace->statusText().startsWith("Looking through the game"))
        << workspace->statusText().toStdString();
    EXPECT_TRUE(Within2s([&] { return !workspace->lookingForWearers(); }));
    EXPECT_EQ(workspace->wearersFound(), 2);
    EXPECT_EQ(workspace->wearersShown(), QStringList({"models/b/b.md3", "models/c/c.md3"}));
    ASSERT_EQ(view->parts().size(), 3u);
    EXPECT_EQ(view->parts()[0].model, window->model()); // the model first, where it was
    EXPECT_TRUE(workspace->statusText().contains("2 of 2"))
        << workspace->statusText().toStdString();
    EXPECT_TRUE(workspace->statusText().contains("models/c/c.md3"));

    // From the front, three cubes in a row, each red in its middle; nothing green.
    OrbitCamera& camera = view->camera();
    camera.yaw = 0;
    camera.pitch = 0;
    view->update();
    EXPECT_TRUE(Within2s([&] { return CentreColours(view) == "rrr"; })) << CentreColours(view);
    EXPECT_EQ(view->uploadedTriangles(), 36u);
    EXPECT_EQ(Share(view->grabFramebuffer(), 'g'), 0.0);
    for (size_t i = 1; i < view->parts().size(); ++i) // apart, left to right
        EXPECT_GT(BoundsOf({view->parts()[i]}).low.y, BoundsOf({view->parts()[i - 1]}).high.y);
    const float distance = camera.distance;

    // Saved anew, as editors save: every wearer shows the new colour.
    const std::string aside = (models / "shared" / ".paint.tga.new").make_preferred().string();
    WriteWholeFile(aside, OneColourTga(30, 30, 220));
    ASSERT_EQ(std::rename(aside.c_str(), paint.c_str()), 0);
    EXPECT_TRUE(Within2s([&] { return CentreColours(view) == "bbb"; })) << CentreColours(view);
    EXPECT_EQ(camera.distance, distance);
    EXPECT_EQ(view->parts().size(), 3u);

    // Off again: the model alone.
    box->click();
    EXPECT_EQ(view->parts().size(), 1u);
    EXPECT_TRUE(workspace->wearersShown().isEmpty());
}

// A player whose legs and torso wear the texture is one wearer, shown joined
// with its head; past sixteen wearers the rest are counted, not shown, in
// the order of their game paths.
TEST(WorkspaceGl, APlayerWearingTheTextureIsOneJoinedAndTheWearersShownAreCapped) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::filesystem::path models = dir.path() / "models";
    auto write = [&](const std::string& path, Md3ModelDesc desc) {
        std::filesystem::create_directories((models / path).parent_path());
        ASSERT_TRUE(
            WriteBytesToFile((models / path).make_preferred().string(), BuildMd3(desc).bytes));
    };
    Md3ModelDesc cube, lower, upper, head;
    cube.surfaces = {Cube("cube", "models/paint.tga")};
    for (int i = 0; i < 18; ++i)
        write("x" + std::to_string(10 + i) + "/x.md3", cube);
    lower.surfaces = {Cube("legs", "models/paint.tga")};
    lower.tags = {{"tag_torso", {0, 0, 2}}};
    upper.surfaces = {Cube("torso", "models/paint")};
    upper.tags = {{"tag_head", {0, 0, 2}}};
    head.surfaces = {Cube("face", "models/players/p/blue.tga")};
    write("players/p/lower.md3", lower);
    write("players/p/upper.md3", upper);
    write("players/p/head.md3", head);
    WriteWholeFile((models / "paint.tga").make_preferred().string(), OneColourTga(220, 30, 30));
    WriteWholeFile((models / "players" / "p" / "blue.tga").make_preferred().string(),
                   OneColourTga(30, 30, 220));

    auto window = StartMainWindow((models / "x10" / "x.md3").make_preferred().string());
    SelectRow(*window, 0);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    workspace->SetShowWearers(true);
    EXPECT_TRUE(workspace->wearersSwitch()->isChecked());
    ASSERT_TRUE(Within2s([&] { return !workspace->lookingForWearers(); }));
    // The player and 17 cubes wear it besides the model; the player first
    // (models/players sorts before models/x11), then 15 cubes.
    EXPECT_EQ(workspace->wearersFound(), 18);
    const QStringList shown = workspace->wearersShown();
    ASSERT_EQ(shown.size(), 16);
    EXPECT_EQ(shown.front(), "models/players/p");
    EXPECT_EQ(shown[1], "models/x11/x.md3");
    EXPECT_EQ(shown.back(), "models/x25/x.md3");
    EXPECT_TRUE(workspace->statusText().contains("16 of 18"))
        << workspace->statusText().toStdString();
    ModelView* view = workspace->modelView();
    ASSERT_EQ(view->parts().size(), 1u + 3u + 15u);
    EXPECT_EQ(view->parts()[1].role, "lower");
    EXPECT_EQ(view->parts()[2].role, "upper");
    EXPECT_EQ(view->parts()[3].role, "head");
    // Joined: the torso on the legs, the head on the torso, the player
    // standing apart from the model.
    const Bounds legs = BoundsOf({view->parts()[1]}), torso = BoundsOf({view->parts()[2]});
    EXPECT_NEAR(torso.low.z, legs.low.z + 2, 1e-3);
    EXPECT_NEAR(torso.low.y, legs.low.y, 1e-3);
    EXPECT_GT(legs.low.y, BoundsOf({view->parts()[0]}).high.y);
    // The head wears its own blue; legs and torso the texture's red.
    OrbitCamera& camera = view->camera();
    camera.target = BoundsOf({view->parts()[1], view->parts()[2], view->parts()[3]}).Centre();
    camera.yaw = camera.pitch = 0;
    camera.distance = 10;
    view->update();
    EXPECT_TRUE(Within2s([&] { return CentreColours(view).substr(1, 3) == "rrb"; }))
        << CentreColours(view);
}

// Many models side by side, none large by itself, together past what turns
// at the screen's pace: each is drawn coarse while the camera moves, whole
// once it stops.
TEST(WorkspaceGl, ManySmallModelsSideBySideTurnCoarseTogether) {
    auto sheet = [](int cells) {
        Surface s;
        s.name = "sheet";
        for (int y = 0; y <= cells; ++y)
            for (int x = 0; x <= cells; ++x) {
                s.positions.push_back(
                    {0, float(x) / float(cells) * 10, float(y) / float(cells) * 10});
                s.normals.push_back({1, 0, 0});
                s.u.push_back(double(x) / cells);
                s.v.push_back(double(y) / cells);
            }
        for (int32_t y = 0; y < cells; ++y)
            for (int32_t x = 0; x < cells; ++x) {
                const int32_t i = y * (cells + 1) + x;
                s.triangles.push_back({i, i + 1, i + cells + 1});
                s.triangles.push_back({i + 1, i + cells + 2, i + cells + 1});
            }
        auto model = std::make_shared<Model>();
        model->surfaces.push_back(std::move(s));
        return std::shared_ptr<const Model>(std::move(model));
    };
    std::vector<std::vector<ScenePart>> groups;
    for (int i = 0; i < 16; ++i)
        groups.push_back(SingleModel(sheet(60), 0)); // 7,200 triangles, 3,721 vertices each
    const size_t all = 16 * 7200;
    ModelView view;
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.SetScene(SideBySide(std::move(groups), 2), {}, true);
    view.camera().yaw = view.camera().pitch = 0;
    view.grabFramebuffer();
    EXPECT_EQ(view.drawnTriangles(), all);
    view.camera().yaw += 0.2f;
    view.grabFramebuffer();
    EXPECT_LT(view.drawnTriangles(), all);
    EXPECT_LT(view.drawnTriangles(), size_t(100000)) << "past what turns at the screen's pace";
    EXPECT_GT(view.drawnTriangles(), 1000u);
    EXPECT_TRUE(Within2s([&] {
        QApplication::processEvents();
        return view.drawnTriangles() == all;
    }));
}

// A real player copied into three folders of a game: from one's legs, joined,
// the other two stand beside it, joined, each surface wearing its picture.
TEST(WorkspaceGl, RealPlayersWearingTheLegsTextureStandJoinedBesideIt) {
    const std::filesystem::path casey =
        std::filesystem::path(GW_MODEL_CORPUS) / "md3/casey/models/players/casey";
    if (!std::filesystem::exists(casey / "lower.md3"))
        GTEST_SKIP() << casey << " is not here";
    TempDir dir;
    DesktopStandIn desktop;
    const std::filesystem::path players = dir.path() / "models" / "players";
    // The skins name models/players/casey/...: the pictures stay there, the
    // models and skins go to three other folders too.
    for (const char* name : {"casey", "one", "two", "three"}) {
        std::filesystem::create_directories(players / name);
        for (const auto& entry : std::filesystem::directory_iterator(casey)) {
            const std::string ext = entry.path().extension().string();
            if (std::string(name) == "casey" ? ext != ".md3" && ext != ".skin"
                                             : ext == ".md3" || ext == ".skin")
                std::filesystem::copy_file(entry.path(), players / name / entry.path().filename());
        }
    }
    auto window = StartMainWindow((players / "one" / "lower.md3").make_preferred().string());
    ASSERT_NE(window->model(), nullptr);
    int leg = -1;
    for (int i = 0; i < window->surfaceList()->count(); ++i)
        if (window->model()->surfaces[size_t(i)].name == "l_leg_right")
            leg = i;
    ASSERT_GE(leg, 0);
    SelectRow(*window, leg);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    workspace->SetJoinPlayer(true);
    QElapsedTimer clock;
    clock.start();
    workspace->SetShowWearers(true);
    ASSERT_TRUE(Within2s([&] { return !workspace->lookingForWearers(); }));
    std::printf("the wearers showed after %lld ms\n", static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(workspace->wearersShown(),
              QStringList({"models/players/three", "models/players/two"}));
    ModelView* view = workspace->modelView();
    ASSERT_EQ(view->parts().size(), 9u);
    const std::string roles[3] = {"lower", "upper", "head"};
    for (size_t p = 3; p < 9; ++p)
        EXPECT_EQ(view->parts()[p].role, roles[p % 3]);
    // Every surface the default skin dresses wears its picture once decoded.
    EXPECT_TRUE(Within2s([&] {
        const auto& pictures = view->pictures();
        size_t dressed = 0, all = 0;
        for (size_t p = 3; p < pictures.size(); ++p)
            for (const auto& picture : pictures[p]) {
                ++all;
                dressed += picture != nullptr;
            }
        return all > 6 && dressed == all;
    }));

    // They stand in the pose the sliders give the model.
    auto* legs = workspace->findChild<QSlider*>("frame");
    auto* torso = workspace->findChild<QSlider*>("torsoFrame");
    ASSERT_GT(legs->maximum(), 1);
    ASSERT_GT(torso->maximum(), 1);
    legs->setValue(legs->maximum());
    torso->setValue(1);
    ASSERT_EQ(view->parts().size(), 9u);
    for (size_t p = 0; p < 6; ++p)
        EXPECT_EQ(view->parts()[p + 3].frame, view->parts()[p].frame) << view->parts()[p].role;
    EXPECT_EQ(view->parts()[3].frame, legs->maximum());
    EXPECT_EQ(view->parts()[4].frame, 1);
    // The model given again (as the main window does on a skin's choice):
    // its wearers stand beside it still.
    workspace->OnModelChanged();
    EXPECT_TRUE(Within2s([&] {
        return !workspace->lookingForWearers() && workspace->wearersShown().size() == 2;
    })) << workspace->statusText().toStdString();
    EXPECT_EQ(view->parts().size(), 9u);
}

namespace {

// A 64 x 64 picture: a gradient on the cube's island (texels 5 to 58: the
// 6 to 57 that Cube's faces touch, grown by the texel filtering reads) and
// plain blue around it, so that every island border is painted thinner than
// any band. `shift` changes the gradient.
std::string IslandTga(int shift) {
    constexpr int kSide = 64;
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = char(kSide);
    tga[14] = char(kSide);
    tga[16] = 32;
    tga[17] = 0x28;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const bool island = x >= 5 && x <= 58 && y >= 5 && y <= 58;
            if (island)
                tga += {char(x * 2 + shift), char(y * 3), char(200), char(255)};
            else
                tga += {char(220), char(20), char(20), char(255)};
        }
    return tga;
}

// The share of a picture's pixels that are the thin-margin mark's colour.
double MarkedShare(const QImage& image) {
    int marked = 0, all = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2, ++all) {
            const QRgb c = image.pixel(x, y);
            marked += qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) > 200;
        }
    return all ? double(marked) / all : 0;
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

} // namespace

// "Pad on save": the output is asked once (never the painted file itself);
// each save of the texture is padded into it as the command line pads it.
TEST(WorkspaceGl, PadOnSaveWritesWhatTheCommandLineWritesOnEverySave) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::filesystem::path folder = dir.path() / "models" / "test";
    std::filesystem::create_directories(folder);
    Md3ModelDesc desc;
    desc.surfaces = {Cube("cube", "models/test/paint.tga")};
    const std::string model = (folder / "cube.md3").make_preferred().string();
    ASSERT_TRUE(WriteBytesToFile(model, BuildMd3(desc).bytes));
    const std::string texture = (folder / "paint.tga").make_preferred().string();
    WriteWholeFile(texture, IslandTga(0));
    const std::string out = (dir.path() / "paint_padded.png").make_preferred().string();

    auto window = StartMainWindow(model);
    QApplication::processEvents();
    SelectRow(*window, 0);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    QCheckBox* pad = workspace->padSwitch();
    ASSERT_EQ(pad, workspace->findChild<QCheckBox*>("padOnSave"));

    // The painted file itself is refused, the switch left off.
    desktop.answers = {QString::fromStdString(texture), QString::fromStdString(out)};
    pad->click();
    EXPECT_FALSE(pad->isChecked());
    EXPECT_TRUE(workspace->statusText().contains("cannot be the painted texture"))
        << workspace->statusText().toStdString();
    EXPECT_EQ(ReadWholeFile(texture), IslandTga(0));
    pad->click();
    ASSERT_TRUE(pad->isChecked());
    EXPECT_EQ(desktop.asked.size(), 2u);
    EXPECT_EQ(workspace->padOutput(), QString::fromStdString(out));

    const std::string reference = (dir.path() / "reference.png").make_preferred().string();
    for (int save = 1; save <= 2; ++save) {
        const std::string aside = (folder / ".paint.tga.new").make_preferred().string();
        WriteWholeFile(aside, IslandTga(save * 5));
        ASSERT_EQ(std::rename(aside.c_str(), texture.c_str()), 0);
        const bool written = Within2s([&] {
            return workspace->statusText().contains("Padded paint.tga into paint_padded.png") &&
                   workspace->padsPending() == 0 && std::filesystem::exists(out);
        });
        ASSERT_TRUE(written) << workspace->statusText().toStdString();
        const std::string command = std::string(GW_FLATTEN_TOOL) + " " + Quoted(model) + " --pad " +
                                    Quoted(texture) + " -o " + Quoted(reference) + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const std::string padded = ReadWholeFile(out);
        EXPECT_FALSE(padded.empty());
        EXPECT_EQ(padded, ReadWholeFile(reference)) << "save " << save;
        std::filesystem::remove(out);
        // The status waits for the next pad.
        workspace->SetPadOnSave(false);
        workspace->SetPadOnSave(true);
    }
    // Remembered for the texture: not asked again.
    EXPECT_EQ(desktop.asked.size(), 2u);
    EXPECT_EQ(ReadWholeFile(texture), IslandTga(10)); // the painted file untouched
}

// "Show thin margins" marks the thin borders over the layout's texture, and
// the marks follow a save: the padded picture has none.
TEST(WorkspaceGl, ThinMarginsAreMarkedOverTheLayoutAndFollowSaves) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::filesystem::path folder = dir.path() / "models" / "test";
    std::filesystem::create_directories(folder);
    Md3ModelDesc desc;
    desc.surfaces = {Cube("cube", "models/test/paint.tga")};
    const std::string model = (folder / "cube.md3").make_preferred().string();
    ASSERT_TRUE(WriteBytesToFile(model, BuildMd3(desc).bytes));
    const std::string texture = (folder / "paint.tga").make_preferred().string();
    WriteWholeFile(texture, IslandTga(0));

    auto window = StartMainWindow(model);
    QApplication::processEvents();
    SelectRow(*window, 0);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    LayoutView* layout = workspace->layoutView();
    ASSERT_TRUE(Within2s([&] { return workspace->pendingPictures() == 0; }));
    QTest::qWait(100);
    EXPECT_EQ(MarkedShare(layout->grab().toImage()), 0.0);

    workspace->marginsSwitch()->click();
    ASSERT_TRUE(Within2s([&] { return workspace->statusText().contains("island border texels"); }))
        << workspace->statusText().toStdString();
    EXPECT_FALSE(workspace->statusText().startsWith("paint.tga: 0 of"))
        << workspace->statusText().toStdString();
    const double marked = MarkedShare(layout->grab().toImage());
    EXPECT_GT(marked, 0.01);

    // The padded picture saved over it: no thin border is left.
    const std::string padded = (dir.path() / "padded.tga").make_preferred().string();
    const std::string command = std::string(GW_FLATTEN_TOOL) + " " + Quoted(model) + " --pad " +
                                Quoted(texture) + " -o " + Quoted(padded) + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string aside = (folder / ".paint.tga.new").make_preferred().string();
    WriteWholeFile(aside, ReadWholeFile(padded));
    ASSERT_EQ(std::rename(aside.c_str(), texture.c_str()), 0);
    EXPECT_TRUE(Within2s([&] {
        return workspace->statusText().contains("paint.tga: 0 of") &&
               MarkedShare(layout->grab().toImage()) == 0.0;
    })) << workspace->statusText().toStdString();

    // Off: the texture alone.
    workspace->marginsSwitch()->click();
    EXPECT_FALSE(workspace->statusText().contains("island border texels"));
}

// The bake view: the cube wears its light from above, then its occlusion,
// in place of the paint, and the paint again when asked; what the 3D view
// draws changes with it.
TEST(WorkspaceGl, TheModelWearsABakedLayerInPlaceOfItsPaint) {
    TempDir dir;
    const std::filesystem::path folder = dir.path() / "models" / "test";
    std::filesystem::create_directories(folder);
    Md3ModelDesc desc;
    desc.surfaces = {Cube("cube", "models/test/paint.tga")};
    const std::string model = (folder / "cube.md3").make_preferred().string();
    ASSERT_TRUE(WriteBytesToFile(model, BuildMd3(desc).bytes));
    WriteWholeFile((folder / "paint.tga").make_preferred().string(), IslandTga(0));

    auto window = StartMainWindow(model);
    QApplication::processEvents();
    SelectRow(*window, 0);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    ASSERT_TRUE(Within2s([&] { return workspace->pendingPictures() == 0; }));
    ModelView* view = workspace->modelView();
    ASSERT_EQ(view->pictures().size(), 1u);
    const std::shared_ptr<const TextureImage> paint = view->pictures()[0][0];
    ASSERT_NE(paint, nullptr);
    const QImage painted = view->grabFramebuffer();

    auto show = [&](BakeLayer layer) {
        QComboBox* box = workspace->bakeSwitch();
        for (int i = 0; i < box->count(); ++i)
            if (box->itemText(i) == InfoOf(layer).title)
                box->setCurrentIndex(i);
        EXPECT_EQ(workspace->bakeShown(), layer);
        return Within2s([&] { return !workspace->baking(); });
    };
    ASSERT_TRUE(show(BakeLayer::Light)) << workspace->statusText().toStdString();
    const std::shared_ptr<const TextureImage> light = workspace->bakePicture();
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(view->pictures()[0][0], light);
    EXPECT_EQ(light->width, 64); // the texture's own size
    EXPECT_TRUE(workspace->statusText().contains("Light from above of paint.tga: 64×64"))
        << workspace->statusText().toStdString();
    // The cube's top (v 0.1) is lit more than its bottom (v 0.9).
    const auto grey = [](const TextureImage& t, int x, int y) {
        return t.rgba[(size_t(y) * size_t(t.width) + size_t(x)) * 4];
    };
    EXPECT_GT(grey(*light, 32, 8), grey(*light, 32, 56) + 100);
    EXPECT_NE(view->grabFramebuffer(), painted);

    // A convex cube is open all round.
    ASSERT_TRUE(show(BakeLayer::Occlusion)) << workspace->statusText().toStdString();
    const std::shared_ptr<const TextureImage> ao = workspace->bakePicture();
    ASSERT_NE(ao, nullptr);
    EXPECT_EQ(view->pictures()[0][0], ao);
    EXPECT_EQ(grey(*ao, 32, 32), 255);
    EXPECT_TRUE(workspace->statusText().contains("64 rays a texel"))
        << workspace->statusText().toStdString();

    // The paint again, and nothing said of the bake.
    workspace->SetBakeShown(std::nullopt);
    EXPECT_FALSE(workspace->bakeShown());
    EXPECT_EQ(view->pictures()[0][0], paint);
    EXPECT_FALSE(workspace->statusText().contains("rays"));
}

// A player with its animation.cfg stands (LEGS_IDLE, TORSO_STAND) when the
// workspace opens; another animation shows other frames, and playing one
// moves them on at the file's speed, each list on its own clock.
TEST(WorkspaceGl, APlayerStandsThenRunsAndPlaysItsAnimations) {
    const std::string upper =
        std::string(GW_MODEL_CORPUS) + "/md3/casey/models/players/casey/upper.md3";
    if (!std::filesystem::exists(upper))
        GTEST_SKIP() << upper << " is not here";
    DesktopStandIn desktop;
    auto window = StartMainWindow(upper);
    ASSERT_NE(window->model(), nullptr);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_NE(workspace, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    // Alone, the torso has one list: its own animations and the deaths.
    EXPECT_EQ(workspace->legsAnimations()->currentText(), "TORSO_STAND");
    EXPECT_EQ(workspace->legsAnimations()->findText("LEGS_RUN"), -1);
    EXPECT_FALSE(workspace->torsoAnimations()->isVisibleTo(workspace));
    workspace->SetJoinPlayer(true);
    ASSERT_TRUE(workspace->showsPlayer());
    auto* legs = workspace->findChild<QSlider*>("frame");
    auto* torso = workspace->findChild<QSlider*>("torsoFrame");
    EXPECT_EQ(workspace->legsAnimations()->currentText(), "LEGS_IDLE");
    EXPECT_EQ(workspace->torsoAnimations()->currentText(), "TORSO_STAND");
    EXPECT_EQ(legs->value(), 12); // LEGS_IDLE's 42, less the torso's own 30
    EXPECT_EQ(torso->value(), 31);
    ModelView* view = workspace->modelView();
    view->FitView();
    EXPECT_TRUE(Within2s([&] { return workspace->pendingPictures() == 0; }));
    QTest::qWait(100);
    const QImage standing = view->grabFramebuffer();
    auto changed = [&](const QImage& from) {
        const QImage now = view->grabFramebuffer();
        int count = 0;
        for (int y = 0; y < now.height(); y += 2)
            for (int x = 0; x < now.width(); x += 2)
                count += now.pixel(x, y) != from.pixel(x, y);
        return count;
    };
    ASSERT_TRUE(workspace->ChooseAnimation("LEGS_RUN"));
    EXPECT_EQ(legs->value(), 5);
    EXPECT_TRUE(Within2s([&] { return changed(standing) > 100; }))
        << changed(standing) << " pixels changed";
    // The red team's skin on every part at once; what plays goes on.
    QComboBox* skins = workspace->skinSwitch();
    const int red = skins->findText("red");
    ASSERT_GE(red, 0);
    ASSERT_TRUE(skins->isEnabled());
    const QImage running = view->grabFramebuffer();
    skins->setCurrentIndex(red);
    ASSERT_NE(window->textures().ChosenSkin(), nullptr);
    EXPECT_EQ(window->textures().ChosenSkin()->name, "red");
    EXPECT_EQ(workspace->legsAnimations()->currentText(), "LEGS_RUN");
    EXPECT_EQ(legs->value(), 5);
    EXPECT_TRUE(Within2s([&] {
        return workspace->pendingPictures() == 0 && changed(running) > 100;
    })) << changed(running)
        << " pixels changed";
    // Played: TORSO_GESTURE's ten frames at 15 a second move the torso on,
    // and the legs hold LEGS_RUN's one frame.
    ASSERT_TRUE(workspace->ChooseAnimation("TORSO_GESTURE"));
    EXPECT_EQ(torso->value(), 3);
    workspace->SetPlaying(true);
    EXPECT_TRUE(workspace->playing());
    EXPECT_TRUE(Within2s([&] { return torso->value() > 5; })) << torso->value();
    EXPECT_EQ(legs->value(), 5);
    workspace->SetPlaying(false);
    const int paused = torso->value();
    QTest::qWait(300);
    EXPECT_EQ(torso->value(), paused);
    EXPECT_FALSE(workspace->ChooseAnimation("NO_SUCH_ANIMATION"));
}

// A skeletal model plays its own animations: at the start of "jump" the
// shared IQM is in its bind pose (its file's first frame is), the same
// picture as the model without its frames; a step on, and two times apart,
// the picture moves.
TEST(WorkspaceGl, ASkeletalModelStartsInItsBindPoseAndMovesAsItPlays) {
    const std::string iqm = std::string(GW_MODEL_CORPUS) + "/iqm/guy/models/iqm/guy.iqm";
    if (!std::filesystem::exists(iqm))
        GTEST_SKIP() << iqm << " is not here";
    DesktopStandIn desktop;
    // The bind pose alone: the same file with no frames to show.
    TempDir dir;
    std::vector<char> bytes;
    {
        std::ifstream in(iqm, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(bytes.size(), 124u);
    std::fill(bytes.begin() + 16 + 4 * 19, bytes.begin() + 16 + 4 * 20, '\0'); // no frames
    const std::string still = dir.File("guy.iqm");
    std::ofstream(still, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    auto picture = [&](const std::string& path, const std::function<void(WorkspaceWindow*)>& act) {
        auto window = StartMainWindow(path);
        EXPECT_NE(window->model(), nullptr);
        window->OpenWorkspace();
        WorkspaceWindow* workspace = window->workspace();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(workspace));
        act(workspace);
        workspace->modelView()->setFixedSize(400, 300); // the same picture whatever the bar holds
        workspace->modelView()->FitView();
        EXPECT_TRUE(Within2s([&] { return workspace->pendingPictures() == 0; }));
        QTest::qWait(100);
        return workspace->modelView()->grabFramebuffer();
    };
    auto differing = [](const QImage& a, const QImage& b) {
        int count = 0;
        for (int y = 0; y < std::min(a.height(), b.height()); ++y)
            for (int x = 0; x < std::min(a.width(), b.width()); ++x)
                count += a.pixel(x, y) != b.pixel(x, y);
        return count;
    };
    const QImage bind = picture(still, [](WorkspaceWindow* w) {
        EXPECT_FALSE(w->legsAnimations()->isVisibleTo(w)) << "no frames, nothing to play";
    });
    QImage start, stepped, later;
    auto window = StartMainWindow(iqm);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    ASSERT_NE(workspace->legsAnimations()->findText("dance"), -1);
    ASSERT_TRUE(workspace->ChooseAnimation("jump"));
    auto* slider = workspace->findChild<QSlider*>("frame");
    auto* step = workspace->findChild<QPushButton*>("step");
    ASSERT_NE(step, nullptr);
    EXPECT_TRUE(step->isVisibleTo(workspace));
    EXPECT_EQ(slider->value(), 0);
    ModelView* view = workspace->modelView();
    view->setFixedSize(400, 300);
    view->FitView();
    auto settled = [&] {
        EXPECT_TRUE(Within2s([&] { return workspace->pendingPictures() == 0; }));
        QTest::qWait(100);
        return view->grabFramebuffer();
    };
    start = settled();
    if (const char* keep = std::getenv("GW_KEEP_PICTURES")) {
        bind.save(QString(keep) + "/bind.png");
        start.save(QString(keep) + "/start.png");
    }
    EXPECT_LT(differing(start, bind), 20) << "the first frame of jump is the bind pose";
    for (int i = 0; i < 20; ++i)
        step->click();
    EXPECT_EQ(slider->value(), 20);
    EXPECT_FALSE(workspace->playing());
    stepped = settled();
    EXPECT_GT(differing(stepped, start), 200) << "twenty frames on, the guy has moved";
    workspace->SetPlaying(true);
    EXPECT_TRUE(Within2s([&] { return slider->value() > 30; })) << slider->value();
    workspace->SetPlaying(false);
    later = settled();
    EXPECT_GT(differing(later, stepped), 200) << "played on, it moves again";
    if (const char* keep = std::getenv("GW_KEEP_PICTURES")) {
        stepped.save(QString(keep) + "/stepped.png");
        later.save(QString(keep) + "/later.png");
    }
}

// An MD5 mesh plays the .md5anim beside it: its joints slerped frame to
// frame, the picture moves between two times. (The shared blade's first
// frame is turned from its bind pose, as its file has it.)
TEST(WorkspaceGl, AnMd5MeshPlaysTheAnimationBesideIt) {
    const std::string mesh = std::string(GW_MODEL_CORPUS) +
                             "/md5/blade2/packages/models/mapmodels/svarog/blade2/tau0/"
                             "mapmodel.md5mesh";
    if (!std::filesystem::exists(mesh))
        GTEST_SKIP() << mesh << " is not here";
    DesktopStandIn desktop;
    auto window = StartMainWindow(mesh);
    ASSERT_NE(window->model(), nullptr);
    window->OpenWorkspace();
    WorkspaceWindow* workspace = window->workspace();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(workspace));
    ASSERT_TRUE(workspace->ChooseAnimation("mapmodel"));
    auto* slider = workspace->findChild<QSlider*>("frame");
    ModelView* view = workspace->modelView();
    view->setFixedSize(400, 300);
    view->FitView();
    auto settled = [&] {
        EXPECT_TRUE(Within2s([&] { return workspace->pendingPictures() == 0; }));
        QTest::qWait(100);
        return view->grabFramebuffer();
    };
    const QImage start = settled();
    EXPECT_EQ(slider->value(), 0);
    auto* step = workspace->findChild<QPushButton*>("step");
    ASSERT_NE(step, nullptr);
    for (int i = 0; i < 3; ++i)
        step->click();
    EXPECT_EQ(slider->value(), 3);
    const QImage later = settled();
    int differing = 0;
    for (int y = 0; y < start.height(); ++y)
        for (int x = 0; x < start.width(); ++x)
            differing += start.pixel(x, y) != later.pixel(x, y);
    EXPECT_GT(differing, 200) << "three frames on, the blade has turned";
    if (const char* keep = std::getenv("GW_KEEP_PICTURES")) {
        start.save(QString(keep) + "/md5-start.png");
        later.save(QString(keep) + "/md5-later.png");
    }
}
