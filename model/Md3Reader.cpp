#include "model/Md3Reader.h"

#include "model/FileReader.h"
#include "model/LittleEndian.h"
#include "model/QuantizeTexCoord.h"
#include "model/SurfaceStore.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

// Byte positions in the model header and in a surface header.
constexpr int64_t kSurfaceCountAt = 84;
constexpr int64_t kFirstSurfaceAt = 100;
constexpr int64_t kNameAt = 4;        // 64-byte name, then the flags word
constexpr int64_t kFrameCountAt = 72; // then shaders, vertices, triangles
constexpr int64_t kTriangleOffsetAt = 88;
constexpr int64_t kShaderOffsetAt = 92;
constexpr int64_t kTexCoordOffsetAt = 96;
constexpr int64_t kVertexOffsetAt = 100;
constexpr int64_t kEndOffsetAt = 104;
constexpr int64_t kSurfaceHeaderSize = 108;
constexpr int64_t kShaderRecordSize = 68; // 64-byte name, then the index word
constexpr int64_t kTexCoordSize = 8;
constexpr int64_t kTriangleSize = 12;

// A name ends at its first zero byte; one that fills all 64 bytes keeps 63.
void CopyName(char (&field)[kNameSize], const unsigned char* bytes) {
    std::memset(field, 0, kNameSize);
    for (int i = 0; i < kNameSize - 1 && bytes[i] != 0; ++i)
        field[i] = static_cast<char>(bytes[i]);
}

// The header values of one surface, gathered before anything is stored.
struct SurfaceHeader {
    int32_t fileOffset, flags, frameCount, shaderCount, vertexCount, triangleCount;
    int32_t triangleOffset, texCoordOffset, vertexOffset, endOffset, shaderIndex;
    char name[kNameSize];
    char shaderName[kNameSize];
};

class HeaderPass {
  public:
    explicit HeaderPass(const std::string& path) : m_path(path) {}

    bool Run(std::vector<SurfaceHeader>& surfaces, int32_t& count);
    const std::string& reason() const { return m_reason; }

  private:
    bool Fail(const std::string& what);
    bool ReadSurface(int index, int64_t position, SurfaceHeader& s);
    bool CheckList(int index, const SurfaceHeader& s, const char* what, int32_t offset,
                   int32_t entries, int64_t entrySize);
    std::string SurfaceLabel(int index, const SurfaceHeader& s) const;

    std::string m_path;
    FileReader m_file;
    std::string m_reason;

  public:
    const FileReader::Identity& identity() const { return m_file.identity(); }
};

// The file the header pass read; the list passes must find it again.
FileReader::Identity g_headerIdentity;
void (*g_betweenPassesHook)() = nullptr;

bool HeaderPass::Fail(const std::string& what) {
    m_reason = "\"" + m_path + "\": " + what + ".";
    return false;
}

std::string HeaderPass::SurfaceLabel(int index, const SurfaceHeader& s) const {
    return "surface " + std::to_string(index) + " (\"" + NameText(s.name) + "\")";
}

bool HeaderPass::Run(std::vector<SurfaceHeader>& surfaces, int32_t& count) {
    if (!m_file.Open(m_path)) {
        m_reason = "Cannot open \"" + m_path + "\": " + m_file.error() + ".";
        return false;
    }
    // Any version number is accepted (exporters differ), the magic is not.
    unsigned char magic[4] = {};
    if (m_file.size() < 4 || !m_file.ReadAt(0, magic, 4) || std::memcmp(magic, "IDP3", 4) != 0)
        return Fail("it does not start with \"IDP3\", so it is not an MD3 model; load the "
                    "model's .md3 file instead");
    if (m_file.size() > INT32_MAX)
        return Fail("it is larger than the 2 GB an MD3 model can address");
    int32_t position = 0;
    if (!m_file.ReadI32(kSurfaceCountAt, count) || !m_file.ReadI32(kFirstSurfaceAt, position))
        return Fail("too short for a model header (" + m_file.error() + ")");
    if (count > kMaxSurfaces)
        return Fail("it has " + std::to_string(count) + " surfaces; Gridwright holds at most " +
                    std::to_string(kMaxSurfaces));
    int64_t p = position;
    for (int i = 0; i < count; ++i) {
        SurfaceHeader s{};
        if (!ReadSurface(i, p, s))
            return false;
        surfaces.push_back(s);
        p += s.endOffset;
    }
    return true;
}

bool HeaderPass::ReadSurface(int index, int64_t p, SurfaceHeader& s) {
    if (!m_file.Contains(p, kSurfaceHeaderSize))
        return Fail("the header of surface " + std::to_string(index) + " is out of bounds (" +
                    OutOfBoundsText(p, kSurfaceHeaderSize, m_file.size()) + ")");
    s.fileOffset = static_cast<int32_t>(p);
    unsigned char header[kSurfaceHeaderSize];
    if (!m_file.ReadAt(p, header, sizeof header))
        return Fail("the header of surface " + std::to_string(index) + " could not be read (" +
                    m_file.error() + ")");
    CopyName(s.name, header + kNameAt);
    s.flags = DecodeI32(header + kNameAt + kNameSize);
    s.frameCount = DecodeI32(header + kFrameCountAt);
    s.shaderCount = DecodeI32(header + kFrameCountAt + 4);
    s.vertexCount = DecodeI32(header + kFrameCountAt + 8);
    s.triangleCount = DecodeI32(header + kFrameCountAt + 12);
    s.triangleOffset = DecodeI32(header + kTriangleOffsetAt);
    s.texCoordOffset = DecodeI32(header + kTexCoordOffsetAt);
    s.vertexOffset = DecodeI32(header + kVertexOffsetAt);
    s.endOffset = DecodeI32(header + kEndOffsetAt);

    if (s.vertexCount > kMaxVertices)
        return Fail(SurfaceLabel(index, s) + " has " + std::to_string(s.vertexCount) +
                    " vertices; Gridwright holds at most " + std::to_string(kMaxVertices));
    if (s.triangleCount > kMaxTriangles)
        return Fail(SurfaceLabel(index, s) + " has " + std::to_string(s.triangleCount) +
                    " triangles; Gridwright holds at most " + std::to_string(kMaxTriangles));

    // The first shader lies where the surface's shader-list offset says.
    if (s.shaderCount > 0) {
        const int64_t at = p + DecodeI32(header + kShaderOffsetAt);
        unsigned char shader[kShaderRecordSize];
        if (!m_file.ReadAt(at, shader, sizeof shader))
            return Fail("the first shader of " + SurfaceLabel(index, s) + " is out of bounds (" +
                        m_file.error() + ")");
        CopyName(s.shaderName, shader);
        s.shaderIndex = DecodeI32(shader + kNameSize);
    }
    return CheckList(index, s, "texture coordinates", s.texCoordOffset, s.vertexCount,
                     kTexCoordSize) &&
           CheckList(index, s, "triangles", s.triangleOffset, s.triangleCount, kTriangleSize);
}

bool HeaderPass::CheckList(int index, const SurfaceHeader& s, const char* what, int32_t offset,
                           int32_t entries, int64_t entrySize) {
    if (entries <= 0)
        return true;
    const int64_t at = int64_t(s.fileOffset) + offset;
    if (m_file.Contains(at, entries * entrySize))
        return true;
    return Fail(std::string("the ") + what + " of " + SurfaceLabel(index, s) +
                " are out of bounds (" + OutOfBoundsText(at, entries * entrySize, m_file.size()) +
                ")");
}

void StoreHeader(SurfaceRecord& r, const SurfaceHeader& s) {
    r.fileOffset = s.fileOffset;
    std::memcpy(r.name, s.name, kNameSize);
    r.flags = s.flags;
    r.frameCount = s.frameCount;
    r.shaderCount = s.shaderCount;
    r.vertexCount = s.vertexCount;
    r.triangleCount = s.triangleCount;
    r.triangleOffset = s.triangleOffset;
    r.texCoordOffset = s.texCoordOffset;
    r.vertexOffset = s.vertexOffset;
    r.endOffset = s.endOffset;
    std::memcpy(r.shaderName, s.shaderName, kNameSize);
    r.shaderIndex = s.shaderIndex;
}

// One list of a surface in a single read; false when the file changed under
// us since the header pass and the list no longer fits.
bool ReadList(FileReader& file, int64_t at, int32_t entries, int64_t entrySize,
              std::vector<unsigned char>& buffer) {
    buffer.resize(static_cast<size_t>(entries * entrySize));
    return file.ReadAt(at, buffer.data(), buffer.size());
}

} // namespace

Outcome LoadModel(const std::string& path) {
    g_modelPath = path;
    std::vector<SurfaceHeader> surfaces;
    int32_t count = 0;
    HeaderPass pass(path);
    if (!pass.Run(surfaces, count))
        return Outcome::Failure(pass.reason());
    g_headerIdentity = pass.identity();
    g_surfaceCount = count;
    for (size_t i = 0; i < surfaces.size(); ++i)
        StoreHeader(g_surfaces[i], surfaces[i]);
    if (g_betweenPassesHook)
        g_betweenPassesHook();
    Outcome outcome = ReadTexCoords();
    if (outcome.ok)
        outcome = ReadTriangles();
    if (!outcome.ok)
        g_surfaceCount = 0; // never leave half a model to be listed or drawn
    return outcome;
}

namespace {

// One pass: reopens the model and hands every entry of one list of every
// surface to fill, reading each list with a single read.
template <typename Fill>
Outcome ReadEverySurfaceList(const char* what, int32_t SurfaceRecord::*count,
                             int32_t SurfaceRecord::*offset, int32_t limit, int64_t entrySize,
                             Fill fill) {
    const auto changed = [] {
        return Outcome::Failure("\"" + g_modelPath +
                                "\": the file changed while it was being read; load it again.");
    };
    FileReader file;
    if (!file.Open(g_modelPath))
        return Outcome::Failure("Cannot open \"" + g_modelPath + "\": " + file.error() + ".");
    if (!(file.identity() == g_headerIdentity))
        return changed();
    std::vector<unsigned char> bytes;
    for (int i = 0; i < LoadedSurfaceCount(); ++i) {
        SurfaceRecord& r = g_surfaces[i];
        const int32_t n = std::min(r.*count, limit);
        if (n <= 0)
            continue;
        if (!ReadList(file, int64_t(r.fileOffset) + r.*offset, n, entrySize, bytes))
            return Outcome::Failure("\"" + g_modelPath + "\": the " + what + " of surface " +
                                    std::to_string(i) + " could not be read (" + file.error() +
                                    ").");
        for (int j = 0; j < n; ++j)
            fill(r, j, &bytes[size_t(j) * size_t(entrySize)]);
    }
    // Written to while we read it: what was read may mix two versions.
    if (!file.Unchanged())
        return changed();
    return Outcome::Success();
}

} // namespace

Outcome ReadTexCoords() {
    return ReadEverySurfaceList("texture coordinates", &SurfaceRecord::vertexCount,
                                &SurfaceRecord::texCoordOffset, kMaxVertices, kTexCoordSize,
                                [](SurfaceRecord& r, int j, const unsigned char* entry) {
                                    r.u[j] = QuantizeTexCoord(DecodeF32(entry));
                                    r.v[j] = QuantizeTexCoord(DecodeF32(entry + 4));
                                });
}

Outcome ReadTriangles() {
    return ReadEverySurfaceList("triangles", &SurfaceRecord::triangleCount,
                                &SurfaceRecord::triangleOffset, kMaxTriangles, kTriangleSize,
                                [](SurfaceRecord& r, int k, const unsigned char* entry) {
                                    r.cornerA[k] = DecodeI32(entry);
                                    r.cornerB[k] = DecodeI32(entry + 4);
                                    r.cornerC[k] = DecodeI32(entry + 8);
                                });
}

void SetBetweenPassesHook(void (*hook)()) {
    g_betweenPassesHook = hook;
}
