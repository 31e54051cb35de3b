#include "model/QuantizeTexCoord.h"

#include <cmath>

// Going through decimal text would depend on the locale (a decimal comma) and
// on the C library's tie rule (glibc rounds ties to even), and costs a few
// hundred nanoseconds a value. The arithmetic below gives the same digits:
// a float has 24 significant bits and 10^6 needs 20, so a * 10^6 is exact in a
// double; its integer and fractional parts are then exact too, so the tie test
// is exact; and N / 10^6 with both operands exact is correctly rounded, which
// is what a correct string-to-double conversion of "N/10^6" yields.
double QuantizeTexCoord(float value) {
    const double a = std::fabs(static_cast<double>(value));
    if (!std::isfinite(a))
        return 0.0;
    const double scaled = a * 1e6;
    double whole = std::floor(scaled);
    if (scaled - whole >= 0.5)
        whole += 1.0;
    if (whole == 0.0)
        return 0.0;
    return std::signbit(value) ? -(whole / 1e6) : whole / 1e6;
}
