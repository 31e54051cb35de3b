// The window in English and in French. The French texts are those of the
// release before the window spoke English, listed here as users saw them.
#include "app/Language/Language.h"
#include "app/ExportDialog/ExportDialog.h"
#include "app/OptionsDialog/OptionsDialog.h"
#include "tests/GuiHarness.h"
#include "tests/TestModels.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Every text the options panel shows: labels, list entries, check boxes, buttons.
QStringList PanelTexts(OptionsDialog& panel) {
    QStringList texts{panel.windowTitle()};
    for (QLabel* l : panel.findChildren<QLabel*>())
        if (!l->text().isEmpty())
            texts << l->text();
    for (QAbstractButton* b : panel.findChildren<QAbstractButton*>())
        if (!b->text().isEmpty())
            texts << b->text();
    for (QComboBox* c : panel.findChildren<QComboBox*>())
        for (int i = 0; i < c->count(); ++i)
            texts << c->itemText(i);
    texts.removeDuplicates();
    texts.sort();
    return texts;
}

// The right-click menu's entries, read while it is open.
QStringList MenuTexts(MainWindow& window) {
    QStringList texts;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                if (!a->text().isEmpty())
                    texts << a->text();
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(100, 20),
                            window.mapToGlobal(QPoint(100, 20)));
    QApplication::sendEvent(&window, &event);
    return texts;
}

struct Shown {
    QStringList panel, menu, fileTypes;
    QString errorHeading;
};

Shown InLanguage(const QString& language) {
    EXPECT_TRUE(InstallLanguage(language));
    Shown shown;
    TempDir dir;
    DesktopStandIn desktop;
    auto window = StartMainWindow(WriteSampleModel(dir.path().string()));
    QApplication::processEvents();
    OptionsDialog panel(TemplateOptions{}, window->textures(), 0, window.get());
    panel.Build();
    shown.panel = PanelTexts(panel);
    shown.menu = MenuTexts(*window);
    shown.fileTypes = ExportDialog::FileTypes();
    desktop.answers.push_back(QString::fromStdString(dir.File("nothing.md3")));
    window->OnLoadMd3();
    if (!desktop.messages.empty())
        shown.errorHeading = desktop.messages.back().text;
    InstallLanguage("en");
    return shown;
}

} // namespace

TEST(Languages, FrenchShowsTheFormerReleasesTextsAndEnglishIsTheSource) {
    const Shown fr = InLanguage("fr");
    for (const char* text : {"Options du gabarit",
                             "OPTIONS DU GABARIT",
                             "Taille",
                             "Celle de la texture",
                             "Autre",
                             "Coordonnées",
                             "Répétées, comme dans le jeu",
                             "Telles quelles",
                             "Surfaces",
                             "La surface choisie",
                             "Toutes celles de sa texture, dans ce modèle",
                             "Toutes celles de sa texture, dans ce joueur",
                             "Toutes celles de sa texture, dans le jeu",
                             "Toutes",
                             "Traits",
                             "Lissés",
                             "Fond",
                             "Transparent",
                             "Faces",
                             "Remplies",
                             "Recouvrements",
                             "Montrés",
                             "Une couleur par surface",
                             "Texture",
                             "Dessous (images et PDF)",
                             "Réinitialiser",
                             "Annuler",
                             "OK"})
        EXPECT_TRUE(fr.panel.contains(QString::fromUtf8(text))) << text;
    for (const char* text : {"&Fermer", "&Options du gabarit...", "À &propos de Gridwright..."})
        EXPECT_TRUE(fr.menu.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(fr.fileTypes,
              (QStringList{"Fichier EPS (*.eps)", "Dessin SVG (*.svg)", "Document PDF (*.pdf)",
                           "Image PNG (*.png)", "Fichier BMP (*.bmp)", "Image TGA (*.tga)",
                           "Image Photoshop (*.psd)", "Image OpenRaster (*.ora)"}));
    EXPECT_EQ(fr.errorHeading, "Hola ombre, ca chie !!!");

    const Shown en = InLanguage("en");
    for (const char* text : {"Template options", "TEMPLATE OPTIONS", "Size", "The texture's size",
                             "Repeated, as in the game", "As stored",
                             "All of its texture, in this model", "All of its texture, in the game",
                             "Smoothed", "Underneath (images and PDF)", "Reset", "Cancel"})
        EXPECT_TRUE(en.panel.contains(text)) << text;
    for (const char* text : {"&Close", "Template &options...", "&About Gridwright..."})
        EXPECT_TRUE(en.menu.contains(text)) << text;
    EXPECT_EQ(en.fileTypes.first(), "EPS file (*.eps)");
    EXPECT_EQ(en.errorHeading, "Cannot open the model");
    // Nothing French is left in English: none of the French texts above
    // (but the words both languages share) shows.
    for (const QString& text : fr.panel + fr.menu + fr.fileTypes)
        if (!QStringList{"Surfaces", "Transparent", "Faces", "Texture", "OK"}.contains(text) &&
            !text.contains(QChar(0xD7))) { // "128 × 128": numbers
            EXPECT_FALSE(en.panel.contains(text) || en.menu.contains(text) ||
                         en.fileTypes.contains(text))
                << text.toStdString();
        }
}

// --lang first, then the choice remembered, then the system's locale; a
// locale that is neither English nor French gets English.
TEST(Languages, ChosenByTheOptionTheSettingsOrTheLocale) {
    const QLocale french("fr_FR"), english("en_US"), german("de_DE"), canadian("fr_CA");
    EXPECT_EQ(ChooseLanguage("", "", french), "fr");
    EXPECT_EQ(ChooseLanguage("", "", canadian), "fr");
    EXPECT_EQ(ChooseLanguage("", "", english), "en");
    EXPECT_EQ(ChooseLanguage("", "", german), "en");
    EXPECT_EQ(ChooseLanguage("", "en", french), "en");
    EXPECT_EQ(ChooseLanguage("", "klingon", french), "fr");
    EXPECT_EQ(ChooseLanguage("en", "fr", french), "en");
    EXPECT_EQ(ChooseLanguage("fr", "", english), "fr");
    EXPECT_EQ(ChooseLanguage("de", "", english), "");
}

// The right-click menu's choice applies at once and is remembered.
TEST(Languages, TheMenuChoiceAppliesAtOnceAndIsRemembered) {
    TempDir dir;
    DesktopStandIn desktop;
    auto window = StartMainWindow(WriteSampleModel(dir.path().string()));
    QApplication::processEvents();
    window->OnChooseLanguage("fr");
    EXPECT_EQ(InstalledLanguage(), "fr");
    EXPECT_EQ(GridwrightSettings().value("language").toString(), "fr");
    EXPECT_TRUE(
        window->textureList()->toolTip().contains(QString::fromUtf8("nommée par le modèle")))
        << window->textureList()->toolTip().toStdString();
    window->OnChooseLanguage("en");
    EXPECT_EQ(InstalledLanguage(), "en");
    EXPECT_TRUE(window->textureList()->toolTip().contains("named by the model"));
}
