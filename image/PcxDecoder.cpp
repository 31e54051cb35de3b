// PCX as the games ship their skins: 8 bits in one plane with a 256-colour
// palette after the pixels, and 24-bit pictures in three planes of 8 bits;
// run-length encoded. Written by hand like the TGA decoder: every count is
// checked against the bytes there before anything is allocated.
#include "image/IndexedSkin.h"
#include "image/TextureImage.h"

#include <algorithm>

namespace {

Status Fail(std::string reason) {
    return Error{"", "", std::move(reason)};
}

constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteSize = 768;
constexpr uint8_t kPaletteMarker = 0x0C;
// A packet byte with both top bits set repeats the next byte up to 63 times.
constexpr uint8_t kRunBits = 0xC0;
constexpr uint64_t kLongestRun = 63;

uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

} // namespace

bool IsPcxStart(const uint8_t* bytes, size_t size) {
    // Versions 0 to 5 but 1, which ZSoft never used, and run-length encoding:
    // a TGA starting with byte 10 has a colour-map type of 0 or 1 next, then
    // an image type, so no TGA that decodes is taken for a PCX.
    return size >= 3 && bytes[0] == 0x0A && bytes[1] <= 5 && bytes[1] != 1 && bytes[2] == 1;
}

Status DecodePcx(const uint8_t* bytes, size_t size, TextureImage& image) {
    if (size < kHeaderSize)
        return Fail("too short for a PCX header");
    if (!IsPcxStart(bytes, size))
        return Fail("not a run-length encoded PCX file");
    const int depth = bytes[3], planes = bytes[65];
    const bool paletted = depth == 8 && planes == 1, rgb = depth == 8 && planes == 3;
    if (!paletted && !rgb)
        return Fail("a PCX of " + std::to_string(depth) + " bits in " + std::to_string(planes) +
                    " planes; Gridwright reads 8 bits in 1 plane (with a palette) or in 3 planes");
    const int xMin = U16(bytes + 4), yMin = U16(bytes + 6), xMax = U16(bytes + 8),
              yMax = U16(bytes + 10);
    if (xMax < xMin || yMax < yMin)
        return Fail("the PCX's window ends before it starts (" + std::to_string(xMin) + ", " +
                    std::to_string(yMin) + " to " + std::to_string(xMax) + ", " +
                    std::to_string(yMax) + ")");
    const int width = xMax - xMin + 1, height = yMax - yMin + 1;
    const std::string sizeProblem = TextureSizeProblem(uint64_t(width), uint64_t(height));
    if (!sizeProblem.empty())
        return Fail(sizeProblem);
    const int lineBytes = U16(bytes + 66);
    if (lineBytes < width)
        return Fail("the PCX's lines of " + std::to_string(lineBytes) +
                    " bytes are narrower than its " + std::to_string(width) + " pixels");
    // The palette is the last 768 bytes, after a marker byte.
    size_t end = size;
    const uint8_t* palette = nullptr;
    if (paletted) {
        if (size < kHeaderSize + 1 + kPaletteSize ||
            bytes[size - kPaletteSize - 1] != kPaletteMarker) {
            // The games colour such a picture with their own palette.
            palette = ShippedPalette().data();
            image.note = "it has no palette of its own; its colours are Quake's";
        } else {
            end = size - kPaletteSize - 1;
            palette = bytes + end + 1;
        }
    }
    // Before allocating: can the bytes there hold what the header claims?
    // Two bytes give at most 63 of the stream.
    const uint64_t lines = uint64_t(height) * uint64_t(planes);
    const uint64_t total = lines * uint64_t(lineBytes);
    const uint64_t data = end - kHeaderSize;
    if (data / 2 * kLongestRun + data % 2 < total)
        return Fail("the PCX claims " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels but ends before its last pixel");
    if (!AllocateTexture(image, width, height))
        return Fail("not enough memory for " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels");
    // The stream is every line of every plane in turn, lineBytes each, of
    // which the first `width` are pixels. A run may go on into the next line
    // (some writers do that), so lines are found by position in the stream.
    auto put = [&](uint64_t at, uint64_t count, uint8_t value) {
        while (count > 0) {
            const uint64_t line = at / uint64_t(lineBytes), column = at % uint64_t(lineBytes);
            const uint64_t take = std::min(count, uint64_t(lineBytes) - column);
            if (column < uint64_t(width)) {
                const size_t y = size_t(line / uint64_t(planes)),
                             plane = size_t(line % uint64_t(planes));
                uint8_t* out = &image.rgba[(y * size_t(width) + size_t(column)) * 4];
                const uint64_t pixels = std::min(take, uint64_t(width) - column);
                for (uint64_t k = 0; k < pixels; ++k, out += 4) {
                    if (palette) {
                        out[0] = palette[value * 3];
                        out[1] = palette[value * 3 + 1];
                        out[2] = palette[value * 3 + 2];
                        out[3] = 255;
                    } else {
                        out[plane] = value;
                        out[3] = 255;
                    }
                }
            }
            at += take;
            count -= take;
        }
    };
    size_t p = kHeaderSize;
    uint64_t at = 0;
    while (at < total) {
        if (p >= end)
            return Fail("the PCX ends before its last pixel");
        uint8_t value = bytes[p++];
        uint64_t count = 1;
        if ((value & kRunBits) == kRunBits) {
            if (p >= end)
                return Fail("the PCX ends before its last pixel");
            count = value & ~kRunBits;
            value = bytes[p++];
        }
        // What runs past the last line is padding: dropped.
        count = std::min(count, total - at);
        put(at, count, value);
        at += count;
    }
    return Success();
}
