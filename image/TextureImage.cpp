#include "image/TextureImage.h"

#include "model/ByteSource.h"

#include <cstring>
#include <new>

std::string TextureSizeProblem(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0)
        return "it claims a size of " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels";
    if (width > uint64_t(kMaxTextureSide) || height > uint64_t(kMaxTextureSide) ||
        width * height > kMaxTexturePixels)
        return "it claims " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels; Gridwright reads textures of at most " + std::to_string(kMaxTextureSide) +
               " pixels a side";
    return {};
}

bool AllocateTexture(TextureImage& image, int width, int height) {
    try {
        image.rgba.assign(size_t(width) * size_t(height) * 4, 0);
    } catch (const std::bad_alloc&) {
        image = {};
        return false;
    }
    image.width = width;
    image.height = height;
    return true;
}

Status DecodeTexture(const uint8_t* bytes, size_t size, TextureImage& image) {
    image = {};
    if (size == 0)
        return Error{"", "", "the file is empty"};
    if (size > kMaxTextureFileBytes)
        return Error{"", "", "the file is too large"};
    static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Status decoded = Success();
    if (size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0)
        decoded = DecodePng(bytes, size, image);
    else if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8)
        decoded = DecodeJpeg(bytes, size, image);
    else if (IsPcxStart(bytes, size))
        decoded = DecodePcx(bytes, size, image);
    else
        decoded = DecodeTga(bytes, size, image);
    if (!decoded.ok()) {
        image = {}; // nothing half-decoded leaves here
        return Error{"", "",
                     "it is not an image Gridwright can read (" + decoded.error().reason + ")"};
    }
    return decoded;
}

Status LoadTexture(const std::string& path, TextureImage& image) {
    image = {};
    const Result<SourceBytes> read =
        ReadFileBytes(path, int64_t(kMaxTextureFileBytes), "the file is too large");
    if (!read.ok())
        return Error{"Cannot read the texture", path, read.error().reason};
    const Bytes& bytes = *read.value().bytes;
    Status decoded = DecodeTexture(bytes.data(), bytes.size(), image);
    if (!decoded.ok())
        return Error{"Cannot read the texture", path, decoded.error().reason};
    return decoded;
}
