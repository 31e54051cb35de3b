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

QImage LoadPicture(const QString& name) {
    if (Table().picturePattern.isEmpty())
        return {};
    QImage picture(Table().picturePattern.arg(name));
    if (Table().words)
        Table().words(name, picture);
    return picture;
}

QIcon LoadAppIcon() {
    QIcon icon;
    if (Table().iconPattern.isEmpty())
        return icon;
    for (int size : {16, 32, 48, 128}) {
        const QString file = Table().iconPattern.arg(size);
        if (QFile::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}
