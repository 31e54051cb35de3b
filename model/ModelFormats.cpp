#include "model/ModelFormats.h"

#include "model/FileReader.h"
#include "model/GltfReader.h"
#include "model/IqmReader.h"
#include "model/Md2Reader.h"
#include "model/Md3Reader.h"
#include "model/Md5Reader.h"
#include "model/MdcReader.h"
#include "model/MdlReader.h"
#include "model/ObjReader.h"

#include <climits>
#include <cstring>

namespace {

const std::vector<ModelFormat>& Table() {
    static const std::vector<ModelFormat> table = {
        {"MD3", "Quake III models", {"md3"}, "IDP3", "model/x-quake3-md3", ReadMd3},
        {"MDL", "Quake models", {"mdl"}, "IDPO", "model/x-quake-mdl", ReadMdl},
        {"MD2", "Quake II models", {"md2"}, "IDP2", "model/x-quake2-md2", ReadMd2},
        {"MDC", "Wolfenstein models", {"mdc"}, "IDPC", "model/x-wolf-mdc", ReadMdc},
        {"MD5", "Doom 3 meshes", {"md5mesh"}, "MD5Version", "model/x-doom3-md5mesh", ReadMd5},
        {"IQM", "Inter-Quake models", {"iqm"}, {"INTERQUAKEMODEL\0", 16}, "model/x-iqm", ReadIqm},
        {"OBJ", "Wavefront OBJ models", {"obj"}, "", "model/obj", ReadObj},
        {"glTF", "glTF 2.0 scenes", {"gltf"}, "", "model/gltf+json", ReadGltf},
        {"GLB", "glTF 2.0 binary scenes", {"glb"}, "glTF", "model/gltf-binary", ReadGltf},
    };
    return table;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

} // namespace

std::span<const ModelFormat> ModelFormats() {
    return Table();
}

const ModelFormat* ModelFormatOfBytes(std::span<const uint8_t> bytes) {
    for (const ModelFormat& format : Table())
        if (!format.magic.empty() && bytes.size() >= format.magic.size() &&
            std::memcmp(bytes.data(), format.magic.data(), format.magic.size()) == 0)
            return &format;
    return nullptr;
}

bool HasModelExtension(std::string_view name) {
    const std::string lower = Lower(name);
    const auto dot = lower.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string_view extension = std::string_view(lower).substr(dot + 1);
    for (const ModelFormat& format : Table())
        for (const std::string_view known : format.extensions)
            if (extension == known)
                return true;
    return false;
}

std::string ModelFilePatterns() {
    std::string out;
    for (const ModelFormat& format : Table())
        for (const std::string_view extension : format.extensions)
            out += (out.empty() ? "*." : " *.") + std::string(extension);
    return out;
}

Result<Model> ReadModel(const SourceBytes& source) {
    const std::span<const uint8_t> bytes =
        source.bytes ? source.bytes->span() : std::span<const uint8_t>{};
    if (const ModelFormat* format = ModelFormatOfBytes(bytes)) {
        Result<Model> model = format->read(source);
        if (model.ok())
            model.value().format = std::string(format->name);
        return model;
    }
    // A file named as some format's but not starting as one: that format's
    // reader says what is wrong in its own words.
    const std::string lower = Lower(source.path);
    for (const ModelFormat& format : Table())
        for (const std::string_view extension : format.extensions)
            if (lower.size() > extension.size() &&
                lower.compare(lower.size() - extension.size(), extension.size(), extension) == 0 &&
                lower[lower.size() - extension.size() - 1] == '.') {
                // A text format without a magic (OBJ, glTF's JSON) is known by its name.
                Result<Model> model = format.read(source);
                if (model.ok())
                    model.value().format = std::string(format.name);
                return model;
            }
    // Formats known by their first bytes, then those known by name alone.
    auto list = [](const std::vector<std::string>& items, const char* last) {
        std::string out;
        for (size_t i = 0; i < items.size(); ++i)
            out += (i == 0 ? "" : i + 1 == items.size() ? last : ", ") + items[i];
        return out;
    };
    std::vector<std::string> byMagic, byName;
    for (const ModelFormat& format : Table()) {
        if (!format.magic.empty()) {
            byMagic.emplace_back(format.name);
            continue;
        }
        for (const std::string_view extension : format.extensions)
            byName.push_back("." + std::string(extension));
    }
    std::string reason = "it is not a model Gridwright reads: it does not start as an " +
                         list(byMagic, " or ") + " file does";
    if (!byName.empty())
        reason += ", nor is it named " + list(byName, " or ");
    return Error{"", source.path,
                 reason + "; open the model's own file (" + ModelFilePatterns() + ")"};
}

Result<Model> LoadModelFile(const std::string& path) {
    Result<SourceBytes> read =
        ReadFileBytes(path, INT32_MAX, "it is larger than the 2 GB a model file may take");
    if (!read.ok())
        return read.error();
    read.value().companions = DiskCompanions(path);
    return ReadModel(read.value());
}
