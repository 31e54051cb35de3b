// Painted skins going back to the game: into a Quake MDL's own skins
// (--set-skin, --add-skin), or as Quake II's 8-bit PCX (--pcx), each reduced
// to the game's 256 colours.
#include "cli/Commands.h"

#include "export/PcxWriter.h"
#include "export/SafeFile.h"
#include "flatten/GameTextureSource.h"
#include "game/GameFiles.h"
#include "game/OpenModel.h"
#include "image/PaletteReduce.h"
#include "image/TextureImage.h"
#include "model/ByteSource.h"
#include "model/LittleEndian.h"
#include "model/MdlSkinWriter.h"
#include "model/ModelFormats.h"

#include <array>
#include <optional>
#include <span>
#include <string>

namespace {

// A palette file is 768 bytes, a 256-colour PCX not much more: anything
// past this is no palette.
constexpr int64_t kMaxPaletteFileBytes = int64_t(64) << 20;
// Quake II's pictures take their colours from here.
const char* const kQuake2Colormap = "pics/colormap.pcx";

std::span<const uint8_t> AsSpan(const Bytes& bytes) {
    return {bytes.data(), bytes.size()};
}

void Tell(const Error& error, Console& io) {
    std::string message = error.Message();
    if (!message.empty() && message[0] >= 'A' && message[0] <= 'Z')
        message[0] = char(message[0] - 'A' + 'a');
    Say(io, message);
}

bool EndsWith(const std::string& path, const std::string& extension) {
    if (path.size() < extension.size())
        return false;
    for (size_t k = 0; k < extension.size(); ++k) {
        char c = path[path.size() - extension.size() + k];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != extension[k])
            return false;
    }
    return true;
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// The painter's picture, of the skin's size; null having said why not.
std::optional<TextureImage> Picture(const std::string& path, int width, int height,
                                    const std::string& part, Console& io) {
    TextureImage image;
    if (const Status loaded = LoadTexture(path, image); !loaded.ok()) {
        Tell(loaded.error(), io);
        return std::nullopt;
    }
    if (image.width != width || image.height != height) {
        const std::string size = SizeText(width, height);
        Say(io, "\"" + path + "\" is " + SizeText(image.width, image.height) + " pixels, but " +
                    part + " is " + size + "; scale the picture to " + size +
                    " first (GIMP: Image > Scale Image; ImageMagick: magick \"" + path +
                    "\" -resize " + size + "! resized.png) and give that.");
        return std::nullopt;
    }
    if (!image.note.empty())
        Say(io, "\"" + path + "\": " + image.note + ".");
    return image;
}

// The palette --palette names; none having said why.
std::optional<std::array<uint8_t, kPaletteBytes>> PaletteFile(const std::string& path,
                                                              Console& io) {
    const Result<SourceBytes> read =
        ReadFileBytes(path, kMaxPaletteFileBytes, "it is far larger than a palette file");
    if (!read.ok()) {
        Tell(read.error(), io);
        return std::nullopt;
    }
    const Result<std::array<uint8_t, kPaletteBytes>> palette =
        PaletteOfFile(path, AsSpan(*read.value().bytes));
    if (!palette.ok()) {
        Tell(palette.error(), io);
        return std::nullopt;
    }
    return palette.value();
}

// What the reduction did, for the line that says what was written.
std::string Summary(const ReducedPicture& reduced, bool dither, const std::string& excluded) {
    std::string text = std::to_string(reduced.coloursUsed) + " colours";
    if (reduced.tookNearestAllowed > 0)
        text += ", " + std::to_string(reduced.tookNearestAllowed) + " pixels nearest " + excluded +
                " took the nearest other colour";
    if (reduced.transparent > 0)
        text += ", " + std::to_string(reduced.transparent) + " transparent pixels as index 255";
    text += dither ? ", dithered" : ", nearest colour";
    return text;
}

// The MDL and the picture reduced for it: what --set-skin and --add-skin share.
struct MdlWrite {
    OpenedModel opened;
    ReducedPicture reduced;
    std::string paletteFrom;
};

std::optional<MdlWrite> PrepareMdl(const FlattenRequest& q, const char* option, Console& io,
                                   int& status) {
    status = kUsage;
    if (q.out.empty()) {
        Say(io, std::string(option) +
                    " writes a new model: add -o OUT.mdl (the model itself only when you name it)");
        return std::nullopt;
    }
    if (!EndsWith(q.out, ".mdl")) {
        Say(io, std::string(option) + " writes a Quake model: -o takes a .mdl file, not \"" +
                    EscapeField(q.out) + "\"");
        return std::nullopt;
    }
    if (SameFile(q.skinPicture, q.out)) {
        Say(io, "the output \"" + EscapeField(q.out) + "\" is the picture itself; choose another");
        return std::nullopt;
    }
    status = kCannotLoad;
    Result<OpenedModel> opened = OpenModel(q.model, q.games);
    if (!opened.ok()) {
        Tell(opened.error(), io);
        return std::nullopt;
    }
    for (const std::string& problem : opened.value().game.files->problems())
        Say(io, problem);
    const Model& model = opened.value().model;
    if (model.format != "MDL") {
        status = kUsage;
        Say(io,
            "\"" + EscapeField(q.model) + "\" is " + model.format + ", but " + option +
                " writes into the skins a Quake MDL holds" +
                (model.format == "MD2" ? "; for an MD2 write its skin as a PCX with --pcx" : ""));
        return std::nullopt;
    }
    const std::span<const uint8_t> bytes = AsSpan(*opened.value().game.bytes.bytes);
    const Result<MdlSkinPlaces> places = FindMdlSkins(q.model, bytes);
    if (!places.ok()) {
        Tell(places.error(), io);
        return std::nullopt;
    }
    const int width = places.value().width, height = places.value().height;
    if (q.setSkin >= 0 && size_t(q.setSkin) >= model.skins.size()) {
        std::string names;
        for (const EmbeddedSkin& skin : model.skins)
            names += (names.empty() ? "" : "; ") + std::to_string(&skin - model.skins.data()) +
                     ": " + skin.name;
        Say(io, "\"" + EscapeField(q.model) + "\" has no skin " + std::to_string(q.setSkin) +
                    (model.skins.empty() ? "; it holds none (add one with --add-skin)"
                                         : "; its skins are " + names));
        return std::nullopt;
    }
    std::optional<TextureImage> picture =
        Picture(q.skinPicture, width, height, "the model's skin", io);
    if (!picture)
        return std::nullopt;
    std::array<uint8_t, kPaletteBytes> palette{};
    std::string from;
    if (!q.palette.empty()) {
        const auto file = PaletteFile(q.palette, io);
        if (!file)
            return std::nullopt;
        palette = *file;
        from = "the palette of " + q.palette;
    } else {
        GameTextureSource source(opened.value().game.files);
        palette = source.Palette();
        const std::string problem = source.PaletteProblem();
        if (!problem.empty())
            Say(io, problem + ".");
        from = problem.empty() ? "the game's gfx/palette.lmp" : "Quake's palette";
    }
    ReduceOptions options;
    options.dither = q.dither;
    if (!q.fullbright)
        for (int i = kFirstQuakeFullbright; i < 256; ++i)
            options.allowed[size_t(i)] = false;
    Result<ReducedPicture> reduced = ReduceToPalette(*picture, palette, options);
    if (!reduced.ok()) {
        Tell(reduced.error(), io);
        return std::nullopt;
    }
    return MdlWrite{std::move(opened.value()), std::move(reduced.value()), from};
}

// Writes the new model once our own reader takes it back.
int WriteMdl(const FlattenRequest& q, const Result<std::string>& made, Console& io) {
    if (!made.ok()) {
        Tell(made.error(), io);
        return kCannotLoad;
    }
    const std::string& bytes = made.value();
    const Result<Model> again = ReadModel(
        {q.out, Bytes::Copy(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())});
    if (!again.ok()) {
        Say(io, "the new model would not read back (" + again.error().reason +
                    "); nothing was written");
        return kCannotWrite;
    }
    if (const Status written = WriteFileSafely(q.out, bytes); !written.ok()) {
        Tell(written.error(), io);
        return kCannotWrite;
    }
    return kOk;
}

} // namespace

int SetSkinCommand(const FlattenRequest& q, Console& io) {
    int status = kUsage;
    const std::optional<MdlWrite> prepared = PrepareMdl(q, "--set-skin", io, status);
    if (!prepared)
        return status;
    const std::span<const uint8_t> bytes = AsSpan(*prepared->opened.game.bytes.bytes);
    const int done =
        WriteMdl(q, ReplaceMdlPicture(q.model, bytes, q.setSkin, prepared->reduced.indices), io);
    if (done != kOk)
        return done;
    const ReducedPicture& r = prepared->reduced;
    std::fprintf(io.out, "wrote %s: %s (%s) from %s in %s: %s\n", TerminalText(q.out).c_str(),
                 EscapeField(prepared->opened.model.skins[size_t(q.setSkin)].name).c_str(),
                 SizeText(r.width, r.height).c_str(), TerminalText(q.skinPicture).c_str(),
                 prepared->paletteFrom.c_str(),
                 Summary(r, q.dither, "a fullbright (224 to 255)").c_str());
    return FinishOutput(io);
}

int AddSkinCommand(const FlattenRequest& q, Console& io) {
    int status = kUsage;
    const std::optional<MdlWrite> prepared = PrepareMdl(q, "--add-skin", io, status);
    if (!prepared)
        return status;
    const std::span<const uint8_t> bytes = AsSpan(*prepared->opened.game.bytes.bytes);
    const int done = WriteMdl(q, AppendMdlSkin(q.model, bytes, prepared->reduced.indices), io);
    if (done != kOk)
        return done;
    const ReducedPicture& r = prepared->reduced;
    const size_t skins = DecodeI32(bytes.data() + 48) + size_t(1);
    std::fprintf(io.out, "wrote %s: skin %zu of %zu (%s) added from %s in %s: %s\n",
                 TerminalText(q.out).c_str(), skins - 1, skins, SizeText(r.width, r.height).c_str(),
                 TerminalText(q.skinPicture).c_str(), prepared->paletteFrom.c_str(),
                 Summary(r, q.dither, "a fullbright (224 to 255)").c_str());
    return FinishOutput(io);
}

int PcxCommand(const FlattenRequest& q, Console& io) {
    if (q.out.empty() || !EndsWith(q.out, ".pcx"))
        return Usage("--pcx writes an 8-bit PCX: add -o OUT.pcx", io);
    if (SameFile(q.skinPicture, q.out) || (!q.model.empty() && SameFile(q.model, q.out)))
        return Usage("the output \"" + q.out + "\" is one of the files read; choose another", io);
    if (q.model.empty() && q.palette.empty() && q.games.empty())
        return Usage("--pcx needs Quake II's palette: give --game DIR (the folder holding "
                     "pics/colormap.pcx, such as baseq2) or --palette FILE",
                     io);
    std::shared_ptr<GameFiles> files;
    int width = 0, height = 0;
    std::string part;
    if (!q.model.empty()) {
        Result<OpenedModel> opened = OpenModel(q.model, q.games);
        if (!opened.ok()) {
            Tell(opened.error(), io);
            return kCannotLoad;
        }
        const Model& model = opened.value().model;
        if (model.format != "MD2")
            return Usage("\"" + q.model + "\" is " + model.format +
                             "; --pcx writes the 8-bit skins of Quake II's MD2 models" +
                             (model.format == "MDL" ? " (an MDL holds its own: --set-skin N)" : ""),
                         io);
        const Bytes& bytes = *opened.value().game.bytes.bytes;
        // The reader has taken the header, so its size words are there.
        width = DecodeI32(bytes.data() + 8);
        height = DecodeI32(bytes.data() + 12);
        part = "the model's skin";
        files = opened.value().game.files;
    } else {
        files = std::make_shared<GameFiles>();
        for (const std::string& folder : q.games)
            files->AddFolder(folder);
    }
    for (const std::string& problem : files->problems())
        Say(io, problem);
    std::array<uint8_t, kPaletteBytes> palette{};
    std::string from;
    if (!q.palette.empty()) {
        const auto file = PaletteFile(q.palette, io);
        if (!file)
            return kCannotLoad;
        palette = *file;
        from = "the palette of " + q.palette;
    } else {
        const std::unique_ptr<GameFile> colormap = files->Find(kQuake2Colormap);
        if (!colormap) {
            Say(io, std::string("no palette for the PCX: Quake II's colours are the palette at "
                                "the end of its ") +
                        kQuake2Colormap +
                        ", which the game here lacks (Gridwright does not ship it); give "
                        "--game DIR (such as baseq2) or --palette FILE (a 256-colour .pcx or a "
                        "768-byte .lmp)");
            return kUsage;
        }
        const Result<SourceBytes> read = files->Read(*colormap, kMaxPaletteFileBytes);
        if (!read.ok()) {
            Tell(read.error(), io);
            return kCannotLoad;
        }
        const Result<std::array<uint8_t, kPaletteBytes>> found =
            PaletteOfFile(colormap->origin, AsSpan(*read.value().bytes));
        if (!found.ok()) {
            Tell(found.error(), io);
            return kCannotLoad;
        }
        palette = found.value();
        from = std::string("the game's ") + kQuake2Colormap;
    }
    TextureImage image;
    if (const Status loaded = LoadTexture(q.skinPicture, image); !loaded.ok()) {
        Tell(loaded.error(), io);
        return kCannotLoad;
    }
    if (q.model.empty()) {
        width = image.width;
        height = image.height;
        part = "the picture";
    }
    const std::optional<TextureImage> picture = Picture(q.skinPicture, width, height, part, io);
    if (!picture)
        return kCannotLoad;
    if (q.fullbright)
        Say(io, "Quake II lights every colour of a skin alike: --fullbright changes nothing in a "
                "PCX.");
    // Index 255 is see-through where Quake II draws with OpenGL: only the
    // picture's transparent pixels take it.
    ReduceOptions options;
    options.dither = q.dither;
    options.allowed[255] = false;
    options.transparentIndex = 255;
    const Result<ReducedPicture> reduced = ReduceToPalette(*picture, palette, options);
    if (!reduced.ok()) {
        Tell(reduced.error(), io);
        return kCannotLoad;
    }
    const ReducedPicture& r = reduced.value();
    const std::string bytes = EncodePcx8(r.width, r.height, r.indices, palette);
    if (bytes.empty()) {
        Say(io, "a PCX holds at most 65535 pixels a side");
        return kCannotWrite;
    }
    if (const Status written = WriteFileSafely(q.out, bytes); !written.ok()) {
        Tell(written.error(), io);
        return kCannotWrite;
    }
    std::fprintf(io.out, "wrote %s (%s, 8 bits) from %s in %s: %s\n", TerminalText(q.out).c_str(),
                 SizeText(r.width, r.height).c_str(), TerminalText(q.skinPicture).c_str(),
                 TerminalText(from).c_str(), Summary(r, q.dither, "index 255").c_str());
    return FinishOutput(io);
}
