#include "export/TemplateFile.h"

#include "export/BmpTemplate.h"
#include "export/EpsTemplate.h"
#include "export/OraTemplate.h"
#include "export/PdfTemplate.h"
#include "export/PngTemplate.h"
#include "export/PsdTemplate.h"
#include "export/SafeFile.h"
#include "export/SvgTemplate.h"
#include "export/TgaTemplate.h"
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"

#include <cctype>
#include <new>

namespace {

std::string BuildEps(const std::vector<const Surface*>& records, const TemplateStyle& style,
                     const std::string& title) {
    std::tm local{};
    return BuildEpsText(records, style, title, LocalTimeNow(local));
}

std::string BuildSvg(const std::vector<const Surface*>& records, const TemplateStyle& style,
                     const std::string&) {
    return BuildSvgText(records, style);
}

// Plain templates keep their exact line rule, styled ones are drawn with Cairo.
template <std::string (*EncodeRaster)(const LayoutRaster&),
          std::string (*EncodeImage)(const TemplateImage&)>
std::string BuildPicture(const std::vector<const Surface*>& records, const TemplateStyle& style,
                         const std::string&) {
    if (style.IsPlain())
        return EncodeRaster(DrawLayoutRaster(records, style.width, style.height, style.wrap));
    const TemplateImage image = DrawTemplateImage(style, records);
    return image.width == 0 ? std::string() : EncodeImage(image);
}

std::string EncodePngRaster(const LayoutRaster& r) {
    return EncodePng(r);
}
std::string EncodePngImage(const TemplateImage& i) {
    return EncodePng(i);
}
std::string EncodeBmpRaster(const LayoutRaster& r) {
    return EncodeBmp24(r);
}
std::string EncodeBmpImage(const TemplateImage& i) {
    return EncodeBmp24(i);
}
std::string EncodeTgaRaster(const LayoutRaster& r) {
    return EncodeTga(r);
}
std::string EncodeTgaImage(const TemplateImage& i) {
    return EncodeTga(i);
}

// Layered files: each part of the template apart, and the merged picture.
template <std::string (*Encode)(const LayeredTemplate&)>
std::string BuildLayered(const std::vector<const Surface*>& records, const TemplateStyle& style,
                         const std::string&) {
    LayeredTemplate layered = DrawLayeredTemplate(style, records);
    if (style.baked)
        InsertLayersAboveTexture(layered, *style.baked, style);
    return layered.merged.width == 0 ? std::string() : Encode(layered);
}

} // namespace

const std::vector<FormatInfo>& TemplateFormats() {
    static const std::vector<FormatInfo> formats = {
        {TemplateFormat::Eps, "eps", "EPS file", true, false, true, BuildEps},
        {TemplateFormat::Svg, "svg", "SVG drawing", true, false, true, BuildSvg},
        {TemplateFormat::Pdf, "pdf", "PDF document", true, true, true, BuildPdf},
        {TemplateFormat::Png, "png", "PNG image", false, true, true,
         BuildPicture<EncodePngRaster, EncodePngImage>},
        {TemplateFormat::Bmp, "bmp", "BMP image", false, true, false,
         BuildPicture<EncodeBmpRaster, EncodeBmpImage>},
        {TemplateFormat::Tga, "tga", "TGA image", false, true, true,
         BuildPicture<EncodeTgaRaster, EncodeTgaImage>},
        {TemplateFormat::Psd, "psd", "Photoshop image", false, true, true, BuildLayered<EncodePsd>},
        {TemplateFormat::Ora, "ora", "OpenRaster image", false, true, true,
         BuildLayered<EncodeOra>},
    };
    return formats;
}

const FormatInfo* InfoOf(TemplateFormat format) {
    for (const FormatInfo& f : TemplateFormats())
        if (f.format == format)
            return &f;
    return nullptr;
}

std::string ExtensionList() {
    std::string list;
    const std::vector<FormatInfo>& formats = TemplateFormats();
    for (size_t i = 0; i < formats.size(); ++i)
        list += std::string(i == 0                    ? ""
                            : i + 1 == formats.size() ? " or "
                                                      : ", ") +
                "." + formats[i].extension;
    return list;
}

TemplateFormat FormatOfPath(const std::string& path) {
    const std::string name = FileNameOf(path);
    const auto dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const FormatInfo& f : TemplateFormats())
        if (ext == f.extension)
            return f.format;
    return TemplateFormat::Unknown;
}

const char* ExtensionOf(TemplateFormat format) {
    const FormatInfo* info = InfoOf(format);
    return info ? info->extension : "";
}

Status CheckStyle(const TemplateStyle& style, TemplateFormat format) {
    auto no = [](std::string why) { return Status(Error{"", "", std::move(why)}); };
    const FormatInfo* info = InfoOf(format);
    if (!info)
        return no("give the file the extension " + ExtensionList());
    if (info->vector && style.antialias)
        return no(std::string("--antialias does not apply to .") + info->extension +
                  ": vector templates are always smooth");
    if (!info->transparency && (!style.background || style.background->a != 255)) {
        std::string name = info->extension;
        for (char& c : name)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return no("a " + name +
                  " template has no transparency: give --background an opaque colour, or write a "
                  ".png");
    }
    if (style.baked && !style.baked->empty() && format != TemplateFormat::Psd &&
        format != TemplateFormat::Ora)
        return no(std::string("baked layers go into layered templates (.psd, .ora), not .") +
                  info->extension);
    if (style.underlay && !info->texture)
        return no(std::string("--underlay does not apply to .") + info->extension +
                  ": the texture goes under PNG, BMP and PDF templates");
    if (format == TemplateFormat::Eps) {
        // The EPS keeps the first templates' text: lines only, in one colour.
        const char* option = style.seams                         ? "--seams"
                             : style.flipped                     ? "--flipped"
                             : style.islands                     ? "--islands"
                             : style.outline == Outline::Islands ? "--outline islands"
                                                                 : nullptr;
        if (option)
            return no(std::string(option) +
                      " does not apply to .eps: write an .svg, .pdf or a picture for it");
    }
    if (!(style.lineWidth > 0) || style.lineWidth > kMaxLineWidth)
        return no("the line width must be above 0 and at most 64");
    return Success();
}

std::string BuildTemplateBytes(const std::vector<const Surface*>& records,
                               const TemplateStyle& style, TemplateFormat format,
                               const std::string& title) {
    const FormatInfo* info = InfoOf(format);
    try {
        return info ? info->build(records, style, title) : std::string();
    } catch (const std::bad_alloc&) {
        return {}; // said to the painter as "not enough memory"
    }
}

Status WriteTemplateFile(const std::string& path, const std::vector<const Surface*>& records,
                         const TemplateStyle& style) {
    const TemplateFormat format = FormatOfPath(path);
    if (format == TemplateFormat::Unknown)
        return Error{"Cannot write", path, "give it the extension " + ExtensionList()};
    const Status fits = CheckStyle(style, format);
    if (!fits.ok())
        return Error{"Cannot write", path, fits.error().reason};
    const std::string bytes = BuildTemplateBytes(records, style, format, FileNameOf(path));
    if (bytes.empty())
        return Error{"Cannot write", path,
                     "there is not enough memory to draw it; try a smaller size"};
    return WriteFileSafely(path, bytes);
}
