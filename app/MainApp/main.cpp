#include "app/MainApp/MainApp.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "gridwright takes no arguments; for scripts use gridwright-flatten "
                             "(gridwright-flatten --help).\n");
        return 2;
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !platform) {
        std::fprintf(stderr, "gridwright needs a desktop: no display was found (DISPLAY is not "
                             "set).\nWithout one, gridwright-flatten writes templates from the "
                             "command line:\n  gridwright-flatten --help\n");
        return 1;
    }
    QApplication app(argc, argv);
    CMainApp theApp;
    // The main window runs inside InitInstance; true would ask for an event loop after it.
    return theApp.InitInstance() ? app.exec() : 0;
}
