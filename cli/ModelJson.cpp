#include "cli/ModelJson.h"

#include "model/JsonText.h"
#include "model/Md3Reader.h"
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

std::string Coordinates(const std::vector<double>& values) {
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

std::string Names(const std::vector<std::string>& names) {
    std::string out = "[";
    for (size_t k = 0; k < names.size(); ++k)
        out += (k ? ", " : "") + JsonString(names[k]);
    return out + "]";
}

// MD3: the surface header's fields as stored, then what was read.
std::string Md3SurfaceJson(const Surface& r, const Md3SurfaceHeader& h) {
    using std::to_string;
    std::string out = "    {";
    Field(out, "fileOffset", to_string(h.fileOffset));
    Field(out, "name", JsonString(r.name));
    Field(out, "flags", to_string(h.flags));
    Field(out, "frameCount", to_string(h.frameCount));
    Field(out, "shaderCount", to_string(h.shaderCount));
    Field(out, "vertexCount", to_string(h.vertexCount));
    Field(out, "triangleCount", to_string(h.triangleCount));
    Field(out, "triangleOffset", to_string(h.triangleOffset));
    Field(out, "texCoordOffset", to_string(h.texCoordOffset));
    Field(out, "vertexOffset", to_string(h.vertexOffset));
    Field(out, "endOffset", to_string(h.endOffset));
    Field(out, "shaderName", JsonString(r.shaderName));
    Field(out, "shaderIndex", to_string(h.shaderIndex));
    Field(out, "u", Coordinates(r.u));
    Field(out, "v", Coordinates(r.v));
    Field(out, "triangles", Triangles(r), true);
    return out + "}";
}

// Any other format: what every reader gives.
std::string SurfaceJson(const Surface& r) {
    using std::to_string;
    std::string out = "    {";
    Field(out, "name", JsonString(r.name));
    Field(out, "shaderName", JsonString(r.shaderName));
    // Only where the format has them (OBJ, glTF): other dumps stay as they were.
    if (!r.texture.empty())
        Field(out, "texture", JsonString(r.texture));
    if (r.uvSets.size() > 1)
        Field(out, "uvSetCount", to_string(r.uvSets.size()));
    Field(out, "vertexCount", to_string(r.u.size()));
    Field(out, "triangleCount", to_string(r.triangles.size()));
    Field(out, "u", Coordinates(r.u));
    Field(out, "v", Coordinates(r.v));
    Field(out, "triangles", Triangles(r), true);
    return out + "}";
}

std::string SkinsJson(const Model& model) {
    std::string out = "[";
    for (size_t k = 0; k < model.skins.size(); ++k) {
        const EmbeddedSkin& skin = model.skins[k];
        out += std::string(k ? ", " : "") + "{\"name\": " + JsonString(skin.name) +
               ", \"width\": " + std::to_string(skin.width) +
               ", \"height\": " + std::to_string(skin.height) + "}";
    }
    return out + "]";
}

} // namespace

std::string ModelAsJson(const Model& model) {
    std::string out;
    if (model.md3) {
        out = "{\"surfaceCount\": " + std::to_string(model.md3->surfaceCount) + ", \"surfaces\": [";
        for (size_t i = 0; i < model.surfaces.size(); ++i)
            out += std::string(i ? ",\n" : "\n") +
                   Md3SurfaceJson(model.surfaces[i], model.md3->surfaces.at(i));
    } else {
        out = "{\"format\": " + JsonString(model.format) +
              ", \"surfaceCount\": " + std::to_string(model.surfaces.size()) +
              ", \"frameCount\": " + std::to_string(model.FrameCount()) +
              ", \"frameNames\": " + Names(model.frameNames) +
              ", \"skinNames\": " + Names(model.skinNames) + ", \"skins\": " + SkinsJson(model) +
              (model.notes.empty() ? "" : ", \"notes\": " + Names(model.notes)) +
              ", \"surfaces\": [";
        for (size_t i = 0; i < model.surfaces.size(); ++i)
            out += std::string(i ? ",\n" : "\n") + SurfaceJson(model.surfaces[i]);
    }
    return out + (model.surfaces.empty() ? "]}\n" : "\n]}\n");
}
