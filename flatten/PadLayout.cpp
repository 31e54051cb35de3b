#include "flatten/PadLayout.h"

#include "export/SafeFile.h"
#include "flatten/Wearers.h"

#include <algorithm>

Result<PadLayout> LayoutOfTexture(const std::vector<DressedModel>& models,
                                  const std::string& texture, TextureSource& textures) {
    if (models.empty() || !models.front().model)
        return Error{"", "", "no model to take the layout from", ErrorKind::Failed};
    const DressedModel& main = models.front();
    TemplateRequest request;
    request.texture = texture;
    request.skin = main.skin;
    const Result<TemplatePlan> planned = PlanTemplate(*main.model, request, textures);
    if (!planned.ok())
        return planned.error();
    const TemplatePlan& plan = planned.value();
    PadLayout layout;
    layout.worn = plan.worn.front();
    for (size_t i = 0; i < plan.surfaces.size(); ++i) {
        layout.records.push_back(plan.surfaces[i]);
        layout.parts.push_back(FileNameOf(main.model->path) + ": " + plan.surfaces[i]->name);
    }
    // Other models wear the texture when their surface's file is the same one.
    const std::string identity = TextureIdentity(layout.worn);
    for (size_t m = 1; m < models.size(); ++m) {
        const DressedModel& other = models[m];
        if (!other.model)
            continue;
        for (const Surface& surface : other.model->surfaces)
            if (TextureIdentity(textures.Locate(*other.model, surface, other.skin)) == identity) {
                layout.records.push_back(&surface);
                layout.parts.push_back(FileNameOf(other.model->path) + ": " + surface.name);
            }
    }
    return layout;
}

std::vector<uint8_t> PadMask(const PadLayout& layout, const TextureImage& painted) {
    return IslandMask(layout.records, WrapMode::Repeat, painted.width, painted.height);
}

namespace {

Status Covered(const std::vector<uint8_t>& mask, const std::string& paintedName) {
    if (std::none_of(mask.begin(), mask.end(), [](uint8_t m) { return m != 0; }))
        return Error{"", paintedName,
                     "no face of the layout covers any of its texels, so there is nothing to pad "
                     "from; check that the model wears this texture"};
    return Success();
}

} // namespace

Result<PaddedTexture> PadWithLayout(const PadLayout& layout, const TextureImage& painted,
                                    const std::string& paintedName, int band) {
    const std::vector<uint8_t> mask = PadMask(layout, painted);
    if (const Status covered = Covered(mask, paintedName); !covered.ok())
        return covered.error();
    return PadTexture(painted, mask, band);
}

Result<BleedReport> CheckBleedWithLayout(const PadLayout& layout, const TextureImage& painted,
                                         const std::string& paintedName, int band) {
    const std::vector<uint8_t> mask = PadMask(layout, painted);
    if (const Status covered = Covered(mask, paintedName); !covered.ok())
        return covered.error();
    return CheckBleed(painted, mask, band);
}

Result<PaddedTexture> PadModelTexture(const Model& model, const Skin* skin,
                                      const std::string& texture, const TextureImage& painted,
                                      int band, TextureSource& textures) {
    const Result<PadLayout> layout = LayoutOfTexture({{&model, skin}}, texture, textures);
    if (!layout.ok())
        return layout.error();
    return PadWithLayout(layout.value(), painted, texture, band);
}
