#pragma once
// Rounding of engine measures to device pixels.

#include <cmath>

// Nearest integer, halves to even.  Values beyond what any device can show
// (or not a number, from a damaged stream) are held to +-2^24, so the
// conversion to int is always defined.
inline int NearestPixel(double v) {
    constexpr double kLimit = 16777216.0;
    if (std::isnan(v)) return 0;
    if (v > kLimit) v = kLimit;
    if (v < -kLimit) v = -kLimit;
    return static_cast<int>(std::nearbyint(v));
}
