// Any bytes as a .skin file: the parser must take them without a fault, and
// every entry it gives must be a usable pair. The same bytes as a player's
// animation.cfg: refused with a reason, or every animation the game's, its
// frames at any time within it. The same bytes as a .framegroups file: every
// group at least a frame long, at a real speed, with a printable name.
#include "model/SkinFile.h"
#include "scene/Animations.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<SkinEntry> entries =
        ParseSkin(std::string(reinterpret_cast<const char*>(data), size));
    Skin skin{"default", "fuzz.skin", entries, {}};
    for (const SkinEntry& e : entries) {
        if (e.surface.empty() || e.surface.find(',') != std::string::npos)
            __builtin_trap();
        (void)skin.TextureOf(e.surface);
    }
    const Result<FrameGroups> groups =
        ParseFrameGroups(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!groups.ok() && groups.error().reason.empty())
        __builtin_trap();
    if (groups.ok()) {
        if (groups.value().animations.size() > kMaxFrameGroups)
            __builtin_trap();
        for (const Animation& a : groups.value().animations) {
            if (a.frames < 1 || a.first < 0 || int64_t(a.first) + a.frames > INT32_MAX ||
                a.looping < 0 || a.looping > a.frames || !std::isfinite(a.fps) || !(a.fps > 0) ||
                a.name.empty() || a.name.size() > 63 ||
                std::any_of(a.name.begin(), a.name.end(), [](char c) {
                    return static_cast<unsigned char>(c) < ' ' || c == '\x7f';
                }))
                __builtin_trap();
        }
    }
    const Result<PlayerAnimations> animations =
        ParseAnimationConfig(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!animations.ok()) {
        if (animations.error().reason.empty())
            __builtin_trap();
        return 0;
    }
    if (animations.value().animations.size() != size_t(kPlayerAnimations))
        __builtin_trap();
    for (const Animation& a : animations.value().animations) {
        if (a.frames < 0 || a.looping < 0 || a.looping > a.frames || !(a.fps > 0))
            __builtin_trap();
        for (const double t : {0.0, 0.37, 12.5, 1e7}) {
            const AnimationFrame f = FrameAtTime(a, t);
            const int64_t low = a.first, high = int64_t(a.first) + std::max(1, a.frames) - 1;
            if (f.from < low || f.from > high || f.to < low || f.to > high || !(f.blend >= 0) ||
                !(f.blend < 1))
                __builtin_trap();
        }
    }
    return 0;
}
