#pragma once
// A texture coordinate rounded to six decimals, halves away from zero,
// exactly as writing it with six decimals and reading the text back would
// give. The sign is kept: the game repeats the texture, so u = -0.3 is
// sampled at 0.7, never at 0.3. Not-finite values and -0 become 0.
//
// Going through decimal text would depend on the locale (a decimal comma) and
// on the C library's tie rule (glibc rounds ties to even), and costs a few
// hundred nanoseconds a value. The arithmetic below gives the same digits:
// a float has 24 significant bits and 10^6 needs 20, so |f| * 10^6 is exact
// in a double; its whole and fractional parts are then exact too, so the tie
// test is exact; and N / 10^6 with both operands exact is correctly rounded,
// which is what a correct string-to-double conversion of "N/10^6" yields.
//
// Inline, and with no branch on the value's digits: a model holds a million
// coordinates with no pattern, and mispredicted branches were most of its
// load time.
#include <cmath>

inline double QuantizeTexCoord(float value) {
    const double a = std::fabs(static_cast<double>(value));
    if (!(a <= 1.7976931348623157e308)) // not finite
        return 0.0;
    const double scaled = a * 1e6;
    // Beyond 2^53 every double is whole; below, truncation is the floor (a is
    // not negative).
    const bool small = scaled < 9007199254740992.0;
    const double truncated = double(static_cast<long long>(small ? scaled : 0.0));
    const double whole = small ? truncated + double(scaled - truncated >= 0.5) : scaled;
    // -0 and 0 both give 0; the sign is kept otherwise.
    return std::copysign(whole / 1e6, whole == 0.0 ? 1.0f : value);
}
