#pragma once
// A bounding-volume hierarchy over a model's faces for shadow-like queries:
// does anything lie along a ray before a distance? Built once with binned
// surface-area splits, then flattened four children to a node, their boxes
// side by side so that one node's four box tests run as one vector loop.
#include "bake/Occlusion.h"

#include <cstdint>
#include <vector>

class Bvh {
  public:
    // Faces with a coordinate that is not finite, or of no area, are left out.
    explicit Bvh(const std::vector<WorldTriangle>& faces);

    // Whether a face (either side) meets the ray origin + t * direction for
    // 0 < t < tMax; stops at the first one found.
    bool Occluded(const Vec3& origin, const Vec3& direction, float tMax) const;

    size_t FaceCount() const { return m_faces.size(); }
    bool Empty() const { return m_faces.empty(); }
    // The box about every face kept; meaningless when Empty().
    Vec3 Low() const { return m_low; }
    Vec3 High() const { return m_high; }

  private:
    // The binary tree as built.
    struct Node {
        float low[3];
        uint32_t index; // a leaf's first face; an inner node's second child (the first follows it)
        float high[3];
        uint32_t count; // a leaf's faces; 0 for an inner node
    };
    // A face as the ray test wants it: a corner, the two edges from it and
    // their cross product (the plane, to turn rays away before the edges).
    struct Face {
        float v0[3], e1[3], e2[3], n[3];
    };
    // Four children's boxes, axis by axis; a child is a leaf (count faces
    // from index), an inner node (count 0, index of its node) or empty
    // (a box at infinity that no ray enters).
    struct Wide {
        float lowX[4], lowY[4], lowZ[4], highX[4], highY[4], highZ[4];
        uint32_t index[4], count[4];
    };
    struct Build;
    uint32_t Flatten(const std::vector<Node>& tree, uint32_t node);

    std::vector<Wide> m_nodes;
    std::vector<Face> m_faces;
    Vec3 m_low, m_high;
};
