#include "flatten/SkinPicture.h"

#include "export/BmpTemplate.h"
#include "export/PngTemplate.h"
#include "export/SafeFile.h"
#include "export/TgaTemplate.h"
#include "image/IndexedSkin.h"
#include "render/TemplateImage.h"

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
    const TextureImage painted = PaintIndexed(model.skins[size_t(index)], textures.Palette());
    if (painted.rgba.empty())
        return Error{"", model.path,
                     "its skin " + std::to_string(index) +
                         " cannot be painted: " + "its pixels do not fill its size"};
    TemplateImage image;
    image.width = painted.width;
    image.height = painted.height;
    image.pixels.resize(size_t(image.width) * size_t(image.height));
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint8_t* p = &painted.rgba[i * 4];
        image.pixels[i] = 0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    const std::string extension = ExtensionOf(path);
    const std::string bytes = extension == "png"   ? EncodePng(image)
                              : extension == "tga" ? EncodeTga(image)
                                                   : EncodeBmp24(image);
    return WriteFileSafely(path, bytes);
}
