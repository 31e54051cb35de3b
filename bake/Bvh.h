#pragma once
// A bounding-volume hierarchy over a model's faces for shadow-like queries:
// does anything lie along a ray before a distance? Built once with binned
// surface-area splits into one flat array of 32-byte nodes, in float.
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
    struct Node {
        float low[3];
        uint32_t index; // a leaf's first face; an inner node's second child (the first follows it)
        float high[3];
        uint32_t count; // a leaf's faces; 0 for an inner node
    };
    // A face as the ray test wants it: a corner and the two edges from it.
    struct Face {
        float v0[3], e1[3], e2[3];
    };
    struct Build;

    std::vector<Node> m_nodes;
    std::vector<Face> m_faces;
    Vec3 m_low, m_high;
};
