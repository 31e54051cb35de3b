#include "Resources.h"

#include <QFile>

QImage LoadBitmap(int id) {
    return QImage(QStringLiteral(":/art/%1.png").arg(id));
}

QIcon LoadAppIcon(int id) {
    QIcon icon;
    for (int size : {16, 32, 48, 128}) {
        const QString file = QStringLiteral(":/art/%1-%2.png").arg(id).arg(size);
        if (QFile::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

QString LoadResourceString(int id) {
    switch (id) {
    case 101:
        return QString::fromUtf8("&A propos de Gridwright...");
    default:
        return {};
    }
}
