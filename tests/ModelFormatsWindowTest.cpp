// The window on every format the readers take: the open dialog's types, a
// dropped MDL or MD2, the skins an MDL holds in the skin menu and under the
// preview, and such a skin written out as a picture.
#include "app/Language/Language.h"
#include "app/MainWindow/MainWindow.h"
#include "app/OptionsDialog/OptionsDialog.h"
#include "model/ModelFormats.h"
#include "tests/GltfBuilder.h"
#include "tests/GuiHarness.h"
#include "tests/TestModels.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

const std::string kCorpus = GW_MODEL_CORPUS;
const std::string kPlayer = kCorpus + "/mdl/player/progs/player.mdl";
const std::string kArmor = kCorpus + "/mdl/armor/progs/armor.mdl";
const std::string kFire = kCorpus + "/md2/fire/packages/models/mapmodels/objects/fire/tris.md2";

#define SKIP_WITHOUT(path)                                                                         \
    if (!std::filesystem::exists(path))                                                            \
    GTEST_SKIP() << (path) << " is not here"

// The entries of the right-click menu's Skin submenu, and whether the
// save-skin entry could be chosen.
struct MenuSeen {
    QStringList skins;
    bool saveSkinEnabled = false, saveSkinShown = false;
};

MenuSeen OpenContextMenu(MainWindow& window) {
    MenuSeen seen;
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* a : menu->actions()) {
            if (a->menu() && a->text() == QObject::tr("Skin"))
                for (QAction* s : a->menu()->actions())
                    seen.skins << s->text();
            if (a->objectName() == "saveModelSkin") {
                seen.saveSkinShown = true;
                seen.saveSkinEnabled = a->isEnabled();
            }
        }
        menu->close();
    });
    window.ShowContextMenu(window.mapToGlobal(window.rect().center()));
    QTest::qWait(100);
    return seen;
}

// Drags the file onto the window and drops it; true when the window took it.
bool DropOnto(MainWindow& window, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    const QPoint at = window.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    return drop.isAccepted();
}

QStringList SurfaceNames(const MainWindow& window) {
    QStringList names;
    for (int i = 0; i < window.surfaceList()->count(); ++i)
        names << window.surfaceList()->item(i)->text();
    return names;
}

void UnderlayWholly(MainWindow& window) {
    TemplateOptions options;
    options.underlay = true;
    options.underlayOpacity = 1.0;
    ASSERT_TRUE(WithModal([&] { window.OnTemplateOptions(); },
                          [&](QWidget* w) {
                              auto* panel = static_cast<OptionsDialog*>(w);
                              panel->SetOptions(options);
                              QTest::mouseClick(panel->Control("ok"), Qt::LeftButton);
                          }));
}

int SkinNamed(MainWindow& window, const std::string& name) {
    for (int i = 0; i < int(window.textures().skins().size()); ++i)
        if (window.textures().skins()[size_t(i)].name == name)
            return i;
    return -1;
}

} // namespace

TEST(FormatsWindow, TheOpenDialogOffersEveryFormatAndAllOfThemFirst) {
    DesktopStandIn desktop;
    auto window = StartMainWindow();
    desktop.answers.push_back(""); // cancelled
    window->OnLoadMd3();
    ASSERT_EQ(desktop.asked.size(), 1u);
    const QStringList filters = desktop.asked.front().filters;
    ASSERT_FALSE(filters.isEmpty());
    for (const ModelFormat& format : ModelFormats()) {
        // Its own entry, under its label, and every model's entry first.
        int own = 0;
        for (const std::string_view extension : format.extensions) {
            const QString pattern = "*." + QString::fromStdString(std::string(extension));
            EXPECT_TRUE(filters.front().contains(pattern)) << filters.front().toStdString();
            for (const QString& filter : filters.mid(1))
                if (filter.startsWith(QString::fromStdString(std::string(format.label)) + " (") &&
                    filter.contains(pattern))
                    ++own;
        }
        EXPECT_EQ(own, int(format.extensions.size())) << format.name;
    }
    EXPECT_EQ(filters.size(), int(ModelFormats().size()) + 3); // all, each, .pk3, .dpk
    EXPECT_TRUE(filters.contains(QStringLiteral("Game archive (*.pk3)")));

    // In French the words are French, the patterns the same.
    ASSERT_TRUE(InstallLanguage("fr"));
    const QStringList french = ModelOpenFilters();
    ASSERT_TRUE(InstallLanguage("en"));
    ASSERT_EQ(french.size(), int(ModelFormats().size()) + 1);
    for (int i = 0; i < french.size(); ++i) {
        EXPECT_NE(french[i], filters[i]) << "untranslated: " << french[i].toStdString();
        EXPECT_EQ(french[i].mid(french[i].lastIndexOf('(')),
                  filters[i].mid(filters[i].lastIndexOf('(')));
    }
}

// The real dialog, on a case-sensitive disk: every model file shows under
// the first type, in either case, and nothing else.
TEST(FormatsWindow, TheRealOpenDialogShowsEveryModelFileAtFirst) {
    TempDir dir;
    QStringList models;
    for (const ModelFormat& format : ModelFormats())
        for (const std::string_view extension : format.extensions) {
            const QString lower = "m." + QString::fromStdString(std::string(extension));
            models << lower << "UP." + lower.mid(2).toUpper();
        }
    for (const QString& name : models + QStringList{"notes.txt", "skin.tga", "model.md4"})
        WriteWholeFile(dir.File(name.toStdString()), "x");
    auto window = StartMainWindow();
    QStringList shown;
    WithModal([&] { window->OnLoadMd3(); },
              [&](QWidget* modal) {
                  auto* dialog = qobject_cast<QFileDialog*>(modal);
                  ASSERT_NE(dialog, nullptr);
                  dialog->setDirectory(QString::fromStdString(dir.path().string()));
                  auto* view = dialog->findChild<QAbstractItemView*>("listView");
                  ASSERT_NE(view, nullptr);
                  (void)QTest::qWaitFor(
                      [&] { return view->model()->rowCount(view->rootIndex()) >= models.size(); },
                      5000);
                  QTest::qWait(200); // let the filter settle
                  for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                      shown << view->model()->index(row, 0, view->rootIndex()).data().toString();
                  dialog->reject();
              });
    shown.sort();
    models.sort();
    EXPECT_EQ(shown, models);
}

TEST(FormatsWindow, DroppedMdlAndMd2FilesOpenAndOtherFilesAreRefused) {
    SKIP_WITHOUT(kFire);
    SKIP_WITHOUT(kArmor);
    DesktopStandIn desktop;
    TempDir dir;
    WriteWholeFile(dir.File("notes.txt"), "IDPO");
    auto window = StartMainWindow();
    EXPECT_FALSE(DropOnto(*window, dir.File("notes.txt")));
    EXPECT_EQ(window->model(), nullptr);

    ASSERT_TRUE(DropOnto(*window, kFire));
    ASSERT_NE(window->model(), nullptr);
    EXPECT_EQ(window->model()->format, "MD2");
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("tris.md2 — Gridwright"));
    const Result<Model> fire = LoadModelFile(kFire);
    ASSERT_TRUE(fire.ok());
    ASSERT_EQ(window->surfaceList()->count(), fire.value().SurfaceCount());
    EXPECT_EQ(window->surfaceList()->item(0)->text().toStdString(), fire.value().surfaces[0].name);

    ASSERT_TRUE(DropOnto(*window, kArmor));
    ASSERT_NE(window->model(), nullptr);
    EXPECT_EQ(window->model()->format, "MDL");
    EXPECT_EQ(window->model()->path, kArmor);
    EXPECT_TRUE(desktop.messages.empty());
}

TEST(FormatsWindow, AnMdlListsItsSurfaceAndTheSkinsItHoldsAndSaysItsPaletteIsAStandIn) {
    SKIP_WITHOUT(kPlayer);
    DesktopStandIn desktop;
    auto window = StartMainWindow(kPlayer);
    QApplication::processEvents();
    ASSERT_NE(window->model(), nullptr);
    const Result<Model> player = LoadModelFile(kPlayer);
    ASSERT_TRUE(player.ok());
    QStringList surfaces;
    for (const Surface& s : player.value().surfaces)
        surfaces << QString::fromStdString(s.name);
    EXPECT_EQ(SurfaceNames(*window), surfaces);
    ASSERT_FALSE(player.value().skins.empty());

    const MenuSeen menu = OpenContextMenu(*window);
    for (const EmbeddedSkin& held : player.value().skins)
        EXPECT_TRUE(menu.skins.contains(QString::fromStdString(held.name)))
            << held.name << " not in " << menu.skins.join(", ").toStdString();
    EXPECT_TRUE(menu.saveSkinShown);
    EXPECT_TRUE(menu.saveSkinEnabled);
    // The surface wears the first skin the model holds, found in the model.
    EXPECT_EQ(window->texturePath().toStdString(), player.value().skins[0].name);
    EXPECT_TRUE(window->textureList()->toolTip().contains(QStringLiteral("(%1 × %2)")
                                                              .arg(player.value().skins[0].width)
                                                              .arg(player.value().skins[0].height)))
        << window->textureList()->toolTip().toStdString();

    // The model's game has no palette of its own: the window says so once.
    for (int i = 0; i < 500 && !window->statusText().contains("palette"); ++i)
        QTest::qWait(10);
    EXPECT_TRUE(window->statusText().contains("gfx/palette.lmp"))
        << window->statusText().toStdString();
}

TEST(FormatsWindow, AnMd3HasNoSkinToSaveAsAPicture) {
    DesktopStandIn desktop;
    auto window = StartMainWindow(GW_SAMPLE_MODEL);
    QApplication::processEvents();
    ASSERT_NE(window->model(), nullptr);
    const MenuSeen menu = OpenContextMenu(*window);
    EXPECT_TRUE(menu.saveSkinShown);
    EXPECT_FALSE(menu.saveSkinEnabled);
    window->OnSaveModelSkin();
    EXPECT_TRUE(desktop.asked.empty()); // no dialog for nothing to save
}

TEST(FormatsWindow, ChoosingAnotherSkinTheModelHoldsChangesThePictureUnderThePreview) {
    SKIP_WITHOUT(kArmor);
    DesktopStandIn desktop;
    auto window = StartMainWindow(kArmor);
    QApplication::processEvents();
    ASSERT_NE(window->model(), nullptr);
    ASSERT_GE(window->model()->skins.size(), 2u);
    UnderlayWholly(*window);
    const QImage first = window->previewLayer().copy();
    const int one = SkinNamed(*window, window->model()->skins[1].name);
    const int zero = SkinNamed(*window, window->model()->skins[0].name);
    ASSERT_GE(one, 0);
    ASSERT_GE(zero, 0);
    window->OnChooseSkin(one);
    EXPECT_EQ(window->texturePath().toStdString(), window->model()->skins[1].name);
    const QImage second = window->previewLayer().copy();
    ASSERT_EQ(first.size(), second.size());
    // Inside the preview frame, many pixels change colour.
    const QRect frame = window->previewFrame()->geometry();
    int changed = 0, inside = 0;
    for (int y = frame.top(); y <= frame.bottom(); ++y)
        for (int x = frame.left(); x <= frame.right(); ++x) {
            ++inside;
            changed += first.pixel(x, y) != second.pixel(x, y);
        }
    EXPECT_GT(changed, inside / 20) << changed << " of " << inside;
    // and the first skin chosen again gives back the first picture.
    window->OnChooseSkin(zero);
    EXPECT_EQ(window->previewLayer(), first);
}

TEST(FormatsWindow, TheSkinSavedIsTheChosenOnePaintedInTheShippedPalette) {
    SKIP_WITHOUT(kArmor);
    const std::string palette = ReadWholeFile(GW_SOURCE_DIR "/res/palette/palette.lmp");
    ASSERT_EQ(palette.size(), 768u);
    TempDir dir;
    DesktopStandIn desktop;
    auto window = StartMainWindow(kArmor);
    QApplication::processEvents();
    ASSERT_NE(window->model(), nullptr);
    const Result<Model> armor = LoadModelFile(kArmor);
    ASSERT_TRUE(armor.ok());
    ASSERT_GE(armor.value().skins.size(), 2u);
    // Skin 1 chosen in the menu is the one saved.
    window->OnChooseSkin(SkinNamed(*window, armor.value().skins[1].name));
    EXPECT_EQ(window->ModelSkinToSave(), 1);
    const std::string path = dir.File("armor_skin1.png");
    desktop.answers.push_back(QString::fromStdString(path));
    window->OnSaveModelSkin();
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_FALSE(desktop.asked[0].open);
    EXPECT_TRUE(desktop.asked[0].filters.front().contains("*.png"));
    EXPECT_TRUE(desktop.asked[0].filters.join(' ').contains("*.tga"));
    EXPECT_TRUE(desktop.asked[0].filters.join(' ').contains("*.bmp"));
    EXPECT_TRUE(desktop.messages.empty());

    const QImage saved(QString::fromStdString(path));
    const EmbeddedSkin& skin = armor.value().skins[1];
    ASSERT_EQ(saved.size(), QSize(skin.width, skin.height));
    int wrong = 0;
    for (int y = 0; y < skin.height; ++y)
        for (int x = 0; x < skin.width; ++x) {
            const size_t index = skin.indices[size_t(y) * size_t(skin.width) + size_t(x)];
            const QRgb want = qRgb(uint8_t(palette[index * 3]), uint8_t(palette[index * 3 + 1]),
                                   uint8_t(palette[index * 3 + 2]));
            wrong += saved.pixel(x, y) != want;
        }
    EXPECT_EQ(wrong, 0);

    // A picture of a kind a skin is not written as is refused, in a message.
    desktop.answers.push_back(QString::fromStdString(dir.File("armor.gif")));
    window->OnSaveModelSkin();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, QStringLiteral("Cannot save the skin"));
    EXPECT_TRUE(desktop.messages[0].detail.contains(".png, .tga or .bmp"))
        << desktop.messages[0].detail.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.File("armor.gif")));
}

TEST(FormatsWindow, AQuakeGameFoldersProgsModelsAreBrowsed) {
    SKIP_WITHOUT(kPlayer);
    DesktopStandIn desktop;
    auto window = StartMainWindow();
    desktop.answers.push_back(QString::fromStdString(kCorpus + "/mdl/player"));
    QStringList listed;
    ASSERT_TRUE(WithModal([&] { window->OnOpenGameFolder(); },
                          [&](QWidget* w) {
                              auto* browser = qobject_cast<QDialog*>(w);
                              ASSERT_NE(browser, nullptr);
                              for (auto* list : browser->findChildren<QListWidget*>())
                                  for (int i = 0; i < list->count(); ++i)
                                      listed << list->item(i)->text();
                              browser->reject();
                          }));
    EXPECT_TRUE(listed.contains("progs/player.mdl")) << listed.join(", ").toStdString();
}

// The desktop's file types are the readers' table: each format's type, with
// a glob per extension and its first bytes as magic (types the desktop has
// registered already are left to it); the desktop entry and the AppStream
// file take every type.
TEST(FormatsWindow, TheDesktopFileTypesAreTheFormatsTable) {
    QFile file(GW_SOURCE_DIR "/res/desktop/org.gridwright.Gridwright.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    struct Type {
        QStringList globs, magic;
    };
    std::map<QString, Type> types;
    QXmlStreamReader xml(&file);
    QString type;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == u"mime-type")
            type = a.value("type").toString();
        else if (xml.name() == u"glob")
            types[type].globs << a.value("pattern").toString();
        else if (xml.name() == u"match" && a.value("offset") == u"0")
            types[type].magic << a.value("value").toString();
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    const QString entry = QString::fromStdString(
        ReadWholeFile(GW_SOURCE_DIR "/res/desktop/org.gridwright.Gridwright.desktop"));
    const QString metainfo = QString::fromStdString(
        ReadWholeFile(GW_SOURCE_DIR "/res/desktop/org.gridwright.Gridwright.metainfo.xml.in"));
    size_t ours = 0;
    for (const ModelFormat& format : ModelFormats()) {
        const QString mime = QString::fromStdString(std::string(format.mimeType));
        const QRegularExpression listed("^MimeType=(.*;)?" + QRegularExpression::escape(mime) + ";",
                                        QRegularExpression::MultilineOption);
        EXPECT_TRUE(listed.match(entry).hasMatch()) << mime.toStdString();
        EXPECT_TRUE(metainfo.contains("<mediatype>" + mime + "</mediatype>")) << mime.toStdString();
        // A registered type (model/obj, model/gltf+json) is the desktop's own:
        // defining it again would fight the system's definition.
        if (!mime.contains("/x-")) {
            EXPECT_FALSE(types.count(mime)) << mime.toStdString();
            continue;
        }
        ++ours;
        ASSERT_TRUE(types.count(mime)) << format.name << ": no " << mime.toStdString();
        QStringList globs;
        for (const std::string_view extension : format.extensions)
            globs << "*." + QString::fromStdString(std::string(extension));
        EXPECT_EQ(types[mime].globs, globs) << format.name;
        // A magic of text ends where the table's ends in NULs (IQM's).
        std::string magic(format.magic);
        while (!magic.empty() && magic.back() == '\0')
            magic.pop_back();
        EXPECT_EQ(types[mime].magic, QStringList{QString::fromStdString(magic)}) << format.name;
    }
    EXPECT_EQ(types.size(), ours);
}

// A glTF of two sets of texture coordinates: the options panel offers the
// choice (a model of one set does not), the preview follows it, Cancel puts
// the first back and OK keeps the one chosen.
TEST(FormatsWindow, TheOptionsPanelChoosesASetOfTextureCoordinates) {
    GltfBuilder g;
    const int position = g.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0}, "VEC3", 3);
    const int left = g.Floats({0.05f, 0.05f, 0.45f, 0.05f, 0.45f, 0.95f}, "VEC2", 2);
    const int right = g.Floats({0.55f, 0.05f, 0.95f, 0.05f, 0.95f, 0.95f}, "VEC2", 2);
    g.Primitive({{"POSITION", position}, {"TEXCOORD_0", left}, {"TEXCOORD_1", right}}, -1, "card");
    TempDir dir;
    const std::vector<uint8_t> glb = g.Glb();
    {
        std::ofstream(dir.File("card.glb"), std::ios::binary)
            .write(reinterpret_cast<const char*>(glb.data()), std::streamsize(glb.size()));
    }
    auto window = StartMainWindow(dir.File("card.glb"));
    ASSERT_TRUE(window->textures().model());
    auto firstU = [&] { return window->textures().model()->surfaces.at(0).u.at(0); };
    EXPECT_DOUBLE_EQ(firstU(), 0.05);
    {
        OptionsDialog panel(TemplateOptions{}, window->textures(), 0, window.get());
        panel.Build();
        auto* set = qobject_cast<QSpinBox*>(panel.Control("uvSet"));
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(set->value(), 0);
        EXPECT_EQ(set->maximum(), 1);
        const QImage before = panel.previewImage();
        set->setValue(1);
        EXPECT_DOUBLE_EQ(firstU(), 0.55);
        EXPECT_NE(panel.previewImage(), before);
        panel.reject();
    }
    EXPECT_DOUBLE_EQ(firstU(), 0.05);
    {
        OptionsDialog panel(TemplateOptions{}, window->textures(), 0, window.get());
        panel.Build();
        qobject_cast<QSpinBox*>(panel.Control("uvSet"))->setValue(1);
        panel.accept();
    }
    EXPECT_DOUBLE_EQ(firstU(), 0.55);

    auto sample = StartMainWindow(WriteSampleModel(dir.path().string()));
    OptionsDialog panel(TemplateOptions{}, sample->textures(), 0, sample.get());
    panel.Build();
    EXPECT_EQ(panel.Control("uvSet"), nullptr);
    panel.reject();
}
