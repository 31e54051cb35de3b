#include "model/SkinFile.h"

#include "model/ByteSource.h"
#include "model/Model.h"
#include "model/NativeFile.h"
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

Result<const Skin*> ChooseSkin(const std::vector<Skin>& skins, const std::string& wanted,
                               Skin& loaded) {
    for (const Skin& s : skins)
        if (s.name == LowerCase(wanted)) {
            if (!s.problem.empty())
                return Error{"cannot use the skin file", s.path, s.problem};
            return &s;
        }
    if (LowerCase(native::Utf8Of(native::PathOf(wanted).extension())) == ".skin") {
        // Named by the painter on the command line: read wherever it is.
        std::string problem;
        const std::string text = ReadSkinText(wanted, problem);
        if (!problem.empty())
            return Error{"cannot read the skin file", wanted, problem};
        loaded = {
            LowerCase(native::Utf8Of(native::PathOf(wanted).stem())), wanted, ParseSkin(text), {}};
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
