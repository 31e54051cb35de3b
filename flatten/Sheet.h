#pragma once
// A sheet of textures: each texture's template, across every surface that
// wears it, at the texture's size and labelled, for one sheet file. The
// batch makes one per player and per model; the window one for its player.
#include "export/SheetTemplate.h"
#include "flatten/Wearers.h"

#include <memory>
#include <string>
#include <vector>

struct SheetPlan {
    std::vector<SheetPage> pages;
    std::vector<const WornFile*> textures; // each page's
    std::vector<std::string> problems;     // textures left at the style's size, and why
    // What the pages point into, kept while the sheet is written.
    std::vector<WornTemplate> drawn;
    std::vector<std::shared_ptr<const TextureImage>> pictures;
};

struct SheetOptions {
    TemplateStyle style; // each page's, its size when not the texture's
    bool sizeFromTexture = true;
    bool underlay = false;
    double underlayOpacity = 0.5;
    // The folder (or model) the sheet is of: a texture beside it is labelled
    // by its file name, one from elsewhere by its game path.
    std::string of;
};

// Pages for the textures, in their order. A texture whose picture cannot be
// read keeps the style's size and is said in problems.
SheetPlan PlanSheet(const WearerScan& scan, const std::vector<const WornFile*>& textures,
                    ModelShelf& shelf, GameTextureSource& source, const SheetOptions& options);
