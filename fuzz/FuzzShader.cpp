// Any bytes as a shader script: parsed into shaders whose images are game
// paths, or refused with the line that broke it, never a fault. Parsed again
// under small limits, so that short inputs reach them: past either, nothing
// is added.
#include "game/Archive.h"
#include "game/ShaderScripts.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const ShaderScriptLimits& limits : {ShaderScriptLimits{}, ShaderScriptLimits{2048, 256}}) {
        std::map<std::string, ShaderImage> shaders;
        std::string problem;
        ParseShaderScript(text, "scripts/f.shader", shaders, problem, limits);
        if (!problem.empty() && !shaders.empty())
            __builtin_trap(); // a broken script adds nothing
        if (size > limits.bytes && problem.empty())
            __builtin_trap();
        for (const auto& [name, image] : shaders)
            if (image.image.empty() || !IsGamePath(image.image))
                __builtin_trap();
    }
    return 0;
}
