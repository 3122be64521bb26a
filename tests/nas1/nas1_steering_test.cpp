// Lateral deviation, line and intercept courses, turn anticipation and the
// course command to the autopilot.
#include <cmath>
#include <limits>

#include "nas1_fixture.h"

namespace kodrix::testing {
namespace {

constexpr double kTol = 1e-9;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Equal up to rounding; a NaN or an infinity must come back as it was.
void expect_value(double actual, double expected) {
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << actual;
    } else if (std::isinf(expected)) {
        EXPECT_EQ(actual, expected);
    } else {
        EXPECT_NEAR(actual, expected, kTol);
    }
}

// Steering on, no reset request, V at its reference: LBU stays as set.
class Nas1SteeringTest : public Nas1Test {
protected:
    Nas1SteeringTest() {
        set(kSau, 1);
        set(kReset, 0);
    }
};

// ---- SAU coupling and the reference ----

TEST_F(Nas1SteeringTest, SauOffKeepsEverythingAndSendsNothing) {
    for (double sau : {0.0, 0.7, -0.2}) {
        SCOPED_TRACE(sau);
        set(kSau, sau);
        set(kReset, 1);
        set(kLbu, 2.0, "kilometer");
        set(kV, 5.0, "kilometer");
        set(kCourseSignal, 77.0, "degree");
        nas1_vprev_km = 1.0;

        nas1->steer(0.0);

        EXPECT_EQ(lbu_km(), 2.0);
        EXPECT_EQ(get(kReset), 1.0);
        EXPECT_EQ(course_deg(), 77.0);
        EXPECT_EQ(nas1_vprev_km, 1.0);
        EXPECT_TRUE(host.key_events().empty());
    }
}

TEST_F(Nas1SteeringTest, ResetRequestMovesTheReferenceAndKeepsTheDeviation) {
    set(kReset, 1);
    set(kV, 3000.0, "meters");
    set(kLbu, 1.0, "kilometer");
    set(kMapAngle, 0.0, "degree");
    set(kCourse, 0.0, "degree");

    nas1->steer(0.0);

    EXPECT_EQ(nas1_vprev_km, 3.0);
    EXPECT_EQ(get(kReset), 0.0);
    EXPECT_EQ(lbu_km(), 1.0);
    // 1 km right of the line, parallel to it: intercept at 10 degrees.
    EXPECT_NEAR(course_deg(), 350.0, kTol);
    EXPECT_EQ(sole_key_value(), 350u);

    // The next step counts V from the new reference.
    set(kV, 3200.0, "meters");
    nas1->steer(0.0);
    EXPECT_NEAR(lbu_km(), 1.2, kTol);
}

TEST_F(Nas1SteeringTest, DeviationFollowsVWithinTwentyFiveKilometers) {
    struct Case {
        double lbu_km, vprev_km, v_km, expected_lbu_km;
    };
    const Case cases[] = {
        {10.0, 0.0, 2.0, 12.0},
        {24.8, 1.0, 1.5, 25.0},
        {-24.9, 1.0, 0.0, -25.0},
        {30.0, 4.0, 4.0, 25.0},     // set beyond the limit from outside
        {-40.0, 4.0, 4.0, -25.0},
        {kInf, 0.0, 0.0, 25.0},
        {0.0, 0.0, 25.0, 25.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lbu_km);
        set(kLbu, c.lbu_km, "kilometer");
        set(kV, c.v_km, "kilometer");
        nas1_vprev_km = c.vprev_km;

        nas1->steer(0.0);

        EXPECT_NEAR(lbu_km(), c.expected_lbu_km, kTol);
        EXPECT_EQ(nas1_vprev_km, c.v_km);
    }
}

// ---- commanded course ----

TEST_F(Nas1SteeringTest, LineInterceptAndAnticipatedCourses) {
    struct Case {
        const char* what;
        double lbu_km, map_deg, drift_deg, ks8_deg, wspeed_mps;
        double expected_deg;
        std::uint32_t expected_key;
    };
    // At 100 m/s a 15-degree-bank turn has a radius of 10000 / (tan 15 * 9.81)
    // = 3804.3 m; closing at 30 degrees its lead is tan 15 * 3804.3 = 1019.4 m.
    const Case cases[] = {
        {"dead band, right", 0.299, 10, 3, 0, 0, 7, 7},
        {"dead band, left", -0.299, 10, 3, 0, 0, 7, 7},
        {"0.3 km right: 3 degrees", 0.3, 10, 3, 10, 0, 4, 4},
        {"0.3 km left: 3 degrees", -0.3, 10, 3, 10, 0, 10, 10},
        {"1.5 km right, parallel", 1.5, 90, 5, 90, 0, 70, 70},
        {"5 km left: 30 degrees", -5, 0, 0, 0, 0, 30, 30},
        {"3.5 km right: 30 degrees", 3.5, 0, 0, 0, 0, 330, 330},
        {"2.999 km right: 29.99 degrees", 2.999, 0, 0, 0, 0, 330.01, 330},
        {"2 km left across north", -2, 350, -4, 350, 0, 14, 14},
        {"closing 30, 1000 m to go: turn now", 0.5, 0, 0, 330, 100, 0, 0},
        {"closing 30, 1200 m to go: intercept", 0.6, 0, 0, 330, 100, 354, 354},
        {"closing 30 from the left: turn now", -0.5, 0, 0, 30, 100, 0, 0},
        {"closing 30 from the left: intercept", -0.6, 0, 0, 30, 100, 6, 6},
        {"turn onto the line holds the drift", 0.5, 0, 2, 330, 100, 358, 358},
        {"diverging", 1, 0, 0, 30, 100, 350, 350},
        {"diverging from the left", -1, 0, 0, 330, 100, 10, 10},
        // Against the line: lead = 2 * radius = 7608.7 m.
        {"against the line, 7.5 km", 7.5, 0, 0, 180, 100, 0, 0},
        {"against the line, 7.7 km", 7.7, 0, 0, 180, 100, 330, 330},
        {"against the line from the left", -7.5, 0, 0, 180, 100, 0, 0},
        {"no ground speed: no lead", 0.5, 0, 0, 330, 0, 355, 355},
        {"key truncates 354.9", 0, 354.9, 0, 0, 0, 354.9, 354},
        {"key truncates 0.4", 0, 0.4, 0, 0, 0, 0.4, 0},
        {"line course wraps", 0, 0, 0.5, 0, 0, 359.5, 359},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set(kLbu, c.lbu_km, "kilometer");
        set(kMapAngle, c.map_deg, "degree");
        set(kCourse, c.ks8_deg, "degree");
        set(kWspeed, c.wspeed_mps, "meters per second");
        host.clear_key_events();

        nas1->steer(c.drift_deg);

        EXPECT_NEAR(course_deg(), c.expected_deg, kTol);
        EXPECT_EQ(sole_key_value(), c.expected_key);
    }
}

TEST_F(Nas1SteeringTest, CourseIsSentOnEveryStep) {
    set(kMapAngle, 20.0, "degree");
    nas1->steer(0.0);
    nas1->steer(0.0);
    nas1->steer(0.0);
    ASSERT_EQ(host.key_events().size(), 3u);
    for (const auto& e : host.key_events()) {
        EXPECT_EQ(e.event, 66042u);
        EXPECT_EQ(e.value, 20u);
    }
    EXPECT_EQ(host.heading_bug_deg(), 20u);
}

// ---- key value conversion ----

TEST(CourseKeyValue, TruncatesAndKeepsTheLow32Bits) {
    struct Case {
        double course_deg;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {354.9, 354u},
        {0.4, 0u},
        {359.999, 359u},
        {-0.4, 0u},
        {-1.5, 4294967295u},                    // -1
        {4294967295.9, 4294967295u},
        {4294967296.0 + 7.0, 7u},
        {-4294967296.0, 0u},
        {9223372036854775808.0, 0u},            // 2^63
        {1e20, 1661992960u},                    // 2^20 * (5^20 mod 2^12) = 2^20 * 1585
        {-1e20, 2632974336u},                   // 2^32 - 1661992960
        {1e300, 0u},
        {kNaN, 0u},
        {kInf, 0u},
        {-kInf, 0u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.course_deg);
        EXPECT_EQ(course_key_value(c.course_deg), c.expected);
    }
}

// ---- the reference across pauses and reloads ----

TEST_F(Nas1Test, ReferenceCarriesOverPausesOfSteeringAndCounters) {
    set(kCounters, 1);
    set(kMode, 3);  // no reckoning: V only moves when the test sets it
    set(kSau, 1);
    set(kReset, 0);

    set(kV, 1.0, "kilometer");
    nas1->update(1.0);
    EXPECT_NEAR(lbu_km(), 1.0, kTol);

    // SAU off: V moves by 2 km unseen; the first step back adds it whole.
    set(kSau, 0);
    set(kV, 3.0, "kilometer");
    nas1->update(1.0);
    EXPECT_NEAR(lbu_km(), 1.0, kTol);
    set(kSau, 1);
    nas1->update(1.0);
    EXPECT_NEAR(lbu_km(), 3.0, kTol);

    // Counters off likewise.
    set(kCounters, 0);
    set(kV, 3.5, "kilometer");
    nas1->update(1.0);
    EXPECT_NEAR(lbu_km(), 3.0, kTol);
    set(kCounters, 1);
    nas1->update(1.0);
    EXPECT_NEAR(lbu_km(), 3.5, kTol);

    // A reset request waits while SAU is off, then moves the reference.
    set(kSau, 0);
    set(kReset, 1);
    set(kV, 5.0, "kilometer");
    nas1->update(1.0);
    EXPECT_EQ(get(kReset), 1.0);
    set(kSau, 1);
    nas1->update(1.0);
    EXPECT_EQ(get(kReset), 0.0);
    EXPECT_NEAR(lbu_km(), 3.5, kTol);
    set(kV, 5.25, "kilometer");
    nas1->update(1.0);
    EXPECT_NEAR(lbu_km(), 3.75, kTol);
}

// A reload restarts V at 0; the deviation must not jump by minus the old V.
TEST_F(Nas1Test, RecreationDoesNotJumpTheDeviation) {
    set(kCounters, 1);
    set(kMode, 3);
    set(kSau, 1);
    set(kReset, 0);
    set(kLbu, 0.5, "kilometer");
    set(kV, 4.0, "kilometer");
    nas1->update(1.0);
    ASSERT_NEAR(lbu_km(), 4.5, kTol);

    create();
    ASSERT_EQ(v_m(), 0.0);
    nas1->update(1.0);
    EXPECT_NEAR(lbu_km(), 4.5, kTol);

    // And the reckoning carries on from the new origin.
    set(kV, 0.25, "kilometer");
    nas1->update(1.0);
    EXPECT_NEAR(lbu_km(), 4.75, kTol);
}

// ---- non-finite values ----

// Doppler mode along a line of 10 degrees at 200 m/s for 1 s: S 100 -> 300,
// V stays 50 m, which is also the reference, LBU 0.1 km, line course 10.
// One input at a time turns non-finite; whatever depends on it keeps its
// value and no course goes out that rests on it.
TEST_F(Nas1Test, NonFiniteValuesAreNeverWrittenOrSent) {
    constexpr double kKept = -1.0;  // course signal marker: left at its old value
    struct Case {
        const char* what;
        const char* name;  // variable to spoil, or null
        const char* unit;
        double value;
        double mode, dt, airspeed_mps;
        double s_m, v_m, lbu_km, course_deg, vprev_km;
    };
    const Case cases[] = {
        {"all finite", nullptr, "", 0, 0, 1, 0, 300, 50, 0.1, 10, 0.05},
        {"speed NaN", kWspeed, "meters per second", kNaN, 0, 1, 0, 100, 50, 0.1, 10, 0.05},
        {"speed infinite", kWspeed, "meters per second", kInf, 0, 1, 0, 100, 50, 0.1, 10, 0.05},
        {"drift NaN", kDrift, "radian", kNaN, 0, 1, 0, 100, 50, 0.1, kKept, 0.05},
        {"course NaN", kCourse, "radian", kNaN, 0, 1, 0, 100, 50, 0.1, 10, 0.05},
        {"map angle NaN", kMapAngle, "radian", kNaN, 0, 1, 0, 100, 50, 0.1, kKept, 0.05},
        {"map angle infinite", kMapAngle, "degree", kInf, 0, 1, 0, 100, 50, 0.1, kKept, 0.05},
        {"elapsed time infinite", nullptr, "", 0, 0, kInf, 0, 100, 50, 0.1, 10, 0.05},
        {"S infinite", kS, "meters", kInf, 0, 1, 0, kInf, 50, 0.1, 10, 0.05},
        {"V NaN", kV, "meters", kNaN, 0, 1, 0, 300, kNaN, 0.1, 10, 0.05},
        {"V infinite", kV, "meters", kInf, 0, 1, 0, 300, kInf, 0.1, 10, 0.05},
        {"LBU NaN", kLbu, "kilometer", kNaN, 0, 1, 0, 300, 50, kNaN, kKept, 0.05},
        // Limited to -25 km: 30 degrees from the left of a line at 10.
        {"LBU minus infinity", kLbu, "kilometer", -kInf, 0, 1, 0, 300, 50, -25, 40, 0.05},
        {"airspeed NaN", nullptr, "", 0, 2, 1, kNaN, 100, 50, 0.1, kKept, 0.05},
        {"airspeed infinite", nullptr, "", 0, 2, 1, kInf, 100, 50, 0.1, kKept, 0.05},
        {"wind direction NaN", kWindAngle, "radian", kNaN, 2, 1, 200, 100, 50, 0.1, kKept, 0.05},
        {"wind speed NaN", kWindSpeed, "meters per second", kNaN, 2, 1, 200, 100, 50, 0.1, kKept,
         0.05},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set(kCounters, 1);
        set(kSau, 1);
        set(kReset, 0);
        set(kMode, c.mode);
        set(kCourse, 10.0, "degree");
        set(kDrift, 0.0, "degree");
        set(kMapAngle, 10.0, "degree");
        set(kWspeed, 200.0, "meters per second");
        set(kWindAngle, 0.0, "degree");
        set(kWindSpeed, 0.0, "meters per second");
        host.set_airspeed_mps(c.airspeed_mps);
        set(kS, 100.0, "meters");
        set(kV, 50.0, "meters");
        nas1_vprev_km = 0.05;
        set(kLbu, 0.1, "kilometer");
        set(kCourseSignal, 123.0, "degree");
        if (c.name != nullptr) set(c.name, c.value, c.unit);
        host.clear_key_events();

        nas1->update(c.dt);

        expect_value(s_m(), c.s_m);
        expect_value(v_m(), c.v_m);
        expect_value(lbu_km(), c.lbu_km);
        EXPECT_EQ(nas1_vprev_km, c.vprev_km);
        if (c.course_deg == kKept) {
            EXPECT_EQ(course_deg(), 123.0);
            EXPECT_TRUE(host.key_events().empty());
        } else {
            EXPECT_NEAR(course_deg(), c.course_deg, kTol);
            EXPECT_EQ(sole_key_value(), static_cast<std::uint32_t>(c.course_deg));
        }
    }
}

// Inputs the steering alone uses. The line runs at 0; K = 330 closes on it
// at 30 degrees from the right, K = 0 runs parallel.
TEST_F(Nas1SteeringTest, NonFiniteSteeringInputsSendNoCourse) {
    struct Case {
        const char* what;
        double lbu_km, ks8_deg, wspeed_mps, drift_deg;
        bool sent;
        double expected_deg;
    };
    const Case cases[] = {
        {"course NaN, outside the dead band", 1, kNaN, 100, 0, false, 0},
        {"course NaN, inside the dead band", 0.1, kNaN, 100, 0, true, 0},
        {"speed NaN, closing", 1, 330, kNaN, 0, false, 0},
        {"speed NaN, parallel", 1, 0, kNaN, 0, true, 350},
        {"speed infinite, closing", 1, 330, kInf, 0, false, 0},
        {"speed so high the turn radius overflows", 1, 330, 1e200, 0, false, 0},
        {"drift NaN", 0.1, 0, 100, kNaN, false, 0},
        {"drift infinite", 1, 0, 100, kInf, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set(kLbu, c.lbu_km, "kilometer");
        set(kMapAngle, 0.0, "degree");
        set(kCourse, c.ks8_deg, "degree");
        set(kWspeed, c.wspeed_mps, "meters per second");
        set(kCourseSignal, 123.0, "degree");
        host.clear_key_events();

        nas1->steer(c.drift_deg);

        EXPECT_EQ(lbu_km(), c.lbu_km);
        if (c.sent) {
            EXPECT_NEAR(course_deg(), c.expected_deg, kTol);
            EXPECT_EQ(sole_key_value(), static_cast<std::uint32_t>(c.expected_deg));
        } else {
            EXPECT_EQ(course_deg(), 123.0);
            EXPECT_TRUE(host.key_events().empty());
        }
    }
}

// A reset request cannot take a non-finite V as its reference: it waits.
TEST_F(Nas1SteeringTest, ResetWaitsForAFiniteV) {
    set(kReset, 1);
    set(kLbu, 0.0, "kilometer");
    set(kV, kNaN, "meters");
    nas1_vprev_km = 2.0;

    nas1->steer(0.0);
    EXPECT_EQ(get(kReset), 1.0);
    EXPECT_EQ(nas1_vprev_km, 2.0);
    EXPECT_EQ(lbu_km(), 0.0);
    EXPECT_EQ(host.key_events().size(), 1u);  // the line course still goes out

    set(kV, 2.5, "kilometer");
    nas1->steer(0.0);
    EXPECT_EQ(get(kReset), 0.0);
    EXPECT_EQ(nas1_vprev_km, 2.5);
    EXPECT_EQ(lbu_km(), 0.0);
}

}  // namespace
}  // namespace kodrix::testing
