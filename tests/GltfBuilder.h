#pragma once
// Writes small glTF 2.0 files for the tests: a binary buffer grown view by
// view, the JSON beside it, then either a .gltf whose buffer is a data: URI
// or a .glb that carries it as its BIN chunk.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct GltfBuilder {
    nlohmann::json doc = {{"asset", {{"version", "2.0"}}}};
    std::vector<uint8_t> bin;

    // Appends raw bytes as a buffer view (4-byte aligned); returns its index.
    int View(const void* data, size_t size, int stride = 0) {
        while (bin.size() % 4)
            bin.push_back(0);
        nlohmann::json view = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", size}};
        if (stride)
            view["byteStride"] = stride;
        const auto* p = static_cast<const uint8_t*>(data);
        bin.insert(bin.end(), p, p + size);
        doc["bufferViews"].push_back(view);
        return int(doc["bufferViews"].size()) - 1;
    }
    template <typename T> int View(const std::vector<T>& values, int stride = 0) {
        return View(values.data(), values.size() * sizeof(T), stride);
    }
    int Accessor(int view, int componentType, size_t count, const char* type,
                 nlohmann::json extra = nlohmann::json::object()) {
        nlohmann::json a = {{"componentType", componentType}, {"count", count}, {"type", type}};
        if (view >= 0)
            a["bufferView"] = view;
        a.update(extra);
        doc["accessors"].push_back(a);
        return int(doc["accessors"].size()) - 1;
    }
    // Floats (5126), tightly packed, as one accessor of `type`.
    int Floats(const std::vector<float>& values, const char* type, int per) {
        return Accessor(View(values), 5126, values.size() / size_t(per), type);
    }
    int Indices(const std::vector<uint32_t>& values) {
        return Accessor(View(values), 5125, values.size(), "SCALAR");
    }
    // A mesh of one primitive; returns the primitive for more fields.
    nlohmann::json& Primitive(nlohmann::json attributes, int indices = -1, const char* name = "") {
        nlohmann::json p = {{"attributes", attributes}};
        if (indices >= 0)
            p["indices"] = indices;
        nlohmann::json mesh = {{"primitives", {p}}};
        if (*name)
            mesh["name"] = name;
        doc["meshes"].push_back(mesh);
        return doc["meshes"].back()["primitives"][0];
    }

    static std::string Base64(const std::vector<uint8_t>& bytes) {
        static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string out;
        for (size_t i = 0; i < bytes.size(); i += 3) {
            const uint32_t n = uint32_t(bytes[i]) << 16 |
                               (i + 1 < bytes.size() ? uint32_t(bytes[i + 1]) << 8 : 0) |
                               (i + 2 < bytes.size() ? bytes[i + 2] : 0);
            out += k[n >> 18 & 63];
            out += k[n >> 12 & 63];
            out += i + 1 < bytes.size() ? k[n >> 6 & 63] : '=';
            out += i + 2 < bytes.size() ? k[n & 63] : '=';
        }
        return out;
    }
    // The .gltf text, its buffer in a data: URI.
    std::string Gltf() const {
        nlohmann::json d = doc;
        d["buffers"] = {{{"byteLength", bin.size()},
                         {"uri", "data:application/octet-stream;base64," + Base64(bin)}}};
        return d.dump();
    }
    std::vector<uint8_t> GltfBytes() const {
        const std::string text = Gltf();
        return {text.begin(), text.end()};
    }
    // The .glb: header, JSON chunk padded with spaces, BIN chunk with zeros;
    // its buffer claims `claimed` bytes when given.
    std::vector<uint8_t> Glb(int64_t claimed = -1) const {
        nlohmann::json d = doc;
        d["buffers"] = {{{"byteLength", claimed < 0 ? int64_t(bin.size()) : claimed}}};
        std::string json = d.dump();
        while (json.size() % 4)
            json += ' ';
        std::vector<uint8_t> data = bin;
        while (data.size() % 4)
            data.push_back(0);
        std::vector<uint8_t> out;
        auto put = [&out](uint32_t x) {
            for (int k = 0; k < 4; ++k)
                out.push_back(uint8_t(x >> (8 * k)));
        };
        out.insert(out.end(), {'g', 'l', 'T', 'F'});
        put(2);
        put(uint32_t(12 + 8 + json.size() + 8 + data.size()));
        put(uint32_t(json.size()));
        put(0x4E4F534A);
        out.insert(out.end(), json.begin(), json.end());
        put(uint32_t(data.size()));
        put(0x004E4942);
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }
};
