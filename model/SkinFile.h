#pragma once
// .skin files: which texture each surface of a model wears. Text, one
// "surface,texture" pair a line; "//" starts a comment; lines for tag_
// surfaces (attachment points) are skipped; surface names compare without
// regard to letter case.
#include "model/Error.h"

#include <cstdint>
#include <string>
#include <vector>

struct SkinEntry {
    std::string surface, texture;
};

struct Skin {
    std::string name; // "default" for upper_default.skin
    std::string path; // the file
    std::vector<SkinEntry> entries;
    std::string problem; // why the file could not be used; empty when it could

    // The texture the skin gives a surface; empty when it names none.
    std::string TextureOf(const std::string& surface) const;
};

std::vector<SkinEntry> ParseSkin(const std::string& text);

// A skin file is small (real ones hold a few hundred bytes); more than this
// is not read.
inline constexpr int64_t kMaxSkinBytes = 64 * 1024;
// At most this many skins of one model are read.
inline constexpr size_t kMaxSkins = 64;

// The skin a --skin value names: a skin name among `skins`, or a .skin file
// (read into `loaded`). An error, saying which skins there are, when there
// is no such skin.
Result<const Skin*> ChooseSkin(const std::vector<Skin>& skins, const std::string& wanted,
                               Skin& loaded);
