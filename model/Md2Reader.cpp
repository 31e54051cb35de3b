#include "model/Md2Reader.h"

#include "model/QuakeNormals.h"

#include "image/TextureImage.h"
#include "model/FileReader.h"
#include "model/LittleEndian.h"
#include "model/QuantizeTexCoord.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr int64_t kHeaderSize = 68;
constexpr int64_t kSkinNameSize = 64;
constexpr int64_t kTexCoordSize = 4;     // int16 s, t in texels
constexpr int64_t kTriangleSize = 12;    // int16 xyz[3], then st[3]
constexpr int64_t kFrameHeaderSize = 40; // float scale[3], translate[3], char name[16]
constexpr int64_t kFrameVertexSize = 4;  // uint8 x, y, z, normal index
constexpr int32_t kVersion = 8;

const char* const kNotAModel =
    "it does not start with \"IDP2\", so it is not an MD2 model; load the model's .md2 file "
    "instead";

// The header's words, in file order.
struct Header {
    int32_t ident, version, skinWidth, skinHeight, frameSize, skins, xyz, st, triangles, glCommands,
        frames, skinsAt, stAt, trianglesAt, framesAt, glCommandsAt, endAt;
};

// A number of the frame header as a position: what is not finite or is
// beyond any model's size gives no place in the 3D view.
float Coordinate(const uint8_t* p) {
    const float v = DecodeF32(p);
    return std::isfinite(v) ? std::clamp(v, -1e6f, 1e6f) : 0.0f;
}

int16_t I16(const uint8_t* p) {
    return int16_t(uint16_t(p[0] | (p[1] << 8)));
}

// The name a model file gives its one surface: the file's name without its
// folders and extension.
std::string StemOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name.empty() ? "model" : name;
}

class Reader {
  public:
    explicit Reader(const SourceBytes& source)
        : m_path(source.path), m_bytes(source.bytes->data()),
          m_size(int64_t(source.bytes->size())) {}
    Result<Model> Run();

  private:
    Error Fail(const std::string& why) const { return Error{"", m_path, why}; }
    bool Contains(int64_t at, int64_t length) const {
        return at >= 0 && length >= 0 && at <= m_size && length <= m_size - at;
    }
    // Why `count` records of `size` bytes at `at` are not all in the file, or
    // empty when they are.
    std::string ListProblem(const char* what, int64_t at, int64_t count, int64_t size) const {
        if (count == 0 || Contains(at, count * size))
            return {};
        return std::string("the ") + what + " are out of bounds (" +
               OutOfBoundsText(at, count * size, m_size) + ")";
    }
    std::string CheckHeader() const;
    std::string CheckTriangles() const;

    std::string m_path;
    const uint8_t* m_bytes;
    int64_t m_size;
    Header m_h{};
};

std::string Reader::CheckHeader() const {
    const Header& h = m_h;
    if (h.version != kVersion)
        return "it is MD2 version " + std::to_string(h.version) + "; the game reads version " +
               std::to_string(kVersion) + " only";
    // The texture coordinates are divided by the skin's size.
    for (const auto& [size, what] : {std::pair{h.skinWidth, "width"}, {h.skinHeight, "height"}})
        if (size <= 0 || size > kMaxTextureSide)
            return "its header gives a skin " + std::string(what) + " of " + std::to_string(size) +
                   " pixels; it must be 1 to " + std::to_string(kMaxTextureSide);
    const std::pair<int32_t, const char*> counts[] = {
        {h.skins, "skins"},         {h.xyz, "vertices"},  {h.st, "texture coordinates"},
        {h.triangles, "triangles"}, {h.frames, "frames"}, {h.glCommands, "GL command words"}};
    for (const auto& [count, what] : counts)
        if (count < 0)
            return "its header gives " + std::to_string(count) + " " + what;
    // What the game itself refuses to load.
    if (h.xyz == 0 || h.st == 0 || h.triangles == 0 || h.frames == 0)
        return std::string("it has no ") + (h.xyz == 0         ? "vertices"
                                            : h.st == 0        ? "texture coordinates"
                                            : h.triangles == 0 ? "triangles"
                                                               : "frames");
    if (h.xyz > kMaxMeshVertices || h.st > kMaxMeshVertices)
        return "it has " + std::to_string(std::max(h.xyz, h.st)) +
               (h.xyz > kMaxMeshVertices ? " vertices" : " texture coordinates") +
               "; Gridwright holds at most " + std::to_string(kMaxMeshVertices);
    if (h.triangles > kMaxMeshTriangles)
        return "it has " + std::to_string(h.triangles) + " triangles; Gridwright holds at most " +
               std::to_string(kMaxMeshTriangles);
    if (h.frames > kMaxModelFrames)
        return "it has " + std::to_string(h.frames) + " frames; Gridwright holds at most " +
               std::to_string(kMaxModelFrames);
    const int64_t frameNeeds = kFrameHeaderSize + int64_t(h.xyz) * kFrameVertexSize;
    if (h.frameSize < frameNeeds)
        return "its frames are " + std::to_string(h.frameSize) + " bytes each, too small for " +
               std::to_string(h.xyz) + " vertices (" + std::to_string(frameNeeds) + " bytes)";
    std::string problem = ListProblem("skin names", h.skinsAt, h.skins, kSkinNameSize);
    if (problem.empty())
        problem = ListProblem("texture coordinates", h.stAt, h.st, kTexCoordSize);
    if (problem.empty())
        problem = ListProblem("triangles", h.trianglesAt, h.triangles, kTriangleSize);
    if (problem.empty())
        problem = ListProblem("frames", h.framesAt, h.frames, h.frameSize);
    if (problem.empty())
        problem = ListProblem("GL commands", h.glCommandsAt, h.glCommands, 4);
    return problem;
}

// The game indexes its vertex and coordinate lists with these unchecked: a
// file with one out of range would crash it, so it is refused, by number.
std::string Reader::CheckTriangles() const {
    const uint8_t* t = m_bytes + m_h.trianglesAt;
    for (int32_t k = 0; k < m_h.triangles; ++k, t += kTriangleSize)
        for (int c = 0; c < 3; ++c) {
            const int xyz = I16(t + 2 * c), st = I16(t + 6 + 2 * c);
            if (xyz < 0 || xyz >= m_h.xyz)
                return "triangle " + std::to_string(k) + " names vertex " + std::to_string(xyz) +
                       " of " + std::to_string(m_h.xyz);
            if (st < 0 || st >= m_h.st)
                return "triangle " + std::to_string(k) + " names texture coordinate " +
                       std::to_string(st) + " of " + std::to_string(m_h.st);
        }
    return {};
}

Result<Model> Reader::Run() {
    if (m_size < 4 || std::memcmp(m_bytes, "IDP2", 4) != 0)
        return Fail(kNotAModel);
    if (m_size > INT32_MAX)
        return Fail("it is larger than the 2 GB an MD2 model can address");
    if (m_size < kHeaderSize)
        return Fail("too short for a model header (" + OutOfBoundsText(0, kHeaderSize, m_size) +
                    ")");
    int32_t words[17];
    for (size_t i = 0; i < 17; ++i)
        words[i] = DecodeI32(m_bytes + 4 * i);
    m_h = {words[0],  words[1],  words[2],  words[3],  words[4],  words[5],
           words[6],  words[7],  words[8],  words[9],  words[10], words[11],
           words[12], words[13], words[14], words[15], words[16]};
    std::string problem = CheckHeader();
    if (problem.empty())
        problem = CheckTriangles();
    if (!problem.empty())
        return Fail(problem);

    // One vertex per distinct (position, coordinate) pair, in first use.
    const size_t corners = size_t(m_h.triangles) * 3;
    std::vector<int32_t> xyzOf, stOf;
    // An open-addressed table at most half full: a node per pair (a map's)
    // cost more than the rest of the reading together.
    size_t slots = 16;
    while (slots < 2 * corners)
        slots *= 2;
    constexpr uint64_t kFree = ~uint64_t(0); // no key: indices are 16-bit
    std::vector<uint64_t> keys(slots, kFree);
    std::vector<int32_t> vertexOf(slots);
    Surface surface;
    surface.triangles.resize(size_t(m_h.triangles));
    const uint8_t* t = m_bytes + m_h.trianglesAt;
    for (size_t k = 0; k < surface.triangles.size(); ++k, t += kTriangleSize) {
        int32_t corner[3];
        for (int c = 0; c < 3; ++c) {
            const int32_t xyz = I16(t + 2 * c), st = I16(t + 6 + 2 * c);
            const uint64_t key = uint64_t(xyz) << 32 | uint32_t(st);
            size_t slot = size_t((key * 0x9E3779B97F4A7C15u) >> 32) & (slots - 1);
            while (keys[slot] != key && keys[slot] != kFree)
                slot = (slot + 1) & (slots - 1);
            if (keys[slot] == kFree) {
                keys[slot] = key;
                vertexOf[slot] = int32_t(xyzOf.size());
                xyzOf.push_back(xyz);
                stOf.push_back(st);
            }
            corner[c] = vertexOf[slot];
        }
        surface.triangles[k] = {corner[0], corner[1], corner[2]};
    }
    const size_t vertices = xyzOf.size();
    if (int64_t(vertices) > kMaxMeshVertices)
        return Fail("its triangles use " + std::to_string(vertices) +
                    " pairs of a vertex and a texture coordinate; Gridwright holds at most " +
                    std::to_string(kMaxMeshVertices) + " vertices in a surface");
    if (uint64_t(vertices) * uint64_t(m_h.frames) > uint64_t(kMaxModelVertices))
        return Fail("its " + std::to_string(m_h.frames) + " frames of " + std::to_string(vertices) +
                    " vertices each are more than the " + std::to_string(kMaxModelVertices) +
                    " vertices Gridwright holds");

    // The centre of the texel the file names: the game samples there (its GL
    // commands hold (s + 0.5) / width), and the exporters stored the
    // coordinate rounded down to that texel.
    surface.u.resize(vertices);
    surface.v.resize(vertices);
    const float width = float(m_h.skinWidth), height = float(m_h.skinHeight);
    for (size_t i = 0; i < vertices; ++i) {
        const uint8_t* st = m_bytes + m_h.stAt + int64_t(stOf[i]) * kTexCoordSize;
        surface.u[i] = QuantizeTexCoord((float(I16(st)) + 0.5f) / width);
        surface.v[i] = QuantizeTexCoord((float(I16(st + 2)) + 0.5f) / height);
    }

    Model model;
    model.path = m_path;
    auto geometry = std::make_shared<StoredGeometry>();
    geometry->poses.resize(size_t(m_h.frames));
    model.frameNames.reserve(size_t(m_h.frames));
    for (int32_t f = 0; f < m_h.frames; ++f) {
        const uint8_t* frame = m_bytes + m_h.framesAt + int64_t(f) * m_h.frameSize;
        const char* name = reinterpret_cast<const char*>(frame + 24);
        model.frameNames.emplace_back(name, strnlen(name, 16));
        float scale[3], translate[3];
        for (int a = 0; a < 3; ++a) {
            scale[a] = Coordinate(frame + 4 * a);
            translate[a] = Coordinate(frame + 12 + 4 * a);
        }
        SurfacePose pose;
        pose.positions.resize(vertices);
        pose.normals.resize(vertices);
        for (size_t i = 0; i < vertices; ++i) {
            const uint8_t* v = frame + kFrameHeaderSize + int64_t(xyzOf[i]) * kFrameVertexSize;
            for (int a = 0; a < 3; ++a)
                pose.positions[i][size_t(a)] = float(v[a]) * scale[a] + translate[a];
            // The normal only shades the 3D view: an index past the table
            // (which the game would read beyond) points up rather than
            // refusing a layout that is fine.
            pose.normals[i] = v[3] < kQuakeNormalCount ? QuakeNormals()[v[3]] : Point3{0, 0, 1};
        }
        geometry->poses[size_t(f)].push_back(std::move(pose));
    }
    surface.positions = geometry->poses[0][0].positions;
    surface.normals = geometry->poses[0][0].normals;

    model.skinNames.reserve(size_t(m_h.skins));
    for (int32_t s = 0; s < m_h.skins; ++s) {
        const char* name = reinterpret_cast<const char*>(m_bytes + m_h.skinsAt + s * kSkinNameSize);
        model.skinNames.emplace_back(name, strnlen(name, size_t(kSkinNameSize)));
    }
    surface.name = StemOf(m_path);
    if (!model.skinNames.empty())
        surface.shaderName = model.skinNames.front();
    model.surfaces.push_back(std::move(surface));
    model.geometry = std::move(geometry);
    return model;
}

} // namespace

Result<Model> ReadMd2(const SourceBytes& source) {
    if (!source.bytes)
        return Error{"", source.path, kNotAModel};
    return Reader(source).Run();
}
