#include "scene/Animations.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>

const std::array<const char*, kPlayerAnimations> kPlayerAnimationNames = {
    "BOTH_DEATH1",   "BOTH_DEAD1",      "BOTH_DEATH2",  "BOTH_DEAD2",     "BOTH_DEATH3",
    "BOTH_DEAD3",    "TORSO_GESTURE",   "TORSO_ATTACK", "TORSO_ATTACK2",  "TORSO_DROP",
    "TORSO_RAISE",   "TORSO_STAND",     "TORSO_STAND2", "LEGS_WALKCR",    "LEGS_WALK",
    "LEGS_RUN",      "LEGS_BACK",       "LEGS_SWIM",    "LEGS_JUMP",      "LEGS_LAND",
    "LEGS_JUMPB",    "LEGS_LANDB",      "LEGS_IDLE",    "LEGS_IDLECR",    "LEGS_TURN",
    "TORSO_GETFLAG", "TORSO_GUARDBASE", "TORSO_PATROL", "TORSO_FOLLOWME", "TORSO_AFFIRMATIVE",
    "TORSO_NEGATIVE"};

namespace {

constexpr int kTorsoGesture = 6, kLegsWalkCrouched = 13, kTorsoGetFlag = 25;

struct Token {
    std::string text;
    int line = 1;
};

// The game's tokens: runs of characters above a space, "quoted" strings,
// with // and /* */ comments left out.
std::vector<Token> Tokens(std::string_view text) {
    std::vector<Token> tokens;
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line, ++i;
        } else if (c <= ' ') {
            ++i;
        } else if (text.compare(i, 2, "//") == 0) {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else if (text.compare(i, 2, "/*") == 0) {
            i += 2;
            while (i < text.size() && text.compare(i, 2, "*/") != 0)
                line += text[i++] == '\n' ? 1 : 0;
            i = std::min(text.size(), i + 2);
        } else if (c == '"') {
            Token t{{}, line};
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                line += text[i] == '\n' ? 1 : 0;
                t.text += text[i];
            }
            ++i;
            tokens.push_back(std::move(t));
        } else {
            Token t{{}, line};
            while (i < text.size() && static_cast<unsigned char>(text[i]) > ' ')
                t.text += text[i++];
            tokens.push_back(std::move(t));
        }
    }
    return tokens;
}

// As the game's atoi, and clamped where atoi's would overflow.
int Whole(const std::string& text) {
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return int(std::clamp<long long>(value, std::numeric_limits<int>::min() + 1,
                                     std::numeric_limits<int>::max()));
}

// As the engines' atof, whatever the locale (the window's may write "2,5"):
// blanks and a '+' before it skipped, 0 when no number starts the text; NaN
// when it lies beyond a double.
double Real(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    if (at < text.size() && text[at] == '+')
        ++at;
    double value = 0;
    if (std::from_chars(text.data() + at, text.data() + text.size(), value).ec ==
        std::errc::result_out_of_range)
        return std::numeric_limits<double>::quiet_NaN();
    return value;
}

bool Same(const std::string& a, const char* b) {
    const std::string_view other(b);
    return a.size() == other.size() &&
           std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

Animation::Part PartOf(int index) {
    if (index < kTorsoGesture)
        return Animation::Part::Both;
    if (index >= kLegsWalkCrouched && index < kTorsoGetFlag)
        return Animation::Part::Legs;
    return Animation::Part::Torso;
}

} // namespace

Result<PlayerAnimations> ParseAnimationConfig(std::string_view text) {
    if (text.size() > kMaxAnimationConfigBytes)
        return Error{"", "",
                     "it is " + std::to_string(text.size()) + " bytes long, and the game reads " +
                         "no animation file of more than " +
                         std::to_string(kMaxAnimationConfigBytes)};
    const std::vector<Token> tokens = Tokens(text);
    PlayerAnimations out;
    size_t at = 0;
    auto next = [&]() -> const Token* { return at < tokens.size() ? &tokens[at++] : nullptr; };
    // The header: keywords until the first number.
    while (at < tokens.size()) {
        const Token& t = tokens[at];
        if (t.text[0] >= '0' && t.text[0] <= '9')
            break;
        ++at;
        if (Same(t.text, "footsteps")) {
            if (const Token* kind = next()) {
                static const char* const kKinds[] = {"default", "normal", "boot",
                                                     "flesh",   "mech",   "energy"};
                if (std::none_of(std::begin(kKinds), std::end(kKinds),
                                 [&](const char* k) { return Same(kind->text, k); }))
                    out.notes.push_back("line " + std::to_string(kind->line) +
                                        ": the game knows no footsteps \"" + kind->text + "\"");
                else
                    out.footsteps = Same(kind->text, "default") ? "normal" : kind->text;
            }
        } else if (Same(t.text, "headoffset")) {
            for (double& offset : out.headOffset)
                if (const Token* value = next())
                    offset = Real(value->text);
        } else if (Same(t.text, "sex")) {
            if (const Token* sex = next()) {
                const char first = char(std::tolower(static_cast<unsigned char>(sex->text[0])));
                out.sex = first == 'f' ? "f" : first == 'n' ? "n" : "m";
            }
        } else if (Same(t.text, "fixedlegs")) {
            out.fixedLegs = true;
        } else if (Same(t.text, "fixedtorso")) {
            out.fixedTorso = true;
        } else {
            // A mod's own keyword, with its values on its line (the game
            // takes each token alone, and would read "boundingbox -15 -15
            // -24 15 15 44" as frames from its first positive number on).
            out.notes.push_back("line " + std::to_string(t.line) + ": \"" + t.text +
                                "\" is no keyword of the game's; its line is skipped");
            while (at < tokens.size() && tokens[at].line == t.line)
                ++at;
        }
    }

    int64_t skip = 0;
    for (int i = 0; i < kPlayerAnimations; ++i) {
        Animation a;
        a.name = kPlayerAnimationNames[size_t(i)];
        a.part = PartOf(i);
        const Token* first = next();
        if (!first) {
            if (i >= kTorsoGetFlag) { // the gestures may be left out: the game plays TORSO_GESTURE
                a.first = out.animations[kTorsoGesture].first;
                a.frames = out.animations[kTorsoGesture].frames;
                a.looping = out.animations[kTorsoGesture].looping;
                a.fps = out.animations[kTorsoGesture].fps;
                out.animations.push_back(a);
                continue;
            }
            return Error{"", "",
                         "it ends before " + a.name +
                             ", and the game needs every animation up to " + "LEGS_TURN"};
        }
        const Token* count = next();
        const Token* looping = count ? next() : nullptr;
        const Token* fps = looping ? next() : nullptr;
        if (!fps)
            return Error{"", "",
                         "line " + std::to_string(first->line) + ": " + a.name +
                             " needs four numbers: first frame, frames, looping frames, fps"};
        // In 64 bits: hostile numbers must not overflow on the way.
        int64_t at64 = Whole(first->text);
        if (i == kLegsWalkCrouched)
            skip = at64 - out.animations[kTorsoGesture].first;
        if (i >= kLegsWalkCrouched && i < kTorsoGetFlag)
            at64 -= skip;
        a.first = int(std::clamp<int64_t>(at64, -std::numeric_limits<int>::max(),
                                          std::numeric_limits<int>::max()));
        const int frames = Whole(count->text);
        a.reversed = frames < 0;
        a.frames = std::abs(frames);
        a.looping = Whole(looping->text);
        if (a.looping < 0 || a.looping > a.frames) {
            out.notes.push_back("line " + std::to_string(looping->line) + ": " + a.name +
                                " loops " + std::to_string(a.looping) + " of its " +
                                std::to_string(a.frames) + " frames; it loops " +
                                std::to_string(std::clamp(a.looping, 0, a.frames)));
            a.looping = std::clamp(a.looping, 0, a.frames);
        }
        a.fps = Real(fps->text);
        if (a.fps == 0) {
            a.fps = 1; // as the game takes it
        } else if (!std::isfinite(a.fps) || a.fps < 0) {
            out.notes.push_back("line " + std::to_string(fps->line) + ": " + a.name + " plays at " +
                                fps->text + " frames a second; it plays at 1");
            a.fps = 1;
        }
        out.animations.push_back(std::move(a));
    }
    if (at < tokens.size())
        out.notes.push_back("line " + std::to_string(tokens[at].line) +
                            ": what follows TORSO_NEGATIVE is not read");
    return out;
}

namespace {

// DarkPlaces' tokens in a framegroups file: words end only at a space, a tab,
// CR or LF; each line's end is a token of its own, "\n" (LF, CR or CR LF);
// a "quoted" string runs to the next quote, across lines; // and /* */
// comments are left out, a /* */ one joining the lines it spans. The last
// // comment's text is kept: Xonotic's files name their groups there.
class LineTokens {
  public:
    explicit LineTokens(std::string_view text) : m_text(text) {}
    // The next token; false at the end of the text, where the engine's
    // pointer goes null.
    bool Next() {
        token.clear();
        for (;;) {
            while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t'))
                ++m_at;
            const std::string_view rest = m_text.substr(m_at);
            if (rest.substr(0, 2) == "//") {
                const size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
                comment = rest.substr(2, end - 2);
                Advance(end);
            } else if (rest.substr(0, 2) == "/*") {
                // Looked for from its star: "/*/" is a whole comment to the engine.
                const size_t end = rest.find("*/", 1);
                Advance(end == std::string_view::npos ? rest.size() : end + 2);
            } else {
                break;
            }
        }
        line = m_lines;
        if (m_at == m_text.size())
            return false;
        const char c = m_text[m_at];
        size_t end = 0;
        if (c == '\r' || c == '\n') {
            token = "\n";
            end = m_at + (m_text.substr(m_at, 2) == "\r\n" ? 2 : 1);
        } else if (c == '"') {
            end = std::min(m_text.find('"', m_at + 1), m_text.size());
            token = m_text.substr(m_at + 1, end - m_at - 1);
            end = std::min(end + 1, m_text.size());
        } else {
            end = std::min(m_text.find_first_of(" \t\r\n", m_at), m_text.size());
            token = m_text.substr(m_at, end - m_at);
        }
        Advance(end - m_at);
        return true;
    }
    std::string token;
    std::string_view comment; // cleared by the reader where a group starts
    int line = 1;             // the line `token` starts on

  private:
    void Advance(size_t n) {
        for (size_t i = m_at; i < m_at + n; ++i)
            m_lines += m_text[i] == '\n' ||
                       (m_text[i] == '\r' && (i + 1 == m_text.size() || m_text[i + 1] != '\n'));
        m_at += n;
    }
    std::string_view m_text;
    size_t m_at = 0;
    int m_lines = 1;
};

// As the engine's atoi, in 64 bits so that what lies beyond int is seen.
int64_t Wide(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

// A name as listed: trimmed, control bytes as spaces, at most the 63 bytes
// the engine keeps of one, no UTF-8 character cut in two.
std::string ShownName(std::string_view raw) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7f'; };
    while (!raw.empty() && blank(raw.front()))
        raw.remove_prefix(1);
    std::string name(raw.substr(0, 63));
    while (!name.empty() && name.size() < raw.size() &&
           (static_cast<unsigned char>(raw[name.size()]) & 0xC0) == 0x80)
        name.pop_back();
    std::replace_if(name.begin(), name.end(), blank, ' ');
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

} // namespace

Result<FrameGroups> ParseFrameGroups(std::string_view text) {
    if (text.size() > kMaxFrameGroupsBytes)
        return Error{"", "",
                     "it is " + std::to_string(text.size()) +
                         " bytes long, and no framegroups file of more than " +
                         std::to_string(kMaxFrameGroupsBytes) + " is read"};
    FrameGroups out;
    // The engine reads the file as a C string.
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) {
        out.notes.push_back("byte " + std::to_string(nul) +
                            " is a NUL, and the game reads nothing past it");
        text = text.substr(0, nul);
    }
    // A line's notes, the first kMostNotes of them: a hostile file may have
    // one on every line.
    constexpr size_t kMostNotes = 100;
    size_t unsaid = 0;
    auto note = [&](std::string sentence) {
        if (out.notes.size() < kMostNotes)
            out.notes.push_back(std::move(sentence));
        else
            ++unsaid;
    };
    constexpr int64_t kMost = std::numeric_limits<int>::max();
    LineTokens t(text);
    while (true) {
        t.comment = {};
        if (!t.Next())
            break;
        if (t.token == "\n")
            continue; // a blank line
        const std::string at = "line " + std::to_string(t.line) + ": ";
        const std::string first = t.token;
        if (!t.Next() || t.token == "\n") {
            note(at + "\"" + ShownName(first) +
                 "\" is not followed by a number of frames; the line is skipped");
            continue;
        }
        const std::string count = t.token;
        // fps, loop, name; the engine eats what follows them.
        std::vector<std::string> more;
        bool extra = false;
        while (t.Next() && t.token != "\n") {
            if (more.size() < 3)
                more.push_back(t.token);
            else
                extra = true;
        }
        if (out.animations.size() == kMaxFrameGroups) {
            out.notes.push_back(at + "groups past the " + std::to_string(kMaxFrameGroups) +
                                "th are not read");
            break;
        }
        // The engine names a group by its name token, else by its number
        // ("groupified_N_anim"). Xonotic's files give it only in a trailing
        // // comment, which the engine skips but is the name a painter reads
        // in the file: it comes next, then "group N", N counted from 0 as the
        // engine numbers them.
        Animation a;
        a.name = more.size() > 2 ? ShownName(more[2]) : "";
        if (a.name.empty())
            a.name = ShownName(t.comment);
        if (a.name.empty())
            a.name = "group " + std::to_string(out.animations.size());
        const std::string group = at + "\"" + a.name + "\" ";
        // Clamped, never skipped: the game's code plays groups by their
        // number, and every later one would move.
        const int64_t start = Wide(first);
        a.first = int(std::clamp<int64_t>(start, 0, kMost - 1));
        if (a.first != start)
            note(group + "starts at frame " + std::to_string(start) + "; it starts at " +
                 std::to_string(a.first));
        const int64_t frames = Wide(count);
        a.frames = int(std::clamp<int64_t>(frames, 1, kMost - a.first));
        if (a.frames != frames)
            note(group + "has " + std::to_string(frames) + " frames; it has " +
                 std::to_string(a.frames));
        const double fps = more.empty() ? 20 : Real(more[0]);
        if (!std::isfinite(fps) || fps < 0 || fps > std::numeric_limits<float>::max()) {
            note(group + "plays at \"" + ShownName(more[0]) + "\" frames a second; it plays at 1");
            a.fps = 1;
        } else {
            // The engine's: a float, and at least 1.
            a.fps = std::max(1.0, double(static_cast<float>(fps)));
        }
        a.looping = more.size() < 2 || Wide(more[1]) != 0 ? a.frames : 0;
        if (extra)
            note(group + "is followed by more than its name, which is not read");
        out.animations.push_back(std::move(a));
    }
    if (unsaid > 0)
        out.notes.push_back(std::to_string(unsaid) + " more notes are not listed");
    return out;
}

std::vector<Animation> GroupFramesByName(const std::vector<std::string>& frameNames, double fps) {
    std::vector<Animation> groups;
    std::string last;
    for (size_t f = 0; f < frameNames.size() && f < size_t(std::numeric_limits<int>::max()); ++f) {
        std::string stem = frameNames[f];
        // An MDL group's poses: "stand (2 of 4)" is of "stand".
        if (const size_t group = stem.rfind(" ("); group != std::string::npos && stem.back() == ')')
            stem.erase(group);
        while (!stem.empty() && stem.back() >= '0' && stem.back() <= '9')
            stem.pop_back();
        if (stem.empty()) {
            last.clear();
            continue;
        }
        if (stem == last && !groups.empty() &&
            groups.back().first + groups.back().frames == int(f)) {
            ++groups.back().frames;
            continue;
        }
        Animation a;
        a.first = int(f);
        a.frames = 1;
        a.looping = 0;
        a.fps = fps > 0 && std::isfinite(fps) ? fps : 10;
        // A name met again further on is told apart by its count.
        int seen = 0;
        for (const Animation& g : groups)
            seen += g.name == stem || g.name.rfind(stem + " (", 0) == 0 ? 1 : 0;
        a.name = seen == 0 ? stem : stem + " (" + std::to_string(seen + 1) + ")";
        groups.push_back(std::move(a));
        last = stem;
    }
    // Each repeats whole, as a model's frame group does in its game.
    for (Animation& a : groups)
        a.looping = a.frames;
    return groups;
}

std::string FramesPastTheModel(const Animation& a, int frameCount) {
    if (a.first >= 0 && int64_t(a.first) + a.frames <= frameCount)
        return {};
    return a.name + " asks for frames " + std::to_string(a.first) + " to " +
           std::to_string(int64_t(a.first) + a.frames - 1) + " of a model with " +
           std::to_string(frameCount);
}

namespace {

// The game steps by whole milliseconds a frame: 15 fps is 66 ms.
double FrameMilliseconds(const Animation& a) {
    const double fps = a.fps > 0 && std::isfinite(a.fps) ? a.fps : 1;
    return std::max(1.0, std::floor(1000 / fps));
}

} // namespace

double NextFrameTime(const Animation& a, double seconds) {
    const double lerp = FrameMilliseconds(a);
    const double step = std::isfinite(seconds) && seconds > 0 ? seconds * 1000 / lerp : 0;
    return (std::floor(std::min(step, 4e15)) + 1) * lerp / 1000;
}

AnimationFrame FrameAtTime(const Animation& a, double seconds) {
    const int64_t n = std::max(1, a.frames);
    const int64_t loop = std::clamp<int64_t>(a.looping, 0, n);
    const double lerp = FrameMilliseconds(a);
    const double step = std::isfinite(seconds) && seconds > 0 ? seconds * 1000 / lerp : 0;
    // Far beyond any real time: where the loop (or the hold) has long settled.
    const double k = std::floor(std::min(step, 4e15));
    auto frame = [&](double at) {
        int64_t f = int64_t(at);
        if (f >= n) {
            f -= n;
            f = loop > 0 ? f % loop + (n - loop) : n - 1;
        }
        return int(std::clamp<int64_t>(a.reversed ? a.first + n - 1 - f : a.first + f,
                                       std::numeric_limits<int>::min(),
                                       std::numeric_limits<int>::max()));
    };
    AnimationFrame out{frame(k), frame(k + 1), step - k};
    if (out.from == out.to)
        out.blend = 0;
    return out;
}
