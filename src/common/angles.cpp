#include "common/angles.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace kodrix {

namespace {
constexpr double kInverse360 = 0.002777777777777778;  // the double nearest 1/360
constexpr double kTwoTo31 = 2147483648.0;
}  // namespace

double normalize_degrees(double x) {
    if (x >= 0.0 && x < 360.0) return x;
    if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
    if (std::fabs(x) < kTwoTo31) {
        // Whole turns counted in 32-bit integers, as the instrument's computer does.
        const auto turns = static_cast<std::int32_t>(x * kInverse360);
        const std::int32_t whole = 360 * turns;
        const double r = x - static_cast<double>(whole);
        return r < 0.0 ? r + 360.0 : r;
    }
    // Beyond the 32-bit range: the exact remainder, kept inside [0, 360).
    double r = std::fmod(x, 360.0);
    if (r < 0.0) r += 360.0;
    return r >= 360.0 ? 0.0 : r;
}

}  // namespace kodrix
