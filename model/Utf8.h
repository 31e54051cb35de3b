#pragma once
// Reading UTF-8 one character at a time, for every writer that must pass on
// names from models and paks (which may hold any bytes) as text its format
// allows.
#include <cstddef>
#include <cstdint>
#include <string_view>

// The character at text[at]: its code point and how many bytes it takes;
// length 0 where the bytes there are not one whole, well-formed sequence
// (cut short, overlong, a surrogate, past U+10FFFF, a stray byte).
struct Utf8Char {
    uint32_t code = 0;
    size_t length = 0;
};
Utf8Char Utf8At(std::string_view text, size_t at);
