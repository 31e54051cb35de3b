#pragma once
// Templates for every texture of many models at once: for each texture file
// the models of a game that match a pattern wear (through their default
// skin, or every skin, or one named), one template holding every surface
// that wears it, at the texture's size, written under one folder and named
// after the texture's game path. A model or a texture that fails is an
// entry with its error, never the end of the run.
#include "export/TemplateFile.h"
#include "flatten/Parallel.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "image/TextureCache.h"
#include "render/TemplateStyle.h"

#include <functional>
#include <string>
#include <vector>

struct BatchOptions {
    std::string glob = "*"; // over the game paths of models, without regard to case
    std::string outDir;     // where templates go; nothing is written outside it
    TemplateFormat format = TemplateFormat::Png;
    TemplateStyle style; // its size is used when sizeFromTexture is false
    bool sizeFromTexture = true;
    bool underlay = false;
    double underlayOpacity = 0.5;
    std::string skin; // empty: the default skin; "all": every skin; else a name
    int jobs = 1;     // at most kMaxBatchJobs are used
    int uvSet = -1;   // the texture coordinates to lay out where a model has them; -1: its own
    // Also a sheet per player (its lower, upper and head models) and per
    // other model: every texture it wears, each template at its own size and
    // labelled, side by side in one file.
    bool sheets = false;
    // Where decoded textures are kept, under its byte budget (null: a cache
    // of the usual budget): a picture goes once no template being drawn
    // holds it and the budget needs the room.
    std::shared_ptr<TextureCache> cache;
    // Called after each template, from the thread that did it.
    std::function<void(size_t done, size_t total)> progress;
};

// A surface drawn into a template, and the skins it wears the texture through.
struct BatchWearer {
    std::string model; // game path
    std::string surface;
    std::vector<std::string> skins; // empty names for none
};

struct BatchEntry {
    std::string model;                 // game path (the first wearer's)
    std::string skin;                  // the skin's name (the first wearer's); empty for none
    std::vector<std::string> surfaces; // names, of the first wearer's model
    std::vector<BatchWearer> wearers;  // every surface drawn, by model
    std::string texture;               // the texture's name as worn
    std::string output;                // the file written (or that would have been)
    int width = 0, height = 0;
    std::string error; // empty when written
    // A sheet's entry: the textures on it, in order (`model` is the player's
    // folder or the model; `texture` is empty).
    std::vector<std::string> pages;
    bool sheet = false;
};

// In game-path order of the models: each model's failures, then the
// textures it is the first to wear, in order of first wear; then the sheets
// asked for, in order of their first model.
std::vector<BatchEntry> RunBatch(const GameFiles& files, const GameTextures& textures,
                                 const BatchOptions& options);
// One line of OUTDIR/manifest.jsonl.
std::string ManifestLine(const BatchEntry& entry);
// A game path as the manifest writes it: '/' between its parts, even when
// the model or pak wrote '\\'.
std::string GamePath(std::string path);
// A texture's game path as a file name under the output folder: no "..", no
// absolute part, letters, digits, '-', '_' and '.' only, the format's extension.
std::string BatchFileName(const std::string& texture, TemplateFormat format);
