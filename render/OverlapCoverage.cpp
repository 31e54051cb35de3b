#include "render/OverlapCoverage.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Points are snapped to 1/256 of a pixel, so the edge tests are exact
// integer arithmetic and a shared edge is decided the same way for both
// faces beside it.
constexpr double kSubpixels = 256.0;
constexpr int64_t kLimit = int64_t(1) << 40;

int64_t Snap(double value) {
    const double scaled = std::nearbyint(value * kSubpixels);
    if (!(scaled > -double(kLimit)))
        return -kLimit;
    return scaled > double(kLimit) ? kLimit : int64_t(scaled);
}

// Calls visit(x, y) for every pixel whose centre lies inside the triangle;
// returns early when visit returns true.
template <typename Visit>
bool ScanTriangle(const double xs[3], const double ys[3], int width, int height, Visit&& visit) {
    int64_t x[3], y[3];
    for (int k = 0; k < 3; ++k) {
        x[k] = Snap(xs[k]);
        y[k] = Snap(ys[k]);
    }
    int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (area == 0)
        return false;
    if (area < 0) { // make the corners counter-clockwise in these axes
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
    }
    const int64_t minX = std::min({x[0], x[1], x[2]}), maxX = std::max({x[0], x[1], x[2]});
    const int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
    // Pixel centres (px + 0.5) inside the box, confined to the template.
    const int64_t half = int64_t(kSubpixels) / 2, unit = int64_t(kSubpixels);
    const int64_t firstX = std::max<int64_t>(0, (minX - half + unit - 1) / unit - 1);
    const int64_t lastX = std::min<int64_t>(width - 1, (maxX - half) / unit + 1);
    const int64_t firstY = std::max<int64_t>(0, (minY - half + unit - 1) / unit - 1);
    const int64_t lastY = std::min<int64_t>(height - 1, (maxY - half) / unit + 1);
    if (firstX > lastX || firstY > lastY)
        return false;
    // Edge k runs from corner k to corner k+1; inside is where all three
    // edge functions are positive, or zero on a top or left edge.
    int64_t bias[3];
    for (int k = 0; k < 3; ++k) {
        const int n = (k + 1) % 3;
        const int64_t dx = x[n] - x[k], dy = y[n] - y[k];
        const bool topOrLeft = (dy == 0 && dx < 0) || dy > 0;
        bias[k] = topOrLeft ? 0 : -1;
    }
    for (int64_t py = firstY; py <= lastY; ++py) {
        const int64_t cy = py * unit + half;
        for (int64_t px = firstX; px <= lastX; ++px) {
            const int64_t cx = px * unit + half;
            bool inside = true;
            for (int k = 0; k < 3 && inside; ++k) {
                const int n = (k + 1) % 3;
                const int64_t e = (x[n] - x[k]) * (cy - y[k]) - (y[n] - y[k]) * (cx - x[k]);
                inside = e + bias[k] >= 0;
            }
            if (inside && visit(int(px), int(py)))
                return true;
        }
    }
    return false;
}

} // namespace

void ForEachCoveredPixel(const double x[3], const double y[3], int width, int height,
                         const std::function<void(int, int)>& visit) {
    ScanTriangle(x, y, width, height, [&](int px, int py) {
        visit(px, py);
        return false;
    });
}

OverlapCoverage CountCoverage(const std::vector<const SurfaceRecord*>& records, WrapMode wrap,
                              const LayoutMapping& m, int width, int height) {
    OverlapCoverage coverage;
    coverage.width = width;
    coverage.height = height;
    coverage.count.assign(size_t(width) * size_t(height), 0);
    uint8_t* count = coverage.count.data();
    ForEachPlacedTriangle(records, wrap, [&](const PlacedTriangle& t) {
        double x[3], y[3];
        for (int k = 0; k < 3; ++k) {
            x[k] = m.scaleX * t.u[k] + m.originX;
            y[k] = m.scaleY * t.v[k] + m.originY;
        }
        ScanTriangle(x, y, width, height, [&](int px, int py) {
            uint8_t& c = count[size_t(py) * size_t(width) + size_t(px)];
            c = c < 2 ? uint8_t(c + 1) : c;
            return false;
        });
    });
    return coverage;
}

bool TouchesOverlap(const OverlapCoverage& coverage, const double x[3], const double y[3]) {
    return ScanTriangle(x, y, coverage.width, coverage.height,
                        [&](int px, int py) { return coverage.Overlapping(px, py); });
}
