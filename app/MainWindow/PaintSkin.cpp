// The window's face: the skin picture, and on the first paint the window's
// outline read back from what was drawn.
#include "app/Language/Language.h"
#include "app/MainWindow/MainWindow.h"
#include "app/WindowShape/WindowShape.h"
#include "platform/Resources.h"
#include "res/Layouts.h"

namespace {

// Decoded once for each language (its words are painted on it): every
// paint draws from it.
const QImage& SkinBitmap() {
    static QImage skin;
    static QString language;
    if (skin.isNull() || language != InstalledLanguage()) {
        language = InstalledLanguage();
        skin = LoadPicture("skin").convertToFormat(QImage::Format_RGB32);
    }
    return skin;
}

} // namespace

void MainWindow::PaintSkin(QPainter& dc) {
    const int width = frameGeometry().width(), height = frameGeometry().height();
    DrawTransparentBitmap(dc, 0, 0, kMainWindowSize.width(), kMainWindowSize.height(), SkinBitmap(),
                          0, 0, qRgb(0, 0, 0));
    if (!m_regionPending)
        return;
    // Read back what this paint draws: the same drawing, into a picture of the
    // window's size. The face starts in the window's own colour.
    QImage drawn(width, height, QImage::Format_RGB32);
    drawn.fill(palette().color(QPalette::Window));
    {
        QPainter readBack(&drawn);
        DrawTransparentBitmap(readBack, 0, 0, kMainWindowSize.width(), kMainWindowSize.height(),
                              SkinBitmap(), 0, 0, qRgb(0, 0, 0));
    }
    bool started = false;
    m_windowRegion = OutlineOf(drawn, width, height, &started);
    m_regionPending = false;
    if (started)
        setMask(m_windowRegion);
    update();
}
