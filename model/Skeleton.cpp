#include "model/Skeleton.h"

#include <algorithm>
#include <cmath>

namespace {

float Finite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

Point3 FinitePoint(const Point3& p) {
    return {Finite(p[0]), Finite(p[1]), Finite(p[2])};
}

Point3 Cross(const Point3& a, const Point3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Unit length; a vector without one (or not finite) becomes +z, as a vertex
// on no face does.
Point3 Unit(const Point3& v) {
    const double length =
        std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
    if (!(length > 0) || !std::isfinite(length))
        return {0, 0, 1};
    return {float(v[0] / length), float(v[1] / length), float(v[2] / length)};
}

JointMatrix Lerp(const JointMatrix& a, const JointMatrix& b, float t) {
    JointMatrix out;
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 4; ++c)
            out.m[r][c] = a.m[r][c] + (b.m[r][c] - a.m[r][c]) * t;
    return out;
}

using Quat = std::array<float, 4>;

// As Doom 3's idQuat::Slerp: the shorter way round, linear when the two
// nearly agree.
Quat Slerp(const Quat& from, const Quat& to, float t) {
    if (t <= 0)
        return from;
    if (t >= 1)
        return to;
    double cosom = double(from[0]) * to[0] + double(from[1]) * to[1] + double(from[2]) * to[2] +
                   double(from[3]) * to[3];
    Quat other = to;
    if (cosom < 0) {
        cosom = -cosom;
        for (float& c : other)
            c = -c;
    }
    double scale0 = 1 - t, scale1 = t;
    if (1 - cosom > 1e-6) {
        const double omega = std::acos(std::min(cosom, 1.0));
        const double sinom = std::sin(omega);
        scale0 = std::sin((1 - t) * omega) / sinom;
        scale1 = std::sin(t * omega) / sinom;
    }
    Quat out;
    for (size_t i = 0; i < 4; ++i)
        out[i] = float(scale0 * from[i] + scale1 * other[i]);
    return out;
}

Point3 LerpPoint(const Point3& a, const Point3& b, float t) {
    return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

} // namespace

JointMatrix JointMatrix::From(const JointTransform& t) {
    double x = t.rotate[0], y = t.rotate[1], z = t.rotate[2], w = t.rotate[3];
    const double length = std::sqrt(x * x + y * y + z * z + w * w);
    if (length > 0 && std::isfinite(length)) {
        x /= length, y /= length, z /= length, w /= length;
    } else {
        x = y = z = 0, w = 1;
    }
    const double rot[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                              {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                              {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    JointMatrix out;
    for (size_t r = 0; r < 3; ++r) {
        for (size_t c = 0; c < 3; ++c)
            out.m[r][c] = Finite(float(rot[r][c] * t.scale[c]));
        out.m[r][3] = Finite(t.translate[r]);
    }
    return out;
}

JointMatrix JointMatrix::operator*(const JointMatrix& b) const {
    JointMatrix out;
    for (size_t r = 0; r < 3; ++r) {
        for (size_t c = 0; c < 4; ++c)
            out.m[r][c] = m[r][0] * b.m[0][c] + m[r][1] * b.m[1][c] + m[r][2] * b.m[2][c];
        out.m[r][3] += m[r][3];
    }
    return out;
}

Point3 JointMatrix::Apply(const Point3& p) const {
    Point3 out = Turn(p);
    for (size_t r = 0; r < 3; ++r)
        out[r] += m[r][3];
    return out;
}

Point3 JointMatrix::Turn(const Point3& v) const {
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

JointMatrix JointMatrix::Inverse() const {
    const Point3 c0{m[0][0], m[1][0], m[2][0]}, c1{m[0][1], m[1][1], m[2][1]},
        c2{m[0][2], m[1][2], m[2][2]};
    // The inverse's rows are the cofactors' columns over the determinant.
    const Point3 r0 = Cross(c1, c2), r1 = Cross(c2, c0), r2 = Cross(c0, c1);
    const double det = double(c0[0]) * r0[0] + double(c0[1]) * r0[1] + double(c0[2]) * r0[2];
    if (!(std::fabs(det) > 1e-30) || !std::isfinite(det))
        return {};
    JointMatrix out;
    const Point3 rows[3] = {r0, r1, r2};
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 3; ++c)
            out.m[r][c] = Finite(float(rows[r][c] / det));
    const Point3 t = out.Turn({m[0][3], m[1][3], m[2][3]});
    for (size_t r = 0; r < 3; ++r)
        out.m[r][3] = Finite(-t[r]);
    return out;
}

std::vector<Point3> FaceNormals(const std::vector<Point3>& positions,
                                const std::vector<Triangle>& triangles) {
    std::vector<std::array<double, 3>> sums(positions.size(), {0, 0, 0});
    const int32_t n = int32_t(positions.size());
    for (const Triangle& tri : triangles) {
        if (tri.a < 0 || tri.b < 0 || tri.c < 0 || tri.a >= n || tri.b >= n || tri.c >= n)
            continue;
        const Point3& a = positions[size_t(tri.a)];
        const Point3& b = positions[size_t(tri.b)];
        const Point3& c = positions[size_t(tri.c)];
        const double d1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
        const double d2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
        const double face[3] = {d2[1] * d1[2] - d2[2] * d1[1], d2[2] * d1[0] - d2[0] * d1[2],
                                d2[0] * d1[1] - d2[1] * d1[0]};
        for (const int32_t corner : {tri.a, tri.b, tri.c})
            for (size_t r = 0; r < 3; ++r)
                sums[size_t(corner)][r] += face[r];
    }
    std::vector<Point3> normals(positions.size());
    for (size_t i = 0; i < sums.size(); ++i) {
        const double length =
            std::sqrt(sums[i][0] * sums[i][0] + sums[i][1] * sums[i][1] + sums[i][2] * sums[i][2]);
        normals[i] = length > 0 && std::isfinite(length)
                         ? Point3{float(sums[i][0] / length), float(sums[i][1] / length),
                                  float(sums[i][2] / length)}
                         : Point3{0, 0, 1};
    }
    return normals;
}

std::vector<JointMatrix> SkeletalGeometry::JointsAt(int frame, int next, float t) const {
    std::vector<JointMatrix> world(joints.size());
    if (frames.empty())
        return world;
    const int last = int(frames.size()) - 1;
    const auto& a = frames[size_t(std::clamp(frame, 0, last))];
    const auto& b = frames[size_t(std::clamp(next, 0, last))];
    if (!std::isfinite(t))
        t = 0;
    t = std::clamp(t, 0.0f, 1.0f);
    static const JointTransform kRest;
    for (size_t j = 0; j < joints.size(); ++j) {
        const JointTransform& ta = j < a.size() ? a[j] : kRest;
        const JointTransform& tb = j < b.size() ? b[j] : kRest;
        JointMatrix local;
        if (t == 0 || &a == &b) {
            local = JointMatrix::From(ta);
        } else if (blend == JointBlend::Matrices) {
            local = Lerp(JointMatrix::From(ta), JointMatrix::From(tb), t);
        } else {
            local = JointMatrix::From({LerpPoint(ta.translate, tb.translate, t),
                                       Slerp(ta.rotate, tb.rotate, t),
                                       LerpPoint(ta.scale, tb.scale, t)});
        }
        const int32_t parent = joints[j].parent;
        world[j] = parent >= 0 && size_t(parent) < j ? world[size_t(parent)] * local : local;
    }
    return world;
}

std::vector<JointMatrix> SkeletalGeometry::SkinMatrices(int frame, int next, float t) const {
    const std::lock_guard<std::mutex> hold(m_cache.lock);
    if (!m_cache.held || m_cache.frame != frame || m_cache.next != next || m_cache.t != t) {
        m_cache.skin = JointsAt(frame, next, t);
        if (inverseBind.size() == joints.size())
            for (size_t j = 0; j < joints.size(); ++j)
                m_cache.skin[j] = m_cache.skin[j] * inverseBind[j];
        m_cache.held = true;
        m_cache.frame = frame, m_cache.next = next, m_cache.t = t;
    }
    return m_cache.skin;
}

SurfacePose SkeletalGeometry::Pose(size_t surface, int frame) const {
    return PoseBetween(surface, frame, frame, 0);
}

SurfacePose SkeletalGeometry::PoseBetween(size_t surface, int frame, int next, float t) const {
    if (surface >= surfaces.size() || frames.empty())
        return {};
    const SkinnedSurface& s = surfaces[surface];
    if (s.first.empty())
        return {};
    if (frame == next || !std::isfinite(t))
        t = 0;
    const std::vector<JointMatrix> skin = SkinMatrices(frame, next, t);
    const size_t vertices = s.first.size() - 1;
    const bool fromBind = !s.bindPositions.empty();
    SurfacePose pose;
    pose.positions.resize(vertices);
    if (fromBind && s.bindNormals.size() == vertices)
        pose.normals.resize(vertices);
    for (size_t i = 0; i < vertices; ++i) {
        const size_t begin = std::min<size_t>(s.first[i], s.influences.size());
        const size_t end = std::clamp<size_t>(s.first[i + 1], begin, s.influences.size());
        if (fromBind) {
            // The vertex moves by its joints' matrices blended by weight,
            // its normal by that matrix's cofactors (as the IQM sample's
            // skinning does); a vertex weighted to nothing stays put.
            JointMatrix blended;
            for (auto& row : blended.m)
                row.fill(0);
            float sum = 0;
            for (size_t k = begin; k < end; ++k) {
                const JointInfluence& in = s.influences[k];
                if (in.joint < 0 || size_t(in.joint) >= skin.size())
                    continue;
                for (size_t r = 0; r < 3; ++r)
                    for (size_t c = 0; c < 4; ++c)
                        blended.m[r][c] += in.weight * skin[size_t(in.joint)].m[r][c];
                sum += in.weight;
            }
            if (!(sum != 0))
                blended = {};
            const Point3 bind = i < s.bindPositions.size() ? s.bindPositions[i] : Point3{0, 0, 0};
            pose.positions[i] = FinitePoint(blended.Apply(bind));
            if (!pose.normals.empty()) {
                const Point3 c0{blended.m[0][0], blended.m[1][0], blended.m[2][0]};
                const Point3 c1{blended.m[0][1], blended.m[1][1], blended.m[2][1]};
                const Point3 c2{blended.m[0][2], blended.m[1][2], blended.m[2][2]};
                const Point3 n = s.bindNormals[i];
                const Point3 x = Cross(c1, c2), y = Cross(c2, c0), z = Cross(c0, c1);
                pose.normals[i] = Unit({x[0] * n[0] + y[0] * n[1] + z[0] * n[2],
                                        x[1] * n[0] + y[1] * n[1] + z[1] * n[2],
                                        x[2] * n[0] + y[2] * n[1] + z[2] * n[2]});
            }
        } else {
            // Each weight's own position carried by its joint, summed by bias.
            Point3 sum{0, 0, 0};
            for (size_t k = begin; k < end; ++k) {
                const JointInfluence& in = s.influences[k];
                if (in.joint < 0 || size_t(in.joint) >= skin.size())
                    continue;
                const Point3 p = skin[size_t(in.joint)].Apply(in.position);
                for (size_t r = 0; r < 3; ++r)
                    sum[r] += in.weight * p[r];
            }
            pose.positions[i] = FinitePoint(sum);
        }
    }
    if (pose.normals.empty())
        pose.normals = s.triangles.empty() ? std::vector<Point3>(vertices, Point3{0, 0, 1})
                                           : FaceNormals(pose.positions, s.triangles);
    return pose;
}

std::string SkeletalGeometry::Flaw() const {
    for (size_t j = 0; j < joints.size(); ++j)
        if (joints[j].parent >= int32_t(j))
            return "joint " + std::to_string(j) + " (\"" + joints[j].name +
                   "\") has a parent that does not come before it";
    for (size_t f = 0; f < frames.size(); ++f)
        if (frames[f].size() != joints.size())
            return "frame " + std::to_string(f) + " moves " + std::to_string(frames[f].size()) +
                   " joints of the " + std::to_string(joints.size());
    if (!inverseBind.empty() && inverseBind.size() != joints.size())
        return "its bind pose has " + std::to_string(inverseBind.size()) + " joints of the " +
               std::to_string(joints.size());
    for (size_t s = 0; s < surfaces.size(); ++s) {
        const SkinnedSurface& surface = surfaces[s];
        if (surface.first.empty() || surface.first.back() != surface.influences.size() ||
            !std::is_sorted(surface.first.begin(), surface.first.end()))
            return "the weights of surface " + std::to_string(s) + " are not in order";
        for (const JointInfluence& in : surface.influences)
            if (in.joint < 0 || size_t(in.joint) >= joints.size())
                return "a vertex of surface " + std::to_string(s) + " is weighted to joint " +
                       std::to_string(in.joint) + ", and the model has " +
                       std::to_string(joints.size());
    }
    return {};
}
