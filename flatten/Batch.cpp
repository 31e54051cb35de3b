#include "flatten/Batch.h"

#include "flatten/GameTextureSource.h"
#include "flatten/TemplateRequest.h"
#include "game/OpenModel.h"
#include "model/JsonText.h"
#include "model/Md3Reader.h"
#include "model/ModelFormats.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fnmatch.h>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace {

namespace fs = std::filesystem;

// What one model asks for: an entry per texture of each skin chosen, its
// output not yet named; or an entry with the model's error.
std::vector<BatchEntry> ModelJobs(const GameFiles& files, const GameFile& file,
                                  const BatchOptions& options, std::vector<Skin>& skins) {
    std::vector<BatchEntry> entries;
    auto failed = [&](const std::string& skin, const std::string& why) {
        BatchEntry e;
        e.model = file.gamePath;
        e.skin = skin;
        e.error = why;
        entries.push_back(e);
    };
    Result<Model> loaded = ReadGameModel(files, file);
    if (loaded.ok() && options.uvSet >= 0)
        UseUvSet(loaded.value(), options.uvSet); // a model without that set keeps its own
    if (!loaded.ok()) {
        failed("", loaded.error().Message());
        return entries;
    }
    const Model& model = loaded.value();
    if (model.surfaces.empty()) {
        failed("", "it has no surfaces (it holds only tags or frames)");
        return entries;
    }
    // The skins to go through: the default (or none), every one, or one named.
    // Read once here for every template of the model.
    skins = GameSkins(files, file.gamePath, &model);
    std::vector<const Skin*> chosen;
    if (options.skin == "all") {
        for (const Skin& s : skins)
            chosen.push_back(&s);
    } else {
        const std::string wanted = options.skin.empty() ? "default" : options.skin;
        for (const Skin& s : skins)
            if (s.name == wanted)
                chosen.push_back(&s);
        if (chosen.empty() && !options.skin.empty()) {
            failed(options.skin, "it has no skin \"" + options.skin + "\"");
            return entries;
        }
    }
    if (chosen.empty())
        chosen.push_back(nullptr);
    for (const Skin* skin : chosen) {
        if (skin && !skin->problem.empty()) {
            failed(skin->name,
                   "the skin file \"" + skin->path + "\" cannot be used: " + skin->problem);
            continue;
        }
        // Each texture once, in order of first wear.
        std::vector<std::string> keys;
        for (const Surface& s : model.surfaces) {
            const std::string worn = WornTexture(s, skin).name;
            const std::string key = TextureKey(worn);
            if (key.empty() || std::find(keys.begin(), keys.end(), key) != keys.end())
                continue;
            keys.push_back(key);
            BatchEntry e;
            e.model = file.gamePath;
            e.skin = skin ? skin->name : "";
            e.texture = worn;
            entries.push_back(e);
        }
    }
    return entries;
}

// Draws and writes one template.
void WriteOne(const GameFiles& files, const GameFile& file, const std::vector<Skin>& skins,
              GameTextureSource& source, const BatchOptions& options, BatchEntry& e) {
    Result<Model> loaded = ReadGameModel(files, file);
    if (loaded.ok() && options.uvSet >= 0)
        UseUvSet(loaded.value(), options.uvSet); // a model without that set keeps its own
    if (!loaded.ok()) {
        e.error = loaded.error().Message();
        return;
    }
    const Model& model = loaded.value();
    const Skin* skin = nullptr;
    for (const Skin& s : skins)
        if (!e.skin.empty() && s.name == e.skin)
            skin = &s;
    TemplateRequest request;
    request.texture = e.texture;
    request.skin = skin;
    request.style = options.style;
    request.textureSize = options.sizeFromTexture;
    request.underlay = options.underlay;
    request.underlayOpacity = options.underlayOpacity;
    const Result<TemplatePlan> planned = PlanTemplate(model, request, source);
    if (!planned.ok()) {
        e.error = planned.error().reason;
        return;
    }
    const TemplatePlan& plan = planned.value();
    for (const Surface* s : plan.surfaces)
        e.surfaces.push_back(s->name);
    e.width = plan.style.width;
    e.height = plan.style.height;
    if (options.sizeFromTexture && plan.texturesRead == 0) {
        e.error =
            plan.warnings.empty() ? "its texture could not be read" : plan.warnings.front().reason;
        return;
    }
    if (!plan.sizeConflict.empty()) {
        e.error = "its surfaces wear textures of different sizes: " + plan.sizeConflict;
        return;
    }
    std::error_code error;
    const fs::path folder = fs::path(e.output).parent_path();
    fs::create_directories(folder, error);
    if (error) {
        e.error = "Cannot make the folder \"" + folder.string() + "\": " + error.message() + ".";
        return;
    }
    if (const Status written = WriteTemplateFile(e.output, plan.surfaces, plan.style);
        !written.ok())
        e.error = written.error().Message();
}

// Runs work(i) for i in [0, count) on `jobs` threads.
template <typename Work> void InParallel(size_t count, int jobs, Work&& work) {
    std::atomic<size_t> next{0};
    auto run = [&] {
        for (size_t i; (i = next++) < count;)
            work(i);
    };
    const size_t wanted = std::min<size_t>(size_t(std::clamp(jobs, 1, kMaxBatchJobs)), count);
    std::vector<std::thread> threads;
    try {
        for (size_t t = 1; t < wanted; ++t)
            threads.emplace_back(run);
    } catch (const std::system_error&) {
        // The system gives no more threads: those started share the work.
    }
    run();
    for (std::thread& t : threads)
        t.join();
}

} // namespace

std::string GamePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string BatchFileName(const std::string& texture, TemplateFormat format) {
    std::string name;
    std::string part;
    auto flush = [&] {
        if (!part.empty() && part != "." && part != "..")
            name += (name.empty() ? "" : "/") + part;
        part.clear();
    };
    for (const char c : texture) {
        if (c == '/' || c == '\\') {
            flush();
            continue;
        }
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        part += plain ? c : '_';
    }
    flush();
    if (name.empty())
        name = "texture";
    const auto slash = name.rfind('/'), dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash) && dot > 0)
        name.erase(dot);
    return name + "." + ExtensionOf(format);
}

std::vector<BatchEntry> RunBatch(const GameFiles& files, const GameTextures& textures,
                                 const BatchOptions& options) {
    std::vector<GameFile> models;
    const std::string pattern = LowerCase(options.glob.empty() ? "*" : options.glob);
    for (const GameFile& file : ListModels(files))
        if (fnmatch(pattern.c_str(), LowerCase(file.gamePath).c_str(), 0) == 0)
            models.push_back(file);
    textures.problems(); // the shader scripts, read once before the threads share them
    // What each model asks for, read on every thread.
    std::vector<std::vector<BatchEntry>> asked(models.size());
    std::vector<std::vector<Skin>> skins(models.size());
    InParallel(models.size(), options.jobs,
               [&](size_t i) { asked[i] = ModelJobs(files, models[i], options, skins[i]); });
    // Names, in one pass so that they do not depend on the threads: a texture
    // worn by several models (or skins) gets the model's name (and the skin's)
    // after the first.
    std::vector<BatchEntry> entries;
    std::vector<size_t> modelOf;
    // Every name is checked against those taken, without regard to case
    // (a folder shared with a system that ignores it must not merge two):
    // models of one name wearing one texture get a number after.
    std::set<std::string> taken;
    for (size_t m = 0; m < asked.size(); ++m)
        for (BatchEntry& e : asked[m]) {
            if (e.error.empty()) {
                const std::string first = BatchFileName(e.texture, options.format);
                const std::string dot = "." + std::string(ExtensionOf(options.format));
                const std::string stem = first.substr(0, first.size() - dot.size());
                const std::string own = BatchFileName(fs::path(GamePath(e.model)).stem().string() +
                                                          (e.skin.empty() ? "" : "_" + e.skin),
                                                      options.format);
                std::string name = first;
                for (int n = 1; !taken.insert(LowerCase(name)).second; ++n)
                    name = stem + "__" + own.substr(0, own.size() - dot.size()) +
                           (n > 1 ? "_" + std::to_string(n) : "") + dot;
                e.output = (fs::path(options.outDir) / name).string();
            }
            entries.push_back(std::move(e));
            modelOf.push_back(m);
        }
    GameTextureSource source(files, textures, options.cache);
    std::atomic<size_t> done{0};
    InParallel(entries.size(), options.jobs, [&](size_t i) {
        if (entries[i].error.empty())
            WriteOne(files, models[modelOf[i]], skins[modelOf[i]], source, options, entries[i]);
        if (options.progress)
            options.progress(++done, entries.size());
    });
    return entries;
}

std::string ManifestLine(const BatchEntry& e) {
    std::string surfaces = "[";
    for (size_t i = 0; i < e.surfaces.size(); ++i)
        surfaces += (i ? ", " : "") + JsonString(e.surfaces[i]);
    surfaces += "]";
    return "{\"model\": " + JsonString(GamePath(e.model)) + ", \"skin\": " + JsonString(e.skin) +
           ", \"surfaces\": " + surfaces + ", \"texture\": " + JsonString(GamePath(e.texture)) +
           ", \"output\": " + JsonString(e.output) + ", \"size\": [" + std::to_string(e.width) +
           ", " + std::to_string(e.height) +
           "], \"error\": " + (e.error.empty() ? "null" : JsonString(e.error)) + "}";
}
