#pragma once
// Padding a painted texture with the layout of the models that wear it: the
// window's "pad on save" and the command line's --pad and --check-bleed.
//
// The main model's surfaces wearing the texture are those PlanTemplate finds
// for its name (through the skin); any other model given (a player's other
// parts) adds its surfaces that wear the same file. The layout repeats as
// the game repeats the texture.
#include "flatten/TemplateRequest.h"
#include "image/TextureImage.h"
#include "model/Error.h"
#include "model/Model.h"
#include "model/SkinFile.h"
#include "render/Padding.h"

#include <string>
#include <vector>

// A model and the skin it wears (null: its own names).
struct DressedModel {
    const Model* model = nullptr;
    const Skin* skin = nullptr;
};

struct PadLayout {
    std::vector<const Surface*> records; // every surface wearing the texture
    std::vector<std::string> parts;      // "MODEL: SURFACE", one per record
    SurfaceTexture worn;                 // the texture as the main model wears it
};

// The surfaces of `models` (the main one first) that wear `texture`; an
// error (NoSuchTexture) when no surface of the main model wears it.
Result<PadLayout> LayoutOfTexture(const std::vector<DressedModel>& models,
                                  const std::string& texture, TextureSource& textures);

// The layout's grown islands at the painted texture's size.
std::vector<uint8_t> PadMask(const PadLayout& layout, const TextureImage& painted);

// The painted texture padded with the layout (see PadTexture); an error,
// naming `painted`'s file, when the layout covers no texel of it.
Result<PaddedTexture> PadWithLayout(const PadLayout& layout, const TextureImage& painted,
                                    const std::string& paintedName, int band);

// The bleed check of the painted texture against the layout; an error as for
// PadWithLayout.
Result<BleedReport> CheckBleedWithLayout(const PadLayout& layout, const TextureImage& painted,
                                         const std::string& paintedName, int band);

// The same for one model and its skin, all in memory: what the window calls.
Result<PaddedTexture> PadModelTexture(const Model& model, const Skin* skin,
                                      const std::string& texture, const TextureImage& painted,
                                      int band, TextureSource& textures);
