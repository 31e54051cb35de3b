// The commands that ready a skin for the game: its check, its pak, and new
// skins made from an existing one.
#include "cli/Commands.h"

#include "export/SafeFile.h"
#include "flatten/SkinPack.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "model/Model.h"
#include "model/NativeFile.h"
#include "model/TextureFinder.h"

#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

struct OpenedGame {
    GameModel model;
    std::unique_ptr<GameTextures> textures;
    std::vector<std::string> folders; // the game folders looked through
};

std::unique_ptr<OpenedGame> OpenGame(const FlattenRequest& q, Console& io) {
    Result<GameModel> opened = OpenGameModel(q.model, q.games);
    if (!opened.ok()) {
        Say(io, opened.error().Message());
        return nullptr;
    }
    auto game = std::make_unique<OpenedGame>();
    game->model = std::move(opened.value());
    game->textures = std::make_unique<GameTextures>(*game->model.files);
    game->folders = SkinGameFolders(q.model, q.games);
    return game;
}

std::string SkinName(const FlattenRequest& q) {
    return q.skin.empty() ? "default" : q.skin;
}

// Everything the skin needs and its problems; false when there are problems.
bool Report(const SkinPlan& plan, Console& io, const OpenedGame& game) {
    for (const std::string& p : game.model.files->problems())
        Say(io, "note: " + p);
    for (const std::string& note : plan.notes)
        Say(io, "note: " + note);
    for (const std::string& problem : plan.problems)
        Say(io, problem);
    return plan.problems.empty();
}

} // namespace

int CheckSkinCommand(const FlattenRequest& q, Console& io) {
    const std::unique_ptr<OpenedGame> game = OpenGame(q, io);
    if (!game)
        return kCannotLoad;
    const SkinPlan plan =
        PlanSkin(*game->model.files, *game->textures, game->model.gamePath, SkinName(q));
    for (const PackEntry& e : plan.needed)
        std::fprintf(io.out, "%s\t%s\t%s\t%s\n", EscapeField(e.gamePath).c_str(),
                     EscapeField(ListedPath(e.file.origin)).c_str(), PackStateName(e.state),
                     e.role.c_str());
    const bool fine = Report(plan, io, *game);
    if (!fine) {
        Say(io, std::to_string(plan.problems.size()) + " problems with the skin \"" + SkinName(q) +
                    "\"");
        FinishOutput(io);
        return kSkinProblem;
    }
    return FinishOutput(io);
}

int PackCommand(const FlattenRequest& q, const std::string& out, bool full, Console& io) {
    const std::unique_ptr<OpenedGame> game = OpenGame(q, io);
    if (!game)
        return kCannotLoad;
    // A pak written into the game would be read by the game, and by the next
    // run, which would then find the skin already shipped: refused.
    if (const std::string folder = FolderHoldingPak(game->folders, out); !folder.empty())
        return Usage("the pak \"" + out + "\" would be inside the game folder \"" + folder +
                         "\", where the game (and the next check) would read it; write it "
                         "elsewhere and copy it in to play",
                     io);
    const SkinPlan plan =
        PlanSkin(*game->model.files, *game->textures, game->model.gamePath, SkinName(q));
    if (!Report(plan, io, *game)) {
        Say(io, "nothing written: " + std::to_string(plan.problems.size()) +
                    " problems with the skin \"" + SkinName(q) + "\"");
        return kSkinProblem;
    }
    const std::vector<const PackEntry*> packed = plan.Packed(full);
    if (packed.empty()) {
        Say(io, "nothing written: the game's paks already ship every file the skin \"" +
                    SkinName(q) + "\" needs; --full packs them all");
        return kCannotWrite;
    }
    for (const PackEntry& e : plan.needed)
        if (e.model && !full && e.state != PackState::Shipped)
            Say(io, "note: " + e.gamePath + " is " + PackStateName(e.state) +
                        " and not packed: add --full to pack the model too");
    const Result<std::string> bytes = Pk3Bytes(*game->model.files, packed, out);
    if (!bytes.ok()) {
        Say(io, bytes.error().Message());
        return kCannotWrite;
    }
    if (const Status written = WriteFileSafely(out, bytes.value()); !written.ok()) {
        Say(io, written.error().Message());
        return kCannotWrite;
    }
    for (const PackEntry* e : packed)
        std::fprintf(io.out, "packed %s (%s, %s)\n", TerminalText(e->gamePath).c_str(),
                     PackStateName(e->state), TerminalText(NormalPath(e->file.origin)).c_str());
    std::fprintf(io.out, "wrote %s (%zu files)\n", TerminalText(out).c_str(), packed.size());
    return FinishOutput(io);
}

int NewSkinCommand(const FlattenRequest& q, const std::string& name, const std::string& from,
                   Console& io) {
    const std::unique_ptr<OpenedGame> game = OpenGame(q, io);
    if (!game)
        return kCannotLoad;
    std::string folder = q.out;
    if (folder.empty()) {
        const std::unique_ptr<GameFile> model = game->model.files->Find(game->model.gamePath);
        if (!model || model->inArchive)
            return Usage("the model is inside a pak: give the folder for the new skin's files "
                         "with -o FOLDER",
                         io);
        folder = GameFolderOf(model->origin);
    }
    NewSkinPlan plan =
        PlanNewSkin(*game->model.files, *game->textures, game->model.gamePath, name, from);
    for (const NewSkinFile& file : plan.files) {
        if (const std::string bad = GameNameProblem(file.gamePath); !bad.empty())
            plan.problems.push_back(file.gamePath + " " + bad);
        std::error_code error;
        const fs::path target = native::PathOf(folder) / native::PathOf(file.gamePath);
        if (fs::exists(fs::symlink_status(target, error)))
            plan.problems.push_back(native::Utf8Of(target) +
                                    " exists already; it is never overwritten: choose another "
                                    "skin name");
    }
    for (const std::string& note : plan.notes)
        Say(io, "note: " + note);
    if (!plan.problems.empty()) {
        for (const std::string& problem : plan.problems)
            Say(io, problem);
        Say(io, "nothing written");
        return kSkinProblem;
    }
    for (const NewSkinFile& file : plan.files) {
        const fs::path target = native::PathOf(folder) / native::PathOf(file.gamePath);
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        if (const Status written = WriteFileSafely(native::Utf8Of(target), file.bytes);
            !written.ok()) {
            Say(io, written.error().Message());
            return kCannotWrite;
        }
        std::fprintf(io.out, "wrote %s\n", TerminalText(native::Utf8Of(target)).c_str());
    }
    // CG_FindClientModelFile (cg_players.c): a team game looks for
    // PART_SKIN_TEAM.skin, then PART_TEAM.skin.
    if (const std::string team = LowerCase(name); team == "red" || team == "blue")
        std::fprintf(io.out,
                     "team games dress the %s team in these, unless a PART_SKIN_%s.skin of the "
                     "player's own skin comes first\n",
                     team.c_str(), team.c_str());
    return FinishOutput(io);
}
