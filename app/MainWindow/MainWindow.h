#pragma once
// The main window: surface list, texture name, preview and the four buttons,
// painted from the skin and cut to its outline.
#include "app/MainWindow/PreviewRenderer.h"
#include "app/OptionsDialog/TemplateOptions.h"
#include "platform/Desktop.h"
#include "platform/LaidOutDialog.h"

#include <memory>
#include <string>

#include <QIcon>
#include <QImage>
#include <QRegion>
#include <QStringList>

class QListWidget;

// The row selected in a list, or -1 for none.
int SelectedRow(const QListWidget* list);
// The open dialog's model types, from the formats the readers take: every
// model first, then each format by its own name, in the language installed.
QStringList ModelOpenFilters();

class MainWindow : public LaidOutDialog {
    Q_OBJECT

  public:
    // startModel: a model to load once the window is up (empty: none).
    explicit MainWindow(QWidget* parent = nullptr, const std::string& startModel = {});

  public slots:
    // What the user can do, public so that tests can do it the same way.
    void OnLoadMd3();
    // A game folder: one of its models is chosen, and the game is searched for
    // the models, skins and textures opened after.
    void OnOpenGameFolder();
    void OnFlatten();
    void OnAbout();
    void OnTemplateOptions();
    void OnChooseSkin(int index);
    // Writes a skin the model holds as a picture, asking where: the one
    // chosen when the model holds it, else its first.
    void OnSaveModelSkin();
    // Every texture of the model's player (or of the model alone), on one sheet.
    void OnSavePlayerSheet();
    // The chosen skin's new and changed files in a .pk3, asking where; its
    // problems shown instead when it has any.
    void OnPackSkin();
    // The skin of the model's own that would be saved; -1 when it holds none.
    int ModelSkinToSave() const;
    // Speaks the language ("en", "fr") from now on, and remembers it.
    void OnChooseLanguage(const QString& language);
    // The SKIN box: the texture the surface wears.
    void ShowSurfaceTexture(int selected);
    void OnSetFocus();
    void DrawSurfacePreview();
    void LoadModel(const std::string& path);
    // A model file, or an archive to choose one of its models from.
    void OpenFile(std::string path);
    void PaintSkin(QPainter& dc);
    // The workspace beside this window (made when first asked for).
    void OpenWorkspace();
    // The right-click menu, at a point of the screen; the menu key and
    // Shift+F10 open it too.
    void ShowContextMenu(QPoint globalPos);
    // Chooses a surface as a click on its line does.
    void SelectSurface(int index);
    // "Worn by…": every model, surface and skin of the game wearing the
    // chosen surface's texture file.
    void OnWornBy();

    // A file came, went or was replaced where the model's lookup searches:
    // the skins and textures are found anew, as a new model's are, with the
    // skin and surface chosen kept.
    void FollowGameFiles();

  public:
    QListWidget* surfaceList() const { return m_surfaceList; }
    class FileWatcher* gameWatcher() const {
        return m_gameWatcher;
    }
    QListWidget* textureList() const { return m_textureList; }
    QWidget* previewFrame() const { return m_previewFrame; }
    // The preview as the window paints it over the skin, once the drawing in
    // progress is done; null when none.
    const QImage& previewLayer() const;
    const QRegion& windowOutline() const { return m_windowRegion; }
    // The status line under the surface list: warnings stay while they hold,
    // confirmations fade after a few seconds.
    QString statusText() const;
    void ShowStatus(const QString& text, bool transient, int milliseconds = 4000);
    // The game's shader scripts were read: the textures shown again, and the
    // game's problems said.
    void OnScriptsRead();
    // Clears a warning; a confirmation stays for its few seconds.
    void ClearWarning();
    // The entries of the right-click menu that the window system's menu
    // would hold.
    QStringList systemMenuEntries() const;
    // Closing the window: the selection goes with it.
    void reject() override;

  signals:
    // The game's models were looked through for who wears what.
    void gameScanned();

  protected:
    void Setup() override;

    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  public:
    const TemplateOptions& templateOptions() const { return m_options; }
    // The model on screen (null when none) and the surface chosen (-1: none).
    const std::shared_ptr<const Model>& model() const { return m_textures.model(); }
    int selectedSurface() const { return m_selected; }
    ModelTextures& textures() { return m_textures; }
    const QString& texturePath() const { return m_texturePath; }
    class WorkspaceWindow* workspace() const {
        return m_workspace;
    }
    // Loads a model as a drop does: the path of a dropped .md3 file.
    void OnDropFile(const QString& path);

  private:
    // A model among the files of a game or an archive; empty when none was chosen.
    QString ChooseModel(const std::vector<GameFile>& files);
    void ReadModel(const std::string& path);
    void AppendSurfaceName(const std::string& name);
    void ShowLoadFailure(const std::string& reason);
    // The folders whose change could change what the model's textures and
    // skins are found as; watched while the model is shown.
    QStringList LookupFolders() const;
    void WatchLookupFolders();

    QWidget* m_previewFrame = nullptr;
    class QLabel* m_status = nullptr;
    class QTimer* m_statusTimer = nullptr;
    bool m_statusTransient = false;
    QListWidget* m_textureList = nullptr;
    QListWidget* m_surfaceList = nullptr;
    QIcon m_icon;
    QRegion m_windowRegion;
    QImage m_previewLayer;
    std::unique_ptr<PreviewRenderer> m_renderer;
    class WorkspaceWindow* m_workspace = nullptr;
    TemplateOptions m_options;
    ModelTextures m_textures;
    int m_selected = -1;
    bool m_regionPending = true; // until the first paint has built the outline
    std::string m_startModel;
    QString m_draggedModel; // the model a drag over the window carries
    QString m_texturePath;
    class FileWatcher* m_gameWatcher = nullptr;
    // How the model on screen was opened, to find its files anew.
    std::string m_location, m_gamePath;
    std::vector<std::string> m_locationGames;
    std::vector<std::string>
        m_games; // the game folder opened last, if any  // in full, as the SKIN box's copy gives it
};
