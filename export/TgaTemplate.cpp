#include "export/TgaTemplate.h"

namespace {

// The 18-byte header of a true-colour image with 8 bits of alpha, top-left origin.
std::string Header(int width, int height) {
    std::string h(18, '\0');
    h[2] = 2; // true colour, uncompressed
    h[12] = char(width & 0xFF);
    h[13] = char(width >> 8);
    h[14] = char(height & 0xFF);
    h[15] = char(height >> 8);
    h[16] = 32;
    h[17] = 0x28; // top-left origin, 8 alpha bits
    return h;
}

} // namespace

std::string EncodeTga(const LayoutRaster& raster) {
    std::string out = Header(raster.width, raster.height);
    out.reserve(out.size() + size_t(raster.width) * size_t(raster.height) * 4);
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x) {
            const char v = raster.IsInk(x, y) ? '\0' : char(0xFF);
            out += v;
            out += v;
            out += v;
            out += char(0xFF);
        }
    return out;
}

std::string EncodeTga(const TemplateImage& image) {
    std::string out = Header(image.width, image.height);
    out.reserve(out.size() + image.pixels.size() * 4);
    for (const uint32_t stored : image.pixels) {
        // Stored premultiplied; TGA wants straight colour, as the PNG has.
        const uint32_t p = StraightPixel(stored);
        out += char(p);
        out += char(p >> 8);
        out += char(p >> 16);
        out += char(p >> 24);
    }
    return out;
}

std::string EncodeTga(const TextureImage& texture) {
    std::string out = Header(texture.width, texture.height);
    out.reserve(out.size() + texture.rgba.size());
    for (size_t i = 0; i + 3 < texture.rgba.size(); i += 4) {
        out += char(texture.rgba[i + 2]);
        out += char(texture.rgba[i + 1]);
        out += char(texture.rgba[i]);
        out += char(texture.rgba[i + 3]);
    }
    return out;
}
