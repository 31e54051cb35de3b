#pragma once
// The one loaded model, kept in fixed process-wide tables. The reader writes
// them; the preview, the raster and the template writers only read them.
#include <cstdint>
#include <string>

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

// The counts every consumer loops over, confined to the arrays.
int TriangleLimit(const SurfaceRecord& record);

// The three vertex indices of triangle k, or false when any of them lies
// outside the surface's vertices (such a triangle is skipped everywhere).
bool TriangleCorners(const SurfaceRecord& record, int k, int& a, int& b, int& c);

// The texture name shown for a surface: the shader name after its last '/'.
std::string TextureNameOf(const SurfaceRecord& record);

// A zero-terminated name field as text (never reads past the field).
std::string NameText(const char (&field)[kNameSize]);
