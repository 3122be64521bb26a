#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "common/angles.h"

namespace kodrix {
namespace {

struct NormalizeCase {
    double in;
    double out;
};

TEST(NormalizeDegrees, ReducesIntoOneTurn) {
    const NormalizeCase cases[] = {
        {0.0, 0.0},
        {359.5, 359.5},
        {360.0, 0.0},
        {361.5, 1.5},
        {720.0, 0.0},
        {-90.0, 270.0},
        {-360.0, 0.0},
        {-361.0, 359.0},
        {-720.25, 359.75},
        {1.0e6, 1.0e6 - 360.0 * 2777},
        // The largest magnitudes served by the 32-bit arithmetic.
        {2147483647.0, 2147483647.0 - 360.0 * 5965232},
        {-2147483647.0, -2147483647.0 + 360.0 * 5965232 + 360.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(normalize_degrees(c.in), c.out) << "x = " << c.in;
    }
}

TEST(NormalizeDegrees, TinyNegativeYieldsExactly360) {
    EXPECT_EQ(normalize_degrees(-1e-20), 360.0);
    EXPECT_EQ(normalize_degrees(-0.0), 0.0);  // -0 lies in [0, 360): returned unchanged
}

TEST(NormalizeDegrees, NonFiniteGivesNaN) {
    EXPECT_TRUE(std::isnan(normalize_degrees(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isnan(normalize_degrees(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(normalize_degrees(-std::numeric_limits<double>::infinity())));
}

TEST(NormalizeDegrees, BeyondThe32BitRangeStaysInOneTurn) {
    const double cases[] = {2147483648.0, -2147483648.0, 1e12 + 0.5, -1e12 - 0.5, 1e300, -1e300,
                            std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max()};
    for (double x : cases) {
        const double r = normalize_degrees(x);
        EXPECT_GE(r, 0.0) << x;
        EXPECT_LT(r, 360.0) << x;
    }
    // 2^31 = 5965232 turns and 128 degrees.
    EXPECT_EQ(normalize_degrees(2147483648.0), 128.0);
    EXPECT_EQ(normalize_degrees(-2147483648.0), 232.0);
    EXPECT_EQ(normalize_degrees(1e12 + 0.5), std::fmod(1e12, 360.0) + 0.5);
}

}  // namespace
}  // namespace kodrix
