#pragma once
// Shader scripts (scripts/*.shader) and material files (materials/*.mtr):
// many texture names are shaders or materials, whose drawing stages name the
// image. Both are parsed as the engines' tokenizers read them, by one
// tokenizer within one set of limits: whitespace-separated tokens, "//" and
// "/* */" comments, quoted strings, braces around a definition and around
// each of its stages. Read as a stream of tokens, none kept, so that a file
// costs little beyond its text.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct ShaderImage {
    std::string image;  // the image of its first map, clampMap or animMap stage
    std::string script; // the script (or material file) that defines it
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

// Braces deeper than this in a material file are no material's (a stage is
// the second level): the file is refused.
inline constexpr int kMaxMaterialDepth = 8;

// Adds the materials of one material file to `materials` (by lower-case name,
// '\\' read as '/'; one defined before keeps its definition, as the engine
// keeps the first). A declaration is "[type] name { ... }"; only materials
// (no type, or "material") are read, others ("table ...") are skipped. A
// material's image is its first diffuse map: "diffusemap IMAGE" in its body
// or a stage "{ blend diffusemap  map IMAGE }"; a material without one takes
// its first stage's map that is not a bump or specular map. An image program
// ("makeIntensity(IMAGE)", "addnormals(IMAGE, ...)") gives its first image.
// Broken files and limits are handled as ParseShaderScript handles them.
void ParseMaterialFile(std::string_view text, const std::string& file,
                       std::map<std::string, ShaderImage>& materials, std::string& problem,
                       const ShaderScriptLimits& limits = {});
