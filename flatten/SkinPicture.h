#pragma once
// A skin the model holds (MDL), written out as a picture for the painter to
// start from, in the colours the game gives it.
#include "flatten/GameTextureSource.h"
#include "model/Error.h"
#include "model/Model.h"

#include <string>

// Writes skin `index` of the model to `path`: PNG, TGA or BMP by its
// extension (any case), every pixel opaque. The error says what went wrong:
// no such skin (naming the skins there are), a format that cannot hold it,
// or the file not written.
Status WriteModelSkin(const Model& model, int index, GameTextureSource& textures,
                      const std::string& path);

// The extensions a skin may be written as: "png", "tga", "bmp".
bool IsSkinPictureName(const std::string& path);
