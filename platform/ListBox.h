#pragma once
// A list box control object: bound to a list widget by the data exchange; it
// does not own the widget. Changes made by the program notify nobody, only the
// user's selection does.
#include <QListWidget>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <string>

class CListBox {
  public:
    void Attach(QWidget* widget) { m_list = qobject_cast<QListWidget*>(widget); }
    QListWidget* widget() const { return m_list; }

    void ResetContent() {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
    }
    // Names are bytes from files: valid UTF-8 shows as such, anything else as
    // Latin-1, which covers the letters of older tools' names.
    void AddString(const std::string& text) {
        const QSignalBlocker quiet(m_list);
        m_list->addItem(TextOfBytes(text));
    }
    static QString TextOfBytes(const std::string& bytes) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        return utf8.hasError() ? QString::fromLatin1(bytes.data(), qsizetype(bytes.size())) : text;
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
