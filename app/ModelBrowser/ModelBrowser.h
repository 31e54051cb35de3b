#pragma once
// The models of a game or an archive, to choose one: a list that a filter
// narrows as it is typed, each model with where it comes from.
#include "game/GameFiles.h"

#include <QDialog>

class QLineEdit;
class QListWidget;

class ModelBrowser : public QDialog {
    Q_OBJECT

  public:
    ModelBrowser(std::vector<GameFile> models, QWidget* parent = nullptr);
    // The game path chosen; empty when none was.
    QString chosen() const;
    QLineEdit* filter() const { return m_filter; }
    QListWidget* list() const { return m_list; }

  private slots:
    void Narrow(const QString& text);

  private:
    std::vector<GameFile> m_models;
    QLineEdit* m_filter = nullptr;
    QListWidget* m_list = nullptr;
};
