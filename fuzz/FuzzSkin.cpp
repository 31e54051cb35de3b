// Any bytes as a .skin file: the parser must take them without a fault, and
// every entry it gives must be a usable pair.
#include "model/SkinFile.h"

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
    return 0;
}
