#include "app/Workspace/WorkspaceWindow.h"

#include "app/Workspace/LayoutView.h"
#include "app/Workspace/ModelView.h"
#include "flatten/Wearers.h"
#include "game/GameTextures.h"
#include "game/ModelGame.h"
#include "game/OpenModel.h"
#include "model/Md3Reader.h"
#include "platform/Desktop.h"
#include "platform/FileWatcher.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>

namespace {

// What a surface's picture in the 3D view is scaled down to at most: more
// than a surface ever covers on a screen.
constexpr int kViewPictureSide = 2048;

// Which player part the model is (PlayerPartOf), or -1: only Quake III's
// players come in joined parts, so a model of another format named
// "upper.mdl" is a model by itself.
int PlayerPartOfModel(const Model* model) {
    return model && model->format == "MD3" ? PlayerPartOf(model->path) : -1;
}

// How many other models wearing a texture stand beside the model, and the
// triangles they may bring: past either the rest are counted, not shown.
// A software renderer draws that many at the screen's pace, the largest
// turning coarse while the camera moves.
constexpr size_t kMaxWearersShown = 16;
constexpr size_t kMaxWearerTriangles = 2'000'000;

// A game path as compared: lower case, forward slashes.
std::string PathKey(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return path;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsMd3Path(const std::string& key) {
    return key.size() > 4 && key.compare(key.size() - 4, 4, ".md3") == 0;
}

size_t TrianglesOf(const Model& model) {
    size_t n = 0;
    for (const Surface& s : model.surfaces)
        n += s.triangles.size();
    return n;
}

// The file each surface of a model wears for showing beside the main one,
// through the skin of that name (the default one where it has none of that
// name; "" names none: the surfaces' own textures).
std::vector<std::string> Dress(GameTextureSource& source, const std::string& gamePath,
                               const Model& model, const std::string& skinName) {
    const std::vector<Skin> skins = GameSkins(source.files(), gamePath, &model);
    const Skin* skin = nullptr;
    if (!skinName.empty())
        for (const std::string& name : {skinName, std::string("default")})
            for (const Skin& s : skins)
                if (!skin && s.name == name && s.problem.empty())
                    skin = &s;
    std::vector<std::string> files;
    files.reserve(model.surfaces.size());
    for (const Surface& surface : model.surfaces)
        files.push_back(source.Locate(model, surface, skin).file);
    return files;
}

} // namespace

WorkspaceWindow::WorkspaceWindow(WorkspaceSource source, QWidget* parent)
    : QWidget(parent, Qt::Window), m_source(std::move(source)) {
    setObjectName("workspace");
    setWindowTitle(tr("Workspace — Gridwright"));
    m_layout = new LayoutView(this);
    m_layout->setObjectName("layoutView");
    m_view = new ModelView(this);
    m_view->setObjectName("modelView");
    m_frame = new QSlider(Qt::Horizontal, this);
    m_frame->setObjectName("frame");
    m_frameLabel = new QLabel(this);
    m_frameCaption = new QLabel(tr("Frame"), this);
    // A player's legs and torso play their animations apart: a slider each.
    m_torsoFrame = new QSlider(Qt::Horizontal, this);
    m_torsoFrame->setObjectName("torsoFrame");
    m_torsoLabel = new QLabel(this);
    m_torsoCaption = new QLabel(tr("Torso"), this);
    // Each list's animation plays its frames on its own clock.
    m_legsAnimation = new QComboBox(this);
    m_legsAnimation->setObjectName("legsAnimation");
    m_legsAnimation->setToolTip(tr("The animation these frames play, at the file's speed"));
    m_torsoAnimation = new QComboBox(this);
    m_torsoAnimation->setObjectName("torsoAnimation");
    m_torsoAnimation->setToolTip(m_legsAnimation->toolTip());
    for (QComboBox* box : {m_legsAnimation, m_torsoAnimation}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(8);
        box->hide();
    }
    m_play = new QPushButton(tr("Play"), this);
    m_play->setObjectName("play");
    m_play->setCheckable(true);
    m_play->hide();
    m_step = new QPushButton(tr("Step"), this);
    m_step->setObjectName("step");
    m_step->setToolTip(tr("Pause, and show the next frame of each animation"));
    m_step->hide();
    m_clock = new QTimer(this);
    m_clock->setInterval(16); // each step of the game's clocks as soon as it is due
    m_player = new QCheckBox(tr("Join the player's parts"), this);
    m_player->setObjectName("joinPlayer");
    m_player->setChecked(GridwrightSettings().value("workspace/joinPlayer", false).toBool());
    // The chosen surface's outline in the 3D view; O turns it off and on.
    m_outline = new QCheckBox(tr("Outline the chosen surface (O)"), this);
    m_outline->setObjectName("outline");
    m_outline->setChecked(GridwrightSettings().value("workspace/outline", true).toBool());
    m_view->SetOutlineShown(m_outline->isChecked());
    m_wearers = new QCheckBox(tr("Every model wearing this texture"), this);
    m_wearers->setObjectName("wearers");
    m_wearers->setToolTip(tr("Shows beside the model every other model of its game that wears "
                             "the chosen surface's texture file, through any of its skins"));
    m_wearers->setChecked(GridwrightSettings().value("workspace/wearers", false).toBool());
    m_pad = new QCheckBox(tr("Pad on save"), this);
    m_pad->setObjectName("padOnSave");
    m_pad->setToolTip(tr("Each time the chosen surface's texture is saved, writes it padded "
                         "(its islands' colours carried into the gutters) into a file of its own"));
    m_margins = new QCheckBox(tr("Show thin margins"), this);
    m_margins->setObjectName("thinMargins");
    m_margins->setToolTip(tr("Marks on the layout's texture the island borders painted thinner "
                             "than the padding band, and paint no face samples"));
    // The model wearing a baked layer of the chosen texture, to judge the bake.
    m_bakeView = new QComboBox(this);
    m_bakeView->setObjectName("bakeView");
    m_bakeView->addItem(tr("The paint"));
    for (const BakeLayerInfo& info : BakeLayers())
        m_bakeView->addItem(BakeTitle(info.layer));
    m_bakeView->setToolTip(tr("Shows on the model, in place of the chosen texture's paint, a "
                              "layer baked from the model's own faces"));
    // The team skins (and any other the model has) for every part at once.
    m_skin = new QComboBox(this);
    m_skin->setObjectName("skin");
    m_skin->setToolTip(tr("The skin the model wears; a player's every part wears the one of "
                          "that name"));
    m_skin->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_skin->setMinimumContentsLength(6);
    m_status = new QLabel(this);
    m_status->setObjectName("status");
    m_status->setTextFormat(Qt::PlainText); // names from the game are shown as they are

    auto* right = new QWidget(this);
    auto* column = new QVBoxLayout(right);
    column->setContentsMargins(0, 0, 0, 0);
    // Tight rows: with the animation lists the column still fits a small
    // screen at twice the scale.
    column->setSpacing(3);
    column->addWidget(m_view, 1);
    auto* bar = new QHBoxLayout;
    bar->addWidget(m_play);
    bar->addWidget(m_step);
    bar->addWidget(m_frameCaption);
    bar->addWidget(m_legsAnimation);
    bar->addWidget(m_frame, 1);
    bar->addWidget(m_frameLabel);
    column->addLayout(bar);
    // The torso's own row: beside the legs' it would push a joined player's
    // window past a small screen at twice the scale.
    auto* torsoBar = new QHBoxLayout;
    torsoBar->addWidget(m_torsoCaption);
    torsoBar->addWidget(m_torsoAnimation);
    torsoBar->addWidget(m_torsoFrame, 1);
    torsoBar->addWidget(m_torsoLabel);
    column->addLayout(torsoBar);
    // The switches one under the other, so that a small screen holds the window.
    // The player's switch and the skin its parts wear, side by side.
    auto* playerRow = new QHBoxLayout;
    playerRow->addWidget(m_player);
    playerRow->addStretch(1);
    auto* skinCaption = new QLabel(tr("Skin:"), this);
    skinCaption->setBuddy(m_skin);
    playerRow->addWidget(skinCaption);
    playerRow->addWidget(m_skin);
    column->addLayout(playerRow);
    column->addWidget(m_outline);
    column->addWidget(m_wearers);
    // Padding and its check side by side, the bake view under them: the
    // window still fits a small screen at twice the scale.
    auto* finishing = new QHBoxLayout;
    finishing->addWidget(m_pad);
    finishing->addWidget(m_margins);
    finishing->addStretch(1);
    column->addLayout(finishing);
    auto* bakeRow = new QHBoxLayout;
    auto* bakeCaption = new QLabel(tr("Show on the model:"), this);
    bakeCaption->setBuddy(m_bakeView);
    bakeRow->addWidget(bakeCaption);
    bakeRow->addWidget(m_bakeView, 1);
    column->addLayout(bakeRow);
    auto* split = new QSplitter(this);
    split->addWidget(m_layout);
    split->addWidget(right);
    auto* whole = new QVBoxLayout(this);
    whole->addWidget(split, 1);
    whole->addWidget(m_status);

    m_watcher = new FileWatcher(this);
    // Pictures are decoded here, never on the interface thread.
    m_decoder = new QThreadPool(this);
    m_decoder->setMaxThreadCount(2);
    // A game's hundreds of models are looked through here, one scan at a time.
    m_scanner = new QThreadPool(this);
    m_scanner->setMaxThreadCount(1);
    // Pads and bleed checks, one at a time so that saves are written in order.
    m_padder = new QThreadPool(this);
    m_padder->setMaxThreadCount(1);
    // A bake casts its rays on every core itself; one at a time here.
    m_baker = new QThreadPool(this);
    m_baker->setMaxThreadCount(1);
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    m_remember = new QTimer(this);
    m_remember->setSingleShot(true);
    connect(m_remember, &QTimer::timeout, this, &WorkspaceWindow::RememberPlace);
    connect(m_watcher, &FileWatcher::changed, this, [this](const QString& file) {
        OnTextureSaved(file);
        PadSaved(file, 0);
    });
    connect(m_pad, &QCheckBox::toggled, this, &WorkspaceWindow::SetPadOnSave);
    connect(m_margins, &QCheckBox::toggled, this, &WorkspaceWindow::SetShowMargins);
    connect(m_bakeView, &QComboBox::currentIndexChanged, this,
            [this] { SetBakeShown(bakeShown()); });
    connect(m_retry, &QTimer::timeout, this, [this] {
        const QStringList files = m_unsettled;
        m_unsettled.clear();
        for (const QString& f : files)
            OnTextureSaved(f);
    });
    // Moved by hand, a slider shows its frame alone.
    connect(m_frame, &QSlider::valueChanged, this, [this] {
        m_legsBlending = false;
        BuildScene(false);
    });
    connect(m_torsoFrame, &QSlider::valueChanged, this, [this] {
        m_torsoBlending = false;
        BuildScene(false);
    });
    connect(m_legsAnimation, &QComboBox::currentIndexChanged, this,
            [this] { AnimationChosen(false); });
    connect(m_torsoAnimation, &QComboBox::currentIndexChanged, this,
            [this] { AnimationChosen(true); });
    connect(m_play, &QPushButton::toggled, this, &WorkspaceWindow::SetPlaying);
    connect(m_step, &QPushButton::clicked, this, &WorkspaceWindow::StepAnimations);
    connect(m_skin, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_source.chooseSkin && index >= 0)
            m_source.chooseSkin(index); // the main window tells every window, this one too
    });
    connect(m_clock, &QTimer::timeout, this, [this] {
        const double seconds = double(m_tick.restart()) / 1000;
        m_legsTime += seconds;
        m_torsoTime += seconds;
        ShowAnimationFrames();
    });
    connect(m_outline, &QCheckBox::toggled, this, [this](bool on) {
        GridwrightSettings().setValue("workspace/outline", on);
        m_view->SetOutlineShown(on);
    });
    connect(m_player, &QCheckBox::toggled, this, [this](bool on) {
        GridwrightSettings().setValue("workspace/joinPlayer", on);
        SetJoinPlayer(on);
    });
    connect(m_wearers, &QCheckBox::toggled, this, [this](bool on) {
        GridwrightSettings().setValue("workspace/wearers", on);
        SetShowWearers(on);
    });
    connect(m_layout, &LayoutView::surfaceClicked, this, [this](int surface, int triangle) {
        m_source.select(surface);
        m_layout->SetHighlight(surface, triangle);
    });
    connect(m_view, &ModelView::faceClicked, this, [this](int part, int surface, int triangle) {
        if (part != m_mainPart)
            return; // another part of the player: a model of its own
        m_source.select(surface);
        m_layout->SetHighlight(surface, triangle);
    });

    PlaceFirst(parent);
    OnModelChanged();
}

WorkspaceWindow::~WorkspaceWindow() {
    // Decodes not begun are dropped; those under way finish into the cache
    // and find no window to answer.
    m_decoder->clear();
    m_decoder->waitForDone();
    // A scan under way stops at its next model read for showing.
    if (m_wearerStop)
        *m_wearerStop = true;
    m_scanner->clear();
    m_scanner->waitForDone();
    // A pad under way is written whole; those not begun are dropped.
    m_padder->clear();
    m_padder->waitForDone();
    // A bake under way stops at its next chunk of texels.
    if (m_bakeCancel)
        *m_bakeCancel = true;
    m_baker->clear();
    m_baker->waitForDone();
}

int WorkspaceWindow::ViewPictureSide() const {
    const int gl = m_view->maxTextureSide();
    return gl > 0 ? std::min(gl, kViewPictureSide) : kViewPictureSide;
}

std::shared_ptr<const TextureImage>
WorkspaceWindow::PictureFor(const std::shared_ptr<GameTextureSource>& source,
                            const std::string& file, int maxSide) {
    if (file.empty() || !source)
        return nullptr;
    bool failed = false;
    if (std::shared_ptr<const TextureImage> kept = source->cache()->Peek(file, maxSide, &failed))
        return kept;
    if (failed || !m_pending.insert({file, maxSide}).second)
        return nullptr;
    QPointer<WorkspaceWindow> self(this);
    const int generation = m_generation[file];
    m_decoder->start([self, source, file, maxSide, generation] {
        std::string problem;
        std::shared_ptr<const TextureImage> picture = source->Picture(file, maxSide, problem);
        QMetaObject::invokeMethod(
            qApp,
            [self, file, maxSide, generation, picture] {
                if (self)
                    self->OnPicture(file, maxSide, generation, picture);
            },
            Qt::QueuedConnection);
    });
    return nullptr;
}

void WorkspaceWindow::OnPicture(const std::string& file, int maxSide, int generation,
                                std::shared_ptr<const TextureImage> picture) {
    if (generation != m_generation[file])
        return; // read before the file was saved again: its new decode follows
    m_pending.erase({file, maxSide});
    if (!picture) {
        // A picture half written does not decode: it is tried again until it
        // settles, and said only if it never does.
        if (!m_saved.count(file))
            return;
        const QString name = QFile::decodeName(QByteArray::fromStdString(file));
        if (++m_retries <= 20) {
            if (!m_unsettled.contains(name))
                m_unsettled << name;
            m_retry->start(250);
            return;
        }
        m_saved.erase(file);
        m_retries = 0;
        m_saveProblem = tr("%1 does not read as a picture; it is shown again once it does.")
                            .arg(QFileInfo(name).fileName());
        ShowStatus();
        return;
    }
    if (m_saved.erase(file)) {
        m_retries = 0;
        m_saveProblem.clear();
        ShowStatus();
    }
    if (maxSide == 0) {
        if (file == m_layoutFile) {
            m_layoutPicture = picture;
            ShowLayout();
        }
        return;
    }
    m_shown[file] = std::move(picture);
    m_view->SetPictures(WithBake(ViewPictures(), m_view->parts()));
}

std::vector<std::vector<std::shared_ptr<const TextureImage>>> WorkspaceWindow::ViewPictures() {
    const int side = ViewPictureSide();
    std::vector<std::vector<std::shared_ptr<const TextureImage>>> pictures(m_worn.size());
    std::map<std::string, std::shared_ptr<const TextureImage>> shown;
    for (size_t p = 0; p < m_worn.size(); ++p)
        for (const Worn& worn : m_worn[p]) {
            std::shared_ptr<const TextureImage> picture = PictureFor(worn.source, worn.file, side);
            if (!picture) { // the picture it showed, until its new one arrives
                const auto before = m_shown.find(worn.file);
                if (before != m_shown.end())
                    picture = before->second;
            }
            if (picture)
                shown[worn.file] = picture;
            pictures[p].push_back(std::move(picture));
        }
    m_shown = std::move(shown);
    return pictures;
}

void WorkspaceWindow::ShowStatus() {
    QStringList parts;
    if (!m_joinProblem.isEmpty())
        parts << tr("The player's parts are not all shown: %1").arg(m_joinProblem);
    if (!m_saveProblem.isEmpty())
        parts << m_saveProblem;
    if (!m_padMessage.isEmpty())
        parts << m_padMessage;
    if (m_margins->isChecked() && !m_marginMessage.isEmpty())
        parts << m_marginMessage;
    if (bakeShown() && !m_bakeMessage.isEmpty())
        parts << m_bakeMessage;
    QString tip;
    if (m_wearers->isChecked() && m_source.textures().model() && m_source.selected() < 0) {
        parts << tr("Choose a surface: the models wearing its texture stand beside this one.");
    } else if (lookingForWearers()) {
        parts << tr("Looking through the game for the models wearing this texture…");
    } else if (m_found) {
        const QString texture = QFileInfo(QString::fromStdString(m_found->texture)).fileName();
        const QStringList names = wearersShown();
        if (m_found->total == 0) {
            parts << tr("No other model of the game wears %1.").arg(texture);
        } else {
            // A few names here, every one in the tooltip: the line stays one line.
            QStringList first = names.mid(0, 3);
            if (names.size() > 3)
                first << tr("and %1 more").arg(names.size() - 3);
            parts << tr("%1 of %2 other models wearing %3 shown: %4.")
                         .arg(names.size())
                         .arg(m_found->total)
                         .arg(texture, first.join(", "));
            tip = names.join('\n');
        }
    }
    m_status->setText(parts.join(' '));
    m_status->setToolTip(tip);
}

QStringList WorkspaceWindow::wearersShown() const {
    QStringList names;
    if (m_found)
        for (const Wearer& w : m_found->shown)
            names << QString::fromStdString(w.name);
    return names;
}

QString WorkspaceWindow::statusText() const {
    return m_status->text();
}

bool WorkspaceWindow::showsPlayer() const {
    return m_player->isChecked() && m_player->isEnabled();
}

void WorkspaceWindow::OnModelChanged() {
    m_others.clear();
    // Another model's (or skin's) wearers: asked anew below, the game's scan kept.
    m_found.reset();
    m_wearerQuestion.clear();
    const std::shared_ptr<const Model>& model = m_source.textures().model();
    const int part = PlayerPartOfModel(model.get());
    m_player->setEnabled(part >= 0);
    ShowSkins();
    // Another model: its frames from the start, its animations anew,
    // standing. Another skin on the same model keeps what plays.
    if (!model || m_animationsOf.lock() != model) {
        m_animationsOf.reset();
        for (QSlider* slider : {m_frame, m_torsoFrame}) {
            const QSignalBlocker quiet(slider);
            slider->setValue(0);
        }
    }
    m_layout->SetHighlight(-1, -1);
    BuildScene(true);
    ShowLayout();
    FindWearers(false);
    if (m_margins->isChecked())
        CheckMargins();
    if (bakeShown())
        BakeChosen(true);
}

void WorkspaceWindow::OnTexturesChanged() {
    m_others.clear(); // the other parts' skins and textures are found anew too
    // The cache was emptied: decodes under way answer for what was found
    // before, so each file is asked again and their answers are dropped.
    for (const auto& [file, side] : m_pending)
        ++m_generation[file];
    m_pending.clear();
    BuildScene(false);
    ShowLayout();
    FindWearers(true); // other files, perhaps other wearers
    if (m_margins->isChecked())
        CheckMargins();
    if (bakeShown())
        BakeChosen(true);
}

void WorkspaceWindow::OnSelectionChanged() {
    ShowLayout();
    if (m_margins->isChecked())
        CheckMargins();
    if (bakeShown())
        BakeChosen(false);
    m_view->SetSelected(m_mainPart, m_source.selected());
    FindWearers(false);
}

void WorkspaceWindow::SetJoinPlayer(bool join) {
    if (m_player->isChecked() != join)
        m_player->setChecked(join); // comes back here through toggled
    else {
        BuildScene(true);
        FindWearers(false); // a player joined is one wearer
    }
}

void WorkspaceWindow::SetShowWearers(bool show) {
    if (m_wearers->isChecked() != show)
        m_wearers->setChecked(show); // comes back here through toggled
    else
        FindWearers(false);
}

void WorkspaceWindow::BuildScene(bool fit) {
    ModelTextures& textures = m_source.textures();
    const std::shared_ptr<const Model>& model = textures.model();
    std::vector<ScenePart> parts;
    std::string problem;
    m_mainPart = 0;
    const int own = PlayerPartOfModel(model.get());
    if (model && own >= 0 && m_player->isChecked() && textures.files()) {
        // The other parts from the model's game (a pak as well as a folder),
        // each with the skin of the main window's name (default when it has
        // none of that name).
        if (m_others.empty()) {
            m_others.resize(3);
            const std::string skin =
                textures.ChosenSkin() ? textures.ChosenSkin()->name : std::string("default");
            const std::array<PlayerPart, 3> found =
                FindPlayerParts(*textures.files(), textures.modelGamePath());
            for (int i = 0; i < 3; ++i) {
                m_partProblems[size_t(i)] = found[size_t(i)].problem;
                if (i == own || !found[size_t(i)].model)
                    continue;
                m_others[size_t(i)].model = found[size_t(i)].model;
                auto t = std::make_unique<ModelTextures>();
                t->ResetBeside(found[size_t(i)].model, textures, found[size_t(i)].gamePath);
                for (int k = 0; k < int(t->skins().size()); ++k)
                    if (t->skins()[size_t(k)].name == skin)
                        t->ChooseSkin(k);
                m_others[size_t(i)].textures = std::move(t);
            }
        }
        std::shared_ptr<const Model> models[3];
        for (int i = 0; i < 3; ++i)
            models[i] = i == own ? model : m_others[size_t(i)].model;
        ShowFrames(models[0] ? FrameCountOf(*models[0]) : 1,
                   models[1] ? FrameCountOf(*models[1]) : 0);
        FillAnimations(model, models[0] ? FrameCountOf(*models[0]) : 1,
                       models[1] ? FrameCountOf(*models[1]) : 0);
        parts = JoinPlayer(models[0], models[1], models[2], LegsFrame(), TorsoFrame(), &problem,
                           &m_partProblems);
        // The parts come lower, upper, head, as far as they join.
        m_mainPart = own < int(parts.size()) ? own : -1;
    } else {
        ShowFrames(model ? FrameCountOf(*model) : 1, 0);
        FillAnimations(model, model ? FrameCountOf(*model) : 1, 0);
        parts = SingleModel(model, m_frame->value());
        if (!parts.empty()) {
            parts[0].next = LegsFrame().next;
            parts[0].blend = LegsFrame().blend;
        }
    }
    const size_t mainParts = parts.size();
    m_mainParts = mainParts;
    std::vector<std::vector<Worn>> wearersWorn;
    if (m_found && !m_found->shown.empty()) {
        std::vector<std::vector<ScenePart>> groups;
        groups.push_back(std::move(parts));
        AddWearers(groups, wearersWorn);
        // A gap of a fifth of the widest, so that each stands apart.
        float widest = 0;
        for (const std::vector<ScenePart>& g : groups) {
            const Bounds b = BoundsOf(g);
            if (!b.Empty())
                widest = std::max(widest, b.high.y - b.low.y);
        }
        parts = SideBySide(std::move(groups), std::max(8.0f, widest / 5));
    }
    m_worn.assign(parts.size(), {});
    QStringList watched;
    for (size_t p = mainParts; p < parts.size(); ++p) {
        m_worn[p] = std::move(wearersWorn[p - mainParts]);
        for (const Worn& worn : m_worn[p]) {
            const QString file = QString::fromStdString(worn.file);
            if (!file.isEmpty() && QFileInfo(file).isFile())
                watched << QFileInfo(file).absoluteFilePath();
        }
    }
    for (size_t p = 0; p < mainParts; ++p) {
        ModelTextures* t =
            int(p) == m_mainPart || m_others.empty() ? &textures : m_others[p].textures.get();
        for (int s = 0; s < parts[p].model->SurfaceCount(); ++s) {
            const SurfaceTexture found = t ? t->TextureOfSurface(s) : SurfaceTexture{};
            m_worn[p].push_back({found.file, t ? t->source() : nullptr});
            const QString file = QString::fromStdString(found.file);
            if (!file.isEmpty() && QFileInfo(file).isFile())
                watched << QFileInfo(file).absoluteFilePath();
        }
    }
    watched.removeDuplicates();
    m_watcher->Watch(watched);
    std::vector<std::vector<std::shared_ptr<const TextureImage>>> pictures =
        WithBake(ViewPictures(), parts);
    m_view->SetScene(std::move(parts), std::move(pictures), fit);
    m_view->SetSelected(m_mainPart, m_source.selected());
    m_joinProblem = QString::fromStdString(problem);
    ShowStatus();
}

void WorkspaceWindow::ShowSkins() {
    const ModelTextures& textures = m_source.textures();
    const QSignalBlocker quiet(m_skin);
    m_skin->clear();
    for (const Skin& skin : textures.skins())
        m_skin->addItem(QString::fromStdString(skin.name));
    m_skin->setCurrentIndex(textures.chosenSkin());
    m_skin->setEnabled(bool(m_source.chooseSkin) && m_skin->count() > 1);
}

void WorkspaceWindow::ShowFrames(int frames, int torsoFrames) {
    const bool player = torsoFrames > 0;
    m_frameCaption->setText(player ? tr("Legs") : tr("Frame"));
    for (QWidget* w : std::initializer_list<QWidget*>{m_torsoCaption, m_torsoFrame, m_torsoLabel})
        w->setVisible(player);
    if (!player)
        m_torsoAnimation->setVisible(false);
    for (const auto& [slider, count] :
         {std::pair{m_frame, frames}, std::pair{m_torsoFrame, torsoFrames}}) {
        const QSignalBlocker quiet(slider);
        slider->setRange(0, std::max(0, count - 1));
    }
    m_frameLabel->setText(QString::number(m_frame->value()));
    m_torsoLabel->setText(QString::number(m_torsoFrame->value()));
}

void WorkspaceWindow::ShowLayout() {
    ModelTextures& textures = m_source.textures();
    const int selected = m_source.selected();
    const StyledTemplate styled = StyleFor(m_source.options(), textures, selected);
    // The window's own surfaces by their index; another model's (a texture's
    // other wearers) are drawn but not the window's to choose: -1.
    std::vector<int> indices;
    const Model* model = textures.model().get();
    for (const Surface* s : styled.surfaces) {
        int index = -1;
        for (int i = 0; model && i < model->SurfaceCount() && index < 0; ++i)
            if (&model->surfaces[size_t(i)] == s)
                index = i;
        indices.push_back(index);
    }
    m_layoutModels = styled.models; // the other wearers' surfaces live while the layout shows them
    std::shared_ptr<const TextureImage> texture;
    const std::string file = selected >= 0 ? textures.TextureOfSurface(selected).file : "";
    if (!file.empty()) {
        // Shown once decoded; the one it showed stays until a save's arrives.
        texture = PictureFor(textures.source(), file, 0);
        if (!texture && file == m_layoutFile)
            texture = m_layoutPicture;
    }
    if (file != m_layoutFile && m_marginLayer) {
        m_marginLayer.reset(); // another texture's marks
        CheckMargins();
    }
    m_layoutFile = file;
    m_layoutPicture = texture;
    if (texture && m_marginLayer && m_margins->isChecked() &&
        m_marginLayer->width == texture->width && m_marginLayer->height == texture->height)
        texture = std::make_shared<const TextureImage>(OverlayLayer(*texture, *m_marginLayer));
    m_layout->SetLayout(styled.surfaces, indices, styled.style, texture);
}

void WorkspaceWindow::OnTextureSaved(const QString& file) {
    const std::string name = QFile::encodeName(file).toStdString();
    // One cache holds every part's pictures.
    m_source.textures().Forget(name);
    m_saved.insert(name);
    ++m_generation[name];
    for (auto at = m_pending.lower_bound({name, 0}); at != m_pending.end() && at->first == name;)
        at = m_pending.erase(at);
    BuildScene(false);
    ShowLayout();
    if (m_margins->isChecked() && QFileInfo(file).absoluteFilePath() == ChosenTextureFile())
        CheckMargins(); // the marks follow the save
}

void WorkspaceWindow::PlaceFirst(QWidget* beside) {
    const QSize wanted(1100, 620);
    const QByteArray place = GridwrightSettings().value("workspace/geometry").toByteArray();
    if (!place.isEmpty() && restoreGeometry(place)) {
        // Kept from another screen, perhaps larger: what shows of it now.
        PlaceOnScreen(this, geometry());
        return;
    }
    if (!beside) {
        PlaceOnScreen(this, QRect(QPoint(50, 50), wanted));
        return;
    }
    // Beside the main window the first time, narrower where the screen ends,
    // and over it when too little room is left beside it.
    QRect at(beside->frameGeometry().topRight() + QPoint(12, 0), wanted);
    const QRect available = AvailableAround(beside->frameGeometry());
    constexpr int kNarrowest = 560;
    if (at.right() > available.right() && available.right() + 1 - at.left() >= kNarrowest)
        at.setRight(available.right());
    PlaceOnScreen(this, at);
}

void WorkspaceWindow::RememberPlace() {
    QSettings settings = GridwrightSettings();
    settings.setValue("workspace/geometry", saveGeometry());
}

void WorkspaceWindow::closeEvent(QCloseEvent* event) {
    RememberPlace();
    QWidget::closeEvent(event);
}

void WorkspaceWindow::moveEvent(QMoveEvent* event) {
    m_remember->start(300);
    QWidget::moveEvent(event);
}

void WorkspaceWindow::showEvent(QShowEvent* event) {
    // The window system's frame is known once the window exists: it is
    // fitted into the screen too.
    if (!m_shownOnce) {
        m_shownOnce = true;
        PlaceOnScreen(this, geometry());
    }
    QWidget::showEvent(event);
}

void WorkspaceWindow::resizeEvent(QResizeEvent* event) {
    m_remember->start(300);
    QWidget::resizeEvent(event);
}

void WorkspaceWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->key() == Qt::Key_O && event->modifiers() == Qt::NoModifier) {
        m_outline->toggle();
        return;
    }
    QWidget::keyPressEvent(event);
}

void WorkspaceWindow::AddWearers(std::vector<std::vector<ScenePart>>& groups,
                                 std::vector<std::vector<Worn>>& worn) {
    // In the frames the sliders show (as far as each has them): the game's
    // players share their animations' order, so they stand in one pose.
    const int frame = m_frame->value(), torso = m_torsoFrame->value();
    for (const Wearer& w : m_found->shown) {
        std::vector<ScenePart> group;
        if (w.parts.size() == 3) {
            group = JoinPlayer(w.parts[0].model, w.parts[1].model, w.parts[2].model, frame, torso);
            // Without legs nothing joins: the part that wears it stands alone.
            if (group.empty())
                group = SingleModel(w.parts[size_t(w.wearing)].model, frame);
        } else if (!w.parts.empty()) {
            group = SingleModel(w.parts.front().model, frame);
        }
        for (const ScenePart& part : group)
            for (const WearerPart& from : w.parts)
                if (from.model == part.model) {
                    std::vector<Worn> files;
                    for (const std::string& file : from.files)
                        files.push_back({file, m_found->source});
                    worn.push_back(std::move(files));
                    break;
                }
        groups.push_back(std::move(group));
    }
}

void WorkspaceWindow::FindWearers(bool again) {
    ModelTextures& textures = m_source.textures();
    const std::shared_ptr<const Model>& model = textures.model();
    const int selected = m_source.selected();
    if (again) {
        m_scan.reset();
        m_scannedFiles.reset();
        m_wearerQuestion.clear();
    }
    SurfaceTexture wanted;
    if (m_wearers->isChecked() && model && textures.files() && selected >= 0)
        wanted = textures.TextureOfSurface(selected);
    if (TextureKey(wanted.name).empty()) {
        // Nothing to look for: a scan under way is let go.
        const bool shown = m_found != nullptr;
        if (m_wearerStop)
            *m_wearerStop = true;
        m_found.reset();
        m_wearerTotal = 0;
        m_wearerQuestion.clear();
        m_wearerAnswered = ++m_wearerAsked; // whatever answers now is stale
        if (shown)
            BuildScene(true);
        ShowStatus();
        return;
    }
    const bool join = showsPlayer();
    const std::string own = textures.modelGamePath();
    const std::shared_ptr<const GameFiles> files = textures.files();
    const std::string question = TextureIdentity(wanted) + '\n' + wanted.name + '\n' + own + '\n' +
                                 (join ? "joined" : "alone") + '\n' +
                                 std::to_string(reinterpret_cast<uintptr_t>(files.get()));
    if (question == m_wearerQuestion)
        return;
    m_wearerQuestion = question;
    if (m_wearerStop)
        *m_wearerStop = true;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_wearerStop = stop;
    const int asked = ++m_wearerAsked;
    // The game's scan is kept: another texture of it is only looked up.
    std::shared_ptr<const WearerScan> scan = m_scannedFiles == files ? m_scan : nullptr;
    std::shared_ptr<GameTextureSource> source = scan ? m_scanSource : nullptr;
    std::shared_ptr<TextureCache> cache = textures.source()->cache();
    QPointer<WorkspaceWindow> self(this);
    m_scanner->start([self, asked, stop, scan, source, cache, files, wanted, own, join] {
        auto found = std::make_shared<Wearers>();
        found->files = files;
        // Lookups of its own, pictures in the window's one cache.
        found->source = source ? source : std::make_shared<GameTextureSource>(files, cache);
        found->scan = scan;
        if (!found->scan) {
            std::vector<WearingModel> models;
            for (const GameFile& file : ListModels(*files))
                models.push_back({file.gamePath, file, nullptr});
            found->scan = std::make_shared<const WearerScan>(ScanWearers(
                std::move(models), *found->source, SkinChoice{SkinChoice::All, ""}, -1, 2));
        }
        if (!*stop)
            ReadWearers(*found, wanted, own, join, *stop);
        QMetaObject::invokeMethod(
            qApp,
            [self, asked, found] {
                if (self)
                    self->OnWearers(asked, found);
            },
            Qt::QueuedConnection);
    });
    ShowStatus();
}

void WorkspaceWindow::ReadWearers(Wearers& found, const SurfaceTexture& wanted,
                                  const std::string& own, bool join,
                                  const std::atomic<bool>& stop) {
    const WearerScan& scan = *found.scan;
    GameTextureSource& source = *found.source;
    found.texture = wanted.gamePath.empty() ? wanted.name : wanted.gamePath;
    const WornFile* worn = nullptr;
    const std::string key = TextureIdentity(wanted);
    for (const WornFile& t : scan.textures)
        if (t.key == key)
            worn = &t;
    if (!worn)
        worn = FindWornFile(scan, source, wanted.name);
    if (!worn)
        return;
    // A model is one wearer, a player's parts one together, joined; the
    // model itself, and its player when joined, are shown already.
    const std::string ownKey = PathKey(own);
    const bool ownPlayer = join && IsMd3Path(ownKey) && PlayerPartOf(ownKey) >= 0;
    struct Group {
        std::string name;
        size_t model = 0;
        std::string skin;
        bool player = false;
    };
    std::vector<Group> groups;
    std::set<std::string> seen;
    for (const TextureWearer& w : worn->wearers) {
        const std::string& gamePath = scan.models[w.model].gamePath;
        const std::string pathKey = PathKey(gamePath);
        if (pathKey == ownKey)
            continue;
        const bool player = IsMd3Path(pathKey) && PlayerPartOf(pathKey) >= 0;
        const std::string folder = FolderOf(pathKey);
        if (player && ownPlayer && folder == FolderOf(ownKey))
            continue;
        if (!seen.insert(player ? folder : pathKey).second)
            continue;
        std::string name = player ? FolderOf(gamePath) : gamePath;
        if (player && !name.empty())
            name.pop_back();
        groups.push_back(
            {name, w.model, w.skins.empty() ? std::string() : w.skins.front(), player});
    }
    found.total = int(groups.size());
    size_t triangles = 0;
    auto read = [&](const GameFile& file) -> std::shared_ptr<const Model> {
        Result<Model> model = ReadGameModel(source.files(), file);
        return model.ok() ? std::make_shared<const Model>(std::move(model.value())) : nullptr;
    };
    for (const Group& g : groups) {
        if (stop || found.shown.size() >= kMaxWearersShown || triangles >= kMaxWearerTriangles)
            break;
        const WearingModel& wearing = scan.models[g.model];
        Wearer wearer;
        wearer.name = g.name;
        if (g.player) {
            std::array<PlayerPart, 3> parts = FindPlayerParts(source.files(), wearing.gamePath);
            wearer.wearing = PlayerPartOf(wearing.gamePath);
            PlayerPart& self = parts[size_t(wearer.wearing)]; // its own slot is left empty
            self.model = read(wearing.file);
            self.gamePath = wearing.gamePath;
            for (const PlayerPart& part : parts)
                wearer.parts.push_back({part.model, part.gamePath, {}});
        } else {
            wearer.parts.push_back({read(wearing.file), wearing.gamePath, {}});
        }
        if (!wearer.parts[size_t(wearer.wearing)].model)
            continue; // read at the scan, unreadable now: saved meanwhile
        for (WearerPart& part : wearer.parts)
            if (part.model) {
                part.files = Dress(source, part.gamePath, *part.model, g.skin);
                triangles += TrianglesOf(*part.model);
            }
        found.shown.push_back(std::move(wearer));
    }
}

void WorkspaceWindow::OnWearers(int asked, std::shared_ptr<Wearers> found) {
    // The game's scan is kept even when its answer is stale: the next
    // question about the same game need not read it all again.
    if (found->scan && found->files == m_source.textures().files()) {
        m_scannedFiles = found->files;
        m_scan = found->scan;
        m_scanSource = found->source;
    }
    if (asked != m_wearerAsked)
        return; // asked again meanwhile: its answer follows
    m_wearerAnswered = asked;
    m_found = std::move(found);
    m_wearerTotal = m_found->total;
    BuildScene(true);
}
