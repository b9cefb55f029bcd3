// Rounding to whole numbers without the library calls, for the cube
// classifications, which round on every layered hop.
#pragma once

// The whole number nearest x (ties to even), for |x| below 2^51: adding and
// taking away 1.5 * 2^52 leaves no fraction digits.
inline double nearest_whole(double x) {
    constexpr double round_shift = 6755399441055744.0;
    return (x + round_shift) - round_shift;
}

// std::ceil for |x| below 2^51, without the library call (the sign of a
// zero may differ, which no caller looks at).
inline double whole_at_or_above(double x) {
    const double r = nearest_whole(x);
    return r + double(r < x);
}

// std::round (ties away from zero) for |x| below 2^51, without the library
// call: x less its nearest whole number is exact, so a tie shows as +-0.5.
inline double round_half_away(double x) {
    const double r = nearest_whole(x);
    const double rest = x - r;
    if (x >= 0.0) return rest == 0.5 ? r + 1.0 : r;
    return rest == -0.5 ? r - 1.0 : r;
}
