#pragma once
// Pictures by name. The layer knows no program's pictures: the program tells
// it once where they are, before its first dialog.
#include <QIcon>
#include <QImage>
#include <QString>
#include <functional>

struct ResourceTable {
    QString picturePattern;      // "%1" stands for the name, e.g. ":/art/%1.png"
    QString iconPattern;         // "%1" the size in pixels, e.g. ":/art/icon-%1.png"
    QString resourceFailureText; // "a resource is missing", in the program's words
    // Paints the words of a picture over it, in the language spoken (none: the
    // pictures are shown as they are stored).
    std::function<void(const QString& name, QImage& picture)> words = {};
};

void SetResourceTable(ResourceTable table);
const ResourceTable& CurrentResourceTable();

QImage LoadPicture(const QString& name); // a null image when there is none
QIcon LoadAppIcon();
