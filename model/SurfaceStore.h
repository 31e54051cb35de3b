#pragma once
// The one loaded model, kept in fixed process-wide tables. The reader writes
// them; the preview, the raster and the template writers only read them.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kMaxSurfaces = 255;
// What the MD3 format itself allows per surface; real models go well past 1024.
inline constexpr int kMaxVertices = 4096;
inline constexpr int kMaxTriangles = 8192;
inline constexpr int kNameSize = 64;

struct SurfaceRecord {
    int32_t fileOffset;
    char name[kNameSize];
    int32_t flags;
    int32_t frameCount;
    int32_t shaderCount;
    int32_t vertexCount;
    int32_t triangleCount;
    int32_t triangleOffset;
    int32_t texCoordOffset;
    int32_t vertexOffset;
    int32_t endOffset;
    char shaderName[kNameSize];
    int32_t shaderIndex;
    double u[kMaxVertices];
    double v[kMaxVertices];
    int32_t cornerA[kMaxTriangles];
    int32_t cornerB[kMaxTriangles];
    int32_t cornerC[kMaxTriangles];
};

extern SurfaceRecord g_surfaces[kMaxSurfaces];
extern int32_t g_surfaceCount;
extern std::string g_modelPath;
extern int32_t g_selectedSurface; // -1: no surface selected
extern int32_t g_exportSurface;

// The record at a table index, or nullptr outside the table.
const SurfaceRecord* SurfaceAt(int32_t index);

// A list of the one surface, or an empty list for none.
inline std::vector<const SurfaceRecord*> OneSurface(const SurfaceRecord* record) {
    return record ? std::vector<const SurfaceRecord*>{record} : std::vector<const SurfaceRecord*>{};
}

// The counts every consumer loops over, confined to the tables.
int LoadedSurfaceCount();
int TriangleLimit(const SurfaceRecord& record);
int VertexLimit(const SurfaceRecord& record);

// Calls visit(a, b, c) with the vertex indices of every triangle in file
// order. A triangle with a corner outside the surface's vertices is skipped:
// every drawing walks the triangles through here, so all of them agree.
template <typename Visit> void ForEachTriangle(const SurfaceRecord& record, Visit&& visit) {
    const int triangles = TriangleLimit(record), vertices = VertexLimit(record);
    auto inside = [vertices](int32_t i) { return i >= 0 && i < vertices; };
    for (int k = 0; k < triangles; ++k) {
        const int32_t a = record.cornerA[k], b = record.cornerB[k], c = record.cornerC[k];
        if (inside(a) && inside(b) && inside(c))
            visit(int(a), int(b), int(c));
    }
}

// The texture name shown for a surface: the shader name after its last '/'.
std::string TextureNameOf(const SurfaceRecord& record);

// Text in lower case, byte by byte (names compare without regard to case).
std::string LowerCase(std::string text);

// A texture name as the game compares it: lower case, '/' for '\\', and
// without its extension ("Models\\X\\Body.TGA" -> "models/x/body").
std::string TextureKey(std::string name);

// A zero-terminated name field as text (never reads past the field).
std::string NameText(const char (&field)[kNameSize]);

// True when some triangle of the surface covers an area of its texture. A
// layout whose coordinates all lie on one point or one line draws nothing a
// painter can use.
bool LayoutHasArea(const SurfaceRecord& record);

// True when a texture name means the texture `wanted` as painters name it:
// any letter case, either slash, with or without its extension, as a full
// path or as its last part.
bool SameTexture(const std::string& name, const std::string& wanted);
