#include "model/Md3Reader.h"

#include "model/FileReader.h"
#include "model/LittleEndian.h"
#include "model/QuantizeTexCoord.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>
#include <vector>

namespace {

// Byte positions in the model header and in a surface header.
constexpr int64_t kFrameCountAt = 76; // then tags, surfaces, skins
constexpr int64_t kSurfaceCountAt = 84;
constexpr int64_t kFramesAt = 92; // then tags, surfaces, end
constexpr int64_t kFirstSurfaceAt = 100;
constexpr int64_t kNameAt = 4;               // 64-byte name, then the flags word
constexpr int64_t kSurfaceFrameCountAt = 72; // then shaders, vertices, triangles
constexpr int64_t kTriangleOffsetAt = 88;
constexpr int64_t kShaderOffsetAt = 92;
constexpr int64_t kTexCoordOffsetAt = 96;
constexpr int64_t kVertexOffsetAt = 100;
constexpr int64_t kEndOffsetAt = 104;
constexpr int64_t kSurfaceHeaderSize = 108;
constexpr int64_t kShaderRecordSize = 68; // 64-byte name, then the index word
constexpr int64_t kTexCoordSize = 8;
constexpr int64_t kTriangleSize = 12;
constexpr int64_t kVertexSize = 8;
constexpr int64_t kFrameSize = 56;
constexpr int64_t kTagSize = 112;

const char* const kNotAModel =
    "it does not start with \"IDP3\", so it is not an MD3 model; load the model's .md3 file "
    "instead";

constexpr int64_t kFrameNameAt = 40; // after the bounds, origin and radius

// A frame's 16-byte name, up to its first zero.
std::string NameAt16(const uint8_t* bytes) {
    return std::string(reinterpret_cast<const char*>(bytes),
                       strnlen(reinterpret_cast<const char*>(bytes), 16));
}

// A name ends at its first zero byte; one that fills all 64 bytes keeps 63.
std::string NameAt(const uint8_t* bytes) {
    size_t n = 0;
    while (n < size_t(kNameSize - 1) && bytes[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

// Records of the file's bytes: `count` of `size` bytes from `offset`.
struct ByteView {
    size_t offset = 0, count = 0, size = 0;
};

// `count` vertex records (8 bytes: x, y, z in 1/64 units, then the normal's
// longitude and latitude) decoded into a pose.
void DecodeVertices(const uint8_t* p, size_t count, std::vector<Point3>& positions,
                    std::vector<Point3>& normals) {
    const std::vector<Point3>& table = LatitudeLongitudeNormals();
    positions.resize(count);
    normals.resize(count);
    for (size_t i = 0; i < count; ++i, p += 8) {
        auto half = [p](int k) { return float(int16_t(uint16_t(p[k] | (p[k + 1] << 8)))) / 64; };
        positions[i] = {half(0), half(2), half(4)};
        normals[i] = table[size_t(p[7]) * 256 + p[6]];
    }
}

// Frames and tags stay in the file's bytes, decoded a frame at a time.
class Md3Geometry : public ModelGeometry {
  public:
    std::shared_ptr<const Bytes> bytes;
    std::vector<ByteView> vertices; // per surface: frames x vertices records
    std::vector<size_t> vertexCounts;
    ByteView tags; // frames x tagCount records of 112 bytes
    int64_t tagCount = 0;
    int frames = 0;

    int FrameCount() const override { return frames; }
    SurfacePose Pose(size_t surface, int frame) const override {
        SurfacePose pose;
        if (surface >= vertices.size() || vertexCounts[surface] == 0)
            return pose;
        const size_t n = vertexCounts[surface];
        const size_t held = vertices[surface].count / n;
        if (held == 0)
            return pose;
        const size_t f = size_t(std::clamp<int64_t>(frame, 0, int64_t(held) - 1));
        DecodeVertices(bytes->data() + vertices[surface].offset + f * n * 8, n, pose.positions,
                       pose.normals);
        return pose;
    }
    std::vector<TagPose> Tags(int frame) const override {
        std::vector<TagPose> out;
        if (tagCount <= 0 || tags.count == 0)
            return out;
        const size_t perFrame = size_t(tagCount);
        const size_t held = tags.count / perFrame;
        if (held == 0)
            return out;
        const size_t f = size_t(std::clamp<int64_t>(frame, 0, int64_t(held) - 1));
        for (size_t t = 0; t < perFrame; ++t) {
            const uint8_t* p = bytes->data() + tags.offset + (f * perFrame + t) * 112;
            TagPose tag;
            tag.name.assign(reinterpret_cast<const char*>(p),
                            strnlen(reinterpret_cast<const char*>(p), 64));
            auto number = [p](int k) {
                const float v = DecodeF32(p + 64 + k * 4);
                return std::isfinite(v) ? std::clamp(v, -1e6f, 1e6f) : 0.0f;
            };
            tag.origin = {number(0), number(1), number(2)};
            for (int a = 0; a < 3; ++a)
                tag.axes[size_t(a)] = {number(3 + a * 3), number(4 + a * 3), number(5 + a * 3)};
            out.push_back(std::move(tag));
        }
        return out;
    }
};

// A surface as read, before its lists are decoded.
struct Pending {
    Md3SurfaceHeader header;
    ByteView vertices;
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
    // A view of count records of size bytes at `at`, or none out of the file.
    ByteView ViewOf(int64_t at, int64_t count, int64_t size) const {
        if (count <= 0 || count > INT32_MAX / size || !Contains(at, count * size))
            return {};
        return {size_t(at), size_t(count), size_t(size)};
    }
    bool ReadSurface(int index, int64_t at, Surface& s, Pending& pending, Error& error) const;
    // Every surface's coordinates, triangles and first frame, decoded on two
    // threads for a large model.
    void DecodeLists(Model& model, const std::vector<Pending>& pending) const;
    bool CheckList(int index, const Surface& s, const Md3SurfaceHeader& h, const char* what,
                   int32_t offset, int32_t entries, int64_t entrySize, Error& error) const;
    static std::string Label(int index, const Surface& s) {
        return "surface " + std::to_string(index) + " (\"" + s.name + "\")";
    }

    std::string m_path;
    const uint8_t* m_bytes;
    int64_t m_size;
};

bool Reader::CheckList(int index, const Surface& s, const Md3SurfaceHeader& h, const char* what,
                       int32_t offset, int32_t entries, int64_t entrySize, Error& error) const {
    if (entries <= 0)
        return true;
    const int64_t at = int64_t(h.fileOffset) + offset;
    if (Contains(at, entries * entrySize))
        return true;
    error = Fail(std::string("the ") + what + " of " + Label(index, s) + " are out of bounds (" +
                 OutOfBoundsText(at, entries * entrySize, m_size) + ")");
    return false;
}

bool Reader::ReadSurface(int index, int64_t p, Surface& s, Pending& pending, Error& error) const {
    if (!Contains(p, kSurfaceHeaderSize)) {
        error = Fail("the header of surface " + std::to_string(index) + " is out of bounds (" +
                     OutOfBoundsText(p, kSurfaceHeaderSize, m_size) + ")");
        return false;
    }
    const uint8_t* header = &m_bytes[size_t(p)];
    Md3SurfaceHeader& h = pending.header;
    h.fileOffset = int32_t(p);
    s.name = NameAt(header + kNameAt);
    h.flags = DecodeI32(header + kNameAt + kNameSize);
    h.frameCount = DecodeI32(header + kSurfaceFrameCountAt);
    h.shaderCount = DecodeI32(header + kSurfaceFrameCountAt + 4);
    h.vertexCount = DecodeI32(header + kSurfaceFrameCountAt + 8);
    h.triangleCount = DecodeI32(header + kSurfaceFrameCountAt + 12);
    h.triangleOffset = DecodeI32(header + kTriangleOffsetAt);
    h.texCoordOffset = DecodeI32(header + kTexCoordOffsetAt);
    h.vertexOffset = DecodeI32(header + kVertexOffsetAt);
    h.endOffset = DecodeI32(header + kEndOffsetAt);
    if (h.vertexCount > kMaxVertices) {
        error = Fail(Label(index, s) + " has " + std::to_string(h.vertexCount) +
                     " vertices; Gridwright holds at most " + std::to_string(kMaxVertices));
        return false;
    }
    if (h.triangleCount > kMaxTriangles) {
        error = Fail(Label(index, s) + " has " + std::to_string(h.triangleCount) +
                     " triangles; Gridwright holds at most " + std::to_string(kMaxTriangles));
        return false;
    }
    // The first shader lies where the surface's shader-list offset says.
    if (h.shaderCount > 0) {
        const int64_t at = p + DecodeI32(header + kShaderOffsetAt);
        if (!Contains(at, kShaderRecordSize)) {
            error = Fail("the first shader of " + Label(index, s) + " is out of bounds (" +
                         OutOfBoundsText(at, kShaderRecordSize, m_size) + ")");
            return false;
        }
        s.shaderName = NameAt(&m_bytes[size_t(at)]);
        h.shaderIndex = I32(at + kNameSize);
    }
    if (!CheckList(index, s, h, "texture coordinates", h.texCoordOffset, h.vertexCount,
                   kTexCoordSize, error) ||
        !CheckList(index, s, h, "triangles", h.triangleOffset, h.triangleCount, kTriangleSize,
                   error))
        return false;
    // Positions and normals are not needed to draw a layout: a model whose
    // vertex lists lie outside the file still loads, without them.
    if (h.frameCount > 0 && h.vertexCount > 0 && h.frameCount <= INT32_MAX / h.vertexCount)
        pending.vertices =
            ViewOf(p + h.vertexOffset, int64_t(h.frameCount) * h.vertexCount, kVertexSize);
    return true;
}

void Reader::DecodeLists(Model& model, const std::vector<Pending>& pending) const {
    auto decode = [&](size_t first, size_t last) {
        for (size_t i = first; i < last; ++i) {
            Surface& s = model.surfaces[i];
            const Md3SurfaceHeader& h = pending[i].header;
            const size_t n = size_t(std::max(h.vertexCount, 0));
            // Each list was checked to lie inside the file when the surface was read.
            const uint8_t* entry = m_bytes + (int64_t(h.fileOffset) + h.texCoordOffset);
            s.u.resize(n);
            s.v.resize(n);
            for (size_t j = 0; j < n; ++j, entry += kTexCoordSize) {
                s.u[j] = QuantizeTexCoord(DecodeF32(entry));
                s.v[j] = QuantizeTexCoord(DecodeF32(entry + 4));
            }
            // A triangle with a corner outside the surface's vertices draws
            // nothing anywhere: it is left out here, once.
            const uint8_t* t = m_bytes + (int64_t(h.fileOffset) + h.triangleOffset);
            s.triangles.reserve(size_t(std::max(h.triangleCount, 0)));
            for (int32_t k = 0; k < h.triangleCount; ++k, t += kTriangleSize) {
                const Triangle triangle{DecodeI32(t), DecodeI32(t + 4), DecodeI32(t + 8)};
                auto inside = [n](int32_t c) { return c >= 0 && size_t(c) < n; };
                if (inside(triangle.a) && inside(triangle.b) && inside(triangle.c))
                    s.triangles.push_back(triangle);
            }
            if (pending[i].vertices.count > 0)
                DecodeVertices(m_bytes + pending[i].vertices.offset, n, s.positions, s.normals);
        }
    };
    // A large model's lists (up to a million vertices) are decoded on two
    // threads, each over its own surfaces.
    const size_t count = model.surfaces.size();
    size_t total = 0;
    for (const Pending& p : pending)
        total += size_t(std::max(p.header.vertexCount, 0));
    if (total >= (size_t(1) << 18) && count > 1) {
        size_t middle = 0, before = 0;
        while (middle < count && before < total / 2)
            before += size_t(std::max(pending[middle++].header.vertexCount, 0));
        std::thread other(decode, middle, count);
        decode(0, middle);
        other.join();
    } else {
        decode(0, count);
    }
}

Result<Model> Reader::Run(const SourceBytes& source) {
    // Any version number is accepted (exporters differ), the magic is not.
    if (m_size < 4 || std::memcmp(m_bytes, "IDP3", 4) != 0)
        return Fail(kNotAModel);
    if (m_size > INT32_MAX)
        return Fail("it is larger than the 2 GB an MD3 model can address");
    if (!Contains(kSurfaceCountAt, 4) || !Contains(kFirstSurfaceAt, 4))
        return Fail(
            "too short for a model header (" +
            OutOfBoundsText(Contains(kSurfaceCountAt, 4) ? kFirstSurfaceAt : kSurfaceCountAt, 4,
                            m_size) +
            ")");
    const int32_t count = I32(kSurfaceCountAt);
    if (count > kMaxSurfaces)
        return Fail("it has " + std::to_string(count) + " surfaces; Gridwright holds at most " +
                    std::to_string(kMaxSurfaces));
    Model model;
    model.path = m_path;
    model.format = "MD3";
    auto layout = std::make_shared<Md3Layout>();
    layout->surfaceCount = count;
    layout->frameCount = I32(kFrameCountAt);
    layout->tagCount = I32(kFrameCountAt + 4);
    auto geometry = std::make_shared<Md3Geometry>();
    geometry->bytes = source.bytes;
    geometry->frames = std::clamp(layout->frameCount, 0, kMaxModelFrames);
    const ByteView frames = ViewOf(I32(kFramesAt), layout->frameCount, kFrameSize);
    for (size_t f = 0; f < frames.count; ++f)
        model.frameNames.push_back(
            NameAt16(&m_bytes[frames.offset + f * size_t(kFrameSize) + kFrameNameAt]));
    if (layout->frameCount > 0 && layout->tagCount > 0 &&
        layout->tagCount <= INT32_MAX / layout->frameCount) {
        geometry->tags =
            ViewOf(I32(kFramesAt + 4), int64_t(layout->frameCount) * layout->tagCount, kTagSize);
        geometry->tagCount = layout->tagCount;
    }
    std::vector<Pending> pending;
    int64_t p = I32(kFirstSurfaceAt);
    for (int i = 0; i < count; ++i) {
        Surface s;
        Pending read;
        Error error;
        if (!ReadSurface(i, p, s, read, error))
            return error;
        // An end that does not move on would find this surface again in place
        // of the next one.
        if (i + 1 < count && read.header.endOffset <= 0)
            return Fail(Label(i, s) + " ends at offset " + std::to_string(read.header.endOffset) +
                        " from its start, so the surfaces after it cannot be found");
        p += read.header.endOffset;
        model.surfaces.push_back(std::move(s));
        pending.push_back(read);
    }
    DecodeLists(model, pending);
    for (const Pending& read : pending) {
        layout->surfaces.push_back(read.header);
        geometry->vertices.push_back(read.vertices);
        geometry->vertexCounts.push_back(size_t(std::max(read.header.vertexCount, 0)));
    }
    model.geometry = std::move(geometry);
    model.md3 = std::move(layout);
    return model;
}

} // namespace

Result<Model> ReadMd3(const SourceBytes& source) {
    if (!source.bytes)
        return Error{"", source.path, kNotAModel};
    return Reader(source).Run(source);
}
