#include "cli/ModelJson.h"

#include "model/SurfaceStore.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c > 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

void Field(std::string& out, const char* name, const std::string& value, bool last = false) {
    out += "\"";
    out += name;
    out += "\": " + value + (last ? "" : ", ");
}

std::string Fixed6(double value) {
    char digits[64];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6).ptr;
    return std::string(digits, end);
}

std::string Coordinates(const double* values, int count) {
    std::string out = "[";
    for (int j = 0; j < count; ++j)
        out += (j ? ", " : "") + Fixed6(values[j]);
    return out + "]";
}

std::string Triangles(const SurfaceRecord& r) {
    std::string out = "[";
    for (int k = 0; k < TriangleLimit(r); ++k)
        out += std::string(k ? ", " : "") + "[" + std::to_string(r.cornerA[k]) + ", " +
               std::to_string(r.cornerB[k]) + ", " + std::to_string(r.cornerC[k]) + "]";
    return out + "]";
}

std::string Surface(const SurfaceRecord& r) {
    using std::to_string;
    const int vertices = VertexLimit(r);
    std::string out = "    {";
    Field(out, "fileOffset", to_string(r.fileOffset));
    Field(out, "name", JsonString(NameText(r.name)));
    Field(out, "flags", to_string(r.flags));
    Field(out, "frameCount", to_string(r.frameCount));
    Field(out, "shaderCount", to_string(r.shaderCount));
    Field(out, "vertexCount", to_string(r.vertexCount));
    Field(out, "triangleCount", to_string(r.triangleCount));
    Field(out, "triangleOffset", to_string(r.triangleOffset));
    Field(out, "texCoordOffset", to_string(r.texCoordOffset));
    Field(out, "vertexOffset", to_string(r.vertexOffset));
    Field(out, "endOffset", to_string(r.endOffset));
    Field(out, "shaderName", JsonString(NameText(r.shaderName)));
    Field(out, "shaderIndex", to_string(r.shaderIndex));
    Field(out, "u", Coordinates(r.u, vertices));
    Field(out, "v", Coordinates(r.v, vertices));
    Field(out, "triangles", Triangles(r), true);
    return out + "}";
}

} // namespace

std::string StoreAsJson() {
    std::string out = "{\"surfaceCount\": " + std::to_string(g_surfaceCount) + ", \"surfaces\": [";
    const int count = LoadedSurfaceCount();
    for (int i = 0; i < count; ++i)
        out += std::string(i ? ",\n" : "\n") + Surface(g_surfaces[i]);
    return out + (count ? "\n]}\n" : "]}\n");
}
