#include "cli/ModelJson.h"

#include "model/JsonText.h"
#include "model/Model.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

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

std::string Coordinates(const CoordList& values) {
    std::string out = "[";
    for (size_t j = 0; j < values.size(); ++j)
        out += (j ? ", " : "") + Fixed6(values[j]);
    return out + "]";
}

std::string Triangles(const Surface& r) {
    std::string out = "[";
    for (size_t k = 0; k < r.triangles.size(); ++k)
        out += std::string(k ? ", " : "") + "[" + std::to_string(r.triangles[k].a) + ", " +
               std::to_string(r.triangles[k].b) + ", " + std::to_string(r.triangles[k].c) + "]";
    return out + "]";
}

std::string SurfaceJson(const Surface& r) {
    using std::to_string;
    std::string out = "    {";
    Field(out, "fileOffset", to_string(r.fileOffset));
    Field(out, "name", JsonString(r.name));
    Field(out, "flags", to_string(r.flags));
    Field(out, "frameCount", to_string(r.frameCount));
    Field(out, "shaderCount", to_string(r.shaderCount));
    Field(out, "vertexCount", to_string(r.vertexCount));
    Field(out, "triangleCount", to_string(r.triangleCount));
    Field(out, "triangleOffset", to_string(r.triangleOffset));
    Field(out, "texCoordOffset", to_string(r.texCoordOffset));
    Field(out, "vertexOffset", to_string(r.vertexOffset));
    Field(out, "endOffset", to_string(r.endOffset));
    Field(out, "shaderName", JsonString(r.shaderName));
    Field(out, "shaderIndex", to_string(r.shaderIndex));
    Field(out, "u", Coordinates(r.u));
    Field(out, "v", Coordinates(r.v));
    Field(out, "triangles", Triangles(r), true);
    return out + "}";
}

} // namespace

std::string ModelAsJson(const Model& model) {
    std::string out =
        "{\"surfaceCount\": " + std::to_string(model.surfaceCount) + ", \"surfaces\": [";
    for (size_t i = 0; i < model.surfaces.size(); ++i)
        out += std::string(i ? ",\n" : "\n") + SurfaceJson(model.surfaces[i]);
    return out + (model.surfaces.empty() ? "]}\n" : "\n]}\n");
}
