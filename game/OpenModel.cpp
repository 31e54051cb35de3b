#include "game/OpenModel.h"

#include "model/ModelFormats.h"

Result<OpenedModel> OpenModel(const std::string& location, const std::vector<std::string>& games) {
    Result<GameModel> opened = OpenGameModel(location, games);
    if (!opened.ok())
        return opened.error();
    Result<Model> read = ReadModel(opened.value().bytes);
    if (!read.ok()) {
        // A pak holds models; it is none.
        if (!opened.value().inGame && IsArchiveName(location))
            return Error{"", location,
                         "it is a pak, not a model; name a model inside it as " + location +
                             ":models/...",
                         ErrorKind::PakNotModel};
        return read.error();
    }
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
