#pragma once
// Appending fixed-size numbers to a byte string, in the orders file formats use.
#include <cstdint>
#include <string>

inline void PutLE(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline void PutBE32(std::string& out, uint32_t value) {
    for (int i = 3; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}
