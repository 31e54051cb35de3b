#include "model/SkinFile.h"

#include "model/SurfaceStore.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
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

// A skin file is small; anything past this is not one.
constexpr std::uintmax_t kMaxSkinBytes = 1 << 20;

bool ReadSmallFile(const fs::path& path, std::string& text) {
    std::error_code error;
    if (!fs::is_regular_file(path, error) || fs::file_size(path, error) > kMaxSkinBytes)
        return false;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = bytes.str();
    return bool(in) || in.eof();
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
    for (const fs::directory_entry& entry : folder) {
        const std::string name = entry.path().filename().string();
        const std::string lower = LowerCase(name);
        if (lower.size() <= prefix.size() + 5 || lower.rfind(prefix, 0) != 0 ||
            lower.substr(lower.size() - 5) != ".skin")
            continue;
        std::string text;
        if (!ReadSmallFile(entry.path(), text))
            continue;
        skins.push_back({LowerCase(name.substr(prefix.size(), name.size() - prefix.size() - 5)),
                         entry.path().string(), ParseSkin(text)});
    }
    std::sort(skins.begin(), skins.end(), [](const Skin& a, const Skin& b) {
        if ((a.name == "default") != (b.name == "default"))
            return a.name == "default";
        return a.name < b.name;
    });
    return skins;
}

const Skin* ChooseSkin(const std::vector<Skin>& skins, const std::string& wanted, Skin& loaded,
                       std::string& reason) {
    for (const Skin& s : skins)
        if (s.name == LowerCase(wanted))
            return &s;
    if (LowerCase(fs::path(wanted).extension().string()) == ".skin") {
        std::string text;
        if (!ReadSmallFile(wanted, text)) {
            reason = "cannot read the skin file \"" + wanted + "\"";
            return nullptr;
        }
        loaded = {LowerCase(fs::path(wanted).stem().string()), wanted, ParseSkin(text)};
        return &loaded;
    }
    std::string names;
    for (const Skin& s : skins)
        names += (names.empty() ? "" : ", ") + s.name;
    reason = "the model has no skin \"" + wanted + "\"" +
             (names.empty() ? std::string(" (it has no .skin files)") : " (it has: " + names + ")");
    return nullptr;
}
