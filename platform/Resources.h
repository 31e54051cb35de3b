#pragma once
// Pictures and strings by number, from the program's built-in resources.
#include <QIcon>
#include <QImage>
#include <QString>

QImage LoadBitmap(int id); // a null image when there is none
QIcon LoadAppIcon(int id);
QString LoadResourceString(int id);
