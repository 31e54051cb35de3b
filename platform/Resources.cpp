#include "platform/Resources.h"

#include <QFile>

namespace {

ResourceTable& Table() {
    static ResourceTable table;
    return table;
}

} // namespace

void SetResourceTable(ResourceTable table) {
    Table() = std::move(table);
}

const ResourceTable& CurrentResourceTable() {
    return Table();
}

QImage LoadBitmap(int id) {
    if (Table().bitmapPattern.isEmpty())
        return {};
    return QImage(Table().bitmapPattern.arg(id));
}

QIcon LoadAppIcon(int id) {
    QIcon icon;
    if (Table().iconPattern.isEmpty())
        return icon;
    for (int size : {16, 32, 48, 128}) {
        const QString file = Table().iconPattern.arg(id).arg(size);
        if (QFile::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

QString LoadResourceString(int id) {
    return Table().string ? Table().string(id) : QString();
}
