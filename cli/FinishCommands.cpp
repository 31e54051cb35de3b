// The commands that finish a painted texture: padding its gutters from the
// model's layout, and the check of how well a texture is padded.
#include "cli/Commands.h"
#include "cli/Dress.h"
#include "model/NativeFile.h"

#include "export/BmpTemplate.h"
#include "export/PngTemplate.h"
#include "export/SafeFile.h"
#include "export/TgaTemplate.h"
#include "flatten/Batch.h"
#include "flatten/GameTextureSource.h"
#include "flatten/PadLayout.h"
#include "flatten/Wearers.h"
#include "game/GameTextures.h"
#include "game/ModelGame.h"
#include "game/OpenModel.h"
#include "image/TextureImage.h"
#include "model/SkinFile.h"
#include "render/TemplateImage.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string ExtensionOf(const std::string& path) {
    return Lower(native::Utf8Of(native::PathOf(path).extension()));
}

void Tell(const Error& error, Console& io) {
    std::string message = error.Message();
    if (!message.empty() && message[0] >= 'A' && message[0] <= 'Z')
        message[0] = char(message[0] - 'A' + 'a');
    if (!message.empty() && message.back() != '.')
        message += '.';
    Say(io, message);
}

} // namespace

int Dress(const FlattenRequest& q, Dressed& d, Console& io) {
    Result<OpenedModel> opened = OpenModel(q.model, q.games);
    if (!opened.ok()) {
        Tell(opened.error(), io);
        return kCannotLoad;
    }
    d.opened = std::move(opened.value());
    const Model& model = d.opened.model;
    if (model.SurfaceCount() == 0) {
        Say(io, "\"" + q.model + "\" has no surfaces, so it has no layout to pad with.");
        return kCannotLoad;
    }
    const GameFiles& files = *d.opened.game.files;
    d.textures = std::make_unique<GameTextureSource>(d.opened.game.files);
    d.skins = GameSkins(files, d.opened.game.gamePath, &model);
    if (q.skin.empty()) {
        if (!d.skins.empty() && d.skins.front().name == "default")
            d.skin = &d.skins.front();
    } else {
        const Result<const Skin*> chosen = ChooseSkin(d.skins, q.skin, d.loaded);
        if (!chosen.ok()) {
            Tell(chosen.error(), io);
            return kUsage;
        }
        d.skin = chosen.value();
    }
    d.models.push_back({&model, d.skin});
    if (model.format != "MD3" || PlayerPartOf(d.opened.game.gamePath) < 0)
        return kOk;
    const std::string skinName = d.skin ? d.skin->name : std::string("default");
    const int own = PlayerPartOf(d.opened.game.gamePath);
    d.ownPart = own;
    std::array<PlayerPart, 3> parts = FindPlayerParts(files, d.opened.game.gamePath);
    d.others.reserve(3);
    d.otherSkins.reserve(3);
    for (int i = 0; i < 3; ++i) {
        const PlayerPart& part = parts[size_t(i)];
        if (i == own || !part.model)
            continue;
        d.others.push_back(part.model);
        d.player[size_t(i)] = part.model;
        d.otherSkins.push_back(GameSkins(files, part.gamePath, part.model.get()));
        const Skin* worn = nullptr;
        for (const Skin& s : d.otherSkins.back())
            if (s.name == skinName)
                worn = &s;
        d.models.push_back({part.model.get(), worn});
    }
    return kOk;
}

// Which texture the painted file is: --texture, else the one the model wears
// that is the file or has its stem, else the only one worn.
int ChooseTexture(const FlattenRequest& q, Dressed& d, const std::string& painted,
                  std::string& texture, Console& io) {
    if (!q.texture.empty()) {
        texture = q.texture;
        return kOk;
    }
    const Model& model = d.opened.model;
    std::vector<std::string> worn;
    std::set<std::string> seen;
    const std::string stem = Lower(native::Utf8Of(native::PathOf(painted).stem()));
    for (const Surface& surface : model.surfaces) {
        const SurfaceTexture t = d.textures->Locate(model, surface, d.skin);
        if (t.name.empty())
            continue;
        if ((!t.file.empty() && SameFile(t.file, painted)) ||
            Lower(native::Utf8Of(native::PathOf(t.name).stem())) == stem) {
            texture = t.name;
            return kOk;
        }
        if (seen.insert(Lower(t.name)).second)
            worn.push_back(t.name);
    }
    if (worn.size() == 1) {
        texture = worn.front();
        return kOk;
    }
    std::string list;
    for (const std::string& name : worn)
        list += (list.empty() ? "" : ", ") + EscapeField(name);
    const std::string wornList = list.empty() ? std::string("no texture") : list;
    if (painted.empty())
        return Usage("which texture? Name it with --texture NAME; the model wears " + wornList, io);
    return Usage("cannot tell which texture \"" + painted +
                     "\" is: name it with --texture NAME; the model wears " + wornList,
                 io);
}

namespace {

// The picture as the output's extension wants it; empty when it cannot be
// encoded. BMP keeps no alpha.
std::string Encoded(const TextureImage& image, const std::string& extension) {
    if (extension == ".png")
        return EncodePng(image);
    if (extension == ".tga")
        return EncodeTga(image);
    TemplateImage opaque;
    opaque.width = image.width;
    opaque.height = image.height;
    opaque.pixels.resize(size_t(image.width) * size_t(image.height));
    for (size_t i = 0; i < opaque.pixels.size(); ++i) {
        const uint8_t* p = &image.rgba[i * 4];
        opaque.pixels[i] = 0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    return EncodeBmp24(opaque);
}

bool HasAlpha(const TextureImage& image) {
    for (size_t i = 3; i < image.rgba.size(); i += 4)
        if (image.rgba[i] != 255)
            return true;
    return false;
}

// Why the output cannot be written as a padded texture; empty when it can.
std::string OutputProblem(const std::string& out) {
    const std::string extension = ExtensionOf(out);
    if (extension == ".jpg" || extension == ".jpeg")
        return "cannot write \"" + out +
               "\" as JPEG: JPEG would change the texels it keeps; write .tga or .png (the "
               "game loads either in place of a .jpg name)";
    if (extension != ".png" && extension != ".tga" && extension != ".bmp")
        return "a padded texture is written as .png, .tga or .bmp, not \"" + out + "\"";
    return {};
}

int LoadPainted(const std::string& painted, TextureImage& image, Console& io) {
    if (const Status loaded = LoadTexture(painted, image); !loaded.ok()) {
        Tell(loaded.error(), io);
        return kCannotLoad;
    }
    return kOk;
}

// The painted texture read, the model dressed in its skin (and a player's
// other parts), and the layout of the texture it is: what --pad and
// --check-bleed both start from.
struct PaintedLayout {
    TextureImage image;
    Dressed d;
    std::string texture;
    std::optional<PadLayout> layout;
};

int LayOutPainted(const FlattenRequest& q, const std::string& painted, PaintedLayout& p,
                  Console& io) {
    if (const int status = LoadPainted(painted, p.image, io); status != kOk)
        return status;
    if (const int status = Dress(q, p.d, io); status != kOk)
        return status;
    if (const int status = ChooseTexture(q, p.d, painted, p.texture, io); status != kOk)
        return status;
    const Result<PadLayout> layout = LayoutOfTexture(p.d.models, p.texture, *p.d.textures);
    if (!layout.ok()) {
        Say(io, layout.error().reason + "; 'gridwright-flatten --textures " + q.model +
                    "' shows the textures it wears.");
        return kUsage;
    }
    p.layout = layout.value();
    return kOk;
}

} // namespace

int PadCommand(const FlattenRequest& q, const std::string& painted, int band, bool inPlace,
               Console& io) {
    if (painted.empty())
        return Usage("--pad needs the painted texture: --pad PAINTED -o OUT", io);
    if (band < 0 || band > kMaxPadBand)
        return Usage("--pad-band takes 0 to " + std::to_string(kMaxPadBand) + " texels", io);
    if (inPlace && !q.out.empty() && !SameFile(q.out, painted))
        return Usage("--in-place writes over the painted texture: leave out -o \"" + q.out + "\"",
                     io);
    const std::string out = inPlace ? painted : q.out;
    if (out.empty())
        return Usage("no output file given: add -o OUT.png (or .tga), or --in-place to write over "
                     "\"" +
                         painted + "\"",
                     io);
    if (const std::string problem = OutputProblem(out); !problem.empty())
        return Usage(problem, io);
    if (!inPlace && (SameFile(out, painted) || native::PathOf(out).lexically_normal() ==
                                                   native::PathOf(painted).lexically_normal()))
        return Usage("the output \"" + out +
                         "\" is the painted texture itself; choose another "
                         "file name, or give --in-place to write over it",
                     io);
    if (SameFile(out, q.model))
        return Usage("the output \"" + out + "\" is the model itself; choose another file name",
                     io);
    PaintedLayout p;
    if (const int status = LayOutPainted(q, painted, p, io); status != kOk)
        return status;
    const TextureImage& image = p.image;
    const std::string& texture = p.texture;
    const std::optional<PadLayout>& layout = p.layout;
    const Result<PaddedTexture> padded = PadWithLayout(layout.value(), image, painted, band);
    if (!padded.ok()) {
        Tell(padded.error(), io);
        return kCannotLoad;
    }
    const std::string extension = ExtensionOf(out);
    if (extension == ".bmp" && HasAlpha(image))
        Say(io, "note: BMP keeps no alpha; \"" + out +
                    "\" is written opaque (write .png or .tga to keep it).");
    const std::string bytes = Encoded(padded.value().image, extension);
    if (bytes.empty()) {
        Say(io, "cannot encode \"" + out + "\": out of memory.");
        return kCannotWrite;
    }
    if (const Status written = WriteFileSafely(out, bytes); !written.ok()) {
        Tell(written.error(), io);
        return kCannotWrite;
    }
    const PadCounts& c = padded.value().counts;
    std::fprintf(io.out,
                 "padded %s into %s (%dx%d, %s on %zu surfaces): %zu texels kept, %zu by the "
                 "band of %d, %zu by push-pull\n",
                 TerminalText(painted).c_str(), TerminalText(out).c_str(), image.width,
                 image.height, TerminalText(texture).c_str(), layout.value().records.size(), c.kept,
                 c.band, band, c.pushPull);
    return FinishOutput(io);
}

int CheckBleedCommand(const FlattenRequest& q, const std::string& painted, int band, Console& io) {
    if (band < 0 || band > kMaxPadBand)
        return Usage("--pad-band takes 0 to " + std::to_string(kMaxPadBand) + " texels", io);
    if (!q.out.empty() && ExtensionOf(q.out) != ".png")
        return Usage("--check-bleed writes its picture as .png, not \"" + q.out + "\"", io);
    if (!q.out.empty() && (SameFile(q.out, painted) || SameFile(q.out, q.model)))
        return Usage("the output \"" + q.out + "\" is an input; choose another file name", io);
    PaintedLayout p;
    if (const int status = LayOutPainted(q, painted, p, io); status != kOk)
        return status;
    const TextureImage& image = p.image;
    const std::optional<PadLayout>& layout = p.layout;
    const Result<BleedReport> report = CheckBleedWithLayout(layout.value(), image, painted, band);
    if (!report.ok()) {
        Tell(report.error(), io);
        return kCannotLoad;
    }
    if (!q.out.empty()) {
        const std::string bytes = EncodePng(OverlayLayer(image, report.value().layer));
        const Status written = bytes.empty() ? Status(Error{"Cannot write", q.out, "out of memory"})
                                             : WriteFileSafely(q.out, bytes);
        if (!written.ok()) {
            Tell(written.error(), io);
            return kCannotWrite;
        }
    }
    std::fprintf(io.out, "level\twidth\theight\tborder\tthin\tunsampled\n");
    for (const BleedLevel& l : report.value().levels)
        std::fprintf(io.out, "%d\t%d\t%d\t%zu\t%zu\t%zu\n", l.level, l.width, l.height, l.border,
                     l.thin, l.unsampled);
    return FinishOutput(io);
}

namespace {

// A texture's game path as a path under OUTDIR: its folders kept, nothing
// that climbs out or is absolute, a picture the game cannot take in place
// (JPEG, PCX) as a .tga of the same stem. Empty when the path has no name.
std::string PaddedGamePath(const std::string& gamePath, bool& retyped) {
    std::string path;
    std::string part;
    std::vector<std::string> parts;
    for (const char c : gamePath + "/") {
        if (c == '/' || c == '\\') {
            if (!part.empty() && part != "." && part != "..")
                parts.push_back(part);
            part.clear();
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F && c != ':') {
            part += c;
        } else {
            part += '_';
        }
    }
    if (parts.empty())
        return {};
    for (const std::string& p : parts)
        path += (path.empty() ? "" : "/") + p;
    const std::string extension = ExtensionOf(path);
    retyped = extension != ".png" && extension != ".tga";
    if (retyped)
        path = native::Utf8Of((native::PathOf(path).replace_extension(".tga")));
    return path;
}

struct PaddedFile {
    const WornFile* texture = nullptr;
    std::string out, bytes, line;
};

} // namespace

int PadBatchCommand(const FlattenRequest& q, const std::string& glob, int band, Console& io) {
    if (q.games.empty())
        return Usage("--batch --pad pads the textures of game folders: give them with --game DIR",
                     io);
    if (q.out.empty())
        return Usage("--batch --pad needs the folder to write into: -o OUTDIR", io);
    if (band < 0 || band > kMaxPadBand)
        return Usage("--pad-band takes 0 to " + std::to_string(kMaxPadBand) + " texels", io);
    GameFiles files;
    for (const std::string& folder : q.games)
        files.AddFolder(folder);
    GameTextures textures(files);
    GameTextureSource source(files, textures);
    std::vector<WearingModel> models;
    const std::string pattern = Lower(glob.empty() ? "*" : glob);
    for (const GameFile& file : ListModels(files))
        if (native::MatchesPattern(pattern, Lower(file.gamePath)))
            models.push_back({file.gamePath, file, nullptr});
    const WearerScan scan = ScanWearers(std::move(models), source, SkinChoice::Of(q.skin), q.uvSet,
                                        int(std::max(1u, std::thread::hardware_concurrency())));
    for (const std::string& p : files.problems())
        Say(io, p);
    for (const WearFailure& f : scan.failures)
        Say(io, EscapeField(GamePath(scan.models[f.model].gamePath)) + ": " + f.error);
    ModelShelf shelf(scan, files, q.uvSet);
    std::vector<PaddedFile> padded;
    std::map<std::string, std::string> taken; // output, lower-case -> texture
    size_t failed = 0, refused = 0;
    for (const WornFile& t : scan.textures) {
        const std::string name = EscapeField(GamePath(t.texture));
        if (t.file.empty()) {
            Say(io, name + ": not padded, no file found: " + t.problem + ".");
            ++failed;
            continue;
        }
        std::string problem;
        const std::shared_ptr<const TextureImage> picture = source.Picture(t.file, problem);
        if (!picture) {
            Say(io, name + ": not padded: " + problem + ".");
            ++failed;
            continue;
        }
        const WornTemplate gathered = GatherWearers(scan, t, shelf);
        for (const auto& [model, why] : gathered.unread)
            Say(io, EscapeField(GamePath(scan.models[model].gamePath)) + ": " + why);
        const std::vector<uint8_t> mask =
            IslandMask(gathered.records, WrapMode::Repeat, picture->width, picture->height);
        if (std::none_of(mask.begin(), mask.end(), [](uint8_t m) { return m != 0; })) {
            Say(io, name + ": not padded: no face of its wearers covers any of its texels.");
            ++failed;
            continue;
        }
        bool retyped = false;
        const std::string relative = PaddedGamePath(GamePath(t.texture), retyped);
        if (relative.empty()) {
            Say(io, name + ": not padded: its name gives no file name under the folder.");
            ++refused;
            continue;
        }
        PaddedFile p;
        p.texture = &t;
        p.out = native::Utf8Of((native::PathOf(q.out) / native::PathOf(relative)));
        if (const auto [at, added] = taken.emplace(Lower(p.out), name); !added) {
            Say(io, name + " and " + at->second + " would both be written as \"" + p.out +
                        "\"; pad one of them by itself.");
            ++refused;
            continue;
        }
        if (SameFile(p.out, t.file)) {
            Say(io, name + ": \"" + p.out + "\" is the texture itself; choose another -o folder.");
            ++refused;
            continue;
        }
        const PaddedTexture result = PadTexture(*picture, mask, band);
        p.bytes = Encoded(result.image, ExtensionOf(p.out));
        if (p.bytes.empty()) {
            Say(io, name + ": not padded: out of memory.");
            ++refused;
            continue;
        }
        const PadCounts& c = result.counts;
        p.line = "padded " + TerminalText(GamePath(t.texture)) + " into " + TerminalText(p.out) +
                 " (" + std::to_string(picture->width) + "x" + std::to_string(picture->height) +
                 ", " + std::to_string(gathered.records.size()) + " surfaces of " +
                 std::to_string(gathered.models.size()) + " models" +
                 (retyped ? "; written as .tga, which the game loads in place of its name" : "") +
                 "): " + std::to_string(c.kept) + " texels kept, " + std::to_string(c.band) +
                 " by the band of " + std::to_string(band) + ", " + std::to_string(c.pushPull) +
                 " by push-pull\n";
        padded.push_back(std::move(p));
    }
    // Every file checked before any is written: a name that cannot be
    // written stops the run with nothing written.
    if (refused > 0) {
        Say(io, "nothing written: " + std::to_string(refused) +
                    " of the textures cannot be "
                    "written as asked.");
        return kCannotWrite;
    }
    for (const PaddedFile& p : padded) {
        std::error_code error;
        fs::create_directories(native::PathOf(p.out).parent_path(), error);
        if (error) {
            Say(io, "cannot make the folder \"" +
                        native::Utf8Of(native::PathOf(p.out).parent_path()) +
                        "\": " + error.message() + ".");
            return kCannotWrite;
        }
        if (const Status written = WriteFileSafely(p.out, p.bytes); !written.ok()) {
            Tell(written.error(), io);
            return kCannotWrite;
        }
        std::fputs(p.line.c_str(), io.out);
    }
    std::fprintf(io.out, "padded %zu textures into %s (%zu not padded)\n", padded.size(),
                 TerminalText(q.out).c_str(), failed);
    const int status = FinishOutput(io);
    return failed == 0 ? status : kCannotWrite;
}
