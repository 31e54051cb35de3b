// Any bytes as a shader script: parsed into shaders whose images are game
// paths, or refused with the line that broke it, never a fault.
#include "game/Archive.h"
#include "game/ShaderScripts.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::map<std::string, ShaderImage> shaders;
    std::string problem;
    ParseShaderScript(std::string(reinterpret_cast<const char*>(data), size), "scripts/f.shader",
                      shaders, problem);
    if (!problem.empty() && !shaders.empty())
        __builtin_trap(); // a broken script adds nothing
    for (const auto& [name, image] : shaders)
        if (image.image.empty() || !IsGamePath(image.image))
            __builtin_trap();
    return 0;
}
