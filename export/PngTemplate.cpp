#include "export/PngTemplate.h"

#include <csetjmp>
#include <png.h>
#include <vector>
#include <zlib.h>

namespace {

void AppendToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

// Writes rows produced by row(y, buffer) as a PNG; empty on a libpng error.
template <typename Row>
std::string Encode(int width, int height, int bitDepth, int colourType, size_t rowBytes, int level,
                   Row&& row) {
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

std::string EncodePng(const TemplateImage& image) {
    const int channels = image.opaque ? 3 : 4;
    return Encode(image.width, image.height, 8,
                  image.opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA,
                  size_t(image.width) * size_t(channels), 6, [&](int y, png_byte* bytes) {
                      for (int x = 0; x < image.width; ++x) {
                          const uint32_t p = image.At(x, y);
                          const uint32_t a = p >> 24;
                          // Stored premultiplied; PNG wants straight colour.
                          auto straight = [a](uint32_t c) {
                              return png_byte(a == 0 ? 0 : a == 255 ? c : (c * 255 + a / 2) / a);
                          };
                          png_byte* out = bytes + size_t(x) * size_t(channels);
                          out[0] = straight((p >> 16) & 0xFF);
                          out[1] = straight((p >> 8) & 0xFF);
                          out[2] = straight(p & 0xFF);
                          if (channels == 4)
                              out[3] = png_byte(a);
                      }
                  });
}
