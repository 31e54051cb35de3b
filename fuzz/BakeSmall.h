#pragma once
// Every baked layer of whatever a reader loaded, at a small size: the bake
// must refuse or shade it, never fault, and keep its own promises.
#include "bake/Bake.h"

#include <memory>

inline void BakeSmall(const std::shared_ptr<const Model>& model) {
    BakeRequest request;
    request.parts = SingleModel(model, 0);
    for (size_t i = 0; i < model->surfaces.size() && i < 4; ++i)
        request.records.push_back(&model->surfaces[i]);
    request.width = 12;
    request.height = 10;
    for (const BakeLayerInfo& info : BakeLayers())
        request.layers.push_back(info.layer);
    request.occlusion.rays = 3;
    request.occlusion.threads = 1;
    const Result<BakeResult> baked = Bake(request);
    if (!baked.ok())
        return;
    const BakeResult& r = baked.value();
    if (r.layers.size() != request.layers.size() || r.texels > 120 || r.neverSeen > r.texels ||
        r.samples < r.texels)
        __builtin_trap();
    for (const BakedLayer& layer : r.layers)
        if (layer.image.width != 12 || layer.image.height != 10 || layer.image.rgba.size() != 480)
            __builtin_trap();
    (void)BakedTemplateLayers(r);
}
