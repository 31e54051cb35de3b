#pragma once
// The window's own words, in English; the French translation is in
// app/translations/gridwright_fr.ts. The texts here are marked for
// translation and translated where they are shown:
// QCoreApplication::translate("Gridwright", kAboutMenuText).
#include <QtGlobal>

inline constexpr const char* kAboutMenuText =
    QT_TRANSLATE_NOOP("Gridwright", "&About Gridwright...");
inline constexpr const char* kCloseMenuText = QT_TRANSLATE_NOOP("Gridwright", "&Close");
inline constexpr const char* kResourceFailureText =
    QT_TRANSLATE_NOOP("Gridwright", "A required resource was not available.");
// The open dialog's first type, %1: the patterns of every model format.
inline constexpr const char* kAllModelsFilter = QT_TRANSLATE_NOOP("Gridwright", "All models (%1)");
// The formats' own labels (model/ModelFormats.cpp gives them in English),
// listed here so that they are translated where the dialog shows them.
inline constexpr const char* kModelFormatLabels[] = {
    QT_TRANSLATE_NOOP("Gridwright", "Quake III models"),
    QT_TRANSLATE_NOOP("Gridwright", "Quake models"),
    QT_TRANSLATE_NOOP("Gridwright", "Quake II models"),
    QT_TRANSLATE_NOOP("Gridwright", "Wolfenstein models"),
    QT_TRANSLATE_NOOP("Gridwright", "Doom 3 meshes"),
    QT_TRANSLATE_NOOP("Gridwright", "Inter-Quake models"),
    QT_TRANSLATE_NOOP("Gridwright", "Wavefront OBJ models"),
    QT_TRANSLATE_NOOP("Gridwright", "glTF 2.0 scenes"),
    QT_TRANSLATE_NOOP("Gridwright", "glTF 2.0 binary scenes")};
inline constexpr const char* kPakFilter = QT_TRANSLATE_NOOP("Gridwright", "Game archive (*.pk3)");
inline constexpr const char* kDpkFilter = QT_TRANSLATE_NOOP("Gridwright", "Game archive (*.dpk)");
inline constexpr const char* kOpenGameMenuText =
    QT_TRANSLATE_NOOP("Gridwright", "Open a &game folder...");
// The label of each output format in the save dialog, by extension.
struct FormatLabel {
    const char *extension, *label;
};
inline constexpr FormatLabel kFormatLabels[] = {
    {"eps", QT_TRANSLATE_NOOP("Gridwright", "EPS file")},
    {"svg", QT_TRANSLATE_NOOP("Gridwright", "SVG drawing")},
    {"pdf", QT_TRANSLATE_NOOP("Gridwright", "PDF document")},
    {"png", QT_TRANSLATE_NOOP("Gridwright", "PNG image")},
    {"bmp", QT_TRANSLATE_NOOP("Gridwright", "BMP image")},
    {"tga", QT_TRANSLATE_NOOP("Gridwright", "TGA image")},
    {"psd", QT_TRANSLATE_NOOP("Gridwright", "Photoshop image")},
    {"ora", QT_TRANSLATE_NOOP("Gridwright", "OpenRaster image")}};
inline constexpr const char* kWindowTitle = "Gridwright";
inline constexpr const char* kModelWindowTitle = "%1 — Gridwright";
inline constexpr const char* kOptionsMenuText =
    QT_TRANSLATE_NOOP("Gridwright", "Template &options...");
inline constexpr const char* kLanguageMenuText = QT_TRANSLATE_NOOP("Gridwright", "&Language");
// Headings of the message boxes that say what could not be done.
inline constexpr const char* kCannotOpenHeading =
    QT_TRANSLATE_NOOP("Gridwright", "Cannot open the model");
inline constexpr const char* kCannotSaveHeading =
    QT_TRANSLATE_NOOP("Gridwright", "Cannot save the template");
inline constexpr const char* kCannotSaveSkinHeading =
    QT_TRANSLATE_NOOP("Gridwright", "Cannot save the skin");
// %1: the extension given, %2: the list of those written (".eps, .svg ... or .bmp").
inline constexpr const char* kUnknownTemplateExtension = QT_TRANSLATE_NOOP(
    "Gridwright",
    "Gridwright does not write \".%1\" files. Give the template one of the extensions %2.");

// A text of this file in the language installed.
#define GW_TEXT(text) QCoreApplication::translate("Gridwright", text)
