#pragma once
// gridwright-flatten's commands, one function each, writing to the streams
// they are given rather than to the process's: the program's main hands
// them standard output and error, the tests memory streams, so that every
// command runs in process and its words and exit status can be checked.
#include "render/TemplateStyle.h"

#include <cstdio>
#include <string>
#include <vector>

// Where a command writes: its listing or report, and its messages.
struct Console {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

enum ExitCode { kOk = 0, kUsage = 2, kCannotLoad = 3, kCannotWrite = 4, kSkinProblem = 5 };

// Everything the options ask for, as given.
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
    int extractSkin = -1; // --extract-skin N: the skin the model holds, written to `out`
    int uvSet = -1;       // --uv-set N: which texture coordinates to lay out; -1: the material's
    bool sheets = false;  // --sheet: with --batch, a sheet per player and per other model too
    // Pictures written into a model's skins, or as Quake II's 8-bit PCX.
    int setSkin = -1;        // --set-skin N PICTURE: the picture replacing skin N
    std::string skinPicture; // PICTURE of --set-skin, --add-skin or --pcx
    std::string palette;     // --palette FILE: a .lmp or a .pcx whose colours are used
    bool fullbright = false; // the glowing colours may be chosen too
    bool dither = false;     // Floyd–Steinberg rather than the nearest colour alone
};

// The surfaces, one line each.
int ListCommand(const FlattenRequest& q, Console& io);
// The loaded surfaces as JSON.
int DumpCommand(const FlattenRequest& q, Console& io);
// The texture each surface wears and where it was found.
int TexturesCommand(const FlattenRequest& q, Console& io);
// MODEL's named animations, one a line, tab-separated.
int AnimationsCommand(const FlattenRequest& q, Console& io);
// Every model of the game folders matching a pattern.
int ModelsCommand(const std::vector<std::string>& games, const std::string& glob, Console& io);
// A template per texture of every model matching a pattern.
int BatchCommand(const FlattenRequest& q, const std::string& glob, int jobs, const std::string& ext,
                 Console& io);
// A skin the model holds, written as a picture.
int ExtractSkinCommand(const FlattenRequest& q, Console& io);
// A picture reduced to the palette put into an MDL in place of skin N, or
// after its last skin; and a picture reduced to Quake II's palette as an
// 8-bit PCX.
int SetSkinCommand(const FlattenRequest& q, Console& io);
int AddSkinCommand(const FlattenRequest& q, Console& io);
int PcxCommand(const FlattenRequest& q, Console& io);
// The template of a model's surfaces.
int FlattenCommand(const FlattenRequest& q, Console& io);
// Every surface of the game folders' models that wears a texture (q.texture):
// one template of them all, to q.out.
int GameTextureCommand(const FlattenRequest& q, Console& io);
// The surfaces of the game folders' models that wear a texture, one line
// each: model, surface, skin, where the model comes from.
int WearersCommand(const FlattenRequest& q, const std::string& texture, Console& io);

// What a skin needs (q.skin, default "default") and what the engine would do
// wrong with it; kSkinProblem when anything.
int CheckSkinCommand(const FlattenRequest& q, Console& io);
// Those of the skin's files that are new or changed (all of them and the
// model with `full`) as a .pk3; nothing written when the check fails.
int PackCommand(const FlattenRequest& q, const std::string& out, bool full, Console& io);
// Skin `name` from skin `from`: its .skin files and copies of its pictures,
// under the folder q.out (or the model's game folder).
int NewSkinCommand(const FlattenRequest& q, const std::string& name, const std::string& from,
                   Console& io);
// MODEL's layout padded into the painted texture: to q.out, or over the
// painted file itself with inPlace.
int PadCommand(const FlattenRequest& q, const std::string& painted, int band, bool inPlace,
               Console& io);
// Every texture file the models matching `glob` wear, padded with all its
// wearers' layouts, under q.out at its game path.
int PadBatchCommand(const FlattenRequest& q, const std::string& glob, int band, Console& io);
// How far the painted texture's margins fall short of the band, per mip
// level, tab-separated; with q.out a picture of where.
int CheckBleedCommand(const FlattenRequest& q, const std::string& painted, int band, Console& io);

// Shading baked from MODEL at a texture's texels (ao, light, normals,
// curvature, density, never-seen; `list` comma-separated), as pictures.
int BakeCommand(const FlattenRequest& q, const std::string& list, int rays, const std::string& size,
                Console& io);

// The style the options describe; a usage problem when they do not make one.
std::string StyleOf(const FlattenRequest& q, TemplateStyle& style);
// The same for a template file (-o): its format told by its extension, and
// the style fit for it.
std::string TemplateOf(const FlattenRequest& q, TemplateStyle& style);

// The whole command line: arguments as given after the program's name.
int RunCommandLine(const std::vector<std::string>& args, Console& io);

// "gridwright-flatten: PROBLEM" and where to find help; the usage status.
int Usage(const std::string& problem, Console& io);
// Standard output must have taken every byte: the status when it has not.
int FinishOutput(Console& io);
// Words bound for the terminal, control bytes escaped as in EscapeField
// (backslashes kept as they are).
std::string TerminalText(const std::string& text);
// "gridwright-flatten: MESSAGE" on the console's error stream, escaped.
void Say(Console& io, const std::string& message);
// A name as one field of a tab-separated line, or in a message: nothing in
// it can end the field or the line, or reach the terminal as a control
// sequence.
std::string EscapeField(const std::string& text);
// True when both paths name one existing file.
bool SameFile(const std::string& a, const std::string& b);
// A file as found, its ".." and "." parts resolved by their names:
// "out/../paks/a.tga" is "paks/a.tga"; an archive's entry keeps its path.
std::string NormalPath(const std::string& file);
// NormalPath as a listing's field: '/' between the parts on every system, so
// that one reader reads every listing (Windows opens such a path as it is),
// and no path separator is doubled by EscapeField.
std::string ListedPath(const std::string& file);
