#pragma once
// A skeleton and the frames that move it (IQM, MD5): joints with parents,
// each frame's joint transforms relative to the parent, and every vertex
// bound to joints by weights. A frame's vertices are made when asked for, so
// a model keeps its frames as its file does: a few numbers a joint.
#include "model/Model.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// A joint's place relative to its parent (or to the model, for a root):
// scaled, then turned, then moved.
struct JointTransform {
    Point3 translate{0, 0, 0};
    std::array<float, 4> rotate{0, 0, 0, 1}; // a quaternion x, y, z, w (made unit when used)
    Point3 scale{1, 1, 1};
};

struct Joint {
    std::string name;
    int32_t parent = -1; // a joint before it, or -1 for a root
};

// A 3x4 matrix: rows of a rotation-and-scale with the translation last,
// applied to column vectors.
struct JointMatrix {
    std::array<std::array<float, 4>, 3> m{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}};

    static JointMatrix From(const JointTransform& t);
    JointMatrix operator*(const JointMatrix& b) const;
    Point3 Apply(const Point3& p) const;
    Point3 Turn(const Point3& v) const; // without the translation
    // The inverse of an invertible one; the identity for one that is not.
    JointMatrix Inverse() const;
};

// A vertex's share of a joint.
struct JointInfluence {
    int32_t joint = 0;
    float weight = 0;
    // Where the vertex lies in the joint's own space (Doom 3's weights each
    // hold one); unused where the surface keeps its bind pose (IQM).
    Point3 position{0, 0, 0};
};

struct SkinnedSurface {
    // Vertex i's influences are influences[first[i]] to influences[first[i + 1] - 1]:
    // first holds one entry more than the vertices.
    std::vector<uint32_t> first;
    std::vector<JointInfluence> influences;
    // The bind pose, when the vertices are moved from it by each joint's
    // move away from its own bind pose (IQM); empty when each influence
    // holds its position (MD5).
    std::vector<Point3> bindPositions, bindNormals;
    // The faces, when the normals are made from them in every frame (Doom 3
    // keeps no normals): each vertex the area-weighted sum of its faces',
    // turned as the game's face planes are.
    std::vector<Triangle> triangles;
};

// Each vertex's normal from the faces about it: the area-weighted sum of
// their normals, turned as Doom 3's face planes are ((c - a) x (b - a));
// +z for a vertex on no face with area.
std::vector<Point3> FaceNormals(const std::vector<Point3>& positions,
                                const std::vector<Triangle>& triangles);

// How the format's engine goes between two frames.
enum class JointBlend {
    Matrices,  // each joint's matrix relative to its parent lerped (IQM)
    Rotations, // rotations slerped, moves and scales lerped (Doom 3)
};

// What no real model reaches: joint transforms held over all frames.
inline constexpr int64_t kMaxJointTransforms = int64_t(1) << 22;

class SkeletalGeometry : public ModelGeometry {
  public:
    std::vector<Joint> joints;                       // parents before their children
    std::vector<std::vector<JointTransform>> frames; // frames[frame][joint]
    // The bind pose's joints relative to the model, inverted; one a joint
    // when the surfaces keep their bind pose.
    std::vector<JointMatrix> inverseBind;
    std::vector<SkinnedSurface> surfaces;
    JointBlend blend = JointBlend::Matrices;

    int FrameCount() const override { return int(frames.size()); }
    SurfacePose Pose(size_t surface, int frame) const override;
    SurfacePose PoseBetween(size_t surface, int frame, int next, float blend) const override;

    // Each joint relative to the model `t` of the way from `frame` to `next`
    // (clamped to the frames held): the matrices vertices are moved by.
    std::vector<JointMatrix> JointsAt(int frame, int next, float t) const;
    // Why it cannot be posed (a parent after its child, an influence on no
    // joint, a frame of the wrong length), or empty when it can.
    std::string Flaw() const;

  private:
    // The last frame's matrices: a model's surfaces are posed one by one.
    struct Cache {
        Cache() = default;
        Cache(const Cache&) {}
        Cache& operator=(const Cache&) { return *this; }
        std::mutex lock;
        bool held = false;
        int frame = 0, next = 0;
        float t = 0;
        std::vector<JointMatrix> skin;
    };
    mutable Cache m_cache;
    std::vector<JointMatrix> SkinMatrices(int frame, int next, float t) const;
};
