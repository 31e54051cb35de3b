#pragma once
// Shader scripts (scripts/*.shader): many texture names are shaders, whose
// first drawing stage names the image. Parsed as the engine's tokenizer reads
// them: whitespace-separated tokens, "//" and "/* */" comments, quoted
// strings, braces around a shader and around each of its stages. Read as a
// stream of tokens, none kept, so that a script costs little beyond its text.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct ShaderImage {
    std::string image;  // the image of its first map, clampMap or animMap stage
    std::string script; // the script that defines it
};

// A script larger or longer than this is no game's: it is refused whole.
// The largest scripts games ship hold a few hundred kilobytes.
inline constexpr size_t kMaxShaderScriptBytes = size_t(4) << 20;
inline constexpr size_t kMaxShaderScriptTokens = size_t(1) << 20;
struct ShaderScriptLimits {
    size_t bytes = kMaxShaderScriptBytes;
    size_t tokens = kMaxShaderScriptTokens;
};

// Adds the shaders of one script to `shaders` (by lower-case name; a shader
// defined before keeps its definition). A script that breaks off (an
// unclosed brace, a stray one) or passes the limits is left out whole, and
// the problem says where or why.
void ParseShaderScript(std::string_view text, const std::string& script,
                       std::map<std::string, ShaderImage>& shaders, std::string& problem,
                       const ShaderScriptLimits& limits = {});
