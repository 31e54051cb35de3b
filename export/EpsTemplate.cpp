#include "export/EpsTemplate.h"

#include "export/SafeFile.h"
#include "model/Version.h"
#include "render/LineRaster.h"

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

EpsPoint PointOf(const SurfaceRecord& r, int vertex, double w, double h) {
    return {TruncateCoordinate(w * r.u[vertex]), TruncateCoordinate((1.0 - r.v[vertex]) * h)};
}

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

std::string BuildEpsText(const SurfaceRecord* record, int width, int height,
                         const std::string& title, const std::tm* localTime) {
    std::string text;
    text.reserve(600 + (record ? size_t(TriangleLimit(*record)) * 64 : 0));
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
    if (record)
        ForEachTriangle(*record, [&](int a, int b, int c) {
            const EpsPoint pa = PointOf(*record, a, w, h), pb = PointOf(*record, b, w, h),
                           pc = PointOf(*record, c, w, h);
            AppendPair(text, pa.x, pa.y, " moveto");
            AppendPair(text, pb.x - pa.x, pb.y - pa.y, " rlineto");
            AppendPair(text, pc.x - pb.x, pc.y - pb.y, " rlineto");
            AppendLine(text, "closepath");
        });
    AppendLine(text, "stroke");
    AppendLine(text, "1 setlinewidth");
    AppendLine(text, "%%EOF");
    return text;
}

Outcome WriteEpsTemplate(int width, int height, const std::string& path) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    const bool haveTime = now != std::time_t(-1) && localtime_r(&now, &local) != nullptr;
    const std::string text = BuildEpsText(SurfaceAt(g_exportSurface), width, height,
                                          FileNameOf(path), haveTime ? &local : nullptr);
    return WriteFileSafely(path, text);
}
