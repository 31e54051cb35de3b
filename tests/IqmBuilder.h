#pragma once
// Writes small IQM files from a description, laid out as the format's own
// exporter lays them out: the header, the text, the meshes, the vertex
// arrays and their data, the triangles, then any animations. For the reader's
// tests and the fuzzer's seeds.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// The header's words after the 16-byte magic, by their place.
enum IqmWord : int {
    kIqmVersion = 0,
    kIqmFileSize = 1,
    kIqmTextCount = 3,
    kIqmTextAt = 4,
    kIqmMeshCount = 5,
    kIqmMeshesAt = 6,
    kIqmArrayCount = 7,
    kIqmVertexCount = 8,
    kIqmArraysAt = 9,
    kIqmTriangleCount = 10,
    kIqmTrianglesAt = 11,
    kIqmJointCount = 13,
    kIqmJointsAt = 14,
    kIqmPoseCount = 15,
    kIqmPosesAt = 16,
    kIqmAnimCount = 17,
    kIqmAnimsAt = 18,
    kIqmFrameCount = 19,
    kIqmFrameChannels = 20,
    kIqmFramesAt = 21,
};

enum IqmFormat : uint32_t {
    kIqmByte = 0,
    kIqmUByte = 1,
    kIqmShort = 2,
    kIqmHalf = 6,
    kIqmFloat = 7,
    kIqmDouble = 8
};

struct IqmMeshDesc {
    std::string name, material;
    uint32_t firstVertex = 0, vertexCount = 0, firstTriangle = 0, triangleCount = 0;
};

// A joint's bind pose, relative to its parent: translation, quaternion
// (x, y, z, w), scale.
struct IqmJointDesc {
    std::string name;
    int32_t parent = -1;
    std::array<float, 10> pose{0, 0, 0, 0, 0, 0, 1, 1, 1, 1};
};

struct IqmDesc {
    std::vector<IqmMeshDesc> meshes;
    std::vector<std::array<float, 3>> positions, normals; // one per vertex, or none
    std::vector<std::array<float, 2>> texCoords;          // one per vertex
    uint32_t texCoordFormat = kIqmFloat;                  // float, double, half or ubyte
    std::vector<std::array<uint32_t, 3>> triangles;       // indices over the whole file
    uint32_t anims = 0, frames = 0;                       // each frame of one channel
    // A skeleton: then `framePoses[frame][joint]` (its ten channels) are the
    // frames, stored as the exporter stores them (a channel that changes
    // takes 16 bits a frame, from its lowest value up), and the vertices are
    // bound to joints by four indices and weights (of 255) each.
    std::vector<IqmJointDesc> joints;
    std::vector<std::vector<std::array<float, 10>>> framePoses;
    std::vector<std::array<uint8_t, 4>> blendIndices, blendWeights;
};

struct IqmFile {
    std::vector<uint8_t> bytes;
    // Where each block starts: "text", "meshes", "vertex arrays", "positions",
    // "texture coordinates", "normals", "triangles", "animations", "frames".
    std::map<std::string, uint32_t> at;
};

inline void PutIqmU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        out[at + size_t(k)] = uint8_t(value >> (8 * k));
}

inline uint32_t IqmU32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

inline void SetIqmWord(std::vector<uint8_t>& bytes, int word, uint32_t value) {
    PutIqmU32(bytes, 16 + 4 * size_t(word), value);
}

// A float as an IEEE half, for values a half holds exactly (no rounding).
inline uint16_t IqmHalf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    const uint16_t sign = uint16_t((bits >> 16) & 0x8000);
    if ((bits & 0x7FFFFFFF) == 0)
        return sign;
    const int exponent = int((bits >> 23) & 0xFF) - 127 + 15;
    return uint16_t(sign | uint16_t(exponent << 10) | uint16_t((bits >> 13) & 0x3FF));
}

inline IqmFile BuildIqm(const IqmDesc& d) {
    IqmFile file;
    std::vector<uint8_t>& out = file.bytes;
    out.assign(124, 0);
    std::memcpy(out.data(), "INTERQUAKEMODEL", 16);
    auto align = [&out] { out.resize((out.size() + 3) / 4 * 4, 0); };
    auto word = [&out](uint32_t v) {
        out.resize(out.size() + 4);
        PutIqmU32(out, out.size() - 4, v);
    };
    auto raw = [&out](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    };
    // The text: the empty string first, then each mesh's name and material.
    std::vector<std::array<uint32_t, 2>> names;
    std::string text(1, '\0');
    for (const IqmMeshDesc& m : d.meshes) {
        names.push_back({uint32_t(text.size()), uint32_t(text.size() + m.name.size() + 1)});
        text += m.name + '\0' + m.material + '\0';
    }
    file.at["text"] = uint32_t(out.size());
    raw(text.data(), text.size());
    align();
    file.at["meshes"] = uint32_t(out.size());
    for (size_t i = 0; i < d.meshes.size(); ++i) {
        const IqmMeshDesc& m = d.meshes[i];
        for (uint32_t v : {names[i][0], names[i][1], m.firstVertex, m.vertexCount, m.firstTriangle,
                           m.triangleCount})
            word(v);
    }
    struct Array {
        uint32_t type, format, size;
        const char* name;
    };
    std::vector<Array> arrays;
    if (!d.positions.empty())
        arrays.push_back({0, kIqmFloat, 3, "positions"});
    arrays.push_back({1, d.texCoordFormat, 2, "texture coordinates"});
    if (!d.normals.empty())
        arrays.push_back({2, kIqmFloat, 3, "normals"});
    if (!d.blendIndices.empty()) {
        arrays.push_back({4, kIqmUByte, 4, "blend indices"});
        arrays.push_back({5, kIqmUByte, 4, "blend weights"});
    }
    file.at["vertex arrays"] = uint32_t(out.size());
    const size_t arraysAt = out.size();
    for (const Array& a : arrays)
        for (uint32_t v : {a.type, 0u, a.format, a.size, 0u})
            word(v);
    for (size_t i = 0; i < arrays.size(); ++i) {
        align();
        if (arrays[i].format == kIqmDouble)
            out.resize((out.size() + 7) / 8 * 8, 0);
        file.at[arrays[i].name] = uint32_t(out.size());
        PutIqmU32(out, arraysAt + i * 20 + 16, uint32_t(out.size()));
        if (arrays[i].type == 1) {
            for (const auto& uv : d.texCoords)
                for (const float c : uv) {
                    if (d.texCoordFormat == kIqmDouble) {
                        const double x = c;
                        raw(&x, 8);
                    } else if (d.texCoordFormat == kIqmHalf) {
                        const uint16_t h = IqmHalf(c);
                        raw(&h, 2);
                    } else if (d.texCoordFormat == kIqmUByte) {
                        out.push_back(uint8_t(std::lround(c * 255)));
                    } else {
                        raw(&c, 4);
                    }
                }
        } else if (arrays[i].type >= 4) {
            for (const auto& b : arrays[i].type == 4 ? d.blendIndices : d.blendWeights)
                raw(b.data(), 4);
        } else {
            for (const auto& p : arrays[i].type == 0 ? d.positions : d.normals)
                raw(p.data(), 12);
        }
    }
    align();
    file.at["triangles"] = uint32_t(out.size());
    for (const auto& t : d.triangles)
        for (const uint32_t v : t)
            word(v);
    file.at["animations"] = uint32_t(out.size());
    for (uint32_t a = 0; a < d.anims; ++a) {
        const float rate = 24;
        uint32_t rateBits;
        std::memcpy(&rateBits, &rate, 4);
        for (uint32_t v : {0u, 0u, d.frames, rateBits, 0u})
            word(v);
    }
    // The skeleton's joints and poses; each joint's name follows the text.
    const uint32_t jointCount = uint32_t(d.joints.size());
    uint32_t channels = d.frames ? 1u : 0u;
    std::vector<std::array<float, 10>> low(jointCount), high(jointCount);
    file.at["joints"] = uint32_t(out.size());
    for (const IqmJointDesc& j : d.joints) {
        word(uint32_t(text.size()));
        text += j.name + '\0';
        word(uint32_t(j.parent));
        raw(j.pose.data(), 40);
    }
    file.at["poses"] = uint32_t(out.size());
    if (jointCount > 0) {
        channels = 0;
        for (uint32_t j = 0; j < jointCount; ++j) {
            low[j] = high[j] = d.joints[j].pose;
            for (size_t c = 0; c < 10 && !d.framePoses.empty(); ++c) {
                low[j][c] = high[j][c] = d.framePoses[0][j][c];
                for (const auto& f : d.framePoses) {
                    low[j][c] = std::min(low[j][c], f[j][c]);
                    high[j][c] = std::max(high[j][c], f[j][c]);
                }
            }
            uint32_t mask = 0;
            std::array<float, 10> scale{};
            for (size_t c = 0; c < 10; ++c)
                if (high[j][c] > low[j][c]) {
                    mask |= 1u << c;
                    scale[c] = (high[j][c] - low[j][c]) / 65535.0f;
                    ++channels;
                }
            word(uint32_t(d.joints[j].parent));
            word(mask);
            raw(low[j].data(), 40);
            raw(scale.data(), 40);
        }
    }
    file.at["frames"] = uint32_t(out.size());
    if (jointCount == 0) {
        out.resize(out.size() + 2 * size_t(d.frames), 0);
    } else {
        for (const auto& f : d.framePoses)
            for (uint32_t j = 0; j < jointCount; ++j)
                for (size_t c = 0; c < 10; ++c)
                    if (high[j][c] > low[j][c]) {
                        const uint16_t v = uint16_t(std::lround(
                            double(f[j][c] - low[j][c]) / (high[j][c] - low[j][c]) * 65535.0));
                        raw(&v, 2);
                    }
    }
    align();
    // The joints' names lengthened the text after it was written, so all of
    // it is written again here, and the header points here.
    if (jointCount > 0) {
        file.at["text"] = uint32_t(out.size());
        raw(text.data(), text.size());
        align();
    }
    const uint32_t vertices = uint32_t(d.texCoords.size());
    const std::array<std::pair<int, uint32_t>, 20> header{{
        {kIqmVersion, 2},
        {kIqmFileSize, uint32_t(out.size())},
        {kIqmTextCount, uint32_t(text.size())},
        {kIqmTextAt, file.at["text"]},
        {kIqmMeshCount, uint32_t(d.meshes.size())},
        {kIqmMeshesAt, d.meshes.empty() ? 0 : file.at["meshes"]},
        {kIqmArrayCount, d.meshes.empty() ? 0 : uint32_t(arrays.size())},
        {kIqmVertexCount, vertices},
        {kIqmArraysAt, d.meshes.empty() ? 0 : file.at["vertex arrays"]},
        {kIqmTriangleCount, uint32_t(d.triangles.size())},
        {kIqmTrianglesAt, file.at["triangles"]},
        {kIqmAnimCount, d.anims},
        {kIqmAnimsAt, d.anims ? file.at["animations"] : 0},
        {kIqmFrameCount, d.frames},
        {kIqmFrameChannels, channels},
        {kIqmJointCount, jointCount},
        {kIqmJointsAt, jointCount ? file.at["joints"] : 0},
        {kIqmPoseCount, jointCount},
        {kIqmPosesAt, jointCount ? file.at["poses"] : 0},
        {kIqmFramesAt, d.frames ? file.at["frames"] : 0},
    }};
    for (const auto& [w, v] : header)
        SetIqmWord(out, w, v);
    return file;
}
