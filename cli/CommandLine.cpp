// gridwright-flatten's options, read with CLI11, and the command they ask for.
#include "cli/Commands.h"

#include "bake/Bake.h"
#include "export/TemplateFile.h"
#include "game/GameFiles.h"
#include "model/ModelFormats.h"
#include "model/NativeFile.h"
#include "model/Version.h"
#include "render/Padding.h"
#include "render/TemplateStyle.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace {

const char* const kExamples =
    "\n"
    "  gridwright-flatten --list MODEL\n"
    "  gridwright-flatten --dump MODEL\n"
    "  gridwright-flatten --textures MODEL [--skin NAME|FILE.skin]\n"
    "  gridwright-flatten --animations MODEL\n"
    "  gridwright-flatten --extract-skin N MODEL -o SKIN.png\n"
    "  gridwright-flatten MODEL.mdl --set-skin N PICTURE -o OUT.mdl [--dither]\n"
    "  gridwright-flatten MODEL.mdl --add-skin PICTURE -o OUT.mdl\n"
    "  gridwright-flatten [MODEL.md2] --pcx PICTURE -o OUT.pcx [--game DIR|--palette F]\n"
    "  gridwright-flatten --game DIR --wearers TEXTURE\n"
    "  gridwright-flatten --game DIR --texture TEXTURE [style options] -o OUT\n"
    "  gridwright-flatten --game DIR --batch GLOB [--skin all] [style options] -o OUTDIR\n"
    "  gridwright-flatten MODEL --check-skin [--skin NAME] [--game DIR]\n"
    "  gridwright-flatten MODEL --pack OUT.pk3 [--skin NAME] [--full] [--game DIR]\n"
    "  gridwright-flatten MODEL --new-skin NAME [--from default] [-o FOLDER]\n"
    "  gridwright-flatten MODEL --pad PAINTED [--pad-band N] (-o OUT | --in-place)\n"
    "  gridwright-flatten --game DIR --batch GLOB --pad [--pad-band N] -o OUTDIR\n"
    "  gridwright-flatten MODEL --check-bleed PAINTED [-o PICTURE.png]\n"
    "  gridwright-flatten MODEL --bake ao,light,normals,curvature,density,never-seen\n"
    "                     [--texture NAME] [--bake-rays N] [--bake-size N] -o OUT.png\n"
    "  gridwright-flatten MODEL [--surface N|NAME]... [--texture NAME] [--all]\n"
    "                     [--size WxH] [style options] -o OUT\n";

// The formats come from the table of output formats.
std::string Description() {
    std::string formats;
    for (const ModelFormat& f : ModelFormats())
        formats += (formats.empty() ? "" : ", ") + std::string(f.name);
    return "Writes the texture layout of a model's surfaces as a painting template.\n"
           "MODEL is any of " +
           formats + " (.md5mesh for MD5), told by its first bytes.\n" +
           "OUT's extension picks the format: " + ExtensionList() + " (any case).\n" + kExamples;
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
    "--animations writes one line per named animation: name, first frame, frames\n"
    "(negative: played backwards), looping frames (0: it holds its last), frames a\n"
    "second; tab-separated. A player's come from the animation.cfg beside it, the\n"
    "legs' first frames counted in lower.md3 as the game counts them; an MD2's or\n"
    "MDL's from its frames' names (run1...run6 is run); MODEL.framegroups beside a\n"
    "model replaces its list.\n"
    "\n"
    "--textures writes one line per surface: index, surface name, texture name,\n"
    "where it came from (skin:FILE or model), the image file found (empty when\n"
    "none), its size WxH (empty when unknown); tab-separated, escaped like --list.\n"
    "A model's .skin files (MODEL_<name>.skin) say which texture each surface\n"
    "wears; --skin picks one (default: \"default\" when there is one). Texture names\n"
    "are found from the game's folder above the model, as given or as .tga, .jpg,\n"
    ".jpeg or .png. --size texture makes the template the texture's size.\n"
    "An MD2 names its skins (each is a --skin choice, by its file name); an MDL\n"
    "holds its own (\"skin 0\", \"skin 1\", ...), coloured by the game's\n"
    "gfx/palette.lmp or, without one, by Quake's own palette; --extract-skin N\n"
    "writes one out to paint on. An MD5 mesh's shader is looked up in the game's\n"
    "materials/*.mtr files first; an IQM's skins are MODEL.iqm_N.skin files.\n"
    "\n"
    "--set-skin N and --add-skin put a painted picture (PNG, TGA, JPEG or PCX of\n"
    "the skin's size) into an MDL, every other byte of the model kept; --pcx\n"
    "writes one as Quake II's 8-bit PCX. Each pixel takes the nearest colour of\n"
    "the palette (red, green and blue distance; a tie takes the lower index), or\n"
    "with --dither, Floyd-Steinberg's, rows alternating direction. The palette:\n"
    "--palette FILE (a 768-byte .lmp or a 256-colour .pcx), else the game's\n"
    "gfx/palette.lmp (MDL; without one, Quake's) or pics/colormap.pcx (PCX).\n"
    "An MDL keeps clear of Quake's glowing colours 224 to 255 unless --fullbright\n"
    "is given, and ignores transparency (the game draws skins opaque); in a PCX\n"
    "index 255, see-through in Quake II, is kept for transparent pixels.\n"
    "\n"
    "--game takes one game folder each time it is given (base first, then mods):\n"
    "the folder that holds the game's paks and its models/, scripts/ and textures/\n"
    "folders (Quake's progs/ and gfx/ too). A model inside a pak is named\n"
    "ARCHIVE.pk3:PATH, or pak0.pak:PATH for Quake's paks.\n"
    "\n"
    "A texture is one file, whoever wears it: names that the game resolves to\n"
    "one file (any case, either slash, another extension, a shader) are one\n"
    "texture. --batch writes one template per texture file, holding every\n"
    "surface of every model (and skin) that wears it. --texture with --game and\n"
    "no MODEL draws every surface of the game that wears it, through any skin\n"
    "(or the --skin named). --wearers writes one line per surface and skin that\n"
    "wears it: model, surface, skin (empty for none), where the model comes\n"
    "from; tab-separated, escaped like --list.\n"
    "\n"
    "--check-skin lists the files the --skin needs: its .skin files (lower_NAME,\n"
    "upper_NAME and head_NAME.skin for a player, MODEL_NAME.skin for another\n"
    "model), every file their names resolve to (a shader's script and each\n"
    "stage's picture) and, for a player, its icon: game path, where it comes\n"
    "from, new, changed or shipped (in the game's paks with the same bytes), its\n"
    "role; tab-separated, escaped like --list. Then what the engine would do\n"
    "wrong: a game path of 64 bytes or more, a name that resolves to nothing,\n"
    "another extension than the file that ships, names differing only in case,\n"
    "characters the skin reader splits on (spaces, control and non-ASCII bytes,\n"
    "',', '\"', '\\', ':', \"//\", \"/*\", \"..\"). --pack writes the new and changed\n"
    "files (--full: all, and the model) as a .pk3, only when the check passes,\n"
    "and never inside the game folder, where the game would read it.\n"
    "--new-skin NAME writes PART_NAME.skin files pointing at copies of --from's\n"
    "pictures (STEM_NAME.EXT beside each), never over an existing file; red and\n"
    "blue are the skins team games dress their teams in.\n"
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
    "  gridwright-flatten --game id1 pak0.pak:progs/player.mdl --size texture \\\n"
    "      --underlay -o player.png\n"
    "  gridwright-flatten --extract-skin 0 player.mdl -o player-skin.png\n"
    "\n"
    "Exit status: 0 done, 2 bad usage, 3 model not loaded, 4 template or listing\n"
    "not written, 5 the skin breaks the engine's rules (nothing written).\n";

const char* const kGameFolder =
    "a game folder holds the game's paks and its models/, scripts/ and textures/ folders "
    "(such as baseq3, or a mod's folder beside it)";

// Why a --game argument is not a game folder; empty when it is one.
std::string GameFolderProblem(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(native::PathOf(folder), error);
    const std::string quoted = "--game \"" + folder + "\"";
    if (status.type() == fs::file_type::directory)
        return {};
    if (status.type() == fs::file_type::not_found)
        return quoted + " does not exist; " + kGameFolder;
    if (error)
        return quoted + ": " + error.message() + "; " + kGameFolder;
    if (IsArchiveName(folder))
        return quoted +
               " is a pak, not a game folder: give the folder that holds it, or name a "
               "model inside it as " +
               folder + ":models/...; " + kGameFolder;
    return quoted + " is a file, not a game folder; " + kGameFolder;
}

// CLI11 writes "--set-skin N PICTURE x 2": the names already say it takes two.
class HelpFormatter : public CLI::Formatter {
  public:
    std::string make_option_opts(const CLI::Option* option) const override {
        std::string opts = CLI::Formatter::make_option_opts(option);
        if (const size_t at = opts.find(" x 2"); at != std::string::npos)
            opts.erase(at, 4);
        return opts;
    }
};

} // namespace

int RunCommandLine(const std::vector<std::string>& args, Console& io) {
    CLI::App app(Description(), "gridwright-flatten");
    app.footer(kFooter);
    // CLI11 reads "/x" as an option on Windows; there, as on Linux, options
    // begin with '-' and "/models/a.md3" is a path (the current drive's).
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("gridwright-flatten ") + kGridwrightVersion);
    app.formatter(std::make_shared<HelpFormatter>());
    app.get_formatter()->column_width(34);
    FlattenRequest q;
    bool list = false, dump = false, textures = false, animations = false;
    app.add_option("MODEL", q.model,
                   "the model: a file, ARCHIVE.pk3:PATH (or .pak), or a game path with --game");
    app.add_option("--game", q.games,
                   "a game folder: its files, .pk3dir folders and paks (one each time; repeat it: "
                   "base first, then mods)")
        ->type_name("DIR")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    std::string modelsGlob, batchGlob, format = "png";
    int jobs = 0;
    CLI::Option* batch =
        app.add_option("--batch", batchGlob,
                       "a template per texture of every model of the --game folders matching GLOB, "
                       "into the folder -o names, with OUTDIR/manifest.jsonl")
            ->type_name("GLOB");
    app.add_flag("--sheet", q.sheets,
                 "with --batch, also one sheet per player (and per other model): every texture it "
                 "wears, each template at its size and labelled, side by side in one file");
    app.add_option("-j", jobs,
                   "templates made at once with --batch, at most 64 [default: the cores]")
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
    CLI::Option* extract =
        app.add_option("--extract-skin", q.extractSkin,
                       "write skin N that the model holds (MDL) as a picture: -o FILE.png, .tga "
                       "or .bmp")
            ->type_name("N");
    std::vector<std::string> setSkin;
    CLI::Option* setSkinOption =
        app.add_option("--set-skin", setSkin,
                       "replace skin N of an MDL (numbered as --extract-skin) with PICTURE "
                       "reduced to the palette: -o OUT.mdl")
            ->type_name("N PICTURE")
            ->expected(2)
            ->allow_extra_args(false);
    CLI::Option* addSkin =
        app.add_option("--add-skin", q.skinPicture,
                       "add PICTURE reduced to the palette as an MDL's last skin: -o OUT.mdl")
            ->type_name("PICTURE");
    CLI::Option* pcx = app.add_option("--pcx", q.skinPicture,
                                      "write PICTURE reduced to Quake II's palette as an 8-bit "
                                      "PCX (an MD2's skin, of its size): -o OUT.pcx")
                           ->type_name("PICTURE");
    app.add_option("--palette", q.palette,
                   "the palette to reduce to: a 768-byte .lmp or a 256-colour .pcx")
        ->type_name("FILE");
    app.add_flag("--fullbright", q.fullbright,
                 "let an MDL's skin take Quake's glowing colours 224 to 255 too");
    app.add_flag("--dither", q.dither, "Floyd-Steinberg dithering, rows alternating direction");
    app.add_flag("--dump", dump, "the loaded surfaces as JSON");
    std::string wearersOf;
    CLI::Option* wearers =
        app.add_option("--wearers", wearersOf,
                       "the surfaces of the --game folders' models that wear TEXTURE, one line "
                       "each (see below)")
            ->type_name("TEXTURE");
    app.add_flag("--textures", textures,
                 "the texture each surface wears, one line each (see below)");
    app.add_flag("--animations", animations,
                 "the model's named animations, one line each (see below)");
    app.add_option("--skin", q.skin, "the .skin to read textures from [default: default]")
        ->type_name("NAME|FILE.skin");
    app.add_flag("--underlay", q.underlay, "draw the texture under the layout (PNG, BMP, PDF)");
    app.add_option("--underlay-opacity", q.underlayOpacity, "the texture's opacity, 0 to 1")
        ->type_name("X")
        ->capture_default_str();
    app.add_option("--surface", q.surfaces, "a surface to draw, by index or name (repeatable)")
        ->type_name("N|NAME")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--texture", q.texture,
                   "every surface wearing this texture (any case, extension optional)")
        ->type_name("NAME");
    app.add_flag("--all", q.all, "every surface of the model");
    app.add_option("--uv-set", q.uvSet,
                   "which texture coordinates to lay out, where a model has several (glTF) "
                   "[default: the set the material's texture uses]")
        ->type_name("N")
        ->check(CLI::Range(0, 1000));
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
    std::string painted, bleedOf;
    int band = kDefaultPadBand;
    bool inPlace = false;
    CLI::Option* pad =
        app.add_option("--pad", painted,
                       "pad the painted texture's gutters from MODEL's layout, into -o OUT "
                       "(.png, .tga, .bmp)")
            ->type_name("PAINTED")
            ->expected(0, 1);
    app.add_option("--pad-band", band,
                   "texels around the islands given their nearest island colour; beyond, a "
                   "smooth fill")
        ->type_name("N")
        ->capture_default_str();
    app.add_flag("--in-place", inPlace, "with --pad, write over PAINTED (whole or not at all)");
    CLI::Option* bleed =
        app.add_option("--check-bleed", bleedOf,
                       "per mip level, the island borders PAINTED pads thinner than --pad-band, "
                       "and paint no face samples; -o PICTURE.png marks them")
            ->type_name("PAINTED");
    std::string bakeList, bakeSize;
    int bakeRays = kDefaultOcclusionRays;
    CLI::Option* bake =
        app.add_option("--bake", bakeList,
                       "shading from MODEL's faces at the texture's texels, a picture a layer "
                       "(OUT_ao.png, ... for several): ao, light, normals, curvature, density, "
                       "never-seen")
            ->type_name("LAYERS");
    app.add_option("--bake-rays", bakeRays, "rays a texel for ambient occlusion")
        ->type_name("N")
        ->capture_default_str();
    app.add_option("--bake-size", bakeSize,
                   "the bake's size [default: the texture's own, else 1024x1024]")
        ->type_name("N|WxH");
    app.add_flag("--colour-by-surface", q.colourBySurface,
                 "each surface its own line colour, readable on white and black");
    bool checkSkin = false, full = false;
    std::string packOut, newSkin, fromSkin = "default";
    app.add_flag("--check-skin", checkSkin,
                 "the files the --skin needs (game path, where from, new/changed/shipped) and "
                 "what the engine would do wrong with them");
    CLI::Option* pack =
        app.add_option("--pack", packOut,
                       "the --skin's new and changed files as a pak ready to play (refused on "
                       "any problem --check-skin finds)")
            ->type_name("OUT.pk3");
    app.add_flag("--full", full, "with --pack, every file the skin needs and the model too");
    CLI::Option* newSkinOption =
        app.add_option("--new-skin", newSkin,
                       "make skin NAME from --from's: its .skin files and copies of its textures "
                       "(STEM_NAME.EXT), under -o FOLDER [default: the model's game folder]")
            ->type_name("NAME");
    app.add_option("--from", fromSkin, "the skin --new-skin starts from")
        ->type_name("NAME")
        ->capture_default_str();
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), io.out);
        return FinishOutput(io);
    } catch (const CLI::CallForVersion&) {
        std::fprintf(io.out, "gridwright-flatten %s\n", kGridwrightVersion);
        return FinishOutput(io);
    } catch (const CLI::ParseError& error) {
        return Usage(error.what(), io);
    }
    for (const std::string& folder : q.games)
        if (const std::string problem = GameFolderProblem(folder); !problem.empty())
            return Usage(problem, io);
    // Each of these is a command of its own: given two, one would run and the
    // other be dropped unsaid.
    std::vector<std::string> actions;
    for (const char* name :
         {"--list", "--dump", "--textures", "--animations", "--models", "--wearers",
          "--extract-skin", "--set-skin", "--add-skin", "--pcx", "--pad", "--check-bleed",
          "--check-skin", "--pack", "--new-skin", "--bake"})
        if (app.get_option(name)->count() > 0)
            actions.emplace_back(name);
    if (actions.size() > 1) {
        std::string named = actions[0];
        for (size_t i = 1; i < actions.size(); ++i)
            named += (i + 1 == actions.size() ? " and " : ", ") + actions[i];
        return Usage(named + " go one at a time", io);
    }
    if (batch->count() > 0 && !actions.empty() && actions[0] != "--pad")
        return Usage(actions[0] + " takes one MODEL, not --batch (which goes with --pad)", io);
    q.seamsAsked = seamsOption->count() > 0;
    q.flippedAsked = flippedOption->count() > 0;
    // --seams and --flipped take a colour or nothing: a word after them that
    // is no colour, with no model given elsewhere, is the model.
    for (std::string* value : {&q.seams, &q.flipped}) {
        Rgba colour;
        if (q.model.empty() && !value->empty() && !ParseColour(*value, colour)) {
            q.model = *value;
            value->clear();
        }
    }
    CLI::Option* sizeOption = app.get_option("--size");
    q.sizeGiven = sizeOption->count() > 0;
    if (pad->count() > 0 && batch->count() > 0) {
        if (!painted.empty())
            return Usage("--batch --pad pads the textures the game's models wear: give --pad no "
                         "file",
                         io);
        return PadBatchCommand(q, batchGlob, band, io);
    }
    if ((pad->count() > 0 || bleed->count() > 0) && q.model.empty())
        return Usage("no model given: the layout comes from MODEL", io);
    if (pad->count() > 0)
        return PadCommand(q, painted, band, inPlace, io);
    if (bleed->count() > 0)
        return CheckBleedCommand(q, bleedOf, band, io);
    if (bake->count() > 0)
        return BakeCommand(q, bakeList, bakeRays, bakeSize, io);
    for (const char* name : {"--bake-rays", "--bake-size"})
        if (app.get_option(name)->count() > 0)
            return Usage(std::string(name) + " goes with --bake LAYERS", io);
    if (inPlace)
        return Usage("--in-place goes with --pad PAINTED", io);
    if (batch->count() > 0)
        return BatchCommand(q, batchGlob, jobs, format, io);
    if (q.sheets)
        return Usage("--sheet goes with --batch GLOB: the sheets of the players and models it "
                     "matches",
                     io);
    if (models->count() > 0) {
        if (q.games.empty())
            return Usage("--models lists the models of game folders: give them with --game DIR",
                         io);
        return ModelsCommand(q.games, modelsGlob, io);
    }
    if (wearers->count() > 0)
        return WearersCommand(q, wearersOf, io);
    if (q.model.empty() && !q.texture.empty() && !q.games.empty()) {
        if (!q.surfaces.empty() || q.all)
            return Usage("--surface and --all choose among a model's surfaces: give the MODEL, or "
                         "leave them out to draw every surface of the game wearing the texture",
                         io);
        if (q.out.empty())
            return Usage("no output file given: add -o OUT for the template of the texture", io);
        return GameTextureCommand(q, io);
    }
    const int skinWrites =
        int(setSkinOption->count() > 0) + int(addSkin->count() > 0) + int(pcx->count() > 0);
    if (skinWrites == 0 && (!q.palette.empty() || q.fullbright || q.dither))
        return Usage("--palette, --fullbright and --dither go with --set-skin, --add-skin or --pcx",
                     io);
    if (pcx->count() > 0)
        return PcxCommand(q, io);
    if (q.model.empty())
        return Usage("no model given", io);
    if (setSkinOption->count() > 0) {
        const std::string& n = setSkin[0];
        if (n.empty() || n.size() > 9 || n.find_first_not_of("0123456789") != std::string::npos)
            return Usage("--set-skin takes the skin's number (as --extract-skin N) and then the "
                         "picture, not \"" +
                             n + "\"",
                         io);
        q.setSkin = std::stoi(n);
        q.skinPicture = setSkin[1];
        return SetSkinCommand(q, io);
    }
    if (addSkin->count() > 0)
        return AddSkinCommand(q, io);
    if (checkSkin)
        return CheckSkinCommand(q, io);
    if (pack->count() > 0)
        return PackCommand(q, packOut, full, io);
    if (full)
        return Usage("--full goes with --pack OUT.pk3", io);
    if (newSkinOption->count() > 0)
        return NewSkinCommand(q, newSkin, fromSkin, io);
    if (list)
        return ListCommand(q, io);
    if (extract->count() > 0)
        return ExtractSkinCommand(q, io);
    if (dump)
        return DumpCommand(q, io);
    if (textures)
        return TexturesCommand(q, io);
    if (animations)
        return AnimationsCommand(q, io);
    if (q.out.empty()) {
        const std::string all = Extensions(", "); // ".eps, .svg, ..."
        const size_t comma = all.find(", ");
        return Usage("no output file given: add -o OUT" + all.substr(0, comma) + " (or " +
                         all.substr(comma + 2) + ")",
                     io);
    }
    return FlattenCommand(q, io);
}
