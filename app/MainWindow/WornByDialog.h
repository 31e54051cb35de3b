#pragma once
// Every surface of the game's models that wears the chosen surface's texture
// file, through which skins, and where each model comes from. The game is
// looked through on a pool thread: the list fills in once it is done.
#include "flatten/Wearers.h"

#include <QDialog>
#include <QString>
#include <memory>

class ModelTextures;
class QLabel;
class QTreeWidget;

// "lower.md3 l_legs (default, light)": a wearer as the tooltips name it, the
// model by its file name or its game path.
QString WearerText(const WearerScan& scan, const TextureWearer& wearer, bool gamePath);
// The wearers of the surface's texture among the model's player, a line
// each after "Worn by:", at most `lines` then how many more; empty when the
// player is not scanned yet or the surface wears no texture.
QString WornByLines(ModelTextures& textures, int selected, int lines);

class WornByDialog : public QDialog {
    Q_OBJECT

  public:
    WornByDialog(ModelTextures& textures, int selected, QWidget* parent);
    QTreeWidget* list() const { return m_list; }
    // What the dialog says above the list ("Looking through…" until done).
    QString statusText() const;

  public slots:
    // Fills the list when the game's scan is done; says it is looking meanwhile.
    void Fill();

  private:
    ModelTextures& m_textures;
    int m_selected;
    bool m_filled = false;
    QLabel* m_status = nullptr;
    QTreeWidget* m_list = nullptr;
};
