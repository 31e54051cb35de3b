#pragma once
// What a skin needs in the game, checked against the engine's rules before a
// painter ships it: the .skin files the game loads for it, every file their
// names resolve to (through shaders, to each stage's picture), which of them
// the game's paks already ship, and the names the engine would read wrongly
// or not at all. Then the .pk3 of them, built in memory, and new skins made
// from an existing one. The engine's rules are ioquake3's (code/qcommon,
// code/renderergl1, code/cgame), cited where each is applied.
#include "game/GameFiles.h"
#include "game/GameTextures.h"

#include <string>
#include <vector>

// Game paths the engine keeps in buffers of MAX_QPATH bytes (q_shared.h),
// their closing zero included: a longer one is cut or refused.
inline constexpr size_t kMaxQPath = 64;

// Why a game path or a name in a skin breaks the engine's rules (length,
// characters); empty when it keeps them.
std::string GameNameProblem(const std::string& name);

enum class PackState { New, Changed, Shipped };
const char* PackStateName(PackState state); // "new", "changed", "shipped"

struct PackEntry {
    std::string gamePath; // as the pack spells it ("models/players/x/Red.tga")
    GameFile file;        // where its bytes come from
    PackState state = PackState::New;
    bool model = false; // a model file, packed only with --full
    std::string role;   // "skin", "texture", "shader script", "model", "icon"
};

struct SkinPlan {
    std::vector<PackEntry> needed;     // by game path
    std::vector<std::string> problems; // one line each, naming the file
    std::vector<std::string> notes;    // said, but no reason to refuse
    // The entries a pack holds: those new or changed, or every one with `full`.
    std::vector<const PackEntry*> Packed(bool full) const;
};

// The .skin files the game loads for skin `name` of a model: beside a
// player's parts lower_NAME.skin, upper_NAME.skin, head_NAME.skin (the
// parts that exist); for another model MODELSTEM_NAME.skin.
std::vector<std::string> SkinFilesOf(const GameFiles& files, const std::string& modelGamePath,
                                     const std::string& name);

// Everything the skin needs and every rule it breaks.
SkinPlan PlanSkin(const GameFiles& files, const GameTextures& textures,
                  const std::string& modelGamePath, const std::string& name);

// The game folders a model's skin is checked against: `games` when given,
// else the folder the model (or the pak holding it) belongs to.
std::vector<std::string> SkinGameFolders(const std::string& model,
                                         const std::vector<std::string>& games);

// The folder of `folders` that a pak written at `out` would be inside, where
// the game (and the next check) would read it; empty when there is none.
std::string FolderHoldingPak(const std::vector<std::string>& folders, const std::string& out);

// The .pk3 of the entries at their game paths, byte for byte the same for
// the same files: fixed times, entries in game-path order.
Result<std::string> Pk3Bytes(const GameFiles& files, const std::vector<const PackEntry*>& entries,
                             const std::string& out);

// A new skin: its .skin files and copies of the textures it points at.
struct NewSkinFile {
    std::string gamePath;
    std::string bytes;
};
struct NewSkinPlan {
    std::vector<NewSkinFile> files; // .skin files first, then the copies
    std::vector<std::string> problems;
    std::vector<std::string> notes;
};
// Skin `name` made from skin `from`: each of its .skin files rewritten as
// PART_NAME.skin, every picture it resolves to copied beside the original as
// STEM_NAME.EXT and named so. A shader's picture is copied and named
// directly: the new skin wears the picture, not the shader's stages.
NewSkinPlan PlanNewSkin(const GameFiles& files, const GameTextures& textures,
                        const std::string& modelGamePath, const std::string& name,
                        const std::string& from);
