#include "render/Seams.h"

#include <algorithm>
#include <map>

namespace {

using Position = std::array<int16_t, 3>;

struct Side {
    TriangleEdge edge;
    double u0, v0, u1, v1; // texture coordinates at the key's first and second position
};

} // namespace

std::vector<TriangleEdge> FindSeams(const Surface& surface) {
    std::vector<TriangleEdge> seams;
    const size_t vertices = surface.u.size();
    if (surface.positions.size() < vertices || vertices == 0)
        return seams;
    std::map<std::pair<Position, Position>, std::vector<Side>> edges;
    for (size_t k = 0; k < surface.triangles.size(); ++k) {
        const Triangle t = surface.triangles[k];
        const int32_t corners[3] = {t.a, t.b, t.c};
        bool valid = true;
        for (const int32_t c : corners)
            valid = valid && c >= 0 && size_t(c) < vertices;
        if (!valid)
            continue;
        for (int e = 0; e < 3; ++e) {
            size_t i = size_t(corners[e]), j = size_t(corners[(e + 1) % 3]);
            Position a = surface.positions[i], b = surface.positions[j];
            if (a == b)
                continue; // no length in the model
            if (b < a) {
                std::swap(a, b);
                std::swap(i, j);
            }
            edges[{a, b}].push_back(
                {{int(k), e}, surface.u[i], surface.v[i], surface.u[j], surface.v[j]});
        }
    }
    for (const auto& [key, sides] : edges) {
        if (sides.size() < 2)
            continue; // an open edge
        for (const Side& s : sides) {
            const bool cut = std::any_of(sides.begin(), sides.end(), [&](const Side& o) {
                return o.u0 != s.u0 || o.v0 != s.v0 || o.u1 != s.u1 || o.v1 != s.v1;
            });
            if (cut)
                seams.push_back(s.edge);
        }
    }
    std::sort(seams.begin(), seams.end(), [](const TriangleEdge& x, const TriangleEdge& y) {
        return x.triangle != y.triangle ? x.triangle < y.triangle : x.corner < y.corner;
    });
    return seams;
}
