#pragma once
// Opening a model the one way every front end does (the window, the command
// line, the batch, the workspace): where it is named, then which format its
// bytes are, then the game it belongs to for its skins and textures.
#include "game/GameFiles.h"
#include "model/Model.h"

#include <memory>
#include <string>
#include <vector>

struct OpenedModel {
    Model model;
    GameModel game; // its bytes, its game's files and its path there
};

// The model `location` names: a file, "ARCHIVE:PATH" (a .pk3, .dpk or .pak),
// or, when no such file exists, a game path in `games`. A pak named by
// itself is refused with how to name a model inside it. An MD5 mesh comes
// with the animation files beside it.
Result<OpenedModel> OpenModel(const std::string& location, const std::vector<std::string>& games);

// Reads the files a model names beside it (OBJ's materials, glTF's buffers)
// from its folder in its game, never from above the game. `keep` holds the
// files alive as long as the reader is kept.
CompanionReader GameCompanions(const GameFiles& files, std::string gamePath,
                               std::shared_ptr<const void> keep = nullptr);
// A model of a game, with the files beside it (an MD5 mesh's animations).
Result<Model> ReadGameModel(const GameFiles& files, const GameFile& file);

// Every model file of a game, of any format the readers take: under models/
// and then progs/ (where Quake and Quake II keep theirs), as the game lists
// them.
std::vector<GameFile> ListModels(const GameFiles& files);
