#include "render/Seams.h"

#include "render/SurfacePoints.h"

#include <algorithm>

std::vector<TriangleEdge> FindSeams(const Surface& surface) {
    std::vector<TriangleEdge> seams;
    const size_t vertices = surface.u.size();
    const std::vector<uint32_t> at = ModelPoints(surface);
    if (at.empty() || vertices == 0)
        return seams;
    const std::vector<uint32_t> layout = LayoutPoints(surface);
    // Every edge with length in the model: its two model points (smaller
    // first), the layout points at those ends, and where it is.
    struct Side {
        uint64_t key, ends;
        uint32_t place; // triangle * 3 + corner
    };
    std::vector<Side> sides;
    sides.reserve(surface.triangles.size() * 3);
    for (size_t k = 0; k < surface.triangles.size(); ++k) {
        const Triangle t = surface.triangles[k];
        const int32_t c[3] = {t.a, t.b, t.c};
        if (std::any_of(c, c + 3, [&](int32_t i) { return i < 0 || size_t(i) >= vertices; }))
            continue;
        for (int e = 0; e < 3; ++e) {
            size_t i = size_t(c[e]), j = size_t(c[(e + 1) % 3]);
            if (at[i] == at[j])
                continue; // no length in the model
            if (at[j] < at[i])
                std::swap(i, j);
            sides.push_back({uint64_t(at[i]) << 32 | at[j], uint64_t(layout[i]) << 32 | layout[j],
                             uint32_t(k * 3 + size_t(e))});
        }
    }
    const size_t points = at.empty() ? 0 : size_t(*std::max_element(at.begin(), at.end())) + 1;
    SortByPointPair(sides, points, [](const Side& s) { return s.key; });
    std::vector<uint32_t> places;
    for (size_t i = 0; i < sides.size();) {
        size_t j = i + 1;
        bool cut = false;
        for (; j < sides.size() && sides[j].key == sides[i].key; ++j)
            cut = cut || sides[j].ends != sides[i].ends;
        // Joined in the model (two faces or more) and not laid out alike:
        // every side of it is a seam. One face alone: an open edge.
        if (cut)
            for (size_t k = i; k < j; ++k)
                places.push_back(sides[k].place);
        i = j;
    }
    std::sort(places.begin(), places.end());
    for (const uint32_t p : places)
        seams.push_back({int(p / 3), int(p % 3)});
    return seams;
}
