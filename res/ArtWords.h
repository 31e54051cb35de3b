#pragma once
// The words on the program's pictures. The pictures are drawn without them
// (tools/draw_art.cpp) and each word is painted over its picture when the
// picture is loaded, in the language the window speaks, in the lettering the
// art uses: bold, spaced, with a dark shadow.
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

struct ArtWord {
    const char* picture; // the picture's resource name: "skin", "about"...
    QRectF box;          // where the word sits in the picture
    const char* text;    // English, marked for translation
    int pixelSize;
    QColor colour;
    int alignment;  // Qt::Alignment
    bool lettering; // bold, spaced and shadowed; else plain and wrapped
};

const std::vector<ArtWord>& ArtWords();
// A word as the art letters it; a translation too long for the box is set
// smaller until it fits.
void PaintArtWord(QPainter& painter, const ArtWord& word, const QString& text);
// Paints the words of the picture `name` over it, translated.
void PaintArtWords(const QString& name, QImage& picture);
