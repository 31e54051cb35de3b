#include "model/Md3Reader.h"

#include "model/FileReader.h"
#include "model/LittleEndian.h"
#include "model/QuantizeTexCoord.h"

#include <algorithm>
#include <climits>
#include <cstring>
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

// A name ends at its first zero byte; one that fills all 64 bytes keeps 63.
std::string NameAt(const uint8_t* bytes) {
    size_t n = 0;
    while (n < size_t(kNameSize - 1) && bytes[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

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
    bool ReadSurface(int index, int64_t at, Surface& s, Error& error) const;
    // Every surface's coordinates, decoded into one block (one allocation,
    // in large pages, for a model of any size).
    bool DecodeCoordinates(Model& model) const;
    bool CheckList(int index, const Surface& s, const char* what, int32_t offset, int32_t entries,
                   int64_t entrySize, Error& error) const;
    static std::string Label(int index, const Surface& s) {
        return "surface " + std::to_string(index) + " (\"" + s.name + "\")";
    }

    std::string m_path;
    const uint8_t* m_bytes;
    int64_t m_size;
};

bool Reader::CheckList(int index, const Surface& s, const char* what, int32_t offset,
                       int32_t entries, int64_t entrySize, Error& error) const {
    if (entries <= 0)
        return true;
    const int64_t at = int64_t(s.fileOffset) + offset;
    if (Contains(at, entries * entrySize))
        return true;
    error = Fail(std::string("the ") + what + " of " + Label(index, s) + " are out of bounds (" +
                 OutOfBoundsText(at, entries * entrySize, m_size) + ")");
    return false;
}

bool Reader::ReadSurface(int index, int64_t p, Surface& s, Error& error) const {
    if (!Contains(p, kSurfaceHeaderSize)) {
        error = Fail("the header of surface " + std::to_string(index) + " is out of bounds (" +
                     OutOfBoundsText(p, kSurfaceHeaderSize, m_size) + ")");
        return false;
    }
    const uint8_t* header = &m_bytes[size_t(p)];
    s.fileOffset = int32_t(p);
    s.name = NameAt(header + kNameAt);
    s.flags = DecodeI32(header + kNameAt + kNameSize);
    s.frameCount = DecodeI32(header + kSurfaceFrameCountAt);
    s.shaderCount = DecodeI32(header + kSurfaceFrameCountAt + 4);
    s.vertexCount = DecodeI32(header + kSurfaceFrameCountAt + 8);
    s.triangleCount = DecodeI32(header + kSurfaceFrameCountAt + 12);
    s.triangleOffset = DecodeI32(header + kTriangleOffsetAt);
    s.texCoordOffset = DecodeI32(header + kTexCoordOffsetAt);
    s.vertexOffset = DecodeI32(header + kVertexOffsetAt);
    s.endOffset = DecodeI32(header + kEndOffsetAt);
    if (s.vertexCount > kMaxVertices) {
        error = Fail(Label(index, s) + " has " + std::to_string(s.vertexCount) +
                     " vertices; Gridwright holds at most " + std::to_string(kMaxVertices));
        return false;
    }
    if (s.triangleCount > kMaxTriangles) {
        error = Fail(Label(index, s) + " has " + std::to_string(s.triangleCount) +
                     " triangles; Gridwright holds at most " + std::to_string(kMaxTriangles));
        return false;
    }
    // The first shader lies where the surface's shader-list offset says.
    if (s.shaderCount > 0) {
        const int64_t at = p + DecodeI32(header + kShaderOffsetAt);
        if (!Contains(at, kShaderRecordSize)) {
            error = Fail("the first shader of " + Label(index, s) + " is out of bounds (" +
                         OutOfBoundsText(at, kShaderRecordSize, m_size) + ")");
            return false;
        }
        s.shaderName = NameAt(&m_bytes[size_t(at)]);
        s.shaderIndex = I32(at + kNameSize);
    }
    if (!CheckList(index, s, "texture coordinates", s.texCoordOffset, s.vertexCount, kTexCoordSize,
                   error) ||
        !CheckList(index, s, "triangles", s.triangleOffset, s.triangleCount, kTriangleSize, error))
        return false;
    // Every list is inside the file. The triangles are read where they lie.
    if (s.triangleCount > 0)
        s.triangles = TriangleList(&m_bytes[size_t(p + s.triangleOffset)], size_t(s.triangleCount));
    // Positions and normals are not needed to draw a layout: a model whose
    // vertex lists lie outside the file still loads, without them.
    if (s.frameCount > 0 && s.vertexCount > 0 && s.frameCount <= INT32_MAX / s.vertexCount)
        s.vertices = ViewOf(p + s.vertexOffset, int64_t(s.frameCount) * s.vertexCount, kVertexSize);
    if (s.vertices.count > 0)
        s.positions = PositionList(&m_bytes[s.vertices.offset], size_t(s.vertexCount));
    return true;
}

bool Reader::DecodeCoordinates(Model& model) const {
    // Where each surface's u and v go in the block.
    std::vector<size_t> starts;
    size_t total = 0;
    for (const Surface& s : model.surfaces) {
        starts.push_back(total);
        total += 2 * size_t(std::max(s.vertexCount, 0));
    }
    std::shared_ptr<Bytes> block = Bytes::Allocate(total * sizeof(double));
    if (!block)
        return false;
    auto* out = reinterpret_cast<double*>(block->data());
    auto decode = [&](size_t first, size_t last) {
        for (size_t i = first; i < last; ++i) {
            Surface& s = model.surfaces[i];
            const size_t n = size_t(std::max(s.vertexCount, 0));
            if (n == 0)
                continue;
            // Checked to lie inside the file when the surface was read.
            const uint8_t* entry = m_bytes + (int64_t(s.fileOffset) + s.texCoordOffset);
            double* u = out + starts[i];
            double* v = u + n;
            for (size_t j = 0; j < n; ++j, entry += kTexCoordSize) {
                u[j] = QuantizeTexCoord(DecodeF32(entry));
                v[j] = QuantizeTexCoord(DecodeF32(entry + 4));
            }
            s.u = CoordList(u, n);
            s.v = CoordList(v, n);
        }
    };
    // A large model's coordinates (up to a million vertices) are decoded on
    // two threads, each over its own surfaces and its own part of the block.
    const size_t count = model.surfaces.size();
    if (total >= (size_t(1) << 18) && count > 1) {
        size_t middle = 0;
        while (middle < count && starts[middle] < total / 2)
            ++middle;
        std::thread other(decode, middle, count);
        decode(0, middle);
        other.join();
    } else {
        decode(0, count);
    }
    model.coordinates = std::move(block);
    return true;
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
    model.bytes = source.bytes;
    model.surfaceCount = count;
    model.frameCount = I32(kFrameCountAt);
    model.tagCount = I32(kFrameCountAt + 4);
    model.frames = ViewOf(I32(kFramesAt), model.frameCount, kFrameSize);
    if (model.frameCount > 0 && model.tagCount > 0 &&
        model.tagCount <= INT32_MAX / model.frameCount)
        model.tags =
            ViewOf(I32(kFramesAt + 4), int64_t(model.frameCount) * model.tagCount, kTagSize);
    int64_t p = I32(kFirstSurfaceAt);
    for (int i = 0; i < count; ++i) {
        Surface s;
        Error error;
        if (!ReadSurface(i, p, s, error))
            return error;
        // An end that does not move on would find this surface again in place
        // of the next one.
        if (i + 1 < count && s.endOffset <= 0)
            return Fail(Label(i, s) + " ends at offset " + std::to_string(s.endOffset) +
                        " from its start, so the surfaces after it cannot be found");
        p += s.endOffset;
        model.surfaces.push_back(std::move(s));
    }
    if (!DecodeCoordinates(model))
        return Fail("there is not enough memory to hold its texture coordinates");
    return model;
}

} // namespace

Result<Model> ReadMd3(const SourceBytes& source) {
    if (!source.bytes)
        return Error{"", source.path, kNotAModel};
    return Reader(source).Run(source);
}

Result<Model> LoadMd3File(const std::string& path) {
    Result<SourceBytes> read =
        ReadFileBytes(path, INT32_MAX, "it is larger than the 2 GB an MD3 model can address");
    if (!read.ok())
        return read.error();
    return ReadMd3(read.value());
}
