#pragma once
// Baked layers for a template the window previews or writes: the texture's
// model in its first frame (a player's parts joined at their tags, so the
// torso shades the legs) shading the surfaces the template draws, at the
// template's size.
#include "app/OptionsDialog/TemplateOptions.h"
#include "bake/Bake.h"

#include <memory>
#include <string>
#include <vector>

struct TemplateBake {
    BakeRequest request; // its layers empty when nothing is to be baked
    // Keeps the surfaces and the models they belong to alive while a thread bakes.
    StyledTemplate styled;
    std::string problem; // why parts that are there could not be joined
};

// The bake of `layers` for a styled template, at its size, with `rays` a
// texel of ambient occlusion.
TemplateBake PrepareTemplateBake(const StyledTemplate& styled, ModelTextures& textures,
                                 const std::vector<BakeLayer>& layers, int rays);

struct BakedForTemplate {
    std::shared_ptr<const std::vector<LayerImage>> layers; // for TemplateStyle::baked
    size_t unplaced = 0; // surfaces drawn that are no part of the model: not shaded
    size_t neverSeen = 0, texels = 0;
};
// Bakes; cancelled (an error saying so) when the request's cancel flag is set.
Result<BakedForTemplate> RunTemplateBake(const TemplateBake& bake);
