#include "export/PcxWriter.h"

#include <algorithm>

namespace {

constexpr size_t kHeaderSize = 128;
constexpr uint8_t kRunBits = 0xC0;
constexpr size_t kLongestRun = 63;

void Put16(std::string& out, size_t at, int value) {
    out[at] = char(value & 0xFF);
    out[at + 1] = char((value >> 8) & 0xFF);
}

} // namespace

std::string EncodePcx8(int width, int height, std::span<const uint8_t> indices,
                       std::span<const uint8_t, kPaletteBytes> palette) {
    if (width < 1 || height < 1 || width > 65535 || height > 65535 ||
        indices.size() != size_t(width) * size_t(height))
        return {};
    const int lineBytes = width + width % 2;
    std::string out(kHeaderSize, '\0');
    out[0] = 0x0A; // ZSoft
    out[1] = 5;    // version 5: a palette may follow the pixels
    out[2] = 1;    // run-length encoded
    out[3] = 8;    // bits a pixel in each plane
    Put16(out, 8, width - 1);
    Put16(out, 10, height - 1);
    Put16(out, 12, 72);
    Put16(out, 14, 72);
    // The 16-colour palette in the header: the first 16 of the 256, for
    // readers that look there.
    std::copy(palette.begin(), palette.begin() + 48, out.begin() + 16);
    out[65] = 1; // planes
    Put16(out, 66, lineBytes);
    Put16(out, 68, 1); // colour, not greys
    std::string line(size_t(lineBytes), '\0');
    for (size_t y = 0; y < size_t(height); ++y) {
        std::copy_n(indices.begin() + ptrdiff_t(y * size_t(width)), width, line.begin());
        for (size_t x = 0; x < line.size();) {
            const char value = line[x];
            size_t run = 1;
            while (x + run < line.size() && run < kLongestRun && line[x + run] == value)
                ++run;
            // A byte with both top bits set would read as a run's count: it
            // goes as a run even of one.
            if (run > 1 || (uint8_t(value) & kRunBits) == kRunBits)
                out += char(kRunBits | run);
            out += value;
            x += run;
        }
    }
    out += char(0x0C);
    out.append(palette.begin(), palette.end());
    return out;
}
