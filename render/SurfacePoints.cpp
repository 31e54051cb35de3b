#include "render/SurfacePoints.h"

#include <algorithm>
#include <array>

namespace {

// Numbers the vertices so that equal keys share a number, in the keys'
// order. The keys are sorted beside their vertex: sorting indices that look
// their keys up jumps all over a million-vertex surface.
template <typename Key> std::vector<uint32_t> Number(std::vector<std::pair<Key, uint32_t>> keyed) {
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<uint32_t> number(keyed.size(), 0);
    uint32_t n = 0;
    for (size_t i = 1; i < keyed.size(); ++i) {
        n += keyed[i - 1].first == keyed[i].first ? 0 : 1;
        number[keyed[i].second] = n;
    }
    return number;
}

} // namespace

std::vector<uint32_t> LayoutPoints(const Surface& surface) {
    // Coordinates are finite (the reader makes them so): the order is strict.
    std::vector<std::pair<std::array<double, 2>, uint32_t>> keyed(surface.u.size());
    for (size_t i = 0; i < keyed.size(); ++i)
        keyed[i] = {{surface.u[i], surface.v[i]}, uint32_t(i)};
    return Number(std::move(keyed));
}

std::vector<uint32_t> ModelPoints(const Surface& surface) {
    const size_t vertices = surface.u.size();
    if (surface.positions.size() < vertices)
        return {};
    // Positions are finite (the readers make them so): the order is strict.
    std::vector<std::pair<Point3, uint32_t>> keyed(vertices);
    for (size_t i = 0; i < vertices; ++i)
        keyed[i] = {surface.positions[i], uint32_t(i)};
    return Number(std::move(keyed));
}
