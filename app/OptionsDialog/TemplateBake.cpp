#include "app/OptionsDialog/TemplateBake.h"

TemplateBake PrepareTemplateBake(const StyledTemplate& styled, ModelTextures& textures,
                                 const std::vector<BakeLayer>& layers, int rays) {
    TemplateBake bake;
    bake.styled = styled;
    if (layers.empty() || styled.surfaces.empty() || !textures.model())
        return bake;
    // The models the template's surfaces belong to first: a part gathered
    // for the texture is the one whose surfaces are drawn.
    std::vector<std::shared_ptr<const Model>> others = styled.models;
    for (const WearingModel& part : textures.PlayerModels())
        if (part.model && part.model != textures.model())
            others.push_back(part.model);
    bake.request.parts = BakeScene(textures.model(), others, &bake.problem);
    bake.request.records = styled.surfaces;
    bake.request.wrap = styled.style.wrap;
    bake.request.width = styled.style.width;
    bake.request.height = styled.style.height;
    bake.request.layers = layers;
    bake.request.occlusion.rays = rays;
    return bake;
}

Result<BakedForTemplate> RunTemplateBake(const TemplateBake& bake) {
    const Result<BakeResult> baked = Bake(bake.request);
    if (!baked.ok())
        return baked.error();
    const BakeResult& r = baked.value();
    if (r.cancelled)
        return Error{"", "", "the bake was cancelled"};
    BakedForTemplate out;
    out.layers = std::make_shared<const std::vector<LayerImage>>(BakedTemplateLayers(r));
    out.unplaced = r.unplaced;
    out.neverSeen = r.neverSeen;
    out.texels = r.texels;
    return out;
}
