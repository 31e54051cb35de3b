// Any bytes as a texture file (TGA, JPEG or PNG): decoding must succeed with
// a picture of the size it says, or fail with a reason, never fault. The
// seeds are TGAs, so that is where most of the search goes. What decodes,
// brought down to a palette and written as an 8-bit PCX, must decode again
// to the palette's colours of the indices chosen.
#include "export/PcxWriter.h"
#include "image/IndexedSkin.h"
#include "image/PaletteReduce.h"
#include "image/TextureImage.h"

#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TextureImage image;
    const Status decoded = DecodeTexture(data, size, image);
    if (decoded.ok() && image.rgba.size() != size_t(image.width) * size_t(image.height) * 4)
        __builtin_trap();
    if (!decoded.ok() && decoded.error().Message().empty())
        __builtin_trap();
    if (!decoded.ok() || size_t(image.width) * size_t(image.height) > 256 * 256)
        return 0;
    ReduceOptions options;
    options.dither = (data[0] & 1) != 0;
    options.transparentIndex = (data[0] & 2) != 0 ? 255 : -1;
    const Result<ReducedPicture> reduced = ReduceToPalette(image, ShippedPalette(), options);
    if (!reduced.ok() || reduced.value().indices.size() != image.rgba.size() / 4)
        __builtin_trap();
    const std::array<uint8_t, kPaletteBytes>& palette = ShippedPalette();
    const std::string pcx = EncodePcx8(image.width, image.height, reduced.value().indices, palette);
    TextureImage again;
    if (!DecodePcx(reinterpret_cast<const uint8_t*>(pcx.data()), pcx.size(), again).ok() ||
        again.width != image.width || again.height != image.height)
        __builtin_trap();
    const std::vector<uint8_t>& indices = reduced.value().indices;
    for (size_t i = 0; i < indices.size(); ++i)
        for (size_t c = 0; c < 3; ++c)
            if (again.rgba[i * 4 + c] != palette[size_t(indices[i]) * 3 + c])
                __builtin_trap();
    return 0;
}
