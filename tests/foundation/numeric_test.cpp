#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "common/numeric.h"

namespace kodrix {
namespace {

TEST(TruncateToInt32, TruncatesTowardZeroAndSaturates) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const struct {
        double in;
        std::int32_t out;
    } cases[] = {
        {0.0, 0},        {-0.0, 0},          {0.99, 0},         {-0.99, 0},
        {1.0, 1},        {1.9, 1},           {2.7, 2},          {-1.0, -1},
        {-1.5, -1},      {2147483647.0, kMax}, {2147483647.9, kMax}, {2147483648.0, kMax},
        {1e300, kMax},   {kInf, kMax},       {-2147483648.0, kMin}, {-2147483648.9, kMin},
        {-2147483649.0, kMin}, {-1e300, kMin}, {-kInf, kMin},   {kNaN, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(truncate_to_int32(c.in), c.out) << c.in;
}

TEST(SwitchIsOn, ZeroAfterTruncationIsOff) {
    EXPECT_FALSE(switch_is_on(0.9));
    EXPECT_FALSE(switch_is_on(-0.5));
    EXPECT_FALSE(switch_is_on(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(switch_is_on(-1.0));
    EXPECT_TRUE(switch_is_on(1.5));
}

}  // namespace
}  // namespace kodrix
