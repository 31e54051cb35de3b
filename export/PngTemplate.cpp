#include "export/PngTemplate.h"

#include "export/ByteOrder.h"

#include <array>
#include <cstdint>

namespace {

uint32_t Crc32(const std::string& bytes, size_t from) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i)
        c = table[(c ^ uint8_t(bytes[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutBE32(png, uint32_t(data.size()));
    const size_t start = png.size();
    png += type;
    png += data;
    PutBE32(png, Crc32(png, start));
}

// A zlib stream of stored (uncompressed) blocks: no dependency, and a 1-bit
// template is small anyway.
std::string StoredZlib(const std::string& raw) {
    std::string z = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        z += static_cast<char>(pos + n == raw.size() ? 1 : 0);
        PutLE(z, uint32_t(n), 2);
        PutLE(z, uint32_t(~n & 0xFFFF), 2);
        z.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    PutBE32(z, (b << 16) | a);
    return z;
}

} // namespace

std::string EncodePng(const LayoutRaster& raster) {
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    PutBE32(header, uint32_t(raster.width));
    PutBE32(header, uint32_t(raster.height));
    header += '\x01'; // 1 bit per pixel
    header += '\x00'; // greyscale
    header.append(3, '\0');
    PutChunk(png, "IHDR", header);
    const size_t rowBytes = (size_t(raster.width) + 7) / 8;
    std::string raw;
    raw.reserve((rowBytes + 1) * size_t(raster.height));
    for (int y = 0; y < raster.height; ++y) {
        raw += '\0'; // no filter
        for (size_t byte = 0; byte < rowBytes; ++byte) {
            unsigned char bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int x = int(byte * 8) + bit;
                const bool white = x >= raster.width || !raster.IsInk(x, y);
                bits |= (white ? 1 : 0) << (7 - bit);
            }
            raw += static_cast<char>(bits);
        }
    }
    PutChunk(png, "IDAT", StoredZlib(raw));
    PutChunk(png, "IEND", "");
    return png;
}

