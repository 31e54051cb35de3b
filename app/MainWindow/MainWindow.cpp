#include "app/MainWindow/MainWindow.h"

#include "app/AboutDialog/AboutDialog.h"

#include "model/Md3Reader.h"
#include "model/Model.h"
#include "platform/Resources.h"
#include "res/Palette.h"
#include "res/Templates.h"
#include "res/Texts.h"
#include <QAbstractButton>

#include "app/OptionsDialog/ModelTextures.h"
#include "app/OptionsDialog/OptionsDialog.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

MainWindow::MainWindow(QWidget* parent, const std::string& startModel)
    : CDialog(MainDialogTemplate(), parent), m_startModel(startModel) {
    // Its own top-level window with a task-bar button, no frame of any kind.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAcceptDrops(true);
    m_icon = LoadAppIcon(IDR_ICON);
    m_renderer = std::make_unique<PreviewRenderer>(this, [this](const QImage& layer) {
        m_previewLayer = layer;
        update();
    });
}

const QImage& MainWindow::previewLayer() const {
    m_renderer->Finish();
    return m_previewLayer;
}

void MainWindow::DoDataExchange(DataExchange& exchange) {
    m_previewFrame = exchange.Control(IDC_PREVIEW_FRAME);
    exchange.Bind(IDC_TEXTURE_LIST, m_textureList);
    exchange.Bind(IDC_SURFACE_LIST, m_surfaceList);
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

bool MainWindow::OnInitDialog() {
    CDialog::OnInitDialog();
    m_surfaceList.widget()->setStyleSheet(kListStyle);
    m_textureList.widget()->setStyleSheet(kListStyle);
    setWindowTitle(kWindowTitle);
    setWindowIcon(m_icon);
    m_selected = -1;
    m_regionPending = true;
    setGeometry(QRect(QPoint(50, 50), kMainWindowSize));
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
        // Once the window is on screen, so that a failure has a window to speak from.
        const std::string path = m_startModel;
        QTimer::singleShot(0, this, [this, path] { LoadModel(path); });
    }
    return true;
}

void MainWindow::OnCommand(int id, int notification) {
    if (id == IDC_SURFACE_LIST && notification == LBN_SELCHANGE)
        DrawSurfacePreview();
    else if (notification != BN_CLICKED)
        return;
    else if (id == IDC_LOAD_MD3)
        OnLoadMd3();
    else if (id == IDC_FLATTEN)
        OnFlatten();
    else if (id == IDC_ABOUT)
        OnAbout();
    else
        CDialog::OnCommand(id, notification);
}

QStringList MainWindow::systemMenuEntries() const {
    const QString about = LoadResourceString(IDS_ABOUTBOX);
    return about.isEmpty() ? QStringList{} : QStringList{about};
}

// A window without a caption has no system menu here; its entries live in the
// context menu of the window's face instead.
void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QString::fromUtf8(kCloseMenuText), this, [this] { OnSysCommand(SC_CLOSE, 0); });
    menu.addAction(QString::fromUtf8(kOptionsMenuText), this, [this] { OnTemplateOptions(); });
    if (!m_texturePath.isEmpty())
        menu.addAction(tr("Copier le chemin de la texture"), this,
                       [this] { QGuiApplication::clipboard()->setText(m_texturePath); });
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
    for (const QString& entry : systemMenuEntries()) {
        menu.addSeparator();
        menu.addAction(entry, this, [this] { OnSysCommand(IDM_ABOUTBOX, 0); });
    }
    menu.exec(event->globalPos());
}

void MainWindow::OnSysCommand(int command, int) {
    if ((command & kSysCommandMask) == IDM_ABOUTBOX)
        OnAbout();
    else if ((command & kSysCommandMask) == SC_CLOSE)
        close();
}

void MainWindow::OnTemplateOptions() {
    OptionsDialog panel(m_options, m_textures, m_selected, this);
    if (panel.DoModal() != IDOK)
        return;
    m_options = panel.options();
    if (m_selected != -1)
        DrawSurfacePreview();
}

namespace {

// The model file a drag carries, or empty when it carries none.
QString DraggedModel(const QMimeData* data) {
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>{};
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return path.endsWith(".md3", Qt::CaseInsensitive) ? path : QString();
}

} // namespace

void MainWindow::OnChooseSkin(int index) {
    m_textures.ChooseSkin(index);
    if (m_selected != -1)
        DrawSurfacePreview();
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
    m_surfaceList.ResetContent();
    LoadModel(QFile::encodeName(path).toStdString());
}

void MainWindow::OnAbout() {
    AboutDialog about(this);
    about.DoModal();
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    PaintSkin(dc);
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
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
            button && button->isEnabled())
            button->click();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void MainWindow::OnLButtonDown(QPoint globalPoint) {
    m_mover.Begin(this, globalPoint);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonDown(event->globalPosition().toPoint());
    CDialog::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (m_mover.following() && (event->buttons() & Qt::LeftButton))
        m_mover.Follow(event->globalPosition().toPoint());
    CDialog::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_mover.End();
    CDialog::mouseReleaseEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        OnSetFocus();
    CDialog::changeEvent(event);
}

void MainWindow::OnSetFocus() {
    if (m_selected != -1)
        DrawSurfacePreview();
}

void MainWindow::OnClose() {
    m_selected = -1;
    CDialog::OnClose();
}

void MainWindow::OnLoadMd3() {
    FileDialogSettings settings;
    settings.open = true;
    settings.defaultExtension = "MD3";
    settings.initialName = "*.MD3";
    settings.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    settings.filter = QString::fromUtf8(kModelFilter);
    const FileDialogResult chosen = RunFileDialog(this, settings);
    if (!chosen.accepted)
        return;
    m_surfaceList.ResetContent();
    setWindowTitle(kWindowTitle);
    LoadModel(QFile::encodeName(chosen.path).toStdString());
}

void MainWindow::LoadModel(const std::string& path) {
    // The drawing in progress reads the surfaces about to be replaced.
    m_renderer->Cancel();
    Result<Model> loaded = LoadMd3File(path);
    if (!loaded.ok()) {
        m_textures.Reset(nullptr);
        // Nothing of the former model stays on screen beside an empty list.
        m_textureList.ResetContent();
        m_texturePath.clear();
        m_previewLayer = QImage();
        m_selected = -1;
        setWindowTitle(kWindowTitle);
        update();
        ShowLoadFailure(loaded.error().Message());
        return;
    }
    m_textures.Reset(std::make_shared<const Model>(std::move(loaded.value())));
    // The task bar names the model.
    setWindowTitle(QString::fromUtf8(kModelWindowTitle)
                       .arg(QFileInfo(QFile::decodeName(path.c_str())).fileName()));
    for (const Surface& s : model()->surfaces)
        AppendSurfaceName(s.name);
    if (model()->surfaces.empty()) {
        m_textureList.ResetContent();
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
    m_surfaceList.widget()->setCurrentRow(0);
}

void MainWindow::AppendSurfaceName(const std::string& name) {
    m_surfaceList.AddString(name);
}

void MainWindow::ShowLoadFailure(const std::string& reason) {
    ShowMessageBox(this, kFailureMessage, QString::fromLocal8Bit(reason.c_str()));
}
