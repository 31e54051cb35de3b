#include "render/TextureImage.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <stb/stb_image.h>

namespace {

constexpr size_t kMaxTextureBytes = size_t(256) << 20;

// Debian 12's stb_image trusts the symbol counts of a JPEG's Huffman tables:
// more than 256 symbols in one table write past its arrays (found by fuzzing).
// Every table is checked here first. Entropy-coded data never holds the
// bytes FF C4 (an FF there is always followed by 00 or a restart marker), so
// looking at every FF C4 in the file finds every table, before or between scans.
bool HuffmanTablesFit(const uint8_t* bytes, size_t size) {
    // The decoder takes a file for a JPEG when fill bytes (FF) and then D8
    // begin it; nothing else reaches its Huffman tables.
    size_t start = 0;
    while (start < size && bytes[start] == 0xFF)
        ++start;
    if (start == 0 || start >= size || bytes[start] != 0xD8)
        return true;
    for (size_t p = start + 1; p + 2 <= size; ++p) {
        if (bytes[p] != 0xFF || bytes[p + 1] != 0xC4)
            continue;
        // As the decoder reads it: tables until the segment's length is used
        // up, bytes past the end of the file reading as zero.
        auto byte = [&](size_t at) { return at < size ? bytes[at] : uint8_t(0); };
        long left = long(size_t(byte(p + 2)) << 8 | byte(p + 3)) - 2;
        size_t at = p + 4;
        while (left > 0) {
            size_t symbols = 0;
            for (size_t i = 1; i <= 16; ++i)
                symbols += byte(at + i);
            if (symbols > 256)
                return false;
            at += 17 + symbols;
            left -= long(17 + symbols);
        }
    }
    return true;
}

} // namespace

Outcome DecodeTexture(const uint8_t* bytes, size_t size, TextureImage& image) {
    if (size == 0 || size > kMaxTextureBytes || size > size_t(INT_MAX))
        return Outcome::Failure(size == 0 ? "the file is empty" : "the file is too large");
    if (!HuffmanTablesFit(bytes, size))
        return Outcome::Failure("it is not an image Gridwright can read (a JPEG Huffman table "
                                "holds more than 256 symbols)");
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes, int(size), &width, &height, &channels, 4);
    if (!pixels) {
        const char* why = stbi_failure_reason();
        return Outcome::Failure(std::string("it is not an image Gridwright can read (") +
                                (why ? why : "unknown format") + ")");
    }
    image.width = width;
    image.height = height;
    image.rgba.assign(pixels, pixels + size_t(width) * size_t(height) * 4);
    stbi_image_free(pixels);
    return Outcome::Success();
}

Outcome LoadTexture(const std::string& path, TextureImage& image) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Outcome::Failure("Cannot read the texture \"" + path +
                                "\": " + std::strerror(errno) + ".");
    std::string bytes;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size_t(size) > kMaxTextureBytes)
        return Outcome::Failure("Cannot read the texture \"" + path + "\": the file is too large.");
    bytes.resize(size_t(size));
    in.seekg(0);
    in.read(bytes.data(), size);
    Outcome decoded =
        DecodeTexture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image);
    if (!decoded.ok)
        decoded.reason = "Cannot read the texture \"" + path + "\": " + decoded.reason + ".";
    return decoded;
}
