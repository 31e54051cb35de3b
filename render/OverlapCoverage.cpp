#include "render/OverlapCoverage.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace {

// Points are snapped to 1/256 of a pixel, so the edge tests are exact
// integer arithmetic and a shared edge is decided the same way for both
// faces beside it.
constexpr double kSubpixels = 256.0;
constexpr int kSubpixelBits = 8;
// Points are kept within 2^21 pixels of the origin (256 times the largest
// template), so every product below fits in 62 bits. Only a point that far
// out moves, and what it draws inside the template barely changes.
constexpr int64_t kLimit = int64_t(1) << 29;

int64_t Snap(double value) {
    const double scaled = std::nearbyint(value * kSubpixels);
    if (!(scaled > -double(kLimit)))
        return -kLimit;
    return scaled > double(kLimit) ? kLimit : int64_t(scaled);
}

// Floor and ceiling of a / b for b > 0, exact for negative a.
int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
int64_t CeilDiv(int64_t a, int64_t b) {
    return -FloorDiv(-a, b);
}

// Calls span(y, x0, x1) for every row of pixels whose centres lie inside the
// triangle, x0..x1 inclusive; returns early when span returns true.
template <typename Span>
bool ScanTriangle(const double xs[3], const double ys[3], int width, int height, Span&& span,
                  int rowBegin = 0) {
    int64_t x[3], y[3];
    for (int k = 0; k < 3; ++k) {
        x[k] = Snap(xs[k]);
        y[k] = Snap(ys[k]);
    }
    const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (area == 0)
        return false;
    if (area < 0) { // make the corners counter-clockwise in these axes
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
    }
    const int64_t unit = int64_t(kSubpixels), half = unit / 2;
    const int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
    // Rows whose centre py * unit + half lies within [minY, maxY].
    const int64_t firstY = std::max<int64_t>(rowBegin, CeilDiv(minY - half, unit));
    const int64_t lastY = std::min<int64_t>(height - 1, FloorDiv(maxY - half, unit));
    // Edge k runs from corner k to corner k+1; a centre is inside where all
    // three edge functions are positive, or zero on a top or left edge:
    // e(cx, cy) = dx (cy - yk) - dy (cx - xk) + bias >= 0.
    int64_t dxs[3], dys[3], bias[3];
    for (int k = 0; k < 3; ++k) {
        const int n = (k + 1) % 3;
        dxs[k] = x[n] - x[k];
        dys[k] = y[n] - y[k];
        const bool topOrLeft = (dys[k] == 0 && dxs[k] < 0) || dys[k] > 0;
        bias[k] = topOrLeft ? 0 : -1;
    }
    // Each edge bounds the row's centres through floor(c / |dy|), with c
    // growing by dx * unit from row to row: kept exactly as a quotient and a
    // remainder, so no row needs a division.
    struct Bound {
        int64_t q, r, stepQ, stepR, divisor;
        int kind; // 0: no bound from x (horizontal edge), 1: upper, -1: lower
        bool blocks;
    } bounds[3] = {};
    const int64_t cy0 = firstY * unit + half;
    for (int k = 0; k < 3; ++k) {
        Bound& b = bounds[k];
        const int64_t c = dxs[k] * (cy0 - y[k]) + dys[k] * x[k] + bias[k];
        b.kind = dys[k] == 0 ? 0 : dys[k] > 0 ? 1 : -1;
        b.blocks = dys[k] == 0 && c < 0; // a horizontal edge: the rows are in or out
        if (b.kind == 0)
            continue;
        b.divisor = dys[k] > 0 ? dys[k] : -dys[k];
        // For a lower bound the centre must satisfy cx >= -c / |dy|.
        const int64_t numerator = b.kind > 0 ? c : -c;
        const int64_t step = (b.kind > 0 ? 1 : -1) * dxs[k] * unit;
        b.q = FloorDiv(numerator, b.divisor);
        b.r = numerator - b.q * b.divisor;
        b.stepQ = FloorDiv(step, b.divisor);
        b.stepR = step - b.stepQ * b.divisor;
    }
    for (int64_t py = firstY; py <= lastY; ++py) {
        // Centres cx = px * unit + half, px in [lo, hi].
        int64_t lo = 0, hi = width - 1;
        for (Bound& b : bounds) {
            if (b.kind > 0) // cx <= floor(c / dy)
                hi = std::min(hi, (b.q - half) >> kSubpixelBits);
            else if (b.kind < 0) // cx >= ceil(-c / |dy|), q and r being those of -c
                lo = std::max(lo, -((half - (b.r ? b.q + 1 : b.q)) >> kSubpixelBits));
            else if (b.blocks)
                hi = lo - 1;
            if (b.kind != 0) {
                b.q += b.stepQ;
                b.r += b.stepR;
                if (b.r >= b.divisor) {
                    b.r -= b.divisor;
                    ++b.q;
                }
            }
        }
        if (lo <= hi && span(int(py), int(lo), int(hi)))
            return true;
    }
    return false;
}

} // namespace

void FillCovered(const double x[3], const double y[3], int width, int rowBegin, int rowEnd,
                 int32_t* grid, int32_t value) {
    ScanTriangle(
        x, y, width, rowEnd,
        [&](int py, int x0, int x1) {
            int32_t* row = grid + size_t(py) * size_t(width);
            for (int px = x0; px <= x1; ++px)
                row[px] = value;
            return false;
        },
        rowBegin);
}

OverlapCoverage CountCoverage(const std::vector<const Surface*>& records,
                              const std::vector<int>& sampled, WrapMode wrap,
                              const LayoutMapping& m, int width, int height) {
    OverlapCoverage coverage;
    coverage.width = width;
    coverage.height = height;
    // A plane per distinct file among the records drawn, numbered in order of
    // first use; one file (the common case) keeps the single plane.
    std::map<int, uint32_t> files;
    coverage.planeOf.resize(records.size());
    for (size_t s = 0; s < records.size(); ++s)
        coverage.planeOf[s] =
            files.try_emplace(SampledBy(sampled, s), uint32_t(files.size())).first->second;
    coverage.planes = std::max<size_t>(files.size(), 1);
    if (coverage.planes == 1)
        coverage.planeOf.clear();
    const size_t plane = size_t(width) * size_t(height);
    coverage.count.assign(plane * coverage.planes, 0);
    ForEachPlacedTriangle(records, wrap, [&](const PlacedTriangle& t) {
        uint8_t* count = coverage.count.data() + coverage.PlaneOf(size_t(t.surface)) * plane;
        double x[3], y[3];
        for (int k = 0; k < 3; ++k) {
            x[k] = m.scaleX * t.u[k] + m.originX;
            y[k] = m.scaleY * t.v[k] + m.originY;
        }
        ScanTriangle(x, y, width, height, [&](int py, int x0, int x1) {
            uint8_t* row = count + size_t(py) * size_t(width);
            // Branch-free so that the compiler can do a row 16 or 32 at a time.
            for (int px = x0; px <= x1; ++px)
                row[px] = uint8_t(row[px] + (row[px] < 2));
            return false;
        });
    });
    return coverage;
}

OverlapCoverage CountCoverage(const std::vector<const Surface*>& records, WrapMode wrap,
                              const LayoutMapping& m, int width, int height) {
    return CountCoverage(records, {}, wrap, m, width, height);
}

bool TouchesOverlap(const OverlapCoverage& coverage, size_t record, const double x[3],
                    const double y[3]) {
    const uint8_t* count = coverage.count.data() + coverage.PlaneOf(record) *
                                                       size_t(coverage.width) *
                                                       size_t(coverage.height);
    return ScanTriangle(x, y, coverage.width, coverage.height, [&](int py, int x0, int x1) {
        const uint8_t* row = count + size_t(py) * size_t(coverage.width);
        for (int px = x0; px <= x1; ++px)
            if (row[px] >= 2)
                return true;
        return false;
    });
}
