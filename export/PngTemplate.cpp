#include "export/PngTemplate.h"

#include <algorithm>
#include <csetjmp>
#include <png.h>
#include <vector>
#include <zlib.h>

namespace {

void AppendToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

// Writes rows produced by row(y, buffer) as a PNG; empty on a libpng error.
template <typename Row, typename Header = void (*)(png_structp, png_infop)>
std::string Encode(
    int width, int height, int bitDepth, int colourType, size_t rowBytes, int level, Row&& row,
    Header&& header = [](png_structp, png_infop) {}) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return out;
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> buffer(rowBytes);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return {};
    }
    png_set_write_fn(png, &out, AppendToString, nullptr);
    png_set_compression_level(png, level);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bitDepth, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    header(png, info);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        row(y, buffer.data());
        png_write_row(png, buffer.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace

std::string EncodePng(const LayoutRaster& raster) {
    const size_t rowBytes = (size_t(raster.width) + 7) / 8;
    return Encode(raster.width, raster.height, 1, PNG_COLOR_TYPE_GRAY, rowBytes, 6,
                  [&](int y, png_byte* bytes) {
                      for (size_t byte = 0; byte < rowBytes; ++byte) {
                          unsigned char bits = 0;
                          for (int bit = 0; bit < 8; ++bit) {
                              const int x = int(byte * 8) + bit;
                              const bool white = x >= raster.width || !raster.IsInk(x, y);
                              bits |= (white ? 1 : 0) << (7 - bit);
                          }
                          bytes[byte] = bits;
                      }
                  });
}

namespace {

// The picture's colours when there are 256 or fewer, in order of first use;
// empty when there are more.
std::vector<uint32_t> PaletteOf(const TemplateImage& image) {
    std::vector<uint32_t> colours;
    // Open addressing over 1024 slots; most pictures repeat the last colour.
    std::vector<uint32_t> slots(1024, 0);
    std::vector<bool> filled(1024, false);
    uint32_t last = 0;
    bool any = false;
    for (const uint32_t p : image.pixels) {
        if (any && p == last)
            continue;
        any = true;
        last = p;
        size_t slot = (p * 2654435761u) >> 22;
        while (filled[slot] && slots[slot] != p)
            slot = (slot + 1) & 1023;
        if (filled[slot])
            continue;
        if (colours.size() == 256)
            return {};
        filled[slot] = true;
        slots[slot] = p;
        colours.push_back(p);
    }
    return colours;
}

} // namespace

std::string EncodePng(const TemplateImage& image) {
    const std::vector<uint32_t> palette = PaletteOf(image);
    if (!palette.empty()) {
        // Few colours (lines, flat fills, islands): an index per pixel, 1 to 8
        // bits, with the colours' alpha when any is not opaque.
        const int bits = palette.size() <= 2    ? 1
                         : palette.size() <= 4  ? 2
                         : palette.size() <= 16 ? 4
                                                : 8;
        std::vector<std::pair<uint32_t, uint8_t>> index; // stored pixel -> entry, sorted
        for (size_t i = 0; i < palette.size(); ++i)
            index.emplace_back(palette[i], uint8_t(i));
        std::sort(index.begin(), index.end());
        auto entryOf = [&](uint32_t p) {
            return std::lower_bound(index.begin(), index.end(), std::pair<uint32_t, uint8_t>{p, 0})
                ->second;
        };
        std::vector<png_color> colours;
        std::vector<png_byte> alpha;
        bool translucent = false;
        for (const uint32_t p : palette) {
            const uint32_t c = StraightPixel(p);
            colours.push_back({png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
            alpha.push_back(png_byte(c >> 24));
            translucent = translucent || (c >> 24) != 255;
        }
        const size_t rowBytes = (size_t(image.width) * size_t(bits) + 7) / 8;
        return Encode(
            image.width, image.height, bits, PNG_COLOR_TYPE_PALETTE, rowBytes, 6,
            [&](int y, png_byte* bytes) {
                std::fill(bytes, bytes + rowBytes, png_byte(0));
                uint32_t last = image.At(0, y);
                uint8_t entry = entryOf(last);
                for (int x = 0; x < image.width; ++x) {
                    const uint32_t p = image.At(x, y);
                    if (p != last) {
                        last = p;
                        entry = entryOf(p);
                    }
                    const size_t bit = size_t(x) * size_t(bits);
                    bytes[bit / 8] |= png_byte(entry << (8 - bits - int(bit % 8)));
                }
            },
            [&](png_structp png, png_infop info) {
                // Filters rarely pay on indices (the format's own advice).
                png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
                png_set_PLTE(png, info, colours.data(), int(colours.size()));
                if (translucent)
                    png_set_tRNS(png, info, alpha.data(), int(alpha.size()), nullptr);
            });
    }
    const int channels = image.opaque ? 3 : 4;
    return Encode(image.width, image.height, 8,
                  image.opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA,
                  size_t(image.width) * size_t(channels), 6, [&](int y, png_byte* bytes) {
                      for (int x = 0; x < image.width; ++x) {
                          // Stored premultiplied; PNG wants straight colour.
                          const uint32_t p = StraightPixel(image.At(x, y));
                          png_byte* out = bytes + size_t(x) * size_t(channels);
                          out[0] = png_byte(p >> 16);
                          out[1] = png_byte(p >> 8);
                          out[2] = png_byte(p);
                          if (channels == 4)
                              out[3] = png_byte(p >> 24);
                      }
                  });
}

std::string EncodePng(const TextureImage& texture) {
    if (texture.rgba.size() != size_t(texture.width) * size_t(texture.height) * 4 ||
        texture.rgba.empty())
        return {};
    bool opaque = true;
    for (size_t i = 3; i < texture.rgba.size() && opaque; i += 4)
        opaque = texture.rgba[i] == 255;
    const int channels = opaque ? 3 : 4;
    const size_t width = size_t(texture.width);
    return Encode(texture.width, texture.height, 8,
                  opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, width * size_t(channels), 6,
                  [&](int y, png_byte* bytes) {
                      const uint8_t* row = &texture.rgba[size_t(y) * width * 4];
                      for (size_t x = 0; x < width; ++x)
                          for (int c = 0; c < channels; ++c)
                              bytes[x * size_t(channels) + size_t(c)] = row[x * 4 + size_t(c)];
                  });
}
