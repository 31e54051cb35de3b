// The workspace's finishing switches: the chosen texture padded into a file
// of its own on every save, and the bleed check's marks over the layout.
// Both read and compute on a thread of their own; the layout they use is
// found here, on the interface thread, from what the workspace shows.
#include "app/Workspace/WorkspaceWindow.h"

#include "export/PngTemplate.h"
#include "export/SafeFile.h"
#include "export/TgaTemplate.h"
#include "platform/Desktop.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QSignalBlocker>
#include <QThreadPool>
#include <QTimer>

namespace {

// A picture that half-written does not decode is tried again this often.
constexpr int kPadRetries = 20;
constexpr int kPadRetryMs = 250;

std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString TextOf(const std::string& message) {
    return QString::fromLocal8Bit(message.c_str());
}

bool SamePath(const QString& a, const QString& b) {
    const QFileInfo x(a), y(b);
    if (x.absoluteFilePath() == y.absoluteFilePath())
        return true;
    return x.exists() && y.exists() && x.canonicalFilePath() == y.canonicalFilePath();
}

} // namespace

QString WorkspaceWindow::ChosenTextureFile() {
    const int selected = m_source.selected();
    if (selected < 0 || !m_source.textures().model())
        return {};
    const std::string file = m_source.textures().TextureOfSurface(selected).file;
    if (file.empty())
        return {};
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(file))).absoluteFilePath();
}

QString WorkspaceWindow::padOutput() {
    const auto found = m_padOutputs.find(ChosenTextureFile());
    return found == m_padOutputs.end() ? QString() : found->second;
}

std::shared_ptr<const WorkspaceWindow::ChosenLayout>
WorkspaceWindow::LayoutOfChosen(QString& problem) {
    ModelTextures& textures = m_source.textures();
    const int selected = m_source.selected();
    if (!textures.model() || selected < 0) {
        problem = tr("choose a surface wearing the texture");
        return nullptr;
    }
    auto chosen = std::make_shared<ChosenLayout>();
    std::vector<DressedModel> models;
    chosen->models.push_back(textures.model());
    models.push_back({textures.model().get(), textures.ChosenSkin()});
    // The player's other parts as the workspace shows them joined.
    if (showsPlayer())
        for (const Part& part : m_others)
            if (part.model && part.textures) {
                chosen->models.push_back(part.model);
                models.push_back({part.model.get(), part.textures->ChosenSkin()});
            }
    const std::string name = textures.TextureOfSurface(selected).name;
    Result<PadLayout> layout = LayoutOfTexture(models, name, textures);
    if (!layout.ok()) {
        problem = TextOf(layout.error().reason);
        return nullptr;
    }
    chosen->layout = std::move(layout.value());
    return chosen;
}

void WorkspaceWindow::SetPadOnSave(bool on) {
    if (m_pad->isChecked() != on) {
        m_pad->setChecked(on); // comes back here through toggled
        return;
    }
    m_padMessage.clear();
    if (!on) {
        ShowStatus();
        return;
    }
    const QString painted = ChosenTextureFile();
    if (painted.isEmpty()) {
        m_padMessage = tr("Pad on save: choose a surface that wears a texture file first.");
        const QSignalBlocker quiet(m_pad);
        m_pad->setChecked(false);
        ShowStatus();
        return;
    }
    if (m_padOutputs.count(painted)) {
        ShowStatus();
        return;
    }
    FileDialogSettings settings;
    settings.open = false;
    settings.defaultSuffix = "*";
    settings.initialName = QFileInfo(painted).completeBaseName() + "_padded.png";
    settings.filters << tr("PNG picture (*.png)") << tr("TGA picture (*.tga)");
    const FileDialogResult chosen = RunFileDialog(this, settings);
    const QString extension = chosen.extension.toLower();
    QString refused; // empty when cancelled: nothing to say
    const bool usable = chosen.accepted && !SamePath(chosen.path, painted) &&
                        (extension == "png" || extension == "tga");
    if (chosen.accepted && SamePath(chosen.path, painted))
        refused = tr("Pad on save: the output cannot be the painted texture %1 itself; choose "
                     "another file.")
                      .arg(QFileInfo(painted).fileName());
    else if (chosen.accepted && !usable)
        refused = tr("Pad on save writes .png or .tga (they keep every texel and its alpha), not "
                     "%1.")
                      .arg(QFileInfo(chosen.path).fileName());
    if (!usable) {
        m_padMessage = refused;
        const QSignalBlocker quiet(m_pad);
        m_pad->setChecked(false);
        ShowStatus();
        return;
    }
    m_padOutputs[painted] = QFileInfo(chosen.path).absoluteFilePath();
    m_padMessage = tr("Pad on save: each save of %1 is padded into %2.")
                       .arg(QFileInfo(painted).fileName(), QFileInfo(chosen.path).fileName());
    ShowStatus();
}

void WorkspaceWindow::PadSaved(const QString& file, int tries) {
    if (!m_pad->isChecked())
        return;
    const QString painted = ChosenTextureFile();
    if (painted.isEmpty() || !SamePath(painted, file))
        return; // another texture of the scene
    const auto output = m_padOutputs.find(painted);
    if (output == m_padOutputs.end()) {
        m_padMessage = tr("%1 was saved but not padded: no output is chosen for it; turn \"Pad on "
                          "save\" off and on to choose one.")
                           .arg(QFileInfo(painted).fileName());
        ShowStatus();
        return;
    }
    QString problem;
    const std::shared_ptr<const ChosenLayout> layout = LayoutOfChosen(problem);
    if (!layout) {
        m_padMessage = tr("%1 was not padded: %2.").arg(QFileInfo(painted).fileName(), problem);
        ShowStatus();
        return;
    }
    const int asked = ++m_padsAsked;
    const std::string in = PathBytes(painted), out = PathBytes(output->second);
    const bool tga = output->second.endsWith(".tga", Qt::CaseInsensitive);
    QPointer<WorkspaceWindow> self(this);
    m_padder->start([self, asked, layout, in, out, tga, painted, tries] {
        bool unreadable = false;
        QString message;
        const QString outName = QFileInfo(QFile::decodeName(out.c_str())).fileName();
        const QString inName = QFileInfo(painted).fileName();
        TextureImage image;
        if (const Status loaded = LoadTexture(in, image); !loaded.ok()) {
            unreadable = true;
            message = tr("%1 was not padded: %2").arg(inName, TextOf(loaded.error().Message()));
        } else if (const Result<PaddedTexture> padded =
                       PadWithLayout(layout->layout, image, in, kDefaultPadBand);
                   !padded.ok()) {
            message = tr("%1 was not padded: %2").arg(inName, TextOf(padded.error().Message()));
        } else {
            const std::string bytes =
                tga ? EncodeTga(padded.value().image) : EncodePng(padded.value().image);
            const Status written = bytes.empty()
                                       ? Status(Error{"Cannot write", out, "out of memory"})
                                       : WriteFileSafely(out, bytes);
            if (!written.ok()) {
                message =
                    tr("%1 was not padded: %2").arg(inName, TextOf(written.error().Message()));
            } else {
                const PadCounts& c = padded.value().counts;
                message = tr("Padded %1 into %2: %3 texels padded.")
                              .arg(inName, outName,
                                   QLocale().toString(qulonglong(c.band) + qulonglong(c.pushPull)));
            }
        }
        QMetaObject::invokeMethod(
            qApp,
            [self, asked, painted, tries, unreadable, message] {
                if (self)
                    self->OnPadded(asked, painted, tries, unreadable, message);
            },
            Qt::QueuedConnection);
    });
}

void WorkspaceWindow::OnPadded(int asked, const QString& file, int tries, bool unreadable,
                               const QString& message) {
    ++m_padsDone;
    if (asked != m_padsAsked)
        return; // saved again meanwhile: the later pad says what it wrote
    if (unreadable && tries < kPadRetries) {
        // Perhaps caught half written: padded once the file settles.
        ++m_padsAsked;
        QPointer<WorkspaceWindow> self(this);
        QTimer::singleShot(kPadRetryMs, this, [self, file, tries] {
            if (self) {
                --self->m_padsAsked;
                self->PadSaved(file, tries + 1);
            }
        });
        return;
    }
    m_padMessage = message;
    ShowStatus();
}

void WorkspaceWindow::SetShowMargins(bool show) {
    if (m_margins->isChecked() != show) {
        m_margins->setChecked(show); // comes back here through toggled
        return;
    }
    m_marginLayer.reset();
    m_marginMessage.clear();
    ++m_marginsAsked; // a check under way is stale
    if (show)
        CheckMargins();
    ShowLayout();
    ShowStatus();
}

void WorkspaceWindow::CheckMargins() {
    if (!m_margins->isChecked())
        return;
    const QString painted = ChosenTextureFile();
    const int asked = ++m_marginsAsked;
    if (painted.isEmpty()) {
        m_marginLayer.reset();
        m_marginMessage = tr("Thin margins: the chosen surface wears no texture file.");
        ShowStatus();
        return;
    }
    QString problem;
    const std::shared_ptr<const ChosenLayout> layout = LayoutOfChosen(problem);
    if (!layout) {
        m_marginLayer.reset();
        m_marginMessage = tr("Thin margins are not shown: %1.").arg(problem);
        ShowStatus();
        return;
    }
    const std::string in = PathBytes(painted);
    QPointer<WorkspaceWindow> self(this);
    m_padder->start([self, asked, layout, in, painted] {
        std::shared_ptr<const TextureImage> layer;
        QString message;
        const QString name = QFileInfo(painted).fileName();
        TextureImage image;
        if (const Status loaded = LoadTexture(in, image); !loaded.ok()) {
            message = tr("Thin margins are not shown: %1").arg(TextOf(loaded.error().Message()));
        } else if (Result<BleedReport> report =
                       CheckBleedWithLayout(layout->layout, image, in, kDefaultPadBand);
                   !report.ok()) {
            message = tr("Thin margins are not shown: %1").arg(TextOf(report.error().Message()));
        } else {
            const BleedReport& r = report.value();
            const size_t border = r.levels.empty() ? 0 : r.levels.front().border;
            const size_t thin = r.levels.empty() ? 0 : r.levels.front().thin;
            message = tr("%1: %2 of %3 island border texels padded thinner than %4 texels, %5 "
                         "texels of paint no face samples.")
                          .arg(name, QLocale().toString(qulonglong(thin)),
                               QLocale().toString(qulonglong(border)))
                          .arg(kDefaultPadBand)
                          .arg(QLocale().toString(qulonglong(r.unsampled)));
            layer = std::make_shared<const TextureImage>(r.layer);
        }
        QMetaObject::invokeMethod(
            qApp,
            [self, asked, layer, message] {
                if (self)
                    self->OnMargins(asked, layer, message);
            },
            Qt::QueuedConnection);
    });
}

void WorkspaceWindow::OnMargins(int asked, std::shared_ptr<const TextureImage> layer,
                                const QString& message) {
    if (asked != m_marginsAsked || !m_margins->isChecked())
        return;
    m_marginLayer = std::move(layer);
    m_marginMessage = message;
    ShowLayout();
    ShowStatus();
}
