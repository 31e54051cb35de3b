// Any bytes as a model file: the reader must refuse or load them, and every
// consumer must then draw what was loaded, without a fault.
#include "export/EpsTemplate.h"
#include "export/SvgTemplate.h"
#include "export/TemplateFile.h"
#include "fuzz/BakeSmall.h"
#include "model/Md3Reader.h"
#include "model/Model.h"
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"
#include "scene/Scene.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Result<Model> loaded = ReadMd3({"fuzz.md3", Bytes::Copy(data, size)});
    if (!loaded.ok())
        return 0;
    const Model& model = loaded.value();
    // What every reader promises: corners inside the vertices, a first
    // frame of one position and normal per vertex or none.
    for (const Surface& r : model.surfaces) {
        for (const Triangle& t : r.triangles)
            for (const int32_t c : {t.a, t.b, t.c})
                if (c < 0 || size_t(c) >= r.u.size())
                    __builtin_trap();
        if (r.u.size() != r.v.size() ||
            (!r.positions.empty() && r.positions.size() != r.u.size()) ||
            r.normals.size() != r.positions.size())
            __builtin_trap();
    }
    (void)model.Tags(model.FrameCount() - 1);
    for (int i = 0; i < model.SurfaceCount() && i < 4; ++i) {
        const Surface& r = model.surfaces[size_t(i)];
        (void)TextureNameOf(r);
        // The surface's own name as the file name: fuzzed bytes reach the
        // title, which must stay printable PostScript whatever they are.
        const std::string eps =
            BuildEpsText({&r}, PlainStyle(64, 32, WrapMode::Clip), r.name + ".eps", nullptr);
        for (const char c : eps)
            if (c != '\r' && c != '\n' && (c < 0x20 || c > 0x7E))
                __builtin_trap();
        (void)BuildSvgText({&r}, PlainStyle(48, 40, WrapMode::Clip));
        // Every drawing path of the engine, wrapped, on whatever coordinates came.
        TemplateStyle style;
        style.width = 40;
        style.height = 24;
        style.antialias = true;
        style.lineWidth = 2.5;
        style.fill = Rgba{0, 0, 255, 64};
        style.overlaps = true;
        style.seams = Rgba{0, 192, 0, 255};
        style.flipped = Rgba{0, 96, 255, 128};
        style.islands = true;
        style.outline = i % 2 ? Outline::Islands : Outline::All;
        (void)DrawTemplateImage(style, {&r});
        // The name becomes an id and a label: the text must stay well-formed XML.
        for (const char c : BuildSvgText({&r}, style))
            if (c != '\n' && static_cast<unsigned char>(c) < 0x20)
                __builtin_trap();
        (void)BuildEpsText({&r}, style, "f.eps", nullptr);
        if (i == 0) // every layer apart, as the layered files take them
            (void)BuildTemplateBytes({&r}, style, TemplateFormat::Psd, "f");
        (void)DrawLayoutRaster({&r}, 32, 64, WrapMode::Clip);
        (void)FrameOf(model, size_t(i), model.FrameCount() - 1);
    }
    // What the 3D view reads: tags, every vertex placed, a face under a ray.
    const auto shared = std::make_shared<const Model>(model);
    std::vector<ScenePart> parts = JoinPlayer(shared, shared, shared, 0, model.FrameCount());
    if (parts.empty())
        parts = SingleModel(shared, 0);
    OrbitCamera camera;
    camera.Fit(BoundsOf(parts));
    (void)PickFace(parts, camera.RayThrough(20, 20, 40, 40));
    BakeSmall(shared);
    return 0;
}
