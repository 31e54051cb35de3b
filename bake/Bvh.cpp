#include "bake/Bvh.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr int kBins = 16;
constexpr uint32_t kMaxLeaf = 8;
// Past this depth splits fall back to halving the faces, which bounds the
// depth (and so the traversal's stack) whatever the input.
constexpr int kSahDepth = 32;
constexpr int kStack = 256; // up to three children wait per level
constexpr float kEmpty = std::numeric_limits<float>::infinity();

struct Box {
    float low[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::max()};
    float high[3] = {-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                     -std::numeric_limits<float>::max()};
    void Grow(const float p[3]) {
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], p[i]);
            high[i] = std::max(high[i], p[i]);
        }
    }
    void Grow(const Box& b) {
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], b.low[i]);
            high[i] = std::max(high[i], b.high[i]);
        }
    }
    bool Empty() const { return high[0] < low[0]; }
    float Area() const {
        if (Empty())
            return 0;
        const float x = high[0] - low[0], y = high[1] - low[1], z = high[2] - low[2];
        return x * y + y * z + z * x;
    }
};

bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

struct Bvh::Build {
    std::vector<Box> bounds;
    std::vector<std::array<float, 3>> centres;
    std::vector<uint32_t> order;
    std::vector<Node>& nodes;

    void Split(uint32_t node, uint32_t begin, uint32_t end, int depth) {
        Box box, centreBox;
        for (uint32_t k = begin; k < end; ++k) {
            box.Grow(bounds[order[k]]);
            centreBox.Grow(centres[order[k]].data());
        }
        for (int i = 0; i < 3; ++i) {
            nodes[node].low[i] = box.low[i];
            nodes[node].high[i] = box.high[i];
        }
        const uint32_t count = end - begin;
        int axis = 0;
        for (int i = 1; i < 3; ++i)
            if (centreBox.high[i] - centreBox.low[i] > centreBox.high[axis] - centreBox.low[axis])
                axis = i;
        // In double: a model across the range of floats overflows float's.
        const double from = centreBox.low[axis], extent = centreBox.high[axis] - from;
        if (count <= 2 || (count <= kMaxLeaf && !(extent > 0))) {
            MakeLeaf(node, begin, count);
            return;
        }
        uint32_t middle = begin + count / 2;
        bool halve = depth >= kSahDepth || !(extent > 0);
        if (!halve) {
            std::array<Box, kBins> binBox;
            std::array<uint32_t, kBins> binCount{};
            const double scale = kBins / extent;
            auto binOf = [&](uint32_t face) {
                const double b = (centres[face][size_t(axis)] - from) * scale;
                return int(std::clamp(b, 0.0, double(kBins - 1)));
            };
            for (uint32_t k = begin; k < end; ++k) {
                const int b = binOf(order[k]);
                binBox[size_t(b)].Grow(bounds[order[k]]);
                ++binCount[size_t(b)];
            }
            // Cost of each split, right sides swept from the top first.
            std::array<float, kBins> rightCost{};
            Box right;
            uint32_t rightCount = 0;
            for (int b = kBins - 1; b > 0; --b) {
                right.Grow(binBox[size_t(b)]);
                rightCount += binCount[size_t(b)];
                rightCost[size_t(b)] = right.Area() * float(rightCount);
            }
            Box left;
            uint32_t leftCount = 0;
            float best = std::numeric_limits<float>::max();
            int bestBin = -1;
            for (int b = 1; b < kBins; ++b) {
                left.Grow(binBox[size_t(b - 1)]);
                leftCount += binCount[size_t(b - 1)];
                if (leftCount == 0 || leftCount == count)
                    continue;
                const float cost = left.Area() * float(leftCount) + rightCost[size_t(b)];
                if (cost < best) {
                    best = cost;
                    bestBin = b;
                }
            }
            // A node's visit costs about one face test.
            const float area = box.Area();
            const float splitCost = 1 + (area > 0 ? best / area : float(count));
            if (bestBin < 0) {
                halve = true;
            } else if (count <= kMaxLeaf && float(count) <= splitCost) {
                MakeLeaf(node, begin, count);
                return;
            } else {
                const auto mid =
                    std::partition(order.begin() + begin, order.begin() + end,
                                   [&](uint32_t face) { return binOf(face) < bestBin; });
                middle = uint32_t(mid - order.begin());
                if (middle == begin || middle == end) {
                    halve = true;
                    middle = begin + count / 2;
                }
            }
        }
        if (halve)
            std::nth_element(order.begin() + begin, order.begin() + middle, order.begin() + end,
                             [&](uint32_t a, uint32_t b) {
                                 return centres[a][size_t(axis)] < centres[b][size_t(axis)];
                             });
        const uint32_t first = uint32_t(nodes.size());
        nodes.emplace_back();
        Split(first, begin, middle, depth + 1);
        const uint32_t second = uint32_t(nodes.size());
        nodes.emplace_back();
        nodes[node].index = second;
        nodes[node].count = 0;
        Split(second, middle, end, depth + 1);
    }

    void MakeLeaf(uint32_t node, uint32_t begin, uint32_t count) {
        nodes[node].index = begin;
        nodes[node].count = count;
    }
};

Bvh::Bvh(const std::vector<WorldTriangle>& faces) {
    std::vector<Face> kept;
    std::vector<Node> tree;
    Build build{{}, {}, {}, tree};
    for (const WorldTriangle& t : faces) {
        const Vec3 e1 = t[1] - t[0], e2 = t[2] - t[0], n = Cross(e1, e2);
        if (!Finite(t[0]) || !Finite(t[1]) || !Finite(t[2]) || !Finite(e1) || !Finite(e2) ||
            !Finite(n) || Dot(n, n) == 0 || !std::isfinite(Dot(n, n)))
            continue;
        kept.push_back(
            {{t[0].x, t[0].y, t[0].z}, {e1.x, e1.y, e1.z}, {e2.x, e2.y, e2.z}, {n.x, n.y, n.z}});
        Box b;
        for (const Vec3& v : t) {
            const float p[3] = {v.x, v.y, v.z};
            b.Grow(p);
        }
        build.bounds.push_back(b);
        build.centres.push_back({b.low[0] * 0.5f + b.high[0] * 0.5f,
                                 b.low[1] * 0.5f + b.high[1] * 0.5f,
                                 b.low[2] * 0.5f + b.high[2] * 0.5f});
    }
    if (kept.empty() || kept.size() >= std::numeric_limits<uint32_t>::max() / 2)
        return;
    build.order.resize(kept.size());
    for (uint32_t k = 0; k < build.order.size(); ++k)
        build.order[k] = k;
    tree.reserve(kept.size() * 2);
    tree.emplace_back();
    build.Split(0, 0, uint32_t(kept.size()), 0);
    // Faces in leaf order, so a leaf's faces lie side by side in memory.
    m_faces.reserve(kept.size());
    for (uint32_t k : build.order)
        m_faces.push_back(kept[k]);
    m_low = {tree[0].low[0], tree[0].low[1], tree[0].low[2]};
    m_high = {tree[0].high[0], tree[0].high[1], tree[0].high[2]};
    m_nodes.reserve(tree.size() / 2 + 1);
    Flatten(tree, 0);
}

// Gathers up to four children of a binary inner node, opening the largest
// inner one among them until there are four, and so on below.
uint32_t Bvh::Flatten(const std::vector<Node>& tree, uint32_t node) {
    auto area = [&](uint32_t n) {
        const Node& t = tree[n];
        const float x = t.high[0] - t.low[0], y = t.high[1] - t.low[1], z = t.high[2] - t.low[2];
        return x * y + y * z + z * x;
    };
    std::array<uint32_t, 4> children{node + 1, tree[node].index, 0, 0};
    size_t count = 2;
    if (tree[node].count != 0) { // the root alone, a leaf
        children[0] = node;
        count = 1;
    }
    while (count < 4) {
        int widest = -1;
        for (size_t k = 0; k < count; ++k)
            if (tree[children[k]].count == 0 &&
                (widest < 0 || area(children[k]) > area(children[size_t(widest)])))
                widest = int(k);
        if (widest < 0)
            break;
        const uint32_t open = children[size_t(widest)];
        children[size_t(widest)] = open + 1;
        children[count++] = tree[open].index;
    }
    const uint32_t at = uint32_t(m_nodes.size());
    m_nodes.emplace_back();
    for (size_t k = 0; k < 4; ++k) {
        Wide& w = m_nodes[at];
        if (k >= count) {
            w.lowX[k] = w.lowY[k] = w.lowZ[k] = kEmpty;
            w.highX[k] = w.highY[k] = w.highZ[k] = kEmpty;
            w.index[k] = 0; // no inner child is the root: index 0 marks the slot empty
            w.count[k] = 0;
            continue;
        }
        const Node& c = tree[children[k]];
        w.lowX[k] = c.low[0];
        w.lowY[k] = c.low[1];
        w.lowZ[k] = c.low[2];
        w.highX[k] = c.high[0];
        w.highY[k] = c.high[1];
        w.highZ[k] = c.high[2];
        w.count[k] = c.count;
        w.index[k] = c.index;
        if (c.count == 0) {
            const uint32_t below = Flatten(tree, children[k]);
            m_nodes[at].index[k] = below; // m_nodes may have moved
        }
    }
    return at;
}

bool Bvh::Occluded(const Vec3& origin, const Vec3& direction, float tMax) const {
    // A ray from nowhere meets nothing, and its slab tests would be NaN.
    if (m_nodes.empty() || !(tMax > 0) || !Finite(origin) || !Finite(direction))
        return false;
    const float o[3] = {origin.x, origin.y, origin.z};
    const float d[3] = {direction.x, direction.y, direction.z};
    float inv[3];
    // A huge finite stand-in for 1/0 keeps the slab products free of NaN.
    for (int i = 0; i < 3; ++i)
        inv[i] = d[i] != 0 ? 1 / d[i] : std::copysign(1e30f, d[i]);
    const Wide* nodes = m_nodes.data();
    uint32_t stack[kStack];
    int top = 0;
    uint32_t at = 0;
    for (;;) {
        const Wide& w = nodes[at];
        float enter[4]; // where the ray enters each child; kEmpty: it misses
        for (int k = 0; k < 4; ++k) {
            const float ax = (w.lowX[k] - o[0]) * inv[0], bx = (w.highX[k] - o[0]) * inv[0];
            const float ay = (w.lowY[k] - o[1]) * inv[1], by = (w.highY[k] - o[1]) * inv[1];
            const float az = (w.lowZ[k] - o[2]) * inv[2], bz = (w.highZ[k] - o[2]) * inv[2];
            const float near = std::max(std::max(std::min(ax, bx), std::min(ay, by)),
                                        std::max(std::min(az, bz), 0.0f));
            const float far = std::min(std::min(std::max(ax, bx), std::max(ay, by)),
                                       std::min(std::max(az, bz), tMax));
            enter[k] = near <= far ? near : kEmpty;
        }
        // Leaves now (any face ends it); inner nodes wait. Putting the nearest
        // on top costs more than it saves: most rays get out, through all.
        for (int k = 0; k < 4; ++k) {
            if (enter[k] == kEmpty)
                continue;
            if (w.count[k] == 0) {
                // An empty slot is never followed, whatever its slab test
                // gave: it would lead back to the root, for ever.
                if (w.index[k] != 0 && top < kStack)
                    stack[top++] = w.index[k];
                continue;
            }
            const Face* f = m_faces.data() + w.index[k];
            for (uint32_t n = 0; n < w.count[k]; ++n, ++f) {
                // Where the ray meets the face's plane (either side), then
                // whether that point lies within the edges; all scaled by the
                // determinant, so no division: a ray along the plane (0) or
                // NaN meets nothing.
                const float s[3] = {o[0] - f->v0[0], o[1] - f->v0[1], o[2] - f->v0[2]};
                const float det = d[0] * f->n[0] + d[1] * f->n[1] + d[2] * f->n[2];
                const float sign = det < 0 ? 1.0f : -1.0f;
                const float size = std::abs(det);
                const float t = (s[0] * f->n[0] + s[1] * f->n[1] + s[2] * f->n[2]) * sign;
                if (!(t > 0 && t < tMax * size))
                    continue;
                const float c[3] = {s[1] * d[2] - s[2] * d[1], s[2] * d[0] - s[0] * d[2],
                                    s[0] * d[1] - s[1] * d[0]};
                const float u = (f->e2[0] * c[0] + f->e2[1] * c[1] + f->e2[2] * c[2]) * sign;
                const float v = -(f->e1[0] * c[0] + f->e1[1] * c[1] + f->e1[2] * c[2]) * sign;
                if (u >= 0 && v >= 0 && u + v <= size)
                    return true;
            }
        }
        if (top == 0)
            return false;
        at = stack[--top];
    }
}
