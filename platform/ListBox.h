#pragma once
// A list box control object: bound to a list widget by the data exchange; it
// does not own the widget. Changes made by the program notify nobody, only the
// user's selection does.
#include <QListWidget>
#include <QSignalBlocker>
#include <string>

class CListBox {
  public:
    void Attach(QWidget* widget) { m_list = qobject_cast<QListWidget*>(widget); }
    QListWidget* widget() const { return m_list; }

    void ResetContent() {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
    }
    // Names are bytes from files; they show as Latin-1, which covers Windows-1252's letters.
    void AddString(const std::string& text) {
        const QSignalBlocker quiet(m_list);
        m_list->addItem(QString::fromLatin1(text.data(), qsizetype(text.size())));
    }
    int GetCount() const { return m_list->count(); }
    // The selected position, or -1 for none.
    int GetCurSel() const {
        const QList<QListWidgetItem*> selected = m_list->selectedItems();
        return selected.isEmpty() ? -1 : m_list->row(selected.first());
    }
    QString GetText(int index) const { return m_list->item(index)->text(); }

  private:
    QListWidget* m_list = nullptr;
};
