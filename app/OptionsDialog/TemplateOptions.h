#pragma once
// The template options a painter chose, kept across runs: the engine's style
// (its size is the last size chosen) and which surfaces go on the template.
#include "app/OptionsDialog/ModelTextures.h"
#include "bake/Bake.h"
#include "model/Model.h"
#include "render/TemplateStyle.h"

#include <QSettings>
#include <QStringList>
#include <memory>
#include <vector>

// The program's settings file, for everything the window remembers.
QSettings GridwrightSettings();

// The chosen surface; every surface wearing its texture file in the model,
// in its player (the other parts beside it) or in its whole game; every one.
enum class SurfaceChoice { Selected, SameTexture, PlayerTexture, GameTexture, All };

struct TemplateOptions {
    TemplateStyle style; // the defaults give the classic templates, at 128 x 128
    SurfaceChoice surfaces = SurfaceChoice::Selected;
    bool underlay = false; // the texture under the layout
    double underlayOpacity = 0.5;
    bool textureSize = true; // the texture's size, when its picture is found
    // Layers baked from the model into layered templates (PSD, ORA), in the
    // order chosen (the file stacks them in its own), and the rays a texel
    // of ambient occlusion casts.
    std::vector<BakeLayer> bake;
    int bakeRays = kDefaultOcclusionRays;

    bool operator==(const TemplateOptions& other) const;

    // From the user's settings; the defaults where nothing was saved. A value
    // that is not valid (a hand-edited file) gives its default, and its key
    // is added to `reset` so that the window can say so.
    static TemplateOptions Load(QStringList* reset = nullptr);
    void Save() const;
};

// The style for a template of the selected surface: the texture under it and
// the texture's size when asked for and found. `texture` keeps the picture
// the style points to alive while the style is in use.
struct StyledTemplate {
    TemplateStyle style;
    std::shared_ptr<const TextureImage> texture;
    std::vector<const Surface*> surfaces;
    std::vector<std::string> warnings;
    bool sizeFromTexture = false;
    // The other models whose surfaces are drawn (the texture's wearers in
    // the player or the game), kept alive while the style is in use.
    std::vector<std::shared_ptr<const Model>> models;
};
// The request the options make for the selected surface: the same the
// command line makes from its options.
TemplateRequest RequestFor(const TemplateOptions& options, const ModelTextures& textures,
                           int selected);
StyledTemplate StyleFor(const TemplateOptions& options, ModelTextures& textures, int selected);

// The surfaces the template holds, in file order, for the selected one; empty
// when nothing is selected. "The same texture" means the texture worn, through
// the chosen skin; in the player or the game, every surface wearing that file
// through any skin, model by model (until the game is scanned, the player's).
// The surfaces of other models live while `textures` keeps them, until another
// texture is gathered: hold StyleFor's models to keep them longer.
std::vector<const Surface*> ChosenSurfaces(SurfaceChoice choice, ModelTextures& textures,
                                           int selected);
