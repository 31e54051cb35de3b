#include "flatten/Sheet.h"

#include "model/NativeFile.h"

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::string Slashed(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Beside the sheet's player (or model) a file name says enough on a page a
// few hundred pixels wide; from elsewhere, the whole game path.
std::string Label(const std::string& texture, const std::string& of, int width, int height) {
    const fs::path file = native::PathOf(Slashed(texture));
    const std::string folder = LowerCase(native::Utf8Of(file.parent_path()));
    const bool beside =
        !of.empty() &&
        (folder == LowerCase(Slashed(of)) ||
         folder == LowerCase(native::Utf8Of(native::PathOf(Slashed(of)).parent_path())));
    return (beside ? native::Utf8Of(file.filename()) : native::Utf8Of(file)) + "  " +
           std::to_string(width) + "x" + std::to_string(height);
}

} // namespace

SheetPlan PlanSheet(const WearerScan& scan, const std::vector<const WornFile*>& textures,
                    ModelShelf& shelf, GameTextureSource& source, const SheetOptions& options) {
    SheetPlan plan;
    for (const WornFile* texture : textures) {
        SheetPage page;
        page.style = options.style;
        page.style.underlay = nullptr;
        if (options.sizeFromTexture || options.underlay) {
            std::string problem =
                "cannot find the texture \"" + texture->texture + "\": " + texture->problem;
            std::shared_ptr<const TextureImage> picture;
            if (!texture->file.empty())
                picture = source.Picture(texture->file, problem);
            if (!picture)
                plan.problems.push_back(problem);
            if (picture && options.sizeFromTexture) {
                page.style.width = picture->width;
                page.style.height = picture->height;
            }
            if (picture && options.underlay) {
                page.style.underlay = picture.get();
                page.style.underlayOpacity = options.underlayOpacity;
                plan.pictures.push_back(std::move(picture));
            }
        }
        plan.drawn.push_back(GatherWearers(scan, *texture, shelf));
        page.records = plan.drawn.back().records;
        page.style.runs = plan.drawn.back().runs;
        page.label = Label(texture->texture, options.of, page.style.width, page.style.height);
        plan.pages.push_back(std::move(page));
        plan.textures.push_back(texture);
    }
    return plan;
}
