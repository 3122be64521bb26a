// The aircraft model: the host's token scalings, the ground velocity in the
// aircraft's axes with wind, great-circle motion and coordinated turns.
#include <gtest/gtest.h>

#include <cmath>

#include "flight/aircraft.h"

namespace kodrix::fly {
namespace {

constexpr double kDeg = kPi / 180.0;

TEST(Tokens, PositionScalings) {
    // 71: meters along the meridian, 10001750 to the pole.
    EXPECT_DOUBLE_EQ(latitude_token(90), 10001750.0);
    EXPECT_DOUBLE_EQ(latitude_token(-45), -5000875.0);
    EXPECT_DOUBLE_EQ(latitude_token(0), 0.0);
    // 72: 2^48 per turn, signed, wrapped at +-180.
    EXPECT_DOUBLE_EQ(longitude_token(180), 140737488355328.0);  // 2^47
    EXPECT_DOUBLE_EQ(longitude_token(-90), -70368744177664.0);  // -2^46
    EXPECT_DOUBLE_EQ(longitude_token(190), longitude_token(-170));
    EXPECT_DOUBLE_EQ(longitude_token(-170), -170.0 / 360.0 * 281474976710656.0);
}

TEST(Tokens, BankOnTheHostsScale) {
    struct Case {
        double bank, token;
    };
    const Case cases[] = {{0, 0}, {15, 15}, {-15, 345}, {45, 45}, {-30, 330}, {-0.5, 359.5}};
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(bank_token(c.bank), c.token) << c.bank;
}

TEST(GroundVelocity, ComponentsWithWind) {
    struct Case {
        double heading, tas, wind_from, wind_speed;
        double along, across, drift, track, speed;
    };
    const double d = std::atan(0.1) / kDeg;  // 5.71 deg
    const Case cases[] = {
        // Northbound, wind from the west pushes right: track right of heading.
        {0, 100, 270, 10, 100, 10, d, d, std::sqrt(10100.0)},
        // Eastbound into a headwind.
        {90, 100, 90, 20, 80, 0, 0, 90, 80},
        // Eastbound, wind from the north pushes south: to the right.
        {90, 100, 0, 10, 100, 10, d, 90 + d, std::sqrt(10100.0)},
        // Westbound, wind from the north pushes south: to the left.
        {270, 100, 0, 10, 100, -10, -d, 270 - d, std::sqrt(10100.0)},
        // Southbound at 50 against an 80 m/s wind from the south: going backward.
        {180, 50, 180, 80, -30, 0, 180, 0, 30},
        {270, 200, 0, 0, 200, 0, 0, 270, 200},
    };
    for (const Case& c : cases) {
        const GroundVelocity g = ground_velocity(c.heading, c.tas, Wind{c.wind_from, c.wind_speed});
        EXPECT_NEAR(g.along_mps, c.along, 1e-9) << c.heading;
        EXPECT_NEAR(g.across_mps, c.across, 1e-9) << c.heading;
        EXPECT_NEAR(g.drift_deg, c.drift, 1e-9) << c.heading;
        EXPECT_NEAR(g.track_deg, c.track, 1e-9) << c.heading;
        EXPECT_NEAR(g.speed_mps, c.speed, 1e-9) << c.heading;
    }
}

TEST(Tokens, EveryTokenFromTheState) {
    AircraftState a;
    a.position = {52.0, -179.5};
    a.true_heading_deg = 0;
    a.tas_mps = 100;
    a.bank_deg = -20;
    a.pitch_deg = 3;
    const HostTokens t = host_tokens(a, Wind{270, 10}, 7.5, 12.25);
    EXPECT_DOUBLE_EQ(t.time_s, 12.25);
    EXPECT_DOUBLE_EQ(t.latitude, 52.0 * 10001750.0 / 90.0);
    EXPECT_DOUBLE_EQ(t.longitude, -179.5 * 281474976710656.0 / 360.0);
    EXPECT_DOUBLE_EQ(t.variation_deg, 7.5);
    EXPECT_DOUBLE_EQ(t.true_heading_deg, 0.0);
    EXPECT_DOUBLE_EQ(t.pitch_deg, 3.0);
    EXPECT_DOUBLE_EQ(t.bank_deg, 340.0);
    // 551 and 552 in feet per second: 100 m/s along, 10 m/s to the right.
    EXPECT_NEAR(t.ground_along_fps, 100.0 / 0.3048, 1e-9);
    EXPECT_NEAR(t.ground_across_fps, 10.0 / 0.3048, 1e-9);
}

void fly_for(AircraftState& a, const Wind& w, double seconds, double rate = 18.0) {
    const int frames = static_cast<int>(std::lround(seconds * rate));
    for (int i = 0; i < frames; ++i) advance(a, w, 1.0 / rate);
}

TEST(Motion, GreatCircleLegs) {
    // 100 km east along the equator and 100 km north along a meridian.
    AircraftState a;
    a.position = {0, 0};
    a.true_heading_deg = 90;
    a.tas_mps = 100;
    fly_for(a, Wind{}, 1000);
    EXPECT_NEAR(a.position.lat_deg, 0.0, 1e-9);
    EXPECT_NEAR(a.position.lon_deg, 1e5 / kEarthRadiusM / kDeg, 1e-9);

    AircraftState b;
    b.position = {0, 20};
    b.true_heading_deg = 0;
    b.tas_mps = 100;
    fly_for(b, Wind{}, 1000);
    EXPECT_NEAR(b.position.lat_deg, 1e5 / kEarthRadiusM / kDeg, 1e-9);
    EXPECT_NEAR(b.position.lon_deg, 20.0, 1e-9);
}

TEST(Motion, TheWindCarriesTheAircraft) {
    // Heading north at 100 m/s with 10 m/s from the west: 100 km north and
    // 10 km east after 1000 s (near the equator, where a degree of longitude
    // and of latitude are nearly equal).
    AircraftState a;
    a.position = {0, 0};
    a.true_heading_deg = 0;
    a.tas_mps = 100;
    fly_for(a, Wind{270, 10}, 1000);
    EXPECT_NEAR(great_circle_distance_m({0, 0}, a.position), std::sqrt(10100.0) * 1000, 1.0);
    EXPECT_NEAR(initial_course_deg({0, 0}, a.position), std::atan(0.1) / kDeg, 0.01);
    EXPECT_DOUBLE_EQ(a.true_heading_deg, 0.0);  // the heading is held; the track drifts
}

TEST(Motion, LongitudeWrapsAt180) {
    AircraftState a;
    a.position = {0, 179.999};
    a.true_heading_deg = 90;
    a.tas_mps = 200;
    fly_for(a, Wind{}, 1.0);
    const double expected = 179.999 + 200.0 / kEarthRadiusM / kDeg - 360.0;
    EXPECT_NEAR(a.position.lon_deg, expected, 1e-9);
    EXPECT_LT(longitude_token(a.position.lon_deg), 0.0);
}

TEST(Motion, CoordinatedTurn) {
    // 15 degrees of bank at 100 m/s: heading rate g tan 15 / V, radius
    // V^2 / (g tan 15). After half a turn to the right from heading north the
    // aircraft heads south, one diameter east of where it began.
    const double omega = kGravityMps2 * std::tan(15 * kDeg) / 100.0;  // rad/s
    EXPECT_NEAR(turn_rate_deg_s(100, 15), omega / kDeg, 1e-12);
    EXPECT_NEAR(turn_rate_deg_s(100, -15), -omega / kDeg, 1e-12);
    const double radius = 100.0 / omega;
    AircraftState a;
    a.position = {0, 0};
    a.true_heading_deg = 0;
    a.tas_mps = 100;
    a.bank_deg = 15;
    const double half_turn_s = kPi / omega;
    const int frames = static_cast<int>(std::floor(half_turn_s * 18.0));
    for (int i = 0; i < frames; ++i) advance(a, Wind{}, 1.0 / 18.0);
    advance(a, Wind{}, half_turn_s - frames / 18.0);
    EXPECT_NEAR(a.true_heading_deg, 180.0, 1e-6);
    EXPECT_NEAR(great_circle_distance_m({0, 0}, a.position), 2 * radius, 0.5);
    EXPECT_NEAR(initial_course_deg({0, 0}, a.position), 90.0, 0.01);
}

}  // namespace
}  // namespace kodrix::fly
