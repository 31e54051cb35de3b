#include "render/LineMask.h"

#include <algorithm>
#include <cmath>

namespace {

// Scans the capsule along its major axis: `a` is that axis, `b` the other.
// cover(a, b, coverage) receives each pixel with its coverage.
template <typename Cover>
void ScanCapsule(double a0, double b0, double a1, double b1, int sizeA, int sizeB, double r,
                 bool antialias, Cover&& cover) {
    const double reach = antialias ? r + 0.5 : std::max(r, 0.5);
    const double inner = antialias ? std::max(r - 0.5, 0.0) : reach; // full coverage within
    const double da = a1 - a0, db = b1 - b0, length2 = da * da + db * db;
    const double inverse = length2 > 0 ? 1.0 / length2 : 0.0;
    const double inverseLength = length2 > 0 ? 1.0 / std::sqrt(length2) : 0.0;
    const double reach2 = reach * reach, inner2 = inner * inner;
    const int firstA = std::max(0, int(std::floor(std::min(a0, a1) - reach - 0.5)));
    const int lastA = std::min(sizeA - 1, int(std::ceil(std::max(a0, a1) + reach - 0.5)));
    // Along the major axis the line moves at most one unit of b per unit of a.
    const double slope = da != 0 ? db / da : 0.0;
    const double halfBand = reach * std::sqrt(1 + slope * slope);
    for (int pa = firstA; pa <= lastA; ++pa) {
        const double ca = pa + 0.5;
        const double along = std::clamp(ca, std::min(a0, a1), std::max(a0, a1));
        const double centre = b0 + (along - a0) * slope;
        const int firstB = std::max(0, int(std::floor(centre - halfBand - 1.0)));
        const int lastB = std::min(sizeB - 1, int(std::ceil(centre + halfBand + 0.5)));
        // Along this column the projection t and the distance to the line's
        // axis change linearly with b: step them instead of recomputing.
        const double cb0 = firstB + 0.5;
        // (A point has no axis: every pixel is measured from the point.)
        double t = length2 > 0 ? ((ca - a0) * da + (cb0 - b0) * db) * inverse : -1.0;
        const double tStep = db * inverse;
        double across = ((ca - a0) * db - (cb0 - b0) * da) * inverseLength;
        const double acrossStep = -da * inverseLength;
        for (int pb = firstB; pb <= lastB; ++pb, t += tStep, across += acrossStep) {
            double d2;
            if (t >= 0 && t <= 1) {
                d2 = across * across;
            } else {
                const double end = t < 0 ? 0.0 : 1.0;
                const double ea = ca - (a0 + end * da), eb = (pb + 0.5) - (b0 + end * db);
                d2 = ea * ea + eb * eb;
            }
            if (d2 > reach2 || (antialias && d2 == reach2))
                continue;
            if (d2 <= inner2) {
                cover(pa, pb, 255);
                continue;
            }
            const double coverage = std::clamp(r + 0.5 - std::sqrt(d2), 0.0, 1.0);
            // coverage is in [0, 1]: adding a half and truncating rounds it.
            cover(pa, pb, int(coverage * 255.0 + 0.5)); // NOLINT(bugprone-incorrect-roundings)
        }
    }
}

} // namespace

void AddSegment(const LineMask& mask, double x0, double y0, double x1, double y1, double lineWidth,
                bool antialias) {
    const double limit = 1e7; // far beyond any template; such points are not drawn
    if (!(std::abs(x0) < limit && std::abs(y0) < limit && std::abs(x1) < limit &&
          std::abs(y1) < limit))
        return;
    const double r = lineWidth / 2;
    auto put = [&mask](int x, int y, int coverage) {
        uint8_t& pixel = mask.data[size_t(y) * size_t(mask.stride) + size_t(x)];
        if (coverage > pixel)
            pixel = uint8_t(coverage);
    };
    if (std::abs(x1 - x0) >= std::abs(y1 - y0))
        ScanCapsule(x0, y0, x1, y1, mask.width, mask.height, r, antialias,
                    [&](int a, int b, int c) { put(a, b, c); });
    else
        ScanCapsule(y0, x0, y1, x1, mask.height, mask.width, r, antialias,
                    [&](int a, int b, int c) { put(b, a, c); });
}
