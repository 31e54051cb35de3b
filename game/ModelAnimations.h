#pragma once
// The named animations of a model in its game: a player's animation.cfg
// beside its parts, a .framegroups file beside the model, or the frames a
// model names (MD2, MDL) grouped.
#include "game/GameFiles.h"
#include "model/Model.h"
#include "scene/Animations.h"

#include <cstdint>
#include <string>
#include <vector>

struct ModelAnimations {
    std::vector<Animation> animations;
    std::string source; // "models/players/x/animation.cfg", "frame names"; empty: none
    // What is wrong but not fatal (a keyword the game does not know, an
    // animation past the model's frames), sentences without a final stop.
    std::vector<std::string> notes;
};

// `modelGamePath` is the model's path in `files`. A player's part reads the
// animation.cfg of its folder (the other parts' frames are counted from
// their own files); an animation.cfg the game would refuse is an error.
// An MD5 mesh's are those it was read with: the .md5anim files beside it
// (AttachMd5AnimationsBeside, which opening a model in its game calls).
// Else `modelGamePath`.framegroups, when there is one that holds groups,
// gives them all.
Result<ModelAnimations> AnimationsOf(const Model& model, const GameFiles& files,
                                     const std::string& modelGamePath);

// What the animation files beside an MD5 mesh may take: more are left out.
inline constexpr int64_t kMaxMd5AnimationFiles = 256;
inline constexpr int64_t kMaxMd5AnimationBytes = int64_t(64) << 20;       // one file
inline constexpr int64_t kMaxMd5AnimationBytesInAll = int64_t(256) << 20; // all of them

// Reads the .md5anim files beside an MD5 mesh (`modelGamePath` in `files`)
// and attaches those that move its joints (AttachMd5Animations); a file that
// cannot be read, or that moves other joints, is a note on the model.
void AttachMd5AnimationsBeside(Model& model, const GameFiles& files,
                               const std::string& modelGamePath);
