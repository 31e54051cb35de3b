// gridwright-flatten: the painting template of a model's surface, from the
// command line, for batch work and scripts.
#include "export/BmpTemplate.h"
#include "export/EpsTemplate.h"
#include "export/PngTemplate.h"
#include "export/SafeFile.h"
#include "export/SvgTemplate.h"
#include "model/Md3Reader.h"
#include "model/SurfaceStore.h"
#include "render/LayoutRaster.h"
#include "tools/ModelJson.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

enum ExitCode { kOk = 0, kUsage = 2, kCannotLoad = 3, kCannotWrite = 4 };

const char* const kUsageText =
    "usage:\n"
    "  gridwright-flatten --list MODEL.md3\n"
    "  gridwright-flatten --dump MODEL.md3\n"
    "  gridwright-flatten MODEL.md3 [--surface N|NAME] [--size WxH] -o OUT\n"
    "\n"
    "Writes the texture layout of one surface of an MD3 model as a painting\n"
    "template. OUT's extension picks the format: .eps, .bmp, .png or .svg.\n"
    "W and H are 1 to 8192 (default 128x128); the surface is 0 by default.\n"
    "\n"
    "  --list   one line per surface: index, name, texture, vertices, triangles,\n"
    "           tab-separated; in names a backslash, tab, newline, carriage return\n"
    "           and other control bytes are written \\\\, \\t, \\n, \\r and \\xHH\n"
    "  --dump   the loaded surfaces as JSON\n"
    "\n"
    "--surface takes an index when it is only digits and below the surface\n"
    "count, else a name (exact first, then without regard to letter case).\n"
    "\n"
    "Exit status: 0 done, 2 bad usage, 3 model not loaded, 4 template not written.\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "gridwright-flatten: %s\nTry 'gridwright-flatten --help'.\n",
                 problem.c_str());
    return kUsage;
}

bool Load(const std::string& path) {
    const Outcome outcome = LoadModel(path);
    if (!outcome.ok)
        std::fprintf(stderr, "gridwright-flatten: %s\n%s\n", kFailureMessage,
                     outcome.reason.c_str());
    return outcome.ok;
}

bool ParseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    auto number = [](const std::string& digits, int& out) {
        if (digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(), ::isdigit))
            return false;
        out = std::atoi(digits.c_str());
        return out >= 1 && out <= kMaxTemplateSide;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A surface by index or by name; -1 when the model has no such surface. A
// value of digits only that is below the count is an index, so a surface
// named "7" is still reachable by its name when there are fewer surfaces.
int FindSurface(const std::string& wanted) {
    const int count = LoadedSurfaceCount();
    if (!wanted.empty() && wanted.size() < 6 &&
        std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const int index = std::atoi(wanted.c_str());
        if (index < count)
            return index;
    }
    for (int i = 0; i < count; ++i)
        if (NameText(g_surfaces[i].name) == wanted)
            return i;
    for (int i = 0; i < count; ++i)
        if (Lower(NameText(g_surfaces[i].name)) == Lower(wanted))
            return i;
    return -1;
}

// A name as one field of a tab-separated line: nothing in it can end the
// field or the line, or reach the terminal as a control sequence.
std::string EscapeField(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += ch;
    }
    return out;
}

// Standard output must have taken every byte: a full disk or a closed pipe
// is a failure, not a success with half a listing.
int FinishOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "gridwright-flatten: could not write the output (%s).\n",
                     std::strerror(errno));
        return kCannotWrite;
    }
    return kOk;
}

// True when both paths name one existing file.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

std::string LowerExtension(const std::string& path) {
    const std::string name = FileNameOf(path);
    const auto dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

int List(const std::string& path) {
    if (!Load(path))
        return kCannotLoad;
    for (int i = 0; i < LoadedSurfaceCount(); ++i) {
        const SurfaceRecord& r = g_surfaces[i];
        std::printf("%d\t%s\t%s\t%d\t%d\n", i, EscapeField(NameText(r.name)).c_str(),
                    EscapeField(TextureNameOf(r)).c_str(), r.vertexCount, r.triangleCount);
    }
    return FinishOutput();
}

int Dump(const std::string& path) {
    if (!Load(path))
        return kCannotLoad;
    const std::string json = StoreAsJson();
    std::fwrite(json.data(), 1, json.size(), stdout);
    return FinishOutput();
}

int Flatten(const std::string& model, const std::string& surface, int width, int height,
            const std::string& out) {
    const std::string ext = LowerExtension(out);
    if (ext != "eps" && ext != "bmp" && ext != "png" && ext != "svg")
        return Usage("cannot tell the format of \"" + out +
                     "\": give it the extension .eps, .bmp, .png or .svg");
    if (SameFile(model, out))
        return Usage("the output \"" + out + "\" is the model itself; choose another file name");
    if (!Load(model))
        return kCannotLoad;
    g_exportSurface = FindSurface(surface);
    if (g_exportSurface < 0) {
        const bool digits =
            !surface.empty() && std::all_of(surface.begin(), surface.end(),
                                            [](char c) { return c >= '0' && c <= '9'; });
        const std::string readings = digits ? "no surface " + surface + " (it has " +
                                                  std::to_string(LoadedSurfaceCount()) +
                                                  ") and no surface named \"" + surface + "\""
                                            : "no surface named \"" + surface + "\"";
        std::fprintf(stderr,
                     "gridwright-flatten: \"%s\" has %s; "
                     "'gridwright-flatten --list %s' shows its surfaces.\n",
                     model.c_str(), readings.c_str(), model.c_str());
        return kUsage;
    }
    Outcome outcome;
    if (ext == "eps") {
        outcome = WriteEpsTemplate(width, height, out);
    } else if (ext == "bmp") {
        outcome = WriteBmpTemplate(width, height, out, 24);
    } else {
        const SurfaceRecord* record = SurfaceAt(g_exportSurface);
        const std::string bytes = ext == "png" ? EncodePng(DrawLayoutRaster(record, width, height))
                                               : BuildSvgText(record, width, height);
        outcome = WriteFileSafely(out, bytes);
    }
    if (!outcome.ok) {
        std::fprintf(stderr, "gridwright-flatten: %s\n%s\n", kFailureMessage,
                     outcome.reason.c_str());
        return kCannotWrite;
    }
    std::printf("wrote %s (%dx%d, surface %d \"%s\")\n", out.c_str(), width, height,
                g_exportSurface, NameText(g_surfaces[g_exportSurface].name).c_str());
    return kOk;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage("no model given");
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    if (args[0] == "--list" || args[0] == "--dump") {
        if (args.size() != 2)
            return Usage(args[0] + " takes exactly one model file");
        return args[0] == "--list" ? List(args[1]) : Dump(args[1]);
    }
    std::string model, surface = "0", out;
    int width = 128, height = 128;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--surface" || a == "--size" || a == "-o") {
            if (!hasValue)
                return Usage(a + " needs a value");
            const std::string& value = args[++i];
            if (a == "--surface")
                surface = value;
            else if (a == "-o")
                out = value;
            else if (!ParseSize(value, width, height))
                return Usage("--size takes WxH with W and H from 1 to 8192, not \"" + value + "\"");
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option \"" + a + "\"");
        } else if (model.empty()) {
            model = a;
        } else {
            return Usage("more than one model given (\"" + model + "\" and \"" + a + "\")");
        }
    }
    if (model.empty())
        return Usage("no model given");
    if (out.empty())
        return Usage("no output file given: add -o OUT.eps (or .bmp, .png, .svg)");
    return Flatten(model, surface, width, height, out);
}
