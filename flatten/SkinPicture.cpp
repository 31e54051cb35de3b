#include "flatten/SkinPicture.h"

#include "export/BmpTemplate.h"
#include "export/PngTemplate.h"
#include "export/SafeFile.h"
#include "export/TgaTemplate.h"
#include "image/IndexedSkin.h"
#include "image/TextureImage.h"
#include "render/TemplateImage.h"

#include <algorithm>

namespace {

std::string ExtensionOf(const std::string& path) {
    const auto dot = path.rfind('.'), slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return extension;
}

} // namespace

bool IsSkinPictureName(const std::string& path) {
    const std::string extension = ExtensionOf(path);
    return extension == "png" || extension == "tga" || extension == "bmp";
}

Status WriteModelSkin(const Model& model, int index, GameTextureSource& textures,
                      const std::string& path) {
    if (model.skins.empty())
        return Error{"", model.path, "it holds no skin of its own; its textures are files"};
    if (index < 0 || size_t(index) >= model.skins.size())
        return Error{"", model.path,
                     "it has no skin " + std::to_string(index) + "; its skins are 0 to " +
                         std::to_string(model.skins.size() - 1)};
    if (!IsSkinPictureName(path))
        return Error{"Cannot write", path, "a skin is written as .png, .tga or .bmp"};
    const EmbeddedSkin& held = model.skins[size_t(index)];
    // A PNG the model holds goes out as it is: nothing of it lost.
    static constexpr uint8_t kPngMagic[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (ExtensionOf(path) == "png" && held.encoded.size() >= 8 &&
        std::equal(kPngMagic, kPngMagic + 8, held.encoded.begin()))
        return WriteFileSafely(path, std::string(held.encoded.begin(), held.encoded.end()));
    TextureImage painted;
    if (!held.encoded.empty()) {
        // A picture file inside the model (glTF): its own colours and alpha.
        const Status decoded = DecodeTexture(held.encoded.data(), held.encoded.size(), painted);
        if (!decoded.ok())
            return Error{"", model.path,
                         "its picture " + std::to_string(index) +
                             " cannot be read: " + decoded.error().reason};
    } else {
        painted = PaintIndexed(held, textures.Palette());
    }
    if (painted.rgba.empty())
        return Error{"", model.path,
                     "its skin " + std::to_string(index) +
                         " cannot be painted: " + "its pixels do not fill its size"};
    const bool alpha = !held.encoded.empty();
    TemplateImage image;
    image.width = painted.width;
    image.height = painted.height;
    image.pixels.resize(size_t(image.width) * size_t(image.height));
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint8_t* p = &painted.rgba[i * 4];
        const uint32_t a = alpha ? p[3] : 255u;
        // Premultiplied, as the image writers take it.
        auto times = [a](uint8_t c) { return (uint32_t(c) * a + 127) / 255; };
        image.pixels[i] = a << 24 | times(p[0]) << 16 | times(p[1]) << 8 | times(p[2]);
        image.opaque = image.opaque && a == 255;
    }
    const std::string extension = ExtensionOf(path);
    const std::string bytes = extension == "png"   ? EncodePng(image)
                              : extension == "tga" ? EncodeTga(image)
                                                   : EncodeBmp24(image);
    return WriteFileSafely(path, bytes);
}
