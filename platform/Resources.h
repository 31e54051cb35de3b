#pragma once
// Pictures and strings by number. The layer knows no program's resources: the
// program hands it a table once, before its first dialog.
#include <QIcon>
#include <QImage>
#include <QString>
#include <functional>

struct ResourceTable {
    QString bitmapPattern;              // "%1" stands for the number, e.g. ":/art/%1.png"
    QString iconPattern;                // "%1" the number, "%2" the size in pixels
    std::function<QString(int)> string; // empty when there is none
    QString resourceFailureText;        // "a resource is missing", in the program's words
};

void SetResourceTable(ResourceTable table);
const ResourceTable& CurrentResourceTable();

QImage LoadBitmap(int id); // a null image when there is none
QIcon LoadAppIcon(int id);
QString LoadResourceString(int id);
