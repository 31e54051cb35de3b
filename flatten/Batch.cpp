#include "flatten/Batch.h"

#include "flatten/GameTextureSource.h"
#include "flatten/Sheet.h"
#include "flatten/TemplateRequest.h"
#include "flatten/Wearers.h"
#include "game/ModelGame.h"
#include "game/OpenModel.h"
#include "model/JsonText.h"
#include "model/Md3Reader.h"
#include "model/ModelFormats.h"
#include "model/NativeFile.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace {

namespace fs = std::filesystem;

// What a texture's template is drawn from, settled before any is drawn, so
// that two textures drawn from the same (the same surfaces at the same
// size: a skin's second colouring of one layout) make one file.
struct Job {
    const WornFile* texture = nullptr; // null for a model's failure
    std::string inputs;                // the surfaces, the size and the picture under them
    size_t sameAs = SIZE_MAX;          // the entry whose file this one's would equal
};

// The texture's size (when the template takes it) and picture (when it goes
// underneath), and what the template is drawn from.
void Settle(GameTextureSource& source, const BatchOptions& options, Job& job, BatchEntry& e) {
    const WornFile& texture = *job.texture;
    // Let go at once: the cache's budget, not the jobs waiting, keeps pictures.
    std::shared_ptr<const TextureImage> picture;
    e.width = options.style.width;
    e.height = options.style.height;
    if (options.sizeFromTexture || options.underlay) {
        std::string problem =
            "Cannot find the texture \"" + texture.texture + "\": " + texture.problem;
        if (!texture.file.empty())
            picture = source.Picture(texture.file, problem);
        if (!picture && options.sizeFromTexture) {
            e.width = e.height = 0;
            e.error = problem;
            return;
        }
    }
    if (picture && options.sizeFromTexture) {
        e.width = picture->width;
        e.height = picture->height;
    }
    for (const TextureWearer& w : texture.wearers)
        job.inputs += std::to_string(w.model) + ":" + std::to_string(w.surface) + ",";
    job.inputs += " " + std::to_string(e.width) + "x" + std::to_string(e.height);
    if (options.underlay && picture)
        job.inputs += " " + texture.file;
}

// Draws and writes one texture's template, over every surface that wears it.
void WriteOne(const WearerScan& scan, const Job& job, ModelShelf& shelf, GameTextureSource& source,
              const BatchOptions& options, BatchEntry& e) {
    const WornTemplate gathered = GatherWearers(scan, *job.texture, shelf);
    if (!gathered.unread.empty()) {
        e.error = GamePath(scan.models[gathered.unread.front().first].gamePath) +
                  " cannot be read again: " + gathered.unread.front().second;
        return;
    }
    TemplateStyle style = options.style;
    style.width = e.width;
    style.height = e.height;
    style.underlay = nullptr;
    style.runs = gathered.runs;
    std::shared_ptr<const TextureImage> picture;
    if (options.underlay && !job.texture->file.empty()) {
        std::string problem;
        picture = source.Picture(job.texture->file, problem);
        if (!picture && options.sizeFromTexture) {
            e.error = problem; // it was read a moment ago: the file changed meanwhile
            return;
        }
    }
    if (picture) {
        style.underlay = picture.get();
        style.underlayOpacity = options.underlayOpacity;
    }
    std::error_code error;
    const fs::path folder = native::PathOf(e.output).parent_path();
    fs::create_directories(folder, error);
    if (error) {
        e.error =
            "Cannot make the folder \"" + native::Utf8Of(folder) + "\": " + error.message() + ".";
        return;
    }
    if (const Status written = WriteTemplateFile(e.output, gathered.records, style); !written.ok())
        e.error = written.error().Message();
}

// The entry of a texture, before it is drawn: who wears it.
BatchEntry EntryOf(const WearerScan& scan, const WornFile& texture) {
    BatchEntry e;
    e.texture = texture.texture;
    const TextureWearer& first = texture.wearers.front();
    e.model = scan.models[first.model].gamePath;
    e.skin = first.skins.front();
    for (const TextureWearer& w : texture.wearers) {
        if (w.model == first.model)
            e.surfaces.push_back(w.surfaceName);
        e.wearers.push_back({scan.models[w.model].gamePath, w.surfaceName, w.skins});
    }
    return e;
}

// What a model's sheet is: its player's folder when it is a player's part
// (lower, upper, head), else itself.
std::string SheetOf(const std::string& gamePath) {
    const fs::path path = native::PathOf(GamePath(gamePath));
    if (PlayerPartOf(gamePath) >= 0)
        return native::Utf8Of(path.parent_path());
    return native::Utf8Of((path.parent_path() / path.stem()));
}

// A sheet per player and per other model, of every texture they wear that
// made a template, each page drawn as its template was.
void WriteSheets(const WearerScan& scan, ModelShelf& shelf, GameTextureSource& source,
                 const BatchOptions& options, const std::vector<Job>& jobs,
                 std::set<std::string>& taken, std::vector<BatchEntry>& entries) {
    std::vector<std::string> order;
    std::map<std::string, std::vector<size_t>> pagesOf; // sheet -> entries
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!jobs[i].texture || !entries[i].error.empty())
            continue;
        std::set<std::string> on;
        for (const TextureWearer& w : jobs[i].texture->wearers)
            on.insert(SheetOf(scan.models[w.model].gamePath));
        for (const std::string& sheet : on) {
            if (pagesOf.find(sheet) == pagesOf.end())
                order.push_back(sheet);
            pagesOf[sheet].push_back(i);
        }
    }
    std::vector<BatchEntry> sheets(order.size());
    for (size_t k = 0; k < order.size(); ++k) {
        const std::string first = BatchFileName(order[k] + "_sheet", options.format);
        const std::string dot = "." + std::string(ExtensionOf(options.format));
        std::string name = first;
        for (int n = 2; !taken.insert(LowerCase(name)).second; ++n)
            name = first.substr(0, first.size() - dot.size()) + "_" + std::to_string(n) + dot;
        sheets[k].output = native::Utf8Of((native::PathOf(options.outDir) / native::PathOf(name)));
    }
    InParallel(order.size(), options.jobs, [&](size_t k) {
        BatchEntry& e = sheets[k];
        e.sheet = true;
        e.model = order[k];
        std::vector<const WornFile*> textures;
        for (const size_t i : pagesOf[order[k]]) {
            textures.push_back(jobs[i].texture);
            e.pages.push_back(entries[i].texture);
            for (const BatchWearer& w : entries[i].wearers)
                if (SheetOf(w.model) == order[k])
                    e.wearers.push_back(w);
        }
        SheetOptions drawn;
        drawn.style = options.style;
        drawn.sizeFromTexture = options.sizeFromTexture;
        drawn.underlay = options.underlay;
        drawn.underlayOpacity = options.underlayOpacity;
        drawn.of = order[k];
        const SheetPlan plan = PlanSheet(scan, textures, shelf, source, drawn);
        const std::vector<SheetPage>& pages = plan.pages;
        const Result<SheetLayout> layout = LayOutSheet(pages);
        if (layout.ok()) {
            e.width = layout.value().width;
            e.height = layout.value().height;
        }
        std::error_code error;
        fs::create_directories(native::PathOf(e.output).parent_path(), error);
        if (const Status written = WriteSheetFile(e.output, pages); !written.ok())
            e.error = written.error().Message();
    });
    for (BatchEntry& e : sheets)
        entries.push_back(std::move(e));
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
    std::vector<WearingModel> models;
    const std::string pattern = LowerCase(options.glob.empty() ? "*" : options.glob);
    for (const GameFile& file : ListModels(files))
        if (native::MatchesPattern(pattern, LowerCase(file.gamePath)))
            models.push_back({file.gamePath, file, nullptr});
    GameTextureSource source(files, textures, options.cache);
    const WearerScan scan = ScanWearers(std::move(models), source, SkinChoice::Of(options.skin),
                                        options.uvSet, options.jobs);
    // Entries in model order: a model's failures, then the textures it is the
    // first to wear.
    std::vector<BatchEntry> entries;
    std::vector<Job> jobs;
    size_t nextFailure = 0, nextTexture = 0;
    for (size_t m = 0; m < scan.models.size(); ++m) {
        for (; nextFailure < scan.failures.size() && scan.failures[nextFailure].model == m;
             ++nextFailure) {
            const WearFailure& f = scan.failures[nextFailure];
            BatchEntry e;
            e.model = scan.models[m].gamePath;
            e.skin = f.skin;
            e.error = f.error;
            entries.push_back(std::move(e));
            jobs.emplace_back();
        }
        for (; nextTexture < scan.textures.size() &&
               scan.textures[nextTexture].wearers.front().model == m;
             ++nextTexture) {
            entries.push_back(EntryOf(scan, scan.textures[nextTexture]));
            jobs.emplace_back().texture = &scan.textures[nextTexture];
        }
    }
    InParallel(entries.size(), options.jobs, [&](size_t i) {
        if (jobs[i].texture)
            Settle(source, options, jobs[i], entries[i]);
    });
    // Names, in one pass so that they do not depend on the threads. Every
    // name is checked against those taken without regard to case (a folder
    // shared with a system that ignores it must not merge two): two files
    // of one name (base.tga and base.jpg) give the second the name of the
    // model that first wears it (and the skin), then a number.
    std::set<std::string> taken;
    std::map<std::string, size_t> drawnFrom;
    for (size_t i = 0; i < entries.size(); ++i) {
        BatchEntry& e = entries[i];
        if (!jobs[i].texture)
            continue;
        // A texture that cannot be drawn is still named: the manifest says
        // where its template would have been.
        if (e.error.empty())
            if (const auto [at, added] = drawnFrom.emplace(jobs[i].inputs, i); !added) {
                jobs[i].sameAs = at->second;
                e.output = entries[at->second].output;
                continue;
            }
        const std::string first = BatchFileName(e.texture, options.format);
        const std::string dot = "." + std::string(ExtensionOf(options.format));
        const std::string stem = first.substr(0, first.size() - dot.size());
        const std::string own =
            BatchFileName(native::Utf8Of(native::PathOf(GamePath(e.model)).stem()) +
                              (e.skin.empty() ? "" : "_" + e.skin),
                          options.format);
        std::string name = first;
        for (int n = 1; !taken.insert(LowerCase(name)).second; ++n)
            name = stem + "__" + own.substr(0, own.size() - dot.size()) +
                   (n > 1 ? "_" + std::to_string(n) : "") + dot;
        e.output = native::Utf8Of((native::PathOf(options.outDir) / native::PathOf(name)));
    }
    ModelShelf shelf(scan, files, options.uvSet);
    std::atomic<size_t> done{0};
    InParallel(entries.size(), options.jobs, [&](size_t i) {
        if (jobs[i].texture && entries[i].error.empty() && jobs[i].sameAs == SIZE_MAX)
            WriteOne(scan, jobs[i], shelf, source, options, entries[i]);
        if (options.progress)
            options.progress(++done, entries.size());
    });
    for (size_t i = 0; i < entries.size(); ++i)
        if (jobs[i].sameAs != SIZE_MAX)
            entries[i].error = entries[jobs[i].sameAs].error;
    if (options.sheets)
        WriteSheets(scan, shelf, source, options, jobs, taken, entries);
    return entries;
}

std::string ManifestLine(const BatchEntry& e) {
    std::string surfaces = "[";
    for (size_t i = 0; i < e.surfaces.size(); ++i)
        surfaces += (i ? ", " : "") + JsonString(e.surfaces[i]);
    surfaces += "]";
    std::string wearers = "[";
    for (size_t i = 0; i < e.wearers.size(); ++i) {
        const BatchWearer& w = e.wearers[i];
        std::string skins = "[";
        for (size_t k = 0; k < w.skins.size(); ++k)
            skins += (k ? ", " : "") + JsonString(w.skins[k]);
        wearers += std::string(i ? ", " : "") + "{\"model\": " + JsonString(GamePath(w.model)) +
                   ", \"surface\": " + JsonString(w.surface) + ", \"skins\": " + skins + "]}";
    }
    wearers += "]";
    // '/' between the parts on every system, as in the listings: one reader
    // reads every manifest, and Windows opens such a path as it is.
    const std::string output = JsonString(native::SlashedPart(e.output));
    if (e.sheet) {
        std::string pages = "[";
        for (size_t i = 0; i < e.pages.size(); ++i)
            pages += (i ? ", " : "") + JsonString(GamePath(e.pages[i]));
        return "{\"sheet\": " + JsonString(GamePath(e.model)) + ", \"pages\": " + pages +
               "], \"wearers\": " + wearers + ", \"output\": " + output + ", \"size\": [" +
               std::to_string(e.width) + ", " + std::to_string(e.height) +
               "], \"error\": " + (e.error.empty() ? "null" : JsonString(e.error)) + "}";
    }
    return "{\"model\": " + JsonString(GamePath(e.model)) + ", \"skin\": " + JsonString(e.skin) +
           ", \"surfaces\": " + surfaces + ", \"wearers\": " + wearers +
           ", \"texture\": " + JsonString(GamePath(e.texture)) + ", \"output\": " + output +
           ", \"size\": [" + std::to_string(e.width) + ", " + std::to_string(e.height) +
           "], \"error\": " + (e.error.empty() ? "null" : JsonString(e.error)) + "}";
}
