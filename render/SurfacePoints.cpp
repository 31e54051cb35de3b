#include "render/SurfacePoints.h"

#include <algorithm>
#include <numeric>

namespace {

// Numbers the vertices so that equal keys share a number.
template <typename Less, typename Equal>
std::vector<uint32_t> Number(size_t count, Less&& less, Equal&& equal) {
    std::vector<uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), less);
    std::vector<uint32_t> number(count, 0);
    for (size_t i = 1; i < count; ++i)
        number[order[i]] = number[order[i - 1]] + (equal(order[i - 1], order[i]) ? 0 : 1);
    return number;
}

} // namespace

std::vector<uint32_t> LayoutPoints(const Surface& surface) {
    // Coordinates are finite (the reader makes them so): the order is strict.
    return Number(
        surface.u.size(),
        [&](uint32_t a, uint32_t b) {
            const double ua = surface.u[a], ub = surface.u[b];
            return ua != ub ? ua < ub : surface.v[a] < surface.v[b];
        },
        [&](uint32_t a, uint32_t b) {
            return surface.u[a] == surface.u[b] && surface.v[a] == surface.v[b];
        });
}

std::vector<uint32_t> ModelPoints(const Surface& surface) {
    const size_t vertices = surface.u.size();
    if (surface.positions.size() < vertices)
        return {};
    // Positions are finite (the readers make them so): the order is strict.
    const std::vector<Point3>& at = surface.positions;
    return Number(
        vertices, [&](uint32_t a, uint32_t b) { return at[a] < at[b]; },
        [&](uint32_t a, uint32_t b) { return at[a] == at[b]; });
}
