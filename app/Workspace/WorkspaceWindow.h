#pragma once
// The workspace: the chosen surfaces' layout, large, beside the model in 3D
// wearing its textures. It follows the main window's model, skin, options
// and surface, and the main window follows the surface chosen here. Every
// texture shown is watched: a save from the image editor shows within a
// second, the camera kept. On asking, every other model of the game that
// wears the chosen surface's texture file stands beside the model, found by
// a scan of the game on a thread of its own.
#include "app/OptionsDialog/ModelTextures.h"
#include "app/OptionsDialog/TemplateOptions.h"
#include "bake/Bake.h"
#include "flatten/PadLayout.h"
#include "scene/Animations.h"
#include "scene/Scene.h"

#include <QElapsedTimer>
#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class FileWatcher;
class LayoutView;
class ModelView;
class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QThreadPool;
class QTimer;
struct WearerScan;

// What the workspace shows, as the main window has it.
struct WorkspaceSource {
    std::function<ModelTextures&()> textures;
    std::function<const TemplateOptions&()> options;
    std::function<int()> selected;
    std::function<void(int)> select; // chooses a surface in the main window
    // Chooses a skin in the main window (every part of a player wears the
    // one of its name); unset: the workspace offers no choice.
    std::function<void(int)> chooseSkin = {};
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
    QCheckBox* wearersSwitch() const { return m_wearers; }
    QCheckBox* padSwitch() const { return m_pad; }
    QCheckBox* marginsSwitch() const { return m_margins; }
    QComboBox* bakeSwitch() const { return m_bakeView; }
    // The skin every part wears: default, red, blue, any the model has.
    QComboBox* skinSwitch() const { return m_skin; }
    // The named animations the legs' and the torso's frames play (one list
    // for a model alone; entry 0 is the frames as the sliders set them),
    // and whether their clocks run.
    QComboBox* legsAnimations() const { return m_legsAnimation; }
    QComboBox* torsoAnimations() const { return m_torsoAnimation; }
    bool playing() const;
    // Chooses the animation of that name in whichever list holds it, at its
    // start; false when neither does.
    bool ChooseAnimation(const QString& name);
    void SetPlaying(bool play);
    // Pauses, and shows each animation's next frame whole.
    void StepAnimations();
    // The baked layer the 3D view shows on the chosen texture's surfaces in
    // place of their paint (none: the paint), and the picture it shows now
    // (null until the first pass is baked).
    std::optional<BakeLayer> bakeShown() const;
    std::shared_ptr<const TextureImage> bakePicture() const { return m_bakePicture; }
    // Bakes asked and not yet shown (the refining pass counts until done).
    bool baking() const { return m_bakesAsked != m_bakesShown; }
    // Pads of saved textures asked and not yet written (or refused).
    int padsPending() const { return m_padsAsked - m_padsDone; }
    // Where the chosen surface's texture is padded into on save (empty: not chosen).
    QString padOutput();
    QString statusText() const;
    // Whether the player's three parts are shown joined.
    bool showsPlayer() const;
    // Pictures asked of the decoding threads and not yet arrived.
    int pendingPictures() const { return int(m_pending.size()); }
    // The other models wearing the chosen texture: those shown beside the
    // model (a player joined is one), how many wear it in all, and whether
    // the game is still being looked through.
    QStringList wearersShown() const;
    int wearersFound() const { return m_wearerTotal; }
    bool lookingForWearers() const { return m_wearerAsked != m_wearerAnswered; }
    // The largest side of a picture the 3D view is given: what the screen
    // can show of a surface (and at most what its OpenGL takes).
    int ViewPictureSide() const;

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
    // Shows beside the model every other model of its game that wears the
    // chosen surface's texture file.
    void SetShowWearers(bool show);
    // Writes the chosen surface's texture padded (see PadWithLayout) into an
    // output of its own each time it is saved; the output is asked once per
    // texture.
    void SetPadOnSave(bool on);
    // Lays the bleed check's marks (thin margins, unsampled paint) over the
    // texture under the layout.
    void SetShowMargins(bool show);
    // Shows a baked layer of the chosen texture on the model (none: the
    // paint): a quick pass first, then the full one.
    void SetBakeShown(std::optional<BakeLayer> layer);

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
    // The picture of `file` at most maxSide a side (0: as it is) from the
    // cache, or null and asked of a decoding thread; OnPicture follows.
    std::shared_ptr<const TextureImage> PictureFor(const std::shared_ptr<GameTextureSource>& source,
                                                   const std::string& file, int maxSide);
    void OnPicture(const std::string& file, int maxSide, int generation,
                   std::shared_ptr<const TextureImage> picture);
    // The 3D view's pictures as the cache now has them; the picture a
    // surface showed stays until its new one arrives.
    std::vector<std::vector<std::shared_ptr<const TextureImage>>> ViewPictures();
    // The join's problem and a save's, as far as there are any, and the
    // models wearing the texture.
    void ShowStatus();
    // Asks the scan for the models wearing the chosen surface's texture
    // when what it would answer changed (or `again`: the game's files did).
    void FindWearers(bool again);
    struct Wearers;
    void OnWearers(int asked, std::shared_ptr<Wearers> found);

    // The chosen surface's texture file, absolute (empty: none).
    QString ChosenTextureFile();
    // The surfaces wearing the chosen surface's texture, as the workspace
    // shows the model (its player's parts when joined); the models they
    // belong to are kept alive with them.
    struct ChosenLayout {
        std::vector<std::shared_ptr<const Model>> models;
        PadLayout layout;
    };
    std::shared_ptr<const ChosenLayout> LayoutOfChosen(QString& problem);
    // Pads `file` (a save of the chosen texture) on the padding thread.
    void PadSaved(const QString& file, int tries);
    void OnPadded(int asked, const QString& file, int tries, bool unreadable,
                  const QString& message);
    // The bleed marks of the layout's texture, from the checking thread.
    void CheckMargins();
    void OnMargins(int asked, std::shared_ptr<const TextureImage> layer, const QString& message);

    // The bake view (BakeView.cpp).
    static QString BakeTitle(BakeLayer layer);
    // Bakes the shown layer for the chosen texture; unless `again`, not
    // when that bake is shown or under way already.
    void BakeChosen(bool again);
    void OnBaked(int asked, bool last, std::vector<const Surface*> records,
                 std::shared_ptr<const TextureImage> picture, const QString& message);
    // The pictures with the bake in place of the paint of the surfaces it
    // was baked for.
    std::vector<std::vector<std::shared_ptr<const TextureImage>>>
    WithBake(std::vector<std::vector<std::shared_ptr<const TextureImage>>> pictures,
             const std::vector<ScenePart>& parts) const;
    QComboBox* m_bakeView = nullptr;
    QComboBox* m_skin = nullptr;
    void ShowSkins(); // the skin list follows the main window's
    // The animations on offer in each list (after its entry 0), each list's
    // time into its animation, and the clock that moves them.
    QComboBox *m_legsAnimation = nullptr, *m_torsoAnimation = nullptr;
    class QPushButton* m_play = nullptr;
    class QPushButton* m_step = nullptr;
    std::vector<Animation> m_legsChoices, m_torsoChoices;
    double m_legsTime = 0, m_torsoTime = 0;
    // Where each animation is between its frames, while the slider shows
    // its frame (moved by hand, the slider's frame alone).
    PartFrame m_legsAt, m_torsoAt;
    bool m_legsBlending = false, m_torsoBlending = false;
    PartFrame LegsFrame() const;
    PartFrame TorsoFrame() const;
    class QTimer* m_clock = nullptr;
    QElapsedTimer m_tick;
    // The model the lists were made for (a model freed and another read at
    // its address is another model).
    std::weak_ptr<const Model> m_animationsOf;
    bool m_animationsJoined = false;
    // The lists for the model shown: legsFrames and torsoFrames are the
    // frames of the models each moves (torsoFrames 0: one list).
    void FillAnimations(const std::shared_ptr<const Model>& model, int legsFrames, int torsoFrames);
    void ShowAnimationFrames(); // the sliders to the animations' frames now
    void AnimationChosen(bool torso);
    QThreadPool* m_baker = nullptr; // one bake at a time; a newer one cancels it
    std::shared_ptr<std::atomic<bool>> m_bakeCancel;
    int m_bakesAsked = 0, m_bakesShown = 0;
    std::vector<const Surface*> m_bakeRecords;  // what the picture shown was baked for
    std::vector<const Surface*> m_bakeAskedFor; // what the last bake asked was for
    std::optional<BakeLayer> m_bakeLayerAsked;
    std::shared_ptr<const TextureImage> m_bakePicture;
    QString m_bakeMessage;
    size_t m_mainParts = 0; // the scene's parts that are the model, before other wearers

    QCheckBox* m_pad = nullptr;
    QThreadPool* m_padder = nullptr;         // one pad at a time, in the order saved
    std::map<QString, QString> m_padOutputs; // painted file -> output, for the session
    QString m_padMessage;
    int m_padsAsked = 0, m_padsDone = 0;
    QCheckBox* m_margins = nullptr;
    QString m_marginMessage;
    int m_marginsAsked = 0;
    std::shared_ptr<const TextureImage> m_marginLayer;

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
    QStringList m_unsettled;       // saved files that did not decode yet
    std::set<std::string> m_saved; // saved since they were last decoded
    QThreadPool* m_decoder = nullptr;
    std::set<std::pair<std::string, int>> m_pending; // (file, side) being decoded
    std::map<std::string, int> m_generation;         // a file's saves seen: older decodes are stale
    // Per part per surface: the file it wears and the texture source it comes from.
    struct Worn {
        std::string file;
        std::shared_ptr<GameTextureSource> source;
    };
    std::vector<std::vector<Worn>> m_worn;
    // The picture each file last showed in the 3D view.
    std::map<std::string, std::shared_ptr<const TextureImage>> m_shown;
    // The layout's underlay, and the file it is from.
    std::vector<std::shared_ptr<const Model>> m_layoutModels; // other wearers drawn in the layout
    std::string m_layoutFile;
    std::shared_ptr<const TextureImage> m_layoutPicture;
    QString m_joinProblem, m_saveProblem;
    // The other parts of a player, with their own skins' textures.
    struct Part {
        std::shared_ptr<const Model> model;
        std::unique_ptr<ModelTextures> textures;
    };
    std::vector<Part> m_others; // lower, upper, head; the main model's own slot empty
    bool m_shownOnce = false;
    std::array<std::string, 3> m_partProblems; // why a part there is not a model
    int m_mainPart = 0; // the main model's position among the scene's parts (-1: none)

    QCheckBox* m_wearers = nullptr;
    QThreadPool* m_scanner = nullptr;
    // One model (or a player's parts) wearing the texture, read for showing:
    // per part its model and per surface the file it wears through the
    // skin that wears the texture.
    struct WearerPart {
        std::shared_ptr<const Model> model;
        std::string gamePath;
        std::vector<std::string> files;
    };
    struct Wearer {
        std::string name;              // the model's game path, or the player's folder
        std::vector<WearerPart> parts; // one, or lower, upper, head (null where missing)
        int wearing = 0;               // the part that wears the texture
    };
    // What a scan answered: the game's scan (kept for the next texture
    // asked), the source its files were found through, and the wearers.
    struct Wearers {
        std::shared_ptr<const WearerScan> scan;
        std::shared_ptr<GameTextureSource> source;
        std::vector<Wearer> shown;
        int total = 0;
        std::string texture; // as the status names it
        std::shared_ptr<const GameFiles> files;
    };
    // On the scan's thread: the wearers of `wanted` other than the model
    // (`own`, its player when joined), the first few read for showing.
    static void ReadWearers(Wearers& found, const SurfaceTexture& wanted, const std::string& own,
                            bool join, const std::atomic<bool>& stop);
    // The wearers' scene groups, each a model alone or a player joined, and
    // per part per surface the file it wears.
    void AddWearers(std::vector<std::vector<ScenePart>>& groups,
                    std::vector<std::vector<Worn>>& worn);
    std::shared_ptr<Wearers> m_found; // null: none shown
    // The last scan of a game, kept for another texture of the same game.
    std::shared_ptr<const GameFiles> m_scannedFiles;
    std::shared_ptr<const WearerScan> m_scan;
    std::shared_ptr<GameTextureSource> m_scanSource;
    std::string m_wearerQuestion; // what was last asked
    int m_wearerAsked = 0, m_wearerAnswered = 0;
    int m_wearerTotal = 0;
    std::shared_ptr<std::atomic<bool>> m_wearerStop; // the scan under way gives up
};
