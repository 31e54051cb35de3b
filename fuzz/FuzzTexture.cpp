// Any bytes as a texture file (TGA, JPEG or PNG): decoding must succeed with
// a picture of the size it says, or fail with a reason, never fault. The
// seeds are TGAs, so that is where most of the search goes.
#include "image/TextureImage.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TextureImage image;
    const Status decoded = DecodeTexture(data, size, image);
    if (decoded.ok() && image.rgba.size() != size_t(image.width) * size_t(image.height) * 4)
        __builtin_trap();
    if (!decoded.ok() && decoded.error().Message().empty())
        __builtin_trap();
    return 0;
}
