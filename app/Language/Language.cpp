#include "app/Language/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {

struct Installed {
    QString language = "en";
    std::unique_ptr<QTranslator> ours, qts;
};

Installed& Current() {
    static Installed installed;
    return installed;
}

} // namespace

QStringList Languages() {
    return {"en", "fr"};
}

QString LanguageName(const QString& language) {
    return language == "fr" ? QString::fromUtf8("Français") : QString("English");
}

QString ChooseLanguage(const QString& requested, const QString& remembered, const QLocale& system) {
    if (!requested.isEmpty())
        return Languages().contains(requested) ? requested : QString();
    if (Languages().contains(remembered))
        return remembered;
    return system.language() == QLocale::French ? "fr" : "en";
}

bool InstallLanguage(const QString& language) {
    Installed& now = Current();
    for (std::unique_ptr<QTranslator>* t : {&now.ours, &now.qts})
        if (*t) {
            QCoreApplication::removeTranslator(t->get());
            t->reset();
        }
    now.language = "en";
    if (language == "en")
        return true;
    auto ours = std::make_unique<QTranslator>();
    if (!ours->load(":/i18n/gridwright_" + language + ".qm"))
        return false;
    QCoreApplication::installTranslator(ours.get());
    now.ours = std::move(ours);
    // Qt's own words (file and colour dialogs); without them those stay English.
    auto qts = std::make_unique<QTranslator>();
    if (qts->load("qtbase_" + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qts.get());
        now.qts = std::move(qts);
    }
    now.language = language;
    return true;
}

QString InstalledLanguage() {
    return Current().language;
}
