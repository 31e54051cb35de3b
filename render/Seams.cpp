#include "render/Seams.h"

#include "render/SurfacePoints.h"

#include <algorithm>

std::vector<TriangleEdge> FindSeams(const Surface& surface) {
    std::vector<TriangleEdge> seams;
    const size_t vertices = surface.u.size(), triangles = surface.triangles.size();
    const std::vector<uint32_t> at = ModelPoints(surface);
    if (at.empty() || vertices == 0)
        return seams;
    const std::vector<uint32_t> layout = LayoutPoints(surface);
    const size_t points = size_t(*std::max_element(at.begin(), at.end())) + 1;
    auto valid = [&](const Triangle& t) {
        const int32_t c[3] = {t.a, t.b, t.c};
        return std::none_of(c, c + 3, [&](int32_t i) { return i < 0 || size_t(i) >= vertices; });
    };
    // Calls edge(place, i, j) for every edge with length in the model, its
    // ends i, j ordered by their model points (smaller first).
    auto forEachEdge = [&](auto&& edge) {
        for (size_t k = 0; k < triangles; ++k) {
            const Triangle t = surface.triangles[k];
            if (!valid(t))
                continue;
            const int32_t c[3] = {t.a, t.b, t.c};
            for (int e = 0; e < 3; ++e) {
                size_t i = size_t(c[e]), j = size_t(c[(e + 1) % 3]);
                if (at[i] == at[j])
                    continue; // no length in the model
                if (at[j] < at[i])
                    std::swap(i, j);
                edge(uint32_t(k * 3 + size_t(e)), i, j);
            }
        }
    };
    // The edges grouped by their smaller model point (a count, then a fill):
    // eight bytes an edge and no sort, so a sculpt's three million edges take
    // one pass over little memory.
    struct Side {
        uint32_t other; // the larger model point
        uint32_t place; // triangle * 3 + corner
    };
    std::vector<uint32_t> start(points + 1, 0);
    forEachEdge([&](uint32_t, size_t i, size_t) { ++start[at[i] + 1]; });
    for (size_t p = 1; p < start.size(); ++p)
        start[p] += start[p - 1];
    std::vector<Side> sides(start.back());
    {
        std::vector<uint32_t> next(start.begin(), start.end() - 1);
        forEachEdge([&](uint32_t place, size_t i, size_t j) {
            sides[next[at[i]]++] = {at[j], place};
        });
    }
    // The layout points at an edge's ends, in the order of their model points.
    auto ends = [&](uint32_t place) {
        const Triangle t = surface.triangles[place / 3];
        const int32_t c[3] = {t.a, t.b, t.c};
        size_t i = size_t(c[place % 3]), j = size_t(c[(place % 3 + 1) % 3]);
        if (at[j] < at[i])
            std::swap(i, j);
        return uint64_t(layout[i]) << 32 | layout[j];
    };
    std::vector<bool> seam(triangles * 3, false);
    for (size_t p = 0; p + 1 < start.size(); ++p) {
        const auto first = sides.begin() + start[p], last = sides.begin() + start[p + 1];
        std::sort(first, last, [](const Side& a, const Side& b) { return a.other < b.other; });
        for (auto i = first; i != last;) {
            auto j = i + 1;
            bool cut = false;
            const uint64_t mine = ends(i->place);
            for (; j != last && j->other == i->other; ++j)
                cut = cut || ends(j->place) != mine;
            // Joined in the model (two faces or more) and not laid out alike:
            // every side of it is a seam. One face alone: an open edge.
            if (cut)
                for (auto k = i; k != j; ++k)
                    seam[k->place] = true;
            i = j;
        }
    }
    for (size_t place = 0; place < seam.size(); ++place)
        if (seam[place])
            seams.push_back({int(place / 3), int(place % 3)});
    return seams;
}
