#include "export/TemplateFile.h"

#include "export/BmpTemplate.h"
#include "export/EpsTemplate.h"
#include "export/PdfTemplate.h"
#include "export/PngTemplate.h"
#include "export/SafeFile.h"
#include "export/SvgTemplate.h"
#include "render/LayoutRaster.h"
#include "render/TemplateImage.h"

#include <cctype>

TemplateFormat FormatOfPath(const std::string& path) {
    const std::string name = FileNameOf(path);
    const auto dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (TemplateFormat f : {TemplateFormat::Eps, TemplateFormat::Svg, TemplateFormat::Pdf,
                             TemplateFormat::Png, TemplateFormat::Bmp})
        if (ext == ExtensionOf(f))
            return f;
    return TemplateFormat::Unknown;
}

const char* ExtensionOf(TemplateFormat format) {
    switch (format) {
    case TemplateFormat::Eps:
        return "eps";
    case TemplateFormat::Svg:
        return "svg";
    case TemplateFormat::Pdf:
        return "pdf";
    case TemplateFormat::Png:
        return "png";
    case TemplateFormat::Bmp:
        return "bmp";
    case TemplateFormat::Unknown:
        break;
    }
    return "";
}

std::string StyleProblem(const TemplateStyle& style, TemplateFormat format) {
    const bool vector = format == TemplateFormat::Eps || format == TemplateFormat::Svg ||
                        format == TemplateFormat::Pdf;
    if (vector && style.antialias)
        return std::string("--antialias does not apply to .") + ExtensionOf(format) +
               ": vector templates are always smooth";
    if (format == TemplateFormat::Bmp && (!style.background || style.background->a != 255))
        return "a BMP template has no transparency: give --background an opaque colour, or "
               "write a .png";
    if (style.underlay && (format == TemplateFormat::Eps || format == TemplateFormat::Svg))
        return std::string("--underlay does not apply to .") + ExtensionOf(format) +
               ": the texture goes under PNG, BMP and PDF templates";
    if (!(style.lineWidth > 0) || style.lineWidth > kMaxLineWidth)
        return "the line width must be above 0 and at most 64";
    return {};
}

std::string BuildTemplateBytes(const std::vector<const Surface*>& records,
                               const TemplateStyle& style, TemplateFormat format,
                               const std::string& title) {
    switch (format) {
    case TemplateFormat::Eps: {
        std::tm local{};
        return BuildEpsText(records, style, title, LocalTimeNow(local));
    }
    case TemplateFormat::Svg:
        return BuildSvgText(records, style);
    case TemplateFormat::Pdf:
        return BuildPdf(records, style, title);
    case TemplateFormat::Png:
    case TemplateFormat::Bmp:
        if (style.IsPlain()) {
            const LayoutRaster raster =
                DrawLayoutRaster(records, style.width, style.height, style.wrap);
            return format == TemplateFormat::Png ? EncodePng(raster) : EncodeBmp24(raster);
        } else {
            const TemplateImage image = DrawTemplateImage(style, records);
            if (image.width == 0)
                return {};
            return format == TemplateFormat::Png ? EncodePng(image) : EncodeBmp24(image);
        }
    case TemplateFormat::Unknown:
        break;
    }
    return {};
}

Outcome WriteTemplateFile(const std::string& path, const std::vector<const Surface*>& records,
                          const TemplateStyle& style) {
    const TemplateFormat format = FormatOfPath(path);
    if (format == TemplateFormat::Unknown)
        return Outcome::Failure("Cannot write \"" + path +
                                "\": give it the extension .eps, .svg, .pdf, .png or .bmp.");
    const std::string problem = StyleProblem(style, format);
    if (!problem.empty())
        return Outcome::Failure("Cannot write \"" + path + "\": " + problem + ".");
    const std::string bytes = BuildTemplateBytes(records, style, format, FileNameOf(path));
    if (bytes.empty())
        return Outcome::Failure("Cannot write \"" + path +
                                "\": there is not enough memory to draw it; try a smaller size.");
    return WriteFileSafely(path, bytes);
}
