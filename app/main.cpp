#include "app/Language/Language.h"
#include "app/MainWindow/MainWindow.h"
#include "app/OptionsDialog/TemplateOptions.h"
#include "app/Workspace/WorkspaceWindow.h"
#include "model/Version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    // Without a display only --help and --version can be answered.
    const bool display =
        std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
    std::unique_ptr<QCoreApplication> app;
    if (display)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName("gridwright");
    QCoreApplication::setApplicationVersion(kGridwrightVersion);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Gridwright shows the texture layout of an MD3 model's surfaces and flattens it into a "
        "painting template (EPS, SVG, PDF, PNG, BMP, TGA, layered PSD or OpenRaster, or the "
        "clipboard); its workspace shows the paint on the model as the texture is saved.\n"
        "For scripts and batch work, use gridwright-flatten.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        "model", "An MD3 model to open at once, or a game archive (.pk3) to choose one from.",
        "[MODEL.md3|GAME.pk3]");
    const QCommandLineOption lang("lang",
                                  "The language of the window: en or fr (default: the one "
                                  "chosen last, else the system's).",
                                  "en|fr");
    parser.addOption(lang);
    const QCommandLineOption workspace(
        "workspace", "Opens the workspace too: the layout, large, beside the model in 3D.");
    parser.addOption(workspace);
    const QCommandLineOption animation(
        "animation", "With --workspace: the model plays this animation (LEGS_RUN, run, ...).",
        "NAME");
    parser.addOption(animation);
    parser.process(*app);
    const QString language = ChooseLanguage(
        parser.value(lang), GridwrightSettings().value("language").toString(), QLocale::system());
    if (language.isEmpty()) {
        std::fprintf(stderr, "gridwright: --lang takes en or fr, not \"%s\".\n",
                     parser.value(lang).toLocal8Bit().constData());
        return 2;
    }
    const QStringList models = parser.positionalArguments();
    if (models.size() > 1) {
        std::fprintf(stderr, "gridwright opens one model at a time; give only one.\n");
        return 2;
    }
    if (!display) {
        std::fprintf(stderr, "gridwright needs a desktop: no display was found (DISPLAY is not "
                             "set).\nWithout one, gridwright-flatten writes templates from the "
                             "command line:\n  gridwright-flatten --help\n");
        return 1;
    }
    if (!InstallLanguage(language))
        std::fprintf(stderr,
                     "gridwright: the %s translation could not be read; the window speaks "
                     "English.\n",
                     language.toLocal8Bit().constData());
    const std::string model =
        models.isEmpty() ? std::string() : QFile::encodeName(models.first()).toStdString();
    MainWindow window(nullptr, model);
    window.Build();
    // The program ends when its window does, however it was closed.
    QObject::connect(&window, &QDialog::finished, app.get(), &QCoreApplication::quit);
    window.show();
    if (parser.isSet(animation) && !parser.isSet(workspace)) {
        std::fprintf(stderr, "gridwright: --animation plays in the workspace: add --workspace.\n");
        return 2;
    }
    if (parser.isSet(workspace)) { // after the model is read, which is queued first
        const QString name = parser.value(animation);
        QTimer::singleShot(0, &window, [&window, name] {
            window.OpenWorkspace();
            if (name.isEmpty() || !window.workspace())
                return;
            if (window.workspace()->ChooseAnimation(name))
                window.workspace()->SetPlaying(true);
            else
                std::fprintf(stderr,
                             "gridwright: the model has no animation \"%s\"; "
                             "gridwright-flatten --animations MODEL lists those it has.\n",
                             name.toLocal8Bit().constData());
        });
    }
    return app->exec();
}
