#include "app/OptionsDialog/ModelTextures.h"

#include "game/GameTextures.h"
#include "game/ModelGame.h"
#include "game/OpenModel.h"

#include <QThreadPool>
#include <algorithm>

ModelTextures::ModelTextures() : m_cache(std::make_shared<TextureCache>()) {
    Start(nullptr, nullptr, {}, m_cache);
}

ModelTextures::~ModelTextures() {
    StopGameScan();
}

void ModelTextures::Reset(std::shared_ptr<const Model> model) {
    std::string gamePath;
    std::shared_ptr<const GameFiles> files;
    if (model)
        files = GameOfModelFile(model->path, gamePath);
    Reset(std::move(model), std::move(files), gamePath, false);
}

void ModelTextures::Reset(std::shared_ptr<const Model> model,
                          std::shared_ptr<const GameFiles> files, const std::string& modelGamePath,
                          bool) {
    m_cache->Clear();
    Start(std::move(model), std::move(files), modelGamePath, m_cache);
}

void ModelTextures::ResetBeside(std::shared_ptr<const Model> model, const ModelTextures& other,
                                const std::string& modelGamePath) {
    m_cache = other.m_cache;
    Start(std::move(model), other.m_files, modelGamePath, m_cache);
    // The same game: its scripts, read once, and its lookups are shared.
    if (m_model && other.m_source && m_files == other.m_files) {
        m_source = other.m_source;
        m_scriptsInBackground = other.m_scriptsInBackground;
    }
}

void ModelTextures::Start(std::shared_ptr<const Model> model,
                          std::shared_ptr<const GameFiles> files, const std::string& modelGamePath,
                          std::shared_ptr<TextureCache> cache) {
    StopGameScan();
    m_playerRead = false;
    m_player.clear();
    m_playerScan.reset();
    m_gatheredScan.reset();
    m_gathered = {};
    m_gatheredKey.clear();
    m_model = std::move(model);
    m_retired.clear();
    m_files = m_model ? std::move(files) : nullptr;
    m_gamePath = m_model ? modelGamePath : std::string();
    m_source = std::make_shared<GameTextureSource>(m_files, std::move(cache));
    m_scriptsInBackground = m_waitedForScripts = false;
    // The .skin files, then the skins the model names or holds itself.
    m_skins =
        m_model ? GameSkins(m_source->files(), m_gamePath, m_model.get()) : std::vector<Skin>{};
    m_chosen = !m_skins.empty() && m_skins.front().name == "default" ? 0 : -1;
}

int ModelTextures::UvSet() const {
    return m_model ? UvSetInUse(*m_model) : 0;
}

bool ModelTextures::UseUvSet(int set) {
    if (!m_model || set == UvSet())
        return m_model != nullptr;
    auto copy = std::make_shared<Model>(*m_model);
    if (!::UseUvSet(*copy, set))
        return false;
    m_retired.push_back(std::move(m_model));
    m_model = std::move(copy);
    RefreshOwnModel();
    return true;
}

const Surface* ModelTextures::SurfaceAt(int index) const {
    if (!m_model || index < 0 || index >= m_model->SurfaceCount())
        return nullptr;
    return &m_model->surfaces[size_t(index)];
}

void ModelTextures::ChooseSkin(int index) {
    m_chosen = index >= 0 && index < int(m_skins.size()) ? index : -1;
}

const Skin* ModelTextures::ChosenSkin() const {
    return m_chosen >= 0 ? &m_skins[size_t(m_chosen)] : nullptr;
}

SurfaceTexture ModelTextures::TextureOfSurface(int index) {
    const Surface* s = SurfaceAt(index);
    if (!s)
        return {};
    return Locate(*m_model, *s, ChosenSkin());
}

SurfaceTexture ModelTextures::Locate(const Model& model, const Surface& surface, const Skin* skin) {
    // A game's scripts are read in a moment: the first look waits that
    // moment, so that the texture is shown at once; a slow game's answers
    // meanwhile say why they are missing.
    if (m_scriptsInBackground && !m_source->textures().ScriptsRead()) {
        const bool first = !m_waitedForScripts;
        m_waitedForScripts = true;
        if (!first || !m_source->textures().WaitForScripts(std::chrono::milliseconds(300))) {
            SurfaceTexture t = WornTexture(surface, skin);
            t.problem = "the game's shader scripts are still being read";
            return t;
        }
    }
    return m_source->Locate(model, surface, skin);
}

void ModelTextures::ReadScriptsInBackground(std::function<void()> done) {
    if (!m_model)
        return;
    m_scriptsInBackground = true;
    m_source->textures().ReadScriptsInBackground(std::move(done));
}

std::vector<std::string> ModelTextures::GameProblems() const {
    std::vector<std::string> all = m_source->files().problems();
    if (m_source->textures().ScriptsRead())
        for (const std::string& p : m_source->textures().problems())
            all.push_back(p);
    return all;
}

std::string ModelTextures::WornTextureName(int index) const {
    const Surface* s = SurfaceAt(index);
    return s ? WornTexture(*s, ChosenSkin()).name : std::string();
}

std::shared_ptr<const TextureImage> ModelTextures::Picture(const std::string& file,
                                                           std::string& problem) {
    return m_source->Picture(file, problem);
}

std::shared_ptr<const TextureImage> ModelTextures::PictureOf(const SurfaceTexture& texture,
                                                             std::string* problem) {
    if (texture.file.empty()) {
        if (problem)
            *problem = texture.problem;
        return nullptr;
    }
    std::string why;
    std::shared_ptr<const TextureImage> picture = m_source->Picture(texture.file, why);
    if (!picture && problem)
        *problem = why + ".";
    return picture;
}

void ModelTextures::Forget(const std::string& file) {
    m_cache->Forget(file);
}

void ModelTextures::StopGameScan() {
    if (!m_gameJob)
        return;
    // The scan may still be running: it finishes for nobody.
    const std::lock_guard<std::mutex> lock(m_gameJob->mutex);
    m_gameJob->scanned = nullptr;
    m_gameJob.reset();
}

void ModelTextures::RefreshOwnModel() {
    m_gatheredScan.reset();
    m_gathered = {};
    m_gatheredKey.clear();
    // Every scan wears the model as it is now: the old one is retired.
    auto refresh = [this](std::vector<WearingModel>& models) {
        for (WearingModel& m : models)
            if (m.model &&
                std::find(m_retired.begin(), m_retired.end(), m.model) != m_retired.end())
                m.model = m_model;
    };
    refresh(m_player);
    if (m_playerScan)
        refresh(m_playerScan->models);
    if (m_gameJob) {
        const std::lock_guard<std::mutex> lock(m_gameJob->mutex);
        if (m_gameJob->scan)
            refresh(m_gameJob->scan->models);
    }
}

const std::vector<WearingModel>& ModelTextures::PlayerModels() {
    if (m_playerRead || !m_model)
        return m_player;
    m_playerRead = true;
    GameFile own{m_gamePath, m_model->path, false};
    if (m_files)
        if (const std::unique_ptr<GameFile> found = m_files->Find(m_gamePath))
            own = *found;
    m_player.push_back({m_gamePath, own, m_model});
    if (!m_files || PlayerPartOf(m_gamePath) < 0)
        return m_player;
    for (const PlayerPart& part : FindPlayerParts(*m_files, m_gamePath)) {
        if (!part.model)
            continue;
        GameFile file{part.gamePath, part.gamePath, false};
        if (const std::unique_ptr<GameFile> found = m_files->Find(part.gamePath))
            file = *found;
        m_player.push_back({part.gamePath, file, part.model});
    }
    return m_player;
}

std::shared_ptr<const WearerScan> ModelTextures::PlayerWearers() {
    if (m_playerScan || !m_model)
        return m_playerScan;
    if (m_scriptsInBackground && !m_source->textures().ScriptsRead() &&
        !m_source->textures().WaitForScripts(std::chrono::milliseconds(300)))
        return nullptr;
    m_playerScan = std::make_shared<WearerScan>(
        ScanWearers(PlayerModels(), *m_source, SkinChoice{SkinChoice::All, ""}));
    return m_playerScan;
}

std::shared_ptr<const WearerScan> ModelTextures::GameWearers() {
    if (!m_model || !m_files)
        return nullptr;
    if (m_gameJob) {
        std::shared_ptr<WearerScan> scan;
        {
            const std::lock_guard<std::mutex> lock(m_gameJob->mutex);
            scan = m_gameJob->scan;
        }
        // Other texture coordinates chosen while the scan ran: it wears them too.
        if (scan && std::any_of(scan->models.begin(), scan->models.end(), [&](const auto& m) {
                return m.model &&
                       std::find(m_retired.begin(), m_retired.end(), m.model) != m_retired.end();
            }))
            RefreshOwnModel();
        return scan;
    }
    m_gameJob = std::make_shared<GameScanJob>();
    m_gameJob->scanned = m_gameScanned;
    // The player's models go as read, so that nothing is read twice and the
    // texture coordinates chosen hold.
    std::vector<WearingModel> given = PlayerModels();
    auto work = [job = m_gameJob, files = m_files, source = m_source,
                 given = std::move(given)]() mutable {
        std::vector<WearingModel> models;
        for (const GameFile& file : ListModels(*files)) {
            const std::string key = GamePathKey(file.gamePath);
            const auto held = std::find_if(given.begin(), given.end(), [&](const auto& g) {
                return g.model && GamePathKey(g.gamePath) == key;
            });
            models.push_back({file.gamePath, file, held != given.end() ? held->model : nullptr});
            if (held != given.end())
                held->model = nullptr;
        }
        // A model not among the game's files (outside its models folder) still counts.
        for (WearingModel& g : given)
            if (g.model)
                models.insert(models.begin(), std::move(g));
        auto scan = std::make_shared<WearerScan>(
            ScanWearers(std::move(models), *source, SkinChoice{SkinChoice::All, ""}, -1,
                        std::max(1, QThreadPool::globalInstance()->maxThreadCount() - 1)));
        const std::lock_guard<std::mutex> lock(job->mutex);
        job->scan = std::move(scan);
        if (job->scanned)
            job->scanned();
    };
    QThreadPool::globalInstance()->start(std::move(work));
    return nullptr;
}

const WornFile* ModelTextures::WornFileOf(const WearerScan& scan, int index) {
    if (!SurfaceAt(index))
        return nullptr;
    const SurfaceTexture located = TextureOfSurface(index);
    if (TextureKey(located.name).empty())
        return nullptr;
    const std::string key = TextureIdentity(located);
    for (const WornFile& t : scan.textures)
        if (t.key == key)
            return &t;
    return nullptr;
}

const WornTemplate& ModelTextures::Gathered(const std::shared_ptr<const WearerScan>& scan,
                                            const WornFile& texture) {
    if (scan == m_gatheredScan && texture.key == m_gatheredKey)
        return m_gathered;
    static const GameFiles kNoGame;
    ModelShelf shelf(*scan, m_files ? *m_files : kNoGame, UvSet() > 0 ? UvSet() : -1);
    m_gathered = GatherWearers(*scan, texture, shelf);
    m_gatheredScan = scan;
    m_gatheredKey = texture.key;
    return m_gathered;
}
