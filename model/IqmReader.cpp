#include "model/IqmReader.h"

#include "model/LittleEndian.h"
#include "model/QuantizeTexCoord.h"
#include "model/Skeleton.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kMagic{"INTERQUAKEMODEL\0", 16};
constexpr uint32_t kVersion = 2;
constexpr int64_t kHeaderSize = 124; // the magic, then 27 words

const char* const kNotAModel =
    "it does not start with \"INTERQUAKEMODEL\" and a zero byte, so it is not an IQM model";

// The header's words, in file order after the magic.
enum Word : size_t {
    kVersionWord,
    kFileSize,
    kFlags,
    kTextCount,
    kTextAt,
    kMeshCount,
    kMeshesAt,
    kArrayCount,
    kVertexCount,
    kArraysAt,
    kTriangleCount,
    kTrianglesAt,
    kAdjacencyAt,
    kJointCount,
    kJointsAt,
    kPoseCount,
    kPosesAt,
    kAnimCount,
    kAnimsAt,
    kFrameCount,
    kFrameChannels,
    kFramesAt,
    kBoundsAt,
    kCommentCount,
    kCommentAt,
    kExtensionCount,
    kExtensionsAt,
    kWordCount
};
static_assert(16 + 4 * int64_t(kWordCount) == kHeaderSize);

// Record sizes of version 2.
constexpr int64_t kMeshSize = 24;
constexpr int64_t kArraySize = 20;
constexpr int64_t kTriangleSize = 12;
constexpr int64_t kJointSize = 48; // name, parent, translation, quaternion, scale
constexpr int64_t kPoseSize = 88;  // parent, mask, ten offsets, ten scales
constexpr int64_t kAnimSize = 20;
constexpr int64_t kBoundsSize = 32;
constexpr int64_t kExtensionSize = 16;

// Vertex array types this reader takes; the others (tangents, blending,
// colours, custom) are only bounds-checked.
constexpr uint32_t kPosition = 0, kTexCoord = 1, kNormal = 2;
constexpr uint32_t kBlendIndices = 4, kBlendWeights = 5;

// Component formats, by their number in the file.
enum Format : uint32_t { kByte, kUByte, kShort, kUShort, kInt, kUInt, kHalf, kFloat, kDouble };
constexpr std::array<int64_t, 9> kFormatSize{1, 1, 2, 2, 4, 4, 2, 4, 8};
constexpr std::array<const char*, 9> kFormatName{
    "signed bytes",           "unsigned bytes",
    "signed 16-bit integers", "unsigned 16-bit integers",
    "signed 32-bit integers", "unsigned 32-bit integers",
    "16-bit floats",          "32-bit floats",
    "64-bit floats"};

// An IEEE half-precision number.
float DecodeHalf(uint16_t h) {
    const int exponent = (h >> 10) & 0x1F;
    const int mantissa = h & 0x3FF;
    float value;
    if (exponent == 0)
        value = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        value = mantissa ? NAN : INFINITY;
    else
        value = std::ldexp(float(mantissa | 0x400), exponent - 25);
    return (h & 0x8000) ? -value : value;
}

// One stored component as a float; a double beyond a float's range becomes
// infinite rather than undefined.
float DecodeComponent(uint32_t format, const uint8_t* p) {
    if (format == kHalf)
        return DecodeHalf(uint16_t(p[0] | (p[1] << 8)));
    if (format == kDouble) {
        const uint64_t raw = uint64_t(DecodeU32(p)) | uint64_t(DecodeU32(p + 4)) << 32;
        double d;
        std::memcpy(&d, &raw, sizeof d);
        if (std::isnan(d))
            return NAN;
        if (std::fabs(d) > double(FLT_MAX))
            return d < 0 ? -INFINITY : INFINITY;
        return float(d);
    }
    return DecodeF32(p);
}

// What a vertex array of this type holds, for errors.
const char* TypeName(uint32_t type) {
    constexpr std::array<const char*, 7> kNames{"positions", "texture coordinates", "normals",
                                                "tangents",  "blend indices",       "blend weights",
                                                "colours"};
    return type < kNames.size() ? kNames[type] : "custom values";
}

// "1 animation", "2 animations".
std::string Count(int64_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// A position or normal component: what is not finite would spoil every
// bound and view, so it becomes 0.
float Finite(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

// A vertex array as the header lists it.
struct VertexArray {
    uint32_t type = 0, flags = 0, format = 0, size = 0, offset = 0;
    int64_t Stride() const { return int64_t(size) * kFormatSize[format]; }
};

class Reader {
  public:
    explicit Reader(const SourceBytes& source)
        : m_path(source.path), m_bytes(source.bytes->data()),
          m_size(int64_t(source.bytes->size())) {}

    Result<Model> Run();

  private:
    Error Fail(const std::string& why) const { return Error{"", m_path, why}; }
    uint32_t U32(int64_t at) const { return DecodeU32(&m_bytes[size_t(at)]); }
    uint32_t Word(Word w) const { return m_words[w]; }
    bool CheckBlock(const char* what, uint32_t at, uint64_t count, int64_t size, Error& error,
                    bool plural = true) const;
    bool CheckBlocks(Error& error) const;
    bool ReadArrays(Error& error);
    bool ReadText(const char* what, int mesh, uint32_t at, std::string& out, Error& error) const;
    bool CheckMesh(int index, Surface& s, Error& error) const;
    bool ReadMesh(int index, Surface& s, Error& error) const;
    void ReadAnimations(Model& model) const;
    // The skeleton and its frames, when the file has frames to show: a flaw
    // in them is a note, never fatal, and the model keeps its bind pose.
    void ReadSkeleton(Model& model, const std::vector<int64_t>& firstVertices) const;
    std::string ReadFrames(SkeletalGeometry& skeleton) const;
    bool ReadInfluences(SkeletalGeometry& skeleton, const Model& model,
                        const std::vector<int64_t>& firstVertices, std::string& flaw) const;
    std::string MeshLabel(int index, const Surface& s) const {
        return "mesh " + std::to_string(index) + " (\"" + s.name + "\")";
    }

    std::string m_path;
    const uint8_t* m_bytes;
    int64_t m_size;
    int64_t m_limit = 0; // the file size the header gives, at most m_size
    std::array<uint32_t, kWordCount> m_words{};
    const VertexArray* m_positions = nullptr;
    const VertexArray* m_texCoords = nullptr;
    const VertexArray* m_normals = nullptr;
    std::array<VertexArray, 3> m_used{};
    // The arrays that bind vertices to joints (the last of each type).
    std::optional<VertexArray> m_blendIndices, m_blendWeights;
};

// `count` records of `size` bytes from `at` lie after the header and inside
// the file; an empty block may have any offset (the format writes 0).
bool Reader::CheckBlock(const char* what, uint32_t at, uint64_t count, int64_t size, Error& error,
                        bool plural) const {
    if (count == 0)
        return true;
    if (at < kHeaderSize) {
        error = Fail(std::string(what) + (plural ? " start" : " starts") + " at offset " +
                     std::to_string(at) + ", inside the header");
        return false;
    }
    // A count of frames times channels may pass 2^63: compared before it is multiplied.
    const uint64_t room = uint64_t(std::max<int64_t>(m_limit - int64_t(at), 0));
    if (count > room / uint64_t(size)) {
        const std::string extent =
            count <= uint64_t(INT32_MAX)
                ? "bytes " + std::to_string(at) + " to " +
                      std::to_string(int64_t(at) + int64_t(count) * size - 1)
                : std::to_string(count) + " records from byte " + std::to_string(at);
        error = Fail(std::string(what) + (plural ? " lie" : " lies") + " outside the file (" +
                     extent + " of a file of " + std::to_string(m_limit) + " bytes)");
        return false;
    }
    return true;
}

bool Reader::CheckBlocks(Error& error) const {
    const uint64_t frames = Word(kFrameCount);
    return CheckBlock("its text", Word(kTextAt), Word(kTextCount), 1, error, false) &&
           CheckBlock("its meshes", Word(kMeshesAt), Word(kMeshCount), kMeshSize, error) &&
           CheckBlock("its vertex arrays", Word(kArraysAt), Word(kArrayCount), kArraySize, error) &&
           CheckBlock("its triangles", Word(kTrianglesAt), Word(kTriangleCount), kTriangleSize,
                      error) &&
           (Word(kAdjacencyAt) == 0 || CheckBlock("its triangle neighbours", Word(kAdjacencyAt),
                                                  Word(kTriangleCount), kTriangleSize, error)) &&
           CheckBlock("its joints", Word(kJointsAt), Word(kJointCount), kJointSize, error) &&
           CheckBlock("its poses", Word(kPosesAt), Word(kPoseCount), kPoseSize, error) &&
           CheckBlock("its animations", Word(kAnimsAt), Word(kAnimCount), kAnimSize, error) &&
           CheckBlock("its frames", Word(kFramesAt), frames * Word(kFrameChannels), 2, error) &&
           (Word(kBoundsAt) == 0 ||
            CheckBlock("its frame bounds", Word(kBoundsAt), frames, kBoundsSize, error)) &&
           CheckBlock("its comment", Word(kCommentAt), Word(kCommentCount), 1, error, false) &&
           // The extensions are a chain; only its first link is where the header says.
           CheckBlock("its extensions", Word(kExtensionsAt), Word(kExtensionCount) > 0 ? 1 : 0,
                      kExtensionSize, error);
}

bool Reader::ReadArrays(Error& error) {
    const int64_t vertices = Word(kVertexCount);
    for (uint32_t i = 0; i < Word(kArrayCount); ++i) {
        const int64_t at = int64_t(Word(kArraysAt)) + int64_t(i) * kArraySize;
        VertexArray a{U32(at), U32(at + 4), U32(at + 8), U32(at + 12), U32(at + 16)};
        const std::string label = "vertex array " + std::to_string(i);
        if (a.format >= kFormatSize.size()) {
            error = Fail(label + " has component format " + std::to_string(a.format) +
                         ", which is none of the nine IQM defines");
            return false;
        }
        if (a.size < 1 || a.size > 4) {
            error = Fail(label + " has " + std::to_string(a.size) +
                         " components a vertex; IQM allows 1 to 4");
            return false;
        }
        if (!CheckBlock(("the " + std::string(TypeName(a.type)) + " of " + label).c_str(), a.offset,
                        vertices, a.Stride(), error))
            return false;
        if (a.type == kBlendIndices)
            m_blendIndices = a;
        if (a.type == kBlendWeights)
            m_blendWeights = a;
        const VertexArray** slot = a.type == kPosition   ? &m_positions
                                   : a.type == kTexCoord ? &m_texCoords
                                   : a.type == kNormal   ? &m_normals
                                                         : nullptr;
        // A later array of a type replaces an earlier one, as in the engines.
        if (slot == nullptr)
            continue;
        const char* what = TypeName(a.type);
        const uint32_t wanted = a.type == kTexCoord ? 2 : 3;
        if (a.format != kHalf && a.format != kFloat && a.format != kDouble) {
            error = Fail(std::string("its ") + what + " are stored as " + kFormatName[a.format] +
                         "; Gridwright reads them as 16-, 32- or 64-bit floats only");
            return false;
        }
        if (a.size != wanted) {
            error = Fail(std::string("its ") + what + " have " + std::to_string(a.size) +
                         " components a vertex; Gridwright reads " + std::to_string(wanted));
            return false;
        }
        m_used[a.type] = a;
        *slot = &m_used[a.type];
    }
    return true;
}

// A name at `at` in the text block: inside it and ended by a zero byte there.
bool Reader::ReadText(const char* what, int mesh, uint32_t at, std::string& out,
                      Error& error) const {
    const uint32_t count = Word(kTextCount);
    // Offset 0 is the empty string, which a file with no text at all still names.
    if (count == 0 && at == 0) {
        out.clear();
        return true;
    }
    const std::string label = std::string("the ") + what + " of mesh " + std::to_string(mesh);
    if (at >= count) {
        error = Fail(label + " starts at offset " + std::to_string(at) +
                     " of the text, which holds " + std::to_string(count) + " bytes");
        return false;
    }
    const auto* start = reinterpret_cast<const char*>(m_bytes + Word(kTextAt) + at);
    const void* end = std::memchr(start, 0, count - at);
    if (end == nullptr) {
        error = Fail(label + " runs past the end of the text without a closing zero byte");
        return false;
    }
    out.assign(start, size_t(static_cast<const char*>(end) - start));
    return true;
}

// The mesh's names, and its ranges checked against the file's lists.
bool Reader::CheckMesh(int index, Surface& s, Error& error) const {
    const int64_t at = int64_t(Word(kMeshesAt)) + int64_t(index) * kMeshSize;
    if (!ReadText("name", index, U32(at), s.name, error) ||
        !ReadText("material", index, U32(at + 4), s.shaderName, error))
        return false;
    const int64_t firstVertex = U32(at + 8), vertexCount = U32(at + 12);
    const int64_t firstTriangle = U32(at + 16), triangleCount = U32(at + 20);
    const std::string label = MeshLabel(index, s);
    // An empty range names nothing, wherever it starts.
    if (vertexCount > 0 && firstVertex + vertexCount > Word(kVertexCount)) {
        error = Fail(label + " has vertices " + std::to_string(firstVertex) + " to " +
                     std::to_string(firstVertex + vertexCount - 1) + ", but the file holds " +
                     std::to_string(Word(kVertexCount)));
        return false;
    }
    if (triangleCount > 0 && firstTriangle + triangleCount > Word(kTriangleCount)) {
        error = Fail(label + " has triangles " + std::to_string(firstTriangle) + " to " +
                     std::to_string(firstTriangle + triangleCount - 1) + ", but the file holds " +
                     std::to_string(Word(kTriangleCount)));
        return false;
    }
    if (vertexCount > kMaxMeshVertices) {
        error = Fail(label + " has " + std::to_string(vertexCount) +
                     " vertices; Gridwright holds at most " + std::to_string(kMaxMeshVertices));
        return false;
    }
    if (triangleCount > kMaxMeshTriangles) {
        error = Fail(label + " has " + std::to_string(triangleCount) +
                     " triangles; Gridwright holds at most " + std::to_string(kMaxMeshTriangles));
        return false;
    }
    return true;
}

// The lists of a mesh that CheckMesh passed.
bool Reader::ReadMesh(int index, Surface& s, Error& error) const {
    const int64_t at = int64_t(Word(kMeshesAt)) + int64_t(index) * kMeshSize;
    const int64_t firstVertex = U32(at + 8), vertexCount = U32(at + 12);
    const int64_t firstTriangle = U32(at + 16), triangleCount = U32(at + 20);
    const std::string label = MeshLabel(index, s);
    // Triangles name vertices of the whole file; a mesh's own must lie in
    // its range, and are kept counted from its first vertex.
    s.triangles.resize(size_t(triangleCount));
    const uint8_t* t = m_bytes + Word(kTrianglesAt) + firstTriangle * kTriangleSize;
    for (int64_t k = 0; k < triangleCount; ++k, t += kTriangleSize) {
        int32_t corner[3];
        for (int c = 0; c < 3; ++c) {
            const int64_t vertex = DecodeU32(t + 4 * c);
            if (vertex < firstVertex || vertex >= firstVertex + vertexCount) {
                error = Fail("triangle " + std::to_string(firstTriangle + k) + " of " + label +
                             " uses vertex " + std::to_string(vertex) +
                             (vertexCount == 0
                                  ? ", but the mesh has no vertices"
                                  : ", outside the mesh's vertices " + std::to_string(firstVertex) +
                                        " to " + std::to_string(firstVertex + vertexCount - 1)));
                return false;
            }
            corner[c] = int32_t(vertex - firstVertex);
        }
        s.triangles[size_t(k)] = {corner[0], corner[1], corner[2]};
    }
    const size_t n = size_t(vertexCount);
    {
        const VertexArray& a = *m_texCoords;
        const int64_t step = kFormatSize[a.format];
        const uint8_t* p = m_bytes + a.offset + firstVertex * a.Stride();
        s.u.resize(n);
        s.v.resize(n);
        // Stored as the game samples them: v grows down the image.
        for (size_t j = 0; j < n; ++j, p += a.Stride()) {
            s.u[j] = QuantizeTexCoord(DecodeComponent(a.format, p));
            s.v[j] = QuantizeTexCoord(DecodeComponent(a.format, p + step));
        }
    }
    auto points = [&](const VertexArray* a, std::vector<Point3>& out) {
        if (a == nullptr)
            return;
        const int64_t step = kFormatSize[a->format];
        const uint8_t* p = m_bytes + a->offset + firstVertex * a->Stride();
        out.resize(n);
        for (size_t j = 0; j < n; ++j, p += a->Stride())
            out[j] = {Finite(DecodeComponent(a->format, p)),
                      Finite(DecodeComponent(a->format, p + step)),
                      Finite(DecodeComponent(a->format, p + 2 * step))};
    };
    points(m_positions, s.positions);
    points(m_normals, s.normals);
    return true;
}

Result<Model> Reader::Run() {
    if (m_size < int64_t(kMagic.size()) || std::memcmp(m_bytes, kMagic.data(), kMagic.size()) != 0)
        return Fail(kNotAModel);
    if (m_size < kHeaderSize)
        return Fail("too short for an IQM header (" + std::to_string(m_size) + " bytes of " +
                    std::to_string(kHeaderSize) + ")");
    for (size_t w = 0; w < m_words.size(); ++w)
        m_words[w] = U32(16 + 4 * int64_t(w));
    if (Word(kVersionWord) != kVersion)
        return Fail("it is IQM version " + std::to_string(Word(kVersionWord)) +
                    "; Gridwright reads version 2");
    const int64_t claimed = Word(kFileSize);
    if (claimed > m_size)
        return Fail("its header gives a size of " + std::to_string(claimed) +
                    " bytes, but the file has " + std::to_string(m_size) + ": it is cut short");
    if (claimed < kHeaderSize)
        return Fail("its header gives a size of " + std::to_string(claimed) +
                    " bytes, less than the header's own " + std::to_string(kHeaderSize));
    // Bytes past the size the header gives belong to no block.
    m_limit = claimed;
    Error error;
    if (!CheckBlocks(error))
        return error;
    const int64_t meshes = Word(kMeshCount);
    if (meshes == 0)
        return Fail("it holds no meshes (" + Count(Word(kAnimCount), "animation") + " of " +
                    Count(Word(kFrameCount), "frame") +
                    " in all), so there is no layout to draw; open the model these "
                    "animations move");
    if (meshes > kMaxModelSurfaces)
        return Fail("it has " + std::to_string(meshes) + " meshes; Gridwright holds at most " +
                    std::to_string(kMaxModelSurfaces));
    if (Word(kVertexCount) > kMaxModelVertices)
        return Fail("it has " + std::to_string(Word(kVertexCount)) +
                    " vertices; Gridwright holds at most " + std::to_string(kMaxModelVertices));
    if (!ReadArrays(error))
        return error;
    if (m_texCoords == nullptr)
        return Fail("it has no texture coordinates, so its meshes have no layout to draw");
    // Meshes that shared vertices or triangles could ask for many copies of
    // the file's lists; together they may hold no more than the file does.
    int64_t vertexSum = 0, triangleSum = 0;
    for (int64_t i = 0; i < meshes; ++i) {
        const int64_t at = int64_t(Word(kMeshesAt)) + i * kMeshSize;
        vertexSum += U32(at + 12);
        triangleSum += U32(at + 20);
    }
    Model model;
    model.path = m_path;
    model.format = "IQM";
    model.surfaces.resize(size_t(meshes));
    for (int i = 0; i < int(meshes); ++i)
        if (!CheckMesh(i, model.surfaces[size_t(i)], error))
            return error;
    if (vertexSum > Word(kVertexCount))
        return Fail("its meshes have " + std::to_string(vertexSum) +
                    " vertices together, more than the " + std::to_string(Word(kVertexCount)) +
                    " the file holds");
    if (triangleSum > Word(kTriangleCount))
        return Fail("its meshes have " + std::to_string(triangleSum) +
                    " triangles together, more than the " + std::to_string(Word(kTriangleCount)) +
                    " the file holds");
    for (int i = 0; i < int(meshes); ++i)
        if (!ReadMesh(i, model.surfaces[size_t(i)], error))
            return error;
    ReadAnimations(model);
    std::vector<int64_t> firstVertices;
    for (int64_t i = 0; i < meshes; ++i)
        firstVertices.push_back(U32(int64_t(Word(kMeshesAt)) + i * kMeshSize + 8));
    ReadSkeleton(model, firstVertices);
    return model;
}

// The animations' names and frames; a flaw in one is a note, never fatal:
// the layout does not need them.
void Reader::ReadAnimations(Model& model) const {
    const uint32_t count = Word(kAnimCount), frames = Word(kFrameCount);
    constexpr uint32_t kMostAnimations = 4096;
    if (count > kMostAnimations)
        model.notes.push_back("it names " + std::to_string(count) + " animations; the first " +
                              std::to_string(kMostAnimations) + " are read");
    for (uint32_t i = 0; i < count && i < kMostAnimations; ++i) {
        const int64_t at = int64_t(Word(kAnimsAt)) + int64_t(i) * kAnimSize;
        Animation a;
        Error unnamed;
        if (!ReadText("name", 0, U32(at), a.name, unnamed) || a.name.empty()) {
            if (!unnamed.reason.empty())
                model.notes.push_back("animation " + std::to_string(i) +
                                      "'s name is not in the file's text");
            a.name = "animation " + std::to_string(i);
        }
        const uint32_t first = U32(at + 4), length = U32(at + 8), flags = U32(at + 16);
        const uint32_t raw = U32(at + 12);
        float rate;
        std::memcpy(&rate, &raw, sizeof rate);
        a.first = int(std::min<uint32_t>(first, INT32_MAX));
        a.frames = int(std::min<uint32_t>(length, INT32_MAX));
        a.looping = (flags & 1u) != 0 ? a.frames : 0; // IQM_LOOP: the whole repeats
        a.fps = std::isfinite(rate) && rate > 0 ? double(rate) : 10;
        if (uint64_t(first) + length > frames)
            model.notes.push_back("animation \"" + a.name + "\" asks for frames " +
                                  std::to_string(first) + " to " +
                                  std::to_string(uint64_t(first) + length - 1) + " of the " +
                                  std::to_string(frames) + " the file holds");
        model.animations.push_back(std::move(a));
    }
}

void Reader::ReadSkeleton(Model& model, const std::vector<int64_t>& firstVertices) const {
    const uint32_t joints = Word(kJointCount), frames = Word(kFrameCount);
    if (frames == 0)
        return; // the bind pose is all there is to show
    auto skip = [&](const std::string& why) {
        model.notes.push_back(why + "; its frames are not shown, only its bind pose");
    };
    if (joints == 0 || m_positions == nullptr)
        return; // nothing the frames could move
    if (Word(kPoseCount) != joints)
        return skip("it has " + Count(Word(kPoseCount), "pose") + " a frame for its " +
                    Count(joints, "joint"));
    if (frames > uint32_t(kMaxModelFrames) || int64_t(frames) * joints > kMaxJointTransforms)
        return skip("its " + Count(frames, "frame") + " of " + Count(joints, "joint") +
                    " are more than the " + std::to_string(kMaxJointTransforms) +
                    " joint poses Gridwright holds");
    auto skeleton = std::make_shared<SkeletalGeometry>();
    skeleton->blend = JointBlend::Matrices;
    skeleton->joints.resize(joints);
    std::vector<JointMatrix> bind(joints);
    skeleton->inverseBind.resize(joints);
    for (uint32_t i = 0; i < joints; ++i) {
        const int64_t at = int64_t(Word(kJointsAt)) + int64_t(i) * kJointSize;
        Joint& joint = skeleton->joints[i];
        Error unnamed;
        if (!ReadText("name", 0, U32(at), joint.name, unnamed))
            joint.name = "joint " + std::to_string(i);
        const int32_t parent = int32_t(U32(at + 4));
        if (parent >= int32_t(i))
            return skip("joint " + std::to_string(i) + " (\"" + joint.name +
                        "\") hangs from joint " + std::to_string(parent) +
                        ", which does not come before it");
        joint.parent = parent < 0 ? -1 : parent;
        JointTransform t;
        for (size_t c = 0; c < 3; ++c) {
            t.translate[c] = DecodeF32(m_bytes + at + 8 + 4 * c);
            t.scale[c] = DecodeF32(m_bytes + at + 36 + 4 * c);
        }
        for (size_t c = 0; c < 4; ++c)
            t.rotate[c] = DecodeF32(m_bytes + at + 20 + 4 * c);
        // As the IQM sample builds its base frame: each joint relative to
        // the model, and its inverse, which takes a vertex into the joint.
        bind[i] = JointMatrix::From(t);
        if (joint.parent >= 0)
            bind[i] = bind[size_t(joint.parent)] * bind[i];
        skeleton->inverseBind[i] = bind[i].Inverse();
    }
    if (std::string flaw = ReadFrames(*skeleton); !flaw.empty())
        return skip(flaw);
    std::string flaw;
    if (!ReadInfluences(*skeleton, model, firstVertices, flaw))
        return skip(flaw);
    if (std::string wrong = skeleton->Flaw(); !wrong.empty())
        return skip(wrong);
    model.geometry = std::move(skeleton);
}

// Each frame's joints, from the poses' channels: a channel the pose's mask
// names takes the next stored number, scaled and offset; the others are
// the offset alone.
std::string Reader::ReadFrames(SkeletalGeometry& skeleton) const {
    const uint32_t joints = Word(kJointCount), frames = Word(kFrameCount);
    struct Channels {
        uint32_t mask = 0;
        std::array<float, 10> offset{}, scale{};
    };
    std::vector<Channels> poses(joints);
    int64_t stored = 0;
    for (uint32_t j = 0; j < joints; ++j) {
        const int64_t at = int64_t(Word(kPosesAt)) + int64_t(j) * kPoseSize;
        const int32_t parent = int32_t(U32(at));
        if ((parent < 0 ? -1 : parent) != skeleton.joints[j].parent)
            return "the pose of joint " + std::to_string(j) +
                   " hangs from another parent than the joint";
        poses[j].mask = U32(at + 4) & 0x3FFu;
        for (size_t c = 0; c < 10; ++c) {
            poses[j].offset[c] = DecodeF32(m_bytes + at + 8 + 4 * c);
            poses[j].scale[c] = DecodeF32(m_bytes + at + 48 + 4 * c);
        }
        stored += std::popcount(poses[j].mask);
    }
    if (stored > int64_t(Word(kFrameChannels)))
        return "its poses read " + std::to_string(stored) +
               " numbers a frame, but its frames hold " + std::to_string(Word(kFrameChannels));
    skeleton.frames.resize(frames);
    for (uint32_t f = 0; f < frames; ++f) {
        const uint8_t* data =
            m_bytes + Word(kFramesAt) + int64_t(f) * int64_t(Word(kFrameChannels)) * 2;
        std::vector<JointTransform>& frame = skeleton.frames[f];
        frame.resize(joints);
        for (uint32_t j = 0; j < joints; ++j) {
            std::array<float, 10> value = poses[j].offset;
            for (size_t c = 0; c < 10; ++c)
                if (poses[j].mask & (1u << c)) {
                    value[c] += float(uint16_t(data[0] | (data[1] << 8))) * poses[j].scale[c];
                    data += 2;
                }
            frame[j].translate = {value[0], value[1], value[2]};
            frame[j].rotate = {value[3], value[4], value[5], value[6]};
            frame[j].scale = {value[7], value[8], value[9]};
        }
    }
    return {};
}

// Which joints move each vertex, and by how much: the blend arrays' four
// indices and weights (weights stored as integers are fractions of their
// largest value). A vertex without them stays in its bind pose.
bool Reader::ReadInfluences(SkeletalGeometry& skeleton, const Model& model,
                            const std::vector<int64_t>& firstVertices, std::string& flaw) const {
    const bool bound = m_blendIndices && m_blendWeights;
    if (bound && m_blendIndices->format > kUInt) {
        flaw = std::string("its blend indices are stored as ") +
               kFormatName[m_blendIndices->format] + ", not as integers";
        return false;
    }
    const uint32_t joints = Word(kJointCount);
    skeleton.surfaces.resize(model.surfaces.size());
    for (size_t m = 0; m < model.surfaces.size(); ++m) {
        const Surface& s = model.surfaces[m];
        SkinnedSurface& out = skeleton.surfaces[m];
        const size_t n = s.u.size();
        out.bindPositions = s.positions;
        out.bindNormals = s.normals;
        if (out.bindPositions.size() != n)
            out.bindPositions.assign(n, Point3{0, 0, 0});
        out.first.reserve(n + 1);
        out.first.push_back(0);
        for (size_t v = 0; v < n && bound; ++v) {
            const int64_t vertex = firstVertices[m] + int64_t(v);
            const VertexArray& ia = *m_blendIndices;
            const VertexArray& wa = *m_blendWeights;
            const uint8_t* ip = m_bytes + ia.offset + vertex * ia.Stride();
            const uint8_t* wp = m_bytes + wa.offset + vertex * wa.Stride();
            const uint32_t pairs = std::min(ia.size, wa.size);
            for (uint32_t k = 0; k < pairs; ++k) {
                const uint8_t* i = ip + k * kFormatSize[ia.format];
                const uint8_t* w = wp + k * kFormatSize[wa.format];
                const int64_t joint = ia.format <= kUByte ? (ia.format == kByte ? int8_t(*i) : *i)
                                      : ia.format <= kUShort
                                          ? (ia.format == kShort ? int16_t(i[0] | (i[1] << 8))
                                                                 : uint16_t(i[0] | (i[1] << 8)))
                                      : ia.format == kInt ? int64_t(int32_t(DecodeU32(i)))
                                                          : int64_t(DecodeU32(i));
                float weight = 0;
                switch (wa.format) {
                case kByte:
                    weight = float(int8_t(*w)) / 127.0f;
                    break;
                case kUByte:
                    weight = float(*w) / 255.0f;
                    break;
                case kShort:
                    weight = float(int16_t(w[0] | (w[1] << 8))) / 32767.0f;
                    break;
                case kUShort:
                    weight = float(uint16_t(w[0] | (w[1] << 8))) / 65535.0f;
                    break;
                case kInt:
                    weight = float(double(int32_t(DecodeU32(w))) / 2147483647.0);
                    break;
                case kUInt:
                    weight = float(double(DecodeU32(w)) / 4294967295.0);
                    break;
                default:
                    weight = Finite(DecodeComponent(wa.format, w));
                    break;
                }
                if (weight == 0)
                    continue;
                if (joint < 0 || joint >= int64_t(joints)) {
                    flaw = "vertex " + std::to_string(vertex) + " is weighted to joint " +
                           std::to_string(joint) + ", and the model has " + Count(joints, "joint");
                    return false;
                }
                out.influences.push_back({int32_t(joint), weight, {0, 0, 0}});
            }
            out.first.push_back(uint32_t(out.influences.size()));
        }
        out.first.resize(n + 1, uint32_t(out.influences.size()));
    }
    return true;
}

} // namespace

Result<Model> ReadIqm(const SourceBytes& source) {
    if (!source.bytes)
        return Error{"", source.path, kNotAModel};
    return Reader(source).Run();
}
