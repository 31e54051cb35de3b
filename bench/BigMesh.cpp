#include "bench/BigMesh.h"

#include "model/QuantizeTexCoord.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace {

constexpr int kIslandSide = 16;                             // cells a side
constexpr int64_t kIslandCells = kIslandSide * kIslandSide; // two triangles each

struct SphereGrid {
    int columns = 1, rows = 1; // cells around and from pole to pole
};

// Where a corner of the whole grid lies: the same corner of two islands is
// the same point, bit for bit, so seams between islands are found.
void SpherePoint(const SphereGrid& grid, int gx, int gy, Point3& position, Point3& normal) {
    const double theta = 2 * std::numbers::pi * double(gx % grid.columns) / grid.columns;
    const double phi = std::numbers::pi * double(gy + 1) / double(grid.rows + 2);
    const double x = std::sin(phi) * std::cos(theta), y = std::sin(phi) * std::sin(theta),
                 z = std::cos(phi);
    const double radius = 100.0 * (1.0 + 0.04 * std::sin(7 * theta) * std::sin(5 * phi));
    position = {float(radius * x), float(radius * y), float(radius * z)};
    normal = {float(x), float(y), float(z)};
}

void Append(std::string& out, float value) {
    char text[32];
    const auto done = std::to_chars(text, text + sizeof text, value);
    out.append(text, done.ptr);
}

void Append(std::string& out, int64_t value) {
    char text[24];
    const auto done = std::to_chars(text, text + sizeof text, value);
    out.append(text, done.ptr);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

} // namespace

Model BigMeshModel(int64_t triangles, int surfaces) {
    triangles = std::max<int64_t>(1, triangles);
    surfaces = std::max(1, surfaces);
    Model model;
    model.path = "bigmesh-" + std::to_string(triangles) + "x" + std::to_string(surfaces);
    // Islands laid around the sphere in bands, every surface after the one before.
    const int64_t cellsAll = (triangles + 1) / 2;
    const int64_t islandsAll = (cellsAll + kIslandCells - 1) / kIslandCells + surfaces;
    const int islandColumns =
        std::max(1, int(std::ceil(std::sqrt(double(islandsAll) * 2)))); // twice as wide as tall
    const int islandRows = int((islandsAll + islandColumns - 1) / islandColumns);
    const SphereGrid grid{islandColumns * kIslandSide, islandRows * kIslandSide};
    int64_t island = 0; // over the whole model
    for (int s = 0; s < surfaces; ++s) {
        Surface surface;
        surface.name = "surface_" + std::to_string(s);
        surface.shaderName = "models/bigmesh/skin_" + std::to_string(s);
        const int64_t own = triangles / surfaces + (s < triangles % surfaces ? 1 : 0);
        const int64_t cells = (own + 1) / 2;
        const int64_t islands = std::max<int64_t>(1, (cells + kIslandCells - 1) / kIslandCells);
        const int tiles = std::max(1, int(std::ceil(std::sqrt(double(islands)))));
        const double tile = 1.0 / tiles, margin = tile * 0.1,
                     cellSize = (tile - 2 * margin) / kIslandSide;
        int64_t made = 0;
        for (int64_t i = 0; i < islands; ++i, ++island) {
            const int64_t cellsHere = std::min(kIslandCells, cells - i * kIslandCells);
            const int rows = int((cellsHere + kIslandSide - 1) / kIslandSide);
            // Every eleventh island on the tile of the one before (stacked
            // copies), every seventh mirrored.
            const int64_t place = i % 11 == 10 ? i - 1 : i;
            const bool mirrored = i % 7 == 3;
            const int64_t column = place % tiles, row = place / tiles;
            const double u0 = double(column) * tile + margin, v0 = double(row) * tile + margin;
            const int gx0 = int(island % islandColumns) * kIslandSide,
                      gy0 = int(island / islandColumns) * kIslandSide;
            const auto first = int32_t(surface.u.size());
            for (int y = 0; y <= rows; ++y)
                for (int x = 0; x <= kIslandSide; ++x) {
                    const double across = mirrored ? kIslandSide - x : x;
                    surface.u.push_back(QuantizeTexCoord(float(u0 + across * cellSize)));
                    surface.v.push_back(QuantizeTexCoord(float(v0 + y * cellSize)));
                    Point3 position, normal;
                    SpherePoint(grid, gx0 + x, gy0 + y, position, normal);
                    surface.positions.push_back(position);
                    surface.normals.push_back(normal);
                }
            for (int64_t c = 0; c < cellsHere && made < own; ++c) {
                const int x = int(c % kIslandSide), y = int(c / kIslandSide);
                const int32_t at = first + y * (kIslandSide + 1) + x, right = at + 1,
                              down = at + kIslandSide + 1, diagonal = down + 1;
                // Turned so that the face's normal points out of the sphere.
                surface.triangles.push_back({at, down, right});
                if (++made == own)
                    break;
                surface.triangles.push_back({right, down, diagonal});
                ++made;
            }
        }
        model.surfaces.push_back(std::move(surface));
    }
    return model;
}

void WriteBigMeshObj(const Model& model, const std::string& path) {
    std::string out = "# generated mesh\n";
    int64_t base = 1;
    for (const Surface& s : model.surfaces) {
        out += "g " + s.name + "\nusemtl " + s.shaderName + "\n";
        for (size_t i = 0; i < s.u.size(); ++i) {
            out += "v ";
            for (int k = 0; k < 3; ++k) {
                Append(out, s.positions[i][size_t(k)]);
                out += k < 2 ? ' ' : '\n';
            }
            out += "vt ";
            Append(out, float(s.u[i]));
            out += ' ';
            Append(out, float(1.0 - s.v[i])); // OBJ's v grows upwards
            out += "\nvn ";
            for (int k = 0; k < 3; ++k) {
                Append(out, s.normals[i][size_t(k)]);
                out += k < 2 ? ' ' : '\n';
            }
        }
        for (const Triangle& t : s.triangles) {
            out += 'f';
            for (const int32_t c : {t.a, t.b, t.c}) {
                const int64_t n = base + c;
                out += ' ';
                Append(out, n);
                out += '/';
                Append(out, n);
                out += '/';
                Append(out, n);
            }
            out += '\n';
        }
        base += int64_t(s.u.size());
    }
    WriteFile(path, out);
}

void WriteBigMeshGlb(const Model& model, const std::string& path) {
    std::string bin, json = R"({"asset":{"version":"2.0","generator":"gridwright bench"},)";
    std::string views, accessors, meshes, materials, nodes;
    auto put = [&bin](const void* data, size_t size) {
        bin.append(static_cast<const char*>(data), size);
        bin.resize((bin.size() + 3) / 4 * 4, '\0');
    };
    auto view = [&](size_t offset, size_t length, int target) {
        if (!views.empty())
            views += ',';
        views += R"({"buffer":0,"byteOffset":)" + std::to_string(offset) + R"(,"byteLength":)" +
                 std::to_string(length) + R"(,"target":)" + std::to_string(target) + "}";
    };
    int viewCount = 0;
    auto number = [](float f) {
        std::string s;
        Append(s, f);
        return s;
    };
    for (size_t n = 0; n < model.surfaces.size(); ++n) {
        const Surface& s = model.surfaces[n];
        const size_t vertices = s.u.size();
        Point3 low{0, 0, 0}, high{0, 0, 0};
        if (vertices)
            low = high = s.positions[0];
        for (const Point3& p : s.positions)
            for (size_t k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], p[k]);
                high[k] = std::max(high[k], p[k]);
            }
        std::vector<float> uv;
        uv.reserve(vertices * 2);
        for (size_t i = 0; i < vertices; ++i) {
            uv.push_back(float(s.u[i]));
            uv.push_back(float(s.v[i])); // glTF's v grows downwards, as ours
        }
        std::vector<uint32_t> indices;
        indices.reserve(s.triangles.size() * 3);
        for (const Triangle& t : s.triangles)
            indices.insert(indices.end(), {uint32_t(t.a), uint32_t(t.b), uint32_t(t.c)});
        const int first = viewCount;
        size_t at = bin.size();
        put(s.positions.data(), vertices * sizeof(Point3));
        view(at, vertices * sizeof(Point3), 34962);
        at = bin.size();
        put(s.normals.data(), vertices * sizeof(Point3));
        view(at, vertices * sizeof(Point3), 34962);
        at = bin.size();
        put(uv.data(), uv.size() * sizeof(float));
        view(at, uv.size() * sizeof(float), 34962);
        at = bin.size();
        put(indices.data(), indices.size() * sizeof(uint32_t));
        view(at, indices.size() * sizeof(uint32_t), 34963);
        viewCount += 4;
        auto accessor = [&](int v, int type, size_t count, const char* kind,
                            const std::string& extra) {
            if (!accessors.empty())
                accessors += ',';
            accessors += R"({"bufferView":)" + std::to_string(v) + R"(,"componentType":)" +
                         std::to_string(type) + R"(,"count":)" + std::to_string(count) +
                         R"(,"type":")" + kind + "\"" + extra + "}";
        };
        accessor(first, 5126, vertices, "VEC3",
                 ",\"min\":[" + number(low[0]) + "," + number(low[1]) + "," + number(low[2]) +
                     "],\"max\":[" + number(high[0]) + "," + number(high[1]) + "," +
                     number(high[2]) + "]");
        accessor(first + 1, 5126, vertices, "VEC3", "");
        accessor(first + 2, 5126, vertices, "VEC2", "");
        accessor(first + 3, 5125, indices.size(), "SCALAR", "");
        const std::string a = std::to_string(first); // accessors number as views do here
        if (!meshes.empty())
            meshes += ',', materials += ',', nodes += ',';
        meshes += R"({"name":")" + s.name + R"(","primitives":[{"attributes":{"POSITION":)" + a +
                  R"(,"NORMAL":)" + std::to_string(first + 1) + R"(,"TEXCOORD_0":)" +
                  std::to_string(first + 2) + R"(},"indices":)" + std::to_string(first + 3) +
                  R"(,"material":)" + std::to_string(n) + "}]}";
        materials += R"({"name":")" + s.shaderName + R"("})";
        nodes += R"({"mesh":)" + std::to_string(n) + "}";
    }
    std::string sceneNodes;
    for (size_t n = 0; n < model.surfaces.size(); ++n)
        sceneNodes += (n ? "," : "") + std::to_string(n);
    json += R"("scene":0,"scenes":[{"nodes":[)" + sceneNodes + R"(]}],"nodes":[)" + nodes +
            R"(],"meshes":[)" + meshes + R"(],"materials":[)" + materials + R"(],"accessors":[)" +
            accessors + R"(],"bufferViews":[)" + views + R"(],"buffers":[{"byteLength":)" +
            std::to_string(bin.size()) + "}]}";
    json.resize((json.size() + 3) / 4 * 4, ' ');
    std::string out;
    auto word = [&out](uint32_t w) {
        for (int k = 0; k < 4; ++k)
            out += char((w >> (8 * k)) & 0xFF);
    };
    word(0x46546C67); // "glTF"
    word(2);
    word(uint32_t(12 + 8 + json.size() + 8 + bin.size()));
    word(uint32_t(json.size()));
    word(0x4E4F534A); // "JSON"
    out += json;
    word(uint32_t(bin.size()));
    word(0x004E4942); // "BIN\0"
    out += bin;
    WriteFile(path, out);
}

std::string BigMeshFile(int64_t triangles, int surfaces, const std::string& extension) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("gridwright-bench-bigmesh-" + std::to_string(triangles) + "x" +
                               std::to_string(surfaces) + "." + extension))
                                 .string();
    if (!std::filesystem::exists(path)) {
        const Model model = BigMeshModel(triangles, surfaces);
        // Written beside and renamed, so that a run stopped half-way leaves no part file.
        const std::string part = path + ".part";
        if (extension == "glb")
            WriteBigMeshGlb(model, part);
        else
            WriteBigMeshObj(model, part);
        std::filesystem::rename(part, path);
    }
    return path;
}
