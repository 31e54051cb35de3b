#include "flatten/TemplateRequest.h"

#include "flatten/Wearers.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

int FindSurface(const Model& model, const std::string& wanted) {
    const int count = model.SurfaceCount();
    // Digits below the count are an index, so a surface named "7" is still
    // reachable by its name when there are fewer surfaces.
    if (AllDigits(wanted) && wanted.size() < 6) {
        const int index = std::atoi(wanted.c_str());
        if (index < count)
            return index;
    }
    for (int i = 0; i < count; ++i)
        if (model.surfaces[size_t(i)].name == wanted)
            return i;
    for (int i = 0; i < count; ++i)
        if (LowerCase(model.surfaces[size_t(i)].name) == LowerCase(wanted))
            return i;
    return -1;
}

Result<TemplatePlan> PlanTemplate(const Model& model, const TemplateRequest& request,
                                  TextureSource& textures) {
    TemplatePlan plan;
    auto add = [&plan](int index) {
        if (std::find(plan.indices.begin(), plan.indices.end(), index) == plan.indices.end())
            plan.indices.push_back(index);
    };
    for (const std::string& wanted : request.surfaces) {
        const int index = FindSurface(model, wanted);
        if (index < 0)
            return Error{"", model.path,
                         "\"" + model.path + "\" has " +
                             (AllDigits(wanted) ? "no surface " + wanted + " (it has " +
                                                      std::to_string(model.SurfaceCount()) +
                                                      ") and no surface named \"" + wanted + "\""
                                                : "no surface named \"" + wanted + "\""),
                         ErrorKind::NoSuchSurface};
        add(index);
    }
    if (!request.texture.empty()) {
        const size_t before = plan.indices.size();
        for (int i = 0; i < model.SurfaceCount(); ++i) {
            const Surface& s = model.surfaces[size_t(i)];
            if (SameTexture(WornTexture(s, request.skin).name, request.texture))
                add(i);
        }
        if (plan.indices.size() == before)
            return Error{"", model.path,
                         "no surface of \"" + model.path + "\" wears the texture \"" +
                             request.texture + "\"",
                         ErrorKind::NoSuchTexture};
    }
    if (request.all)
        for (int i = 0; i < model.SurfaceCount(); ++i)
            add(i);
    if (plan.indices.empty() && model.SurfaceCount() > 0)
        add(0);

    for (int index : plan.indices) {
        const Surface& s = model.surfaces[size_t(index)];
        plan.surfaces.push_back(&s);
        plan.worn.push_back(textures.Locate(model, s, request.skin));
        if (!LayoutHasArea(s))
            plan.warnings.push_back(Error{"", "",
                                          "the layout of surface " + std::to_string(index) + " \"" +
                                              s.name +
                                              "\" has no area (its texture coordinates lie on one "
                                              "point or one line), so the template shows nothing "
                                              "of it",
                                          ErrorKind::EmptyLayout});
    }
    plan.style = request.style;
    plan.style.underlay = nullptr;
    // Faces overlap only faces of the same texture file: surfaces drawn
    // together that wear different files share no pixels of paint.
    std::map<std::string, int> files;
    std::vector<int> sampled;
    for (const SurfaceTexture& worn : plan.worn)
        sampled.push_back(files.emplace(TextureIdentity(worn), int(files.size())).first->second);
    if (files.size() > 1)
        plan.style.sampled = std::move(sampled);
    if (!request.underlay && !request.textureSize)
        return plan;

    // The textures the drawn surfaces wear, each file once, the primary's first.
    std::vector<size_t> order(plan.worn.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    const auto primary = std::find(plan.indices.begin(), plan.indices.end(), request.primary);
    if (primary != plan.indices.end())
        std::rotate(order.begin(), order.begin() + (primary - plan.indices.begin()),
                    order.begin() + (primary - plan.indices.begin()) + 1);
    std::vector<std::pair<std::string, std::shared_ptr<const TextureImage>>> found;
    std::vector<std::string> missing;
    for (size_t k : order) {
        const SurfaceTexture& t = plan.worn[k];
        if (t.file.empty()) {
            if (std::find(missing.begin(), missing.end(), t.name) == missing.end()) {
                missing.push_back(t.name);
                plan.warnings.push_back(
                    Error{"", "", "Cannot find the texture \"" + t.name + "\": " + t.problem});
            }
            continue;
        }
        if (std::any_of(found.begin(), found.end(),
                        [&](const auto& f) { return f.first == t.file; }))
            continue;
        std::string problem;
        if (std::shared_ptr<const TextureImage> picture = textures.Picture(t.file, problem)) {
            if (!picture->note.empty())
                plan.warnings.push_back(Error{"", "", "\"" + t.file + "\": " + picture->note});
            found.emplace_back(t.file, std::move(picture));
        } else if (std::find(missing.begin(), missing.end(), t.file) == missing.end()) {
            missing.push_back(t.file);
            plan.warnings.push_back(Error{"", "", problem});
        }
    }
    plan.texturesRead = int(found.size());
    if (request.textureSize && !found.empty()) {
        const TextureImage& first = *found.front().second;
        bool same = true;
        std::string sizes;
        for (const auto& [file, image] : found) {
            same = same && image->width == first.width && image->height == first.height;
            sizes += (sizes.empty() ? "" : ", ") + file + " (" + std::to_string(image->width) +
                     "x" + std::to_string(image->height) + ")";
        }
        if (same) {
            plan.style.width = first.width;
            plan.style.height = first.height;
        } else {
            plan.sizeConflict = sizes;
        }
    }
    if (request.underlay && !found.empty()) {
        plan.texture = found.front().second;
        plan.style.underlay = plan.texture.get();
        plan.style.underlayOpacity = request.underlayOpacity;
        if (found.size() > 1)
            plan.warnings.push_back(Error{
                "", "",
                "the surfaces drawn wear " + std::to_string(found.size()) +
                    " textures; the one under the template is \"" + found.front().first + "\""});
    }
    return plan;
}
