// The chosen skin packed for the game: the same plan and checks as the
// command line's --pack (the files new or changed against the game's paks),
// the problems shown and nothing written when there are any.
#include "app/MainWindow/MainWindow.h"

#include "export/SafeFile.h"
#include "flatten/SkinPack.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "model/TextureFinder.h"
#include "platform/Desktop.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString TextOf(const std::string& message) {
    return QString::fromLocal8Bit(message.c_str());
}

} // namespace

void MainWindow::OnPackSkin() {
    if (!model())
        return;
    const std::string skin =
        m_textures.ChosenSkin() ? m_textures.ChosenSkin()->name : std::string("default");
    FileDialogSettings settings;
    settings.open = false;
    settings.defaultSuffix = "pk3";
    settings.initialName = QStringLiteral("zz_%1.pk3").arg(QString::fromUtf8(skin.c_str()));
    settings.filters << tr("Game archive (*.pk3)");
    const FileDialogResult chosen = RunFileDialog(this, settings);
    if (!chosen.accepted)
        return;
    const std::string out = QFile::encodeName(chosen.path).toStdString();

    // The game opened anew, as the command line opens it, so that the pak
    // holds what is on disk now.
    Result<GameModel> opened = OpenGameModel(m_location, m_locationGames);
    if (!opened.ok()) {
        ShowMessageBox(this, tr("Cannot pack the skin"), TextOf(opened.error().Message()),
                       MessageIcon::Stop);
        return;
    }
    const GameModel& game = opened.value();
    // A pak inside the game would be read by the game, and by the next
    // check, which would then find the skin shipped already.
    if (const std::string folder =
            FolderHoldingPak(SkinGameFolders(m_location, m_locationGames), out);
        !folder.empty()) {
        ShowMessageBox(this, tr("Cannot pack the skin"),
                       tr("The pak %1 would be inside the game folder %2, where the game "
                          "would read it. Write it elsewhere and copy it in to play.")
                           .arg(chosen.path, TextOf(folder)),
                       MessageIcon::Stop);
        return;
    }
    const GameTextures textures(*game.files);
    const SkinPlan plan = PlanSkin(*game.files, textures, game.gamePath, skin);
    if (!plan.problems.empty()) {
        QStringList lines;
        for (const std::string& p : plan.problems)
            lines << TextOf(p);
        ShowMessageBox(this,
                       tr("Nothing written: the skin \"%1\" has %2 problems.")
                           .arg(QString::fromUtf8(skin.c_str()))
                           .arg(plan.problems.size()),
                       lines.join('\n'), MessageIcon::Stop);
        return;
    }
    const std::vector<const PackEntry*> packed = plan.Packed(false);
    if (packed.empty()) {
        ShowMessageBox(this, tr("Nothing written: the game's paks already ship every file the "
                                "skin \"%1\" needs.")
                                 .arg(QString::fromUtf8(skin.c_str())));
        return;
    }
    const Result<std::string> bytes = Pk3Bytes(*game.files, packed, out);
    const Status written = bytes.ok() ? WriteFileSafely(out, bytes.value()) : Status(bytes.error());
    if (!written.ok()) {
        ShowMessageBox(this, tr("Cannot pack the skin"), TextOf(written.error().Message()),
                       MessageIcon::Stop);
        return;
    }
    QStringList lines;
    for (const PackEntry* e : packed)
        lines << QStringLiteral("%1 (%2, %3)")
                     .arg(TextOf(e->gamePath), TextOf(e->role), TextOf(PackStateName(e->state)));
    for (const PackEntry& e : plan.needed)
        if (e.model && e.state != PackState::Shipped)
            lines << tr("%1 is %2 and not packed: the command line's --full packs the model too.")
                         .arg(TextOf(e.gamePath), TextOf(PackStateName(e.state)));
    ShowMessageBox(this,
                   tr("The skin \"%1\" packed into %2: %3 files.")
                       .arg(QString::fromUtf8(skin.c_str()), QFileInfo(chosen.path).fileName())
                       .arg(packed.size()),
                   lines.join('\n'));
    ShowStatus(
        tr("%1 written: %2 files.").arg(QFileInfo(chosen.path).fileName()).arg(packed.size()),
        true);
}
