#include "app/MainWindow/WornByDialog.h"

#include "app/OptionsDialog/ModelTextures.h"
#include "game/Archive.h"
#include "platform/Desktop.h"
#include "res/Palette.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

namespace {

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.c_str(), qsizetype(text.size()));
}

std::string Slashed(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Where a model comes from, without "." and ".." on the way.
std::string Tidy(const std::string& origin) {
    if (origin.empty())
        return origin;
    std::string archive, entry;
    if (SplitArchivePath(origin, archive, entry))
        return std::filesystem::path(archive).lexically_normal().string() + ":" + entry;
    return std::filesystem::path(origin).lexically_normal().string();
}

QString SkinsOf(const TextureWearer& wearer) {
    QStringList skins;
    for (const std::string& s : wearer.skins)
        if (!s.empty())
            skins << Utf8(s);
    return skins.join(", ");
}

} // namespace

QString WearerText(const WearerScan& scan, const TextureWearer& wearer, bool gamePath) {
    const std::string path = Slashed(scan.models.at(wearer.model).gamePath);
    const QString model = Utf8(gamePath ? path : path.substr(path.rfind('/') + 1));
    const QString skins = SkinsOf(wearer);
    QString line = model + " " + TextOfBytes(wearer.surfaceName);
    if (!skins.isEmpty())
        line += " (" + skins + ")";
    return line;
}

QString WornByLines(ModelTextures& textures, int selected, int lines) {
    const std::shared_ptr<const WearerScan> scan = textures.PlayerWearers();
    const WornFile* worn = scan ? textures.WornFileOf(*scan, selected) : nullptr;
    if (!worn || worn->wearers.empty())
        return {};
    QStringList said{WornByDialog::tr("Worn by:")};
    const int count = int(worn->wearers.size());
    for (int i = 0; i < std::min(count, lines); ++i)
        said << WearerText(*scan, worn->wearers[size_t(i)], false);
    if (count > lines)
        said << WornByDialog::tr("and %1 more").arg(count - lines);
    return said.join("\n");
}

WornByDialog::WornByDialog(ModelTextures& textures, int selected, QWidget* parent)
    : QDialog(parent), m_textures(textures), m_selected(selected) {
    setObjectName("wornBy");
    setWindowTitle(tr("Worn by…"));
    setStyleSheet("QDialog { background: rgb(40, 47, 58); }"
                  "QLabel { color: rgb(214, 226, 232); font: 11px 'DejaVu Sans'; }"
                  "QTreeWidget { background: rgb(14, 17, 22); color: rgb(214, 226, 232);"
                  "  font: 11px 'DejaVu Sans'; }"
                  "QPushButton { background: rgb(52, 62, 76); color: rgb(232, 236, 240);"
                  "  border: 1px solid rgb(18, 22, 30); border-radius: 3px; padding: 3px 12px; }"
                  "QPushButton:focus { border: 2px solid " GW_RGB_ACCENT "; }");
    auto* layout = new QVBoxLayout(this);
    m_status = new QLabel(this);
    m_status->setObjectName("status");
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    m_list = new QTreeWidget(this);
    m_list->setObjectName("wearers");
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({tr("Model"), tr("Surface"), tr("Skins"), tr("From")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(tr("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 360);
    Fill();
}

QString WornByDialog::statusText() const {
    return m_status->text();
}

void WornByDialog::Fill() {
    if (m_filled)
        return;
    const std::shared_ptr<const WearerScan> scan = m_textures.GameWearers();
    const QString texture = Utf8(m_textures.WornTextureName(m_selected));
    if (!scan) {
        m_status->setText(tr("Looking through the game's models…"));
        return;
    }
    m_filled = true;
    const WornFile* worn = m_textures.WornFileOf(*scan, m_selected);
    if (!worn) {
        m_status->setText(texture.isEmpty() ? tr("The surface wears no texture.")
                                            : tr("No model of the game wears %1.").arg(texture));
        return;
    }
    for (const TextureWearer& w : worn->wearers) {
        const WearingModel& model = scan->models[w.model];
        auto* row = new QTreeWidgetItem(m_list);
        row->setText(0, Utf8(Slashed(model.gamePath)));
        row->setText(1, TextOfBytes(w.surfaceName));
        row->setText(2, SkinsOf(w));
        row->setText(3, Utf8(Tidy(model.file.origin)));
    }
    const QString file = Utf8(worn->file.empty() ? worn->texture : Tidy(worn->file));
    QString said = tr("Surfaces wearing %1: %2.").arg(file).arg(worn->wearers.size());
    if (!scan->failures.empty())
        said +=
            " " +
            tr("Models or skins that could not be looked through: %1.").arg(scan->failures.size());
    m_status->setText(said);
}
