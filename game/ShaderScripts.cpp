#include "game/ShaderScripts.h"

#include "game/Archive.h"

#include <cctype>
#include <deque>

namespace {

struct Token {
    std::string text;
    int line = 0;
    bool quoted = false;
};

// The script's tokens one at a time, with a look a few tokens ahead; braces
// are tokens of their own even when written against a word.
class Tokenizer {
  public:
    Tokenizer(std::string_view text, size_t maxTokens) : m_text(text), m_max(maxTokens) {}

    // The token `ahead` places on (0: the next one), or null at the end.
    const Token* Peek(size_t ahead = 0) {
        while (m_ahead.size() <= ahead) {
            Token t;
            if (!Scan(t))
                return nullptr;
            m_ahead.push_back(std::move(t));
        }
        return &m_ahead[ahead];
    }
    // Takes the next token; false at the end.
    bool Next(Token& t) {
        if (!Peek())
            return false;
        t = std::move(m_ahead.front());
        m_ahead.pop_front();
        return true;
    }
    // True when the script held more tokens than allowed (and reading stopped).
    bool flooded() const { return m_flooded; }
    int line() const { return m_line; }

  private:
    bool Scan(Token& t) {
        const std::string_view text = m_text;
        const size_t n = text.size();
        size_t& i = m_at;
        while (i < n) {
            const char c = text[i];
            if (c == '\n') {
                ++m_line;
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
                        ++m_line;
                    ++i;
                }
                i = i < n ? i + 2 : n;
            } else {
                if (m_count++ == m_max) {
                    m_flooded = true;
                    i = n;
                    return false;
                }
                t.line = m_line;
                t.quoted = c == '"';
                if (c == '"') {
                    const size_t start = ++i;
                    while (i < n && text[i] != '"' && text[i] != '\n')
                        ++i;
                    t.text = std::string(text.substr(start, i - start));
                    if (i < n && text[i] == '"')
                        ++i;
                } else if (c == '{' || c == '}') {
                    t.text = std::string(1, c);
                    ++i;
                } else {
                    const size_t start = i;
                    while (i < n && !std::isspace(static_cast<unsigned char>(text[i])) &&
                           text[i] != '{' && text[i] != '}' && text[i] != '"' && text[i] != '\0' &&
                           !(text[i] == '/' && i + 1 < n &&
                             (text[i + 1] == '/' || text[i + 1] == '*')))
                        ++i;
                    t.text = std::string(text.substr(start, i - start));
                }
                return true;
            }
        }
        return false;
    }
    std::string_view m_text;
    size_t m_at = 0, m_count = 0, m_max;
    int m_line = 1;
    bool m_flooded = false;
    std::deque<Token> m_ahead;
};

bool IsBrace(const Token& t, char brace) {
    return !t.quoted && t.text.size() == 1 && t.text[0] == brace;
}

// A name as a message quotes it: short, and no byte that could act on a
// terminal (a script's one "name" can be megabytes of anything).
std::string Shown(const std::string& name) {
    constexpr size_t kShown = 64;
    std::string out;
    for (size_t i = 0; i < name.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        out += c < 0x20 || c == 0x7F ? '?' : char(c);
    }
    return name.size() > kShown ? out + "..." : out;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

void ParseShaderScript(std::string_view text, const std::string& script,
                       std::map<std::string, ShaderImage>& shaders, std::string& problem,
                       const ShaderScriptLimits& limits) {
    problem.clear();
    if (text.size() > limits.bytes) {
        problem = script + ": it is larger than " + std::to_string(limits.bytes / 1024) +
                  " KB, which no shader script is";
        return;
    }
    Tokenizer tokens(text, limits.tokens);
    std::map<std::string, ShaderImage> found;
    auto broken = [&](const Token& at, const std::string& why) {
        problem = script + ": line " + std::to_string(at.line) + ": " + why;
    };
    // A flood of tokens ends the reading wherever it is: that says so, not
    // the brace it cut off.
    auto flooded = [&] {
        if (!tokens.flooded())
            return false;
        problem = script + ": line " + std::to_string(tokens.line()) + ": more than " +
                  std::to_string(limits.tokens) + " words, which no shader script holds";
        return true;
    };
    Token name, t;
    while (tokens.Next(name)) {
        if (IsBrace(name, '{') || IsBrace(name, '}'))
            return broken(name, "a brace where a shader name should be");
        const Token* body = tokens.Peek();
        if (!body || !IsBrace(*body, '{')) {
            if (flooded())
                return;
            return broken(name, "the shader \"" + Shown(name.text) + "\" has no body");
        }
        tokens.Next(t);
        std::string image;
        int depth = 1;
        while (depth > 0) {
            if (!tokens.Next(t)) {
                if (flooded())
                    return;
                return broken(name, "the shader \"" + Shown(name.text) + "\" is not closed");
            }
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
            const Token* arg = tokens.Peek(keyword == "animmap" ? 1 : 0);
            if (!arg || arg->line != t.line || IsBrace(*arg, '}'))
                continue;
            const std::string candidate = arg->text;
            const std::string lower = Lower(candidate);
            if (lower != "$lightmap" && lower != "$whiteimage" && IsGamePath(candidate))
                image = candidate;
        }
        if (!image.empty())
            found.emplace(Lower(name.text), ShaderImage{image, script});
    }
    if (flooded())
        return;
    for (auto& [key, value] : found)
        shaders.emplace(key, std::move(value));
}

namespace {

// The first image an image program names: "addnormals(a/b_local, heightmap(a/b_h, 4))"
// gives "a/b_local"; a plain name gives itself. Words followed by '(' are
// the programs, numbers their arguments.
std::string FirstImageOf(const std::string& expression) {
    const size_t n = expression.size();
    for (size_t i = 0; i < n;) {
        const char c = expression[i];
        if (c == '(' || c == ')' || c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < n && expression[i] != '(' && expression[i] != ')' && expression[i] != ',' &&
               !std::isspace(static_cast<unsigned char>(expression[i])))
            ++i;
        size_t next = i;
        while (next < n && std::isspace(static_cast<unsigned char>(expression[next])))
            ++next;
        if (next < n && expression[next] == '(')
            continue; // a program's name
        const std::string word = expression.substr(start, i - start);
        if (word.find_first_not_of("0123456789.-+") == std::string::npos)
            continue; // a number
        return word;
    }
    return {};
}

} // namespace

void ParseMaterialFile(std::string_view text, const std::string& file,
                       std::map<std::string, ShaderImage>& materials, std::string& problem,
                       const ShaderScriptLimits& limits) {
    problem.clear();
    if (text.size() > limits.bytes) {
        problem = file + ": it is larger than " + std::to_string(limits.bytes / 1024) +
                  " KB, which no material file is";
        return;
    }
    Tokenizer tokens(text, limits.tokens);
    std::map<std::string, ShaderImage> found;
    auto broken = [&](const Token& at, const std::string& why) {
        problem = file + ": line " + std::to_string(at.line) + ": " + why;
    };
    auto flooded = [&] {
        if (!tokens.flooded())
            return false;
        problem = file + ": line " + std::to_string(tokens.line()) + ": more than " +
                  std::to_string(limits.tokens) + " words, which no material file holds";
        return true;
    };
    // The image a map keyword's argument names: the token after it, with the
    // rest of an image program on the same line.
    auto argument = [&](const Token& keyword) -> std::string {
        auto usable = [](const std::string& image) {
            // "_white", "_flat": the engine's own images, no file's.
            return IsGamePath(image) && image.rfind('_', 0) != 0 ? image : std::string();
        };
        if (const Token* quoted = tokens.Peek();
            quoted && quoted->quoted && quoted->line == keyword.line) {
            Token taken;
            tokens.Next(taken);
            return usable(taken.text);
        }
        // A program's words up to its closing parenthesis, a few dozen at most.
        std::string expression;
        int open = 0;
        for (int words = 0; words < 64; ++words) {
            const Token* word = tokens.Peek();
            if (!word || word->line != keyword.line || IsBrace(*word, '{') || IsBrace(*word, '}'))
                break;
            for (const char c : word->text)
                open += c == '(' ? 1 : c == ')' ? -1 : 0;
            expression += word->text + " ";
            Token taken;
            tokens.Next(taken);
            if (open <= 0)
                break;
        }
        return usable(FirstImageOf(expression));
    };
    Token t;
    while (tokens.Next(t)) {
        if (IsBrace(t, '{') || IsBrace(t, '}'))
            return broken(t, "a brace where a material name should be");
        // "[type] name {": a word before the name says the declaration's type.
        Token name = t;
        std::string type = "material";
        const Token* next = tokens.Peek();
        if (next && !IsBrace(*next, '{') && !IsBrace(*next, '}')) {
            const Token* after = tokens.Peek(1);
            if (after && IsBrace(*after, '{')) {
                type = Lower(name.text);
                tokens.Next(name);
            }
        }
        next = tokens.Peek();
        if (!next || !IsBrace(*next, '{')) {
            if (flooded())
                return;
            return broken(name, "the material \"" + Shown(name.text) + "\" has no body");
        }
        tokens.Next(t);
        const bool material = type == "material";
        std::string diffuse, firstMap, stageMap, stageBlend;
        int depth = 1;
        while (depth > 0) {
            if (!tokens.Next(t)) {
                if (flooded())
                    return;
                return broken(name, "the material \"" + Shown(name.text) + "\" is not closed");
            }
            if (IsBrace(t, '{')) {
                if (++depth > kMaxMaterialDepth)
                    return broken(t, "braces deeper than " + std::to_string(kMaxMaterialDepth) +
                                         " levels, as no material has");
                if (depth == 2) {
                    stageMap.clear();
                    stageBlend.clear();
                }
                continue;
            }
            if (IsBrace(t, '}')) {
                if (depth-- == 2 && !stageMap.empty()) {
                    if (stageBlend == "diffusemap" && diffuse.empty())
                        diffuse = stageMap;
                    else if (stageBlend != "bumpmap" && stageBlend != "specularmap" &&
                             firstMap.empty())
                        firstMap = stageMap;
                }
                continue;
            }
            if (!material || !diffuse.empty())
                continue;
            const std::string keyword = Lower(t.text);
            if (depth == 1 && keyword == "diffusemap") {
                diffuse = argument(t);
            } else if (depth == 2 && keyword == "blend") {
                const Token* arg = tokens.Peek();
                if (arg && arg->line == t.line && !IsBrace(*arg, '}'))
                    stageBlend = Lower(arg->text);
            } else if (depth == 2 && keyword == "map" && stageMap.empty()) {
                stageMap = argument(t);
            }
        }
        if (!material)
            continue;
        const std::string& image = !diffuse.empty() ? diffuse : firstMap;
        std::string key = Lower(name.text);
        for (char& c : key)
            if (c == '\\')
                c = '/';
        if (!image.empty())
            found.emplace(key, ShaderImage{image, file});
    }
    if (flooded())
        return;
    for (auto& [key, value] : found)
        materials.emplace(key, std::move(value));
}
