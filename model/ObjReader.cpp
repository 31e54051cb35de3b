#include "model/ObjReader.h"

#include "model/QuantizeTexCoord.h"
#include "model/WrittenPath.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// A material library is a few lines per material; more than this is no
// library.
constexpr int64_t kMaxMtlBytes = int64_t(16) << 20;
// OBJ has no counts, so what a file defines is bounded here, as it is read.
constexpr int64_t kMaxElements = kMaxModelVertices;
constexpr int64_t kMaxModelTriangles = 4 * kMaxMeshTriangles;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view NextToken(std::string_view& rest) {
    size_t i = 0;
    while (i < rest.size() && IsSpace(rest[i]))
        ++i;
    size_t j = i;
    while (j < rest.size() && !IsSpace(rest[j]))
        ++j;
    const std::string_view token = rest.substr(i, j - i);
    rest.remove_prefix(j);
    return token;
}

// A byte no text holds (a NUL, a control code other than white space).
bool HasControlByte(std::string_view s) {
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f')
            return true;
        if (b == 0x7f)
            return true;
    }
    return false;
}

// A number as OBJ writes it; a value past a float's range or not finite is
// refused (a position of infinity draws nothing sound). Read as a double so
// that a tiny value ("1e-50") rounds to zero rather than failing.
bool ParseFloat(std::string_view token, float& out) {
    const char* begin = token.data();
    const char* end = begin + token.size();
    if (begin != end && *begin == '+')
        ++begin; // from_chars takes no '+'
    double value = 0;
    const auto [stop, failure] = std::from_chars(begin, end, value);
    if (failure != std::errc() || stop != end || begin == end)
        return false;
    out = float(value);
    return std::isfinite(out);
}

std::string Quoted(std::string_view text) {
    constexpr size_t kShown = 40;
    std::string out = "\"";
    for (const char c : text.substr(0, kShown))
        out += HasControlByte(std::string_view(&c, 1)) ? '?' : c;
    return out + (text.size() > kShown ? "...\"" : "\"");
}

std::string LineAt(int64_t line) {
    return "line " + std::to_string(line) + ": ";
}

// A face corner: indices from 0 into the file's v, vt and vn; -1 when absent.
struct Corner {
    int32_t v = -1, t = -1, n = -1;
    bool operator==(const Corner&) const = default;
};

// The faces of one (group or object, material): a surface once read.
struct Bucket {
    std::string base, material;
    std::vector<Corner> corners;
    std::vector<uint32_t> sizes; // corners of each polygon, in order
    int64_t triangles = 0;
};

// The largest positive index a face names, and where, checked once the
// whole file is read (a face may name what comes later).
struct Forward {
    int64_t index = 0, line = 0;
};

const char* const kIgnored[] = {
    "s",      "l",          "p",         "vp",    "cstype",   "deg",      "bmat", "step",
    "curv",   "curv2",      "surf",      "parm",  "trim",     "hole",     "scrv", "sp",
    "end",    "con",        "mg",        "bevel", "c_interp", "d_interp", "lod",  "maplib",
    "usemap", "shadow_obj", "trace_obj", "ctech", "stech",    "call",     "csh",
};

bool IsIgnored(std::string_view keyword) {
    for (const char* name : kIgnored)
        if (keyword == name)
            return true;
    return false;
}

class Parser {
  public:
    explicit Parser(const SourceBytes& source) : m_source(source) {}

    Result<Model> Read();

  private:
    Error Fail(int64_t line, const std::string& reason) const {
        return Error{"", m_source.path, LineAt(line) + reason};
    }
    // The statement on one logical line; an error's reason, or empty.
    std::string Statement(std::string_view line, int64_t number);
    std::string Face(std::string_view rest, int64_t number);
    // Index `written` of a `kind` among `defined` so far, from 0.
    std::string Resolve(int64_t written, size_t defined, const char* kind, Forward& forward,
                        int64_t number, int32_t& out);
    Bucket& Current();
    void ReadMaterials(Model& model);
    Status Build(Model& model);

    const SourceBytes& m_source;
    std::vector<Point3> m_positions, m_normals;
    std::vector<std::array<float, 2>> m_texCoords;
    std::vector<Bucket> m_buckets;
    std::unordered_map<std::string, size_t> m_bucketOf;
    std::string m_group, m_object, m_material;
    Bucket* m_current = nullptr;
    Forward m_forwardV, m_forwardT, m_forwardN;
    std::vector<std::string> m_libraries;
    int64_t m_triangles = 0, m_skipped = 0, m_untextured = 0, m_unknown = 0, m_firstUnknown = 0;
    std::string m_unknownText;
    std::unordered_map<std::string, std::string> m_textureOf; // material -> its picture
};

Bucket& Parser::Current() {
    if (m_current)
        return *m_current;
    const std::string& base = !m_group.empty()    ? m_group
                              : !m_object.empty() ? m_object
                                                  : std::string("default");
    const std::string key = base + '\n' + m_material;
    const auto found = m_bucketOf.find(key);
    if (found != m_bucketOf.end()) {
        m_current = &m_buckets[found->second];
        return *m_current;
    }
    m_bucketOf.emplace(key, m_buckets.size());
    m_buckets.push_back(Bucket{base, m_material, {}, {}, 0});
    // Pointers into m_buckets are renewed whenever it may have moved.
    m_current = &m_buckets.back();
    return *m_current;
}

std::string Parser::Resolve(int64_t written, size_t defined, const char* kind, Forward& forward,
                            int64_t number, int32_t& out) {
    if (written == 0)
        return std::string("a face names ") + kind + " 0, but OBJ counts from 1";
    if (written < 0) {
        if (written < -int64_t(defined)) // never negated: it may be the least int64_t
            return std::string("a face names ") + kind + " " + std::to_string(written) +
                   " (counted back from the latest), but only " + std::to_string(defined) +
                   " are defined before it";
        out = int32_t(int64_t(defined) + written);
        return {};
    }
    if (written > kMaxElements)
        return std::string("a face names ") + kind + " " + std::to_string(written) +
               ", more than a model Gridwright reads may define (" + std::to_string(kMaxElements) +
               ")";
    if (written > forward.index)
        forward = {written, number};
    out = int32_t(written - 1);
    return {};
}

std::string Parser::Face(std::string_view rest, int64_t number) {
    if (m_buckets.size() >= size_t(kMaxModelSurfaces) && !m_current) {
        const std::string& base = !m_group.empty()    ? m_group
                                  : !m_object.empty() ? m_object
                                                      : std::string("default");
        if (!m_bucketOf.contains(base + '\n' + m_material))
            return "the model has more than " + std::to_string(kMaxModelSurfaces) +
                   " surfaces (groups and materials), more than Gridwright reads";
    }
    Bucket& bucket = Current();
    const size_t first = bucket.corners.size();
    bool untextured = false;
    const char* p = rest.data();
    const char* const end = p + rest.size();
    for (;;) {
        while (p != end && IsSpace(*p))
            ++p;
        if (p == end || *p == '#')
            break;
        const char* const start = p;
        auto notCorner = [start, end] {
            const char* stop = start;
            while (stop != end && !IsSpace(*stop))
                ++stop;
            return "the face corner " + Quoted(std::string_view(start, size_t(stop - start))) +
                   " is not v, v/vt, v//vn or v/vt/vn";
        };
        // "v", "v/vt", "v//vn" or "v/vt/vn", read where it stands.
        int64_t written[3] = {0, 0, 0};
        bool given[3] = {false, false, false};
        for (int part = 0; part < 3; ++part) {
            if (part > 0) {
                if (p == end || *p != '/')
                    break;
                ++p;
                if (p == end || IsSpace(*p) || *p == '/')
                    continue; // an empty part: "1//3", or "1/2/"
            }
            if (p != end && *p == '+')
                ++p;
            const auto [stop, failure] = std::from_chars(p, end, written[part]);
            if (failure != std::errc() || stop == p)
                return notCorner();
            p = stop;
            given[part] = true;
        }
        if (!given[0] || (p != end && !IsSpace(*p)))
            return notCorner();
        Corner corner;
        if (std::string reason =
                Resolve(written[0], m_positions.size(), "vertex", m_forwardV, number, corner.v);
            !reason.empty())
            return reason;
        if (given[1]) {
            if (std::string reason = Resolve(written[1], m_texCoords.size(), "texture coordinate",
                                             m_forwardT, number, corner.t);
                !reason.empty())
                return reason;
        } else {
            untextured = true;
        }
        if (given[2]) {
            if (std::string reason =
                    Resolve(written[2], m_normals.size(), "normal", m_forwardN, number, corner.n);
                !reason.empty())
                return reason;
        }
        bucket.corners.push_back(corner);
    }
    const size_t corners = bucket.corners.size() - first;
    if (corners < 3) {
        bucket.corners.resize(first);
        ++m_skipped;
        return {};
    }
    bucket.sizes.push_back(uint32_t(corners));
    bucket.triangles += int64_t(corners) - 2;
    m_triangles += int64_t(corners) - 2;
    if (untextured)
        ++m_untextured;
    if (bucket.triangles > kMaxMeshTriangles)
        return "the surface \"" + bucket.base + "\" has more than " +
               std::to_string(kMaxMeshTriangles) + " triangles, more than Gridwright reads";
    if (m_triangles > kMaxModelTriangles)
        return "the model has more than " + std::to_string(kMaxModelTriangles) +
               " triangles, more than Gridwright reads";
    return {};
}

std::string Parser::Statement(std::string_view line, int64_t number) {
    std::string_view rest = line;
    const std::string_view keyword = NextToken(rest);
    if (keyword.empty() || keyword[0] == '#')
        return {};
    auto numbers = [&rest](float* out, int needed, int most) -> int {
        const char* p = rest.data();
        const char* const end = p + rest.size();
        int n = 0;
        for (; n < most; ++n) {
            while (p != end && IsSpace(*p))
                ++p;
            if (p == end || *p == '#')
                break;
            const char* stop = p;
            while (stop != end && !IsSpace(*stop))
                ++stop;
            if (!ParseFloat(std::string_view(p, size_t(stop - p)), out[n]))
                return -1 - n;
            p = stop;
        }
        return n < needed ? -100 : n;
    };
    auto bad = [&](const char* what, int got) {
        if (got == -100)
            return std::string(what) + " needs more numbers than the line holds";
        std::string_view again = line;
        NextToken(again);
        std::string_view token;
        for (int k = 0; k <= -1 - got; ++k)
            token = NextToken(again);
        return std::string(what) + " holds " + Quoted(token) + ", which is not a finite number";
    };
    if (keyword == "v") {
        float xyz[3];
        const int got = numbers(xyz, 3, 3);
        if (got < 0)
            return bad("a vertex (v x y z)", got);
        if (int64_t(m_positions.size()) >= kMaxElements)
            return "the file defines more than " + std::to_string(kMaxElements) +
                   " vertices, more than Gridwright reads";
        m_positions.push_back({xyz[0], xyz[1], xyz[2]});
    } else if (keyword == "vt") {
        float uv[2] = {0, 0};
        const int got = numbers(uv, 1, 2);
        if (got < 0)
            return bad("a texture coordinate (vt u v)", got);
        if (int64_t(m_texCoords.size()) >= kMaxElements)
            return "the file defines more than " + std::to_string(kMaxElements) +
                   " texture coordinates, more than Gridwright reads";
        m_texCoords.push_back({uv[0], uv[1]});
    } else if (keyword == "vn") {
        float xyz[3];
        const int got = numbers(xyz, 3, 3);
        if (got < 0)
            return bad("a normal (vn x y z)", got);
        if (int64_t(m_normals.size()) >= kMaxElements)
            return "the file defines more than " + std::to_string(kMaxElements) +
                   " normals, more than Gridwright reads";
        m_normals.push_back({xyz[0], xyz[1], xyz[2]});
    } else if (keyword == "f") {
        return Face(rest, number);
    } else if (keyword == "g" || keyword == "o" || keyword == "usemtl" || keyword == "mtllib") {
        if (HasControlByte(rest))
            return "it holds a byte that is not text, so it is not an OBJ model";
        std::string name;
        for (std::string_view token = NextToken(rest); !token.empty(); token = NextToken(rest))
            name += (name.empty() ? "" : " ") + std::string(token);
        if (keyword == "g") {
            m_group = name;
        } else if (keyword == "o") {
            m_object = name;
            m_group.clear(); // a new object's faces are its own until a group is named
        } else if (keyword == "usemtl") {
            m_material = name;
        } else {
            std::string_view names = line;
            NextToken(names);
            for (std::string_view token = NextToken(names); !token.empty();
                 token = NextToken(names))
                m_libraries.emplace_back(token);
        }
        m_current = nullptr;
    } else if (!IsIgnored(keyword)) {
        if (HasControlByte(line))
            return "it holds a byte that is not text, so it is not an OBJ model";
        if (m_unknown++ == 0) {
            m_firstUnknown = number;
            m_unknownText = Quoted(Trim(line));
        }
    }
    return {};
}

void Parser::ReadMaterials(Model& model) {
    std::unordered_map<std::string, std::string> textures; // material -> relative to the model
    bool anyRead = false;
    if (m_libraries.empty()) {
        for (const Bucket& bucket : m_buckets)
            if (!bucket.material.empty()) {
                model.notes.push_back("it names materials (" + Quoted(bucket.material) +
                                      ") but no material library, so its surfaces have no "
                                      "pictures of their own");
                break;
            }
        return;
    }
    if (!m_source.companions) {
        model.notes.push_back("its materials could not be read: it was not read from a folder, "
                              "so its material library " +
                              Quoted(m_libraries.front()) + " cannot be found");
        return;
    }
    auto readLibrary = [&](const std::string& written) -> Result<SourceBytes> {
        Result<SourceBytes> read = m_source.companions(written, kMaxMtlBytes);
        if (!read.ok())
            return read;
        const Bytes* bytes = read.value().bytes.get();
        const std::string_view text =
            bytes ? std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())
                  : std::string_view();
        for (auto& [name, map] : ReadMtlMaps(text))
            textures.try_emplace(name, map.empty() ? std::string() : JoinWritten(written, map));
        anyRead = true;
        return read;
    };
    std::vector<std::string> missing;
    for (const std::string& library : m_libraries) {
        const Result<SourceBytes> read = readLibrary(library);
        if (!read.ok())
            missing.push_back(library);
    }
    if (!missing.empty()) {
        // Exporters often name a library the model was first saved beside,
        // while the file shipped is named as the model is.
        std::string own = WrittenFileName(m_source.path);
        const auto dot = own.rfind('.');
        own = (dot == std::string::npos ? own : own.substr(0, dot)) + ".mtl";
        bool named = false;
        for (const std::string& library : m_libraries)
            named = named || WrittenFileName(NormalWritten(library)) == own;
        std::string list;
        for (size_t i = 0; i < missing.size(); ++i)
            list += (i ? ", " : "") + Quoted(missing[i]);
        const std::string them = missing.size() == 1 ? "its material library " + list + " is"
                                                     : "its material libraries " + list + " are";
        if (named)
            model.notes.push_back(them + " not beside it");
        else if (readLibrary(own).ok())
            model.notes.push_back(them + " not beside it; " + Quoted(own) +
                                  " beside it was read instead");
        else
            model.notes.push_back(them + " not beside it, nor is " + Quoted(own));
    }
    std::vector<std::string> lacking;
    for (Bucket& bucket : m_buckets) {
        if (bucket.material.empty())
            continue;
        const auto found = textures.find(bucket.material);
        if (found == textures.end()) {
            if (anyRead) {
                bool said = false;
                for (const std::string& name : lacking)
                    said = said || name == bucket.material;
                if (!said)
                    lacking.push_back(bucket.material);
            }
            continue;
        }
        m_textureOf.emplace(bucket.material, found->second);
    }
    for (const std::string& name : lacking)
        model.notes.push_back("its material " + Quoted(name) + " is not in its material library");
}

Status Parser::Build(Model& model) {
    // Surfaces of one group that wear several materials are told apart by
    // the material's name.
    std::unordered_map<std::string, int> materialsOf;
    for (const Bucket& bucket : m_buckets)
        ++materialsOf[bucket.base];
    int64_t modelVertices = 0;
    std::vector<int32_t> table;
    std::vector<Corner> keys;
    std::vector<std::array<double, 3>> sums;
    // Per v: the surface (its index) and vertex last made from it.
    std::vector<std::array<int32_t, 2>> latestOf(m_positions.size(), {-1, -1});
    for (Bucket& bucket : m_buckets) {
        Surface surface;
        surface.name = bucket.base;
        if (materialsOf[bucket.base] > 1)
            surface.name +=
                " (" + (bucket.material.empty() ? std::string("no material") : bucket.material) +
                ")";
        surface.shaderName = bucket.material;
        if (const auto found = m_textureOf.find(bucket.material); found != m_textureOf.end())
            surface.texture = found->second;
        // One vertex per distinct (v, vt, vn). Most exporters give each v one
        // (vt, vn) in a surface, so the latest vertex made from each v is
        // tried first; the others are found by open addressing over a table
        // kept at least twice the vertices, so that probes stay short.
        const int32_t stamp = int32_t(model.surfaces.size());
        auto hashOf = [](const Corner& c) {
            uint64_t hash = uint64_t(uint32_t(c.v)) * 0x9E3779B97F4A7C15ull ^
                            uint64_t(uint32_t(c.t)) * 0xC2B2AE3D27D4EB4Full ^
                            uint64_t(uint32_t(c.n)) * 0x165667B19E3779F9ull;
            return size_t(hash ^ (hash >> 29));
        };
        size_t size = 1024;
        table.assign(size, -1);
        keys.clear();
        keys.reserve(std::min(bucket.corners.size(), m_positions.size() * 4));
        std::vector<int32_t> vertexOf(bucket.corners.size());
        for (size_t k = 0; k < bucket.corners.size(); ++k) {
            const Corner c = bucket.corners[k];
            std::array<int32_t, 2>& latest = latestOf[size_t(c.v)];
            if (latest[0] == stamp && keys[size_t(latest[1])] == c) {
                vertexOf[k] = latest[1];
                continue;
            }
            size_t slot = hashOf(c) & (size - 1);
            while (table[slot] >= 0 && !(keys[size_t(table[slot])] == c))
                slot = (slot + 1) & (size - 1);
            if (table[slot] < 0) {
                if (int64_t(keys.size()) >= kMaxMeshVertices)
                    return Error{"", m_source.path,
                                 "the surface \"" + surface.name + "\" has more than " +
                                     std::to_string(kMaxMeshVertices) +
                                     " vertices, more than Gridwright reads"};
                table[slot] = int32_t(keys.size());
                keys.push_back(c);
                if (keys.size() * 2 > size) {
                    size *= 2;
                    table.assign(size, -1);
                    for (size_t i = 0; i < keys.size(); ++i) {
                        size_t at = hashOf(keys[i]) & (size - 1);
                        while (table[at] >= 0)
                            at = (at + 1) & (size - 1);
                        table[at] = int32_t(i);
                    }
                    slot = hashOf(c) & (size - 1);
                    while (table[slot] != int32_t(keys.size() - 1))
                        slot = (slot + 1) & (size - 1);
                }
            }
            vertexOf[k] = table[slot];
            latest = {stamp, table[slot]};
        }
        modelVertices += int64_t(keys.size());
        if (modelVertices > kMaxModelVertices)
            return Error{"", m_source.path,
                         "the model has more than " + std::to_string(kMaxModelVertices) +
                             " vertices, more than Gridwright reads"};
        surface.triangles.reserve(size_t(bucket.triangles));
        size_t at = 0;
        for (const uint32_t corners : bucket.sizes) {
            for (uint32_t i = 1; i + 1 < corners; ++i)
                surface.triangles.push_back({vertexOf[at], vertexOf[at + i], vertexOf[at + i + 1]});
            at += corners;
        }
        const size_t n = keys.size();
        surface.u.resize(n);
        surface.v.resize(n);
        surface.positions.resize(n);
        surface.normals.resize(n);
        bool someWithout = false;
        for (size_t i = 0; i < n; ++i) {
            const Corner c = keys[i];
            surface.positions[i] = m_positions[size_t(c.v)];
            if (c.t >= 0) {
                const std::array<float, 2> uv = m_texCoords[size_t(c.t)];
                surface.u[i] = QuantizeTexCoord(uv[0]);
                // OBJ's v grows upwards from the bottom of the picture.
                surface.v[i] = QuantizeTexCoord(float(1.0 - double(uv[1])));
            }
            if (c.n >= 0)
                surface.normals[i] = m_normals[size_t(c.n)];
            else
                someWithout = true;
        }
        if (someWithout) {
            // A corner without a normal takes the faces around it, each
            // weighted by its area, as a smooth exporter would have written.
            sums.assign(n, {0, 0, 0});
            for (const Triangle& t : surface.triangles) {
                const Point3 &a = surface.positions[size_t(t.a)],
                             &b = surface.positions[size_t(t.b)],
                             &c = surface.positions[size_t(t.c)];
                const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1],
                                      double(b[2]) - a[2]};
                const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1],
                                      double(c[2]) - a[2]};
                const double cross[3] = {e1[1] * e2[2] - e1[2] * e2[1],
                                         e1[2] * e2[0] - e1[0] * e2[2],
                                         e1[0] * e2[1] - e1[1] * e2[0]};
                for (const int32_t corner : {t.a, t.b, t.c})
                    if (keys[size_t(corner)].n < 0)
                        for (int k = 0; k < 3; ++k)
                            sums[size_t(corner)][size_t(k)] += cross[k];
            }
            for (size_t i = 0; i < n; ++i)
                if (keys[i].n < 0)
                    for (int k = 0; k < 3; ++k)
                        surface.normals[i][size_t(k)] = float(sums[i][size_t(k)]);
        }
        for (Point3& normal : surface.normals) {
            const double x = normal[0], y = normal[1], z = normal[2];
            const double length = std::sqrt(x * x + y * y + z * z);
            // A zero (or unmeasurable) normal stays zero: no direction is
            // better than a made-up one.
            if (length > 0 && std::isfinite(length))
                normal = {float(x / length), float(y / length), float(z / length)};
            else
                normal = {0, 0, 0};
        }
        model.surfaces.push_back(std::move(surface));
        // The faces are no longer needed once their surface is built.
        bucket.corners = {};
        bucket.sizes = {};
    }
    return Success();
}

Result<Model> Parser::Read() {
    const Bytes* held = m_source.bytes.get();
    const std::string_view text =
        held ? std::string_view(reinterpret_cast<const char*>(held->data()), held->size())
             : std::string_view();
    if (text.empty())
        return Error{"", m_source.path, "it is empty, so it holds no model"};
    std::string joined; // a line continued with a trailing '\'
    size_t at = 0;
    int64_t number = 0;
    auto nextLine = [&](std::string_view& line) {
        const void* found = std::memchr(text.data() + at, '\n', text.size() - at);
        const size_t end =
            found ? size_t(static_cast<const char*>(found) - text.data()) : text.size();
        line = text.substr(at, end - at);
        at = found ? end + 1 : end;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
    };
    while (at < text.size()) {
        std::string_view line;
        nextLine(line);
        const int64_t first = number;
        if (!line.empty() && line.back() == '\\') {
            joined.assign(line.substr(0, line.size() - 1));
            while (at < text.size()) {
                std::string_view more;
                nextLine(more);
                joined += ' ';
                if (!more.empty() && more.back() == '\\') {
                    joined += more.substr(0, more.size() - 1);
                    continue;
                }
                joined += more;
                break;
            }
            line = joined;
        }
        if (std::string reason = Statement(line, first); !reason.empty())
            return Fail(first, reason);
    }
    const struct {
        const Forward& forward;
        size_t defined;
        const char* kind;
    } checks[] = {{m_forwardV, m_positions.size(), "vertex"},
                  {m_forwardT, m_texCoords.size(), "texture coordinate"},
                  {m_forwardN, m_normals.size(), "normal"}};
    for (const auto& check : checks)
        if (check.forward.index > int64_t(check.defined))
            return Fail(check.forward.line, std::string("a face names ") + check.kind + " " +
                                                std::to_string(check.forward.index) +
                                                ", but the file defines " +
                                                std::to_string(check.defined));
    if (m_buckets.empty()) {
        if (m_unknown > 0 && m_positions.empty())
            return Error{"", m_source.path,
                         "it is not an OBJ model: " + LineAt(m_firstUnknown) + m_unknownText +
                             " is no OBJ statement, and it holds no faces"};
        return Error{"", m_source.path,
                     "it holds no faces (\"f\" lines), so it has no surface to show"};
    }
    Model model;
    model.path = m_source.path;
    ReadMaterials(model);
    if (const Status built = Build(model); !built.ok())
        return built.error();
    if (m_skipped > 0)
        model.notes.push_back(std::to_string(m_skipped) +
                              (m_skipped == 1 ? " face with fewer than 3 corners was skipped"
                                              : " faces with fewer than 3 corners were skipped"));
    if (m_untextured > 0)
        model.notes.push_back(
            std::to_string(m_untextured) + (m_untextured == 1 ? " face has" : " faces have") +
            " corners without texture coordinates: they sit at the top left corner of the "
            "layout (u = v = 0)");
    if (m_unknown > 0)
        model.notes.push_back(std::to_string(m_unknown) +
                              (m_unknown == 1 ? " line is no OBJ statement and was"
                                              : " lines are no OBJ statement and were") +
                              " read past (the first, " + LineAt(m_firstUnknown) + m_unknownText +
                              ")");
    return model;
}

} // namespace

Result<Model> ReadObj(const SourceBytes& source) {
    return Parser(source).Read();
}

std::unordered_map<std::string, std::string> ReadMtlMaps(std::string_view text) {
    std::unordered_map<std::string, std::string> maps;
    std::string* current = nullptr; // the material being defined; null when one seen before
    size_t at = 0;
    while (at < text.size()) {
        const void* found = std::memchr(text.data() + at, '\n', text.size() - at);
        const size_t end =
            found ? size_t(static_cast<const char*>(found) - text.data()) : text.size();
        std::string_view rest = text.substr(at, end - at);
        at = found ? end + 1 : end;
        const std::string_view keyword = NextToken(rest);
        if (keyword == "newmtl") {
            const auto [place, fresh] = maps.try_emplace(std::string(Trim(rest)));
            current = fresh ? &place->second : nullptr;
            continue;
        }
        if (!current || keyword.size() != 6 ||
            (keyword.substr(0, 5) != "map_K" && keyword.substr(0, 5) != "map_k") ||
            (keyword[5] != 'd' && keyword[5] != 'D'))
            continue;
        // Options before the file name: how many words each takes.
        for (;;) {
            std::string_view probe = rest;
            const std::string_view option = NextToken(probe);
            int words = 0;
            bool upToThree = false;
            if (option == "-o" || option == "-s" || option == "-t")
                upToThree = true;
            else if (option == "-mm")
                words = 2;
            else if (option == "-bm" || option == "-boost" || option == "-texres" ||
                     option == "-imfchan" || option == "-type" || option == "-blendu" ||
                     option == "-blendv" || option == "-clamp" || option == "-cc")
                words = 1;
            else
                break; // the file name (which may itself start with '-')
            if (upToThree) {
                for (int k = 0; k < 3; ++k) {
                    std::string_view after = probe;
                    float value = 0;
                    if (!ParseFloat(NextToken(after), value))
                        break;
                    probe = after;
                }
            } else {
                for (int k = 0; k < words; ++k)
                    NextToken(probe);
            }
            rest = probe;
        }
        *current = std::string(Trim(rest));
    }
    return maps;
}
