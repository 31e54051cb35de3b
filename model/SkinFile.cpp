#include "model/SkinFile.h"

#include "model/ByteSource.h"
#include "model/Model.h"
#include "model/TextureFinder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n\"");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n\"");
    return text.substr(first, last - first + 1);
}

// The text of a skin file, or empty and a problem in plain words.
std::string ReadSkinText(const std::string& path, std::string& problem) {
    const Result<SourceBytes> read = ReadFileBytes(
        path, kMaxSkinBytes,
        "it is larger than " + std::to_string(kMaxSkinBytes / 1024) + " KB, which no skin file is");
    if (!read.ok()) {
        problem = read.error().reason;
        return {};
    }
    const Bytes& bytes = *read.value().bytes;
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

} // namespace

std::string Skin::TextureOf(const std::string& surface) const {
    const std::string wanted = LowerCase(surface);
    for (const SkinEntry& e : entries)
        if (LowerCase(e.surface) == wanted)
            return e.texture;
    return {};
}

std::vector<SkinEntry> ParseSkin(const std::string& text) {
    std::vector<SkinEntry> entries;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto comment = line.find("//");
        if (comment != std::string::npos)
            line.erase(comment);
        const auto comma = line.find(',');
        if (comma == std::string::npos)
            continue;
        SkinEntry e{Trim(line.substr(0, comma)), Trim(line.substr(comma + 1))};
        if (e.surface.empty() || LowerCase(e.surface).rfind("tag_", 0) == 0)
            continue;
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<Skin> FindSkins(const std::string& modelPath) {
    std::vector<Skin> skins;
    const fs::path model(modelPath);
    const std::string prefix = LowerCase(model.stem().string()) + "_";
    std::error_code error;
    fs::directory_iterator folder(model.has_parent_path() ? model.parent_path() : ".", error);
    if (error)
        return skins;
    const std::string game = GameFolderOf(modelPath);
    for (const fs::directory_entry& entry : folder) {
        const std::string name = entry.path().filename().string();
        const std::string lower = LowerCase(name);
        if (lower.size() <= prefix.size() + 5 || lower.rfind(prefix, 0) != 0 ||
            lower.substr(lower.size() - 5) != ".skin")
            continue;
        if (skins.size() == kMaxSkins)
            break;
        Skin skin{LowerCase(name.substr(prefix.size(), name.size() - prefix.size() - 5)),
                  entry.path().string(),
                  {},
                  {}};
        // A link may point anywhere on the painter's disk: only into the game.
        if (!IsInsideFolder(game, skin.path))
            skin.problem = "it is a link that leads out of the game folder \"" + game + "\"";
        else {
            const std::string text = ReadSkinText(skin.path, skin.problem);
            if (skin.problem.empty())
                skin.entries = ParseSkin(text);
        }
        skins.push_back(std::move(skin));
    }
    std::sort(skins.begin(), skins.end(), [](const Skin& a, const Skin& b) {
        if ((a.name == "default") != (b.name == "default"))
            return a.name == "default";
        return a.name < b.name;
    });
    return skins;
}

Result<const Skin*> ChooseSkin(const std::vector<Skin>& skins, const std::string& wanted,
                               Skin& loaded) {
    for (const Skin& s : skins)
        if (s.name == LowerCase(wanted)) {
            if (!s.problem.empty())
                return Error{"cannot use the skin file", s.path, s.problem};
            return &s;
        }
    if (LowerCase(fs::path(wanted).extension().string()) == ".skin") {
        // Named by the painter on the command line: read wherever it is.
        std::string problem;
        const std::string text = ReadSkinText(wanted, problem);
        if (!problem.empty())
            return Error{"cannot read the skin file", wanted, problem};
        loaded = {LowerCase(fs::path(wanted).stem().string()), wanted, ParseSkin(text), {}};
        return &loaded;
    }
    std::string names;
    for (const Skin& s : skins)
        names += (names.empty() ? "" : ", ") + s.name;
    return Error{
        "", "",
        "the model has no skin \"" + wanted + "\"" +
            (names.empty() ? std::string(" (it has no .skin files)") : " (it has: " + names + ")")};
}
