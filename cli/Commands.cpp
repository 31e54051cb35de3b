// gridwright-flatten's commands: each reads its model or game, writes its
// listing or template, and says what went wrong on the console it is given.
#include "cli/Commands.h"

#include "cli/ModelJson.h"
#include "export/SafeFile.h"
#include "export/TemplateFile.h"
#include "flatten/Batch.h"
#include "flatten/GameTextureSource.h"
#include "flatten/SkinPicture.h"
#include "flatten/TemplateRequest.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "game/OpenModel.h"
#include "image/TextureImage.h"
#include "model/Model.h"
#include "model/ModelFormats.h"
#include "model/NativeFile.h"
#include "model/SkinFile.h"
#include "model/TextureFinder.h"
#include "render/LayoutRaster.h"

#include <filesystem>
#include <thread>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Escaped(const std::string& text, bool backslash) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\' && backslash)
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += ch;
    }
    return out;
}

} // namespace

// A name as one field of a tab-separated line: nothing in it can end the
// field or the line, or reach the terminal as a control sequence.
std::string EscapeField(const std::string& text) {
    return Escaped(text, true);
}

std::string NormalPath(const std::string& file) {
    if (file.empty())
        return file;
    std::string archive, entry;
    if (SplitArchivePath(file, archive, entry))
        return native::Utf8Of(native::PathOf(archive).lexically_normal()) + ":" + entry;
    return native::Utf8Of(native::PathOf(file).lexically_normal());
}

std::string ListedPath(const std::string& file) {
    return native::SlashedPart(NormalPath(file));
}

// Words bound for the terminal, their control bytes written as --list
// writes them: a NUL would cut the message short, an escape sequence would
// retitle or clear the terminal.
std::string TerminalText(const std::string& text) {
    return Escaped(text, false);
}

void Say(Console& io, const std::string& message) {
    const std::string line = "gridwright-flatten: " + TerminalText(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), io.err);
}

int Usage(const std::string& problem, Console& io) {
    Say(io, problem);
    std::fputs("Try 'gridwright-flatten --help'.\n", io.err);
    return kUsage;
}

// Standard output must have taken every byte: a full disk or a closed pipe
// is a failure, not a success with half a listing.
int FinishOutput(Console& io) {
    if (std::fflush(io.out) != 0 || std::ferror(io.out)) {
        Say(io, std::string("could not write the output (") + std::strerror(errno) + ").");
        return kCannotWrite;
    }
    return kOk;
}

namespace {

// An error as command-line tools write them: "gridwright-flatten: cannot
// open "x.md3": No such file or directory."
void Report(const Error& error, Console& io) {
    std::string message = error.Message();
    if (!message.empty() && message[0] >= 'A' && message[0] <= 'Z')
        message[0] = char(message[0] - 'A' + 'a');
    Say(io, message);
}

struct Game;
std::unique_ptr<Game> MakeGame(GameModel&& opened, Console& io);

// Reads the model MODEL names (a file, "ARCHIVE.pk3:PATH", or a game path
// with --game), and its game when asked for.
std::optional<Model> Load(const std::string& path, const std::vector<std::string>& games, int uvSet,
                          Console& io, std::unique_ptr<Game>* game = nullptr) {
    Result<OpenedModel> opened = OpenModel(path, games);
    if (!opened.ok() && opened.error().kind == ErrorKind::PakNotModel) {
        Say(io, "\"" + path + "\" is a pak, not a model; name a model inside it as " + path +
                    ":models/...");
        return std::nullopt;
    }
    if (!opened.ok()) {
        Report(opened.error(), io);
        return std::nullopt;
    }
    Model& model = opened.value().model;
    if (uvSet >= 0 && !UseUvSet(model, uvSet)) {
        const int sets = UvSetCount(model);
        Say(io,
            "\"" + path + "\" has " +
                (sets == 1 ? std::string("one set of texture coordinates: --uv-set 0")
                           : std::to_string(sets) + " sets of texture coordinates: --uv-set 0 to " +
                                 std::to_string(sets - 1)) +
                ".");
        return std::nullopt;
    }
    for (const std::string& note : model.notes)
        Say(io, "\"" + path + "\": " + note + ".");
    if (game)
        *game = MakeGame(std::move(opened.value().game), io);
    else
        for (const std::string& problem : opened.value().game.files->problems())
            Say(io, problem);
    return std::move(model);
}

} // namespace

// Every model of the merged game folders: game path, then where it comes from.
int ModelsCommand(const std::vector<std::string>& games, const std::string& glob, Console& io) {
    GameFiles game;
    for (const std::string& folder : games)
        game.AddFolder(folder);
    const std::vector<GameFile> listed = ListModels(game);
    // After the listing, which names the folders it could not read.
    for (const std::string& problem : game.problems())
        Say(io, problem);
    const std::string pattern = LowerCase(glob.empty() ? "*" : glob);
    for (const GameFile& file : listed) {
        const std::string lower = LowerCase(file.gamePath);
        if (!native::MatchesPattern(pattern, lower))
            continue;
        std::fprintf(io.out, "%s\t%s\n", EscapeField(file.gamePath).c_str(),
                     EscapeField(ListedPath(file.origin)).c_str());
    }
    return FinishOutput(io);
}

namespace {

bool ParseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    auto number = [](const std::string& digits, int& out) {
        if (digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        out = std::atoi(digits.c_str());
        return out >= 1 && out <= kMaxTemplateSide;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

// A model of tags or frames alone loads, but has nothing to list or draw.
void NoteNoSurfaces(const Model& m, Console& io) {
    if (m.SurfaceCount() == 0)
        Say(io, "\"" + m.path + "\" has no surfaces (it holds only tags or frames).");
}

} // namespace

int ListCommand(const FlattenRequest& q, Console& io) {
    const std::optional<Model> model = Load(q.model, q.games, q.uvSet, io);
    if (!model)
        return kCannotLoad;
    const Model& m = *model;
    NoteNoSurfaces(m, io);
    for (int i = 0; i < m.SurfaceCount(); ++i) {
        const Surface& r = m.surfaces[i];
        std::fprintf(io.out, "%d\t%s\t%s\t%d\t%d\n", i, EscapeField(r.name).c_str(),
                     EscapeField(TextureNameOf(r)).c_str(), int(r.u.size()),
                     int(r.triangles.size()));
    }
    return FinishOutput(io);
}

namespace {

// The game a model belongs to, for its skins and textures.
struct Game {
    std::shared_ptr<GameFiles> files;
    std::unique_ptr<GameTextureSource> textures; // its textures, each decoded once
    std::string modelGamePath;                   // the model as the game names it
};

std::unique_ptr<Game> MakeGame(GameModel&& opened, Console& io) {
    auto game = std::make_unique<Game>();
    game->files = std::move(opened.files);
    game->textures = std::make_unique<GameTextureSource>(game->files);
    game->modelGamePath = opened.gamePath;
    // The game's problems (a pak that cannot be opened, a broken shader
    // script) explain textures not found: every command says them.
    const std::vector<std::string> scripts = game->textures->textures().problems();
    for (const std::string& problem : game->files->problems())
        Say(io, problem);
    for (const std::string& problem : scripts)
        Say(io, problem);
    return game;
}

// The skin the request names, or the model's default one; null for none.
// False (with a message) when the named skin does not exist.
bool PickSkin(const FlattenRequest& q, const Model& model, const Game& game,
              std::vector<Skin>& skins, Skin& loaded, const Skin*& skin, Console& io) {
    skins = GameSkins(*game.files, game.modelGamePath, &model);
    // The pictures a model holds take the game's colours, or ours, said once.
    if (model.HoldsPaletteSkins())
        if (const std::string problem = game.textures->PaletteProblem(); !problem.empty())
            Say(io, problem + ".");
    skin = nullptr;
    if (q.skin.empty()) {
        if (!skins.empty() && skins.front().name == "default")
            skin = &skins.front();
        return true;
    }
    const Result<const Skin*> chosen = ChooseSkin(skins, q.skin, loaded);
    if (!chosen.ok()) {
        std::string message = chosen.error().Message();
        if (message.back() != '.')
            message += '.';
        Say(io, message);
        return false;
    }
    skin = chosen.value();
    return true;
}

SurfaceTexture TextureOfSurface(const Game& game, const Model& m, int index, const Skin* skin) {
    return game.textures->Locate(m, m.surfaces[size_t(index)], skin);
}

void ReportSkinProblems(const std::vector<Skin>& skins, Console& io) {
    for (const Skin& s : skins)
        if (!s.problem.empty())
            Say(io, "skipped the skin file \"" + s.path + "\": " + s.problem + ".");
}

} // namespace

int TexturesCommand(const FlattenRequest& q, Console& io) {
    std::unique_ptr<Game> game;
    const std::optional<Model> model = Load(q.model, q.games, q.uvSet, io, &game);
    if (!model)
        return kCannotLoad;
    const Model& m = *model;
    std::vector<Skin> skins;
    Skin loaded;
    const Skin* skin = nullptr;
    if (!PickSkin(q, m, *game, skins, loaded, skin, io))
        return kUsage;
    ReportSkinProblems(skins, io);
    NoteNoSurfaces(m, io);
    GameTextureSource& textures = *game->textures;
    std::set<std::string> reported;
    for (int i = 0; i < m.SurfaceCount(); ++i) {
        const SurfaceTexture t = textures.Locate(m, m.surfaces[size_t(i)], skin);
        std::string size, problem;
        if (!t.file.empty()) {
            const std::shared_ptr<const TextureImage> image = textures.Picture(t.file, problem);
            if (image)
                size = std::to_string(image->width) + "x" + std::to_string(image->height);
            if (image && !image->note.empty() && reported.insert(t.file).second)
                Say(io, "\"" + NormalPath(t.file) + "\": " + image->note + ".");
            else if (!image && reported.insert(t.file).second)
                Say(io, problem + ".");
        } else if ((t.origin.rfind("shader:", 0) == 0 || t.origin == "material") &&
                   !t.problem.empty() && reported.insert(t.name).second) {
            Say(io, t.problem + "."); // the shader or material, and the image it wants
        }
        std::fprintf(io.out, "%d\t%s\t%s\t%s\t%s\t%s\n", i, EscapeField(m.surfaces[i].name).c_str(),
                     EscapeField(t.name).c_str(), EscapeField(t.origin).c_str(),
                     EscapeField(ListedPath(t.file)).c_str(), size.c_str());
    }
    return FinishOutput(io);
}

int ExtractSkinCommand(const FlattenRequest& q, Console& io) {
    if (q.out.empty())
        return Usage("--extract-skin writes a picture: add -o FILE.png (or .tga, .bmp)", io);
    if (!IsSkinPictureName(q.out))
        return Usage("--extract-skin writes .png, .tga or .bmp, not \"" + q.out + "\"", io);
    if (SameFile(q.model, q.out))
        return Usage("the output \"" + q.out + "\" is the model itself; choose another file name",
                     io);
    std::unique_ptr<Game> game;
    const std::optional<Model> model = Load(q.model, q.games, q.uvSet, io, &game);
    if (!model)
        return kCannotLoad;
    if (model->HoldsPaletteSkins())
        if (const std::string problem = game->textures->PaletteProblem(); !problem.empty())
            Say(io, problem + ".");
    const Status written = WriteModelSkin(*model, q.extractSkin, *game->textures, q.out);
    if (!written.ok()) {
        Report(written.error(), io);
        return model->skins.empty() || q.extractSkin < 0 ||
                       size_t(q.extractSkin) >= model->skins.size()
                   ? kCannotLoad
                   : kCannotWrite;
    }
    const EmbeddedSkin& skin = model->skins[size_t(q.extractSkin)];
    std::fprintf(io.out, "wrote %s (%dx%d, %s)\n", TerminalText(q.out).c_str(), skin.width,
                 skin.height, EscapeField(skin.name).c_str());
    return FinishOutput(io);
}

int DumpCommand(const FlattenRequest& q, Console& io) {
    const std::optional<Model> model = Load(q.model, q.games, q.uvSet, io);
    if (!model)
        return kCannotLoad;
    const Model& m = *model;
    const std::string json = ModelAsJson(m);
    std::fwrite(json.data(), 1, json.size(), io.out);
    return FinishOutput(io);
}

namespace {

// A number as briefly as it reads back the same: 64.0000001, not
// 64.000000 (which looks within the limit it breaks).
std::string Shortest(double value) {
    char digits[64];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
}

} // namespace

std::string StyleOf(const FlattenRequest& q, TemplateStyle& style) {
    if (q.size != "texture" && !ParseSize(q.size, style.width, style.height))
        return "--size takes WxH with W and H from 1 to 8192, or texture, not \"" + q.size + "\"";
    if (!(q.underlayOpacity >= 0 && q.underlayOpacity <= 1))
        return "--underlay-opacity takes a number from 0 to 1";
    if (q.wrap != "repeat" && q.wrap != "clip")
        return "--wrap takes repeat or clip, not \"" + q.wrap + "\"";
    style.wrap = q.wrap == "clip" ? WrapMode::Clip : WrapMode::Repeat;
    auto colour = [](const char* option, const std::string& text, Rgba& out) {
        if (ParseColour(text, out))
            return std::string();
        return std::string(option) + " takes a colour #RRGGBB or #RRGGBBAA, not \"" + text + "\"";
    };
    std::string problem;
    if (!q.lineColour.empty() &&
        !(problem = colour("--line-colour", q.lineColour, style.line)).empty())
        return problem;
    if (!(q.lineWidth > 0) || q.lineWidth > kMaxLineWidth)
        return "--line-width takes a width above 0 and at most " + Shortest(kMaxLineWidth) +
               ", not " + Shortest(q.lineWidth);
    style.lineWidth = q.lineWidth;
    style.antialias = q.antialias;
    if (LowerCase(q.background) == "none") {
        style.background.reset();
    } else if (!q.background.empty()) {
        Rgba c;
        if (!(problem = colour("--background", q.background, c)).empty())
            return problem;
        style.background = c;
    }
    if (!q.fill.empty()) {
        Rgba c;
        if (!(problem = colour("--fill", q.fill, c)).empty())
            return problem;
        style.fill = c;
    }
    style.overlaps = q.overlaps;
    if (!q.overlapColour.empty()) {
        if (!q.overlaps)
            return "--overlap-colour needs --overlaps";
        if (!(problem = colour("--overlap-colour", q.overlapColour, style.overlapColour)).empty())
            return problem;
    }
    style.colourBySurface = q.colourBySurface;
    if (q.seamsAsked) {
        Rgba c = kDefaultSeamColour;
        if (!q.seams.empty() && !(problem = colour("--seams", q.seams, c)).empty())
            return problem;
        style.seams = c;
    }
    if (q.flippedAsked) {
        Rgba c = kDefaultFlippedColour;
        if (!q.flipped.empty() && !(problem = colour("--flipped", q.flipped, c)).empty())
            return problem;
        style.flipped = c;
    }
    if (q.outline != "all" && q.outline != "islands")
        return "--outline takes all or islands, not \"" + q.outline + "\"";
    style.outline = q.outline == "islands" ? Outline::Islands : Outline::All;
    style.islands = q.islands;
    return {};
}

// Templates for every texture of every model matching a pattern.
int BatchCommand(const FlattenRequest& q, const std::string& glob, int jobs, const std::string& ext,
                 Console& io) {
    if (q.games.empty())
        return Usage("--batch makes the templates of game folders: give them with --game DIR", io);
    if (q.out.empty())
        return Usage("--batch needs the folder to write into: -o OUTDIR", io);
    BatchOptions options;
    options.glob = glob;
    options.outDir = q.out;
    options.format = FormatOfPath("x." + ext);
    if (options.format == TemplateFormat::Unknown)
        return Usage("--format takes one of " + ExtensionList() + ", not \"" + ext + "\"", io);
    std::string problem = StyleOf(q, options.style);
    if (!problem.empty())
        return Usage(problem, io);
    if (const Status fits = CheckStyle(options.style, options.format); !fits.ok())
        return Usage(fits.error().reason, io);
    options.sizeFromTexture = q.size == "texture" || !q.sizeGiven;
    options.underlay = q.underlay;
    options.underlayOpacity = q.underlayOpacity;
    options.skin = q.skin;
    options.uvSet = q.uvSet;
    options.sheets = q.sheets;
    options.jobs = jobs > 0 ? jobs : int(std::max(1u, std::thread::hardware_concurrency()));
    if (options.jobs > kMaxBatchJobs) {
        Say(io, "-j " + std::to_string(options.jobs) + " is more than " +
                    std::to_string(kMaxBatchJobs) + "; making " + std::to_string(kMaxBatchJobs) +
                    " templates at once.");
        options.jobs = kMaxBatchJobs;
    }
    if (::isatty(::fileno(io.err)))
        options.progress = [&io](size_t done, size_t total) {
            std::fprintf(io.err, "\rgridwright-flatten: %zu of %zu templates", done, total);
        };
    // OUTDIR, made before any template is drawn: a file in its place or a
    // folder that refuses it fails the run at once, saying why.
    std::error_code error;
    std::filesystem::create_directories(native::PathOf(q.out), error);
    if (!error && !std::filesystem::is_directory(native::PathOf(q.out), error) && !error)
        error = std::make_error_code(std::errc::not_a_directory);
    if (error) {
        Say(io, "cannot make the folder \"" + q.out + "\": " + error.message() + ".");
        return kCannotWrite;
    }
    GameFiles files;
    for (const std::string& folder : q.games)
        files.AddFolder(folder);
    GameTextures textures(files);
    const std::vector<BatchEntry> entries = RunBatch(files, textures, options);
    if (options.progress)
        std::fprintf(io.err, "\n");
    // After the run, which names the folders it could not list.
    for (const std::string& p : files.problems())
        Say(io, p);
    for (const std::string& p : textures.problems())
        Say(io, p);
    std::string manifest;
    size_t failed = 0;
    std::set<std::string> written; // two textures drawn from the same surfaces share a file
    size_t sheets = 0;
    for (const BatchEntry& e : entries) {
        manifest += ManifestLine(e) + "\n";
        if (e.error.empty() && e.sheet)
            ++sheets;
        else if (e.error.empty())
            written.insert(e.output);
        if (!e.error.empty()) {
            ++failed;
            Say(io, EscapeField(GamePath(e.model)) + (e.texture.empty() ? "" : ", ") +
                        EscapeField(GamePath(e.texture)) + ": " + e.error);
        }
    }
    const std::string manifestPath = native::Utf8Of((native::PathOf(q.out) / "manifest.jsonl"));
    if (const Status written = WriteFileSafely(manifestPath, manifest); !written.ok()) {
        Report(written.error(), io);
        return kCannotWrite;
    }
    std::fprintf(io.out, "wrote %zu templates%s in %s (%zu failed); see %s\n", written.size(),
                 options.sheets ? (" and " + std::to_string(sheets) + " sheets").c_str() : "",
                 TerminalText(q.out).c_str(), failed, TerminalText(manifestPath).c_str());
    const int status = FinishOutput(io);
    return failed == 0 ? status : kCannotWrite;
}

std::string TemplateOf(const FlattenRequest& q, TemplateStyle& style) {
    const TemplateFormat format = FormatOfPath(q.out);
    if (format == TemplateFormat::Unknown)
        return "cannot tell the format of \"" + q.out + "\": give it the extension " +
               ExtensionList();
    if (std::string problem = StyleOf(q, style); !problem.empty())
        return problem;
    if (const Status fits = CheckStyle(style, format); !fits.ok())
        return fits.error().reason;
    if (q.underlay && !InfoOf(format)->texture)
        return std::string("--underlay does not apply to .") + ExtensionOf(format) +
               ": the texture goes under PNG, BMP and PDF templates";
    return {};
}

int FlattenCommand(const FlattenRequest& q, Console& io) {
    TemplateStyle style;
    if (const std::string problem = TemplateOf(q, style); !problem.empty())
        return Usage(problem, io);
    if (SameFile(q.model, q.out))
        return Usage("the output \"" + q.out + "\" is the model itself; choose another file name",
                     io);
    std::unique_ptr<Game> game;
    const std::optional<Model> model = Load(q.model, q.games, q.uvSet, io, &game);
    if (!model)
        return kCannotLoad;
    const Model& m = *model;
    if (m.SurfaceCount() == 0) {
        Say(io, "\"" + q.model +
                    "\" has no surfaces (it holds only tags or frames), so it has no texture "
                    "layout to draw.");
        return kCannotLoad;
    }
    std::vector<Skin> skins;
    Skin loaded;
    const Skin* skin = nullptr;
    if (!PickSkin(q, m, *game, skins, loaded, skin, io))
        return kUsage;
    // A template written over a texture the model wears would destroy the paint.
    for (int i = 0; i < m.SurfaceCount(); ++i) {
        const std::string file = TextureOfSurface(*game, m, i, skin).file;
        if (!file.empty() && SameFile(file, q.out))
            return Usage("the output \"" + q.out + "\" is the texture \"" + file +
                             "\" that the model wears; choose another file name",
                         io);
    }
    TemplateRequest request;
    request.surfaces = q.surfaces;
    request.texture = q.texture;
    request.all = q.all;
    request.skin = skin;
    request.style = style;
    request.textureSize = q.size == "texture";
    request.underlay = q.underlay;
    request.underlayOpacity = q.underlayOpacity;
    GameTextureSource& textures = *game->textures;
    const Result<TemplatePlan> planned = PlanTemplate(m, request, textures);
    if (!planned.ok()) {
        const bool texture = planned.error().kind == ErrorKind::NoSuchTexture;
        Say(io, planned.error().reason + "; 'gridwright-flatten " +
                    (texture ? "--textures " : "--list ") + q.model + "' shows their " +
                    (texture ? "textures." : "surfaces."));
        return kUsage;
    }
    const TemplatePlan& plan = planned.value();
    if (request.underlay || request.textureSize)
        ReportSkinProblems(skins, io);
    if (!plan.sizeConflict.empty())
        return Usage("--size texture: the surfaces drawn wear textures of different sizes: " +
                         plan.sizeConflict + "; give the size as WxH",
                     io);
    for (const Error& warning : plan.warnings)
        Say(io, (warning.kind == ErrorKind::EmptyLayout ? "warning: " : "") + warning.reason + ".");
    if (request.textureSize && plan.texturesRead == 0)
        Say(io, "no texture of the surfaces drawn was read; the template keeps its size, " +
                    std::to_string(plan.style.width) + "x" + std::to_string(plan.style.height) +
                    ".");
    const std::vector<int>& chosen = plan.indices;
    const TemplateStyle& drawn = plan.style;
    const Status outcome = WriteTemplateFile(q.out, plan.surfaces, drawn);
    if (!outcome.ok()) {
        Report(outcome.error(), io);
        return kCannotWrite;
    }
    std::string which;
    for (size_t i = 0; i < chosen.size(); ++i)
        which += (i ? ", " : "") + std::to_string(chosen[i]) + " \"" +
                 EscapeField(m.surfaces[chosen[i]].name) + "\"";
    std::fprintf(io.out, "wrote %s (%dx%d, surface%s %s)\n", TerminalText(q.out).c_str(),
                 drawn.width, drawn.height, chosen.size() > 1 ? "s" : "", which.c_str());
    return kOk;
}

bool SameFile(const std::string& a, const std::string& b) {
    // The volume and the file's number there: Windows' stat() gives no inode.
    native::FileStatus sa, sb;
    return native::StatusOf(a, sa) && native::StatusOf(b, sb) && sa.device == sb.device &&
           sa.inode == sb.inode;
}
