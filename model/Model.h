#pragma once
// A loaded MD3 model as a value: what the reader returns, and what the window
// and the command line each own. Its surfaces hold their names, texture names,
// texture coordinates and triangles; every frame's positions and normals and
// the tags stay in the file's bytes, reached through views.
#include "model/Bytes.h"
#include <array>
#include <cstdint>

#include <memory>
#include <span>
#include <string>
#include <vector>

inline constexpr int kMaxSurfaces = 255;
// What the MD3 format itself allows per surface; real models go well past 1024.
inline constexpr int kMaxVertices = 4096;
inline constexpr int kMaxTriangles = 8192;
inline constexpr int kNameSize = 64;

struct Triangle {
    int32_t a = 0, b = 0, c = 0; // vertex indices as stored: checked where drawn
};

// Texture coordinates (u or v), one per vertex: a view of the model's
// decoded coordinates, valid while the model lives.
class CoordList {
  public:
    CoordList() = default;
    CoordList(const double* data, size_t count) : m_data(data), m_count(count) {}
    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    double operator[](size_t j) const { return m_data[j]; }
    const double* begin() const { return m_data; }
    const double* end() const { return m_data + m_count; }

  private:
    const double* m_data = nullptr;
    size_t m_count = 0;
};

// Where each vertex is in the model's first frame, as stored: x, y, z in
// 1/64 units (int16, little-endian), 8 bytes a vertex (the normal follows).
// A view, valid while the model lives; empty when the file holds none.
class PositionList {
  public:
    PositionList() = default;
    PositionList(const uint8_t* data, size_t count) : m_data(data), m_count(count) {}
    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    std::array<int16_t, 3> operator[](size_t j) const {
        const uint8_t* p = m_data + j * 8;
        auto half = [p](int i) { return int16_t(uint16_t(p[i] | (p[i + 1] << 8))); };
        return {half(0), half(2), half(4)};
    }
    // The vertex normal as stored: latitude and longitude, 256 steps a turn.
    std::array<uint8_t, 2> NormalAngles(size_t j) const {
        const uint8_t* p = m_data + j * 8;
        return {p[7], p[6]};
    }

  private:
    const uint8_t* m_data = nullptr;
    size_t m_count = 0;
};

// A surface's triangles where they lie in the file's bytes (12 bytes each,
// little-endian): a view, valid while the model (or whatever holds the
// bytes) lives.
class TriangleList {
  public:
    TriangleList() = default;
    TriangleList(const uint8_t* data, size_t count) : m_data(data), m_count(count) {}
    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    Triangle operator[](size_t k) const {
        const uint8_t* p = m_data + k * 12;
        auto word = [p](int i) {
            return int32_t(uint32_t(p[i]) | uint32_t(p[i + 1]) << 8 | uint32_t(p[i + 2]) << 16 |
                           uint32_t(p[i + 3]) << 24);
        };
        return {word(0), word(4), word(8)};
    }

  private:
    const uint8_t* m_data = nullptr;
    size_t m_count = 0;
};

// Records of the file's bytes: `count` of `size` bytes from `offset`.
struct ByteView {
    size_t offset = 0, count = 0, size = 0;
};

struct Surface {
    std::string name;       // the 64-byte field up to its first zero (63 bytes at most)
    std::string shaderName; // the first shader's name; empty when there is none
    // The surface header as stored.
    int32_t fileOffset = 0, flags = 0, frameCount = 0, shaderCount = 0, vertexCount = 0,
            triangleCount = 0, triangleOffset = 0, texCoordOffset = 0, vertexOffset = 0,
            endOffset = 0, shaderIndex = 0;
    CoordList u, v;         // per vertex: signed, rounded to six decimals
    TriangleList triangles; // as stored
    // frameCount x vertexCount records of 8 bytes: x, y, z (int16, 1/64 unit)
    // and the normal (latitude, longitude bytes); empty when out of the file.
    ByteView vertices;
    PositionList positions; // frame 0, one per vertex, when the file holds them
};

struct Model {
    std::string path;                         // where it was read from, as given
    std::shared_ptr<const Bytes> bytes;       // the file: what the views look into
    std::shared_ptr<const Bytes> coordinates; // every surface's u, then v, decoded
    std::vector<Surface> surfaces;
    // The header's counts as stored (a negative surface count reads no surface).
    int32_t surfaceCount = 0, frameCount = 0, tagCount = 0;
    ByteView frames; // 56-byte frame records: bounds, origin, radius, name
    ByteView tags;   // frameCount x tagCount 112-byte records: name, origin, axes

    // The bytes a view covers; empty when there are none.
    std::span<const uint8_t> View(const ByteView& view) const {
        if (!bytes || view.count == 0)
            return {};
        return bytes->span().subspan(view.offset, view.count * view.size);
    }
    int SurfaceCount() const { return int(surfaces.size()); }
};

// A vertex normal from its stored latitude and longitude (256 steps a turn),
// as the game decodes it: x = cos lat sin lng, y = sin lat sin lng, z = cos lng.
std::array<double, 3> DecodeNormal(uint8_t latitude, uint8_t longitude);

// Calls visit(a, b, c) with the vertex indices of every triangle in file
// order. A triangle with a corner outside the surface's vertices is skipped:
// every drawing walks the triangles through here, so all of them agree.
template <typename Visit> void ForEachTriangle(const Surface& surface, Visit&& visit) {
    const int32_t vertices = int32_t(surface.u.size());
    auto inside = [vertices](int32_t i) { return i >= 0 && i < vertices; };
    for (size_t k = 0; k < surface.triangles.size(); ++k) {
        const Triangle t = surface.triangles[k];
        if (inside(t.a) && inside(t.b) && inside(t.c))
            visit(int(t.a), int(t.b), int(t.c));
    }
}

// The texture name shown for a surface: the shader name after its last '/'.
std::string TextureNameOf(const Surface& surface);

// Text in lower case, byte by byte (names compare without regard to case).
std::string LowerCase(std::string text);

// A texture name as the game compares it: lower case, '/' for '\\', and
// without its extension ("Models\\X\\Body.TGA" -> "models/x/body").
std::string TextureKey(std::string name);

// True when some triangle of the surface covers an area of its texture. A
// layout whose coordinates all lie on one point or one line draws nothing a
// painter can use.
bool LayoutHasArea(const Surface& surface);

// True when a texture name means the texture `wanted` as painters name it:
// any letter case, either slash, with or without its extension, as a full
// path or as its last part.
bool SameTexture(const std::string& name, const std::string& wanted);
