#include "scene/Coarse.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

struct Grid {
    std::array<float, 3> low{}, step{};
    uint32_t cells = 1; // a side
};

Grid GridOver(std::span<const float> positions, size_t stride, size_t vertices, uint32_t cells) {
    Grid grid;
    grid.cells = cells;
    std::array<float, 3> high{};
    for (int axis = 0; axis < 3; ++axis) {
        grid.low[size_t(axis)] = std::numeric_limits<float>::max();
        high[size_t(axis)] = std::numeric_limits<float>::lowest();
    }
    for (size_t v = 0; v < vertices; ++v)
        for (size_t axis = 0; axis < 3; ++axis) {
            const float x = positions[v * stride + axis];
            if (!std::isfinite(x))
                continue;
            grid.low[axis] = std::min(grid.low[axis], x);
            high[axis] = std::max(high[axis], x);
        }
    for (size_t axis = 0; axis < 3; ++axis) {
        const float extent = high[axis] - grid.low[axis];
        grid.step[axis] = extent > 0 && std::isfinite(extent) ? extent / float(cells) : 1.0f;
    }
    return grid;
}

uint64_t CellOf(const Grid& grid, const float* at) {
    uint64_t key = 0;
    for (size_t axis = 0; axis < 3; ++axis) {
        const float x = (at[axis] - grid.low[axis]) / grid.step[axis];
        const uint32_t i =
            std::isfinite(x) ? uint32_t(std::clamp(x, 0.0f, float(grid.cells - 1))) : 0;
        key = key << 21 | i;
    }
    return key;
}

std::vector<uint32_t> Merged(std::span<const float> positions, size_t stride,
                             std::span<const uint32_t> triangles, uint32_t cells) {
    const size_t vertices = positions.size() / stride;
    const Grid grid = GridOver(positions, stride, vertices, cells);

    // Each vertex's cell, then the first vertex of each cell, by sorting.
    std::vector<std::pair<uint64_t, uint32_t>> keyed(vertices);
    for (size_t v = 0; v < vertices; ++v)
        keyed[v] = {CellOf(grid, &positions[v * stride]), uint32_t(v)};
    std::sort(keyed.begin(), keyed.end());
    std::vector<uint32_t> first(vertices), dense(vertices);
    uint32_t cell = 0;
    for (size_t k = 0; k < keyed.size(); ++k) {
        if (k > 0 && keyed[k].first != keyed[k - 1].first)
            ++cell;
        const uint32_t leader = k > 0 && keyed[k].first == keyed[k - 1].first
                                    ? first[keyed[k - 1].second]
                                    : keyed[k].second;
        first[keyed[k].second] = leader;
        dense[keyed[k].second] = cell;
    }

    // Triangles between three different cells, each such triple once.
    std::vector<std::pair<std::array<uint32_t, 3>, size_t>> kept;
    for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
        const uint32_t a = triangles[t], b = triangles[t + 1], c = triangles[t + 2];
        if (a >= vertices || b >= vertices || c >= vertices)
            continue;
        std::array<uint32_t, 3> cellsOf{dense[a], dense[b], dense[c]};
        if (cellsOf[0] == cellsOf[1] || cellsOf[1] == cellsOf[2] || cellsOf[0] == cellsOf[2])
            continue;
        std::sort(cellsOf.begin(), cellsOf.end());
        kept.push_back({cellsOf, t});
    }
    std::sort(kept.begin(), kept.end());
    std::vector<uint32_t> out;
    out.reserve(kept.size() * 3);
    for (size_t k = 0; k < kept.size(); ++k) {
        if (k > 0 && kept[k].first == kept[k - 1].first)
            continue;
        const size_t t = kept[k].second;
        // The original winding, so that faces still face the way they did.
        for (size_t i = 0; i < 3; ++i)
            out.push_back(first[triangles[t + i]]);
    }
    return out;
}

} // namespace

std::vector<uint32_t> CoarseTriangles(std::span<const float> positions, size_t stride,
                                      std::span<const uint32_t> triangles, size_t target) {
    if (stride < 3 || target == 0 || triangles.size() / 3 <= target)
        return {};
    // A sheet in a grid of n cells a side touches about n * n of them and
    // keeps about twice as many triangles; a closed or folded surface more.
    // Too many kept: a coarser grid, by the square root of the excess.
    double cells = std::sqrt(double(target) / 2.0);
    std::vector<uint32_t> out;
    for (int attempt = 0; attempt < 4; ++attempt) {
        out = Merged(positions, stride, triangles,
                     uint32_t(std::clamp(cells, 2.0, double(1u << 20))));
        const double kept = double(out.size()) / 3;
        if (kept <= 1.25 * double(target))
            break;
        cells *= std::sqrt(double(target) / kept);
    }
    return out;
}
