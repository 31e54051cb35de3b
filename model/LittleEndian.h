#pragma once
// MD3 files store every number little-endian, whatever the machine.
#include <cstdint>
#include <cstring>

inline uint32_t DecodeU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline int32_t DecodeI32(const unsigned char* p) {
    return static_cast<int32_t>(DecodeU32(p));
}

inline float DecodeF32(const unsigned char* p) {
    const uint32_t raw = DecodeU32(p);
    float value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}
