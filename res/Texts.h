#pragma once
// The program's own words, in the French its windows have always spoken.
// The heading of every message box that says a file could not be used.
inline constexpr const char* kFailureMessage = "Hola ombre, ca chie !!!";
inline constexpr const char* kAboutMenuText = "&A propos de Gridwright...";
inline constexpr const char* kCloseMenuText = "&Fermer";
inline constexpr const char* kResourceFailureText = "Une ressource requise était non disponible.";
inline constexpr const char* kModelFilter = "Modèle (*.MD3)";
// The label of each output format in the save dialog, by extension.
struct FormatLabel {
    const char *extension, *label;
};
inline constexpr FormatLabel kFormatLabels[] = {{"eps", "Fichier EPS"},
                                                {"png", "Image PNG"},
                                                {"svg", "Dessin SVG"},
                                                {"pdf", "Document PDF"},
                                                {"bmp", "Fichier BMP"}};
inline constexpr const char* kWindowTitle = "Gridwright";
inline constexpr const char* kModelWindowTitle = "%1 — Gridwright";
inline constexpr const char* kOptionsMenuText = "&Options du gabarit...";
// %1: the extension given, %2: the list of those written (".eps, .svg ... or .bmp").
inline constexpr const char* kUnknownTemplateExtension =
    "Gridwright does not write \".%1\" files. Give the template one of the extensions %2.";
