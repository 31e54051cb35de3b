#include "export/EpsTemplate.h"

#include "export/SafeFile.h"
#include "model/NativeFile.h"
#include "model/Version.h"
#include "render/LineRaster.h"
#include "render/OverlapCoverage.h"
#include "render/PlacedTriangles.h"

#include <cstdio>

#include <charconv>

namespace {

constexpr const char* kEol = "\r\n";

void AppendNumber(std::string& text, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
}

void AppendLine(std::string& text, const std::string& line) {
    text += line;
    text += kEol;
}

void AppendPair(std::string& text, long long a, long long b, const char* op) {
    AppendNumber(text, a);
    text += ' ';
    AppendNumber(text, b);
    text += op;
    text += kEol;
}

struct EpsPoint {
    long long x, y;
};

} // namespace

std::string EscapePostScriptString(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c >= 0x7F) {
            // A line break would end the comment and run the rest as PostScript;
            // bytes above 127 would break the file's Clean7Bit promise.
            out += '\\';
            out += char('0' + (c >> 6));
            out += char('0' + ((c >> 3) & 7));
            out += char('0' + (c & 7));
        } else {
            out += ch;
        }
    }
    return out;
}

std::string FormatCreationDate(const std::tm* localTime) {
    if (!localTime)
        return {};
    char date[64];
    const size_t n = std::strftime(date, sizeof date, "(%m/%d/%y) (%H:%M:%S)", localTime);
    return std::string(date, n);
}

namespace {

// A colour as PostScript takes it: no alpha, so a translucent colour is
// blended over the background (white where there is none).
void AppendColour(std::string& text, const Rgba& c, const std::optional<Rgba>& background) {
    const Rgba under = background ? *background : Rgba{255, 255, 255, 255};
    char line[64];
    auto channel = [&](uint8_t top, uint8_t bottom) {
        return (top * c.a + bottom * (255 - c.a)) / (255.0 * 255.0);
    };
    std::snprintf(line, sizeof line, "%.4g %.4g %.4g setrgbcolor", channel(c.r, under.r),
                  channel(c.g, under.g), channel(c.b, under.b));
    // The C locale's point, whatever the program's locale: PostScript wants it.
    for (char* p = line; *p; ++p)
        if (*p == ',')
            *p = '.';
    AppendLine(text, line);
}

struct EpsTriangle {
    EpsPoint p[3];
};

EpsTriangle PointsOf(const PlacedTriangle& t, double w, double h) {
    EpsTriangle e;
    for (int k = 0; k < 3; ++k)
        e.p[k] = {TruncateCoordinate(w * t.u[k]), TruncateCoordinate((1.0 - t.v[k]) * h)};
    return e;
}

void AppendTriangle(std::string& text, const EpsTriangle& e) {
    AppendPair(text, e.p[0].x, e.p[0].y, " moveto");
    AppendPair(text, e.p[1].x - e.p[0].x, e.p[1].y - e.p[0].y, " rlineto");
    AppendPair(text, e.p[2].x - e.p[1].x, e.p[2].y - e.p[1].y, " rlineto");
    AppendLine(text, "closepath");
}

} // namespace

std::string BuildEpsText(const std::vector<const Surface*>& records, const TemplateStyle& style,
                         const std::string& title, const std::tm* localTime) {
    const int width = style.width, height = style.height;
    std::string text;
    size_t triangles = 0;
    for (const Surface* r : records)
        triangles += r->triangles.size();
    text.reserve(600 + triangles * 64);
    AppendLine(text, "%!PS-Adobe-3.0 EPSF-3.0");
    AppendLine(text, std::string("%%Creator: Gridwright ") + kGridwrightVersion + "B");
    AppendLine(text, "%%Title: (" + EscapePostScriptString(title) + ")");
    AppendLine(text, "%%CreationDate: " + FormatCreationDate(localTime));
    AppendLine(text, "%%DocumentData: Clean7Bit");
    AppendLine(text, "%%DocumentProcessColors: Cyan Magenta Yellow Black");
    text += "%%BoundingBox: 0 0 ";
    AppendPair(text, width, height, "");
    AppendLine(text, "%%EndComments");
    AppendLine(text, "%%BeginProlog");
    AppendLine(text, "%%Copyright: (C) 1999 the Gridwright authors. Templates are yours to use.");
    AppendLine(text, "%%EndProlog");
    AppendLine(text, "%%BeginSetup");
    AppendLine(text, "%%EndSetup");
    const double w = width, h = height;
    auto each = [&](int onlySurface, auto&& visit) {
        ForEachPlacedTriangle(records, style.wrap, [&](const PlacedTriangle& t) {
            if (onlySurface < 0 || t.surface == onlySurface)
                visit(t);
        });
    };
    auto paths = [&](int onlySurface) {
        each(onlySurface,
             [&](const PlacedTriangle& t) { AppendTriangle(text, PointsOf(t, w, h)); });
    };
    if (style.IsPlain()) {
        paths(-1);
        AppendLine(text, "stroke");
    } else {
        if (style.background && style.background->a > 0) {
            AppendColour(text, *style.background, Rgba{255, 255, 255, 255});
            AppendPair(text, 0, 0, " moveto");
            AppendPair(text, width, 0, " rlineto");
            AppendPair(text, 0, height, " rlineto");
            AppendPair(text, -width, 0, " rlineto");
            AppendLine(text, "closepath fill");
        }
        if (style.fill) {
            AppendColour(text, *style.fill, style.background);
            paths(-1);
            AppendLine(text, "fill");
        }
        if (style.overlaps) {
            // The faces involved in an overlap, judged on the template's grid.
            const OverlapCoverage coverage =
                CountCoverage(records, style.sampled, style.wrap, {w, h, 0.0, 0.0}, width, height);
            AppendColour(text, style.overlapColour, style.background);
            each(-1, [&](const PlacedTriangle& t) {
                double x[3], y[3];
                for (int k = 0; k < 3; ++k) {
                    x[k] = w * t.u[k];
                    y[k] = h * t.v[k];
                }
                if (TouchesOverlap(coverage, size_t(t.surface), x, y))
                    AppendTriangle(text, PointsOf(t, w, h));
            });
            AppendLine(text, "fill");
        }
        char lineWidth[32];
        std::snprintf(lineWidth, sizeof lineWidth, "%.4g setlinewidth", style.lineWidth);
        for (char* p = lineWidth; *p; ++p)
            if (*p == ',')
                *p = '.';
        AppendLine(text, lineWidth);
        if (style.lineWidth > 1)
            AppendLine(text, "1 setlinejoin");
        const int passes = style.colourBySurface ? int(records.size()) : 1;
        for (int s = 0; s < passes; ++s) {
            Rgba colour = style.colourBySurface ? SurfacePaletteColour(s) : style.line;
            colour.a = style.line.a;
            AppendColour(text, colour, style.background);
            paths(style.colourBySurface ? s : -1);
            AppendLine(text, "stroke");
        }
    }
    AppendLine(text, "1 setlinewidth");
    AppendLine(text, "%%EOF");
    return text;
}

std::tm* LocalTimeNow(std::tm& local) {
    const std::time_t now = std::time(nullptr);
    return now != std::time_t(-1) && native::LocalTime(now, local) ? &local : nullptr;
}
