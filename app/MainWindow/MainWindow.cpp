#include "app/MainWindow/MainWindow.h"
#include "app/MainWindow/WornByDialog.h"
#include "app/Workspace/WorkspaceWindow.h"
#include "game/OpenModel.h"
#include "model/ModelFormats.h"

#include "app/AboutDialog/AboutDialog.h"
#include "app/Language/Language.h"
#include "app/ModelBrowser/ModelBrowser.h"
#include "flatten/SkinPicture.h"

#include "model/Md3Reader.h"
#include "model/Model.h"
#include "model/TextureFinder.h"
#include "platform/FileWatcher.h"
#include "platform/Resources.h"
#include "res/Layouts.h"
#include "res/Palette.h"
#include "res/Texts.h"
#include <QAbstractButton>
#include <algorithm>
#include <filesystem>

#include "app/OptionsDialog/ModelTextures.h"
#include "app/OptionsDialog/OptionsDialog.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <QTimer>

MainWindow::MainWindow(QWidget* parent, const std::string& startModel)
    : LaidOutDialog(MainWindowLayout(), parent), m_startModel(startModel) {
    // Its own top-level window with a task-bar button, no frame of any kind.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAcceptDrops(true);
    m_icon = LoadAppIcon();
    m_renderer = std::make_unique<PreviewRenderer>(this, [this](const QImage& layer) {
        m_previewLayer = layer;
        update();
    });
    // Called on the scan's thread, which may end while the window goes: the
    // window's textures go first and stop listening.
    m_textures.SetGameScanned([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_options.surfaces == SurfaceChoice::GameTexture && m_selected != -1)
                    DrawSurfacePreview();
                emit gameScanned();
            },
            Qt::QueuedConnection);
    });
}

const QImage& MainWindow::previewLayer() const {
    m_renderer->Finish();
    return m_previewLayer;
}

namespace {

// Emptied by the program, not chosen by the user: nobody is told.
void ClearList(QListWidget* list) {
    const QSignalBlocker quiet(list);
    list->clear();
}

} // namespace

int SelectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

namespace {

// The lists sit in the skin's dark wells.
const char* const kListStyle =
    "QListWidget { background: rgb(14, 17, 22); color: rgb(214, 226, 232);"
    "  font: 12px 'DejaVu Sans'; outline: none; }"
    "QListWidget:disabled { color: rgb(126, 214, 184); }"
    "QListWidget::item { padding: 1px 3px; }"
    "QListWidget::item:selected { background: " GW_RGB_ACCENT "; color: " GW_RGB_INK "; }"
    "QScrollBar:vertical { background: rgb(32, 38, 48); width: 10px; margin: 0; }"
    "QScrollBar::handle:vertical { background: rgb(84, 98, 116); min-height: 20px;"
    "  border-radius: 4px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }";

} // namespace

void MainWindow::Setup() {
    m_previewFrame = control("preview");
    m_textureList = qobject_cast<QListWidget*>(control("skin"));
    m_surfaceList = qobject_cast<QListWidget*>(control("surfaces"));
    m_surfaceList->setStyleSheet(kListStyle);
    m_textureList->setStyleSheet(kListStyle);
    // The list is where the keyboard starts, and its focus shows round its well.
    m_surfaceList->installEventFilter(this);
    m_surfaceList->setFocus();
    connect(m_surfaceList, &QListWidget::itemSelectionChanged, this,
            &MainWindow::DrawSurfacePreview);
    connect(m_surfaceList, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_workspace)
            m_workspace->OnSelectionChanged();
    });
    connect(button("open"), &QAbstractButton::clicked, this, &MainWindow::OnLoadMd3);
    connect(button("flatten"), &QAbstractButton::clicked, this, &MainWindow::OnFlatten);
    connect(button("about"), &QAbstractButton::clicked, this, &MainWindow::OnAbout);
    connect(button("close"), &QAbstractButton::clicked, this, &QWidget::close);
    setWindowTitle(kWindowTitle);
    setWindowIcon(m_icon);
    m_selected = -1;
    m_regionPending = true;
    PlaceOnScreen(this, QRect(QPoint(50, 50), kMainWindowSize));
    // Keyboard focus shows in the program's orange.
    QPalette focus = palette();
    focus.setColor(QPalette::Highlight, QColor(236, 132, 34));
    setPalette(focus);
    m_status = new QLabel(this);
    m_status->setObjectName("status");
    m_status->setGeometry(kStatusLine);
    m_status->setStyleSheet("QLabel { color: " GW_RGB_ACCENT "; font: 10px 'DejaVu Sans'; }");
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    connect(m_statusTimer, &QTimer::timeout, this, [this] { ShowStatus({}, false); });
    QStringList reset;
    m_options = TemplateOptions::Load(&reset);
    if (!reset.isEmpty())
        ShowStatus(
            tr("Some remembered options were not valid and were reset: %1").arg(reset.join(", ")),
            true, 15000);
    if (!m_startModel.empty()) {
        // Once the window is on screen, so that a failure has a window to
        // speak from; an archive is browsed as Open does.
        const std::string path = m_startModel;
        QTimer::singleShot(0, this, [this, path] { OpenFile(path); });
    }
}

QStringList MainWindow::systemMenuEntries() const {
    return {GW_TEXT(kAboutMenuText)};
}

// A window without a caption has no system menu here; its entries live in the
// context menu of the window's face instead.
void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    ShowContextMenu(event->globalPos());
}

void MainWindow::ShowContextMenu(QPoint globalPos) {
    QMenu menu(this);
    menu.addAction(GW_TEXT(kCloseMenuText), this, &QWidget::close);
    menu.addAction(GW_TEXT(kOptionsMenuText), this, [this] { OnTemplateOptions(); });
    menu.addAction(tr("&Workspace\tW"), this, &MainWindow::OpenWorkspace);
    menu.addAction(GW_TEXT(kOpenGameMenuText), this, &MainWindow::OnOpenGameFolder);
    // The languages, each in its own words; the choice applies at once.
    QMenu* languages = menu.addMenu(GW_TEXT(kLanguageMenuText));
    for (const QString& language : Languages()) {
        QAction* choice = languages->addAction(LanguageName(language), this,
                                               [this, language] { OnChooseLanguage(language); });
        choice->setCheckable(true);
        choice->setChecked(language == InstalledLanguage());
    }
    if (!m_texturePath.isEmpty())
        menu.addAction(tr("Copy the texture's path"), this,
                       [this] { QGuiApplication::clipboard()->setText(m_texturePath); });
    QAction* wornBy = menu.addAction(tr("Worn by…"), this, &MainWindow::OnWornBy);
    wornBy->setObjectName("wornBy");
    wornBy->setEnabled(!m_texturePath.isEmpty() && m_selected != -1);
    // The model's skins, default first; the choice applies at once.
    if (!m_textures.skins().empty()) {
        QMenu* skins = menu.addMenu(tr("Skin"));
        for (int i = 0; i < int(m_textures.skins().size()); ++i) {
            QAction* choice =
                skins->addAction(QString::fromUtf8(m_textures.skins()[size_t(i)].name.c_str()),
                                 this, [this, i] { OnChooseSkin(i); });
            choice->setCheckable(true);
            choice->setChecked(i == m_textures.chosenSkin());
        }
    }
    // A skin the model holds, as a picture to paint from.
    QAction* saveSkin = menu.addAction(tr("Save the model's skin as a picture..."), this,
                                       &MainWindow::OnSaveModelSkin);
    saveSkin->setObjectName("saveModelSkin");
    saveSkin->setEnabled(ModelSkinToSave() >= 0);
    QAction* sheet =
        menu.addAction(tr("Save the player's sheet..."), this, &MainWindow::OnSavePlayerSheet);
    sheet->setObjectName("savePlayerSheet");
    sheet->setEnabled(model() != nullptr);
    QAction* pack = menu.addAction(tr("Pack the skin..."), this, &MainWindow::OnPackSkin);
    pack->setObjectName("packSkin");
    pack->setEnabled(model() != nullptr);
    for (const QString& entry : systemMenuEntries()) {
        menu.addSeparator();
        menu.addAction(entry, this, &MainWindow::OnAbout);
    }
    menu.exec(globalPos);
}

void MainWindow::OnTemplateOptions() {
    // The panel may give the model other texture coordinates: no drawing reads it meanwhile.
    m_renderer->Cancel();
    const std::shared_ptr<const Model> before = model();
    OptionsDialog panel(m_options, m_textures, m_selected, this);
    if (panel.Run() != QDialog::Accepted) {
        if (model() != before && m_selected != -1)
            DrawSurfacePreview();
        return;
    }
    m_options = panel.options();
    if (m_selected != -1)
        DrawSurfacePreview();
    if (m_workspace)
        m_workspace->OnSelectionChanged();
}

namespace {

// The model file a drag carries, or empty when it carries none.
QString DraggedModel(const QMimeData* data) {
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>{};
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return HasModelExtension(path.toStdString()) ? path : QString();
}

} // namespace

void MainWindow::OnChooseLanguage(const QString& language) {
    if (!InstallLanguage(language))
        return;
    GridwrightSettings().setValue("language", language);
    // What is on screen now speaks it too, the words on the face included;
    // menus and dialogs do when opened.
    if (m_selected != -1)
        DrawSurfacePreview();
    update();
}

void MainWindow::OnChooseSkin(int index) {
    m_textures.ChooseSkin(index);
    WatchLookupFolders(); // the skin's textures may lie in other folders
    if (m_selected != -1)
        DrawSurfacePreview();
    if (m_workspace)
        m_workspace->OnModelChanged();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    m_draggedModel = DraggedModel(event->mimeData());
    if (!m_draggedModel.isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!m_draggedModel.isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    // Some senders' data is no longer readable at the drop itself (seen with
    // Qt senders under X11): the file named when the drag came in counts.
    QString path = DraggedModel(event->mimeData());
    if (path.isEmpty())
        path = m_draggedModel;
    m_draggedModel.clear();
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    OnDropFile(path);
}

void MainWindow::OnDropFile(const QString& path) {
    ClearList(m_surfaceList);
    LoadModel(QFile::encodeName(path).toStdString());
}

void MainWindow::OnAbout() {
    AboutDialog about(this);
    about.Run();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_surfaceList &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update(m_surfaceList->geometry().adjusted(-4, -4, 4, 4));
    return LaidOutDialog::eventFilter(watched, event);
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    PaintSkin(dc);
    // The list's focus, in the orange the dials show theirs in, inside its well.
    if (m_surfaceList && m_surfaceList->hasFocus()) {
        dc.setRenderHint(QPainter::Antialiasing);
        dc.setPen(QPen(palette().color(QPalette::Highlight), 2));
        dc.drawRoundedRect(QRectF(m_surfaceList->geometry()).adjusted(-2, -2, 2, 2), 3, 3);
    }
    // The preview belongs to the window's own painting, so a repaint keeps it.
    if (!m_previewLayer.isNull())
        dc.drawImage(0, 0, m_previewLayer);
}

QString MainWindow::statusText() const {
    return m_status ? m_status->toolTip() : QString();
}

void MainWindow::ShowStatus(const QString& text, bool transient, int milliseconds) {
    if (!m_status)
        return;
    m_status->setText(
        m_status->fontMetrics().elidedText(text, Qt::ElideRight, kStatusLine.width()));
    m_status->setToolTip(text);
    m_statusTransient = transient && !text.isEmpty();
    if (m_statusTransient)
        m_statusTimer->start(milliseconds);
    else
        m_statusTimer->stop();
}

void MainWindow::ClearWarning() {
    if (!m_statusTransient)
        ShowStatus({}, false);
}

// The main window is no dialog to dismiss: Escape never closes it, and Enter
// presses a focused dial and nothing else. Ctrl+Q, Alt+F4 and the close dial do.
void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Quit) ||
        (event->key() == Qt::Key_Q && event->modifiers() == Qt::ControlModifier)) {
        close();
        return;
    }
    // The menu key and Shift+F10 open the right-click menu, by the control
    // that has the focus (or the window's middle), as on any desktop.
    if (event->key() == Qt::Key_Menu ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        const QWidget* by = focusWidget() ? focusWidget() : this;
        ShowContextMenu(by->mapToGlobal(by->rect().center()));
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_W:
        if (event->modifiers() == Qt::NoModifier) {
            OpenWorkspace();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
            button && button->isEnabled())
            button->click();
        event->accept();
        return;
    default:
        break;
    }
    // Past the dialog's own keys on purpose: they would close the window.
    QWidget::keyPressEvent(event); // NOLINT(bugprone-parent-virtual-call)
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        OnSetFocus();
    LaidOutDialog::changeEvent(event);
}

void MainWindow::OnSetFocus() {
    if (m_selected != -1)
        DrawSurfacePreview();
}

void MainWindow::reject() {
    m_selected = -1;
    LaidOutDialog::reject();
}

QStringList ModelOpenFilters() {
    QStringList filters{GW_TEXT(kAllModelsFilter).arg(QString::fromStdString(ModelFilePatterns()))};
    for (const ModelFormat& format : ModelFormats()) {
        QStringList patterns;
        for (const std::string_view extension : format.extensions)
            patterns << "*." + QString::fromUtf8(extension.data(), qsizetype(extension.size()));
        const std::string label(format.label);
        filters << QStringLiteral("%1 (%2)").arg(GW_TEXT(label.c_str()), patterns.join(' '));
    }
    return filters;
}

void MainWindow::OnLoadMd3() {
    FileDialogSettings settings;
    settings.open = true;
    settings.defaultSuffix = "MD3";
    settings.filters = ModelOpenFilters();
    settings.filters << GW_TEXT(kPakFilter) << GW_TEXT(kDpkFilter);
    const FileDialogResult chosen = RunFileDialog(this, settings);
    if (!chosen.accepted)
        return;
    OpenFile(QFile::encodeName(chosen.path).toStdString());
}

void MainWindow::OpenFile(std::string path) {
    // An archive: one of the models inside it.
    if (IsArchiveName(path)) {
        GameFiles pak;
        if (const Status opened = pak.AddArchive(path); !opened.ok()) {
            ShowLoadFailure(opened.error().Message());
            return;
        }
        const QString model = ChooseModel(ListModels(pak));
        if (model.isEmpty())
            return;
        path += ":" + model.toStdString();
    }
    ClearList(m_surfaceList);
    setWindowTitle(kWindowTitle);
    LoadModel(path);
}

QString MainWindow::ChooseModel(const std::vector<GameFile>& files) {
    ModelBrowser browser(files, this);
    return browser.exec() == QDialog::Accepted ? browser.chosen() : QString();
}

void MainWindow::OnOpenGameFolder() {
    FileDialogSettings settings;
    settings.open = true;
    settings.folder = true;
    const FileDialogResult chosen = RunFileDialog(this, settings);
    if (!chosen.accepted)
        return;
    const std::vector<std::string> games{QFile::encodeName(chosen.path).toStdString()};
    GameFiles game;
    game.AddFolder(games.front());
    const QString model = ChooseModel(ListModels(game));
    if (model.isEmpty())
        return;
    m_games = games;
    ClearList(m_surfaceList);
    setWindowTitle(kWindowTitle);
    LoadModel(model.toStdString());
}

void MainWindow::LoadModel(const std::string& path) {
    ReadModel(path);
    if (m_workspace)
        m_workspace->OnModelChanged();
}

void MainWindow::OpenWorkspace() {
    if (!m_workspace) {
        WorkspaceSource source;
        source.textures = [this]() -> ModelTextures& { return m_textures; };
        source.options = [this]() -> const TemplateOptions& { return m_options; };
        source.selected = [this] { return SelectedRow(m_surfaceList); };
        source.select = [this](int index) { SelectSurface(index); };
        source.chooseSkin = [this](int index) { OnChooseSkin(index); };
        m_workspace = new WorkspaceWindow(std::move(source), this);
    }
    m_workspace->show();
    m_workspace->raise();
    m_workspace->activateWindow();
}

void MainWindow::OnWornBy() {
    if (m_selected == -1 || m_selected >= m_textures.SurfaceCount())
        return;
    WornByDialog dialog(m_textures, m_selected, this);
    connect(this, &MainWindow::gameScanned, &dialog, &WornByDialog::Fill);
    dialog.exec();
}

void MainWindow::SelectSurface(int index) {
    if (index >= 0 && index < m_surfaceList->count())
        m_surfaceList->setCurrentRow(index);
}

void MainWindow::ReadModel(const std::string& path) {
    // The drawing in progress reads the surfaces about to be replaced.
    m_renderer->Cancel();
    // A game path means a model of the game folder opened; anything else a
    // file, or an archive's entry, and a game of its own.
    Result<OpenedModel> loaded =
        OpenModel(path, std::filesystem::exists(path) ? std::vector<std::string>{} : m_games);
    if (!loaded.ok()) {
        m_textures.Reset(nullptr);
        m_location.clear();
        WatchLookupFolders();
        // Nothing of the former model stays on screen beside an empty list.
        ClearList(m_textureList);
        m_texturePath.clear();
        m_previewLayer = QImage();
        m_selected = -1;
        setWindowTitle(kWindowTitle);
        update();
        ShowLoadFailure(loaded.error().Message());
        return;
    }
    const GameModel& opened = loaded.value().game;
    m_textures.Reset(std::make_shared<const Model>(std::move(loaded.value().model)), opened.files,
                     opened.gamePath, opened.inGame);
    // A game's scripts can take long to read: the window answers meanwhile,
    // and shows the textures and the game's problems once they are read.
    m_textures.ReadScriptsInBackground([this] {
        QMetaObject::invokeMethod(
            this, [this] { OnScriptsRead(); }, Qt::QueuedConnection);
    });
    m_location = path;
    m_locationGames = std::filesystem::exists(path) ? std::vector<std::string>{} : m_games;
    m_gamePath = opened.gamePath;
    WatchLookupFolders();
    // The task bar names the model.
    setWindowTitle(QString::fromUtf8(kModelWindowTitle)
                       .arg(QFileInfo(QFile::decodeName(path.c_str())).fileName()));
    for (const Surface& s : model()->surfaces)
        AppendSurfaceName(s.name);
    if (model()->surfaces.empty()) {
        ClearList(m_textureList);
        m_texturePath.clear();
        m_previewLayer = QImage();
        m_selected = -1;
        update();
        ShowStatus(tr("This model has no surfaces: it holds only tags or frames, so there is no "
                      "layout to draw."),
                   false);
        return;
    }
    ClearWarning();
    // The first surface is chosen, so Flatten works at once.
    m_surfaceList->setCurrentRow(0);
}

void MainWindow::OnScriptsRead() {
    if (!model())
        return;
    DrawSurfacePreview();
    QStringList problems;
    for (const std::string& p : m_textures.GameProblems())
        problems << QString::fromUtf8(p.c_str());
    QString said;
    if (!problems.isEmpty())
        said = tr("Some of the game's files cannot be used: %1").arg(problems.join("; "));
    // The colours of the skins the model holds come from the game's palette
    // when it has one; when not, the painter should know the colours are a
    // stand-in.
    if (model()->HoldsPaletteSkins()) {
        const std::string palette = m_textures.source()->PaletteProblem();
        if (!palette.empty())
            said += (said.isEmpty() ? QString() : QStringLiteral(" ")) +
                    tr("The model's skins are painted without the game's palette: %1.")
                        .arg(QString::fromUtf8(palette.c_str()));
    }
    // What the model's reader read past (a material library missing, ...).
    for (const std::string& note : model()->notes)
        said += (said.isEmpty() ? QString() : QStringLiteral(" ")) +
                tr("The model: %1.").arg(QString::fromUtf8(note.c_str()));
    if (!said.isEmpty())
        ShowStatus(said, false);
}

int MainWindow::ModelSkinToSave() const {
    if (!model() || model()->skins.empty())
        return -1;
    // The chosen skin when it dresses the model in a picture the model holds.
    if (const Skin* chosen = m_textures.ChosenSkin(); chosen && !chosen->entries.empty())
        for (size_t i = 0; i < model()->skins.size(); ++i)
            if (std::all_of(
                    chosen->entries.begin(), chosen->entries.end(),
                    [&](const SkinEntry& e) { return e.texture == model()->skins[i].name; }))
                return int(i);
    return 0;
}

void MainWindow::OnSaveModelSkin() {
    const int index = ModelSkinToSave();
    if (index < 0)
        return;
    const std::shared_ptr<const Model> held = model();
    FileDialogSettings settings;
    settings.open = false;
    settings.defaultSuffix = "*";
    // Named after the model and the skin: "player_skin0.png".
    const QString stem = QFileInfo(QFile::decodeName(held->path.c_str())).completeBaseName();
    settings.initialName = QStringLiteral("%1_skin%2.png").arg(stem).arg(index);
    for (const char* extension : {"png", "tga", "bmp"})
        for (const FormatLabel& format : kFormatLabels)
            if (std::string_view(format.extension) == extension)
                settings.filters << QStringLiteral("%1 (*.%2)")
                                        .arg(GW_TEXT(format.label), QString::fromLatin1(extension));
    const FileDialogResult chosen = RunFileDialog(this, settings);
    if (!chosen.accepted)
        return;
    const std::string path = QFile::encodeName(chosen.path).toStdString();
    const Status written = WriteModelSkin(*held, index, *m_textures.source(), path);
    if (!written.ok()) {
        ShowMessageBox(this, GW_TEXT(kCannotSaveSkinHeading),
                       QString::fromLocal8Bit(written.error().Message().c_str()));
        return;
    }
    ShowStatus(tr("Skin %1 saved as %2.").arg(index).arg(QFileInfo(chosen.path).fileName()), true);
}

namespace {

// The deepest folder of `relative` under `root` that exists, its names
// matched without case as the game matches them: where a file of that folder
// would first show up.
std::filesystem::path NearestFolder(const std::filesystem::path& root,
                                    const std::filesystem::path& relative) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path at = root;
    for (const fs::path& part : relative) {
        if (part.empty() || part == "." || part == "..")
            break;
        fs::path next;
        for (const fs::directory_entry& e : fs::directory_iterator(at, error))
            if (e.is_directory(error) &&
                LowerCase(e.path().filename().string()) == LowerCase(part.string())) {
                next = e.path();
                break;
            }
        if (next.empty())
            break;
        at = next;
    }
    return at;
}

} // namespace

QStringList MainWindow::LookupFolders() const {
    namespace fs = std::filesystem;
    if (m_location.empty() || !model())
        return {};
    std::error_code error;
    std::vector<fs::path> roots;
    for (const std::string& g : m_locationGames)
        roots.push_back(fs::absolute(g, error));
    std::string archive, entry;
    if (SplitArchivePath(m_location, archive, entry)) {
        roots.push_back(fs::absolute(archive, error).parent_path());
    } else if (fs::exists(m_location, error)) {
        roots.push_back(fs::absolute(GameFolderOf(m_location), error));
        roots.push_back(fs::absolute(m_location, error).parent_path()); // its skins
    }
    // The game folders that hold what the surfaces wear, their skins and
    // their scripts; each game folder itself for paks coming and going.
    std::vector<std::string> names{m_gamePath, "scripts/x"};
    for (int i = 0; i < m_textures.SurfaceCount(); ++i) {
        names.push_back(m_textures.WornTextureName(i));
        names.push_back(m_textures.SurfaceAt(i)->shaderName);
    }
    std::vector<fs::path> wanted;
    for (std::string& name : names) {
        std::replace(name.begin(), name.end(), '\\', '/');
        wanted.push_back(fs::path(name).parent_path());
    }
    QStringList folders;
    for (const fs::path& root : roots) {
        if (!fs::is_directory(root, error))
            continue;
        folders << QFile::decodeName(root.string().c_str());
        for (const fs::path& relative : wanted) {
            const fs::path found = NearestFolder(root, relative);
            const QString folder = QFile::decodeName(found.string().c_str());
            if (!folders.contains(folder))
                folders << folder;
        }
    }
    return folders;
}

void MainWindow::WatchLookupFolders() {
    if (!m_gameWatcher) {
        m_gameWatcher = new FileWatcher(this);
        connect(m_gameWatcher, &FileWatcher::folderChanged, this, &MainWindow::FollowGameFiles);
    }
    m_gameWatcher->WatchFolders(LookupFolders());
}

void MainWindow::FollowGameFiles() {
    if (m_location.empty() || !model())
        return;
    Result<GameModel> opened = OpenGameModel(m_location, m_locationGames);
    if (!opened.ok())
        return; // the model itself went away: what it showed stays until another is opened
    m_renderer->Cancel();
    const std::string skin = m_textures.ChosenSkin() ? m_textures.ChosenSkin()->name : "";
    m_textures.Reset(model(), opened.value().files, opened.value().gamePath, opened.value().inGame);
    m_textures.ReadScriptsInBackground([this] {
        QMetaObject::invokeMethod(
            this, [this] { OnScriptsRead(); }, Qt::QueuedConnection);
    });
    for (int k = 0; k < int(m_textures.skins().size()); ++k)
        if (!skin.empty() && m_textures.skins()[size_t(k)].name == skin)
            m_textures.ChooseSkin(k);
    if (m_selected != -1)
        DrawSurfacePreview();
    if (m_workspace)
        m_workspace->OnTexturesChanged();
    WatchLookupFolders();
}

void MainWindow::AppendSurfaceName(const std::string& name) {
    const QSignalBlocker quiet(m_surfaceList);
    m_surfaceList->addItem(TextOfBytes(name));
}

void MainWindow::ShowLoadFailure(const std::string& reason) {
    ShowMessageBox(this, GW_TEXT(kCannotOpenHeading), QString::fromLocal8Bit(reason.c_str()));
}
