#pragma once
// The workspace: the chosen surfaces' layout, large, beside the model in 3D
// wearing its textures. It follows the main window's model, skin, options
// and surface, and the main window follows the surface chosen here. Every
// texture shown is watched: a save from the image editor shows within a
// second, the camera kept.
#include "app/OptionsDialog/ModelTextures.h"
#include "app/OptionsDialog/TemplateOptions.h"
#include "scene/Scene.h"

#include <QWidget>

#include <functional>

#include <memory>
#include <vector>

class FileWatcher;
class LayoutView;
class ModelView;
class QCheckBox;
class QLabel;
class QSlider;
class QTimer;

// What the workspace shows, as the main window has it.
struct WorkspaceSource {
    std::function<ModelTextures&()> textures;
    std::function<const TemplateOptions&()> options;
    std::function<int()> selected;
    std::function<void(int)> select; // chooses a surface in the main window
};

class WorkspaceWindow : public QWidget {
    Q_OBJECT

  public:
    explicit WorkspaceWindow(WorkspaceSource source, QWidget* parent = nullptr);
    ~WorkspaceWindow() override;

    LayoutView* layoutView() const { return m_layout; }
    ModelView* modelView() const { return m_view; }
    FileWatcher* watcher() const { return m_watcher; }
    QCheckBox* outlineSwitch() const { return m_outline; }
    QString statusText() const;
    // Whether the player's three parts are shown joined.
    bool showsPlayer() const;

  public slots:
    // The main window has another model (or skin): everything anew, fitted.
    void OnModelChanged();
    // The model's textures were found anew (files came or went in the
    // game): the scene shows what is found now, the camera kept.
    void OnTexturesChanged();
    // The template options or the surface chosen changed.
    void OnSelectionChanged();
    // Shows the player's parts joined (when the model is one of them).
    void SetJoinPlayer(bool join);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void BuildScene(bool fit);
    void ShowLayout();
    // The frame sliders over these counts: one for a model, the legs' and
    // the torso's for a player (torsoFrames 0: no torso slider).
    void ShowFrames(int frames, int torsoFrames);
    void OnTextureSaved(const QString& file);
    void RememberPlace();
    // Where the window opens: where it was left, else beside the main
    // window, in either case inside the screen.
    void PlaceFirst(QWidget* beside);

    WorkspaceSource m_source;
    LayoutView* m_layout = nullptr;
    ModelView* m_view = nullptr;
    QSlider *m_frame = nullptr, *m_torsoFrame = nullptr;
    QLabel *m_frameLabel = nullptr, *m_frameCaption = nullptr, *m_torsoLabel = nullptr,
           *m_torsoCaption = nullptr;
    QCheckBox* m_player = nullptr;
    QCheckBox* m_outline = nullptr;
    QLabel* m_status = nullptr;
    FileWatcher* m_watcher = nullptr;
    QTimer* m_retry = nullptr;
    QTimer* m_remember = nullptr;
    int m_retries = 0;
    QStringList m_unsettled; // saved files that did not decode yet
    // The other parts of a player, with their own skins' textures.
    struct Part {
        std::shared_ptr<const Model> model;
        std::unique_ptr<ModelTextures> textures;
    };
    std::vector<Part> m_others; // lower, upper, head; the main model's own slot empty
    bool m_shownOnce = false;
    int m_mainPart = 0; // the main model's position among the scene's parts (-1: none)
};
