#include "res/ArtWords.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace {

// The art's colours (tools/draw_art.cpp).
const QColor kEdge(18, 22, 30), kMint(126, 214, 184), kPaper(232, 236, 240),
    kSlateLight(84, 98, 116);

QFont Lettering(int pixelSize, bool bold) {
    QFont f("DejaVu Sans");
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    if (bold)
        f.setLetterSpacing(QFont::AbsoluteSpacing, pixelSize * 0.18);
    return f;
}

} // namespace

const std::vector<ArtWord>& ArtWords() {
    constexpr int left = Qt::AlignLeft | Qt::AlignVCenter,
                  right = Qt::AlignRight | Qt::AlignVCenter, centre = Qt::AlignCenter;
    static const std::vector<ArtWord> words{
        {"skin", {26, 44, 162, 24}, QT_TRANSLATE_NOOP("Art", "MESHES"), 15, kMint, left, true},
        {"skin", {231, 36, 170, 24}, QT_TRANSLATE_NOOP("Art", "SKIN"), 15, kMint, left, true},
        {"skin", {264, 104, 220, 20}, QT_TRANSLATE_NOOP("Art", "LAYOUT"), 12, kMint, left, true},
        {"skin",
         {264, 122, 220, 20},
         QT_TRANSLATE_NOOP("Art", "MD3 SKIN TEMPLATES"),
         9,
         kSlateLight.lighter(160),
         left,
         true},
        {"skin", {396, 408, 92, 14}, QT_TRANSLATE_NOOP("Art", "Flatten"), 11, kMint, right, true},
        {"skin", {146, 410, 60, 30}, QT_TRANSLATE_NOOP("Art", "Open"), 14, kMint, left, true},
        {"export-background",
         {6, 13, 68, 20},
         QT_TRANSLATE_NOOP("Art", "X SCALE"),
         10,
         kPaper,
         left,
         true},
        {"export-background",
         {6, 35, 68, 20},
         QT_TRANSLATE_NOOP("Art", "Y SCALE"),
         10,
         kPaper,
         left,
         true},
        {"export-background",
         {287, 5, 43, 16},
         QT_TRANSLATE_NOOP("Art", "OK"),
         8,
         kPaper,
         centre,
         true},
        {"export-background",
         {287, 26, 43, 16},
         QT_TRANSLATE_NOOP("Art", "COPY"),
         8,
         kPaper,
         centre,
         true},
        {"export-background",
         {287, 47, 43, 16},
         QT_TRANSLATE_NOOP("Art", "CANCEL"),
         8,
         kPaper,
         centre,
         true},
        {"about",
         {22, 128, 256, 70},
         QT_TRANSLATE_NOOP("Art", "Flattens the texture layout of an MD3 model's surfaces into "
                                  "painting templates: EPS files, bitmaps and the clipboard."),
         12,
         kPaper,
         Qt::AlignLeft | Qt::TextWordWrap,
         false},
        {"about",
         {84, 228, 200, 40},
         QT_TRANSLATE_NOOP("Art", "For skin painters and modders."),
         12,
         kSlateLight.lighter(150),
         left | Qt::TextWordWrap,
         false},
    };
    return words;
}

void PaintArtWord(QPainter& painter, const ArtWord& word, const QString& text) {
    // A translation may take the room the English takes (some English words
    // fill their box, or reach past it); beyond that it is set smaller, a
    // size at a time.
    const auto needed = [&word](int size, const QString& words) {
        return QFontMetricsF(Lettering(size, word.lettering))
            .boundingRect(word.box, word.alignment, words)
            .size();
    };
    const QSizeF english = needed(word.pixelSize, QString::fromUtf8(word.text));
    // Two pixels kept clear at each side, as the English words have them.
    const QSizeF room(std::max(word.box.width() - 4, english.width()) + 0.5,
                      std::max(word.box.height(), english.height()) + 0.5);
    int size = word.pixelSize;
    for (; size > 6; --size) {
        const QSizeF wanted = needed(size, text);
        if (wanted.width() <= room.width() && wanted.height() <= room.height())
            break;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(Lettering(size, word.lettering));
    if (word.lettering) {
        painter.setPen(kEdge);
        painter.drawText(word.box.translated(1, 1), word.alignment, text);
    }
    painter.setPen(word.colour);
    painter.drawText(word.box, word.alignment, text);
    painter.restore();
}

void PaintArtWords(const QString& name, QImage& picture) {
    if (picture.isNull())
        return;
    bool any = false;
    for (const ArtWord& w : ArtWords())
        any = any || name == QLatin1String(w.picture);
    if (!any)
        return;
    if (picture.format() != QImage::Format_ARGB32 && picture.format() != QImage::Format_RGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    QPainter p(&picture);
    for (const ArtWord& w : ArtWords())
        if (name == QLatin1String(w.picture))
            PaintArtWord(p, w, QCoreApplication::translate("Art", w.text));
}
