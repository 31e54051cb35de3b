#include "tests/Md3Builder.h"

#include <cstring>
#include <fstream>

namespace {

void PutI32(std::vector<uint8_t>& out, int32_t value) {
    const uint32_t raw = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(raw >> (8 * i)));
}

void PutF32(std::vector<uint8_t>& out, float value) {
    int32_t raw;
    std::memcpy(&raw, &value, 4);
    PutI32(out, raw);
}

void PutName(std::vector<uint8_t>& out, const std::string& name) {
    for (size_t i = 0; i < 64; ++i)
        out.push_back(i < name.size() ? uint8_t(name[i]) : 0);
}

std::vector<uint8_t> SurfaceBytes(const Md3SurfaceDesc& s) {
    const int32_t headerSize = 108;
    const int32_t shaderBytes = int32_t(s.shaders.size()) * 68;
    const int32_t triangleBytes = int32_t(s.triangles.size()) * 12;
    const int32_t uvBytes = int32_t(s.uv.size()) * 8;
    const int32_t vertexBytes = int32_t(s.uv.size()) * s.frames * 8;
    int32_t at = headerSize;
    int32_t ofsShaders = 0;
    if (!s.shadersAfterLists) {
        ofsShaders = at;
        at += shaderBytes;
    }
    const int32_t ofsTriangles = at;
    at += triangleBytes;
    const int32_t ofsUv = at;
    at += uvBytes;
    const int32_t ofsVertices = at;
    at += vertexBytes;
    if (s.shadersAfterLists) {
        ofsShaders = at;
        at += shaderBytes;
    }
    std::vector<uint8_t> out;
    out.insert(out.end(), {'I', 'D', 'P', '3'});
    PutName(out, s.name);
    PutI32(out, s.flags);
    PutI32(out, s.frames);
    PutI32(out, int32_t(s.shaders.size()));
    PutI32(out, int32_t(s.uv.size()));
    PutI32(out, int32_t(s.triangles.size()));
    PutI32(out, ofsTriangles);
    PutI32(out, ofsShaders);
    PutI32(out, ofsUv);
    PutI32(out, ofsVertices);
    PutI32(out, at);
    auto putShaders = [&] {
        for (const Md3Shader& shader : s.shaders) {
            PutName(out, shader.name);
            PutI32(out, shader.index);
        }
    };
    if (!s.shadersAfterLists)
        putShaders();
    for (const auto& t : s.triangles)
        for (int32_t corner : t)
            PutI32(out, corner);
    for (const auto& uv : s.uv) {
        PutF32(out, uv[0]);
        PutF32(out, uv[1]);
    }
    // Frame 0's positions, when given (the other frames and normals stay zero).
    const size_t vertices = out.size();
    out.resize(out.size() + size_t(vertexBytes), 0);
    for (size_t j = 0; j < s.positions.size() && j < s.uv.size(); ++j)
        for (int k = 0; k < 3; ++k) {
            const uint16_t raw = uint16_t(s.positions[j][size_t(k)]);
            out[vertices + j * 8 + size_t(k) * 2] = uint8_t(raw & 0xFF);
            out[vertices + j * 8 + size_t(k) * 2 + 1] = uint8_t(raw >> 8);
        }
    for (size_t j = 0; j < s.normals.size() && j < s.uv.size(); ++j) {
        out[vertices + j * 8 + 6] = s.normals[j][1]; // longitude, the low byte
        out[vertices + j * 8 + 7] = s.normals[j][0]; // latitude
    }
    if (s.shadersAfterLists)
        putShaders();
    return out;
}

} // namespace

BuiltMd3 BuildMd3(const Md3ModelDesc& model) {
    BuiltMd3 built;
    std::vector<uint8_t>& out = built.bytes;
    const int32_t headerSize = 108, frameSize = 56;
    out.insert(out.end(), {'I', 'D', 'P', '3'});
    PutI32(out, 15);
    PutName(out, model.name);
    PutI32(out, 0); // flags
    PutI32(out, 1); // frames
    const int32_t tagBytes = int32_t(model.tags.size()) * 112;
    PutI32(out, int32_t(model.tags.size()));        // tags
    PutI32(out, int32_t(model.surfaces.size()));    // at 84
    PutI32(out, 0);                                 // skins
    PutI32(out, headerSize);                        // frames at
    PutI32(out, headerSize + frameSize);            // tags at
    PutI32(out, headerSize + frameSize + tagBytes); // surfaces at (100)
    const size_t endAt = out.size();
    PutI32(out, 0); // end, patched below
    out.resize(out.size() + frameSize, 0);
    for (const Md3TagDesc& tag : model.tags) {
        PutName(out, tag.name);
        for (const float v : tag.origin)
            PutF32(out, v);
        for (const auto& row : tag.axis)
            for (const float v : row)
                PutF32(out, v);
    }
    for (const Md3SurfaceDesc& s : model.surfaces) {
        built.surfaceOffsets.push_back(out.size());
        const std::vector<uint8_t> bytes = SurfaceBytes(s);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    PatchI32(out, endAt, int32_t(out.size()));
    return built;
}

void PatchI32(std::vector<uint8_t>& bytes, size_t at, int32_t value) {
    const uint32_t raw = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes.at(at + size_t(i)) = uint8_t(raw >> (8 * i));
}

void PatchF32(std::vector<uint8_t>& bytes, size_t at, float value) {
    int32_t raw;
    std::memcpy(&raw, &value, 4);
    PatchI32(bytes, at, raw);
}

bool WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

Md3SurfaceDesc GridSurface(const std::string& name, int cells, const std::string& shader) {
    Md3SurfaceDesc s;
    s.name = name;
    s.shaders.push_back({shader, 0});
    const int side = cells + 1;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            s.uv.push_back({float(x) / float(cells), float(y) / float(cells)});
    for (int y = 0; y < cells; ++y)
        for (int x = 0; x < cells; ++x) {
            const int32_t i = y * side + x;
            s.triangles.push_back({i, i + 1, i + side});
            s.triangles.push_back({i + 1, i + side + 1, i + side});
        }
    return s;
}
