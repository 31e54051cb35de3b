#include "render/Islands.h"

#include "render/OverlapCoverage.h"
#include "render/SurfacePoints.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <tuple>

namespace {

int Root(std::vector<int>& parent, int i) {
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

// Hues spread by the golden angle, in two saturations and three values:
// consecutive candidates differ clearly. Past those, every 24-bit colour once
// (an odd multiplier is a bijection modulo 2^24), so candidates never run out.
constexpr int kHueCandidates = 4096;
Rgba Candidate(int k) {
    if (k >= kHueCandidates) {
        const uint32_t c = (uint32_t(k - kHueCandidates) * 0x9E3779u) & 0xFFFFFFu;
        return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255};
    }
    const double h = std::fmod(k * 0.618033988749895, 1.0) * 6.0;
    const double s = k % 2 ? 0.55 : 0.85;
    const double v = (k / 2) % 3 == 0 ? 0.95 : (k / 2) % 3 == 1 ? 0.75 : 0.55;
    const int sector = int(h) % 6;
    const double f = h - std::floor(h);
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (sector) {
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    case 5:
        r = v, g = p, b = q;
        break;
    default:
        break;
    }
    auto byte = [](double c) { return uint8_t(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
    return {byte(r), byte(g), byte(b), 255};
}

int Distance2(const Rgba& a, const Rgba& b) {
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

} // namespace

SurfaceIslands FindIslands(const Surface& surface) {
    SurfaceIslands result;
    const size_t vertices = surface.u.size(), triangles = surface.triangles.size();
    result.islandOf.assign(triangles, -1);
    const std::vector<uint32_t> point = LayoutPoints(surface);
    // Every edge as (its two points, smaller first; the triangle and corner).
    struct Side {
        uint64_t key;
        uint32_t place; // triangle * 3 + corner
    };
    std::vector<Side> sides;
    sides.reserve(triangles * 3);
    std::vector<bool> valid(triangles, false);
    for (size_t k = 0; k < triangles; ++k) {
        const Triangle t = surface.triangles[k];
        const int32_t c[3] = {t.a, t.b, t.c};
        if (std::any_of(c, c + 3, [&](int32_t i) { return i < 0 || size_t(i) >= vertices; }))
            continue;
        valid[k] = true;
        for (int e = 0; e < 3; ++e) {
            uint64_t p = point[size_t(c[e])], q = point[size_t(c[(e + 1) % 3])];
            if (q < p)
                std::swap(p, q);
            sides.push_back({p << 32 | q, uint32_t(k * 3 + size_t(e))});
        }
    }
    std::sort(sides.begin(), sides.end(), [](const Side& a, const Side& b) {
        return a.key != b.key ? a.key < b.key : a.place < b.place;
    });
    std::vector<int> parent(triangles);
    std::iota(parent.begin(), parent.end(), 0);
    for (size_t i = 0; i < sides.size();) {
        size_t j = i + 1;
        while (j < sides.size() && sides[j].key == sides[i].key)
            ++j;
        const bool point = (sides[i].key >> 32) == (sides[i].key & 0xFFFFFFFFu);
        if (j - i == 1 && !point)
            result.borders.push_back({int(sides[i].place / 3), int(sides[i].place % 3)});
        for (size_t k = i + 1; k < j; ++k) {
            const int a = Root(parent, int(sides[i].place / 3)),
                      b = Root(parent, int(sides[k].place / 3));
            if (a != b)
                parent[size_t(std::max(a, b))] = std::min(a, b);
        }
        i = j;
    }
    // Islands numbered in the order of their first face.
    std::vector<int> number(triangles, -1);
    for (size_t k = 0; k < triangles; ++k) {
        if (!valid[k])
            continue;
        const int root = Root(parent, int(k));
        if (number[size_t(root)] < 0)
            number[size_t(root)] = result.count++;
        result.islandOf[k] = number[size_t(root)];
    }
    std::sort(result.borders.begin(), result.borders.end(),
              [](const TriangleEdge& a, const TriangleEdge& b) {
                  return std::tie(a.triangle, a.corner) < std::tie(b.triangle, b.corner);
              });
    return result;
}

std::vector<int32_t> IslandLabels(const std::vector<const Surface*>& records,
                                  const std::vector<SurfaceIslands>& islands, WrapMode wrap,
                                  const LayoutMapping& m, int width, int height) {
    std::vector<int32_t> label(size_t(width) * size_t(height), -1);
    std::vector<int> first(records.size(), 0);
    for (size_t s = 1; s < records.size(); ++s)
        first[s] = first[s - 1] + islands[s - 1].count;
    // Band by band, so that the rows being painted stay in the cache: every
    // face of a full model covers the whole template, and painting it all at
    // once waits on memory.
    const int bandRows = std::max(1, (1 << 20) / (4 * std::max(1, width)));
    for (int band = 0; band < height; band += bandRows) {
        const int end = std::min(height, band + bandRows);
        ForEachPlacedTriangle(records, wrap, [&](const PlacedTriangle& t) {
            const int island = islands[size_t(t.surface)].islandOf[size_t(t.triangle)];
            if (island < 0)
                return;
            double x[3], y[3];
            for (int k = 0; k < 3; ++k) {
                x[k] = m.scaleX * t.u[k] + m.originX;
                y[k] = m.scaleY * t.v[k] + m.originY;
            }
            // Past the band by more than a row: no centre of it inside.
            if (std::max({y[0], y[1], y[2]}) < band - 1 || std::min({y[0], y[1], y[2]}) > end + 1)
                return;
            FillCovered(x, y, width, band, end, label.data(), first[size_t(t.surface)] + island);
        });
    }
    return label;
}

std::vector<Rgba> IslandColours(const std::vector<int32_t>& label, int width, int height, int total,
                                const std::optional<Rgba>& background) {
    // Which islands touch: pixels side by side that show different islands.
    std::vector<std::pair<int, int>> pairs;
    auto meet = [&](int32_t a, int32_t b) {
        if (a == b || a < 0 || b < 0)
            return;
        const std::pair<int, int> pair{std::min(a, b), std::max(a, b)};
        if (pairs.empty() || pairs.back() != pair) // runs along a border repeat
            pairs.push_back(pair);
    };
    for (int y = 0; y < height; ++y) {
        const int32_t* row = label.data() + size_t(y) * size_t(width);
        for (int x = 0; x + 1 < width; ++x)
            meet(row[x], row[x + 1]);
        if (y + 1 < height)
            for (int x = 0; x < width; ++x)
                meet(row[x], row[x + size_t(width)]);
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    std::vector<std::vector<int>> touching(static_cast<size_t>(total));
    for (const auto& [a, b] : pairs) {
        touching[size_t(a)].push_back(b);
        touching[size_t(b)].push_back(a);
    }
    // Each island takes the first unused candidate far enough from the
    // background and from the colours its neighbours already have; failing
    // that within a while, the farthest of those it tried.
    constexpr int kFar2 = 110 * 110, kTries = 96;
    std::vector<Rgba> colour(static_cast<size_t>(total));
    std::set<uint32_t> used;
    auto code = [](const Rgba& c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; };
    int next = 0;
    // More islands than colours (a file made to be so): repeats cannot be helped.
    if (total >= (1 << 23)) {
        for (int i = 0; i < total; ++i)
            colour[size_t(i)] = Candidate(kHueCandidates + i);
        total = 0;
    }
    for (int i = 0; i < total; ++i) {
        int best = -1, bestDistance = -1;
        for (int k = next, tried = 0; tried < kTries || best < 0; ++k) {
            const Rgba c = Candidate(k);
            if (used.count(code(c)) || (background && code(c) == code(*background)))
                continue;
            ++tried;
            int nearest = background && background->a > 0 ? Distance2(c, *background) : 1 << 30;
            for (const int n : touching[size_t(i)])
                if (n < i)
                    nearest = std::min(nearest, Distance2(c, colour[size_t(n)]));
            if (nearest > bestDistance) {
                best = k;
                bestDistance = nearest;
            }
            if (nearest >= kFar2)
                break;
        }
        colour[size_t(i)] = Candidate(best);
        used.insert(code(colour[size_t(i)]));
        while (used.count(code(Candidate(next))))
            ++next;
    }
    return colour;
}
