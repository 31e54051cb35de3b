// The commands over a whole game: which surfaces wear a texture file, and
// the one template of them all.
#include "cli/Commands.h"

#include "export/TemplateFile.h"
#include "flatten/Batch.h"
#include "flatten/GameTextureSource.h"
#include "flatten/Wearers.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "game/OpenModel.h"

#include <thread>

namespace {

// A game's every model, scanned for the textures its surfaces wear.
struct GameScan {
    GameFiles files;
    std::unique_ptr<GameTextures> textures;
    std::unique_ptr<GameTextureSource> source;
    WearerScan scan;
};

// Through every skin unless one is named: a painter asking who wears a file
// means whoever may.
std::unique_ptr<GameScan> ScanGame(const FlattenRequest& q, Console& io) {
    auto game = std::make_unique<GameScan>();
    for (const std::string& folder : q.games)
        game->files.AddFolder(folder);
    game->textures = std::make_unique<GameTextures>(game->files);
    game->source = std::make_unique<GameTextureSource>(game->files, *game->textures);
    std::vector<WearingModel> models;
    for (const GameFile& file : ListModels(game->files))
        models.push_back({file.gamePath, file, nullptr});
    game->scan =
        ScanWearers(std::move(models), *game->source,
                    q.skin.empty() ? SkinChoice{SkinChoice::All, ""} : SkinChoice::Of(q.skin),
                    q.uvSet, int(std::max(1u, std::thread::hardware_concurrency())));
    for (const std::string& p : game->files.problems())
        Say(io, p);
    for (const std::string& p : game->textures->problems())
        Say(io, p);
    return game;
}

// The texture asked for, or null having said that no surface wears it.
const WornFile* Worn(const GameScan& game, const std::string& name, Console& io) {
    const WornFile* worn = FindWornFile(game.scan, *game.source, name);
    if (!worn)
        Say(io, "no surface of the models of the game wears the texture \"" + EscapeField(name) +
                    "\"; 'gridwright-flatten --game DIR --batch \"*\" -o OUTDIR' lists every "
                    "texture worn in OUTDIR/manifest.jsonl.");
    return worn;
}

} // namespace

int WearersCommand(const FlattenRequest& q, const std::string& texture, Console& io) {
    if (q.games.empty())
        return Usage(
            "--wearers looks through the models of game folders: give them with --game DIR", io);
    if (texture.empty())
        return Usage("--wearers needs the texture's name", io);
    const std::unique_ptr<GameScan> game = ScanGame(q, io);
    const WornFile* worn = Worn(*game, texture, io);
    if (!worn)
        return kUsage;
    for (const TextureWearer& w : worn->wearers) {
        const WearingModel& m = game->scan.models[w.model];
        for (const std::string& skin : w.skins)
            std::fprintf(io.out, "%s\t%s\t%s\t%s\n", EscapeField(GamePath(m.gamePath)).c_str(),
                         EscapeField(w.surfaceName).c_str(), EscapeField(skin).c_str(),
                         EscapeField(ListedPath(m.file.origin)).c_str());
    }
    return FinishOutput(io);
}

int GameTextureCommand(const FlattenRequest& q, Console& io) {
    TemplateStyle style;
    if (const std::string problem = TemplateOf(q, style); !problem.empty())
        return Usage(problem, io);
    const std::unique_ptr<GameScan> game = ScanGame(q, io);
    const WornFile* worn = Worn(*game, q.texture, io);
    if (!worn)
        return kUsage;
    // A template written over the texture would destroy the paint, over a model the model.
    if (SameFile(worn->file, q.out))
        return Usage("the output \"" + q.out + "\" is the texture \"" + worn->file +
                         "\" itself; choose another file name",
                     io);
    for (const TextureWearer& w : worn->wearers)
        if (SameFile(game->scan.models[w.model].file.origin, q.out))
            return Usage("the output \"" + q.out + "\" is the model \"" +
                             game->scan.models[w.model].file.origin +
                             "\" that wears the texture; choose another file name",
                         io);
    ModelShelf shelf(game->scan, game->files, q.uvSet);
    const WornTemplate gathered = GatherWearers(game->scan, *worn, shelf);
    for (const auto& [model, why] : gathered.unread)
        Say(io, EscapeField(GamePath(game->scan.models[model].gamePath)) + ": " + why);
    style.runs = gathered.runs;
    std::shared_ptr<const TextureImage> picture;
    if (q.size == "texture" || q.underlay) {
        std::string problem = "cannot find the texture \"" + worn->texture + "\": " + worn->problem;
        if (!worn->file.empty())
            picture = game->source->Picture(worn->file, problem);
        if (!picture)
            Say(io, problem + (q.size == "texture" ? "; the template keeps its size, " +
                                                         std::to_string(style.width) + "x" +
                                                         std::to_string(style.height) + "."
                                                   : "."));
    }
    if (picture && q.size == "texture") {
        style.width = picture->width;
        style.height = picture->height;
    }
    if (picture && q.underlay) {
        style.underlay = picture.get();
        style.underlayOpacity = q.underlayOpacity;
    }
    if (const Status written = WriteTemplateFile(q.out, gathered.records, style); !written.ok()) {
        Say(io, written.error().Message());
        return kCannotWrite;
    }
    std::fprintf(io.out, "wrote %s (%dx%d, %zu surfaces of %zu models wearing %s)\n",
                 TerminalText(q.out).c_str(), style.width, style.height, gathered.records.size(),
                 gathered.models.size(), TerminalText(GamePath(worn->texture)).c_str());
    return FinishOutput(io);
}
