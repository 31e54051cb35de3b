#include "flatten/Wearers.h"

#include "flatten/Parallel.h"
#include "game/GameTextures.h"
#include "game/OpenModel.h"
#include "model/ModelFormats.h"

#include <algorithm>
#include <atomic>
#include <map>

namespace {

std::string SlashPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// One surface wearing a texture through one skin, as a model's scan finds it.
struct Worn {
    std::string key;
    SurfaceTexture located;
    int surface = 0;
    std::string surfaceName;
    std::string skin;
};

struct ModelScan {
    std::vector<Worn> worn;
    std::vector<WearFailure> failures;
};

// The model files' bytes a scan keeps read for the templates after it: a
// game's worth of player models is read once, a game of thousands twice.
constexpr int64_t kScanKeepsBytes = int64_t(256) << 20;

Result<Model> ReadWearing(const GameFiles& files, const WearingModel& wearing, int uvSet,
                          int64_t* size = nullptr) {
    Result<SourceBytes> bytes = files.Read(wearing.file);
    if (!bytes.ok())
        return bytes.error();
    if (size)
        *size = int64_t(bytes.value().bytes->size());
    bytes.value().companions = GameCompanions(files, wearing.file.gamePath);
    Result<Model> loaded = ReadModel(bytes.value());
    if (loaded.ok() && uvSet >= 0)
        UseUvSet(loaded.value(), uvSet); // a model without that set keeps its own
    return loaded;
}

ModelScan ScanModel(size_t index, const WearingModel& wearing, GameTextureSource& textures,
                    const SkinChoice& choice, int uvSet, std::vector<Skin>& skins,
                    std::atomic<int64_t>& keepLeft, std::shared_ptr<const Model>& kept) {
    ModelScan scan;
    auto failed = [&](const std::string& skin, const std::string& why) {
        scan.failures.push_back(WearFailure{index, skin, why});
    };
    // The window's own model is worn as it is, not copied.
    int64_t size = 0;
    Result<Model> read = wearing.model ? Result<Model>(Model{})
                                       : ReadWearing(textures.files(), wearing, uvSet, &size);
    if (!read.ok()) {
        failed("", read.error().Message());
        return scan;
    }
    const Model& model = wearing.model ? *wearing.model : read.value();
    if (model.surfaces.empty()) {
        failed("", "it has no surfaces (it holds only tags or frames)");
        return scan;
    }
    skins = GameSkins(textures.files(), wearing.gamePath, &model);
    std::vector<const Skin*> chosen;
    for (const Skin& s : skins)
        if (choice.kind == SkinChoice::All ||
            s.name == (choice.kind == SkinChoice::Named ? choice.name : std::string("default")))
            chosen.push_back(&s);
    if (chosen.empty() && choice.kind == SkinChoice::Named) {
        failed(choice.name, "it has no skin \"" + choice.name + "\"");
        return scan;
    }
    if (chosen.empty())
        chosen.push_back(nullptr); // the surfaces' own names
    for (const Skin* skin : chosen) {
        if (skin && !skin->problem.empty()) {
            failed(skin->name,
                   "the skin file \"" + skin->path + "\" cannot be used: " + skin->problem);
            continue;
        }
        for (int i = 0; i < model.SurfaceCount(); ++i) {
            Worn w;
            w.located = textures.Locate(model, model.surfaces[size_t(i)], skin);
            if (TextureKey(w.located.name).empty())
                continue; // a surface that names no texture wears none
            w.key = TextureIdentity(w.located);
            w.surface = i;
            w.surfaceName = model.surfaces[size_t(i)].name;
            w.skin = skin ? skin->name : "";
            scan.worn.push_back(std::move(w));
        }
    }
    if (!wearing.model && !scan.worn.empty() && (keepLeft -= size) >= 0)
        kept = std::make_shared<const Model>(std::move(read.value()));
    return scan;
}

} // namespace

SkinChoice SkinChoice::Of(const std::string& option) {
    if (option.empty())
        return {};
    if (option == "all")
        return {All, ""};
    return {Named, option};
}

std::string TextureIdentity(const SurfaceTexture& t) {
    if (!t.gamePath.empty())
        return "game:" + LowerCase(SlashPath(t.gamePath));
    if (!t.file.empty()) // a picture the model holds, or a file beside a model on disk
        return "file:" + t.file;
    return "name:" + TextureKey(t.name);
}

WearerScan ScanWearers(std::vector<WearingModel> models, GameTextureSource& textures,
                       const SkinChoice& choice, int uvSet, int jobs) {
    WearerScan scan;
    scan.models = std::move(models);
    scan.skins.resize(scan.models.size());
    textures.textures().problems(); // the shader scripts, read once before the threads share them
    scan.kept.resize(scan.models.size());
    std::vector<ModelScan> scanned(scan.models.size());
    std::atomic<int64_t> keepLeft{kScanKeepsBytes};
    InParallel(scan.models.size(), jobs, [&](size_t i) {
        scanned[i] = ScanModel(i, scan.models[i], textures, choice, uvSet, scan.skins[i], keepLeft,
                               scan.kept[i]);
    });
    // Merged in model order, so that the result does not depend on the threads.
    std::map<std::string, size_t> byKey;
    for (size_t m = 0; m < scanned.size(); ++m) {
        for (WearFailure& f : scanned[m].failures)
            scan.failures.push_back(std::move(f));
        for (Worn& w : scanned[m].worn) {
            auto [at, added] = byKey.emplace(w.key, scan.textures.size());
            if (added) {
                WornFile file;
                file.key = w.key;
                file.texture = w.located.gamePath.empty() ? w.located.name : w.located.gamePath;
                file.file = w.located.file;
                file.problem = w.located.problem;
                scan.textures.push_back(std::move(file));
            }
            std::vector<TextureWearer>& wearers = scan.textures[at->second].wearers;
            const auto same = std::find_if(wearers.begin(), wearers.end(), [&](const auto& x) {
                return x.model == m && x.surface == w.surface;
            });
            if (same == wearers.end()) {
                TextureWearer wearer;
                wearer.model = m;
                wearer.surface = w.surface;
                wearer.surfaceName = w.surfaceName;
                wearer.skins.push_back(w.skin);
                wearers.push_back(std::move(wearer));
            } else if (std::find(same->skins.begin(), same->skins.end(), w.skin) ==
                       same->skins.end()) {
                same->skins.push_back(w.skin);
            }
        }
    }
    for (WornFile& t : scan.textures)
        std::stable_sort(t.wearers.begin(), t.wearers.end(), [](const auto& a, const auto& b) {
            return a.model != b.model ? a.model < b.model : a.surface < b.surface;
        });
    return scan;
}

ModelShelf::ModelShelf(const WearerScan& scan, const GameFiles& files, int uvSet)
    : m_scan(scan), m_files(files), m_uvSet(uvSet), m_held(scan.models.size()) {}

Result<std::shared_ptr<const Model>> ModelShelf::Get(size_t index) {
    const WearingModel& wearing = m_scan.models.at(index);
    if (wearing.model)
        return wearing.model; // the window's, with the texture coordinates it chose
    if (m_scan.kept[index])
        return m_scan.kept[index];
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (std::shared_ptr<const Model> held = m_held[index].lock())
            return held;
    }
    // Read outside the lock: other templates go on with the models they hold.
    Result<Model> read = ReadWearing(m_files, wearing, m_uvSet);
    if (!read.ok())
        return read.error();
    auto model = std::make_shared<const Model>(std::move(read.value()));
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (std::shared_ptr<const Model> held = m_held[index].lock())
        return held; // another thread read it meanwhile
    m_held[index] = model;
    return std::shared_ptr<const Model>(model);
}

std::string RunName(const WearerScan& scan, const WornFile& texture, size_t model) {
    std::string name = SlashPath(scan.models.at(model).gamePath) + ":";
    bool first = true;
    for (const TextureWearer& w : texture.wearers) {
        if (w.model != model)
            continue;
        name += (first ? " " : ", ") + w.surfaceName;
        first = false;
        std::string skins;
        for (const std::string& s : w.skins)
            if (!s.empty())
                skins += (skins.empty() ? "" : ", ") + s;
        if (!skins.empty())
            name += " (" + skins + ")";
    }
    return name;
}

WornTemplate GatherWearers(const WearerScan& scan, const WornFile& texture, ModelShelf& shelf) {
    WornTemplate gathered;
    std::map<size_t, std::shared_ptr<const Model>> read;
    for (const TextureWearer& w : texture.wearers) {
        auto at = read.find(w.model);
        if (at == read.end()) {
            Result<std::shared_ptr<const Model>> got = shelf.Get(w.model);
            if (!got.ok())
                gathered.unread.emplace_back(w.model, got.error().Message());
            at = read.emplace(w.model, got.ok() ? got.value() : nullptr).first;
            if (at->second) {
                gathered.models.push_back(at->second);
                gathered.runs.push_back({0, RunName(scan, texture, w.model)});
            }
        }
        // A model read again as other bytes (saved meanwhile) may have fewer surfaces.
        if (!at->second || w.surface >= at->second->SurfaceCount())
            continue;
        gathered.records.push_back(&at->second->surfaces[size_t(w.surface)]);
        ++gathered.runs.back().count;
    }
    return gathered;
}

const WornFile* FindWornFile(const WearerScan& scan, GameTextureSource& textures,
                             const std::string& name) {
    SurfaceTexture wanted;
    wanted.name = name;
    const std::string key = TextureIdentity(textures.LocateName(wanted));
    for (const WornFile& t : scan.textures)
        if (t.key == key)
            return &t;
    const std::string named = TextureKey(name);
    for (const WornFile& t : scan.textures)
        if (t.file.empty() && TextureKey(t.texture) == named)
            return &t;
    return nullptr;
}
