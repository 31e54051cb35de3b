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
