#include "render/TextureImage.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <stb/stb_image.h>

namespace {
constexpr size_t kMaxTextureBytes = size_t(256) << 20;
}

Outcome DecodeTexture(const uint8_t* bytes, size_t size, TextureImage& image) {
    if (size == 0 || size > kMaxTextureBytes || size > size_t(INT_MAX))
        return Outcome::Failure(size == 0 ? "the file is empty" : "the file is too large");
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
