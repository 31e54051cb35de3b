#pragma once
// The language the window speaks: English, or French as a translation of it.
// Chosen by --lang, else by the choice remembered in the settings, else by the
// system's locale; a locale that is neither English nor French gets English.
#include <QLocale>
#include <QString>
#include <QStringList>

// "en" or "fr"; empty when `requested` is given and names neither.
QString ChooseLanguage(const QString& requested, const QString& remembered, const QLocale& system);
// The languages there are, English first.
QStringList Languages();
// The language's own name for itself: "English", "Français".
QString LanguageName(const QString& language);
// Makes the application speak the language, Qt's own dialogs included; the
// former translation is removed. False when its translation cannot be read.
bool InstallLanguage(const QString& language);
QString InstalledLanguage();
