#include "game/GameFiles.h"

#include "model/Model.h"
#include "model/NativeFile.h"
#include "model/TextureFinder.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
    return LowerCase(std::move(s));
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

bool IsArchiveName(const std::string& name) {
    const std::string lower = Lower(name);
    return EndsWith(lower, ".pk3") || EndsWith(lower, ".dpk") || EndsWith(lower, ".zip") ||
           EndsWith(lower, ".pak");
}

namespace {

// Where an archive of a game folder goes among the others, by its name
// (what it holds is told by its content when it is opened). The engines
// that read .pak files add pak0.pak, pak1.pak, ... by number, each above the
// one before; the engine that reads .pak and .pk3 from one folder adds the
// .pak files first, then the .pk3s, then the folder itself. So: numbered
// paks by number (pak10 after pak9, a missing number skipped rather than
// ending the list, so that no pak on disk is silently left out), then other
// .pak names, then .pk3/.dpk/.zip by name without case as the engine of
// those sorts them; the later one wins. Loose files and .pk3dir folders
// stay above them all, as that engine has them and as for .pk3s: one rule
// for the whole folder, and a file saved beside the paks is the one shown
// (the older engines put a folder's .pak files above its loose files).
struct ArchiveRank {
    int group = 2;      // 0 numbered .pak, 1 other .pak, 2 zips
    std::string number; // a numbered pak's digits, without leading zeros
    std::string lower;  // the name without case
    bool operator<(const ArchiveRank& other) const {
        if (group != other.group)
            return group < other.group;
        if (number.size() != other.number.size())
            return number.size() < other.number.size();
        if (number != other.number)
            return number < other.number;
        return lower < other.lower;
    }
};

ArchiveRank RankOf(const fs::path& path) {
    ArchiveRank rank;
    rank.lower = Lower(native::Utf8Of(path.filename()));
    if (!EndsWith(rank.lower, ".pak"))
        return rank;
    rank.group = 1;
    const std::string stem = rank.lower.substr(0, rank.lower.size() - 4);
    if (stem.size() > 3 && stem.rfind("pak", 0) == 0 &&
        stem.find_first_not_of("0123456789", 3) == std::string::npos) {
        rank.group = 0;
        const size_t first = stem.find_first_not_of('0', 3);
        rank.number = first == std::string::npos ? "" : stem.substr(first);
    }
    return rank;
}

} // namespace

bool SplitArchivePath(const std::string& location, std::string& archive, std::string& path) {
    // The archive part ends at the first ".pk3:" (or .dpk:, .zip:) that names a file.
    const std::string lower = Lower(location);
    for (size_t at = 0; (at = lower.find(':', at)) != std::string::npos; ++at) {
        const std::string head = location.substr(0, at);
        std::error_code error;
        if (IsArchiveName(head) && fs::is_regular_file(native::PathOf(head), error)) {
            archive = head;
            path = location.substr(at + 1);
            return true;
        }
    }
    return false;
}

GameFiles::GameFiles() : m_shared(std::make_unique<Shared>()) {}

void GameFiles::Note(const std::string& problem) const {
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (m_shared->said.insert(problem).second)
        m_shared->problems.push_back(problem);
}

std::vector<std::string> GameFiles::problems() const {
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->problems;
}

void GameFiles::AddFolder(const std::string& folder) {
    std::error_code error;
    std::vector<fs::path> paks, dirs;
    fs::directory_iterator it(native::PathOf(folder), error);
    if (error)
        Note("cannot list the game folder \"" + folder + "\": " + error.message());
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const fs::directory_entry& entry = *it;
        const std::string name = native::Utf8Of(entry.path().filename());
        std::error_code kind;
        const bool dir = entry.is_directory(kind) && EndsWith(Lower(name), ".pk3dir");
        const bool pak = !dir && entry.is_regular_file(kind) && IsArchiveName(name);
        if (!dir && !pak)
            continue;
        // A link may lead anywhere: only what lies inside the game is the game's.
        if (entry.is_symlink(kind) && !IsInsideFolder(folder, native::Utf8Of(entry.path()))) {
            Note("\"" + native::Utf8Of(entry.path()) +
                 "\" is a link that leads out of the game folder \"" + folder +
                 "\"; it was not read");
            continue;
        }
        (dir ? dirs : paks).push_back(entry.path());
    }
    if (error)
        Note("cannot list the game folder \"" + folder + "\": " + error.message());
    auto byName = [](const fs::path& a, const fs::path& b) {
        return Lower(native::Utf8Of(a.filename())) < Lower(native::Utf8Of(b.filename()));
    };
    // Lowest first: the archive ranked last is searched first.
    std::sort(paks.begin(), paks.end(),
              [](const fs::path& a, const fs::path& b) { return RankOf(a) < RankOf(b); });
    std::sort(dirs.begin(), dirs.end(), byName);
    for (const fs::path& pak : paks)
        if (const Status added = AddArchive(native::Utf8Of(pak)); !added.ok())
            Note(added.error().Message());
    for (const fs::path& dir : dirs)
        m_layers.push_back({native::Utf8Of(dir), nullptr});
    m_layers.push_back({folder, nullptr});
}

Status GameFiles::AddArchive(const std::string& path) {
    Result<std::shared_ptr<Archive>> opened = Archive::Open(path);
    if (!opened.ok())
        return opened.error();
    const Archive& archive = *opened.value();
    for (const std::string& name : archive.refused())
        Note("\"" + path + "\": the entry \"" + name + "\" is not a game path and was left out");
    for (const std::string& name : archive.overlapping())
        Note("\"" + path + "\": the entry \"" + name +
             "\" shares its data with another entry, as no sound archive does, and was left out");
    for (const std::string& name : archive.outside())
        Note("\"" + path + "\": the entry \"" + name +
             "\" says its data lie outside the archive, and was left out");
    for (const std::string& name : archive.duplicates())
        Note("\"" + path + "\": the entry \"" + name + "\" is stored more than once; the " +
             (archive.isPak() ? "first" : "last") + " one is read, as the game does");
    m_layers.push_back({{}, opened.value()});
    return Success();
}

std::string GameFiles::FindLoose(const std::string& folder, const std::string& gamePath) {
    if (!IsGamePath(gamePath))
        return {};
    fs::path at = native::PathOf(folder);
    std::error_code error;
    std::string rest = gamePath;
    for (char& c : rest)
        if (c == '\\')
            c = '/';
    size_t start = 0;
    while (start < rest.size()) {
        const size_t slash = rest.find('/', start);
        const std::string part =
            rest.substr(start, slash == std::string::npos ? slash : slash - start);
        start = slash == std::string::npos ? rest.size() : slash + 1;
        if (part.empty() || part == ".")
            continue;
        if (fs::exists(at / native::PathOf(part), error)) {
            at /= native::PathOf(part);
            continue;
        }
        // Not as written: any letter case.
        fs::path match;
        for (const fs::directory_entry& entry : fs::directory_iterator(at, error))
            if (Lower(native::Utf8Of(entry.path().filename())) == Lower(part)) {
                match = entry.path();
                break;
            }
        if (match.empty())
            return {};
        at = match;
    }
    // Regular files only, and only inside the folder once links are followed.
    if (!fs::is_regular_file(at, error) || !IsInsideFolder(folder, native::Utf8Of(at)))
        return {};
    return native::Utf8Of(at);
}

std::unique_ptr<GameFile> GameFiles::Find(const std::string& gamePath) const {
    if (!IsGamePath(gamePath))
        return nullptr;
    const std::string key = GamePathKey(gamePath);
    for (auto layer = m_layers.rbegin(); layer != m_layers.rend(); ++layer) {
        if (layer->archive) {
            if (const ArchiveEntry* entry = layer->archive->Find(key))
                return std::make_unique<GameFile>(
                    GameFile{key, layer->archive->path() + ":" + entry->name, true});
        } else if (const std::string file = FindLoose(layer->folder, gamePath); !file.empty()) {
            return std::make_unique<GameFile>(GameFile{key, file, false});
        }
    }
    return nullptr;
}

std::unique_ptr<GameFile> GameFiles::FindArchived(const std::string& gamePath) const {
    if (!IsGamePath(gamePath))
        return nullptr;
    const std::string key = GamePathKey(gamePath);
    for (auto layer = m_layers.rbegin(); layer != m_layers.rend(); ++layer)
        if (layer->archive)
            if (const ArchiveEntry* entry = layer->archive->Find(key))
                return std::make_unique<GameFile>(
                    GameFile{key, layer->archive->path() + ":" + entry->name, true});
    return nullptr;
}

Result<SourceBytes> GameFiles::Read(const GameFile& file, int64_t limit,
                                    const std::string& tooLarge) const {
    if (!file.inArchive) {
        // A listed file may be a link: read only what resolves inside the game.
        const bool inside = std::any_of(m_layers.begin(), m_layers.end(), [&](const Layer& layer) {
            return !layer.archive && IsInsideFolder(layer.folder, file.origin);
        });
        if (!inside)
            return Error{"Cannot read", file.origin,
                         "it is a link that leads out of the game folder"};
        return ReadFileBytes(file.origin, limit,
                             !tooLarge.empty() ? tooLarge
                                               : "the file is larger than any game file");
    }
    for (auto layer = m_layers.rbegin(); layer != m_layers.rend(); ++layer)
        if (layer->archive && file.origin.rfind(layer->archive->path() + ":", 0) == 0)
            if (const ArchiveEntry* entry = layer->archive->Find(file.gamePath))
                return layer->archive->Read(*entry, limit, tooLarge, &m_shared->budget);
    return Error{"Cannot read", file.origin, "it is not in the game's files"};
}

std::vector<GameFile> GameFiles::List(const std::string& folder) const {
    const std::string prefix = GamePathKey(folder);
    std::map<std::string, GameFile> merged;
    for (const Layer& layer : m_layers) { // lowest first: later layers overwrite
        if (layer.archive) {
            for (const auto& [key, index] : layer.archive->byKey())
                if (key.rfind(prefix, 0) == 0)
                    merged[key] = {
                        key, layer.archive->path() + ":" + layer.archive->entries()[index].name,
                        true};
            continue;
        }
        std::error_code error;
        const fs::path root = native::PathOf(layer.folder);
        // The folder's own letter case may differ ("Models/").
        fs::path start = root;
        for (const fs::path& part : native::PathOf(prefix)) {
            if (part.empty() || part == ".")
                continue;
            fs::path match = start / part;
            if (!fs::is_directory(match, error))
                for (const fs::directory_entry& entry : fs::directory_iterator(start, error))
                    if (entry.is_directory(error) &&
                        Lower(native::Utf8Of(entry.path().filename())) ==
                            Lower(native::Utf8Of(part)))
                        match = entry.path();
            start = match;
        }
        if (!fs::is_directory(start, error))
            continue;
        if (!IsInsideFolder(native::Utf8Of(root), native::Utf8Of(start))) {
            Note("\"" + native::Utf8Of(start) +
                 "\" is a link that leads out of the game folder \"" + native::Utf8Of(root) +
                 "\"; it was not read");
            continue;
        }
        // Folder by folder: one that cannot be listed is named and skipped,
        // and the rest are still listed. Links to folders are not followed.
        std::vector<fs::path> pending{start};
        while (!pending.empty()) {
            const fs::path dir = std::move(pending.back());
            pending.pop_back();
            fs::directory_iterator it(dir, error);
            for (; !error && it != fs::directory_iterator(); it.increment(error)) {
                std::error_code kind;
                const bool link = it->is_symlink(kind);
                if (!link && it->is_directory(kind)) {
                    pending.push_back(it->path());
                    continue;
                }
                if (!it->is_regular_file(kind))
                    continue;
                // Named as listed, a link too: Read refuses one that leads
                // out, so that it is shown with its problem, never read.
                const std::string relative =
                    native::GenericUtf8Of(it->path().lexically_relative(root));
                if (IsGamePath(relative))
                    merged[GamePathKey(relative)] = {GamePathKey(relative),
                                                     native::Utf8Of(it->path()), false};
            }
            if (error)
                Note("cannot list the folder \"" + native::Utf8Of(dir) + "\" (" + error.message() +
                     "); its files were left out");
        }
    }
    std::vector<GameFile> files;
    for (auto& [key, file] : merged)
        files.push_back(std::move(file));
    return files;
}

Result<GameModel> OpenGameModel(const std::string& location,
                                const std::vector<std::string>& games) {
    GameModel m;
    m.files = std::make_shared<GameFiles>();
    std::string archivePath, entryPath;
    std::error_code error;
    if (SplitArchivePath(location, archivePath, entryPath)) {
        Result<std::shared_ptr<Archive>> archive = Archive::Open(archivePath);
        if (!archive.ok())
            return archive.error();
        const std::string key = GamePathKey(entryPath);
        const ArchiveEntry* found = archive.value()->Find(key);
        if (!found)
            return Error{"Cannot open", location, "the archive holds no such file"};
        Result<SourceBytes> bytes = archive.value()->Read(*found);
        if (!bytes.ok())
            return bytes.error();
        m.bytes = bytes.value();
        m.gamePath = key;
        m.inGame = true;
        if (games.empty())
            m.files->AddFolder(
                native::Utf8Of(fs::absolute(native::PathOf(archivePath), error).parent_path()));
    } else if (!games.empty() && !fs::exists(native::PathOf(location), error)) {
        for (const std::string& folder : games)
            m.files->AddFolder(folder);
        const std::unique_ptr<GameFile> file = m.files->Find(location);
        if (!file)
            return Error{"Cannot open", location, "no game folder given holds it"};
        Result<SourceBytes> bytes = m.files->Read(*file);
        if (!bytes.ok())
            return bytes.error();
        m.bytes = bytes.value();
        m.bytes.path = location;
        m.gamePath = GamePathKey(location);
        m.inGame = true;
        return m;
    } else {
        Result<SourceBytes> bytes = ReadFileBytes(
            location, INT32_MAX, "it is larger than the 2 GB an MD3 model can address");
        if (!bytes.ok())
            return bytes.error();
        m.bytes = bytes.value();
        const std::string root = GameFolderOf(location);
        m.gamePath = native::GenericUtf8Of(fs::relative(
            fs::absolute(native::PathOf(location), error), native::PathOf(root), error));
        // The model's own game is searched below the folders given, so that
        // its skins and textures are found as when it is opened by itself.
        const bool given = std::any_of(games.begin(), games.end(), [&](const std::string& g) {
            return fs::equivalent(native::PathOf(g), native::PathOf(root), error);
        });
        if (!given)
            m.files->AddFolder(root);
    }
    for (const std::string& folder : games)
        m.files->AddFolder(folder);
    return m;
}
