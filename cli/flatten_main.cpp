// gridwright-flatten: the painting template of a model's surfaces, from the
// command line, for batch work and scripts.
#include "cli/ModelJson.h"
#include "export/SafeFile.h"
#include "export/TemplateFile.h"
#include "flatten/Batch.h"
#include "flatten/GameTextureSource.h"
#include "flatten/TemplateRequest.h"
#include "game/GameFiles.h"
#include "game/GameTextures.h"
#include "image/TextureImage.h"
#include "model/Md3Reader.h"
#include "model/Model.h"
#include "model/SkinFile.h"
#include "model/TextureFinder.h"
#include "model/Version.h"
#include "render/LayoutRaster.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <fnmatch.h>
#include <thread>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

enum ExitCode { kOk = 0, kUsage = 2, kCannotLoad = 3, kCannotWrite = 4 };

const char* const kExamples =
    "\n"
    "  gridwright-flatten --list MODEL.md3\n"
    "  gridwright-flatten --dump MODEL.md3\n"
    "  gridwright-flatten --textures MODEL.md3 [--skin NAME|FILE.skin]\n"
    "  gridwright-flatten MODEL.md3 [--surface N|NAME]... [--texture NAME] [--all]\n"
    "                     [--size WxH] [style options] -o OUT\n";

// The formats come from the table of output formats.
std::string Description() {
    return "Writes the texture layout of an MD3 model's surfaces as a painting template.\n"
           "OUT's extension picks the format: " +
           ExtensionList() + " (any case).\n" + kExamples;
}

std::string Extensions(const char* separator) {
    std::string list;
    for (const FormatInfo& f : TemplateFormats())
        list += (list.empty() ? "." : separator + std::string(".")) + f.extension;
    return list;
}

const char* const kFooter =
    "--surface takes an index when it is only digits and below the surface count,\n"
    "else a name (exact first, then without regard to letter case); it may be\n"
    "repeated. With no --surface, --texture or --all, surface 0 is drawn.\n"
    "\n"
    "--list writes one line per surface: index, name, texture, vertices, triangles,\n"
    "tab-separated; in names a backslash, tab, newline, carriage return and other\n"
    "control bytes are written \\\\, \\t, \\n, \\r and \\xHH.\n"
    "\n"
    "--textures writes one line per surface: index, surface name, texture name,\n"
    "where it came from (skin:FILE or model), the image file found (empty when\n"
    "none), its size WxH (empty when unknown); tab-separated, escaped like --list.\n"
    "A model's .skin files (MODEL_<name>.skin) say which texture each surface\n"
    "wears; --skin picks one (default: \"default\" when there is one). Texture names\n"
    "are found from the game's folder above the model, as given or as .tga, .jpg,\n"
    ".jpeg or .png. --size texture makes the template the texture's size.\n"
    "\n"
    "Colours are #RRGGBB or #RRGGBBAA. With no style option the template is the\n"
    "classic one: black 1-pixel lines on white, exact to the pixel.\n"
    "\n"
    "Examples:\n"
    "  gridwright-flatten --list upper.md3\n"
    "  gridwright-flatten upper.md3 --surface u_torso --size 1024x1024 -o torso.png\n"
    "  gridwright-flatten hive.md3 --texture models/buildables/hive/hive --overlaps \\\n"
    "      --line-width 2 --antialias --background none -o hive.png\n"
    "  gridwright-flatten tank.md3 --all --colour-by-surface -o tank.pdf\n"
    "\n"
    "Exit status: 0 done, 2 bad usage, 3 model not loaded, 4 template or listing\n"
    "not written.\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "gridwright-flatten: %s\nTry 'gridwright-flatten --help'.\n",
                 problem.c_str());
    return kUsage;
}

// An error as command-line tools write them: "gridwright-flatten: cannot
// open "x.md3": No such file or directory."
void Report(const Error& error) {
    std::string message = error.Message();
    if (!message.empty() && message[0] >= 'A' && message[0] <= 'Z')
        message[0] = char(message[0] - 'A' + 'a');
    std::fprintf(stderr, "gridwright-flatten: %s\n", message.c_str());
}

struct Game;
std::unique_ptr<Game> MakeGame(GameModel&& opened);

// Reads the model MODEL names (a file, "ARCHIVE.pk3:PATH", or a game path
// with --game), and its game when asked for.
std::optional<Model> Load(const std::string& path, const std::vector<std::string>& games = {},
                          std::unique_ptr<Game>* game = nullptr) {
    Result<GameModel> opened = OpenGameModel(path, games);
    if (!opened.ok()) {
        Report(opened.error());
        return std::nullopt;
    }
    Result<Model> loaded = ReadMd3(opened.value().bytes);
    if (!loaded.ok()) {
        Report(loaded.error());
        return std::nullopt;
    }
    if (game)
        *game = MakeGame(std::move(opened.value()));
    return std::move(loaded.value());
}

std::string EscapeField(const std::string& text);
int FinishOutput();

// Every model of the merged game folders: game path, then where it comes from.
int Models(const std::vector<std::string>& games, const std::string& glob) {
    GameFiles game;
    for (const std::string& folder : games)
        game.AddFolder(folder);
    for (const std::string& problem : game.problems())
        std::fprintf(stderr, "gridwright-flatten: %s\n", problem.c_str());
    const std::string pattern = LowerCase(glob.empty() ? "*" : glob);
    for (const GameFile& file : game.List("models/")) {
        const std::string lower = LowerCase(file.gamePath);
        if (lower.size() < 4 || lower.compare(lower.size() - 4, 4, ".md3") != 0 ||
            fnmatch(pattern.c_str(), lower.c_str(), 0) != 0)
            continue;
        std::printf("%s\t%s\n", EscapeField(file.gamePath).c_str(),
                    EscapeField(file.origin).c_str());
    }
    return FinishOutput();
}

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

// A name as one field of a tab-separated line: nothing in it can end the
// field or the line, or reach the terminal as a control sequence.
std::string EscapeField(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\')
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

// Standard output must have taken every byte: a full disk or a closed pipe
// is a failure, not a success with half a listing.
int FinishOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "gridwright-flatten: could not write the output (%s).\n",
                     std::strerror(errno));
        return kCannotWrite;
    }
    return kOk;
}

// True when both paths name one existing file.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// A model of tags or frames alone loads, but has nothing to list or draw.
void NoteNoSurfaces(const Model& m) {
    if (m.SurfaceCount() == 0)
        std::fprintf(stderr,
                     "gridwright-flatten: \"%s\" has no surfaces (it holds only tags or "
                     "frames).\n",
                     m.path.c_str());
}

int List(const std::string& path, const std::vector<std::string>& games) {
    const std::optional<Model> model = Load(path, games);
    if (!model)
        return kCannotLoad;
    const Model& m = *model;
    NoteNoSurfaces(m);
    for (int i = 0; i < m.SurfaceCount(); ++i) {
        const Surface& r = m.surfaces[i];
        std::printf("%d\t%s\t%s\t%d\t%d\n", i, EscapeField(r.name).c_str(),
                    EscapeField(TextureNameOf(r)).c_str(), r.vertexCount, r.triangleCount);
    }
    return FinishOutput();
}

struct FlattenRequest {
    std::string model, out, size = "128x128", wrap = "repeat", skin;
    std::vector<std::string> games; // --game folders, base first
    bool sizeGiven = false;
    bool underlay = false;
    double underlayOpacity = 0.5;
    std::vector<std::string> surfaces;
    std::string texture;
    bool all = false;
    std::string lineColour, background, fill, overlapColour, seams, flipped;
    bool seamsAsked = false, flippedAsked = false;
    double lineWidth = 1.0;
    bool antialias = false, overlaps = false, colourBySurface = false, islands = false;
    std::string outline = "all";
};

// The skin the request names, or the model's default one; null for none.
// False (with a message) when the named skin does not exist.
// The game a model belongs to, for its skins and textures.
struct Game {
    std::shared_ptr<GameFiles> files;
    std::unique_ptr<GameTextureSource> textures; // its textures, each decoded once
    std::string modelGamePath;                   // the model as the game names it
    bool modelInGame = false; // read from the game's files, not from a file named
};

std::unique_ptr<Game> MakeGame(GameModel&& opened) {
    auto game = std::make_unique<Game>();
    game->files = std::move(opened.files);
    game->textures = std::make_unique<GameTextureSource>(game->files);
    game->modelGamePath = opened.gamePath;
    game->modelInGame = opened.inGame;
    return game;
}

bool PickSkin(const FlattenRequest& q, const Game& game, std::vector<Skin>& skins, Skin& loaded,
              const Skin*& skin) {
    skins = GameSkins(*game.files, game.modelGamePath);
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
        std::fprintf(stderr, "gridwright-flatten: %s\n", message.c_str());
        return false;
    }
    skin = chosen.value();
    return true;
}

SurfaceTexture TextureOfSurface(const Game& game, const Model& m, int index, const Skin* skin) {
    return game.textures->Locate(m, m.surfaces[size_t(index)], skin);
}

void ReportSkinProblems(const std::vector<Skin>& skins) {
    for (const Skin& s : skins)
        if (!s.problem.empty())
            std::fprintf(stderr, "gridwright-flatten: skipped the skin file \"%s\": %s.\n",
                         s.path.c_str(), s.problem.c_str());
}

int Textures(const FlattenRequest& q) {
    std::unique_ptr<Game> game;
    const std::optional<Model> model = Load(q.model, q.games, &game);
    if (!model)
        return kCannotLoad;
    const Model& m = *model;
    std::vector<Skin> skins;
    Skin loaded;
    const Skin* skin = nullptr;
    if (!PickSkin(q, *game, skins, loaded, skin))
        return kUsage;
    ReportSkinProblems(skins);
    NoteNoSurfaces(m);
    GameTextureSource& textures = *game->textures;
    std::set<std::string> reported;
    for (int i = 0; i < m.SurfaceCount(); ++i) {
        const SurfaceTexture t = textures.Locate(m, m.surfaces[size_t(i)], skin);
        std::string size, problem;
        if (!t.file.empty()) {
            const std::shared_ptr<const TextureImage> image = textures.Picture(t.file, problem);
            if (image)
                size = std::to_string(image->width) + "x" + std::to_string(image->height);
            else if (reported.insert(t.file).second)
                std::fprintf(stderr, "gridwright-flatten: %s.\n", problem.c_str());
        }
        std::printf("%d\t%s\t%s\t%s\t%s\t%s\n", i, EscapeField(m.surfaces[i].name).c_str(),
                    EscapeField(t.name).c_str(), EscapeField(t.origin).c_str(),
                    EscapeField(t.file).c_str(), size.c_str());
    }
    return FinishOutput();
}

int Dump(const std::string& path, const std::vector<std::string>& games) {
    const std::optional<Model> model = Load(path, games);
    if (!model)
        return kCannotLoad;
    const Model& m = *model;
    const std::string json = ModelAsJson(m);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return FinishOutput();
}

// The style the options describe, or a usage problem.
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
        return "--line-width takes a width above 0 and at most 64, not " +
               std::to_string(q.lineWidth);
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
int Batch(const FlattenRequest& q, const std::string& glob, int jobs, const std::string& ext) {
    if (q.games.empty())
        return Usage("--batch makes the templates of game folders: give them with --game DIR");
    if (q.out.empty())
        return Usage("--batch needs the folder to write into: -o OUTDIR");
    BatchOptions options;
    options.glob = glob;
    options.outDir = q.out;
    options.format = FormatOfPath("x." + ext);
    if (options.format == TemplateFormat::Unknown)
        return Usage("--format takes one of " + ExtensionList() + ", not \"" + ext + "\"");
    std::string problem = StyleOf(q, options.style);
    if (!problem.empty())
        return Usage(problem);
    if (const Status fits = CheckStyle(options.style, options.format); !fits.ok())
        return Usage(fits.error().reason);
    options.sizeFromTexture = q.size == "texture" || !q.sizeGiven;
    options.underlay = q.underlay;
    options.underlayOpacity = q.underlayOpacity;
    options.skin = q.skin;
    options.jobs = jobs > 0 ? jobs : int(std::max(1u, std::thread::hardware_concurrency()));
    if (::isatty(STDERR_FILENO))
        options.progress = [](size_t done, size_t total) {
            std::fprintf(stderr, "\rgridwright-flatten: %zu of %zu templates", done, total);
        };
    std::error_code error;
    std::filesystem::create_directories(q.out, error);
    GameFiles files;
    for (const std::string& folder : q.games)
        files.AddFolder(folder);
    GameTextures textures(files);
    for (const std::string& p : files.problems())
        std::fprintf(stderr, "gridwright-flatten: %s\n", p.c_str());
    for (const std::string& p : textures.problems())
        std::fprintf(stderr, "gridwright-flatten: %s\n", p.c_str());
    const std::vector<BatchEntry> entries = RunBatch(files, textures, options);
    if (options.progress)
        std::fprintf(stderr, "\n");
    std::string manifest;
    size_t failed = 0;
    for (const BatchEntry& e : entries) {
        manifest += ManifestLine(e) + "\n";
        if (!e.error.empty()) {
            ++failed;
            std::fprintf(stderr, "gridwright-flatten: %s%s%s: %s\n", e.model.c_str(),
                         e.texture.empty() ? "" : ", ", e.texture.c_str(), e.error.c_str());
        }
    }
    const std::string manifestPath = (std::filesystem::path(q.out) / "manifest.jsonl").string();
    if (const Status written = WriteFileSafely(manifestPath, manifest); !written.ok()) {
        Report(written.error());
        return kCannotWrite;
    }
    std::printf("wrote %zu templates in %s (%zu failed); see %s\n", entries.size() - failed,
                q.out.c_str(), failed, manifestPath.c_str());
    return failed == 0 ? FinishOutput() : kCannotWrite;
}

int Flatten(const FlattenRequest& q) {
    const TemplateFormat format = FormatOfPath(q.out);
    if (format == TemplateFormat::Unknown)
        return Usage("cannot tell the format of \"" + q.out + "\": give it the extension " +
                     ExtensionList());
    TemplateStyle style;
    std::string problem = StyleOf(q, style);
    if (!problem.empty())
        return Usage(problem);
    if (const Status fits = CheckStyle(style, format); !fits.ok())
        return Usage(fits.error().reason);
    if (q.underlay && !InfoOf(format)->texture)
        return Usage(std::string("--underlay does not apply to .") + ExtensionOf(format) +
                     ": the texture goes under PNG, BMP and PDF templates");
    if (SameFile(q.model, q.out))
        return Usage("the output \"" + q.out + "\" is the model itself; choose another file name");
    std::unique_ptr<Game> game;
    const std::optional<Model> model = Load(q.model, q.games, &game);
    if (!model)
        return kCannotLoad;
    const Model& m = *model;
    if (m.SurfaceCount() == 0) {
        std::fprintf(stderr,
                     "gridwright-flatten: \"%s\" has no surfaces (it holds only tags or frames), "
                     "so it has no texture layout to draw.\n",
                     q.model.c_str());
        return kCannotLoad;
    }
    std::vector<Skin> skins;
    Skin loaded;
    const Skin* skin = nullptr;
    if (!PickSkin(q, *game, skins, loaded, skin))
        return kUsage;
    // A template written over a texture the model wears would destroy the paint.
    for (int i = 0; i < m.SurfaceCount(); ++i) {
        const std::string file = TextureOfSurface(*game, m, i, skin).file;
        if (!file.empty() && SameFile(file, q.out))
            return Usage("the output \"" + q.out + "\" is the texture \"" + file +
                         "\" that the model wears; choose another file name");
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
        const std::string& reason = planned.error().reason;
        const bool texture = reason.find(" wears the texture ") != std::string::npos;
        std::fprintf(stderr, "gridwright-flatten: %s; 'gridwright-flatten %s %s' shows their %s.\n",
                     reason.c_str(), texture ? "--textures" : "--list", q.model.c_str(),
                     texture ? "textures" : "surfaces");
        return kUsage;
    }
    const TemplatePlan& plan = planned.value();
    if (request.underlay || request.textureSize)
        ReportSkinProblems(skins);
    if (!plan.sizeConflict.empty())
        return Usage("--size texture: the surfaces drawn wear textures of different sizes: " +
                     plan.sizeConflict + "; give the size as WxH");
    for (const std::string& warning : plan.warnings)
        std::fprintf(stderr, "gridwright-flatten: %s%s.\n",
                     warning.find("has no area") != std::string::npos ? "warning: " : "",
                     warning.c_str());
    if (request.textureSize && plan.texturesRead == 0)
        std::fprintf(stderr,
                     "gridwright-flatten: no texture of the surfaces drawn was read; the "
                     "template keeps its size, %dx%d.\n",
                     plan.style.width, plan.style.height);
    const std::vector<int>& chosen = plan.indices;
    const TemplateStyle& drawn = plan.style;
    const Status outcome = WriteTemplateFile(q.out, plan.surfaces, drawn);
    if (!outcome.ok()) {
        Report(outcome.error());
        return kCannotWrite;
    }
    std::string which;
    for (size_t i = 0; i < chosen.size(); ++i)
        which += (i ? ", " : "") + std::to_string(chosen[i]) + " \"" +
                 EscapeField(m.surfaces[chosen[i]].name) + "\"";
    std::printf("wrote %s (%dx%d, surface%s %s)\n", q.out.c_str(), drawn.width, drawn.height,
                chosen.size() > 1 ? "s" : "", which.c_str());
    return kOk;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app(Description(), "gridwright-flatten");
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("gridwright-flatten ") + kGridwrightVersion);
    app.get_formatter()->column_width(34);
    FlattenRequest q;
    bool list = false, dump = false, textures = false;
    app.add_option("MODEL", q.model,
                   "the MD3 model: a file, ARCHIVE.pk3:PATH, or a game path with --game");
    app.add_option("--game", q.games,
                   "a game folder: its files, .pk3dir folders and paks (repeatable: base first, "
                   "then mods)")
        ->type_name("DIR")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    std::string modelsGlob, batchGlob, format = "png";
    int jobs = 0;
    CLI::Option* batch =
        app.add_option("--batch", batchGlob,
                       "a template per texture of every model of the --game folders matching GLOB, "
                       "into the folder -o names, with OUTDIR/manifest.jsonl")
            ->type_name("GLOB");
    app.add_option("-j", jobs, "templates made at once with --batch [default: the cores]")
        ->type_name("N");
    app.add_option("--format", format, "the format of --batch templates")
        ->type_name("EXT")
        ->capture_default_str();
    CLI::Option* models =
        app.add_option("--models", modelsGlob,
                       "every model of the --game folders, or those matching GLOB")
            ->type_name("[GLOB]")
            ->expected(0, 1);
    app.add_flag("--list", list, "list the surfaces, one line each (see below)");
    app.add_flag("--dump", dump, "the loaded surfaces as JSON");
    app.add_flag("--textures", textures,
                 "the texture each surface wears, one line each (see below)");
    app.add_option("--skin", q.skin, "the .skin to read textures from [default: default]")
        ->type_name("NAME|FILE.skin");
    app.add_flag("--underlay", q.underlay, "draw the texture under the layout (PNG, BMP, PDF)");
    app.add_option("--underlay-opacity", q.underlayOpacity, "the texture's opacity, 0 to 1")
        ->type_name("X")
        ->capture_default_str();
    app.add_option("--surface", q.surfaces, "a surface to draw, by index or name (repeatable)")
        ->type_name("N|NAME")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--texture", q.texture,
                   "every surface wearing this texture (any case, extension optional)")
        ->type_name("NAME");
    app.add_flag("--all", q.all, "every surface of the model");
    app.add_option("--size", q.size, "the template's size, 1 to 8192 each way, or texture")
        ->type_name("WxH|texture")
        ->capture_default_str();
    app.add_option("-o", q.out, "the template file: " + Extensions(" "))->type_name("OUT");
    app.add_option("--wrap", q.wrap,
                   "repeat: coordinates wrap as the game repeats the texture; clip: as stored")
        ->type_name("repeat|clip")
        ->capture_default_str();
    app.add_option("--line-colour", q.lineColour, "line colour [default: #000000]")->type_name("C");
    app.add_option("--line-width", q.lineWidth,
                   "line width in pixels (images) or points (vector), above 0 up to 64")
        ->type_name("W")
        ->capture_default_str();
    app.add_flag("--antialias", q.antialias, "smooth lines in images (PNG, BMP)");
    app.add_option("--background", q.background,
                   "background colour, or none for a transparent one [default: #ffffff]")
        ->type_name("C|none");
    app.add_option("--fill", q.fill, "fill the faces with this colour [default: no fill]")
        ->type_name("C");
    app.add_flag("--overlaps", q.overlaps, "highlight where two or more faces overlap");
    app.add_option("--overlap-colour", q.overlapColour,
                   "the overlap highlight [default: #ff000080]")
        ->type_name("C");
    CLI::Option* seamsOption =
        app.add_option("--seams", q.seams,
                       "draw the seams (edges joined in the model, cut in the layout) in colour C "
                       "[default: #00c000]")
            ->type_name("[C]")
            ->expected(0, 1);
    CLI::Option* flippedOption =
        app.add_option("--flipped", q.flipped,
                       "fill the faces laid out mirrored against the rest of their surface in "
                       "colour C [default: #0060ff80]")
            ->type_name("[C]")
            ->expected(0, 1);
    app.add_option("--outline", q.outline,
                   "all: every edge of every face; islands: only the border of each island")
        ->type_name("all|islands")
        ->capture_default_str();
    app.add_flag("--islands", q.islands,
                 "fill each island with its own opaque colour (for the magic wand and masks)");
    app.add_flag("--colour-by-surface", q.colourBySurface,
                 "each surface its own line colour, readable on white and black");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return FinishOutput();
    } catch (const CLI::CallForVersion&) {
        std::printf("gridwright-flatten %s\n", kGridwrightVersion);
        return FinishOutput();
    } catch (const CLI::ParseError& error) {
        return Usage(error.what());
    }
    if (int(list) + int(dump) + int(textures) > 1)
        return Usage("--list, --dump and --textures go one at a time");
    q.seamsAsked = seamsOption->count() > 0;
    q.flippedAsked = flippedOption->count() > 0;
    CLI::Option* sizeOption = app.get_option("--size");
    q.sizeGiven = sizeOption->count() > 0;
    if (batch->count() > 0)
        return Batch(q, batchGlob, jobs, format);
    if (models->count() > 0) {
        if (q.games.empty())
            return Usage("--models lists the models of game folders: give them with --game DIR");
        return Models(q.games, modelsGlob);
    }
    if (q.model.empty())
        return Usage("no model given");
    if (list)
        return List(q.model, q.games);
    if (dump)
        return Dump(q.model, q.games);
    if (textures)
        return Textures(q);
    if (q.out.empty()) {
        const std::string all = Extensions(", "); // ".eps, .svg, ..."
        const size_t comma = all.find(", ");
        return Usage("no output file given: add -o OUT" + all.substr(0, comma) + " (or " +
                     all.substr(comma + 2) + ")");
    }
    return Flatten(q);
}
