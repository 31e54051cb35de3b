#include "game/ShaderScripts.h"

#include "game/Archive.h"

#include <cctype>

namespace {

struct Token {
    std::string text;
    int line;
    bool quoted;
};

// The script's tokens; braces are tokens of their own even when written
// against a word.
std::vector<Token> Tokens(const std::string& text) {
    std::vector<Token> tokens;
    int line = 1;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c)) || c == '\0') {
            ++i;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            while (i < n && text[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            i += 2;
            while (i < n && !(text[i] == '*' && i + 1 < n && text[i + 1] == '/')) {
                if (text[i] == '\n')
                    ++line;
                ++i;
            }
            i = i < n ? i + 2 : n;
        } else if (c == '"') {
            const size_t start = ++i;
            while (i < n && text[i] != '"' && text[i] != '\n')
                ++i;
            tokens.push_back({text.substr(start, i - start), line, true});
            if (i < n && text[i] == '"')
                ++i;
        } else if (c == '{' || c == '}') {
            tokens.push_back({std::string(1, c), line, false});
            ++i;
        } else {
            const size_t start = i;
            while (i < n && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != '{' &&
                   text[i] != '}' && text[i] != '"' && text[i] != '\0' &&
                   !(text[i] == '/' && i + 1 < n && (text[i + 1] == '/' || text[i + 1] == '*')))
                ++i;
            tokens.push_back({text.substr(start, i - start), line, false});
        }
    }
    return tokens;
}

bool IsBrace(const Token& t, char brace) {
    return !t.quoted && t.text.size() == 1 && t.text[0] == brace;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

void ParseShaderScript(const std::string& text, const std::string& script,
                       std::map<std::string, ShaderImage>& shaders, std::string& problem) {
    problem.clear();
    const std::vector<Token> tokens = Tokens(text);
    std::map<std::string, ShaderImage> found;
    auto broken = [&](const Token& at, const std::string& why) {
        problem = script + ": line " + std::to_string(at.line) + ": " + why;
    };
    size_t k = 0;
    while (k < tokens.size()) {
        const Token& name = tokens[k++];
        if (IsBrace(name, '{') || IsBrace(name, '}'))
            return broken(name, "a brace where a shader name should be");
        if (k >= tokens.size() || !IsBrace(tokens[k], '{'))
            return broken(name, "the shader \"" + name.text + "\" has no body");
        ++k;
        std::string image;
        int depth = 1;
        while (depth > 0) {
            if (k >= tokens.size())
                return broken(name, "the shader \"" + name.text + "\" is not closed");
            const Token& t = tokens[k++];
            if (IsBrace(t, '{')) {
                if (++depth > 2)
                    return broken(t, "a stage inside a stage");
                continue;
            }
            if (IsBrace(t, '}')) {
                --depth;
                continue;
            }
            if (depth != 2 || !image.empty())
                continue;
            const std::string keyword = Lower(t.text);
            if (keyword != "map" && keyword != "clampmap" && keyword != "animmap")
                continue;
            // animMap's first argument is its frequency; its first frame follows.
            size_t arg = k + (keyword == "animmap" ? 1 : 0);
            if (arg >= tokens.size() || tokens[arg].line != t.line || IsBrace(tokens[arg], '}'))
                continue;
            const std::string candidate = tokens[arg].text;
            const std::string lower = Lower(candidate);
            if (lower != "$lightmap" && lower != "$whiteimage" && IsGamePath(candidate))
                image = candidate;
        }
        if (!image.empty())
            found.emplace(Lower(name.text), ShaderImage{image, script});
    }
    for (auto& [key, value] : found)
        shaders.emplace(key, std::move(value));
}
