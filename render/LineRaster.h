#pragma once
// The pixels of a 1-pixel line that covers its start point and leaves out its
// end point, confined to a width x height area. Work is bounded by the area,
// not by the line's length, so far-off points cost nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

// Every point the drawings produce lies within this range, so differences of
// two coordinates fit in 32 bits and products in 64.
inline constexpr int kCoordinateLimit = 1'000'000'000;

// A scaled coordinate, truncated toward zero, and kept within the range above.
inline int TruncateCoordinate(double value) {
    if (!(value > -kCoordinateLimit)) // also catches NaN
        return value != value ? 0 : -kCoordinateLimit;
    if (value > kCoordinateLimit)
        return kCoordinateLimit;
    return static_cast<int>(value);
}

// Calls plot(x, y) for each pixel of the line from (x0, y0) to (x1, y1) that
// lies in [0, width) x [0, height). Along the major axis there is one pixel per
// step; the minor coordinate is the exact ratio rounded half up.
template <typename Plot>
void ForEachLinePixel(int x0, int y0, int x1, int y1, int width, int height, Plot&& plot) {
    const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    const int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    const bool xMajor = adx >= ady;
    const int64_t steps = xMajor ? adx : ady;
    if (steps == 0)
        return;
    const int64_t major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
    const int64_t majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int64_t minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const int64_t minorDelta = xMajor ? ady : adx;
    const int64_t majorSize = xMajor ? width : height, minorSize = xMajor ? height : width;

    // Steps whose major coordinate lies inside the area.
    int64_t first = majorSign > 0 ? -major0 : major0 - (majorSize - 1);
    int64_t last = majorSign > 0 ? majorSize - 1 - major0 : major0;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, steps - 1);
    if (first > last)
        return;
    // The minor offset of step i is floor((2 i m + s) / 2s): computed once with
    // a division, then carried forward exactly, at most one unit per step.
    const int64_t twiceSteps = 2 * steps, twiceDelta = 2 * minorDelta;
    // first and minorDelta are at most 2e9 each: 2 * 2e9 * 2e9 < 2^63.
    int64_t offset = (first * twiceDelta + steps) / twiceSteps;
    int64_t remainder = (first * twiceDelta + steps) % twiceSteps;
    for (int64_t i = first; i <= last; ++i) {
        const int64_t minor = minor0 + minorSign * offset;
        if (minor >= 0 && minor < minorSize) {
            const int64_t major = major0 + majorSign * i;
            if (xMajor)
                plot(static_cast<int>(major), static_cast<int>(minor));
            else
                plot(static_cast<int>(minor), static_cast<int>(major));
        }
        remainder += twiceDelta;
        if (remainder >= twiceSteps) {
            remainder -= twiceSteps;
            ++offset;
        }
    }
}
