#include "game/OpenModel.h"

#include "game/ModelAnimations.h"
#include "model/ModelFormats.h"
#include "model/WrittenPath.h"

CompanionReader GameCompanions(const GameFiles& files, std::string gamePath,
                               std::shared_ptr<const void> keep) {
    return [files = &files, gamePath = std::move(gamePath), keep = std::move(keep)](
               const std::string& written, int64_t limit) -> Result<SourceBytes> {
        if (IsAbsoluteWritten(written))
            return Error{"", written,
                         "it is named by a path on the machine the model was made on; put it "
                         "beside the model"};
        const std::string path = JoinWritten(gamePath, written);
        if (path.empty() || path == ".." || path.rfind("../", 0) == 0)
            return Error{"", written, "it lies above the game's folder, where nothing is read"};
        const std::unique_ptr<GameFile> file = files->Find(path);
        if (!file)
            return Error{"", written, "it is not beside the model (" + path + ")"};
        return files->Read(*file, limit, "it is larger than a file beside a model may be");
    };
}

Result<Model> ReadGameModel(const GameFiles& files, const GameFile& file) {
    Result<SourceBytes> bytes = files.Read(file);
    if (!bytes.ok())
        return bytes.error();
    bytes.value().companions = GameCompanions(files, file.gamePath);
    Result<Model> model = ReadModel(bytes.value());
    if (model.ok() && model.value().format == "MD5")
        AttachMd5AnimationsBeside(model.value(), files, file.gamePath);
    return model;
}

Result<OpenedModel> OpenModel(const std::string& location, const std::vector<std::string>& games) {
    Result<GameModel> opened = OpenGameModel(location, games);
    if (!opened.ok())
        return opened.error();
    GameModel& game = opened.value();
    game.bytes.companions = game.inGame ? GameCompanions(*game.files, game.gamePath, game.files)
                                        : DiskCompanions(game.bytes.path);
    Result<Model> read = ReadModel(game.bytes);
    if (!read.ok()) {
        // A pak holds models; it is none.
        if (!opened.value().inGame && IsArchiveName(location))
            return Error{"", location,
                         "it is a pak, not a model; name a model inside it as " + location +
                             ":models/...",
                         ErrorKind::PakNotModel};
        return read.error();
    }
    if (read.value().format == "MD5")
        AttachMd5AnimationsBeside(read.value(), *game.files, game.gamePath);
    return OpenedModel{std::move(read.value()), std::move(opened.value())};
}

std::vector<GameFile> ListModels(const GameFiles& files) {
    std::vector<GameFile> models;
    for (const char* folder : {"models/", "progs/"})
        for (GameFile& file : files.List(folder))
            if (HasModelExtension(file.gamePath))
                models.push_back(std::move(file));
    return models;
}
