// The player's sheet: every texture its parts wear through every skin, each
// template at the texture's size and labelled, side by side in one file.
#include "app/MainWindow/MainWindow.h"

#include "export/SheetTemplate.h"
#include "flatten/Sheet.h"
#include "platform/Desktop.h"
#include "res/Texts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <filesystem>

void MainWindow::OnSavePlayerSheet() {
    if (!model())
        return;
    // Who wears what is known once the game's shader scripts are read: a few
    // seconds at most on a large game.
    m_textures.source()->textures().WaitForScripts(std::chrono::seconds(10));
    const std::shared_ptr<const WearerScan> scan = m_textures.PlayerWearers();
    if (!scan || scan->textures.empty()) {
        ShowStatus(tr("The model wears no texture to put on a sheet."), true);
        return;
    }
    const std::filesystem::path own(m_textures.modelGamePath());
    const bool player = m_textures.PlayerModels().size() > 1;
    SheetOptions options;
    options.style = m_options.style;
    options.sizeFromTexture = m_options.textureSize;
    options.underlay = m_options.underlay;
    options.underlayOpacity = m_options.underlayOpacity;
    options.of = player ? own.parent_path().string() : (own.parent_path() / own.stem()).string();
    std::vector<const WornFile*> textures;
    for (const WornFile& t : scan->textures)
        textures.push_back(&t);
    ModelShelf shelf(*scan, *m_textures.files(), -1);
    const SheetPlan plan = PlanSheet(*scan, textures, shelf, *m_textures.source(), options);

    FileDialogSettings settings;
    settings.open = false;
    settings.defaultSuffix = "*";
    settings.initialName =
        QFile::decodeName(std::filesystem::path(options.of).filename().string().c_str()) +
        "_sheet.png";
    for (const FormatLabel& format : kFormatLabels)
        settings.filters << QStringLiteral("%1 (*.%2)")
                                .arg(GW_TEXT(format.label), QString::fromLatin1(format.extension));
    settings.selectedFilter = settings.filters.value(3); // PNG
    const FileDialogResult chosen = RunFileDialog(this, settings);
    if (!chosen.accepted)
        return;
    const std::string path = QFile::encodeName(chosen.path).toStdString();
    if (const Status written = WriteSheetFile(path, plan.pages); !written.ok()) {
        ShowMessageBox(this, tr("Cannot save the sheet"),
                       QString::fromLocal8Bit(written.error().Message().c_str()));
        return;
    }
    ShowStatus(tr("The sheet of %1 textures saved as %2.")
                   .arg(plan.pages.size())
                   .arg(QFileInfo(chosen.path).fileName()),
               true);
}
