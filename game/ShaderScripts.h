#pragma once
// Shader scripts (scripts/*.shader): many texture names are shaders, whose
// first drawing stage names the image. Parsed as the engine's tokenizer reads
// them: whitespace-separated tokens, "//" and "/* */" comments, quoted
// strings, braces around a shader and around each of its stages.
#include <map>
#include <string>
#include <vector>

struct ShaderImage {
    std::string image;  // the image of its first map, clampMap or animMap stage
    std::string script; // the script that defines it
};

// Adds the shaders of one script to `shaders` (by lower-case name; a shader
// defined before keeps its definition). A script that breaks off (an
// unclosed brace, a stray one) is left out whole, and the problem says where.
void ParseShaderScript(const std::string& text, const std::string& script,
                       std::map<std::string, ShaderImage>& shaders, std::string& problem);
