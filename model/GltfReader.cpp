#include "model/GltfReader.h"

#include "model/NativeFile.h"
#include "model/QuantizeTexCoord.h"
#include "model/WrittenPath.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <span>
#include <type_traits>

namespace {

using Json = nlohmann::json;

// A buffer beside the model is read up to this size; larger is refused
// before it is read.
constexpr int64_t kMaxBufferBytes = int64_t(2) << 30;
// Real scenes nest objects a dozen deep; far deeper text is refused before
// it is parsed.
constexpr int kMaxJsonDepth = 256;
constexpr uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr uint32_t kJsonChunk = 0x4E4F534A; // "JSON"
constexpr uint32_t kBinChunk = 0x004E4942;  // "BIN\0"
constexpr int64_t kGlbHeaderBytes = 12;     // magic, version, length
constexpr int64_t kChunkHeaderBytes = 8;    // length, type

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A column-major 4x4 matrix, as glTF writes them.
using Matrix = std::array<double, 16>;
constexpr Matrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix out{};
    for (size_t c = 0; c < 4; ++c)
        for (size_t r = 0; r < 4; ++r) {
            double sum = 0;
            for (size_t k = 0; k < 4; ++k)
                sum += a[k * 4 + r] * b[c * 4 + k];
            out[c * 4 + r] = sum;
        }
    return out;
}

// The upper 3x3's cofactors: the inverse transpose up to its determinant,
// which renormalising the normal makes moot except for its sign.
std::array<double, 9> NormalMatrix(const Matrix& m) {
    auto at = [&m](size_t r, size_t c) { return m[c * 4 + r]; };
    std::array<double, 9> cof{}; // row-major
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 3; ++c) {
            const size_t r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cof[r * 3 + c] = at(r1, c1) * at(r2, c2) - at(r1, c2) * at(r2, c1);
        }
    const double det = at(0, 0) * cof[0] + at(0, 1) * cof[1] + at(0, 2) * cof[2];
    if (det < 0)
        for (double& x : cof)
            x = -x;
    return cof;
}

float Finite(double x) {
    const auto f = float(x);
    return std::isfinite(f) ? f : 0.0f;
}

Point3 TransformPoint(const Matrix& m, const Point3& p) {
    return {Finite(m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12]),
            Finite(m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13]),
            Finite(m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14])};
}

Point3 Normalised(double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 1e-30) || !std::isfinite(length))
        return {0, 0, 0};
    return {Finite(x / length), Finite(y / length), Finite(z / length)};
}

Point3 TransformNormal(const std::array<double, 9>& n, const Point3& p) {
    return Normalised(n[0] * p[0] + n[1] * p[1] + n[2] * p[2],
                      n[3] * p[0] + n[4] * p[1] + n[5] * p[2],
                      n[6] * p[0] + n[7] * p[1] + n[8] * p[2]);
}

// JSON nested deeper than any scene needs, found without recursion.
bool TooDeep(std::string_view text) {
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

const Json* Member(const Json& object, const char* key) {
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// A whole number in [0, limit], or nullopt: negative, fractional, huge or
// not a number at all.
std::optional<int64_t> WholeNumber(const Json* value, int64_t limit = INT64_MAX) {
    if (!value)
        return std::nullopt;
    if (value->is_number_unsigned()) {
        const auto n = value->get<uint64_t>();
        if (n <= uint64_t(limit))
            return int64_t(n);
    } else if (value->is_number_integer()) {
        const auto n = value->get<int64_t>();
        if (n >= 0 && n <= limit)
            return n;
    }
    return std::nullopt;
}

std::string Text(const Json* value) {
    return value && value->is_string() ? value->get<std::string>() : std::string();
}

const Json& Array(const Json& doc, const char* key) {
    static const Json empty = Json::array();
    const Json* value = Member(doc, key);
    return value && value->is_array() ? *value : empty;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+' || c == '-')
        return 62;
    if (c == '/' || c == '_')
        return 63;
    return -1;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct View {
    int64_t buffer = 0, offset = 0, length = 0, stride = 0;
};

struct Accessor {
    int64_t count = 0;
    int components = 1;
    int componentType = 5126;
    bool normalized = false;
};

int ComponentBytes(int type) {
    switch (type) {
    case 5120: // byte
    case 5121: // unsigned byte
        return 1;
    case 5122: // short
    case 5123: // unsigned short
        return 2;
    case 5125: // unsigned int
    case 5126: // float
        return 4;
    default:
        return 0;
    }
}

// One component as a float: normalised integers scaled to [0, 1] or [-1, 1].
float ComponentAt(const uint8_t* p, int type, bool normalized) {
    switch (type) {
    case 5120: {
        const auto x = int8_t(p[0]);
        return normalized ? std::max(float(x) / 127.0f, -1.0f) : float(x);
    }
    case 5121:
        return normalized ? float(p[0]) / 255.0f : float(p[0]);
    case 5122: {
        int16_t x;
        std::memcpy(&x, p, 2);
        return normalized ? std::max(float(x) / 32767.0f, -1.0f) : float(x);
    }
    case 5123: {
        uint16_t x;
        std::memcpy(&x, p, 2);
        return normalized ? float(x) / 65535.0f : float(x);
    }
    case 5125: {
        uint32_t x;
        std::memcpy(&x, p, 4);
        return float(x);
    }
    default: {
        float x;
        std::memcpy(&x, p, 4);
        return x;
    }
    }
}

uint32_t IndexAt(const uint8_t* p, int type) {
    if (type == 5121)
        return p[0];
    if (type == 5123) {
        uint16_t x;
        std::memcpy(&x, p, 2);
        return x;
    }
    uint32_t x;
    std::memcpy(&x, p, 4);
    return x;
}

// Room for `count` elements in `values`, its large interior asked for in 2 MB
// pages: a million-triangle mesh otherwise spends most of its load time
// having the kernel fault in and clear 4 KB pages one by one.
template <typename T> void Room(std::vector<T>& values, size_t count) {
    constexpr size_t kLargePage = size_t(2) << 20;
    values.clear();
    values.reserve(count);
    const size_t bytes = count * sizeof(T);
    if (bytes >= 2 * kLargePage) {
        const auto start = reinterpret_cast<uintptr_t>(values.data());
        const uintptr_t from = (start + kLargePage - 1) & ~(kLargePage - 1);
        const uintptr_t to = (start + bytes) & ~(kLargePage - 1);
        if (to > from)
            native::HugePageHint(reinterpret_cast<void*>(from), to - from);
    }
}

template <typename T> void Sized(std::vector<T>& values, size_t count) {
    Room(values, count);
    values.resize(count);
}

// A primitive's corners: read in place from the file's bytes, or decoded
// (sparse indices, none at all) into `owned`.
struct IndexList {
    const uint8_t* at = nullptr;
    int64_t stride = 4;
    int type = 5125;
    size_t count = 0;
    std::vector<uint32_t> owned;

    void Own() {
        at = reinterpret_cast<const uint8_t*>(owned.data());
        stride = 4;
        type = 5125;
        count = owned.size();
    }
};

class Reader {
  public:
    explicit Reader(const SourceBytes& source) : m_source(source) {}

    Result<Model> Read();

  private:
    Error Fail(std::string reason) const { return Error{"", m_source.path, std::move(reason)}; }
    void Note(std::string note) {
        if (std::find(m_model.notes.begin(), m_model.notes.end(), note) == m_model.notes.end())
            m_model.notes.push_back(std::move(note));
    }

    std::optional<Error> ParseGlb(std::span<const uint8_t> bytes, std::string_view& json);
    std::optional<Error> Buffer(int64_t index, std::span<const uint8_t>& out);
    std::optional<Error> BufferView(int64_t index, View& view, std::span<const uint8_t>& bytes);
    std::optional<Error> AccessorOf(int64_t index, int64_t maxCount, Accessor& out);
    // Every element of accessor `index` as `components` floats, into out
    // (count * components floats, or count points); the element's other
    // components are dropped.
    template <typename Out>
    std::optional<Error> ReadFloats(int64_t index, int64_t maxCount, int components,
                                    std::vector<Out>& out);
    std::optional<Error> ReadIndices(int64_t index, int64_t maxCount, IndexList& out);
    std::optional<Error> ReadUris(const std::string& uri, const std::string& what,
                                  std::vector<uint8_t>& out);

    std::optional<Error> ReadPrimitive(int64_t mesh, int64_t k, const Json& primitive,
                                       size_t primitiveCount);
    void PlaceNodes();
    std::optional<Error> Place(size_t surface, int64_t node, bool skinned);
    std::string TextureOf(int64_t material, int& texCoord);
    std::string ImageName(int64_t image);

    const SourceBytes& m_source;
    Model m_model;
    Json m_doc;
    std::span<const uint8_t> m_bin;
    bool m_hasBin = false;
    std::map<int64_t, std::vector<uint8_t>> m_loaded; // buffers decoded or read beside it
    std::map<int64_t, std::string> m_imageNames;      // images already named
    std::vector<int64_t> m_surfaceMesh;               // per surface: its mesh
    std::vector<bool> m_surfaceSkinned;               // per surface: JOINTS_0 and WEIGHTS_0
    std::vector<std::vector<float>> m_joints, m_weights;
    std::vector<Matrix> m_world;
    int64_t m_totalVertices = 0;
};

std::optional<Error> Reader::ParseGlb(std::span<const uint8_t> bytes, std::string_view& json) {
    const auto size = int64_t(bytes.size());
    if (size < kGlbHeaderBytes + kChunkHeaderBytes)
        return Fail("it is cut short: " + std::to_string(size) +
                    " bytes cannot hold a .glb header and its JSON chunk");
    const uint32_t version = Le32(bytes.data() + 4);
    if (version != 2)
        return Fail("it is a .glb of version " + std::to_string(version) +
                    "; only glTF 2.0 is read");
    const int64_t length = Le32(bytes.data() + 8);
    if (length > size)
        return Fail("it is cut short: its header gives " + std::to_string(length) +
                    " bytes but the file has " + std::to_string(size));
    int64_t at = kGlbHeaderBytes;
    bool first = true;
    while (at + kChunkHeaderBytes <= length) {
        const int64_t chunk = Le32(bytes.data() + at);
        const uint32_t type = Le32(bytes.data() + at + 4);
        const int64_t data = at + kChunkHeaderBytes;
        if (chunk > length - data)
            return Fail("a chunk at byte " + std::to_string(at) + " gives " +
                        std::to_string(chunk) + " bytes, past the end of the file");
        if (first) {
            if (type != kJsonChunk)
                return Fail("its first chunk is not its JSON");
            json =
                std::string_view(reinterpret_cast<const char*>(bytes.data() + data), size_t(chunk));
            first = false;
        } else if (type == kBinChunk && !m_hasBin) {
            m_bin = bytes.subspan(size_t(data), size_t(chunk));
            m_hasBin = true;
        }
        // Chunks start on 4-byte boundaries; padding belongs to the chunk.
        at = data + ((chunk + 3) & ~int64_t(3));
    }
    if (first)
        return Fail("it is cut short: its JSON chunk's header is missing");
    return std::nullopt;
}

std::optional<Error> Reader::ReadUris(const std::string& uri, const std::string& what,
                                      std::vector<uint8_t>& out) {
    if (uri.rfind("data:", 0) == 0) {
        Result<DataUri> data = DecodeDataUri(uri);
        if (!data.ok())
            return Fail(what + "'s data: URI " + data.error().reason);
        out = std::move(data.value().bytes);
        return std::nullopt;
    }
    std::string written;
    if (!PercentDecode(uri, written))
        return Fail(what + "'s URI \"" + uri + "\" has a malformed %-escape");
    const auto colon = uri.find(':');
    if (colon != std::string::npos && colon > 1 && uri.find('/') > colon)
        return Fail(what + " is at \"" + uri +
                    "\", which is not a file beside the model; only files beside it and data: "
                    "URIs are read");
    if (!m_source.companions)
        return Fail(what + " is the file \"" + written +
                    "\" beside the model, but the model was read from where no file is beside it");
    Result<SourceBytes> file = m_source.companions(written, kMaxBufferBytes);
    if (!file.ok())
        return Fail(what + " \"" + written + "\" cannot be read: " + file.error().reason);
    const std::shared_ptr<const Bytes>& bytes = file.value().bytes;
    if (bytes)
        out.assign(bytes->data(), bytes->data() + bytes->size());
    return std::nullopt;
}

std::optional<Error> Reader::Buffer(int64_t index, std::span<const uint8_t>& out) {
    const Json& buffers = Array(m_doc, "buffers");
    if (index < 0 || index >= int64_t(buffers.size()))
        return Fail("buffer " + std::to_string(index) + " is not in the file (it has " +
                    std::to_string(buffers.size()) + ")");
    const Json& buffer = buffers[size_t(index)];
    const std::string what = "buffer " + std::to_string(index);
    const std::optional<int64_t> length = WholeNumber(Member(buffer, "byteLength"));
    if (!length)
        return Fail(what + " gives no byte length");
    std::span<const uint8_t> bytes;
    if (const Json* uri = Member(buffer, "uri")) {
        auto it = m_loaded.find(index);
        if (it == m_loaded.end()) {
            std::vector<uint8_t> read;
            if (auto error = ReadUris(Text(uri), what, read))
                return error;
            it = m_loaded.emplace(index, std::move(read)).first;
        }
        bytes = it->second;
    } else if (index == 0 && m_hasBin) {
        bytes = m_bin;
    } else {
        return Fail(what + " names no file and the model carries no binary chunk for it");
    }
    if (*length > int64_t(bytes.size()))
        return Fail(what + " gives " + std::to_string(*length) + " bytes but holds " +
                    std::to_string(bytes.size()));
    out = bytes.first(size_t(*length));
    return std::nullopt;
}

std::optional<Error> Reader::BufferView(int64_t index, View& view,
                                        std::span<const uint8_t>& bytes) {
    const Json& views = Array(m_doc, "bufferViews");
    const std::string what = "buffer view " + std::to_string(index);
    if (index < 0 || index >= int64_t(views.size()))
        return Fail(what + " is not in the file (it has " + std::to_string(views.size()) + ")");
    const Json& v = views[size_t(index)];
    const std::optional<int64_t> buffer = WholeNumber(Member(v, "buffer"));
    const std::optional<int64_t> length = WholeNumber(Member(v, "byteLength"));
    const std::optional<int64_t> offset =
        Member(v, "byteOffset") ? WholeNumber(Member(v, "byteOffset")) : int64_t(0);
    const std::optional<int64_t> stride =
        Member(v, "byteStride") ? WholeNumber(Member(v, "byteStride"), 252) : int64_t(0);
    if (!buffer || !length || !offset || !stride)
        return Fail(what + " has a missing or invalid buffer, byteOffset, byteLength or "
                           "byteStride");
    std::span<const uint8_t> all;
    if (auto error = Buffer(*buffer, all))
        return error;
    if (*offset > int64_t(all.size()) || *length > int64_t(all.size()) - *offset)
        return Fail(what + " reaches past the end of buffer " + std::to_string(*buffer) +
                    " (bytes " + std::to_string(*offset) + " to " +
                    std::to_string(*offset + *length) + " of " + std::to_string(all.size()) + ")");
    view = {*buffer, *offset, *length, *stride};
    bytes = all.subspan(size_t(*offset), size_t(*length));
    return std::nullopt;
}

std::optional<Error> Reader::AccessorOf(int64_t index, int64_t maxCount, Accessor& out) {
    const Json& accessors = Array(m_doc, "accessors");
    const std::string what = "accessor " + std::to_string(index);
    if (index < 0 || index >= int64_t(accessors.size()))
        return Fail(what + " is not in the file (it has " + std::to_string(accessors.size()) + ")");
    const Json& a = accessors[size_t(index)];
    const std::optional<int64_t> count = WholeNumber(Member(a, "count"));
    const std::optional<int64_t> type = WholeNumber(Member(a, "componentType"));
    if (!count || !type || ComponentBytes(int(*type)) == 0)
        return Fail(what + " has a missing or invalid count or component type");
    if (*count > maxCount)
        return Fail(what + " holds " + std::to_string(*count) + " elements, more than the " +
                    std::to_string(maxCount) + " that are read");
    static const std::map<std::string, int> kTypes = {
        {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
    const auto found = kTypes.find(Text(Member(a, "type")));
    if (found == kTypes.end())
        return Fail(what + " is of type \"" + Text(Member(a, "type")) +
                    "\", which is not read here");
    const Json* normalized = Member(a, "normalized");
    out = {*count, found->second, int(*type),
           normalized && normalized->is_boolean() && normalized->get<bool>()};
    return std::nullopt;
}

template <typename Out>
std::optional<Error> Reader::ReadFloats(int64_t index, int64_t maxCount, int components,
                                        std::vector<Out>& out) {
    constexpr bool kPoints = std::is_same_v<Out, Point3>;
    Accessor acc;
    if (auto error = AccessorOf(index, maxCount, acc))
        return error;
    const std::string what = "accessor " + std::to_string(index);
    if (acc.components < components)
        return Fail(what + " has " + std::to_string(acc.components) + " components where " +
                    std::to_string(components) + " are needed");
    const Json& a = Array(m_doc, "accessors")[size_t(index)];
    if (acc.count == 0) {
        out.clear();
        return std::nullopt;
    }
    const int size = ComponentBytes(acc.componentType);
    const int64_t element = int64_t(size) * acc.components;
    if (kPoints && components != 3)
        return Fail(what + " is read as points of " + std::to_string(components));
    const size_t outCount = size_t(kPoints ? acc.count : acc.count * components);
    auto set = [&](int64_t element, int c, float value) {
        if constexpr (kPoints)
            out[size_t(element)][size_t(c)] = value;
        else
            out[size_t(element * components + c)] = value;
    };
    if (const Json* viewIndex = Member(a, "bufferView")) {
        View view;
        std::span<const uint8_t> bytes;
        const std::optional<int64_t> v = WholeNumber(viewIndex);
        if (!v)
            return Fail(what + " names an invalid buffer view");
        if (auto error = BufferView(*v, view, bytes))
            return error;
        const std::optional<int64_t> offset =
            Member(a, "byteOffset") ? WholeNumber(Member(a, "byteOffset")) : int64_t(0);
        const int64_t stride = view.stride ? view.stride : element;
        if (!offset)
            return Fail(what + " has an invalid byte offset");
        if (stride < element)
            return Fail(what + "'s elements of " + std::to_string(element) +
                        " bytes overlap at a stride of " + std::to_string(stride));
        if (acc.count > 0 &&
            (*offset > int64_t(bytes.size()) || int64_t(bytes.size()) - *offset < element ||
             (acc.count - 1) >
                 (int64_t(bytes.size()) - *offset - element) / std::max<int64_t>(stride, 1)))
            return Fail(what + " reaches past the end of buffer view " + std::to_string(*v) + " (" +
                        std::to_string(acc.count) + " elements of " + std::to_string(element) +
                        " bytes from byte " + std::to_string(*offset) + " of " +
                        std::to_string(bytes.size()) + ")");
        // Pushed, not resized and then written: clearing the memory first
        // cost as much as filling it.
        Room(out, outCount);
        const uint8_t* p = bytes.data() + *offset;
        std::array<float, 16> values{};
        for (int64_t i = 0; i < acc.count; ++i, p += stride) {
            if (acc.componentType == 5126)
                std::memcpy(values.data(), p, size_t(components) * 4);
            else
                for (int c = 0; c < components; ++c)
                    values[size_t(c)] =
                        ComponentAt(p + int64_t(c) * size, acc.componentType, acc.normalized);
            if constexpr (kPoints)
                out.push_back({values[0], values[1], values[2]});
            else
                for (int c = 0; c < components; ++c)
                    out.push_back(values[size_t(c)]);
        }
    } else if (Member(a, "sparse")) {
        Sized(out, outCount); // zeros, then the sparse values
    } else {
        // All zeros by the format's rule: nothing a layout or a view can use,
        // and a claimed count with no bytes behind it.
        return Fail(what + " holds no values (neither a buffer view nor sparse values)");
    }
    if (const Json* sparse = Member(a, "sparse")) {
        const std::optional<int64_t> count = WholeNumber(Member(*sparse, "count"), acc.count);
        const Json* indices = Member(*sparse, "indices");
        const Json* values = Member(*sparse, "values");
        if (!count || !indices || !values)
            return Fail(what + "'s sparse part has a missing or invalid count, indices or "
                               "values");
        const std::optional<int64_t> indexType = WholeNumber(Member(*indices, "componentType"));
        if (!indexType || (*indexType != 5121 && *indexType != 5123 && *indexType != 5125))
            return Fail(what + "'s sparse indices are of an invalid component type");
        struct Part {
            std::span<const uint8_t> bytes;
        } parts[2];
        const int64_t need[2] = {*count * ComponentBytes(int(*indexType)), *count * element};
        const Json* of[2] = {indices, values};
        for (int k = 0; k < 2; ++k) {
            View view;
            std::span<const uint8_t> bytes;
            const std::optional<int64_t> v = WholeNumber(Member(*of[k], "bufferView"));
            const std::optional<int64_t> offset = Member(*of[k], "byteOffset")
                                                      ? WholeNumber(Member(*of[k], "byteOffset"))
                                                      : int64_t(0);
            if (!v || !offset)
                return Fail(what + "'s sparse part names an invalid buffer view or offset");
            if (auto error = BufferView(*v, view, bytes))
                return error;
            if (*offset > int64_t(bytes.size()) || need[k] > int64_t(bytes.size()) - *offset)
                return Fail(what + "'s sparse " + (k ? "values" : "indices") +
                            " reach past the end of buffer view " + std::to_string(*v));
            parts[k].bytes = bytes.subspan(size_t(*offset), size_t(need[k]));
        }
        const int indexBytes = ComponentBytes(int(*indexType));
        for (int64_t i = 0; i < *count; ++i) {
            const uint32_t at = IndexAt(parts[0].bytes.data() + i * indexBytes, int(*indexType));
            if (at >= acc.count)
                return Fail(what + "'s sparse index " + std::to_string(at) + " is past its " +
                            std::to_string(acc.count) + " elements");
            const uint8_t* p = parts[1].bytes.data() + i * element;
            for (int c = 0; c < components; ++c)
                set(int64_t(at), c,
                    ComponentAt(p + int64_t(c) * size, acc.componentType, acc.normalized));
        }
    }
    return std::nullopt;
}

std::optional<Error> Reader::ReadIndices(int64_t index, int64_t maxCount, IndexList& out) {
    Accessor acc;
    if (auto error = AccessorOf(index, maxCount, acc))
        return error;
    const std::string what = "accessor " + std::to_string(index);
    if (acc.components != 1 ||
        (acc.componentType != 5121 && acc.componentType != 5123 && acc.componentType != 5125))
        return Fail(what + " holds indices that are not unsigned whole numbers");
    const Json& a = Array(m_doc, "accessors")[size_t(index)];
    if (!Member(a, "bufferView") || Member(a, "sparse")) {
        // Rare for indices: read through the general path, exact below 2^24.
        std::vector<float> values;
        if (auto error = ReadFloats(index, maxCount, 1, values))
            return error;
        Sized(out.owned, values.size());
        for (size_t i = 0; i < values.size(); ++i)
            out.owned[i] = uint32_t(values[i]);
        out.Own();
        return std::nullopt;
    }
    View view;
    std::span<const uint8_t> bytes;
    const std::optional<int64_t> v = WholeNumber(Member(a, "bufferView"));
    if (!v)
        return Fail(what + " names an invalid buffer view");
    if (auto error = BufferView(*v, view, bytes))
        return error;
    const std::optional<int64_t> offset =
        Member(a, "byteOffset") ? WholeNumber(Member(a, "byteOffset")) : int64_t(0);
    const int size = ComponentBytes(acc.componentType);
    const int64_t stride = view.stride ? view.stride : size;
    if (!offset || stride < size)
        return Fail(what + " has an invalid byte offset or stride");
    if (acc.count > 0 &&
        (*offset > int64_t(bytes.size()) || int64_t(bytes.size()) - *offset < size ||
         (acc.count - 1) > (int64_t(bytes.size()) - *offset - size) / stride))
        return Fail(what + " reaches past the end of buffer view " + std::to_string(*v) + " (" +
                    std::to_string(acc.count) + " indices from byte " + std::to_string(*offset) +
                    " of " + std::to_string(bytes.size()) + ")");
    out.at = bytes.data() + *offset;
    out.stride = stride;
    out.type = acc.componentType;
    out.count = size_t(acc.count);
    return std::nullopt;
}

std::string Reader::ImageName(int64_t image) {
    const auto known = m_imageNames.find(image);
    if (known != m_imageNames.end())
        return known->second;
    const Json& images = Array(m_doc, "images");
    std::string name;
    if (image < 0 || image >= int64_t(images.size())) {
        Note("texture names image " + std::to_string(image) + ", which is not in the file");
    } else {
        const Json& i = images[size_t(image)];
        const std::string what = "image " + std::to_string(image);
        const std::string uri = Text(Member(i, "uri"));
        std::vector<uint8_t> encoded;
        bool embedded = false;
        if (!uri.empty() && uri.rfind("data:", 0) == 0) {
            Result<DataUri> data = DecodeDataUri(uri);
            if (data.ok()) {
                encoded = std::move(data.value().bytes);
                embedded = true;
            } else {
                Note(what + "'s data: URI " + data.error().reason);
            }
        } else if (!uri.empty()) {
            std::string written;
            const auto colon = uri.find(':');
            if (!PercentDecode(uri, written))
                Note(what + "'s URI \"" + uri + "\" has a malformed %-escape");
            else if (colon != std::string::npos && colon > 1 && uri.find('/') > colon)
                Note(what + " is at \"" + uri + "\", which is not a file beside the model");
            else
                name = NormalWritten(written);
        } else if (const std::optional<int64_t> v = WholeNumber(Member(i, "bufferView"))) {
            View view;
            std::span<const uint8_t> bytes;
            if (auto error = BufferView(*v, view, bytes)) {
                Note(what + " cannot be read: " + error->reason);
            } else {
                encoded.assign(bytes.begin(), bytes.end());
                embedded = true;
            }
        } else {
            Note(what + " has neither a URI nor a buffer view");
        }
        if (embedded) {
            EmbeddedSkin skin;
            const std::string own = Text(Member(i, "name"));
            skin.name = what + (own.empty() ? "" : " (" + own + ")");
            // A PNG's size is in its header; other pictures are sized when decoded.
            static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
            if (encoded.size() >= 24 && std::memcmp(encoded.data(), kPng, 8) == 0) {
                auto be = [&encoded](size_t at) {
                    return uint32_t(encoded[at]) << 24 | uint32_t(encoded[at + 1]) << 16 |
                           uint32_t(encoded[at + 2]) << 8 | encoded[at + 3];
                };
                if (be(16) <= 1u << 20 && be(20) <= 1u << 20) {
                    skin.width = int(be(16));
                    skin.height = int(be(20));
                }
            }
            skin.encoded = std::move(encoded);
            name = skin.name;
            m_model.skins.push_back(std::move(skin));
        }
    }
    m_imageNames[image] = name;
    return name;
}

std::string Reader::TextureOf(int64_t material, int& texCoord) {
    texCoord = 0;
    const Json& materials = Array(m_doc, "materials");
    if (material < 0 || material >= int64_t(materials.size()))
        return {};
    const Json* pbr = Member(materials[size_t(material)], "pbrMetallicRoughness");
    const Json* base = pbr ? Member(*pbr, "baseColorTexture") : nullptr;
    if (!base)
        return {};
    const std::string what = "material " + std::to_string(material);
    if (const Json* set = Member(*base, "texCoord")) {
        const std::optional<int64_t> n = WholeNumber(set, 64);
        if (n)
            texCoord = int(*n);
        else
            Note(what + "'s base colour names an invalid set of texture coordinates");
    }
    if (const Json* ext = Member(*base, "extensions"); ext && Member(*ext, "KHR_texture_transform"))
        Note(what + "'s base colour texture is moved by KHR_texture_transform, which the layout "
                    "does not show");
    const Json& textures = Array(m_doc, "textures");
    const std::optional<int64_t> t = WholeNumber(Member(*base, "index"));
    if (!t || *t >= int64_t(textures.size())) {
        Note(what + "'s base colour names a texture that is not in the file");
        return {};
    }
    const std::optional<int64_t> image = WholeNumber(Member(textures[size_t(*t)], "source"));
    if (!image) {
        Note("texture " + std::to_string(*t) + " names no image that is read here");
        return {};
    }
    return ImageName(*image);
}

std::optional<Error> Reader::ReadPrimitive(int64_t mesh, int64_t k, const Json& primitive,
                                           size_t primitiveCount) {
    const Json& meshJson = Array(m_doc, "meshes")[size_t(mesh)];
    std::string name = Text(Member(meshJson, "name"));
    if (name.empty())
        name = "mesh " + std::to_string(mesh);
    if (primitiveCount > 1)
        name += ", primitive " + std::to_string(k);
    if (const Json* ext = Member(primitive, "extensions");
        ext && Member(*ext, "KHR_draco_mesh_compression")) {
        Note(name + " is compressed with KHR_draco_mesh_compression, which is not read; it is "
                    "left out");
        return std::nullopt;
    }
    const std::optional<int64_t> mode =
        Member(primitive, "mode") ? WholeNumber(Member(primitive, "mode"), 6) : int64_t(4);
    if (!mode)
        return Fail(name + " has an invalid mode");
    if (*mode < 4) {
        Note(name + " is made of points or lines, not triangles; it is left out");
        return std::nullopt;
    }
    const Json* attributes = Member(primitive, "attributes");
    const std::optional<int64_t> position =
        attributes ? WholeNumber(Member(*attributes, "POSITION")) : std::nullopt;
    if (!position) {
        Note(name + " has no positions; it is left out");
        return std::nullopt;
    }
    if (m_model.surfaces.size() >= size_t(kMaxModelSurfaces))
        return Fail("it has more than " + std::to_string(kMaxModelSurfaces) + " surfaces");
    Surface surface;
    surface.name = name;
    std::vector<float> scratch;
    Accessor acc;
    if (auto error = AccessorOf(*position, kMaxMeshVertices, acc))
        return Fail(name + "'s positions: " + error->reason);
    const size_t vertices = size_t(acc.count);
    m_totalVertices += acc.count;
    if (m_totalVertices > kMaxModelVertices)
        return Fail("it has more than " + std::to_string(kMaxModelVertices) + " vertices");
    if (auto error = ReadFloats(*position, kMaxMeshVertices, 3, surface.positions))
        return error;
    if (const std::optional<int64_t> normal = WholeNumber(Member(*attributes, "NORMAL"))) {
        Accessor n;
        if (auto error = AccessorOf(*normal, kMaxMeshVertices, n))
            return error;
        if (n.count != acc.count)
            return Fail(name + " has " + std::to_string(n.count) + " normals for " +
                        std::to_string(vertices) + " vertices");
        if (auto error = ReadFloats(*normal, kMaxMeshVertices, 3, surface.normals))
            return error;
    } else {
        surface.normals.assign(vertices, Point3{0, 0, 1});
    }
    for (Point3& p : surface.positions)
        for (float& x : p)
            x = std::isfinite(x) ? x : 0.0f;
    // Unit normals as stored are kept; only the others are scaled.
    for (Point3& p : surface.normals) {
        const float square = p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
        if (!(std::fabs(square - 1.0f) < 1e-5f))
            p = Normalised(p[0], p[1], p[2]);
    }
    // Every set of texture coordinates, TEXCOORD_0 up to the first missing.
    for (int set = 0; set < 64; ++set) {
        const std::optional<int64_t> uv =
            WholeNumber(Member(*attributes, ("TEXCOORD_" + std::to_string(set)).c_str()));
        if (!uv)
            break;
        Accessor t;
        if (auto error = AccessorOf(*uv, kMaxMeshVertices, t))
            return error;
        if (t.count != acc.count)
            return Fail(name + " has " + std::to_string(t.count) + " texture coordinates in set " +
                        std::to_string(set) + " for " + std::to_string(vertices) + " vertices");
        if (auto error = ReadFloats(*uv, kMaxMeshVertices, 2, scratch))
            return error;
        UvSet read;
        Room(read.u, vertices);
        Room(read.v, vertices);
        // v is stored down from the top already.
        for (size_t i = 0; i < vertices; ++i) {
            read.u.push_back(QuantizeTexCoord(scratch[2 * i]));
            read.v.push_back(QuantizeTexCoord(scratch[2 * i + 1]));
        }
        surface.uvSets.push_back(std::move(read));
    }
    int texCoord = 0;
    if (const std::optional<int64_t> material = WholeNumber(Member(primitive, "material"))) {
        const Json& materials = Array(m_doc, "materials");
        if (*material < int64_t(materials.size())) {
            surface.shaderName = Text(Member(materials[size_t(*material)], "name"));
            if (surface.shaderName.empty())
                surface.shaderName = "material " + std::to_string(*material);
            surface.texture = TextureOf(*material, texCoord);
        } else {
            Note(name + " names material " + std::to_string(*material) +
                 ", which is not in the file");
        }
    }
    if (surface.uvSets.empty()) {
        surface.u.assign(vertices, 0.0);
        surface.v.assign(vertices, 0.0);
    } else {
        if (size_t(texCoord) >= surface.uvSets.size()) {
            Note(name + "'s material uses texture coordinates " + std::to_string(texCoord) +
                 ", which it does not have; set 0 is shown");
            texCoord = 0;
        }
        if (surface.uvSets.size() == 1) {
            surface.u = std::move(surface.uvSets[0].u);
            surface.v = std::move(surface.uvSets[0].v);
            surface.uvSets.clear();
        } else {
            surface.u = surface.uvSets[size_t(texCoord)].u;
            surface.v = surface.uvSets[size_t(texCoord)].v;
        }
    }
    // Corners: the indices, or every vertex in turn.
    IndexList corners;
    if (const Json* indices = Member(primitive, "indices")) {
        const std::optional<int64_t> i = WholeNumber(indices);
        if (!i)
            return Fail(name + " names invalid indices");
        if (auto error = ReadIndices(*i, 3 * kMaxMeshTriangles, corners))
            return error;
    } else {
        if (acc.count > 3 * kMaxMeshTriangles)
            return Fail(name + " has more than " + std::to_string(kMaxMeshTriangles) +
                        " triangles");
        Sized(corners.owned, vertices);
        for (size_t i = 0; i < vertices; ++i)
            corners.owned[i] = uint32_t(i);
        corners.Own();
    }
    const size_t n = corners.count;
    const size_t triangles = *mode == 4 ? n / 3 : (n >= 3 ? n - 2 : 0);
    if (int64_t(triangles) > kMaxMeshTriangles)
        return Fail(name + " has " + std::to_string(triangles) + " triangles, more than the " +
                    std::to_string(kMaxMeshTriangles) + " a mesh may have");
    // Filled in place, not cleared first: the clearing cost as much as the filling.
    Room(surface.triangles, triangles);
    const auto limit = uint32_t(vertices);
    uint32_t past = 0; // the first corner past the vertices, when past >= limit
    auto build = [&](auto corner) {
        auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
            past = std::max({past, a, b, c});
            surface.triangles.push_back({int32_t(a), int32_t(b), int32_t(c)});
        };
        if (*mode == 4) {
            for (size_t t = 0; t < triangles; ++t)
                add(corner(3 * t), corner(3 * t + 1), corner(3 * t + 2));
        } else if (*mode == 5) { // every other triangle turned, to keep one winding
            for (size_t t = 0; t < triangles; ++t)
                add(corner(t), corner(t + 1 + t % 2), corner(t + 2 - t % 2));
        } else {
            for (size_t t = 0; t < triangles; ++t)
                add(corner(t + 1), corner(t + 2), corner(0));
        }
    };
    const uint8_t* at = corners.at;
    const auto stride = size_t(corners.stride);
    if (corners.type == 5121)
        build([at, stride](size_t k) { return uint32_t(at[k * stride]); });
    else if (corners.type == 5123)
        build([at, stride](size_t k) {
            uint16_t x;
            std::memcpy(&x, at + k * stride, 2);
            return uint32_t(x);
        });
    else
        build([at, stride](size_t k) {
            uint32_t x;
            std::memcpy(&x, at + k * stride, 4);
            return x;
        });
    if (triangles > 0 && past >= limit)
        return Fail(name + "'s index " + std::to_string(past) + " is past its " +
                    std::to_string(vertices) + " vertices");
    // Skinning, applied once the scene's transforms are known.
    const std::optional<int64_t> joints = WholeNumber(Member(*attributes, "JOINTS_0"));
    const std::optional<int64_t> weights = WholeNumber(Member(*attributes, "WEIGHTS_0"));
    std::vector<float> j, w;
    if (joints && weights) {
        Accessor ja, wa;
        if (auto error = AccessorOf(*joints, kMaxMeshVertices, ja))
            return error;
        if (auto error = AccessorOf(*weights, kMaxMeshVertices, wa))
            return error;
        if (ja.count != acc.count || wa.count != acc.count)
            return Fail(name + " has joints or weights for other than its " +
                        std::to_string(vertices) + " vertices");
        if (auto error = ReadFloats(*joints, kMaxMeshVertices, 4, j))
            return error;
        if (auto error = ReadFloats(*weights, kMaxMeshVertices, 4, w))
            return error;
    }
    m_surfaceSkinned.push_back(!j.empty());
    m_joints.push_back(std::move(j));
    m_weights.push_back(std::move(w));
    m_surfaceMesh.push_back(mesh);
    m_model.surfaces.push_back(std::move(surface));
    return std::nullopt;
}

// Local transform of a node: its matrix, or translation * rotation * scale.
Matrix LocalOf(const Json& node, bool& bad) {
    auto numbers = [&bad](const Json* value, size_t count, std::array<double, 16>& out) {
        if (!value)
            return false;
        if (!value->is_array() || value->size() != count) {
            bad = true;
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            const Json& x = (*value)[i];
            if (!x.is_number() || !std::isfinite(x.get<double>())) {
                bad = true;
                return false;
            }
            out[i] = x.get<double>();
        }
        return true;
    };
    std::array<double, 16> m{};
    if (numbers(Member(node, "matrix"), 16, m))
        return m;
    if (bad)
        return kIdentity;
    Matrix out = kIdentity;
    std::array<double, 16> t{}, r{0, 0, 0, 1}, s{1, 1, 1};
    numbers(Member(node, "translation"), 3, t);
    numbers(Member(node, "rotation"), 4, r);
    numbers(Member(node, "scale"), 3, s);
    if (bad)
        return kIdentity;
    const double len = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + r[3] * r[3]);
    double x = 0, y = 0, z = 0, w = 1;
    if (len > 1e-12) {
        x = r[0] / len, y = r[1] / len, z = r[2] / len, w = r[3] / len;
    }
    const std::array<double, 9> rot{
        1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
        2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
        2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)}; // column-major
    for (size_t c = 0; c < 3; ++c)
        for (size_t row = 0; row < 3; ++row)
            out[c * 4 + row] = rot[c * 3 + row] * s[c];
    out[12] = t[0], out[13] = t[1], out[14] = t[2];
    return out;
}

void Reader::PlaceNodes() {
    const Json& nodes = Array(m_doc, "nodes");
    const size_t count = nodes.size();
    std::vector<int64_t> parent(count, -1);
    for (size_t i = 0; i < count; ++i)
        for (const Json& child : Array(nodes[i], "children")) {
            const std::optional<int64_t> c = WholeNumber(&child);
            if (!c || *c >= int64_t(count)) {
                Note("node " + std::to_string(i) + " names a child that is not in the file");
            } else if (parent[size_t(*c)] != -1 || size_t(*c) == i) {
                Note("node " + std::to_string(*c) +
                     " is a child of more than one node; only its first place is used");
            } else {
                parent[size_t(*c)] = int64_t(i);
            }
        }
    // World transforms, each node after its parent; a loop of parents is cut.
    m_world.assign(count, kIdentity);
    std::vector<uint8_t> state(count, 0); // 0 not yet, 1 on the path, 2 done
    std::vector<int64_t> path;
    bool badTransform = false;
    for (size_t start = 0; start < count; ++start) {
        path.clear();
        int64_t at = int64_t(start);
        while (at != -1 && state[size_t(at)] == 0) {
            state[size_t(at)] = 1;
            path.push_back(at);
            at = parent[size_t(at)];
        }
        if (at != -1 && state[size_t(at)] == 1) {
            Note("nodes " + std::to_string(at) +
                 " and others are each other's parents; the "
                 "loop is cut");
            parent[size_t(at)] = -1;
            // Walked again from the same node, now that the chain has a top.
            for (const int64_t p : path)
                state[size_t(p)] = 0;
            --start;
            continue;
        }
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            const auto i = size_t(*it);
            bool bad = false;
            const Matrix local = LocalOf(nodes[i], bad);
            badTransform |= bad;
            m_world[i] = parent[i] == -1 || state[size_t(parent[i])] != 2
                             ? local
                             : Multiply(m_world[size_t(parent[i])], local);
            state[i] = 2;
        }
    }
    if (badTransform)
        Note("a node's transform holds numbers that are not valid; it is left in place");
    // The scene shown: the default, else the first, else every root node.
    std::vector<int64_t> roots;
    const Json& scenes = Array(m_doc, "scenes");
    int64_t scene = WholeNumber(Member(m_doc, "scene")).value_or(-1);
    if (Member(m_doc, "scene") && (scene < 0 || scene >= int64_t(scenes.size()))) {
        Note("the default scene is not in the file");
        scene = -1;
    }
    if (scene < 0 && !scenes.empty())
        scene = 0;
    if (scene >= 0) {
        for (const Json& root : Array(scenes[size_t(scene)], "nodes"))
            if (const std::optional<int64_t> r = WholeNumber(&root); r && *r < int64_t(count))
                roots.push_back(*r);
    } else {
        for (size_t i = 0; i < count; ++i)
            if (parent[i] == -1)
                roots.push_back(int64_t(i));
    }
    // Each mesh takes the place of the first node that shows it.
    const size_t meshes = Array(m_doc, "meshes").size();
    std::vector<int64_t> placedBy(meshes, -1);
    std::vector<bool> seen(count, false);
    std::vector<int64_t> stack(roots.rbegin(), roots.rend());
    while (!stack.empty()) {
        const int64_t n = stack.back();
        stack.pop_back();
        if (seen[size_t(n)])
            continue;
        seen[size_t(n)] = true;
        const std::optional<int64_t> mesh = WholeNumber(Member(nodes[size_t(n)], "mesh"));
        if (mesh && *mesh < int64_t(meshes) && placedBy[size_t(*mesh)] == -1)
            placedBy[size_t(*mesh)] = n;
        const Json& children = Array(nodes[size_t(n)], "children");
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (const std::optional<int64_t> c = WholeNumber(&*it);
                c && *c < int64_t(count) && parent[size_t(*c)] == n)
                stack.push_back(*c);
    }
    for (size_t s = 0; s < m_model.surfaces.size(); ++s) {
        const int64_t node = placedBy[size_t(m_surfaceMesh[s])];
        if (node != -1)
            if (auto error = Place(s, node, m_surfaceSkinned[s]))
                Note(error->reason);
    }
}

std::optional<Error> Reader::Place(size_t index, int64_t node, bool skinned) {
    Surface& surface = m_model.surfaces[index];
    const Json& nodeJson = Array(m_doc, "nodes")[size_t(node)];
    const std::optional<int64_t> skin = WholeNumber(Member(nodeJson, "skin"));
    const Json& skins = Array(m_doc, "skins");
    if (!skinned || !skin || *skin >= int64_t(skins.size())) {
        const Matrix& m = m_world[size_t(node)];
        if (m == kIdentity)
            return std::nullopt;
        const std::array<double, 9> n = NormalMatrix(m);
        for (Point3& p : surface.positions)
            p = TransformPoint(m, p);
        for (Point3& p : surface.normals)
            p = TransformNormal(n, p);
        return std::nullopt;
    }
    const Json& skinJson = skins[size_t(*skin)];
    const Json& jointList = Array(skinJson, "joints");
    const size_t nodes = m_world.size();
    std::vector<float> inverse;
    if (const std::optional<int64_t> ibm = WholeNumber(Member(skinJson, "inverseBindMatrices"))) {
        if (auto error = ReadFloats(*ibm, int64_t(jointList.size()) + 4096, 16, inverse))
            return Fail(surface.name + " is not posed by its skin: " + error->reason);
    }
    std::vector<Matrix> joints(jointList.size(), kIdentity);
    std::vector<std::array<double, 9>> normalsOf(jointList.size());
    for (size_t k = 0; k < jointList.size(); ++k) {
        const std::optional<int64_t> j = WholeNumber(&jointList[k]);
        Matrix bind = kIdentity;
        if ((k + 1) * 16 <= inverse.size())
            for (size_t e = 0; e < 16; ++e)
                bind[e] = std::isfinite(inverse[k * 16 + e]) ? inverse[k * 16 + e] : 0.0;
        if (j && *j < int64_t(nodes))
            joints[k] = Multiply(m_world[size_t(*j)], bind);
        normalsOf[k] = NormalMatrix(joints[k]);
    }
    const std::vector<float>& j = m_joints[index];
    const std::vector<float>& w = m_weights[index];
    for (size_t i = 0; i < surface.positions.size(); ++i) {
        const Point3 p = surface.positions[i], q = surface.normals[i];
        double sum = 0, out[3] = {0, 0, 0}, normal[3] = {0, 0, 0};
        for (int k = 0; k < 4; ++k) {
            const float weight = w[4 * i + size_t(k)];
            const float joint = j[4 * i + size_t(k)];
            if (!(weight > 0) || !(joint >= 0) || joint >= float(joints.size()))
                continue;
            const Matrix& m = joints[size_t(joint)];
            const std::array<double, 9>& n = normalsOf[size_t(joint)];
            sum += weight;
            for (size_t r = 0; r < 3; ++r) {
                out[r] += weight * (m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r]);
                normal[r] += weight * (n[r * 3] * q[0] + n[r * 3 + 1] * q[1] + n[r * 3 + 2] * q[2]);
            }
        }
        if (sum > 0) {
            surface.positions[i] = {Finite(out[0] / sum), Finite(out[1] / sum),
                                    Finite(out[2] / sum)};
            surface.normals[i] = Normalised(normal[0], normal[1], normal[2]);
        }
    }
    return std::nullopt;
}

Result<Model> Reader::Read() {
    m_model.path = m_source.path;
    const std::span<const uint8_t> bytes =
        m_source.bytes ? m_source.bytes->span() : std::span<const uint8_t>{};
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (bytes.size() >= 4 && Le32(bytes.data()) == kGlbMagic) {
        if (auto error = ParseGlb(bytes, text))
            return *error;
    } else if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    if (TooDeep(text))
        return Fail("its JSON is nested more than " + std::to_string(kMaxJsonDepth) + " deep");
    try {
        m_doc = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& e) {
        return Fail("its JSON cannot be read at byte " + std::to_string(e.byte) +
                    (bytes.empty() ? " (the file is empty)" : ""));
    } catch (const Json::exception&) { // a number past a double's range
        return Fail("its JSON holds a number too large to read");
    }
    if (!m_doc.is_object())
        return Fail("its JSON is not an object, so it is not a glTF scene");
    const Json* asset = Member(m_doc, "asset");
    const std::string version = asset ? Text(Member(*asset, "version")) : std::string();
    if (version.empty())
        return Fail("it gives no glTF version, so it is not a glTF 2.0 scene");
    if (version.rfind("2.", 0) != 0)
        return Fail("it is glTF " + version + "; only glTF 2.0 is read");
    static const char* const kRead[] = {"KHR_materials_", "KHR_texture_transform",
                                        "KHR_mesh_quantization", "KHR_lights_punctual"};
    for (const Json& ext : Array(m_doc, "extensionsRequired")) {
        const std::string name = ext.is_string() ? ext.get<std::string>() : std::string();
        if (name == "KHR_draco_mesh_compression")
            continue; // each such primitive says so
        if (std::none_of(std::begin(kRead), std::end(kRead),
                         [&name](const char* k) { return name.rfind(k, 0) == 0; }))
            Note("it requires the extension \"" + name +
                 "\", which is not read; what it changes is not shown");
    }
    const Json& meshes = Array(m_doc, "meshes");
    for (size_t m = 0; m < meshes.size(); ++m) {
        const Json& primitives = Array(meshes[m], "primitives");
        for (size_t k = 0; k < primitives.size(); ++k)
            if (auto error =
                    ReadPrimitive(int64_t(m), int64_t(k), primitives[k], primitives.size()))
                return *error;
    }
    PlaceNodes();
    return std::move(m_model);
}

} // namespace

bool PercentDecode(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int hi = HexValue(text[i + 1]);
        const int lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return true;
}

Result<DataUri> DecodeDataUri(std::string_view uri) {
    if (uri.substr(0, 5) != "data:")
        return Error{"", "", "does not start with \"data:\""};
    const size_t comma = uri.find(',');
    if (comma == std::string_view::npos)
        return Error{"", "", "has no comma before its data"};
    std::string_view header = uri.substr(5, comma - 5);
    const std::string_view data = uri.substr(comma + 1);
    DataUri out;
    bool base64 = false;
    if (header.size() >= 7 && header.substr(header.size() - 7) == ";base64") {
        base64 = true;
        header.remove_suffix(7);
    }
    out.mediaType = std::string(header.substr(0, header.find(';')));
    if (!base64) {
        std::string decoded;
        if (!PercentDecode(data, decoded))
            return Error{"", "", "has a malformed %-escape"};
        out.bytes.assign(decoded.begin(), decoded.end());
        return out;
    }
    out.bytes.reserve(data.size() / 4 * 3 + 3);
    uint32_t bits = 0;
    int held = 0;
    size_t padding = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padding > 0)
            return Error{"", "",
                         "is not valid base64 (byte " + std::to_string(i) + " of its data)"};
        bits = (bits << 6) | uint32_t(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.bytes.push_back(uint8_t(bits >> held));
        }
    }
    // Six bits left over cannot end a group, nor can more than two '='.
    if (held >= 6 || padding > 2)
        return Error{"", "", "is not valid base64 (its length is not that of whole bytes)"};
    return out;
}

Result<Model> ReadGltf(const SourceBytes& source) {
    return Reader(source).Read();
}
