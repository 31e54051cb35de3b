#include "model/MdcReader.h"

#include "model/FileReader.h"
#include "model/LittleEndian.h"
#include "model/QuantizeTexCoord.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

// Byte positions in the model header.
constexpr int64_t kVersionAt = 4;
constexpr int64_t kFrameCountAt = 76; // then tags, surfaces, skins
constexpr int64_t kTagCountAt = 80;
constexpr int64_t kSurfaceCountAt = 84;
constexpr int64_t kFramesAt = 92;
constexpr int64_t kTagNamesAt = 96;
constexpr int64_t kTagsAt = 100;
constexpr int64_t kFirstSurfaceAt = 104;
constexpr int64_t kHeaderSize = 112;
// Byte positions in a surface header, from the surface's start.
constexpr int64_t kSurfaceNameAt = 4;
constexpr int64_t kCompFrameCountAt = 72;
constexpr int64_t kBaseFrameCountAt = 76;
constexpr int64_t kShaderCountAt = 80;
constexpr int64_t kVertexCountAt = 84;
constexpr int64_t kTriangleCountAt = 88;
constexpr int64_t kTrianglesAt = 92;
constexpr int64_t kShadersAt = 96;
constexpr int64_t kTexCoordsAt = 100;
constexpr int64_t kBaseVerticesAt = 104;
constexpr int64_t kCompVerticesAt = 108;
constexpr int64_t kFrameBasesAt = 112;
constexpr int64_t kFrameCompsAt = 116;
constexpr int64_t kSurfaceEndAt = 120;
constexpr int64_t kSurfaceHeaderSize = 124;
// Record sizes.
constexpr int64_t kFrameSize = 56; // bounds, origin, radius, then a 16-byte name
constexpr int64_t kFrameNameAt = 40;
constexpr int64_t kTagNameSize = 64;
constexpr int64_t kTagSize = 12; // short origin[3] in 1/64 units, short angles[3]
constexpr int64_t kShaderRecordSize = 68;
constexpr int64_t kTriangleSize = 12;
constexpr int64_t kTexCoordSize = 8;
constexpr int64_t kBaseVertexSize = 8; // short xyz[3], then longitude and latitude bytes
constexpr int64_t kCompVertexSize = 4; // an offset byte per axis, then a normal index
constexpr int64_t kFrameIndexSize = 2;

constexpr int32_t kVersion = 2;
constexpr float kXyzScale = 1.0f / 64;
// A compressed offset byte of 127 moves nothing; each step is 1/20 unit.
constexpr float kMaxOffset = 127.0f;
constexpr float kOffsetScale = 0.05f;
// Tag angles are stored in steps of 360/32700 degrees.
constexpr double kTagAngleScale = 360.0 / 32700.0;

const char* const kNotAModel =
    "it does not start with \"IDPC\", so it is not an MDC model; load the model's .mdc file "
    "instead";

int16_t I16At(const uint8_t* p) {
    return int16_t(uint16_t(p[0] | (p[1] << 8)));
}

// A name ends at its first zero byte; one that fills all its bytes keeps one
// fewer, as the game's copy would.
std::string NameAt(const uint8_t* bytes, size_t size) {
    size_t n = 0;
    while (n + 1 < size && bytes[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

// Where one surface's frames lie in the file, every offset checked when read.
struct SurfaceFrames {
    size_t vertices = 0;
    size_t baseAt = 0;      // numBaseFrames x vertices base records
    size_t compAt = 0;      // numCompFrames x vertices compressed records
    size_t frameBaseAt = 0; // numFrames shorts
    size_t frameCompAt = 0; // numFrames shorts, when hasComp
    bool hasComp = false;
};

class MdcGeometry : public ModelGeometry {
  public:
    std::shared_ptr<const Bytes> bytes;
    std::vector<SurfaceFrames> surfaces;
    int frames = 0;
    size_t tagCount = 0, tagNamesAt = 0, tagsAt = 0;

    int FrameCount() const override { return frames; }

    SurfacePose Pose(size_t surface, int frame) const override {
        SurfacePose pose;
        if (surface >= surfaces.size() || frames <= 0)
            return pose;
        const SurfaceFrames& s = surfaces[surface];
        if (s.vertices == 0)
            return pose;
        const uint8_t* data = bytes->data();
        const size_t f = size_t(std::clamp(frame, 0, frames - 1));
        // The reader checked every frame's base and compressed index.
        const size_t base = size_t(I16At(data + s.frameBaseAt + f * kFrameIndexSize));
        const int comp = s.hasComp ? I16At(data + s.frameCompAt + f * kFrameIndexSize) : -1;
        const uint8_t* p = data + s.baseAt + base * s.vertices * kBaseVertexSize;
        const uint8_t* c =
            comp >= 0 ? data + s.compAt + size_t(comp) * s.vertices * kCompVertexSize : nullptr;
        const std::vector<Point3>& latLong = LatitudeLongitudeNormals();
        const std::array<Point3, 256>& directions = MdcNormalTable();
        pose.positions.resize(s.vertices);
        pose.normals.resize(s.vertices);
        for (size_t i = 0; i < s.vertices; ++i, p += kBaseVertexSize) {
            Point3 at = {float(I16At(p)) * kXyzScale, float(I16At(p + 2)) * kXyzScale,
                         float(I16At(p + 4)) * kXyzScale};
            if (c) {
                for (size_t k = 0; k < 3; ++k)
                    at[k] += (float(c[k]) - kMaxOffset) * kOffsetScale;
                pose.normals[i] = directions[c[3]];
                c += kCompVertexSize;
            } else {
                pose.normals[i] = latLong[size_t(p[7]) * 256 + p[6]];
            }
            pose.positions[i] = at;
        }
        return pose;
    }

    std::vector<TagPose> Tags(int frame) const override {
        std::vector<TagPose> out;
        if (tagCount == 0 || frames <= 0)
            return out;
        const uint8_t* data = bytes->data();
        const size_t f = size_t(std::clamp(frame, 0, frames - 1));
        out.reserve(tagCount);
        for (size_t t = 0; t < tagCount; ++t) {
            const uint8_t* p = data + tagsAt + (f * tagCount + t) * kTagSize;
            TagPose tag;
            tag.name = NameAt(data + tagNamesAt + t * kTagNameSize, kTagNameSize);
            tag.origin = {float(I16At(p)) * kXyzScale, float(I16At(p + 2)) * kXyzScale,
                          float(I16At(p + 4)) * kXyzScale};
            // Pitch, yaw and roll in degrees to forward, left and up, as the
            // game turns its angles into an axis.
            const double turn = std::numbers::pi / 180 * kTagAngleScale;
            const double pitch = I16At(p + 6) * turn, yaw = I16At(p + 8) * turn,
                         roll = I16At(p + 10) * turn;
            const double sp = std::sin(pitch), cp = std::cos(pitch), sy = std::sin(yaw),
                         cy = std::cos(yaw), sr = std::sin(roll), cr = std::cos(roll);
            tag.axes[0] = {float(cp * cy), float(cp * sy), float(-sp)};
            tag.axes[1] = {float(sr * sp * cy - cr * sy), float(sr * sp * sy + cr * cy),
                           float(sr * cp)};
            tag.axes[2] = {float(cr * sp * cy + sr * sy), float(cr * sp * sy - sr * cy),
                           float(cr * cp)};
            out.push_back(std::move(tag));
        }
        return out;
    }
};

class Reader {
  public:
    explicit Reader(const SourceBytes& source)
        : m_path(source.path), m_bytes(source.bytes->data()),
          m_size(int64_t(source.bytes->size())) {}

    Result<Model> Run(const SourceBytes& source);

  private:
    Error Fail(const std::string& why) const { return Error{"", m_path, why}; }
    bool Contains(int64_t at, int64_t length) const {
        return at >= 0 && length >= 0 && at <= m_size && length <= m_size - at;
    }
    int32_t I32(int64_t at) const { return DecodeI32(&m_bytes[size_t(at)]); }
    int16_t I16(int64_t at) const { return I16At(&m_bytes[size_t(at)]); }
    // Empty when `count` records of `size` bytes from `at` lie in the file;
    // otherwise why they do not, for `what`.
    std::string Outside(const std::string& what, int64_t at, int64_t count, int64_t size) const {
        if (Contains(at, count * size))
            return {};
        return what + " are out of bounds (" + OutOfBoundsText(at, count * size, m_size) + ")";
    }
    bool ReadSurface(int index, int64_t at, int32_t frames, Surface& s, SurfaceFrames& view,
                     int64_t& end, Error& error) const;
    static std::string Label(int index, const Surface& s) {
        return "surface " + std::to_string(index) + " (\"" + s.name + "\")";
    }

    std::string m_path;
    const uint8_t* m_bytes;
    int64_t m_size;
};

bool Reader::ReadSurface(int index, int64_t p, int32_t frames, Surface& s, SurfaceFrames& view,
                         int64_t& end, Error& error) const {
    if (!Contains(p, kSurfaceHeaderSize)) {
        error = Fail("the header of surface " + std::to_string(index) + " is out of bounds (" +
                     OutOfBoundsText(p, kSurfaceHeaderSize, m_size) + ")");
        return false;
    }
    s.name = NameAt(&m_bytes[size_t(p + kSurfaceNameAt)], kNameSize);
    const std::string label = Label(index, s);
    const int32_t compFrames = I32(p + kCompFrameCountAt);
    const int32_t baseFrames = I32(p + kBaseFrameCountAt);
    const int32_t shaders = I32(p + kShaderCountAt);
    const int32_t vertices = I32(p + kVertexCountAt);
    const int32_t triangles = I32(p + kTriangleCountAt);
    end = I32(p + kSurfaceEndAt);
    auto refuse = [&](const std::string& why) {
        error = Fail(why);
        return false;
    };
    struct Count {
        const char* what;
        int32_t value, most;
    };
    for (const Count& c :
         {Count{"vertices", vertices, kMaxVertices}, Count{"triangles", triangles, kMaxTriangles},
          Count{"shaders", shaders, INT32_MAX}, Count{"base frames", baseFrames, kMaxModelFrames},
          Count{"compressed frames", compFrames, kMaxModelFrames}}) {
        if (c.value < 0)
            return refuse(label + " has a negative count of " + c.what + " (" +
                          std::to_string(c.value) + ")");
        if (c.value > c.most)
            return refuse(label + " has " + std::to_string(c.value) + " " + c.what +
                          "; Gridwright holds at most " + std::to_string(c.most));
    }
    // Every frame names a base frame, so a surface without one has no shape.
    if (baseFrames == 0)
        return refuse(label + " has no base frame, so its frames have no vertices");
    const int64_t trianglesAt = p + I32(p + kTrianglesAt);
    const int64_t texCoordsAt = p + I32(p + kTexCoordsAt);
    const int64_t baseAt = p + I32(p + kBaseVerticesAt);
    const int64_t compAt = p + I32(p + kCompVerticesAt);
    const int64_t frameBaseAt = p + I32(p + kFrameBasesAt);
    const int64_t frameCompAt = p + I32(p + kFrameCompsAt);
    const int64_t shadersAt = p + I32(p + kShadersAt);
    // In the order the lists lie in a file the game writes, so that a file
    // cut short is told apart by the first list it cuts.
    std::string outside;
    if (shaders > 0)
        outside = Outside("the first shader of " + label, shadersAt, 1, kShaderRecordSize);
    if (outside.empty())
        outside = Outside("the triangles of " + label, trianglesAt, triangles, kTriangleSize);
    if (outside.empty())
        outside =
            Outside("the texture coordinates of " + label, texCoordsAt, vertices, kTexCoordSize);
    if (outside.empty())
        outside = Outside("the base frames of " + label, baseAt, int64_t(baseFrames) * vertices,
                          kBaseVertexSize);
    if (outside.empty())
        outside = Outside("the compressed frames of " + label, compAt,
                          int64_t(compFrames) * vertices, kCompVertexSize);
    if (outside.empty())
        outside =
            Outside("the base frame numbers of " + label, frameBaseAt, frames, kFrameIndexSize);
    // The game reads a frame's compressed number only when the surface has
    // compressed frames.
    if (outside.empty() && compFrames > 0)
        outside = Outside("the compressed frame numbers of " + label, frameCompAt, frames,
                          kFrameIndexSize);
    if (!outside.empty())
        return refuse(outside);
    for (int32_t f = 0; f < frames; ++f) {
        const int16_t base = I16(frameBaseAt + int64_t(f) * kFrameIndexSize);
        if (base < 0 || base >= baseFrames)
            return refuse("frame " + std::to_string(f) + " of " + label + " names base frame " +
                          std::to_string(base) + ", but the surface has " +
                          std::to_string(baseFrames) + " (0 to " + std::to_string(baseFrames - 1) +
                          ")");
        if (compFrames == 0)
            continue;
        // -1: the frame is its base frame as stored.
        const int16_t comp = I16(frameCompAt + int64_t(f) * kFrameIndexSize);
        if (comp < -1 || comp >= compFrames)
            return refuse("frame " + std::to_string(f) + " of " + label +
                          " names compressed frame " + std::to_string(comp) +
                          ", but the surface has " + std::to_string(compFrames) +
                          (compFrames == 1
                               ? " (0, or -1 for none)"
                               : " (0 to " + std::to_string(compFrames - 1) + ", or -1 for none)"));
    }
    if (shaders > 0)
        s.shaderName = NameAt(&m_bytes[size_t(shadersAt)], kNameSize);
    const size_t n = size_t(vertices);
    s.u.resize(n);
    s.v.resize(n);
    const uint8_t* st = m_bytes + texCoordsAt;
    for (size_t j = 0; j < n; ++j, st += kTexCoordSize) {
        s.u[j] = QuantizeTexCoord(DecodeF32(st));
        s.v[j] = QuantizeTexCoord(DecodeF32(st + 4));
    }
    // A triangle with a corner outside the surface's vertices draws nothing
    // anywhere: it is left out here, once.
    const uint8_t* t = m_bytes + trianglesAt;
    s.triangles.reserve(size_t(triangles));
    auto inside = [vertices](int32_t c) { return c >= 0 && c < vertices; };
    for (int32_t k = 0; k < triangles; ++k, t += kTriangleSize) {
        const Triangle triangle{DecodeI32(t), DecodeI32(t + 4), DecodeI32(t + 8)};
        if (inside(triangle.a) && inside(triangle.b) && inside(triangle.c))
            s.triangles.push_back(triangle);
    }
    view.vertices = n;
    view.baseAt = size_t(baseAt);
    view.compAt = size_t(compAt);
    view.frameBaseAt = size_t(frameBaseAt);
    view.frameCompAt = size_t(frameCompAt);
    view.hasComp = compFrames > 0;
    return true;
}

Result<Model> Reader::Run(const SourceBytes& source) {
    if (m_size < 4 || std::memcmp(m_bytes, "IDPC", 4) != 0)
        return Fail(kNotAModel);
    if (m_size > INT32_MAX)
        return Fail("it is larger than the 2 GB an MDC model can address");
    if (!Contains(0, kHeaderSize))
        return Fail("too short for a model header (" + OutOfBoundsText(0, kHeaderSize, m_size) +
                    ")");
    const int32_t version = I32(kVersionAt);
    // Version 1 laid its tags out otherwise, and the game refuses it too.
    if (version != kVersion)
        return Fail("it is MDC version " + std::to_string(version) +
                    "; Gridwright reads version 2 only");
    const int32_t frames = I32(kFrameCountAt);
    const int32_t tags = I32(kTagCountAt);
    const int32_t surfaces = I32(kSurfaceCountAt);
    if (frames < 1)
        return Fail("it has no frames (its header says " + std::to_string(frames) + ")");
    if (frames > kMaxModelFrames)
        return Fail("it has " + std::to_string(frames) + " frames; Gridwright holds at most " +
                    std::to_string(kMaxModelFrames));
    if (surfaces < 0 || surfaces > kMaxSurfaces)
        return Fail("it has " + std::to_string(surfaces) + " surfaces; Gridwright holds 0 to " +
                    std::to_string(kMaxSurfaces));
    if (tags < 0)
        return Fail("it has a negative count of tags (" + std::to_string(tags) + ")");
    const int64_t framesAt = I32(kFramesAt);
    const int64_t tagNamesAt = I32(kTagNamesAt);
    const int64_t tagsAt = I32(kTagsAt);
    std::string outside = Outside("the frames", framesAt, frames, kFrameSize);
    if (outside.empty() && tags > 0)
        outside = Outside("the tag names", tagNamesAt, tags, kTagNameSize);
    if (outside.empty() && tags > 0)
        outside = Outside("the tags", tagsAt, int64_t(frames) * tags, kTagSize);
    if (!outside.empty())
        return Fail(outside);

    Model model;
    model.path = m_path;
    model.format = "MDC";
    model.frameNames.reserve(size_t(frames));
    for (int64_t f = 0; f < frames; ++f)
        model.frameNames.push_back(
            NameAt(&m_bytes[size_t(framesAt + f * kFrameSize + kFrameNameAt)], 16));
    auto geometry = std::make_shared<MdcGeometry>();
    geometry->bytes = source.bytes;
    geometry->frames = frames;
    geometry->tagCount = size_t(tags);
    geometry->tagNamesAt = size_t(tagNamesAt);
    geometry->tagsAt = size_t(tagsAt);
    int64_t p = I32(kFirstSurfaceAt);
    for (int i = 0; i < surfaces; ++i) {
        Surface s;
        SurfaceFrames view;
        Error error;
        int64_t end = 0;
        if (!ReadSurface(i, p, frames, s, view, end, error))
            return error;
        // An end that does not move on would find this surface again in place
        // of the next one.
        if (i + 1 < surfaces && end <= 0)
            return Fail(Label(i, s) + " ends at offset " + std::to_string(end) +
                        " from its start, so the surfaces after it cannot be found");
        p += end;
        model.surfaces.push_back(std::move(s));
        geometry->surfaces.push_back(view);
    }
    for (size_t i = 0; i < model.surfaces.size(); ++i) {
        SurfacePose first = geometry->Pose(i, 0);
        model.surfaces[i].positions = std::move(first.positions);
        model.surfaces[i].normals = std::move(first.normals);
    }
    model.geometry = std::move(geometry);
    return model;
}

} // namespace

const std::array<Point3, 256>& MdcNormalTable() {
    // Eight rings 11.25 degrees apart: the equator with 32 directions, then
    // seven rings below and seven above with four fewer each, every ring
    // starting on +x.
    static const std::array<Point3, 256> table = [] {
        std::array<Point3, 256> t{};
        size_t next = 0;
        auto ring = [&](int k, double side) {
            const double latitude = k * std::numbers::pi / 16;
            const int count = 32 - 4 * k;
            for (int j = 0; j < count; ++j) {
                const double around = 2 * std::numbers::pi * j / count;
                t[next++] = {float(std::cos(latitude) * std::cos(around)),
                             float(std::cos(latitude) * std::sin(around)),
                             float(side * std::sin(latitude))};
            }
        };
        ring(0, 1);
        for (int k = 1; k < 8; ++k)
            ring(k, -1);
        for (int k = 1; k < 8; ++k)
            ring(k, 1);
        return t;
    }();
    return table;
}

Result<Model> ReadMdc(const SourceBytes& source) {
    if (!source.bytes)
        return Error{"", source.path, kNotAModel};
    return Reader(source).Run(source);
}
