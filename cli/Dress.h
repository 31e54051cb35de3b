#pragma once
// What the commands that work on a painted or baked texture share: the model
// opened in its game and dressed in its skin, with a player's other parts
// beside it; and which of the textures it wears is meant.
#include "cli/Commands.h"
#include "flatten/GameTextureSource.h"
#include "flatten/PadLayout.h"
#include "game/OpenModel.h"
#include "model/SkinFile.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

// A model, its game and the skins chosen for it and the player's other parts.
struct Dressed {
    OpenedModel opened;
    std::unique_ptr<GameTextureSource> textures;
    std::vector<Skin> skins;
    Skin loaded;
    const Skin* skin = nullptr;
    // The player's other parts beside it, each in its skin of the same name.
    std::vector<std::shared_ptr<const Model>> others;
    std::vector<std::vector<Skin>> otherSkins;
    std::vector<DressedModel> models; // the main one first
    // For a player's part: which it is (0 lower, 1 upper, 2 head), and the
    // other parts by the same numbers (null: none, or the main model's own).
    int ownPart = -1;
    std::array<std::shared_ptr<const Model>, 3> player;
};

// Opens q.model and dresses it (q.skin); an exit status, kOk when dressed.
int Dress(const FlattenRequest& q, Dressed& d, Console& io);

// Which texture is meant: --texture, else the worn texture that is the
// painted file or has its stem, else the only one worn.
int ChooseTexture(const FlattenRequest& q, Dressed& d, const std::string& painted,
                  std::string& texture, Console& io);
