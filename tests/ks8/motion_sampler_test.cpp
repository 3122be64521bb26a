#include "ks8/motion_sampler.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ks8_test_support.h"
#include "support/host_fixture.h"

namespace kodrix {
namespace {

using namespace kodrix::testing;
using Calls = std::vector<std::string>;

class MotionSamplerTest : public HostTest {
protected:
    void set_position(double lon_deg, double lat_deg) {
        host.set_token(kLongitudeToken, longitude_token(lon_deg));
        host.set_token(kLatitudeToken, latitude_token(lat_deg));
    }
};

TEST_F(MotionSamplerTest, ConstructionBindsAndRefreshesEachTokenInTurn) {
    host.record_calls(true);
    MotionSampler sampler;
    EXPECT_EQ(host.calls(), (Calls{"initialize_var(72)", "lookup_var(72)", "initialize_var(71)",
                                   "lookup_var(71)", "initialize_var(86)", "lookup_var(86)",
                                   "initialize_var(82)", "lookup_var(82)", "initialize_var(604)",
                                   "lookup_var(604)"}));
    host.clear_calls();
    sampler.update();
    EXPECT_EQ(host.calls(), (Calls{"lookup_var(72)", "lookup_var(71)", "lookup_var(86)",
                                   "lookup_var(82)", "lookup_var(604)"}));
}

TEST_F(MotionSamplerTest, ScalesHostPositionToDegrees) {
    struct Case {
        double longitude_raw, latitude_raw, longitude_deg, latitude_deg;
    };
    const Case cases[] = {
        {140737488355328.0, 10001750.0, 180.0, 90.0},     // 2^47, a quarter meridian
        {-140737488355328.0, -10001750.0, -180.0, -90.0},
        {70368744177664.0, 5000875.0, 90.0, 45.0},        // 2^46, half of it
        {0.0, 0.0, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        host.set_token(kLongitudeToken, c.longitude_raw);
        host.set_token(kLatitudeToken, c.latitude_raw);
        MotionSampler sampler;
        EXPECT_EQ(sampler.longitude(), c.longitude_deg) << c.longitude_raw;
        EXPECT_DOUBLE_EQ(sampler.latitude(), c.latitude_deg) << c.latitude_raw;
    }
    // The quarter meridian comes out as exactly 90 degrees, both ways.
    host.set_token(kLatitudeToken, 10001750.0);
    EXPECT_EQ(MotionSampler().latitude(), 90.0);
    host.set_token(kLatitudeToken, -10001750.0);
    EXPECT_EQ(MotionSampler().latitude(), -90.0);
}

TEST_F(MotionSamplerTest, PassesHeadingAndVariationThrough) {
    host.set_token(kHeadingToken, 271.5);
    host.set_token(kVariationToken, -12.25);
    MotionSampler sampler;
    EXPECT_EQ(sampler.heading(), 271.5);
    EXPECT_EQ(sampler.variation(), -12.25);
    host.set_token(kHeadingToken, 3.0);
    host.set_token(kVariationToken, 7.0);
    EXPECT_EQ(sampler.heading(), 271.5);  // only a sample changes what it holds
    sampler.update();
    EXPECT_EQ(sampler.heading(), 3.0);
    EXPECT_EQ(sampler.variation(), 7.0);
}

TEST_F(MotionSamplerTest, DeltasSpanOneSampleInterval) {
    set_position(10.0, 50.0);
    host.set_token(kTimeToken604, 100.0);
    MotionSampler sampler;

    // The first update measures from the construction sample.
    set_position(10.5, 50.0);
    host.set_token(kTimeToken604, 100.25);
    sampler.update();
    EXPECT_NEAR(sampler.delta_longitude(), 0.5, 1e-9);
    EXPECT_EQ(sampler.delta_time(), 0.25);

    set_position(10.25, 50.0);
    host.set_token(kTimeToken604, 101.0);
    sampler.update();
    EXPECT_NEAR(sampler.delta_longitude(), -0.25, 1e-9);
    EXPECT_EQ(sampler.delta_time(), 0.75);

    // Nothing moves and the clock stands: both deltas are zero.
    sampler.update();
    EXPECT_EQ(sampler.delta_longitude(), 0.0);
    EXPECT_EQ(sampler.delta_time(), 0.0);

    // The clock set back gives a negative elapsed time, passed on unchanged.
    host.set_token(kTimeToken604, 95.0);
    sampler.update();
    EXPECT_EQ(sampler.delta_time(), -6.0);
}

TEST_F(MotionSamplerTest, CrossingTheAntimeridianIsTheShortWayRound) {
    struct Case {
        double from_deg, to_deg, expected_delta_deg;
    };
    const Case cases[] = {
        {179.9, -179.9, 0.2},    // eastbound across 180
        {-179.9, 179.9, -0.2},   // westbound across 180
        {170.0, -170.0, 20.0},
        {-90.0, 90.0, 180.0},    // exactly half a turn either way counts as +180
        {90.0, -90.0, 180.0},
        {-100.0, 79.0, 179.0},   // plain differences inside the range stay as they are
        {100.0, -79.0, -179.0},
    };
    for (const Case& c : cases) {
        set_position(c.from_deg, 0.0);
        MotionSampler sampler;
        set_position(c.to_deg, 0.0);
        sampler.update();
        EXPECT_NEAR(sampler.delta_longitude(), c.expected_delta_deg, 1e-9)
            << c.from_deg << " -> " << c.to_deg;
    }
}

TEST_F(MotionSamplerTest, ReduceLongitudeChangeIsDefinedForEveryInput) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(reduce_longitude_change(180.0), 180.0);
    EXPECT_EQ(reduce_longitude_change(-180.0), 180.0);
    EXPECT_EQ(reduce_longitude_change(-179.5), -179.5);
    EXPECT_EQ(reduce_longitude_change(540.0), 180.0);
    EXPECT_EQ(reduce_longitude_change(-359.0), 1.0);
    EXPECT_EQ(reduce_longitude_change(720.25), 0.25);
    const double huge = reduce_longitude_change(1e300);
    EXPECT_GT(huge, -180.0);
    EXPECT_LE(huge, 180.0);
    EXPECT_TRUE(std::isnan(reduce_longitude_change(std::nan(""))));
    EXPECT_EQ(reduce_longitude_change(inf), inf);
    EXPECT_EQ(reduce_longitude_change(-inf), -inf);
}

TEST_F(MotionSamplerTest, NonFiniteTokensGiveNonFiniteDeltasWithoutHarm) {
    MotionSampler sampler;
    host.set_token(kLongitudeToken, std::nan(""));
    host.set_token(kTimeToken604, std::numeric_limits<double>::infinity());
    sampler.update();
    EXPECT_FALSE(std::isfinite(sampler.delta_longitude()));
    EXPECT_FALSE(std::isfinite(sampler.delta_time()));

    // Once the host's values are sane again, the deltas are too after one
    // interval measured from a sane sample.
    host.set_token(kLongitudeToken, longitude_token(1.0));
    host.set_token(kTimeToken604, 10.0);
    sampler.update();
    host.set_token(kLongitudeToken, longitude_token(1.5));
    host.set_token(kTimeToken604, 12.0);
    sampler.update();
    EXPECT_NEAR(sampler.delta_longitude(), 0.5, 1e-9);
    EXPECT_EQ(sampler.delta_time(), 2.0);
}

}  // namespace
}  // namespace kodrix
