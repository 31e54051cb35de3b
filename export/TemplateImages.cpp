#include "TemplateImages.h"

#include "LayoutDrawing.h"
#include "SafeFile.h"

#include <array>
#include <cstdint>

namespace {

void PutLE(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutBE32(std::string& out, uint32_t value) {
    for (int i = 3; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

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

std::string EncodeBmp24(const LayoutRaster& raster) {
    const uint32_t rowBytes = (uint32_t(raster.width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * uint32_t(raster.height);
    std::string bmp;
    bmp.reserve(54 + imageBytes);
    bmp += "BM";
    PutLE(bmp, 54 + imageBytes, 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 54, 4);
    PutLE(bmp, 40, 4); // BITMAPINFOHEADER
    PutLE(bmp, uint32_t(raster.width), 4);
    PutLE(bmp, uint32_t(raster.height), 4); // positive: bottom row first
    PutLE(bmp, 1, 2);
    PutLE(bmp, 24, 2);
    PutLE(bmp, 0, 4);
    PutLE(bmp, imageBytes, 4);
    PutLE(bmp, 2835, 4); // 72 dpi
    PutLE(bmp, 2835, 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 0, 4);
    for (int y = raster.height - 1; y >= 0; --y) {
        const size_t rowStart = bmp.size();
        for (int x = 0; x < raster.width; ++x)
            bmp.append(3, raster.IsInk(x, y) ? '\0' : '\xFF');
        bmp.append(rowStart + rowBytes - bmp.size(), '\0');
    }
    return bmp;
}

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

std::string BuildSvgText(const SurfaceRecord* record, int width, int height) {
    const std::string w = std::to_string(width), h = std::to_string(height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
                      "\">\n<rect width=\"" + w + "\" height=\"" + h +
                      "\" fill=\"white\"/>\n<path fill=\"none\" stroke=\"black\" "
                      "stroke-width=\"1\" shape-rendering=\"crispEdges\" d=\"";
    if (record) {
        const LayoutMapping m{double(width), double(height), 0.0, 0.0};
        auto at = [](const LayoutPoint& p) {
            return std::to_string(p.x) + ".5 " + std::to_string(p.y) + ".5";
        };
        const int triangles = TriangleLimit(*record);
        for (int k = 0; k < triangles; ++k) {
            int a, b, c;
            if (!TriangleCorners(*record, k, a, b, c))
                continue;
            svg += "M" + at(MapVertex(*record, a, m)) + "L" + at(MapVertex(*record, b, m)) + "L" +
                   at(MapVertex(*record, c, m)) + "Z";
        }
    }
    svg += "\"/>\n</svg>\n";
    return svg;
}

bool WriteBmpTemplate(int width, int height, const std::string& path, int /*bitsPerPixel*/,
                      const ShowWriteFailure& showFailure) {
    const LayoutRaster raster = DrawLayoutRaster(SurfaceAt(g_exportSurface), width, height);
    const WriteOutcome outcome = WriteFileSafely(path, EncodeBmp24(raster));
    if (!outcome.ok && showFailure)
        showFailure(outcome.reason);
    return outcome.ok;
}
