// Dead reckoning of the S and V coordinates and the drift handed to the steering.
#include <cmath>
#include <string>
#include <vector>

#include "nas1_fixture.h"

namespace kodrix::testing {
namespace {

constexpr double kTol = 1e-9;

using Calls = std::vector<std::string>;

// ---- construction ----

TEST_F(Nas1Test, ConstructionZeroesSAndVAndKeepsEverythingElse) {
    set(kS, 1234.0, "meters");
    set(kV, -567.0, "meters");
    set(kLbu, 3.2, "kilometer");
    set(kCourseSignal, 45.0, "degree");
    nas1_vprev_km = 7.0;

    create();

    EXPECT_EQ(s_m(), 0.0);
    EXPECT_EQ(v_m(), 0.0);
    EXPECT_EQ(nas1_vprev_km, 0.0);
    EXPECT_EQ(lbu_km(), 3.2);
    EXPECT_EQ(course_deg(), 45.0);
    EXPECT_TRUE(host.key_events().empty());
}

TEST_F(Nas1Test, BindsItsHandlesInOrderWithoutOwningAny) {
    nas1.reset();
    host.record_calls(true);
    create();
    Calls lookups;
    for (const std::string& c : host.calls())
        if (c.rfind("check_named_variable(", 0) == 0) lookups.push_back(c);
    EXPECT_EQ(lookups, (Calls{
                           "check_named_variable(NAS1 Counters Switch)",
                           "check_named_variable(NAS1 Mode Switch)",
                           "check_named_variable(DISS Wspeed)",
                           "check_named_variable(DISS Drift Angle)",
                           "check_named_variable(KS8 Primary Course Signal)",
                           "check_named_variable(NAS1 Map Angle)",
                           "check_named_variable(NAS1 SAU mode)",
                           "check_named_variable(NAS1 LBU Controller)",
                           "check_named_variable(NAS1 ANU Vprev reset)",
                           "check_named_variable(NAS1 WC NavWind Angle)",
                           "check_named_variable(NAS1 WC NavWind Speed)",
                           "check_named_variable(NAS1 S coordinate)",
                           "check_named_variable(NAS1 V coordinate)",
                           "check_named_variable(ANU Course Signal)",
                       }));
    const Calls& calls = host.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "set_named_variable_typed_value(NAS1 S coordinate, 0, meters)");
    EXPECT_EQ(calls[calls.size() - 1], "set_named_variable_typed_value(NAS1 V coordinate, 0, meters)");

    // Destruction removes nothing from the host.
    const std::size_t live = host.live_var_count();
    host.clear_calls();
    nas1.reset();
    EXPECT_TRUE(host.calls().empty());
    EXPECT_EQ(host.live_var_count(), live);
}

// ---- counters switch ----

TEST_F(Nas1Test, CountersOffChangesNothingAndSendsNothing) {
    for (double counters : {0.0, 0.9, -0.5}) {
        SCOPED_TRACE(counters);
        set(kCounters, counters);
        set(kMode, 0);
        set(kSau, 1);
        set(kReset, 0);
        set(kCourse, 90.0, "degree");
        set(kWspeed, 200.0, "meters per second");
        set(kS, 1000.0, "meters");
        set(kV, 2000.0, "meters");
        set(kLbu, 5.0, "kilometer");
        set(kCourseSignal, 123.0, "degree");
        nas1_vprev_km = 1.0;

        nas1->update(1.0);

        EXPECT_EQ(s_m(), 1000.0);
        EXPECT_EQ(v_m(), 2000.0);
        EXPECT_EQ(lbu_km(), 5.0);
        EXPECT_EQ(course_deg(), 123.0);
        EXPECT_EQ(nas1_vprev_km, 1.0);
        EXPECT_TRUE(host.key_events().empty());
    }
}

// ---- mode switch ----

// Course 90, drift 0, map angle 0 for 1 s: the Doppler speed 200 m/s or the
// airspeed 100 m/s (no wind) all goes into V.
TEST_F(Nas1Test, ModeSwitchSelectsTheReckoning) {
    struct Case {
        double mode;
        double expected_v_m;
    };
    const Case cases[] = {
        {0.0, 200.0},  {1.0, 200.0},  {1.9, 200.0}, {-0.9, 200.0},  // Doppler
        {2.0, 100.0},  {2.5, 100.0},  {2.999, 100.0},              // wind
        {3.0, 0.0},    {-1.0, 0.0},   {7.0, 0.0},                  // none
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        set(kCounters, 1);
        set(kSau, 0);
        set(kMode, c.mode);
        set(kCourse, 90.0, "degree");
        set(kDrift, 0.0, "degree");
        set(kMapAngle, 0.0, "degree");
        set(kWspeed, 200.0, "meters per second");
        host.set_airspeed_mps(100.0);
        set(kS, 0.0, "meters");
        set(kV, 0.0, "meters");

        nas1->update(1.0);

        EXPECT_NEAR(s_m(), 0.0, kTol);
        EXPECT_NEAR(v_m(), c.expected_v_m, kTol);
    }
}

// Modes without reckoning still steer, with a drift of 0: map angle 10 and a
// Doppler drift of 4 give the line course 6 in the Doppler mode, 10 otherwise.
TEST_F(Nas1Test, OtherModesSteerWithZeroDrift) {
    struct Case {
        double mode;
        double expected_course_deg;
    };
    const Case cases[] = {{0.0, 6.0}, {3.0, 10.0}, {-1.0, 10.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        set(kCounters, 1);
        set(kSau, 1);
        set(kMode, c.mode);
        set(kMapAngle, 10.0, "degree");
        set(kDrift, 4.0, "degree");
        set(kWspeed, 0.0, "meters per second");
        set(kLbu, 0.0, "kilometer");
        host.clear_key_events();

        nas1->update(1.0);

        EXPECT_EQ(v_m(), 0.0);
        EXPECT_EQ(course_deg(), c.expected_course_deg);
        EXPECT_EQ(sole_key_value(), static_cast<std::uint32_t>(c.expected_course_deg));
    }
}

// ---- Doppler reckoning ----

TEST_F(Nas1Test, DopplerReckoningAddsTheGroundTrackTimesTheTime) {
    struct Case {
        const char* what;
        double course_deg, drift_deg, map_deg;
        double speed;
        const char* speed_unit;
        double dt;
        double ds_m, dv_m;
    };
    const double cos30 = std::sqrt(3.0) / 2.0;
    const Case cases[] = {
        {"crosswise to the line", 90, 0, 0, 200, "meters per second", 1, 0, 200},
        {"along the line", 90, 0, 90, 200, "meters per second", 1, 200, 0},
        // track 30 + 10 = 40, line 10: 30 degrees right of the line for 2 s
        {"drift turns the track", 30, 10, 10, 100, "meters per second", 2, 200 * cos30, 100},
        {"track to the left", 0, -90, 0, 50, "meters per second", 0.5, 0, -25},
        {"speed in km/h", 90, 0, 0, 720, "kilometer per hour", 1, 0, 200},
        {"no speed", 123, -7, 45, 0, "meters per second", 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set(kCounters, 1);
        set(kSau, 0);
        set(kMode, 1);
        set(kCourse, c.course_deg, "degree");
        set(kDrift, c.drift_deg, "degree");
        set(kMapAngle, c.map_deg, "degree");
        set(kWspeed, c.speed, c.speed_unit);
        set(kS, 1000.0, "meters");
        set(kV, -500.0, "meters");

        nas1->update(c.dt);

        EXPECT_NEAR(s_m(), 1000.0 + c.ds_m, kTol);
        EXPECT_NEAR(v_m(), -500.0 + c.dv_m, kTol);
    }
}

// ---- wind reckoning ----

// Steering is on with LBU near 0 so that the line course, map angle minus
// drift, shows the drift the reckoning handed on.
TEST_F(Nas1Test, WindReckoningUsesAirspeedAndWind) {
    struct Case {
        const char* what;
        double course_deg, airspeed_mps, wind_to_deg, wind_mps, map_deg;
        double ds_m, dv_m, drift_deg;
    };
    const double atan_01_deg = std::atan(0.1) * kDegreesPerRadian;  // 5.7106 degrees
    // Equal air and ground speeds 15 degrees apart: the wind is the chord,
    // 2 * 100 * sin 7.5 m/s, at right angles to the bisector.
    const double chord_mps = 200.0 * std::sin(7.5 * kRadiansPerDegree);
    const Case cases[] = {
        {"no wind, course 180", 180, 100, 0, 0, 0, -100, 0, 0},
        {"crosswind from the left", 0, 100, 90, 10, 0, 100, 10, atan_01_deg},
        {"crosswind, line along the track", 0, 100, 90, 10, atan_01_deg, std::sqrt(10100.0), 0,
         atan_01_deg},
        {"course 10, track 355", 10, 100, 272.5, chord_mps, 355, 100, 0, -15},
        {"course 350, track 5", 350, 100, 87.5, chord_mps, 5, 100, 0, 15},
        {"wind stronger than the airspeed", 0, 50, 180, 80, 0, -30, 0, 180},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set(kCounters, 1);
        set(kSau, 1);
        set(kReset, 0);
        set(kMode, 2);
        set(kCourse, c.course_deg, "degree");
        host.set_airspeed_mps(c.airspeed_mps);
        set(kWindAngle, c.wind_to_deg, "degree");
        set(kWindSpeed, c.wind_mps, "meters per second");
        set(kMapAngle, c.map_deg, "degree");
        set(kS, 0.0, "meters");
        set(kV, 0.0, "meters");
        nas1_vprev_km = 0.0;
        set(kLbu, 0.0, "kilometer");
        host.clear_key_events();

        nas1->update(1.0);

        EXPECT_NEAR(s_m(), c.ds_m, kTol);
        EXPECT_NEAR(v_m(), c.dv_m, kTol);
        EXPECT_NEAR(angle_difference_deg(course_deg(), c.map_deg - c.drift_deg), 0.0, kTol);
        EXPECT_EQ(host.key_events().size(), 1u);
    }
}

TEST_F(Nas1Test, WindReckoningScalesWithTheElapsedTime) {
    // Track 90, line 30: 60 degrees right of the line at 60 m/s for 2 s.
    set(kCounters, 1);
    set(kMode, 2);
    set(kCourse, 90.0, "degree");
    host.set_airspeed_mps(60.0);
    set(kMapAngle, 30.0, "degree");
    nas1->update(2.0);
    EXPECT_NEAR(s_m(), 60.0, kTol);
    EXPECT_NEAR(v_m(), 120.0 * std::sqrt(3.0) / 2.0, kTol);
}

TEST_F(Nas1Test, WindReckoningLooksUpTheAirspeedUnitsEachTime) {
    set(kCounters, 1);
    set(kMode, 2);
    host.set_airspeed_mps(100.0);
    host.record_calls(true);
    nas1->update(1.0);
    nas1->update(1.0);
    Calls airspeed;
    for (const std::string& c : host.calls())
        if (c.rfind("get_units_enum(", 0) == 0 || c.rfind("aircraft_varget(", 0) == 0)
            airspeed.push_back(c);
    EXPECT_EQ(airspeed, (Calls{"get_units_enum(meters per second)",
                               "aircraft_varget(24, meters per second, 0)",
                               "get_units_enum(meters per second)",
                               "aircraft_varget(24, meters per second, 0)"}));
}

// No airspeed and no wind: no track, so no movement and a drift of 0.
TEST_F(Nas1Test, WindReckoningAtZeroGroundSpeedStaysPut) {
    set(kCounters, 1);
    set(kSau, 1);
    set(kMode, 2);
    set(kCourse, 75.0, "degree");
    host.set_airspeed_mps(0.0);
    set(kWindAngle, 200.0, "degree");
    set(kWindSpeed, 0.0, "meters per second");
    set(kMapAngle, 40.0, "degree");
    set(kS, 300.0, "meters");
    set(kV, -20.0, "meters");
    nas1_vprev_km = -0.02;  // no change of V since the last step
    set(kLbu, 0.1, "kilometer");

    nas1->update(1.0);

    EXPECT_EQ(s_m(), 300.0);
    EXPECT_EQ(v_m(), -20.0);
    EXPECT_EQ(lbu_km(), 0.1);
    EXPECT_EQ(course_deg(), 40.0);  // the line course with drift 0
    EXPECT_EQ(sole_key_value(), 40u);
}

}  // namespace
}  // namespace kodrix::testing
