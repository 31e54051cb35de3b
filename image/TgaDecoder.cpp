// TGA as the games write it: colour-mapped (1, 9), true-colour (2, 10) and
// grey (3, 11), plain or run-length; 8, 15, 16, 24 and 32 bits; either row
// order and either column order. Written by hand: the format is small, and
// every count in it is checked against the bytes actually there.
#include "image/TextureImage.h"

#include <array>

namespace {

// An error about the bytes, before any file is named.
Status Fail(std::string reason) {
    return Error{"", "", std::move(reason)};
}

constexpr size_t kHeaderSize = 18;

uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

struct Header {
    int idLength, mapType, type, mapFirst, mapLength, mapDepth, width, height, depth, descriptor;
};

// One pixel of `depth` bits at p as RGBA.
std::array<uint8_t, 4> Colour(const uint8_t* p, int depth) {
    switch (depth) {
    case 8:
        return {p[0], p[0], p[0], 255};
    case 15:
    case 16: {
        // 5-5-5; the top bit is an attribute bit that exporters fill at random.
        const int v = U16(p);
        auto five = [](int c) { return uint8_t((c << 3) | (c >> 2)); };
        return {five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31), 255};
    }
    case 24:
        return {p[2], p[1], p[0], 255};
    default: // 32
        return {p[2], p[1], p[0], p[3]};
    }
}

class Decoder {
  public:
    Decoder(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}
    Status Run(TextureImage& image);

  private:
    Status ReadHeader();
    Status ReadColourMap();
    // The RGBA of one stored pixel at m_at; false (and m_problem) when bad.
    bool NextPixel(std::array<uint8_t, 4>& out);

    const uint8_t* m_bytes;
    size_t m_size;
    size_t m_at = 0;
    Header m_h{};
    bool m_mapped = false, m_grey = false, m_runLength = false;
    int m_pixelBytes = 0;
    std::vector<std::array<uint8_t, 4>> m_map;
    std::string m_problem;
};

Status Decoder::ReadHeader() {
    if (m_size < kHeaderSize)
        return Fail("not a TGA, JPEG or PNG file: too short for a TGA header");
    const uint8_t* b = m_bytes;
    m_h = {b[0], b[1], b[2], U16(b + 3), U16(b + 5), b[7], U16(b + 12), U16(b + 14), b[16], b[17]};
    const int base = m_h.type & ~8;
    if (m_h.mapType > 1 || (m_h.type != base && m_h.type != base + 8) || base < 1 || base > 3)
        return Fail("not a TGA, JPEG or PNG file");
    m_mapped = base == 1;
    m_grey = base == 3;
    m_runLength = m_h.type >= 8;
    if (m_mapped && (m_h.mapType != 1 || (m_h.depth != 8 && m_h.depth != 16)))
        return Fail("a colour-mapped TGA needs a colour map and 8- or 16-bit indexes");
    if (m_grey && m_h.depth != 8)
        return Fail("a grey TGA of " + std::to_string(m_h.depth) +
                    " bits a pixel; Gridwright reads 8");
    if (base == 2 && m_h.depth != 15 && m_h.depth != 16 && m_h.depth != 24 && m_h.depth != 32)
        return Fail("a true-colour TGA of " + std::to_string(m_h.depth) +
                    " bits a pixel; Gridwright reads 15, 16, 24 and 32");
    m_pixelBytes = (m_h.depth + 7) / 8;
    const std::string size = TextureSizeProblem(uint64_t(m_h.width), uint64_t(m_h.height));
    if (!size.empty())
        return Fail(size);
    m_at = kHeaderSize + size_t(m_h.idLength);
    return Success();
}

Status Decoder::ReadColourMap() {
    if (m_h.mapType != 1)
        return Success();
    const int depth = m_h.mapDepth;
    if (depth != 15 && depth != 16 && depth != 24 && depth != 32)
        return Fail("a TGA colour map of " + std::to_string(depth) +
                    " bits an entry; Gridwright reads 15, 16, 24 and 32");
    const size_t entryBytes = size_t(depth + 7) / 8;
    const size_t mapBytes = size_t(m_h.mapLength) * entryBytes;
    if (m_at > m_size || mapBytes > m_size - m_at)
        return Fail("the TGA ends inside its colour map");
    // A true-colour image may carry a map it does not use: skipped.
    if (m_mapped) {
        // Entries below the first index are not in the file; they are black.
        m_map.assign(size_t(m_h.mapFirst), {0, 0, 0, 255});
        for (int i = 0; i < m_h.mapLength; ++i)
            m_map.push_back(Colour(m_bytes + m_at + size_t(i) * entryBytes, depth));
    }
    m_at += mapBytes;
    return Success();
}

bool Decoder::NextPixel(std::array<uint8_t, 4>& out) {
    if (m_at > m_size || size_t(m_pixelBytes) > m_size - m_at) {
        m_problem = "the TGA ends before its last pixel";
        return false;
    }
    const uint8_t* p = m_bytes + m_at;
    m_at += size_t(m_pixelBytes);
    if (!m_mapped) {
        out = Colour(p, m_h.depth);
        return true;
    }
    const size_t index = m_pixelBytes == 1 ? p[0] : U16(p);
    if (index >= m_map.size()) {
        m_problem = "a pixel names colour " + std::to_string(index) + " of a map of " +
                    std::to_string(m_map.size());
        return false;
    }
    out = m_map[index];
    return true;
}

Status Decoder::Run(TextureImage& image) {
    Status step = ReadHeader();
    if (step.ok())
        step = ReadColourMap();
    if (!step.ok())
        return step;
    const int width = m_h.width, height = m_h.height;
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    // Before allocating: are there bytes enough for what the header claims?
    // A run-length packet holds at most 128 pixels in 1 + pixelBytes bytes.
    const uint64_t left = m_at <= m_size ? m_size - m_at : 0;
    const uint64_t least = m_runLength ? (pixels + 127) / 128 * uint64_t(1 + m_pixelBytes)
                                       : pixels * uint64_t(m_pixelBytes);
    if (left < least)
        return Fail("the TGA claims " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels but ends before its last pixel");
    if (!AllocateTexture(image, width, height))
        return Fail("not enough memory for " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels");
    const bool topDown = (m_h.descriptor & 0x20) != 0, rightToLeft = (m_h.descriptor & 0x10) != 0;
    auto put = [&](uint64_t n, const std::array<uint8_t, 4>& c) {
        const int row = int(n / uint64_t(width)), column = int(n % uint64_t(width));
        const int y = topDown ? row : height - 1 - row,
                  x = rightToLeft ? width - 1 - column : column;
        uint8_t* out = &image.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
        out[3] = c[3];
    };
    std::array<uint8_t, 4> c{};
    for (uint64_t n = 0; n < pixels;) {
        if (!m_runLength) {
            if (!NextPixel(c))
                return Fail(m_problem);
            put(n++, c);
            continue;
        }
        if (m_at >= m_size)
            return Fail("the TGA ends before its last pixel");
        const uint8_t packet = m_bytes[m_at++];
        const uint64_t count = uint64_t(packet & 0x7F) + 1;
        if (count > pixels - n)
            return Fail("a run-length packet of the TGA runs past its last pixel");
        if (packet & 0x80) {
            if (!NextPixel(c))
                return Fail(m_problem);
            for (uint64_t k = 0; k < count; ++k)
                put(n++, c);
        } else {
            for (uint64_t k = 0; k < count; ++k) {
                if (!NextPixel(c))
                    return Fail(m_problem);
                put(n++, c);
            }
        }
    }
    return Success();
}

} // namespace

Status DecodeTga(const uint8_t* bytes, size_t size, TextureImage& image) {
    return Decoder(bytes, size).Run(image);
}
