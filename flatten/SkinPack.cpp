#include "flatten/SkinPack.h"

#include "game/ModelGame.h"
#include "model/Model.h"
#include "model/NativeFile.h"
#include "model/SkinFile.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// The image loaders of ioquake3's renderer in their order (imageLoaders,
// tr_image.c): a name whose file is missing is tried with each in turn.
const char* const kLoaderExtensions[] = {".tga", ".jpg", ".jpeg", ".png", ".pcx", ".bmp"};

std::string Hex(unsigned char c) {
    static const char* const kDigits = "0123456789abcdef";
    return std::string("0x") + kDigits[c >> 4] + kDigits[c & 15];
}

// The name's extension, lower case with its dot; empty when its file name has none.
std::string ExtensionOf(const std::string& name) {
    const auto slash = name.find_last_of("/\\"), dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return LowerCase(name.substr(dot));
}

std::string StemOf(const std::string& name) {
    const std::string extension = ExtensionOf(name);
    return name.substr(0, name.size() - extension.size());
}

std::string FolderOf(const std::string& gamePath) {
    const auto slash = gamePath.rfind('/');
    return slash == std::string::npos ? std::string() : gamePath.substr(0, slash + 1);
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The game path as the file is spelled where it lies: a pak's entry as
// stored, a loose file as named on disk (GameFiles keys are lower case).
std::string SpelledPath(const GameFile& file) {
    std::string spelled;
    if (file.inArchive) {
        std::string archive;
        if (SplitArchivePath(file.origin, archive, spelled))
            std::replace(spelled.begin(), spelled.end(), '\\', '/');
    } else if (file.origin.size() >= file.gamePath.size()) {
        spelled =
            native::SlashedPart(file.origin.substr(file.origin.size() - file.gamePath.size()));
    }
    return GamePathKey(spelled) == file.gamePath ? spelled : file.gamePath;
}

std::string BytesOf(const SourceBytes& source) {
    return {reinterpret_cast<const char*>(source.bytes->data()), source.bytes->size()};
}

// An image by the renderer's rules (R_LoadImage, tr_image.c): the name as
// given, then its stem with each loader's extension.
std::unique_ptr<GameFile> FindImageFile(const GameFiles& files, const std::string& name) {
    if (std::unique_ptr<GameFile> given = files.Find(name))
        return given;
    const std::string stem = StemOf(name);
    for (const char* extension : kLoaderExtensions)
        if (std::unique_ptr<GameFile> found = files.Find(stem + extension))
            return found;
    return nullptr;
}

// Why a name's file is loaded under another extension than the name's, and
// by which engines not at all; empty when the extensions agree.
std::string ExtensionProblem(const std::string& named, const GameFile& found) {
    const std::string want = ExtensionOf(named), have = ExtensionOf(found.gamePath);
    if (want.empty() || want == have)
        return {};
    std::string text = "names \"" + named + "\", but the game holds only \"" + SpelledPath(found) +
                       "\": ioquake3 loads that file in its place (R_LoadImage, tr_image.c, "
                       "tries the name as given, then .tga, .jpg, .jpeg, .png, .pcx, .bmp)";
    // The 1.32 release's R_LoadImage reads a missing .tga as .jpg and knows
    // no other stand-in, and no PNG at all.
    if (want == ".tga" && have == ".jpg")
        text += "; the 1.32 release does the same, but other engines of the family read only the "
                "name given and load nothing";
    else
        text += "; the 1.32 release (which reads only the name given, or a missing .tga as .jpg) "
                "and engines like it load nothing and draw the default texture";
    return text + "; rename the file or the name in the skin so that they agree";
}

struct Token {
    std::string text;
    bool lineStart = false; // the first token of its line
};

// The tokens of a shader script as COM_ParseExt (q_shared.c) reads them:
// whitespace-separated, "//" and "/* */" comments, quoted strings.
std::vector<Token> ScriptTokens(const std::string& text) {
    std::vector<Token> tokens;
    bool newLine = true;
    size_t i = 0;
    while (i < text.size() && tokens.size() < kMaxShaderScriptTokens) {
        const char c = text[i];
        if (c == '\n') {
            newLine = true;
            ++i;
        } else if (static_cast<unsigned char>(c) <= ' ') {
            ++i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            i = text.find('\n', i);
            i = i == std::string::npos ? text.size() : i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const size_t end = text.find("*/", i + 2);
            for (size_t k = i; k < std::min(end, text.size()); ++k)
                newLine = newLine || text[k] == '\n';
            i = end == std::string::npos ? text.size() : end + 2;
        } else if (c == '"') {
            const size_t end = text.find('"', i + 1);
            const size_t stop = end == std::string::npos ? text.size() : end;
            tokens.push_back({text.substr(i + 1, stop - i - 1), newLine});
            newLine = false;
            i = end == std::string::npos ? text.size() : end + 1;
        } else {
            const size_t start = i;
            while (i < text.size() && static_cast<unsigned char>(text[i]) > ' ')
                ++i;
            tokens.push_back({text.substr(start, i - start), newLine});
            newLine = false;
        }
    }
    return tokens;
}

// The pictures every stage of a shader names (map, clampMap, animMap's
// frames), in order; the renderer's own images ($lightmap, *white) left out.
std::vector<std::string> StageImages(const std::string& script, const std::string& shader) {
    const std::vector<Token> tokens = ScriptTokens(script);
    std::vector<std::string> images;
    const std::string key = LowerCase(shader);
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i + 1].text != "{")
            continue;
        const bool wanted = LowerCase(tokens[i].text) == key;
        int depth = 0;
        size_t k = i + 1;
        for (; k < tokens.size(); ++k) {
            const std::string& t = tokens[k].text;
            if (t == "{")
                ++depth;
            else if (t == "}" && --depth == 0)
                break;
            else if (wanted && depth == 2) {
                const std::string word = LowerCase(t);
                if ((word == "map" || word == "clampmap") && k + 1 < tokens.size())
                    images.push_back(tokens[++k].text);
                else if (word == "animmap") {
                    // animMap FREQUENCY FRAME... to the end of its line.
                    size_t frame = k + 2;
                    while (frame < tokens.size() && !tokens[frame].lineStart &&
                           tokens[frame].text != "}")
                        images.push_back(tokens[frame++].text);
                    k = frame - 1;
                }
            }
        }
        if (wanted)
            break;
        i = k;
    }
    images.erase(std::remove_if(images.begin(), images.end(),
                                [](const std::string& image) {
                                    return image.empty() || image[0] == '$' || image[0] == '*';
                                }),
                 images.end());
    return images;
}

// Whether the game's paks already ship a loose file's bytes at its path.
PackState StateOf(const GameFiles& files, const GameFile& file,
                  std::vector<std::string>& problems) {
    if (file.inArchive)
        return PackState::Shipped;
    const std::unique_ptr<GameFile> archived = files.FindArchived(file.gamePath);
    if (!archived)
        return PackState::New;
    const Result<SourceBytes> loose = files.Read(file), packed = files.Read(*archived);
    if (!loose.ok()) {
        problems.push_back(loose.error().Message());
        return PackState::Changed;
    }
    if (!packed.ok())
        return PackState::Changed; // the pak's copy cannot stand in for it
    return BytesOf(loose.value()) == BytesOf(packed.value()) ? PackState::Shipped
                                                             : PackState::Changed;
}

struct Gathering {
    const GameFiles& files;
    std::map<std::string, PackEntry> entries; // by key
    std::vector<std::string> problems;

    void Add(const GameFile& file, const std::string& role, bool model) {
        if (entries.count(file.gamePath))
            return;
        PackEntry entry{SpelledPath(file), file, StateOf(files, file, problems), model, role};
        entries.emplace(file.gamePath, std::move(entry));
    }
};

bool IsPlayerPart(const std::string& modelGamePath) {
    return PlayerPartOf(modelGamePath) >= 0 &&
           GamePathKey(modelGamePath).rfind("models/players/", 0) == 0;
}

// Two names of one folder on disk that differ only in letter case: the
// other one, or empty.
std::string CaseTwin(const std::string& path) {
    std::error_code error;
    const fs::path file = native::PathOf(path);
    const std::string name = native::Utf8Of(file.filename()), lower = LowerCase(name);
    for (const fs::directory_entry& entry : fs::directory_iterator(file.parent_path(), error)) {
        const std::string other = native::Utf8Of(entry.path().filename());
        if (other != name && LowerCase(other) == lower)
            return other;
    }
    return {};
}

} // namespace

std::string GameNameProblem(const std::string& name) {
    if (name.size() >= kMaxQPath)
        return "is " + std::to_string(name.size()) +
               " bytes long: the engine holds game paths in 64 bytes with their closing zero "
               "(MAX_QPATH, q_shared.h) and cuts or refuses longer ones; shorten it below 64";
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80)
            return "holds the byte " + Hex(c) +
                   ", outside ASCII: the skin reader (CommaParse, tr_image.c) reads bytes as "
                   "signed chars, takes it for a space and splits the name there; use ASCII only";
        if (c <= ' ' || c == 0x7f)
            return std::string(c == ' ' ? "holds a space" : "holds the control byte " + Hex(c)) +
                   ": the skin reader (CommaParse, tr_image.c) ends a name at any byte up to the "
                   "space; use '_' instead";
        if (c == ',')
            return "holds a ',': the skin reader (CommaParse, tr_image.c) ends a name at a comma";
        if (c == '"')
            return "holds a '\"': the skin reader (CommaParse, tr_image.c) starts a quoted string "
                   "there";
        if (c == '\\' || c == ':')
            return std::string("holds a '") + char(c) +
                   "': the file system reads '\\' and ':' as '/' (FS_FilenameCompare, files.c) "
                   "and refuses \"::\"; use '/' between folders";
        if (c == '/' && i + 1 < name.size() && (name[i + 1] == '/' || name[i + 1] == '*'))
            return std::string("holds \"/") + name[i + 1] +
                   "\": the skin reader (CommaParse, tr_image.c) takes it for the start of a "
                   "comment";
        if (c == '.' && i + 1 < name.size() && name[i + 1] == '.')
            return "holds \"..\": the file system refuses such names (FS_FOpenFileRead, files.c)";
    }
    return {};
}

const char* PackStateName(PackState state) {
    switch (state) {
    case PackState::New:
        return "new";
    case PackState::Changed:
        return "changed";
    case PackState::Shipped:
        return "shipped";
    }
    return "";
}

std::vector<const PackEntry*> SkinPlan::Packed(bool full) const {
    std::vector<const PackEntry*> packed;
    for (const PackEntry& entry : needed)
        if (full || (!entry.model && entry.state != PackState::Shipped))
            packed.push_back(&entry);
    return packed;
}

std::vector<std::string> SkinFilesOf(const GameFiles& files, const std::string& modelGamePath,
                                     const std::string& name) {
    std::vector<std::string> skins;
    const std::string model = GamePathKey(modelGamePath);
    if (IsPlayerPart(model)) {
        // CG_RegisterClientSkin (cg_players.c): PART_SKIN.skin beside the
        // parts, a team game's red and blue being skins of those names.
        const std::string folder = FolderOf(model);
        for (const char* part : kPlayerPartNames)
            if (files.Find(folder + part + ".md3") || FolderOf(model) + part + ".md3" == model)
                skins.push_back(folder + part + "_" + name + ".skin");
        return skins;
    }
    skins.push_back(StemOf(model) + "_" + name + ".skin");
    return skins;
}

SkinPlan PlanSkin(const GameFiles& files, const GameTextures& textures,
                  const std::string& modelGamePath, const std::string& name) {
    Gathering g{files, {}, {}};
    SkinPlan plan;
    const std::string model = GamePathKey(modelGamePath);
    const bool player = IsPlayerPart(model);
    const std::string folder = FolderOf(model);
    if (player) {
        for (const char* part : kPlayerPartNames)
            if (std::unique_ptr<GameFile> file = files.Find(folder + part + ".md3"))
                g.Add(*file, "model", true);
        // CG_ParseAnimationFile (cg_players.c) refuses a player without it.
        if (std::unique_ptr<GameFile> file = files.Find(folder + "animation.cfg"))
            g.Add(*file, "model", true);
        // The icon of the scoreboard: icon_SKIN.skin, else exactly
        // icon_SKIN.tga (CG_FileExists); cg_players.c refuses a player without.
        std::unique_ptr<GameFile> icon = files.Find(folder + "icon_" + name + ".skin");
        if (!icon)
            icon = files.Find(folder + "icon_" + name + ".tga");
        if (icon)
            g.Add(*icon, "icon", false);
        else
            plan.notes.push_back(folder + "icon_" + name +
                                 ".tga is missing: the game shows this icon on the scoreboard and "
                                 "will not load the skin without it (cg_players.c); add it, as a "
                                 ".tga exactly (a .png is not looked for), or an icon_" +
                                 name + ".skin");
    } else if (std::unique_ptr<GameFile> file = files.Find(model)) {
        g.Add(*file, "model", true);
    }
    for (const std::string& skinPath : SkinFilesOf(files, model, name)) {
        const std::unique_ptr<GameFile> skinFile = files.Find(skinPath);
        if (!skinFile) {
            g.problems.push_back(
                skinPath + ": the game has no such file; " +
                (player ? "the engine loads it for the skin \"" + name +
                              "\" (CG_RegisterClientSkin, cg_players.c) and without it falls "
                              "back to its default model"
                        : std::string("the skin \"") + name + "\" is this file"));
            continue;
        }
        g.Add(*skinFile, "skin", false);
        const Result<SourceBytes> read =
            files.Read(*skinFile, kMaxSkinBytes, "the skin file is larger than any skin");
        if (!read.ok()) {
            g.problems.push_back(read.error().Message());
            continue;
        }
        const std::string skinName = SpelledPath(*skinFile);
        for (const SkinEntry& entry : ParseSkin(BytesOf(read.value()))) {
            if (entry.texture.empty())
                continue;
            const std::string where =
                skinName + ": the texture \"" + entry.texture + "\" of " + entry.surface + " ";
            if (const std::string bad = GameNameProblem(entry.texture); !bad.empty()) {
                g.problems.push_back(where + bad);
                continue;
            }
            std::string script, why;
            const std::unique_ptr<GameFile> image = textures.Find(entry.texture, script, why);
            if (!script.empty()) {
                if (std::unique_ptr<GameFile> scriptFile = files.Find(script)) {
                    g.Add(*scriptFile, "shader script", false);
                    const Result<SourceBytes> text = files.Read(*scriptFile, kMaxShaderScriptBytes);
                    if (text.ok())
                        for (const std::string& stage : StageImages(
                                 BytesOf(text.value()), GamePathKey(StemOf(entry.texture)))) {
                            const std::unique_ptr<GameFile> file = FindImageFile(files, stage);
                            if (!file) {
                                g.problems.push_back(where + "is a shader of " + script +
                                                     " whose stage names \"" + stage +
                                                     "\", which resolves to nothing: the engine "
                                                     "draws the default texture there");
                                continue;
                            }
                            if (const std::string ext = ExtensionProblem(stage, *file);
                                !ext.empty())
                                g.problems.push_back(where + "is a shader of " + script +
                                                     " whose stage " + ext);
                            g.Add(*file, "texture", false);
                        }
                }
            }
            if (!image) {
                g.problems.push_back(where + "resolves to nothing: " + why +
                                     "; the engine draws its default texture there");
                continue;
            }
            if (script.empty())
                if (const std::string ext = ExtensionProblem(entry.texture, *image); !ext.empty())
                    g.problems.push_back(skinName + ": " + entry.surface + " " + ext);
            g.Add(*image, "texture", false);
        }
    }
    for (auto& [key, entry] : g.entries) {
        if (const std::string bad = GameNameProblem(entry.gamePath); !bad.empty())
            g.problems.push_back(entry.gamePath + " " + bad);
        if (entry.file.inArchive)
            continue;
        // A pak compares names without case (FS_FilenameCompare, files.c):
        // two spellings of one name shadow each other by pak order.
        if (const std::unique_ptr<GameFile> archived = files.FindArchived(key)) {
            const std::string other = SpelledPath(*archived);
            if (other != entry.gamePath)
                g.problems.push_back(entry.gamePath + " differs only in letter case from \"" +
                                     archived->origin +
                                     "\": the game compares names without case and loads "
                                     "whichever its pak order puts first; spell it as the pak "
                                     "does");
        }
        if (const std::string twin = CaseTwin(entry.file.origin); !twin.empty())
            g.problems.push_back(entry.gamePath + ": its folder also holds \"" + twin +
                                 "\", whose name differs only in letter case: in a pak the game "
                                 "would find either, on disk only the one spelled as named; "
                                 "keep one");
    }
    for (auto& [key, entry] : g.entries)
        plan.needed.push_back(std::move(entry));
    plan.problems = std::move(g.problems);
    return plan;
}

namespace {

struct ZipCloser {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};

Error ZipError(const std::string& out, zip_error_t* error) {
    return Error{"Cannot build the pak", out, std::string(zip_error_strerror(error))};
}

} // namespace

Result<std::string> Pk3Bytes(const GameFiles& files, const std::vector<const PackEntry*>& entries,
                             const std::string& out) {
    std::vector<const PackEntry*> sorted = entries;
    std::sort(sorted.begin(), sorted.end(),
              [](const PackEntry* a, const PackEntry* b) { return a->gamePath < b->gamePath; });
    std::vector<std::string> contents;
    contents.reserve(sorted.size());
    for (const PackEntry* entry : sorted) {
        const Result<SourceBytes> read = files.Read(entry->file);
        if (!read.ok())
            return read.error();
        contents.push_back(BytesOf(read.value()));
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer)
        return ZipError(out, &error);
    zip_t* opened = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!opened) {
        zip_source_free(buffer);
        return ZipError(out, &error);
    }
    zip_source_keep(buffer); // read after the archive is closed
    std::unique_ptr<zip_t, ZipCloser> zip(opened);
    // One fixed time for every entry, given in the zip's own form so that no
    // time zone moves it: two runs give the same bytes. 1980-01-01 12:00.
    const zip_uint16_t kDosTime = 12 << 11, kDosDate = (1 << 5) | 1;
    for (size_t i = 0; i < sorted.size(); ++i) {
        zip_source_t* source =
            zip_source_buffer(zip.get(), contents[i].data(), contents[i].size(), 0);
        const zip_int64_t index =
            source ? zip_file_add(zip.get(), sorted[i]->gamePath.c_str(), source, ZIP_FL_ENC_RAW)
                   : -1;
        if (index < 0) {
            if (source)
                zip_source_free(source);
            const std::string why = zip_strerror(zip.get());
            zip_source_free(buffer);
            return Error{"Cannot build the pak", out, sorted[i]->gamePath + ": " + why};
        }
        const std::string ext = ExtensionOf(sorted[i]->gamePath);
        // Already compressed pictures gain nothing from deflating.
        const bool stored = ext == ".jpg" || ext == ".jpeg" || ext == ".png";
        zip_set_file_compression(zip.get(), zip_uint64_t(index),
                                 stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
        zip_file_set_dostime(zip.get(), zip_uint64_t(index), kDosTime, kDosDate, 0);
    }
    if (zip_close(zip.get()) != 0) {
        const std::string why = zip_strerror(zip.get());
        zip_source_free(buffer);
        return Error{"Cannot build the pak", out, why};
    }
    (void)zip.release(); // closed: nothing left to discard
    std::string bytes;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(buffer, &stat) != 0 || zip_source_open(buffer) != 0) {
        zip_source_free(buffer);
        return Error{"Cannot build the pak", out, "its bytes cannot be read back from memory"};
    }
    bytes.resize(size_t(stat.size));
    const zip_int64_t got = zip_source_read(buffer, bytes.data(), stat.size);
    zip_source_close(buffer);
    zip_source_free(buffer);
    if (got != zip_int64_t(stat.size))
        return Error{"Cannot build the pak", out, "its bytes cannot be read back from memory"};
    return bytes;
}

NewSkinPlan PlanNewSkin(const GameFiles& files, const GameTextures& textures,
                        const std::string& modelGamePath, const std::string& name,
                        const std::string& from) {
    NewSkinPlan plan;
    if (name.empty() || name.find('/') != std::string::npos || LowerCase(name) == LowerCase(from)) {
        plan.problems.push_back("the new skin's name \"" + name +
                                "\" must be a single word other than the skin it comes from");
        return plan;
    }
    std::map<std::string, std::string> copies; // a picture's key -> its copy's game path
    std::vector<NewSkinFile> pictures;
    auto Check = [&](const std::string& path) {
        if (const std::string bad = GameNameProblem(path); !bad.empty())
            plan.problems.push_back(path + " " + bad);
        if (const std::unique_ptr<GameFile> there = files.Find(path))
            plan.problems.push_back(path + ": the game already holds it (" + there->origin +
                                    "); it is never overwritten: choose another skin name");
    };
    const std::vector<std::string> sources = SkinFilesOf(files, modelGamePath, from);
    const std::vector<std::string> targets = SkinFilesOf(files, modelGamePath, name);
    for (size_t s = 0; s < sources.size() && s < targets.size(); ++s) {
        const std::unique_ptr<GameFile> source = files.Find(sources[s]);
        if (!source) {
            plan.problems.push_back(sources[s] + ": the game has no such file to start from");
            continue;
        }
        const Result<SourceBytes> read =
            files.Read(*source, kMaxSkinBytes, "the skin file is larger than any skin");
        if (!read.ok()) {
            plan.problems.push_back(read.error().Message());
            continue;
        }
        Check(targets[s]);
        // Line by line, so that comments and tag_ lines stay as they were.
        std::istringstream lines(BytesOf(read.value()));
        std::string text;
        for (std::string line; std::getline(lines, line);) {
            const auto comma = line.find(',');
            std::string texture =
                comma == std::string::npos ? std::string() : line.substr(comma + 1);
            if (const auto comment = texture.find("//"); comment != std::string::npos)
                texture.erase(comment);
            texture = Trim(texture);
            const std::string surface =
                comma == std::string::npos ? "" : Trim(line.substr(0, comma));
            if (texture.empty() || LowerCase(surface).rfind("tag_", 0) == 0) {
                text += line + "\n";
                continue;
            }
            std::string script, why;
            const std::unique_ptr<GameFile> image = textures.Find(texture, script, why);
            if (!image) {
                plan.problems.push_back(SpelledPath(*source) + ": the texture \"" + texture +
                                        "\" of " + surface + " resolves to nothing: " + why);
                continue;
            }
            auto copy = copies.find(image->gamePath);
            if (copy == copies.end()) {
                const std::string spelled = SpelledPath(*image);
                const std::string path =
                    StemOf(spelled) + "_" + name + spelled.substr(StemOf(spelled).size());
                Check(path);
                const Result<SourceBytes> bytes = files.Read(*image);
                if (!bytes.ok())
                    plan.problems.push_back(bytes.error().Message());
                else
                    pictures.push_back({path, BytesOf(bytes.value())});
                if (!script.empty())
                    plan.notes.push_back("the shader \"" + texture + "\" (" + script +
                                         ") is not carried over: the new skin names its picture " +
                                         path);
                copy = copies.emplace(image->gamePath, path).first;
            }
            text += surface + "," + copy->second + "\n";
        }
        plan.files.push_back({targets[s], text});
    }
    for (NewSkinFile& picture : pictures)
        plan.files.push_back(std::move(picture));
    return plan;
}

std::vector<std::string> SkinGameFolders(const std::string& model,
                                         const std::vector<std::string>& games) {
    if (!games.empty())
        return games;
    std::string archive, entry;
    std::error_code error;
    if (SplitArchivePath(model, archive, entry))
        return {native::Utf8Of(
            std::filesystem::absolute(native::PathOf(archive), error).parent_path())};
    return {GameFolderOf(model)};
}

std::string FolderHoldingPak(const std::vector<std::string>& folders, const std::string& out) {
    std::error_code error;
    const std::string absolute =
        native::Utf8Of(std::filesystem::absolute(native::PathOf(out), error));
    for (const std::string& folder : folders)
        if (IsInsideFolder(folder, absolute))
            return folder;
    return {};
}
