#include "model/MdlReader.h"

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
#include <memory>
#include <string>
#include <vector>

namespace {

// Sizes of the file's records, in bytes.
constexpr int64_t kHeaderSize = 84;
constexpr int64_t kTexCoordSize = 12;    // onseam, s, t
constexpr int64_t kTriangleSize = 16;    // facesfront, three vertex indices
constexpr int64_t kVertexSize = 4;       // x, y, z packed, then the normal index
constexpr int64_t kPoseHeaderSize = 24;  // bounding box (two vertices), 16-byte name
constexpr int64_t kGroupHeaderSize = 12; // pose count, bounding box
constexpr int32_t kVersion = 6;

const char* const kNotAModel =
    "it does not start with \"IDPO\", so it is not a Quake MDL model; load the model's .mdl "
    "file instead";

// The surface's name: the file's name without its folder and extension, the
// name the game and its painters know the model by ("progs/player.mdl").
std::string StemOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name.empty() ? "mdl" : name;
}

std::string Plural(int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The poses stay in the file's bytes, each decoded when it is shown: a
// model of hundreds of frames reads as fast as its bytes.
class MdlGeometry : public ModelGeometry {
  public:
    std::shared_ptr<const Bytes> bytes;
    std::vector<int64_t> poseAt; // each pose's vertices
    size_t vertexCount = 0;      // the file's; the seam's copies follow
    std::vector<int32_t> copyOf;
    std::array<float, 3> scale{}, origin{};

    int FrameCount() const override { return int(poseAt.size()); }
    SurfacePose Pose(size_t surface, int frame) const override {
        SurfacePose out;
        if (surface != 0 || poseAt.empty())
            return out;
        const size_t f = size_t(std::clamp(frame, 0, int(poseAt.size()) - 1));
        const std::array<Point3, kQuakeNormalCount>& normals = QuakeNormals();
        out.positions.resize(vertexCount + copyOf.size());
        out.normals.resize(vertexCount + copyOf.size());
        const uint8_t* p = bytes->data() + poseAt[f];
        for (size_t i = 0; i < vertexCount; ++i, p += kVertexSize) {
            out.positions[i] = {float(p[0]) * scale[0] + origin[0],
                                float(p[1]) * scale[1] + origin[1],
                                float(p[2]) * scale[2] + origin[2]};
            // An index past the table (the game would read beyond it) points up.
            out.normals[i] = p[3] < kQuakeNormalCount ? normals[p[3]] : Point3{0, 0, 1};
        }
        for (size_t k = 0; k < copyOf.size(); ++k) {
            out.positions[vertexCount + k] = out.positions[size_t(copyOf[k])];
            out.normals[vertexCount + k] = out.normals[size_t(copyOf[k])];
        }
        return out;
    }
};

class Reader {
  public:
    explicit Reader(const SourceBytes& source)
        : m_path(source.path), m_source(source.bytes), m_bytes(source.bytes->data()),
          m_size(int64_t(source.bytes->size())) {}

    Result<Model> Run();

  private:
    Error Fail(const std::string& why) const { return Error{"", m_path, why}; }
    int64_t Left() const { return m_size - m_at; }
    bool Has(int64_t length) const { return length >= 0 && length <= Left(); }
    // "part is cut short (bytes .. are out of bounds ...)" for a record of
    // `length` bytes at the cursor; "are" for a part named in the plural.
    Error CutShort(const std::string& part, int64_t length, bool plural = false) const {
        return Fail(part + (plural ? " are" : " is") + " cut short (" +
                    OutOfBoundsText(m_at, length, m_size) + ")");
    }
    int32_t I32At(int64_t at) const { return DecodeI32(m_bytes + at); }
    float F32At(int64_t at) const { return DecodeF32(m_bytes + at); }

    bool ReadHeader(Error& error);
    bool ReadSkins(Model& model, Error& error);
    bool ReadTexCoords(Error& error);
    bool ReadTriangles(Error& error);
    bool FindPoses(Error& error);
    void Fill(Model& model) const;

    std::string m_path;
    std::shared_ptr<const Bytes> m_source;
    const uint8_t* m_bytes;
    int64_t m_size;
    int64_t m_at = 0;

    std::array<float, 3> m_scale{}, m_origin{};
    int32_t m_skinCount = 0, m_width = 0, m_height = 0, m_vertexCount = 0, m_triangleCount = 0,
            m_frameCount = 0;
    int64_t m_texCoordsAt = 0, m_trianglesAt = 0;
    // Vertices a back-facing triangle uses on the seam: each gets a copy
    // after the file's vertices; copyOf[k] is the vertex copy k repeats.
    std::vector<int32_t> m_copyOf;
    std::vector<int32_t> m_copyIndex; // per file vertex: its copy, or -1
    struct Pose {
        int64_t at = 0; // its 24-byte header; the vertices follow
        int group = -1; // the frame it belongs to, when that frame is a group
        int member = 0, members = 1;
    };
    std::vector<Pose> m_poses;
};

bool Reader::ReadHeader(Error& error) {
    if (m_size < kHeaderSize) {
        error =
            Fail("too short for an MDL header (" + OutOfBoundsText(0, kHeaderSize, m_size) + ")");
        return false;
    }
    const int32_t version = I32At(4);
    if (version != kVersion) {
        error = Fail("it is MDL version " + std::to_string(version) +
                     "; Gridwright reads version 6, the version of Quake's models");
        return false;
    }
    for (int k = 0; k < 3; ++k) {
        m_scale[size_t(k)] = F32At(8 + 4 * k);
        m_origin[size_t(k)] = F32At(20 + 4 * k);
        // The farthest a packed coordinate (0 to 255) can be placed.
        const float reach = std::fabs(m_scale[size_t(k)]) * 255 + std::fabs(m_origin[size_t(k)]);
        if (!std::isfinite(reach)) {
            error = Fail("the scale and origin in its header place vertices beyond any finite "
                         "number, so its frames cannot be drawn");
            return false;
        }
    }
    m_skinCount = I32At(48);
    m_width = I32At(52);
    m_height = I32At(56);
    m_vertexCount = I32At(60);
    m_triangleCount = I32At(64);
    m_frameCount = I32At(68);
    m_at = kHeaderSize;
    if (m_width <= 0 || m_height <= 0) {
        error = Fail("its header gives its skins a size of " + std::to_string(m_width) + " x " +
                     std::to_string(m_height) +
                     " pixels; a skin needs at least one pixel each way, and the texture "
                     "coordinates are counted in them");
        return false;
    }
    // Each skin is painted into a texture, so it takes a texture's limit.
    if (m_width > kMaxTextureSide || m_height > kMaxTextureSide) {
        error = Fail("its header gives its skins a size of " + std::to_string(m_width) + " x " +
                     std::to_string(m_height) + " pixels; Gridwright holds skins of at most " +
                     std::to_string(kMaxTextureSide) + " pixels a side");
        return false;
    }
    auto count = [&](int32_t value, int64_t most, const char* what) {
        if (value < 0) {
            error = Fail("its header claims " + std::to_string(value) + " " + what);
            return false;
        }
        if (value > most) {
            error = Fail("its header claims " + std::to_string(value) + " " + what +
                         "; Gridwright holds at most " + std::to_string(most));
            return false;
        }
        return true;
    };
    if (!count(m_vertexCount, kMaxMeshVertices, "vertices") ||
        !count(m_triangleCount, kMaxMeshTriangles, "triangles") ||
        !count(m_frameCount, kMaxModelFrames, "frames") || !count(m_skinCount, INT32_MAX, "skins"))
        return false;
    // Every skin takes at least its type word and one picture: the file
    // cannot end before the last of them does.
    const int64_t picture = int64_t(m_width) * m_height;
    const int64_t room = Left() / (4 + picture);
    if (m_skinCount > room) {
        error =
            Fail("the file ends before skin " + std::to_string(room) + " does: its header claims " +
                 Plural(m_skinCount, "skin", "skins") + " of " + std::to_string(m_width) + " x " +
                 std::to_string(m_height) + " pixels, but the " + std::to_string(Left()) +
                 " bytes after the header hold at most " + std::to_string(room));
        return false;
    }
    return true;
}

bool Reader::ReadSkins(Model& model, Error& error) {
    const int64_t picture = int64_t(m_width) * m_height;
    auto add = [&](std::string name) {
        EmbeddedSkin skin;
        skin.name = std::move(name);
        skin.width = m_width;
        skin.height = m_height;
        skin.indices.assign(m_bytes + m_at, m_bytes + m_at + picture);
        model.skins.push_back(std::move(skin));
        m_at += picture;
    };
    for (int32_t i = 0; i < m_skinCount; ++i) {
        const std::string label = "skin " + std::to_string(i);
        if (!Has(4)) {
            error = CutShort(label, 4);
            return false;
        }
        // The game reads any type but 0 as a group.
        const int32_t type = I32At(m_at);
        m_at += 4;
        if (type == 0) {
            if (!Has(picture)) {
                error = CutShort(label, picture);
                return false;
            }
            add(label);
            continue;
        }
        if (!Has(4)) {
            error = CutShort(label + " (a group of pictures)", 4);
            return false;
        }
        const int32_t pictures = I32At(m_at);
        m_at += 4;
        if (pictures <= 0) {
            error = Fail(label + " is a group of " + std::to_string(pictures) +
                         " pictures; a group needs at least one");
            return false;
        }
        // Each picture takes its time (4 bytes) and its pixels.
        if (pictures > Left() / (4 + picture)) {
            error =
                Fail(label + " is a group of " + std::to_string(pictures) + " pictures, but the " +
                     std::to_string(Left()) + " bytes left in the file hold at most " +
                     std::to_string(Left() / (4 + picture)));
            return false;
        }
        m_at += int64_t(pictures) * 4;
        for (int32_t k = 0; k < pictures; ++k)
            add(label + ", picture " + std::to_string(k + 1) + " of " + std::to_string(pictures));
    }
    return true;
}

bool Reader::ReadTexCoords(Error& error) {
    const int64_t length = int64_t(m_vertexCount) * kTexCoordSize;
    if (!Has(length)) {
        error = CutShort("the texture coordinates of its " +
                             Plural(m_vertexCount, "vertex", "vertices"),
                         length, true);
        return false;
    }
    m_texCoordsAt = m_at;
    m_at += length;
    return true;
}

bool Reader::ReadTriangles(Error& error) {
    const int64_t length = int64_t(m_triangleCount) * kTriangleSize;
    if (!Has(length)) {
        error =
            CutShort("the list of its " + Plural(m_triangleCount, "triangle", "triangles"), length);
        return false;
    }
    m_trianglesAt = m_at;
    m_at += length;
    m_copyIndex.assign(size_t(m_vertexCount), -1);
    for (int32_t i = 0; i < m_triangleCount; ++i) {
        const int64_t at = m_trianglesAt + int64_t(i) * kTriangleSize;
        const bool front = I32At(at) != 0;
        for (int k = 0; k < 3; ++k) {
            const int32_t corner = I32At(at + 4 + 4 * k);
            if (corner < 0 || corner >= m_vertexCount) {
                error = Fail("triangle " + std::to_string(i) + " uses vertex " +
                             std::to_string(corner) + ", but the model has " +
                             Plural(m_vertexCount, "vertex", "vertices"));
                return false;
            }
            // The game tests the seam word for any bit, as it does the
            // facing word.
            const bool onSeam = I32At(m_texCoordsAt + int64_t(corner) * kTexCoordSize) != 0;
            if (!front && onSeam && m_copyIndex[size_t(corner)] < 0) {
                m_copyIndex[size_t(corner)] = m_vertexCount + int32_t(m_copyOf.size());
                m_copyOf.push_back(corner);
            }
        }
    }
    return true;
}

bool Reader::FindPoses(Error& error) {
    const int64_t poseSize = kPoseHeaderSize + int64_t(m_vertexCount) * kVertexSize;
    const int64_t vertices = int64_t(m_vertexCount) + int64_t(m_copyOf.size());
    for (int32_t i = 0; i < m_frameCount; ++i) {
        const std::string label = "frame " + std::to_string(i);
        if (!Has(4)) {
            error = CutShort(label, 4);
            return false;
        }
        // As for skins, any type but 0 is a group.
        const int32_t type = I32At(m_at);
        m_at += 4;
        int32_t members = 1;
        if (type != 0) {
            if (!Has(kGroupHeaderSize)) {
                error = CutShort(label + " (a group of poses)", kGroupHeaderSize);
                return false;
            }
            members = I32At(m_at);
            m_at += kGroupHeaderSize;
            if (members <= 0) {
                error = Fail(label + " is a group of " + std::to_string(members) +
                             " poses; a group needs at least one");
                return false;
            }
            // Each pose takes its time (4 bytes), its header and its vertices.
            if (members > Left() / (4 + poseSize)) {
                error =
                    Fail(label + " is a group of " + std::to_string(members) + " poses, but the " +
                         std::to_string(Left()) + " bytes left in the file hold at most " +
                         std::to_string(Left() / (4 + poseSize)));
                return false;
            }
            m_at += int64_t(members) * 4;
        }
        if (int64_t(m_poses.size()) + members > kMaxModelFrames) {
            error = Fail("its frames hold more than " + std::to_string(kMaxModelFrames) +
                         " poses in all (frame groups counted pose by pose); Gridwright holds "
                         "at most " +
                         std::to_string(kMaxModelFrames));
            return false;
        }
        if ((int64_t(m_poses.size()) + members) * vertices > kMaxModelVertices) {
            error = Fail("its frames hold more than " + std::to_string(kMaxModelVertices) +
                         " vertices in all (" + Plural(vertices, "vertex", "vertices") +
                         " a pose); Gridwright holds at most " + std::to_string(kMaxModelVertices));
            return false;
        }
        for (int32_t k = 0; k < members; ++k) {
            if (!Has(poseSize)) {
                error = CutShort(type == 0 ? label
                                           : label + ", pose " + std::to_string(k + 1) + " of " +
                                                 std::to_string(members),
                                 poseSize);
                return false;
            }
            m_poses.push_back({m_at, type == 0 ? -1 : i, k, members});
            m_at += poseSize;
        }
    }
    return true;
}

void Reader::Fill(Model& model) const {
    Surface& s = model.surfaces.emplace_back();
    s.name = StemOf(m_path);
    // The surface wears the first picture: the same name as model.skins[0].
    if (!model.skins.empty())
        s.shaderName = model.skins.front().name;
    const size_t vertices = size_t(m_vertexCount) + m_copyOf.size();
    s.u.resize(vertices);
    s.v.resize(vertices);
    // Where the game samples a vertex: the middle of texel (s, t), as in
    // its display lists ((s + 0.5) / width); its software renderer samples
    // that same texel. A copy on the back of the seam moves right by half
    // the skin.
    const int32_t halfWidth = m_width / 2; // whole texels, as the game divides
    const double width = m_width, height = m_height, half = halfWidth;
    auto place = [&](size_t out, int32_t vertex, double shift) {
        const int64_t at = m_texCoordsAt + int64_t(vertex) * kTexCoordSize;
        s.u[out] = QuantizeTexCoord(float((double(I32At(at + 4)) + shift + 0.5) / width));
        s.v[out] = QuantizeTexCoord(float((double(I32At(at + 8)) + 0.5) / height));
    };
    for (int32_t i = 0; i < m_vertexCount; ++i)
        place(size_t(i), i, 0);
    for (size_t k = 0; k < m_copyOf.size(); ++k)
        place(size_t(m_vertexCount) + k, m_copyOf[k], half);
    s.triangles.resize(size_t(m_triangleCount));
    for (int32_t i = 0; i < m_triangleCount; ++i) {
        const int64_t at = m_trianglesAt + int64_t(i) * kTriangleSize;
        const bool front = I32At(at) != 0;
        auto corner = [&](int k) {
            const int32_t c = I32At(at + 4 + 4 * k);
            const bool onSeam = I32At(m_texCoordsAt + int64_t(c) * kTexCoordSize) != 0;
            return !front && onSeam ? m_copyIndex[size_t(c)] : c;
        };
        s.triangles[size_t(i)] = {corner(0), corner(1), corner(2)};
    }

    auto geometry = std::make_shared<MdlGeometry>();
    geometry->bytes = m_source;
    geometry->vertexCount = size_t(m_vertexCount);
    geometry->copyOf = m_copyOf;
    geometry->scale = m_scale;
    geometry->origin = m_origin;
    model.frameNames.reserve(m_poses.size());
    for (const Pose& pose : m_poses) {
        const char* name = reinterpret_cast<const char*>(m_bytes + pose.at + 8);
        std::string frameName(name, strnlen(name, 16));
        // A group's poses keep their own names, marked as one animation.
        if (pose.group >= 0)
            frameName += " (" + std::to_string(pose.member + 1) + " of " +
                         std::to_string(pose.members) + ")";
        model.frameNames.push_back(std::move(frameName));
        geometry->poseAt.push_back(pose.at + kPoseHeaderSize);
    }
    if (!geometry->poseAt.empty()) {
        SurfacePose first = geometry->Pose(0, 0);
        s.positions = std::move(first.positions);
        s.normals = std::move(first.normals);
        model.geometry = std::move(geometry);
    }
}

Result<Model> Reader::Run() {
    if (m_size < 4 || std::memcmp(m_bytes, "IDPO", 4) != 0)
        return Fail(kNotAModel);
    if (m_size > INT32_MAX)
        return Fail("it is larger than the 2 GB an MDL model can address");
    Model model;
    model.path = m_path;
    model.format = "MDL";
    Error error;
    if (!ReadHeader(error) || !ReadSkins(model, error) || !ReadTexCoords(error) ||
        !ReadTriangles(error))
        return error;
    if (int64_t(m_vertexCount) + int64_t(m_copyOf.size()) > kMaxMeshVertices)
        return Fail("with the copies the back of its seam needs, it has " +
                    std::to_string(int64_t(m_vertexCount) + int64_t(m_copyOf.size())) +
                    " vertices; Gridwright holds at most " + std::to_string(kMaxMeshVertices));
    if (!FindPoses(error))
        return error;
    Fill(model);
    return model;
}

} // namespace

Result<Model> ReadMdl(const SourceBytes& source) {
    if (!source.bytes)
        return Error{"", source.path, kNotAModel};
    return Reader(source).Run();
}
