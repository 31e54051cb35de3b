#include "scene/Animations.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

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

double Number(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
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
                    offset = Number(value->text);
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
        a.fps = Number(fps->text);
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
