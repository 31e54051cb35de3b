#pragma once
// Named animations: a player's animation.cfg read as the game reads it, a
// model's .framegroups file as DarkPlaces reads it, and the frames of models
// that name them (MD2, MDL: "run1" ... "run6" is "run") grouped; and which
// frames an animation shows at a time, as the game steps and blends them.
#include "model/Animation.h"
#include "model/Error.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The game's player animations, in its fixed order.
inline constexpr int kPlayerAnimations = 31;
extern const std::array<const char*, kPlayerAnimations> kPlayerAnimationNames;
// The animations the game reads from the file, before the gestures, which
// may be left out (they are then TORSO_GESTURE's).
inline constexpr int kRequiredPlayerAnimations = 25;
// The game reads no longer file.
inline constexpr size_t kMaxAnimationConfigBytes = 19999;

struct PlayerAnimations {
    std::vector<Animation> animations; // kPlayerAnimations of them, the game's order
    // The header's keywords.
    std::string sex = "m", footsteps = "normal";
    std::array<double, 3> headOffset{0, 0, 0};
    bool fixedLegs = false, fixedTorso = false;
    // What the game would say about the file (an unknown keyword, a bad
    // footsteps), each a sentence without its final stop.
    std::vector<std::string> notes;
};

// An animation.cfg. Its legs' animations start where lower.md3 has them:
// LEGS_WALKCR's first frame less TORSO_GESTURE's is taken off every LEGS_*,
// as the torso-only frames are not in the legs' model. An error when the
// file is too long for the game or ends before LEGS_TURN.
Result<PlayerAnimations> ParseAnimationConfig(std::string_view text);

// A framegroups file far longer than any model's is refused, and groups past
// this many are not read.
inline constexpr size_t kMaxFrameGroupsBytes = size_t(1) << 20;
inline constexpr size_t kMaxFrameGroups = 4096;

struct FrameGroups {
    std::vector<Animation> animations; // the whole model's, in the file's order
    // What is odd but read (a line without its frame count, a negative
    // speed), each a sentence naming its line, without its final stop.
    std::vector<std::string> notes;
};

// The text of MODEL.framegroups, which DarkPlaces reads beside a model to
// replace its animations: a group a line, "first frames [fps [loop
// [name]]]", at 20 fps and looping unless told; what follows the name is
// ignored, and a line without its frame count skipped. An error only when
// the text is longer than kMaxFrameGroupsBytes; it may hold no group.
Result<FrameGroups> ParseFrameGroups(std::string_view text);

// Frames named alike but for their trailing digits, side by side, make one
// animation each ("stand1".."stand40" is "stand"); frames without a name
// are left out. Played at `fps` (Quake's server steps models at 10 a second).
std::vector<Animation> GroupFramesByName(const std::vector<std::string>& frameNames,
                                         double fps = 10);

// An animation that asks for frames past the model's `frameCount`: a
// sentence naming it; empty when its frames are all there.
std::string FramesPastTheModel(const Animation& animation, int frameCount);

// What an animation shows `seconds` after it starts: frame `from` blended
// towards `to` by `blend` (0: from alone), stepping as the game steps: past
// its end it repeats its last `looping` frames, or holds the last.
struct AnimationFrame {
    int from = 0, to = 0;
    double blend = 0;
};
AnimationFrame FrameAtTime(const Animation& animation, double seconds);
// The time after `seconds` at which the animation's next frame is shown
// whole: one step on, as a painter steps through it.
double NextFrameTime(const Animation& animation, double seconds);
