// Shading baked from the model into pictures at a texture's texels:
// MODEL --bake ao,light,... [--texture NAME] [--bake-rays N] [--bake-size N]
// -o OUT.png; several layers go to OUT_<layer>.png.
#include "bake/Bake.h"
#include "cli/Commands.h"
#include "cli/Dress.h"
#include "export/PngTemplate.h"
#include "export/SafeFile.h"
#include "export/TemplateFile.h"
#include "game/ModelGame.h"
#include "model/NativeFile.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;

// The model as the game shows it: a player's parts joined at their tags, in
// their first frames; anything else alone.
std::vector<ScenePart> SceneOf(const Dressed& d, std::string& problem) {
    const std::shared_ptr<const Model> main(std::shared_ptr<const Model>{}, &d.opened.model);
    if (d.ownPart < 0)
        return SingleModel(main, 0);
    std::array<std::shared_ptr<const Model>, 3> parts = d.player;
    parts[size_t(d.ownPart)] = main;
    return BakePlayerScene(main, parts, &problem);
}

// "OUT.png" for one layer; "OUT_ao.png", "OUT_light.png" for several.
std::string LayerFile(const std::string& out, BakeLayer layer, bool several) {
    if (!several)
        return out;
    const fs::path path = native::PathOf(out);
    return native::Utf8Of(path.parent_path() / native::PathOf(native::Utf8Of(path.stem()) + "_" +
                                                              InfoOf(layer).name + ".png"));
}

bool ParseSide(const std::string& text, int& width, int& height) {
    int w = 0, h = 0;
    char x = 0, rest = 0;
    const int n = std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &rest);
    if (n == 1)
        h = w;
    else if (n != 3 || (x != 'x' && x != 'X'))
        return false;
    if (w < 1 || h < 1 || w > kMaxBakeSide || h > kMaxBakeSide)
        return false;
    width = w, height = h;
    return true;
}

} // namespace

int BakeCommand(const FlattenRequest& q, const std::string& list, int rays, const std::string& size,
                Console& io) {
    if (q.model.empty())
        return Usage("no model given: --bake shades MODEL's own faces", io);
    const Result<std::vector<BakeLayer>> layers = ParseBakeLayers(list);
    if (!layers.ok())
        return Usage(layers.error().reason, io);
    if (rays < 1 || rays > kMaxOcclusionRays)
        return Usage(
            "--bake-rays takes 1 to " + std::to_string(kMaxOcclusionRays) + " rays a texel", io);
    int width = 0, height = 0;
    if (!size.empty() && !ParseSide(size, width, height))
        return Usage("--bake-size takes N or WxH, 1 to " + std::to_string(kMaxBakeSide) +
                         " texels a side, not \"" + size + "\"",
                     io);
    if (q.out.empty())
        return Usage("no output file given: add -o OUT.png, or a layered template .psd or .ora",
                     io);
    const TemplateFormat format = FormatOfPath(q.out);
    const bool layered = format == TemplateFormat::Psd || format == TemplateFormat::Ora;
    if (format != TemplateFormat::Png && !layered)
        return Usage("a bake is written as pictures (.png) or into a layered template (.psd, "
                     ".ora), not \"" +
                         q.out + "\"",
                     io);
    TemplateStyle style;
    if (layered) {
        if (const std::string problem = TemplateOf(q, style); !problem.empty())
            return Usage(problem, io);
        if (q.sizeGiven && !size.empty())
            return Usage("--size and --bake-size both set the template's size: give one", io);
    }
    const bool several = !layered && layers.value().size() > 1;
    for (const BakeLayer layer : layers.value())
        if (SameFile(LayerFile(q.out, layer, several), q.model))
            return Usage("the output \"" + q.out + "\" is the model itself; choose another name",
                         io);

    Dressed d;
    if (const int status = Dress(q, d, io); status != kOk)
        return status;
    std::string texture;
    if (const int status = ChooseTexture(q, d, "", texture, io); status != kOk)
        return status;
    const Result<PadLayout> layout = LayoutOfTexture(d.models, texture, *d.textures);
    if (!layout.ok()) {
        Say(io, layout.error().reason + "; 'gridwright-flatten --textures " + q.model +
                    "' shows the textures it wears.");
        return kUsage;
    }
    if (layered && q.sizeGiven) {
        width = style.width;
        height = style.height;
    }
    if (width == 0) {
        // The texture's own size, so the bake lies texel on texel over it.
        std::string problem;
        const std::shared_ptr<const TextureImage> picture =
            layout.value().worn.file.empty()
                ? nullptr
                : d.textures->Picture(layout.value().worn.file, problem);
        width = picture ? picture->width : kDefaultBakeSide;
        height = picture ? picture->height : kDefaultBakeSide;
        if (!picture)
            Say(io, "note: the texture's file was not found; baking at " + std::to_string(width) +
                        "x" + std::to_string(height) + " (--bake-size N sets it).");
    }

    std::string problem;
    BakeRequest request;
    request.parts = SceneOf(d, problem);
    if (!problem.empty())
        Say(io, "note: " + problem + "; the bake goes on without what could not be joined.");
    request.records = layout.value().records;
    request.width = width;
    request.height = height;
    request.layers = layers.value();
    request.occlusion.rays = rays;
    // A progress line on a terminal only: a script's log gets the result.
    const bool terminal = isatty(fileno(io.err)) != 0;
    const auto started = std::chrono::steady_clock::now();
    if (terminal)
        request.occlusion.progress = [&io](double done) {
            std::fprintf(io.err, "\rgridwright-flatten: ambient occlusion %3d%%",
                         int(std::lround(done * 100)));
            std::fflush(io.err);
        };
    const Result<BakeResult> baked = Bake(request);
    if (terminal && request.occlusion.progress)
        std::fputs("\r\033[K", io.err);
    if (!baked.ok()) {
        Say(io, "cannot bake " + texture + ": " + baked.error().reason + ".");
        return kCannotLoad;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const BakeResult& r = baked.value();
    if (layered) {
        // The template of the texture's layout at the bake's size, the baked
        // layers just above its texture.
        style.width = width;
        style.height = height;
        std::shared_ptr<const TextureImage> underlay;
        if (q.underlay && !layout.value().worn.file.empty()) {
            std::string why;
            underlay = d.textures->Picture(layout.value().worn.file, why);
            if (!underlay)
                Say(io, "note: no texture under the template: " + why + ".");
            style.underlay = underlay.get();
        }
        // The same writer as any template's, the window's too.
        style.baked = std::make_shared<const std::vector<LayerImage>>(BakedTemplateLayers(r));
        if (const Status written = WriteTemplateFile(q.out, request.records, style);
            !written.ok()) {
            Say(io, written.error().Message());
            return kCannotWrite;
        }
        std::fprintf(io.out, "%s\n", TerminalText(q.out).c_str());
    }
    // Everything encoded before anything is written: a layer that cannot be
    // leaves no others behind.
    std::vector<std::pair<std::string, std::string>> files;
    for (const BakedLayer& layer : r.layers) {
        if (layered)
            break;
        std::string bytes = EncodePng(layer.image);
        if (bytes.empty()) {
            Say(io,
                "cannot encode \"" + LayerFile(q.out, layer.layer, several) + "\": out of memory.");
            return kCannotWrite;
        }
        files.emplace_back(LayerFile(q.out, layer.layer, several), std::move(bytes));
    }
    for (const auto& [path, bytes] : files)
        if (const Status written = WriteFileSafely(path, bytes); !written.ok()) {
            Say(io, written.error().Message());
            return kCannotWrite;
        }
    if (r.unplaced)
        Say(io, "note: " + std::to_string(r.unplaced) +
                    " surfaces wearing the texture are not part of the model baked, and are left "
                    "out (padded over).");
    for (const auto& [path, bytes] : files)
        std::fprintf(io.out, "%s\n", TerminalText(path).c_str());
    std::fprintf(
        io.out,
        "baked %s (%dx%d, %zu surfaces) in %.2f s: %zu texels shaded (%zu points), %zu never seen "
        "(%.1f%%), median density %.3g texels per square unit\n",
        TerminalText(texture).c_str(), width, height, request.records.size(), seconds, r.texels,
        r.samples, r.neverSeen, r.texels ? 100.0 * double(r.neverSeen) / double(r.texels) : 0.0,
        r.medianDensity);
    return FinishOutput(io);
}
