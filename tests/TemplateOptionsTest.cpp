// The window and the template engine: options set in the panel reach every
// output as the command line writes them, are remembered, and show in the
// preview; the model argument, the keyboard and the clipboard.
#include "app/ExportDialog/ExportDialog.h"
#include "app/OptionsDialog/OptionsDialog.h"
#include "model/Model.h"
#include "res/Layouts.h"
#include "tests/GuiHarness.h"
#include "tests/TestGame.h"
#include "tests/TestModels.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class TemplateOptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model = WriteSampleModel(dir.path().string());
        window = StartMainWindow();
        Load(model);
    }
    void Load(const std::string& path) {
        desktop.answers.push_back(QString::fromStdString(path));
        window->OnLoadMd3();
    }
    // Sets the options through the panel reached from the window's menu.
    void ChooseOptions(const TemplateOptions& options) {
        ASSERT_TRUE(WithModal([&] { window->OnTemplateOptions(); },
                              [&](QWidget* w) {
                                  auto* panel = static_cast<OptionsDialog*>(w);
                                  panel->SetOptions(options);
                                  QTest::mouseClick(panel->Control("ok"), Qt::LeftButton);
                              }));
    }
    // Flatten, then Save as path.
    void SaveAs(const std::string& path) {
        desktop.answers.push_back(QString::fromStdString(path));
        ASSERT_TRUE(WithModal([&] { window->OnFlatten(); },
                              [](QWidget* d) {
                                  QTest::mouseClick(static_cast<LaidOutDialog*>(d)->control("save"),
                                                    Qt::LeftButton);
                              }));
    }
    TempDir dir;
    std::string model;
    DesktopStandIn desktop;
    std::unique_ptr<MainWindow> window;
};

TemplateOptions PainterOptions() {
    TemplateOptions o;
    o.style.width = 300;
    o.style.height = 200;
    o.style.line = {20, 60, 200, 200};
    o.style.lineWidth = 2.5;
    o.style.antialias = true;
    o.style.fill = Rgba{255, 200, 0, 64};
    o.style.overlaps = true;
    o.style.background.reset();
    o.surfaces = SurfaceChoice::All;
    return o;
}

std::string WithoutDateAndTitle(const std::string& eps) {
    std::string out;
    size_t start = 0;
    while (start < eps.size()) {
        const size_t end = eps.find('\n', start);
        const std::string line =
            eps.substr(start, end == std::string::npos ? end : end - start + 1);
        if (line.rfind("%%CreationDate", 0) != 0 && line.rfind("%%Title", 0) != 0)
            out += line;
        start = end == std::string::npos ? eps.size() : end + 1;
    }
    return out;
}

} // namespace

// A template saved from the window is the command line's, option for option:
// byte for byte for EPS and SVG, pixel for pixel for PNG.
TEST_F(TemplateOptionsTest, EveryOptionReachesTheEngineAsTheCommandLineWritesIt) {
    SelectRow(*window, 1);
    ChooseOptions(PainterOptions());
    const std::string cli = std::string(GW_FLATTEN_TOOL) + " '" + model +
                            "' --all --size 300x200 --line-colour '#143cc8c8' --line-width 2.5 "
                            "--fill '#ffc80040' --overlaps --background none";
    for (const std::string ext : {"eps", "svg", "png"}) {
        SCOPED_TRACE(ext);
        const std::string fromWindow = dir.File("window." + ext), fromCli = dir.File("cli." + ext);
        SaveAs(fromWindow);
        ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0].detail.toStdString();
        const std::string command =
            cli + (ext == "png" ? " --antialias" : "") + " -o '" + fromCli + "' > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        if (ext == "eps") {
            EXPECT_EQ(WithoutDateAndTitle(ReadWholeFile(fromWindow)),
                      WithoutDateAndTitle(ReadWholeFile(fromCli)));
        } else if (ext == "svg") {
            EXPECT_EQ(ReadWholeFile(fromWindow), ReadWholeFile(fromCli));
        } else {
            const QImage a(QString::fromStdString(fromWindow)), b(QString::fromStdString(fromCli));
            ASSERT_EQ(a.size(), QSize(300, 200));
            EXPECT_TRUE(a.hasAlphaChannel());
            EXPECT_EQ(a.convertToFormat(QImage::Format_ARGB32),
                      b.convertToFormat(QImage::Format_ARGB32));
        }
    }
    // Surfaces of several textures: the save dialog starts with the model's name.
    EXPECT_TRUE(desktop.asked.back().initialName.endsWith("/sample"))
        << desktop.asked.back().initialName.toStdString();
}

// Seams, flipped faces and islands from the window are the command line's,
// in the SVG and the layered files, byte for byte.
TEST_F(TemplateOptionsTest, PaintReadyOptionsReachTheLayeredFilesAsTheCommandLineWritesThem) {
    SelectRow(*window, 1);
    TemplateOptions o = PainterOptions();
    o.style.seams = kDefaultSeamColour;
    o.style.flipped = kDefaultFlippedColour;
    o.style.outline = Outline::Islands;
    o.style.islands = true;
    ChooseOptions(o);
    for (const std::string ext : {"svg", "psd", "ora"}) {
        SCOPED_TRACE(ext);
        const std::string fromWindow = dir.File("w." + ext), fromCli = dir.File("c." + ext);
        SaveAs(fromWindow);
        ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0].detail.toStdString();
        const std::string command =
            std::string(GW_FLATTEN_TOOL) + " '" + model +
            "' --all --size 300x200 --line-colour '#143cc8c8' --line-width 2.5 --fill "
            "'#ffc80040' --overlaps --background none --seams --flipped --outline islands "
            "--islands" +
            (ext == "svg" ? "" : " --antialias") + " -o '" + fromCli + "' > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(ReadWholeFile(fromWindow), ReadWholeFile(fromCli));
    }
}

TEST_F(TemplateOptionsTest, OptionsAreRememberedAcrossARestartAndResetToTheClassicTemplate) {
    ChooseOptions(PainterOptions());
    window.reset();
    window = StartMainWindow({}, /*keepSettings=*/true);
    EXPECT_EQ(window->templateOptions(), PainterOptions());
    // Reset in the panel gives the defaults, which are the classic template.
    ASSERT_TRUE(WithModal([&] { window->OnTemplateOptions(); },
                          [&](QWidget* w) {
                              auto* panel = static_cast<OptionsDialog*>(w);
                              EXPECT_EQ(panel->options(), PainterOptions());
                              QTest::mouseClick(panel->Control("reset"), Qt::LeftButton);
                              EXPECT_EQ(panel->options(), TemplateOptions{});
                              QTest::mouseClick(panel->Control("ok"), Qt::LeftButton);
                          }));
    EXPECT_TRUE(TemplateOptions::Load().style.IsPlain());
    EXPECT_EQ(TemplateOptions::Load(), TemplateOptions{});
    // Cancel keeps what was there.
    ASSERT_TRUE(WithModal([&] { window->OnTemplateOptions(); },
                          [&](QWidget* w) {
                              auto* panel = static_cast<OptionsDialog*>(w);
                              panel->SetOptions(PainterOptions());
                              QTest::mouseClick(panel->Control("cancel"), Qt::LeftButton);
                          }));
    EXPECT_EQ(TemplateOptions::Load(), TemplateOptions{});
}

// The panel's controls themselves change the options, and the live preview.
TEST_F(TemplateOptionsTest, ThePanelsControlsDriveItsOptionsAndItsPreview) {
    SelectRow(*window, 1);
    OptionsDialog panel(TemplateOptions{}, window->textures(), 1, window.get());
    panel.Build();
    const QImage before = panel.previewImage();
    ASSERT_FALSE(before.isNull());
    static_cast<QAbstractButton*>(panel.Control("transparent"))->click();
    static_cast<QAbstractButton*>(panel.Control("overlaps"))->click();
    for (const char* name : {"seams", "flipped", "outlineIslands", "islands"})
        static_cast<QAbstractButton*>(panel.Control(name))->click();
    EXPECT_EQ(panel.options().style.seams, kDefaultSeamColour);
    EXPECT_EQ(panel.options().style.flipped, kDefaultFlippedColour);
    EXPECT_EQ(panel.options().style.outline, Outline::Islands);
    EXPECT_TRUE(panel.options().style.islands);
    auto* width = panel.Control("lineWidth");
    QMetaObject::invokeMethod(width, "setValue", Q_ARG(double, 3.0));
    EXPECT_FALSE(panel.options().style.background.has_value());
    EXPECT_TRUE(panel.options().style.overlaps);
    EXPECT_EQ(panel.options().style.lineWidth, 3.0);
    EXPECT_NE(panel.previewImage(), before);
}

// A layout stored one tile down shows in the preview, inside its frame and
// nowhere else, even where u runs past 1.
TEST_F(TemplateOptionsTest, ThePreviewWrapsAndStaysInsideItsFrame) {
    Md3ModelDesc shifted;
    shifted.surfaces = {TriangleSurface("down", {0.2f, 1.1f}, {0.9f, 1.2f}, {0.3f, 1.9f}),
                        TriangleSurface("wide", {0.2f, 0.2f}, {1.885f, 0.3f}, {0.5f, 0.8f})};
    const std::string path = dir.File("shifted.md3");
    WriteBytesToFile(path, BuildMd3(shifted).bytes);
    Load(path);
    const QRect frame = window->previewFrame()->geometry();
    const QRect area(
        QPoint(frame.left() + kPreviewInsetLeft, frame.top() + kPreviewInsetTop),
        QPoint(frame.right() + 1 - kPreviewInsetRight, frame.bottom() + 1 - kPreviewInsetBottom));
    for (int row : {0, 1}) {
        SelectRow(*window, row);
        const QImage layer = window->previewLayer();
        ASSERT_FALSE(layer.isNull());
        int inside = 0, outside = 0;
        for (int y = 0; y < layer.height(); ++y)
            for (int x = 0; x < layer.width(); ++x) {
                const QRgb p = layer.pixel(x, y);
                if (area.contains(x, y))
                    inside += (p & 0xFFFFFF) == 0xFFFFFF;
                else
                    outside += qAlpha(p) != 0;
            }
        EXPECT_GT(inside, 100) << row;
        EXPECT_EQ(outside, 0) << row;
    }
}

TEST_F(TemplateOptionsTest, EnterOnAFocusedOpenDialOpensTheFileDialogAndTheProgramGoesOn) {
    window->control("open")->setFocus();
    const size_t asked = desktop.asked.size();
    desktop.answers.push_back(""); // the open dialog is cancelled
    QTest::keyClick(window.get(), Qt::Key_Return);
    ASSERT_EQ(desktop.asked.size(), asked + 1);
    EXPECT_TRUE(desktop.asked.back().open);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(TemplateOptionsTest, FocusIsVisibleOnTheDials) {
    window->activateWindow();
    window->control("about")->clearFocus();
    window->repaint();
    const QImage before = window->grab().toImage();
    window->control("open")->setFocus(Qt::TabFocusReason);
    window->repaint();
    const QImage after = window->grab().toImage();
    int changed = 0;
    for (int y = 381; y < 469; ++y)
        for (int x = 64; x < 152; ++x)
            changed += before.pixel(x, y) != after.pixel(x, y);
    EXPECT_GT(changed, 100);
}

TEST(TemplateWindow, AModelGivenAtStartIsOpenedAndNamedInTheTitle) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::string model = WriteSampleModel(dir.path().string(), "upper.md3");
    auto window = StartMainWindow(model);
    QApplication::processEvents();
    ASSERT_EQ(window->surfaceList()->count(), 3);
    EXPECT_EQ(window->surfaceList()->item(1)->text(), "a_legs");
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("upper.md3 — Gridwright"));
    EXPECT_TRUE(desktop.messages.empty());
    // A drop loads the same way.
    const std::string other = WriteSampleModel(dir.path().string(), "other.MD3");
    window->OnDropFile(QString::fromStdString(other));
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("other.MD3 — Gridwright"));
}

TEST_F(TemplateOptionsTest, ATransparentTemplateIsCopiedWithItsAlpha) {
    SelectRow(*window, 0);
    TemplateOptions clear;
    clear.style.background.reset();
    ChooseOptions(clear);
    ASSERT_TRUE(WithModal([&] { window->OnFlatten(); },
                          [](QWidget* d) {
                              auto* dialog = static_cast<LaidOutDialog*>(d);
                              QTest::mouseClick(dialog->control("copy"), Qt::LeftButton);
                              QTest::mouseClick(dialog->control("cancel"), Qt::LeftButton);
                          }));
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(128, 128));
    EXPECT_TRUE(copied.hasAlphaChannel());
    EXPECT_EQ(qAlpha(copied.pixel(100, 100)), 0);
    EXPECT_EQ(qAlpha(copied.pixel(0, 0)), 255);
}

// A player model leaves its texture names empty; the .skin beside it says
// what each surface wears. The window shows it, follows a change of skin,
// and draws the texture under the wireframe when asked to.
TEST(TemplateWindow, TheSkinBoxShowsTheTextureTheSkinGivesAndThePreviewShowsIt) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::string model = WriteTestGame(dir.path().string());
    auto window = StartMainWindow(model);
    QApplication::processEvents();
    SelectRow(*window, 0); // u_torso, no texture name of its own
    EXPECT_EQ(window->texturePath(), "models/players/bot/torso.tga");
    const QString tip = window->textureList()->toolTip();
    EXPECT_TRUE(tip.contains("from upper_default.skin")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("torso.tga (16 × 8)")) << tip.toStdString();
    window->OnChooseSkin(1); // red
    EXPECT_EQ(window->texturePath(), "models/players/bot/torso_red");
    EXPECT_TRUE(window->textureList()->toolTip().contains("from upper_red.skin"));
    window->OnChooseSkin(0);

    // The preview without and with the texture under it, away from the lines.
    const QRect frame = window->previewFrame()->geometry();
    const QPoint away(frame.left() + 4 + (frame.width() - 4) * 7 / 8,
                      frame.top() + 8 + (frame.width() - 4) / 16);
    EXPECT_EQ(window->previewLayer().pixel(away) & 0xFFFFFF, 0u); // black
    TemplateOptions options;
    options.underlay = true;
    options.underlayOpacity = 1.0;
    ASSERT_TRUE(WithModal([&] { window->OnTemplateOptions(); },
                          [&](QWidget* w) {
                              auto* panel = static_cast<OptionsDialog*>(w);
                              panel->SetOptions(options);
                              QTest::mouseClick(panel->Control("ok"), Qt::LeftButton);
                          }));
    const QRgb under = window->previewLayer().pixel(away);
    EXPECT_NEAR(qRed(under), 200, 3);
    EXPECT_NEAR(qGreen(under), 40, 3);
    EXPECT_NEAR(qBlue(under), 40, 3);
    // and the template takes the texture's size by default.
    ASSERT_TRUE(WithModal([&] { window->OnFlatten(); },
                          [](QWidget* d) {
                              auto* dialog = static_cast<ExportDialog*>(d);
                              EXPECT_EQ(dialog->TemplatePicture().size(), QSize(16, 8));
                              QTest::mouseClick(dialog->control("cancel"), Qt::LeftButton);
                          }));
}

// "All of its texture" means the texture worn through the skin: u_belt wears
// belt through the skin, u_own through its own name; the other surfaces,
// which name no texture of their own, are not drawn with them.
TEST(TemplateWindow, TheSurfacesOfATextureAreChosenThroughTheSkinAndItsSizeShows) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::string model = WriteTestGame(dir.path().string());
    auto window = StartMainWindow(model);
    QApplication::processEvents();
    SelectRow(*window, 2); // u_belt
    std::vector<std::string> names;
    for (const Surface* r : ChosenSurfaces(SurfaceChoice::SameTexture, window->textures(), 2))
        names.push_back(r->name);
    EXPECT_EQ(names, (std::vector<std::string>{"u_belt", "u_own"}));
    // The size boxes show the texture's size (32 x 4), greyed, beside "the
    // texture's size"; the size chosen before is kept for later.
    TemplateOptions options;
    options.style.width = options.style.height = 128;
    OptionsDialog panel(options, window->textures(), 2, window.get());
    panel.Build();
    auto* width = qobject_cast<QSpinBox*>(panel.Control("width"));
    auto* height = qobject_cast<QSpinBox*>(panel.Control("height"));
    ASSERT_TRUE(width && height);
    EXPECT_EQ(width->value(), 32);
    EXPECT_EQ(height->value(), 4);
    EXPECT_FALSE(width->isEnabled());
    auto* sizes = qobject_cast<QComboBox*>(panel.Control("sizes"));
    sizes->setCurrentIndex(sizes->findData(256));
    EXPECT_EQ(width->value(), 256);
    EXPECT_TRUE(width->isEnabled());
    EXPECT_FALSE(panel.options().textureSize);
}

// A hand-edited settings file: values that are not valid give their
// defaults, and the window says which were reset.
TEST(TemplateWindow, SettingsThatAreNotValidAreResetAndTheWindowSaysSo) {
    DesktopStandIn desktop;
    {
        QSettings s = GridwrightSettings();
        s.setValue("template/underlayOpacity", "nan");
        s.setValue("template/lineWidth", "inf");
        s.setValue("template/width", 0);
        s.setValue("template/antialias", "maybe");
        s.setValue("template/line", "#zzz");
        s.setValue("template/bake", "ao,sky");
        s.setValue("template/bakeRays", 0);
    }
    QStringList reset;
    const TemplateOptions o = TemplateOptions::Load(&reset);
    EXPECT_EQ(o.underlayOpacity, 0.5);
    EXPECT_EQ(o.style.lineWidth, 1.0);
    EXPECT_EQ(o.style.width, 128);
    EXPECT_FALSE(o.style.antialias);
    EXPECT_EQ(o.style.line, (Rgba{0, 0, 0, 255}));
    reset.sort();
    EXPECT_TRUE(o.bake.empty());
    EXPECT_EQ(o.bakeRays, kDefaultOcclusionRays);
    EXPECT_EQ(reset, (QStringList{"template/antialias", "template/bake", "template/bakeRays",
                                  "template/line", "template/lineWidth", "template/underlayOpacity",
                                  "template/width"}));
    auto window = StartMainWindow({}, true);
    EXPECT_TRUE(window->statusText().contains("template/underlayOpacity"))
        << window->statusText().toStdString();
    GridwrightSettings().clear();
}

// Every option away from its default survives a restart, and Reset brings
// every one of them back.
TEST_F(TemplateOptionsTest, EveryOptionSurvivesARestartAndResetsToItsDefault) {
    TemplateOptions o;
    TemplateStyle& s = o.style;
    s.width = 300;
    s.height = 77;
    s.wrap = WrapMode::Clip;
    s.line = {1, 2, 3, 4};
    s.lineWidth = 3.5;
    s.antialias = true;
    s.background = Rgba{9, 8, 7, 255};
    s.fill = Rgba{10, 20, 30, 40};
    s.overlaps = true;
    s.overlapColour = {50, 60, 70, 80};
    s.colourBySurface = true;
    s.seams = Rgba{1, 200, 2, 255};
    s.flipped = Rgba{3, 4, 250, 90};
    s.outline = Outline::Islands;
    s.islands = true;
    o.surfaces = SurfaceChoice::SameTexture;
    o.underlay = true;
    o.underlayOpacity = 0.25;
    o.textureSize = false;
    o.bake = {BakeLayer::Light, BakeLayer::Occlusion}; // in the order chosen
    o.bakeRays = 9;
    ChooseOptions(o);
    EXPECT_TRUE(TemplateOptions::Load() == o);
    // The panel shows them all back after the restart, and Reset clears them all.
    ASSERT_TRUE(WithModal([&] { window->OnTemplateOptions(); },
                          [&](QWidget* w) {
                              auto* panel = static_cast<OptionsDialog*>(w);
                              EXPECT_TRUE(panel->options() == o);
                              panel->OnReset();
                              EXPECT_TRUE(panel->options() == TemplateOptions{});
                              QTest::mouseClick(panel->Control("ok"), Qt::LeftButton);
                          }));
    EXPECT_TRUE(TemplateOptions::Load() == TemplateOptions{});
}

// On a player model with a skin: "all of its texture" with the texture under
// the layout at an opacity, at the texture's size, saved from the window and
// written by the command line with --texture through the skin: the same pixels.
TEST(TemplateWindow, ASkinnedTemplateFromTheWindowIsTheCommandLines) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::string model = WriteTestGame(dir.path().string());
    auto window = StartMainWindow(model);
    QApplication::processEvents();
    SelectRow(*window, 2); // u_belt: belt through the skin, like u_own through its name
    TemplateOptions options;
    options.surfaces = SurfaceChoice::SameTexture;
    options.underlay = true;
    options.underlayOpacity = 0.3;
    options.textureSize = true;
    options.style.wrap = WrapMode::Clip;
    options.style.line = {10, 200, 30, 255};
    ASSERT_TRUE(WithModal([&] { window->OnTemplateOptions(); },
                          [&](QWidget* w) {
                              auto* panel = static_cast<OptionsDialog*>(w);
                              panel->SetOptions(options);
                              QTest::mouseClick(panel->Control("ok"), Qt::LeftButton);
                          }));
    const std::string fromWindow = dir.File("window.png"), fromCli = dir.File("cli.png");
    desktop.answers.push_back(QString::fromStdString(fromWindow));
    ASSERT_TRUE(WithModal([&] { window->OnFlatten(); },
                          [](QWidget* d) {
                              QTest::mouseClick(static_cast<LaidOutDialog*>(d)->control("save"),
                                                Qt::LeftButton);
                          }));
    const std::string command = std::string(GW_FLATTEN_TOOL) + " '" + model +
                                "' --texture models/players/bot/belt --underlay "
                                "--underlay-opacity 0.3 --size texture --wrap clip "
                                "--line-colour '#0ac81e' -o '" +
                                fromCli + "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const QImage a(QString::fromStdString(fromWindow)), b(QString::fromStdString(fromCli));
    ASSERT_EQ(a.size(), QSize(32, 4)); // belt.tga's size
    EXPECT_EQ(a.convertToFormat(QImage::Format_ARGB32), b.convertToFormat(QImage::Format_ARGB32));
    // The texture really is under it, at 30 %: not the white of no underlay.
    EXPECT_NE(a.pixel(20, 2) & 0xFFFFFF, 0xFFFFFFu);
}

// Baked layers chosen in the panel: the preview shows them once its quick
// bake ends, and switching one off brings the plain template back at once;
// saved from the window, the layered files are the command line's, byte for
// byte; a flat picture refuses them in the window's own words.
TEST(TemplateWindow, BakedLayersShowInThePreviewAndGoIntoLayeredFilesAsTheCommandLineBakesThem) {
    TempDir dir;
    DesktopStandIn desktop;
    const std::string model = WriteTestGame(dir.path().string());
    auto window = StartMainWindow(model);
    QApplication::processEvents();
    SelectRow(*window, 2); // u_belt, which wears belt with u_own
    TemplateOptions options;
    options.surfaces = SurfaceChoice::SameTexture;
    options.textureSize = false;
    options.style.width = 64;
    options.style.height = 48;
    {
        OptionsDialog panel(options, window->textures(), 2, window.get());
        panel.Build();
        const QImage plain = panel.previewImage();
        ASSERT_FALSE(plain.isNull());
        static_cast<QAbstractButton*>(panel.Control("bake_normals"))->click();
        EXPECT_EQ(panel.options().bake, std::vector<BakeLayer>{BakeLayer::Normals});
        EXPECT_TRUE(panel.previewBaking());
        for (int i = 0; i < 500 && panel.previewBaking(); ++i)
            QTest::qWait(10);
        ASSERT_FALSE(panel.previewBaking());
        const QImage normals = panel.previewImage();
        EXPECT_NE(normals, plain);
        // Normals colour the faces: some pixel is far from grey.
        bool coloured = false;
        for (int y = 0; y < normals.height() && !coloured; ++y)
            for (int x = 0; x < normals.width(); ++x) {
                const QColor c = normals.pixelColor(x, y);
                coloured = coloured || std::max({c.red(), c.green(), c.blue()}) -
                                               std::min({c.red(), c.green(), c.blue()}) >
                                           60;
            }
        EXPECT_TRUE(coloured);
        // The bake held every layer: another one shows without baking again.
        static_cast<QAbstractButton*>(panel.Control("bake_ao"))->click();
        EXPECT_FALSE(panel.previewBaking());
        static_cast<QAbstractButton*>(panel.Control("bake_normals"))->click();
        static_cast<QAbstractButton*>(panel.Control("bake_ao"))->click();
        EXPECT_FALSE(panel.previewBaking());
        EXPECT_EQ(panel.previewImage(), plain);
    }
    options.bake = {BakeLayer::Normals, BakeLayer::Occlusion};
    options.bakeRays = 8;
    ASSERT_TRUE(WithModal([&] { window->OnTemplateOptions(); },
                          [&](QWidget* w) {
                              auto* panel = static_cast<OptionsDialog*>(w);
                              panel->SetOptions(options);
                              QTest::mouseClick(panel->Control("ok"), Qt::LeftButton);
                          }));
    for (const std::string ext : {"psd", "ora"}) {
        SCOPED_TRACE(ext);
        const std::string fromWindow = dir.File("w." + ext), fromCli = dir.File("c." + ext);
        desktop.answers.push_back(QString::fromStdString(fromWindow));
        ASSERT_TRUE(WithModal([&] { window->OnFlatten(); },
                              [](QWidget* d) {
                                  QTest::mouseClick(static_cast<LaidOutDialog*>(d)->control("save"),
                                                    Qt::LeftButton);
                              }));
        ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0].detail.toStdString();
        const std::string command = std::string(GW_FLATTEN_TOOL) + " '" + model +
                                    "' --texture models/players/bot/belt --bake ao,normals "
                                    "--bake-rays 8 --size 64x48 -o '" +
                                    fromCli + "' > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const std::string written = ReadWholeFile(fromWindow);
        if (ext == "psd") { // the layer's name, as the file stores it
            EXPECT_NE(written.find("Ambient occlusion"), std::string::npos);
        }
        EXPECT_EQ(written, ReadWholeFile(fromCli));
    }
    desktop.answers.push_back(QString::fromStdString(dir.File("flat.png")));
    ASSERT_TRUE(WithModal([&] { window->OnFlatten(); },
                          [](QWidget* d) {
                              QTest::mouseClick(static_cast<LaidOutDialog*>(d)->control("save"),
                                                Qt::LeftButton);
                          }));
    ASSERT_EQ(desktop.messages.size(), 1u);
    const QString refusal = desktop.messages[0].detail;
    EXPECT_TRUE(refusal.contains("PNG") && refusal.contains("baked layers") &&
                refusal.contains("PSD"))
        << refusal.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.File("flat.png")));
    // Written by hand, the list reads as the settings file's list of two.
    GridwrightSettings().setValue("template/bake", QStringList{"light", "ao"});
    EXPECT_EQ(TemplateOptions::Load().bake,
              (std::vector<BakeLayer>{BakeLayer::Light, BakeLayer::Occlusion}));
}
