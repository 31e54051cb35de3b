#include "model/Md5Reader.h"

#include "model/QuantizeTexCoord.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The layout the game's loader reads, token by token:
//   MD5Version 10  commandline "..."  numJoints J  numMeshes M
//   joints { "name" parent ( x y z ) ( qx qy qz ) ... }
//   mesh { [name "..."] shader "..." numverts N  vert i ( s t ) firstWeight weightCount ...
//          numtris N  tri i a b c ...  numweights N  weight i joint bias ( x y z ) ... }
// Tokens are separated by white space or by // and /* */ comments. Each vert,
// tri and weight line carries its own index: a list's lines may come in any
// order, each index once, but a list's count comes before its lines.
// An animation file, likewise:
//   MD5Version 10  commandline "..."  numFrames F  numJoints J  frameRate R
//   numAnimatedComponents C  hierarchy { "name" parent flags firstComponent ... }
//   bounds { ( min ) ( max ) ... }  baseframe { ( x y z ) ( qx qy qz ) ... }
//   frame 0 { C numbers } ... frame F-1 { ... }
// where a joint's flags say which of its position's x, y, z (1, 2, 4) and
// its orientation's x, y, z (8, 16, 32) each frame replaces, in that order
// from its first component.
namespace {

// The fewest bytes a joint, vertex, triangle or weight line can take
// ("a 0(0 0 0)(0 0 0)", "vert 0(0 0)0 1", "tri 0 0 0 0", "weight 0 0 0(0 0 0)"):
// a count is checked against the bytes left before anything is sized by it.
constexpr int64_t kJointBytes = 17, kVertBytes = 14, kTriBytes = 11, kWeightBytes = 19;
constexpr int64_t kMeshBytes = 48; // "mesh{shader a numverts 0 numtris 0 numweights 0}"
// An animation's least: a hierarchy line and a base frame line ("a 0 0 0",
// "(0 0 0)(0 0 0)") a joint; a bounds line and "frame 0{}" a frame, and two
// bytes a component of it ("0 ").
constexpr int64_t kAnimJointBytes = 7 + 14, kAnimFrameBytes = 14 + 8, kComponentBytes = 2;
constexpr int kVersion = 10;

const char* const kNotAModel = "it does not start with \"MD5Version\", so it is not a Doom 3 "
                               "mesh; load the model's .md5mesh file instead";
const char* const kNotAnAnimation =
    "it does not start with \"MD5Version\", so it is not a Doom 3 animation";

enum class Kind { End, Word, Text, OpenParen, CloseParen, OpenBrace, CloseBrace };

struct Token {
    Kind kind = Kind::End;
    std::string_view text;
    int64_t line = 1;
};

struct BindJoint {
    std::string name;
    int32_t parent = -1;
    std::array<double, 3> origin{};
    std::array<std::array<double, 3>, 3> rotation{}; // applied as rotation * offset
};

struct Weight {
    int32_t joint = -1; // -1 until its line is read
    double bias = 0;
    std::array<double, 3> offset{};
};

struct VertexWeights {
    int32_t first = 0, count = 0; // count 0 until its line is read
    int64_t line = 0;
};

// What a number is, put into words only when it is refused: "the bias of
// weight 3". Lines are many; their messages are made for the one that fails.
struct What {
    const char* part;
    const char* owner = nullptr;
    int64_t number = 0;
    const char* extra = ""; // " x", " y", " z" for a vector's parts

    std::string Text() const {
        std::string out = part;
        if (owner)
            out += (out.empty() ? "" : " of ") + std::string(owner) + " " + std::to_string(number);
        return out + extra;
    }
};

// A word of the file as the errors quote it: at most 40 bytes, printable.
std::string Quote(const Token& t) {
    switch (t.kind) {
    case Kind::End:
        return "the end of the file";
    case Kind::OpenParen:
        return "\"(\"";
    case Kind::CloseParen:
        return "\")\"";
    case Kind::OpenBrace:
        return "\"{\"";
    case Kind::CloseBrace:
        return "\"}\"";
    case Kind::Word:
    case Kind::Text:
        break;
    }
    std::string out = "\"";
    for (size_t i = 0; i < t.text.size() && i < 40; ++i) {
        const unsigned char c = static_cast<unsigned char>(t.text[i]);
        out += c >= 0x20 && c < 0x7F && c != '"' ? char(c) : '?';
    }
    return out + (t.text.size() > 40 ? "...\"" : "\"");
}

class Parser {
  public:
    explicit Parser(const SourceBytes& source)
        : m_path(source.path), m_at(reinterpret_cast<const char*>(source.bytes->data())),
          m_end(m_at + source.bytes->size()) {}

    Result<Model> RunMesh();
    Result<Md5Animation> RunAnim();

  private:
    Error Fail(int64_t line, const std::string& why) const {
        return Error{"", m_path, "line " + std::to_string(line) + ": " + why};
    }
    // The next token, or false with m_error set (an unclosed comment or
    // quotation, a word too long).
    bool Next(Token& t);
    bool Expect(Kind kind, const char* symbol, const char* where, const What& what);
    bool ExpectWord(const char* word, const std::string& where);
    bool ExpectName(std::string& name, const What& what);
    bool ExpectInt(int64_t& value, int64_t low, int64_t high, const What& what);
    bool ExpectFloat(double& value, const What& what);
    bool ExpectVector(double* values, int n, const What& what);
    // A count that is read, checked against the limit and against the bytes
    // left at `bytesEach` a line.
    bool ExpectCount(int64_t& count, const char* word, int64_t limit, const char* things,
                     int64_t bytesEach);
    bool Expected(const std::string& what, const Token& found) {
        m_error = Fail(found.line, "expected " + what + ", found " + Quote(found));
        return false;
    }
    // "MD5Version 10 commandline "..."", or false with m_error set.
    bool ReadHeader();
    bool ReadJoint(int64_t index, BindJoint& joint);
    bool ReadMesh(int64_t index, Surface& surface, SkinnedSurface& skinned);
    bool ReadHierarchy(int64_t index, int64_t components, Joint& joint, uint8_t& flags,
                       int64_t& first);

    std::string m_path;
    const char* m_at;
    const char* m_end;
    int64_t m_line = 1;
    Token m_last; // the token read last, named in what is expected after it
    Error m_error;
    std::vector<BindJoint> m_joints;
    int64_t m_modelVertices = 0, m_modelWeights = 0;
};

bool Parser::Next(Token& t) {
    // White space is every byte up to the space, as the game's lexer skips it.
    for (;;) {
        while (m_at < m_end && static_cast<unsigned char>(*m_at) <= ' ') {
            if (*m_at == '\n')
                ++m_line;
            ++m_at;
        }
        if (m_end - m_at >= 2 && m_at[0] == '/' && m_at[1] == '/') {
            const void* newline = std::memchr(m_at, '\n', size_t(m_end - m_at));
            m_at = newline ? static_cast<const char*>(newline) : m_end;
            continue;
        }
        if (m_end - m_at >= 2 && m_at[0] == '/' && m_at[1] == '*') {
            const int64_t opened = m_line;
            const char* p = m_at + 2;
            while (p < m_end && !(*p == '/' && p[-1] == '*' && p - m_at >= 3)) {
                if (*p == '\n')
                    ++m_line;
                ++p;
            }
            if (p >= m_end) {
                m_error = Fail(opened, "a comment opened here is never closed");
                return false;
            }
            m_at = p + 1;
            continue;
        }
        break;
    }
    t.line = m_line;
    if (m_at >= m_end) {
        t.kind = Kind::End;
        t.text = {};
        m_last = t;
        return true;
    }
    const char c = *m_at;
    if (c == '(' || c == ')' || c == '{' || c == '}') {
        t.kind = c == '('   ? Kind::OpenParen
                 : c == ')' ? Kind::CloseParen
                 : c == '{' ? Kind::OpenBrace
                            : Kind::CloseBrace;
        t.text = std::string_view(m_at, 1);
        ++m_at;
    } else if (c == '"') {
        // Quoted text has no escapes and ends on its own line.
        const char* p = m_at + 1;
        while (p < m_end && *p != '"' && *p != '\n')
            ++p;
        if (p >= m_end || *p != '"') {
            m_error = Fail(m_line, "a quotation mark opened here is not closed on its line");
            return false;
        }
        t.kind = Kind::Text;
        t.text = std::string_view(m_at + 1, size_t(p - m_at - 1));
        m_at = p + 1;
    } else {
        const char* p = m_at;
        // A word ends at white space, a mark, a quotation or a comment.
        auto inWord = [this](const char* q) {
            const auto byte = static_cast<unsigned char>(*q);
            if (byte <= ' ' || byte == '(' || byte == ')' || byte == '{' || byte == '}' ||
                byte == '"')
                return false;
            return !(byte == '/' && q + 1 < m_end && (q[1] == '/' || q[1] == '*'));
        };
        while (p < m_end && inWord(p))
            ++p;
        t.kind = Kind::Word;
        t.text = std::string_view(m_at, size_t(p - m_at));
        m_at = p;
    }
    if (int64_t(t.text.size()) > kMaxMd5Word) {
        m_error =
            Fail(t.line, "a word of " + std::to_string(t.text.size()) + " bytes, longer than the " +
                             std::to_string(kMaxMd5Word) + " a word may have");
        return false;
    }
    m_last = t;
    return true;
}

bool Parser::Expect(Kind kind, const char* symbol, const char* where, const What& what) {
    Token t;
    if (!Next(t))
        return false;
    return t.kind == kind ||
           Expected(std::string("\"") + symbol + "\" " + where + " " + what.Text(), t);
}

bool Parser::ExpectWord(const char* word, const std::string& where) {
    Token t;
    if (!Next(t))
        return false;
    return (t.kind == Kind::Word && t.text == word) ||
           Expected(std::string("\"") + word + "\"" + (where.empty() ? "" : " " + where), t);
}

bool Parser::ExpectName(std::string& name, const What& what) {
    Token t;
    if (!Next(t))
        return false;
    if (t.kind != Kind::Word && t.kind != Kind::Text)
        return Expected(what.Text(), t);
    name.assign(t.text);
    return true;
}

bool Parser::ExpectInt(int64_t& value, int64_t low, int64_t high, const What& what) {
    const Token previous = m_last;
    Token t;
    if (!Next(t))
        return false;
    const char* first = t.text.data();
    const char* last = first + t.text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (t.kind != Kind::Word || ec == std::errc::invalid_argument || end != last)
        return Expected("a whole number (" + what.Text() + ") after " + Quote(previous), t);
    if (ec != std::errc() || value < low || value > high) {
        m_error = Fail(t.line, what.Text() + " is " + Quote(t) + ", outside " +
                                   std::to_string(low) + " to " + std::to_string(high));
        return false;
    }
    return true;
}

bool Parser::ExpectFloat(double& value, const What& what) {
    const Token previous = m_last;
    Token t;
    if (!Next(t))
        return false;
    const char* first = t.text.data();
    const char* last = first + t.text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (t.kind != Kind::Word || ec == std::errc::invalid_argument || end != last)
        return Expected("a number (" + what.Text() + ") after " + Quote(previous), t);
    // The game keeps floats: what a float cannot hold is refused, as are
    // "nan" and "inf", which from_chars takes.
    if (ec != std::errc() || !std::isfinite(value) ||
        std::fabs(value) > double(std::numeric_limits<float>::max())) {
        m_error = Fail(t.line, what.Text() + " is " + Quote(t) + ", which is not a finite number");
        return false;
    }
    value = double(float(value));
    return true;
}

bool Parser::ExpectVector(double* values, int n, const What& what) {
    if (!Expect(Kind::OpenParen, "(", "before", what))
        return false;
    static const char* const kAxes[] = {" x", " y", " z"};
    static const char* const kTexture[] = {" s", " t"};
    for (int i = 0; i < n; ++i) {
        What part = what;
        part.extra = n == 2 ? kTexture[i] : kAxes[i];
        if (!ExpectFloat(values[i], part))
            return false;
    }
    return Expect(Kind::CloseParen, ")", "after", what);
}

bool Parser::ExpectCount(int64_t& count, const char* word, int64_t limit, const char* things,
                         int64_t bytesEach) {
    if (!ExpectInt(count, 0, INT64_MAX, What{"the count"}))
        return false;
    if (count > limit) {
        m_error =
            Fail(m_last.line, std::string("\"") + word + "\" says " + std::to_string(count) + " " +
                                  things + "; Gridwright holds at most " + std::to_string(limit));
        return false;
    }
    if (count > (m_end - m_at) / bytesEach) {
        m_error = Fail(m_last.line, std::string("\"") + word + "\" says " + std::to_string(count) +
                                        " " + things + ", more than the " +
                                        std::to_string(m_end - m_at) + " bytes after it can hold");
        return false;
    }
    return true;
}

bool Parser::ReadJoint(int64_t index, BindJoint& joint) {
    if (!ExpectName(joint.name, What{"the name", "joint", index}))
        return false;
    // The game takes any negative parent as none; a parent must come before
    // its joint, as the animations compute them in file order.
    int64_t parent = 0;
    if (!ExpectInt(parent, INT32_MIN, index - 1, What{"the parent", "joint", index}))
        return false;
    joint.parent = parent < 0 ? -1 : int32_t(parent);
    double origin[3], q[3];
    if (!ExpectVector(origin, 3, What{"the position", "joint", index}) ||
        !ExpectVector(q, 3, What{"the orientation", "joint", index}))
        return false;
    joint.origin = {origin[0], origin[1], origin[2]};
    // The game's w (idQuat::CalcW): the absolute value keeps rounding from
    // asking for the root of a negative. Its idJointMat holds the transpose
    // of the quaternion's matrix, so an offset turns by the conjugate; that
    // is the usual rotation with w taken negative.
    const double x = q[0], y = q[1], z = q[2];
    const double w = std::sqrt(std::fabs(1.0 - (x * x + y * y + z * z)));
    const double xx = 2 * x * x, yy = 2 * y * y, zz = 2 * z * z;
    const double xy = 2 * x * y, xz = 2 * x * z, yz = 2 * y * z;
    const double wx = 2 * w * x, wy = 2 * w * y, wz = 2 * w * z;
    const double m[3][3] = {{1 - (yy + zz), xy - wz, xz + wy},
                            {xy + wz, 1 - (xx + zz), yz - wx},
                            {xz - wy, yz + wx, 1 - (xx + yy)}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            joint.rotation[size_t(r)][size_t(c)] = m[c][r];
    return true;
}

bool Parser::ReadMesh(int64_t index, Surface& s, SkinnedSurface& skinned) {
    const std::string label = "mesh " + std::to_string(index);
    if (!Expect(Kind::OpenBrace, "{", "to open", What{"", "mesh", index}))
        return false;
    bool named = false, shaded = false;
    int64_t verts = -1, tris = -1, weightCount = -1;
    int64_t vertsGiven = 0, trisGiven = 0, weightsGiven = 0;
    std::vector<VertexWeights> vertices;
    std::vector<uint8_t> triGiven;
    std::vector<Weight> weights;
    Token t;
    for (;;) {
        if (!Next(t))
            return false;
        if (t.kind == Kind::CloseBrace)
            break;
        const std::string_view word = t.kind == Kind::Word ? t.text : std::string_view();
        auto once = [&](bool& seen) {
            if (seen) {
                m_error = Fail(t.line, "\"" + std::string(word) + "\" is given twice in " + label);
                return false;
            }
            seen = true;
            return true;
        };
        auto before = [&](int64_t count, const char* needed) {
            if (count >= 0)
                return true;
            m_error = Fail(t.line, "a \"" + std::string(word) + "\" line before \"" + needed +
                                       "\" in " + label);
            return false;
        };
        // An index is given once.
        auto fresh = [&](int64_t i, const char* what, bool given) {
            if (!given)
                return true;
            m_error = Fail(m_last.line, std::string(what) + " " + std::to_string(i) +
                                            " is given twice in " + label);
            return false;
        };
        if (word == "name") {
            std::string ignored;
            if (!once(named) || !ExpectName(ignored, What{"the name", "mesh", index}))
                return false;
        } else if (word == "shader") {
            if (!once(shaded) || !ExpectName(s.shaderName, What{"the shader", "mesh", index}))
                return false;
        } else if (word == "numverts") {
            bool seen = verts >= 0;
            if (!once(seen) ||
                !ExpectCount(verts, "numverts", kMaxMeshVertices, "vertices", kVertBytes))
                return false;
            if (m_modelVertices + verts > kMaxModelVertices) {
                m_error = Fail(t.line, "the meshes up to " + label + " have " +
                                           std::to_string(m_modelVertices + verts) +
                                           " vertices in all; Gridwright holds at most " +
                                           std::to_string(kMaxModelVertices));
                return false;
            }
            m_modelVertices += verts;
            vertices.resize(size_t(verts));
            s.u.resize(size_t(verts));
            s.v.resize(size_t(verts));
        } else if (word == "vert") {
            int64_t i = 0, first = 0, count = 0;
            double st[2];
            if (!before(verts, "numverts") ||
                !ExpectInt(i, 0, verts - 1, What{"the vertex number", "mesh", index}) ||
                !fresh(i, "vertex", vertices[size_t(i)].count != 0))
                return false;
            if (!ExpectVector(st, 2, What{"the texture coordinates", "vertex", i}) ||
                !ExpectInt(first, 0, INT32_MAX, What{"the first weight", "vertex", i}) ||
                !ExpectInt(count, 1, kMaxMd5MeshWeights, What{"the weight count", "vertex", i}))
                return false;
            vertices[size_t(i)] = {int32_t(first), int32_t(count), t.line};
            // Doom 3 keeps t growing down the image, as the painter's v does.
            s.u[size_t(i)] = QuantizeTexCoord(float(st[0]));
            s.v[size_t(i)] = QuantizeTexCoord(float(st[1]));
            ++vertsGiven;
        } else if (word == "numtris") {
            bool seen = tris >= 0;
            if (!once(seen) ||
                !ExpectCount(tris, "numtris", kMaxMeshTriangles, "triangles", kTriBytes))
                return false;
            s.triangles.resize(size_t(tris));
            triGiven.resize(size_t(tris));
        } else if (word == "tri") {
            int64_t i = 0, corner[3];
            if (!before(tris, "numtris") || !before(verts, "numverts") ||
                !ExpectInt(i, 0, tris - 1, What{"the triangle number", "mesh", index}) ||
                !fresh(i, "triangle", triGiven[size_t(i)] != 0))
                return false;
            static const char* const kCorners[] = {"the first corner", "the second corner",
                                                   "the third corner"};
            for (int k = 0; k < 3; ++k)
                if (!ExpectInt(corner[k], 0, verts - 1, What{kCorners[k], "triangle", i}))
                    return false;
            // Stored as the file winds it: Doom 3's front faces turn the
            // other way from Quake's (the normals below follow the game).
            s.triangles[size_t(i)] = {int32_t(corner[0]), int32_t(corner[1]), int32_t(corner[2])};
            triGiven[size_t(i)] = 1;
            ++trisGiven;
        } else if (word == "numweights") {
            bool seen = weightCount >= 0;
            if (!once(seen) || !ExpectCount(weightCount, "numweights", kMaxMd5MeshWeights,
                                            "weights", kWeightBytes))
                return false;
            weights.resize(size_t(weightCount));
        } else if (word == "weight") {
            int64_t i = 0, joint = 0;
            if (!before(weightCount, "numweights") ||
                !ExpectInt(i, 0, weightCount - 1, What{"the weight number", "mesh", index}) ||
                !fresh(i, "weight", weights[size_t(i)].joint >= 0))
                return false;
            if (m_joints.empty()) {
                m_error = Fail(t.line, "weight " + std::to_string(i) + " of " + label +
                                           " needs a joint, and the model has none");
                return false;
            }
            Weight& w = weights[size_t(i)];
            if (!ExpectInt(joint, 0, int64_t(m_joints.size()) - 1,
                           What{"the joint", "weight", i}) ||
                !ExpectFloat(w.bias, What{"the bias", "weight", i}) ||
                !ExpectVector(w.offset.data(), 3, What{"the position", "weight", i}))
                return false;
            w.joint = int32_t(joint);
            ++weightsGiven;
        } else {
            return Expected("\"shader\", \"numverts\", \"vert\", \"numtris\", \"tri\", "
                            "\"numweights\", \"weight\" or the \"}\" that closes " +
                                label,
                            t);
        }
    }
    const int64_t closed = t.line;
    const char* missing = !shaded           ? "shader"
                          : verts < 0       ? "numverts"
                          : tris < 0        ? "numtris"
                          : weightCount < 0 ? "numweights"
                                            : nullptr;
    if (missing) {
        m_error = Fail(closed, label + " has no \"" + std::string(missing) + "\"");
        return false;
    }
    auto allGiven = [&](int64_t given, int64_t count, const char* what, const char* plural,
                        auto isGiven) {
        if (given == count)
            return true;
        int64_t first = 0;
        while (first < count && isGiven(first))
            ++first;
        m_error = Fail(closed, label + " says it has " + std::to_string(count) + " " + plural +
                                   ", but " + what + " " + std::to_string(first) + " is not given");
        return false;
    };
    if (!allGiven(vertsGiven, verts, "vertex", "vertices",
                  [&](int64_t i) { return vertices[size_t(i)].count != 0; }) ||
        !allGiven(trisGiven, tris, "triangle", "triangles",
                  [&](int64_t i) { return triGiven[size_t(i)] != 0; }) ||
        !allGiven(weightsGiven, weightCount, "weight", "weights",
                  [&](int64_t i) { return weights[size_t(i)].joint >= 0; }))
        return false;
    // Every vertex's weights lie in the list, and the weights the vertices
    // use in all are bounded, since vertices may share them.
    int64_t used = 0;
    for (size_t i = 0; i < vertices.size(); ++i) {
        const VertexWeights& vw = vertices[i];
        if (int64_t(vw.first) + vw.count > weightCount) {
            m_error = Fail(vw.line, "vertex " + std::to_string(i) + " of " + label +
                                        " uses weights " + std::to_string(vw.first) + " to " +
                                        std::to_string(int64_t(vw.first) + vw.count - 1) +
                                        ", but the mesh has " + std::to_string(weightCount));
            return false;
        }
        used += vw.count;
    }
    if (used > kMaxMd5MeshWeights || m_modelWeights + used > kMaxMd5ModelWeights) {
        m_error = Fail(closed, "the vertices of " + label + " use " + std::to_string(used) +
                                   " weights in all; Gridwright holds at most " +
                                   std::to_string(kMaxMd5MeshWeights) + " a mesh and " +
                                   std::to_string(kMaxMd5ModelWeights) + " a model");
        return false;
    }
    m_modelWeights += used;
    // The bind pose: each weight's offset turned and moved by its joint,
    // scaled by its bias, summed over the vertex's weights. The weights are
    // kept, vertex by vertex, for the animations to move.
    s.positions.resize(vertices.size());
    skinned.first.resize(vertices.size() + 1);
    skinned.influences.reserve(size_t(used));
    for (size_t i = 0; i < vertices.size(); ++i) {
        const VertexWeights& vw = vertices[i];
        double sum[3] = {0, 0, 0};
        skinned.first[i] = uint32_t(skinned.influences.size());
        for (int32_t k = vw.first; k < vw.first + vw.count; ++k) {
            const Weight& w = weights[size_t(k)];
            skinned.influences.push_back(
                {w.joint, float(w.bias),
                 Point3{float(w.offset[0]), float(w.offset[1]), float(w.offset[2])}});
            const BindJoint& j = m_joints[size_t(w.joint)];
            for (size_t r = 0; r < 3; ++r)
                sum[r] +=
                    w.bias * (j.rotation[r][0] * w.offset[0] + j.rotation[r][1] * w.offset[1] +
                              j.rotation[r][2] * w.offset[2] + j.origin[r]);
        }
        // Checked in double: a double beyond a float's range has no float.
        const double most = double(std::numeric_limits<float>::max());
        if (!(std::fabs(sum[0]) <= most && std::fabs(sum[1]) <= most &&
              std::fabs(sum[2]) <= most)) {
            m_error = Fail(vw.line, "vertex " + std::to_string(i) + " of " + label +
                                        " lies beyond what a float holds once its weights are "
                                        "summed");
            return false;
        }
        s.positions[i] = {float(sum[0]), float(sum[1]), float(sum[2])};
    }
    skinned.first.back() = uint32_t(skinned.influences.size());
    // The file holds no normals: each vertex gets those of the triangles
    // about it, as the game makes them in every frame.
    s.normals = FaceNormals(s.positions, s.triangles);
    skinned.triangles = s.triangles;
    return true;
}

bool Parser::ReadHeader() {
    int64_t version = 0;
    if (!ExpectWord("MD5Version", "") ||
        !ExpectInt(version, INT64_MIN, INT64_MAX, What{"the version"}))
        return false;
    if (version != kVersion) {
        m_error = Fail(m_last.line, "it is MD5 version " + std::to_string(version) +
                                        "; Gridwright reads version " + std::to_string(kVersion));
        return false;
    }
    std::string commandLine;
    return ExpectWord("commandline", "after the version") &&
           ExpectName(commandLine, What{"the exporter's command line"});
}

Result<Model> Parser::RunMesh() {
    if (m_end - m_at < 10 || std::memcmp(m_at, "MD5Version", 10) != 0)
        return Error{"", m_path, kNotAModel};
    int64_t jointCount = 0, meshCount = 0;
    if (!ReadHeader() || !ExpectWord("numJoints", "after the command line") ||
        !ExpectCount(jointCount, "numJoints", kMaxMd5Joints, "joints", kJointBytes) ||
        !ExpectWord("numMeshes", "after the joint count") ||
        !ExpectCount(meshCount, "numMeshes", kMaxModelSurfaces, "meshes", kMeshBytes) ||
        !ExpectWord("joints", "after the mesh count") ||
        !Expect(Kind::OpenBrace, "{", "after", What{"\"joints\""}))
        return m_error;
    m_joints.resize(size_t(jointCount));
    for (int64_t i = 0; i < jointCount; ++i)
        if (!ReadJoint(i, m_joints[size_t(i)]))
            return m_error;
    if (!Expect(Kind::CloseBrace, "}", "to close",
                What{"the joints (as many as \"numJoints\" says)"}))
        return m_error;
    Model model;
    model.path = m_path;
    model.surfaces.resize(size_t(meshCount));
    auto skeleton = std::make_shared<SkeletalGeometry>();
    skeleton->blend = JointBlend::Rotations;
    skeleton->surfaces.resize(size_t(meshCount));
    for (int64_t i = 0; i < meshCount; ++i) {
        if (!ExpectWord("mesh",
                        "(mesh " + std::to_string(i) + " of " + std::to_string(meshCount) + ")") ||
            !ReadMesh(i, model.surfaces[size_t(i)], skeleton->surfaces[size_t(i)]))
            return m_error;
        // Meshes are numbered: their shaders often repeat ("Material"), and
        // the file's optional names are not kept by the game either.
        model.surfaces[size_t(i)].name = "mesh " + std::to_string(i);
    }
    // What follows the last mesh is not read, as the game does not read it.
    skeleton->joints.reserve(m_joints.size());
    for (BindJoint& joint : m_joints)
        skeleton->joints.push_back({std::move(joint.name), joint.parent});
    model.geometry = std::move(skeleton);
    return model;
}

bool Parser::ReadHierarchy(int64_t index, int64_t components, Joint& joint, uint8_t& flags,
                           int64_t& first) {
    int64_t parent = 0, bits = 0;
    if (!ExpectName(joint.name, What{"the name", "joint", index}) ||
        !ExpectInt(parent, INT32_MIN, index - 1, What{"the parent", "joint", index}))
        return false;
    // As the game: one root, the first; any negative parent is none.
    if (index > 0 && parent < 0) {
        m_error = Fail(m_last.line, "joint " + std::to_string(index) +
                                        " has no parent, and only joint 0 of an animation may "
                                        "be a root");
        return false;
    }
    joint.parent = parent < 0 ? -1 : int32_t(parent);
    if (!ExpectInt(bits, 0, 63, What{"the animated parts", "joint", index}) ||
        !ExpectInt(first, 0, INT32_MAX, What{"the first component", "joint", index}))
        return false;
    flags = uint8_t(bits);
    // The game checks where the components start; where they end is
    // checked here too, since it reads them without looking.
    const int64_t used = std::popcount(unsigned(flags));
    if ((components > 0 && first >= components) || (used > 0 && first + used > components)) {
        m_error =
            Fail(m_last.line, "joint " + std::to_string(index) + " takes " + std::to_string(used) +
                                  (used == 1 ? " component" : " components") + " from component " +
                                  std::to_string(first) + ", and a frame has " +
                                  std::to_string(components));
        return false;
    }
    return true;
}

Result<Md5Animation> Parser::RunAnim() {
    if (m_end - m_at < 10 || std::memcmp(m_at, "MD5Version", 10) != 0)
        return Error{"", m_path, kNotAnAnimation};
    int64_t frameCount = 0, jointCount = 0, rate = 0, components = 0;
    if (!ReadHeader() || !ExpectWord("numFrames", "after the command line") ||
        !ExpectCount(frameCount, "numFrames", kMaxModelFrames, "frames", kAnimFrameBytes))
        return m_error;
    if (frameCount == 0)
        return Fail(m_last.line, "\"numFrames\" says 0 frames; an animation has at least one");
    if (!ExpectWord("numJoints", "after the frame count") ||
        !ExpectCount(jointCount, "numJoints", kMaxMd5Joints, "joints", kAnimJointBytes))
        return m_error;
    if (jointCount == 0)
        return Fail(m_last.line, "\"numJoints\" says 0 joints; an animation moves at least one");
    if (jointCount * frameCount > kMaxJointTransforms)
        return Fail(m_last.line, std::to_string(jointCount) + " joints in " +
                                     std::to_string(frameCount) + " frames are " +
                                     std::to_string(jointCount * frameCount) +
                                     " joint places; Gridwright holds at most " +
                                     std::to_string(kMaxJointTransforms));
    if (!ExpectWord("frameRate", "after the joint count") ||
        !ExpectInt(rate, 1, kMaxMd5FrameRate, What{"the frame rate"}) ||
        !ExpectWord("numAnimatedComponents", "after the frame rate") ||
        !ExpectInt(components, 0, 6 * jointCount, What{"the number of animated components"}))
        return m_error;
    // Every line that follows, at its fewest bytes, against the bytes left.
    const int64_t least = jointCount * kAnimJointBytes +
                          frameCount * (kAnimFrameBytes + components * kComponentBytes);
    if (least > m_end - m_at)
        return Fail(m_last.line, std::to_string(frameCount) + " frames of " +
                                     std::to_string(components) + " components and " +
                                     std::to_string(jointCount) + " joints take at least " +
                                     std::to_string(least) + " bytes, more than the " +
                                     std::to_string(m_end - m_at) + " bytes after it");
    Md5Animation anim;
    anim.frameRate = int(rate);
    anim.joints.resize(size_t(jointCount));
    std::vector<uint8_t> flags(static_cast<size_t>(jointCount));
    std::vector<int64_t> first(static_cast<size_t>(jointCount));
    if (!ExpectWord("hierarchy", "after the number of animated components") ||
        !Expect(Kind::OpenBrace, "{", "after", What{"\"hierarchy\""}))
        return m_error;
    for (int64_t i = 0; i < jointCount; ++i)
        if (!ReadHierarchy(i, components, anim.joints[size_t(i)], flags[size_t(i)],
                           first[size_t(i)]))
            return m_error;
    if (!Expect(Kind::CloseBrace, "}", "to close",
                What{"the hierarchy (as many joints as \"numJoints\" says)"}) ||
        !ExpectWord("bounds", "after the hierarchy") ||
        !Expect(Kind::OpenBrace, "{", "after", What{"\"bounds\""}))
        return m_error;
    // The bounds are the game's for culling: read, not kept.
    for (int64_t i = 0; i < frameCount; ++i) {
        double corner[3];
        if (!ExpectVector(corner, 3, What{"the lower corner", "the bounds of frame", i}) ||
            !ExpectVector(corner, 3, What{"the upper corner", "the bounds of frame", i}))
            return m_error;
    }
    // Blender's exporter (io_export_md5.py) writes a box more than the
    // frames, which the game would refuse: they are not used, and more are
    // read past.
    for (int64_t i = frameCount;; ++i) {
        Token t;
        if (!Next(t))
            return m_error;
        if (t.kind == Kind::CloseBrace)
            break;
        if (t.kind != Kind::OpenParen)
            return Fail(t.line,
                        "expected \"(\" or the \"}\" that closes the bounds, found " + Quote(t));
        double corner[3];
        static const char* const kAxes[] = {" x", " y", " z"};
        for (size_t k = 0; k < 3; ++k)
            if (!ExpectFloat(corner[k],
                             What{"the lower corner", "the bounds of frame", i, kAxes[k]}))
                return m_error;
        if (!Expect(Kind::CloseParen, ")", "after",
                    What{"the lower corner", "the bounds of frame", i}) ||
            !ExpectVector(corner, 3, What{"the upper corner", "the bounds of frame", i}))
            return m_error;
    }
    if (!ExpectWord("baseframe", "after the bounds") ||
        !Expect(Kind::OpenBrace, "{", "after", What{"\"baseframe\""}))
        return m_error;
    // A joint's six parts as the frames replace them: x, y, z, then the
    // orientation's x, y, z.
    std::vector<std::array<float, 6>> base(static_cast<size_t>(jointCount));
    for (int64_t i = 0; i < jointCount; ++i) {
        double t[3], q[3];
        if (!ExpectVector(t, 3, What{"the position", "base joint", i}) ||
            !ExpectVector(q, 3, What{"the orientation", "base joint", i}))
            return m_error;
        base[size_t(i)] = {float(t[0]), float(t[1]), float(t[2]),
                           float(q[0]), float(q[1]), float(q[2])};
    }
    if (!Expect(Kind::CloseBrace, "}", "to close",
                What{"the base frame (as many joints as \"numJoints\" says)"}))
        return m_error;
    anim.frames.resize(size_t(frameCount));
    std::vector<double> values(static_cast<size_t>(components));
    for (int64_t f = 0; f < frameCount; ++f) {
        int64_t number = 0;
        if (!ExpectWord("frame", "(frame " + std::to_string(f) + " of " +
                                     std::to_string(frameCount) + ")") ||
            !ExpectInt(number, INT64_MIN, INT64_MAX, What{"the frame number"}))
            return m_error;
        if (number != f)
            return Fail(m_last.line, "frame " + std::to_string(number) + " comes where frame " +
                                         std::to_string(f) +
                                         " was expected; the frames are numbered in order");
        if (!Expect(Kind::OpenBrace, "{", "to open", What{"", "frame", f}))
            return m_error;
        for (int64_t c = 0; c < components; ++c)
            if (!ExpectFloat(values[size_t(c)], What{"a component", "frame", f}))
                return m_error;
        if (!Expect(
                Kind::CloseBrace, "}", "to close",
                What{"", "frame", f, " (as many components as \"numAnimatedComponents\" says)"}))
            return m_error;
        std::vector<JointTransform>& joints = anim.frames[size_t(f)];
        joints.resize(size_t(jointCount));
        for (size_t j = 0; j < joints.size(); ++j) {
            std::array<float, 6> parts = base[j];
            size_t next = size_t(first[j]);
            for (size_t k = 0; k < 6; ++k)
                if (flags[j] & (1u << k))
                    parts[k] = float(values[next++]);
            // The game's w (idQuat::CalcW). Its joint matrices hold the
            // transpose of the quaternion's matrix: a joint turns by the
            // conjugate, which is what Skeleton.h is given.
            const double x = parts[3], y = parts[4], z = parts[5];
            const double w = std::sqrt(std::fabs(1.0 - (x * x + y * y + z * z)));
            joints[j].translate = {parts[0], parts[1], parts[2]};
            joints[j].rotate = {-parts[3], -parts[4], -parts[5], float(w)};
        }
    }
    // What follows the last frame is not read, as the game does not read it.
    return anim;
}

// Why an animation's joints are not the mesh's, as the game compares them;
// empty when they are.
std::string Mismatch(const std::vector<Joint>& mesh, const std::vector<Joint>& anim) {
    if (mesh.size() != anim.size())
        return "it moves " + std::to_string(anim.size()) + " joints, and the mesh has " +
               std::to_string(mesh.size());
    auto parent = [](int32_t p) {
        return p < 0 ? std::string("none") : "joint " + std::to_string(p);
    };
    for (size_t j = 0; j < mesh.size(); ++j) {
        if (mesh[j].name != anim[j].name)
            return "its joint " + std::to_string(j) + " is \"" + anim[j].name +
                   "\", and the mesh's is \"" + mesh[j].name + "\"";
        if (mesh[j].parent != anim[j].parent)
            return "its joint " + std::to_string(j) + " (\"" + anim[j].name + "\") hangs from " +
                   parent(anim[j].parent) + ", and the mesh's from " + parent(mesh[j].parent);
    }
    return {};
}

} // namespace

Result<Model> ReadMd5(const SourceBytes& source) {
    if (!source.bytes)
        return Error{"", source.path, kNotAModel};
    return Parser(source).RunMesh();
}

Result<Md5Animation> ReadMd5Anim(const SourceBytes& source) {
    if (!source.bytes)
        return Error{"", source.path, kNotAnAnimation};
    return Parser(source).RunAnim();
}

Status AttachMd5Animations(Model& mesh,
                           std::vector<std::pair<std::string, Md5Animation>> animations) {
    const auto* own = dynamic_cast<const SkeletalGeometry*>(mesh.geometry.get());
    if (!own || own->blend != JointBlend::Rotations || !own->inverseBind.empty())
        return Error{"", mesh.path, "it holds no Doom 3 skeleton for animations to move"};
    auto moved = std::make_shared<SkeletalGeometry>(*own);
    moved->frames.clear();
    const int64_t joints = int64_t(own->joints.size());
    std::vector<Animation> named;
    for (auto& entry : animations) {
        const std::string& name = entry.first;
        Md5Animation& anim = entry.second;
        const auto leftOut = [&mesh, &name](const std::string& why) {
            mesh.notes.push_back("the animation \"" + name + "\" is left out: " + why);
        };
        if (std::string why = Mismatch(own->joints, anim.joints); !why.empty()) {
            leftOut(why);
            continue;
        }
        const int64_t frames = int64_t(anim.frames.size());
        const int64_t total = int64_t(moved->frames.size()) + frames;
        if (frames == 0 ||
            std::any_of(anim.frames.begin(), anim.frames.end(),
                        [&](const auto& frame) { return int64_t(frame.size()) != joints; })) {
            leftOut("its frames do not each move every joint");
            continue;
        }
        if (total > kMaxModelFrames || total * joints > kMaxJointTransforms) {
            leftOut("with it the animations would have " + std::to_string(total) + " frames of " +
                    std::to_string(joints) + " joints; Gridwright holds at most " +
                    std::to_string(kMaxModelFrames) + " frames and " +
                    std::to_string(kMaxJointTransforms) + " joint places");
            continue;
        }
        Animation a;
        a.name = name;
        a.first = int(moved->frames.size());
        a.frames = int(frames);
        a.looping = a.frames; // the game's viewer plays them round
        a.fps = anim.frameRate > 0 ? anim.frameRate : 24;
        named.push_back(std::move(a));
        std::move(anim.frames.begin(), anim.frames.end(), std::back_inserter(moved->frames));
        anim.frames.clear();
    }
    if (std::string flaw = moved->Flaw(); !flaw.empty())
        return Error{"", mesh.path, "its skeleton cannot be posed: " + flaw};
    mesh.geometry = std::move(moved);
    mesh.animations = std::move(named);
    return Success();
}
