#pragma once
// One merged view of a game's files, read as the engine reads them: within a
// game folder, .pak files come lowest (pak0.pak, pak1.pak, ... by number, the
// later winning), then .pk3s searched in reverse order of their names
// compared without case (the pak whose name sorts last wins), and .pk3dir
// folders and loose files beat every pak; a folder added later (a mod) beats
// those before it (the base). Names compare without case, '\' read as '/';
// names holding "..", "::" or an absolute path are refused, and so are
// folders, paks and files that a symbolic link leads out of the game folder.
// A name stored twice in one archive is read from the entry the engine reads:
// a .pk3's last, a .pak's first.
#include "game/Archive.h"
#include "model/ByteSource.h"
#include "model/Error.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// The bytes all the reads of one game may inflate from its paks: a game's
// whole data a few times over, never the hours a crafted pak asks for.
inline constexpr int64_t kGameInflateBudget = int64_t(4) << 30;

struct GameFile {
    std::string gamePath; // as the game names it: "models/players/x/upper.md3"
    std::string origin;   // "ARCHIVE:PATH" for a pak's entry, else the file's path
    bool inArchive = false;
};

class GameFiles {
  public:
    GameFiles();
    // A game folder: its loose files, its .pk3dir folders and its paks
    // (.pak, .pk3, .dpk, .zip). An archive that cannot be read is reported in
    // problems() and left out.
    void AddFolder(const std::string& folder);
    // One archive by itself, above everything added before.
    Status AddArchive(const std::string& path);

    // The file a game path names in the merged view; null when none.
    std::unique_ptr<GameFile> Find(const std::string& gamePath) const;
    // The same with loose files and .pk3dir folders set aside: what the
    // game's archives alone ship at that path; null when none does.
    std::unique_ptr<GameFile> FindArchived(const std::string& gamePath) const;
    // Its bytes, at most `limit` of them (else the error's reason is
    // `tooLarge`, or says the limit); what is inflated from paks counts
    // against the game's budget.
    Result<SourceBytes> Read(const GameFile& file, int64_t limit = kMaxEntryBytes,
                             const std::string& tooLarge = {}) const;
    // Every file under a folder of the game ("models/", "scripts/"), each
    // game path once, as the merged view sees it, sorted by game path. A
    // folder that cannot be listed is skipped and named in problems().
    std::vector<GameFile> List(const std::string& folder) const;
    // Archives, entries and folders left out, in plain words, each once.
    std::vector<std::string> problems() const;
    // The bytes left to inflate from the game's paks (kGameInflateBudget at first).
    void SetInflateBudget(int64_t bytes) { m_shared->budget = bytes; }

  private:
    struct Layer {
        std::string folder;               // loose files and .pk3dir: a folder on disk
        std::shared_ptr<Archive> archive; // or an archive
    };
    // What reads change: kept apart so that a GameFiles still moves.
    struct Shared {
        std::atomic<int64_t> budget{kGameInflateBudget};
        std::mutex mutex;
        std::vector<std::string> problems;
        std::set<std::string> said;
    };
    void Note(const std::string& problem) const;
    // A loose file under a folder, found without regard to case; empty when none.
    static std::string FindLoose(const std::string& folder, const std::string& gamePath);
    std::vector<Layer> m_layers; // lowest first
    std::unique_ptr<Shared> m_shared;
};

// "pak0.pk3:models/x/upper.md3" or "pak0.pak:progs/player.mdl": the archive and
// the path, when `location` names an entry of an archive (.pk3, .dpk, .zip or
// .pak) that exists; false otherwise.
bool SplitArchivePath(const std::string& location, std::string& archive, std::string& path);
// True for a file name ending in .pk3, .dpk, .zip or .pak (any case).
bool IsArchiveName(const std::string& name);

// A model and the game it belongs to, from how a painter names it:
// "ARCHIVE.pk3:PATH" or "ARCHIVE.pak:PATH" (the game is the archive's folder), a game path when
// game folders are given and no such file exists, or a model file (the game
// is the folder above its models/ folder, its paks searched too). Game
// folders given are searched, base first, in every case.
struct GameModel {
    SourceBytes bytes;
    std::shared_ptr<GameFiles> files;
    std::string gamePath; // the model as the game names it
    bool inGame = false;  // read from the game's files rather than a file named
};
Result<GameModel> OpenGameModel(const std::string& location, const std::vector<std::string>& games);
