#include "app/ModelBrowser/ModelBrowser.h"

#include "platform/Desktop.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

ModelBrowser::ModelBrowser(std::vector<GameFile> models, QWidget* parent)
    : QDialog(parent), m_models(std::move(models)) {
    setWindowTitle(tr("Models"));
    resize(560, 420);
    auto* layout = new QVBoxLayout(this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName("filter");
    m_filter->setPlaceholderText(tr("Filter"));
    m_filter->setClearButtonEnabled(true);
    m_list = new QListWidget(this);
    m_list->setObjectName("models");
    for (const GameFile& model : m_models) {
        auto* item = new QListWidgetItem(TextOfBytes(model.gamePath), m_list);
        item->setData(Qt::UserRole, TextOfBytes(model.gamePath));
        item->setToolTip(TextOfBytes(model.origin));
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    layout->addWidget(m_filter);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    connect(m_filter, &QLineEdit::textChanged, this, &ModelBrowser::Narrow);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemActivated, this, &QDialog::accept);
}

void ModelBrowser::Narrow(const QString& text) {
    QListWidgetItem* first = nullptr;
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem* item = m_list->item(i);
        const bool shown = item->text().contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first)
            first = item;
    }
    m_list->setCurrentItem(first);
}

QString ModelBrowser::chosen() const {
    const QListWidgetItem* item = m_list->currentItem();
    return item && !item->isHidden() ? item->data(Qt::UserRole).toString() : QString();
}
