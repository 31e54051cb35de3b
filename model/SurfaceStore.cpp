#include "model/SurfaceStore.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

// Zero-initialised static storage: the kernel maps its pages only when the
// reader writes them, so a small model costs only the memory it uses.
SurfaceRecord g_surfaces[kMaxSurfaces];
int32_t g_surfaceCount = 0;
std::string g_modelPath;
int32_t g_selectedSurface = -1;
int32_t g_exportSurface = 0;

const SurfaceRecord* SurfaceAt(int32_t index) {
    if (index < 0 || index >= kMaxSurfaces)
        return nullptr;
    return &g_surfaces[index];
}

int LoadedSurfaceCount() {
    return std::clamp(g_surfaceCount, 0, kMaxSurfaces);
}

int TriangleLimit(const SurfaceRecord& record) {
    return std::clamp(record.triangleCount, 0, kMaxTriangles);
}

int VertexLimit(const SurfaceRecord& record) {
    return std::clamp(record.vertexCount, 0, kMaxVertices);
}

std::string NameText(const char (&field)[kNameSize]) {
    return std::string(field, strnlen(field, kNameSize));
}

std::string TextureNameOf(const SurfaceRecord& record) {
    const std::string shader = NameText(record.shaderName);
    const auto slash = shader.rfind('/');
    return slash == std::string::npos ? shader : shader.substr(slash + 1);
}

std::string LowerCase(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string TextureKey(std::string name) {
    name = LowerCase(std::move(name));
    for (char& c : name)
        if (c == '\\')
            c = '/';
    const auto slash = name.rfind('/'), dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        name.erase(dot);
    return name;
}

bool LayoutHasArea(const SurfaceRecord& record) {
    bool area = false;
    ForEachTriangle(record, [&](int a, int b, int c) {
        const double du1 = record.u[b] - record.u[a], dv1 = record.v[b] - record.v[a];
        const double du2 = record.u[c] - record.u[a], dv2 = record.v[c] - record.v[a];
        // Coordinates are quantised to 1e-6: anything less than a texel of
        // the largest texture is no area.
        if (std::fabs(du1 * dv2 - du2 * dv1) > 1e-12)
            area = true;
    });
    return area;
}

bool SameTexture(const std::string& name, const std::string& wanted) {
    const std::string key = TextureKey(wanted);
    if (key.empty())
        return false;
    const std::string full = TextureKey(name);
    const auto slash = full.rfind('/');
    return full == key || (slash != std::string::npos && full.substr(slash + 1) == key);
}
