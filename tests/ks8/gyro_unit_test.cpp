#include "ks8/gyro_unit.h"

#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "common/random_source.h"
#include "ks8_test_support.h"
#include "support/host_fixture.h"

namespace kodrix {
namespace {

using namespace kodrix::testing;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A sampler on the emulated host plus helpers that move the aircraft and the
// clock; units are built on the sampler and their angles set by hand where
// that shows the physics cleanly.
class GyroUnitTest : public HostTest {
protected:
    GyroUnitTest() {
        gyro_random_seeded = false;
        set_aircraft(0.0, 0.0, 100.0, 0.0);
        host.set_token(kTimeToken604, 0.0);
        sampler = std::make_unique<MotionSampler>();
    }

    void set_aircraft(double lon_deg, double lat_deg, double heading_deg, double variation_deg) {
        host.set_token(kLongitudeToken, longitude_token(lon_deg));
        host.set_token(kLatitudeToken, latitude_token(lat_deg));
        host.set_token(kHeadingToken, heading_deg);
        host.set_token(kVariationToken, variation_deg);
    }

    // Advances the host clock by dt and takes a sample.
    void advance(double dt) {
        host.set_token(kTimeToken604, host.token(kTimeToken604) + dt);
        sampler->update();
    }

    // A unit whose course signal is `signal_deg` at the present heading.
    GyroUnit unit_showing(double signal_deg, double drift_rate = 0.0) {
        GyroUnit unit(*sampler);
        unit.convergence_angle = 0.0;
        unit.error_angle = host.token(kHeadingToken) - signal_deg;
        unit.drift_rate = drift_rate;
        return unit;
    }

    std::unique_ptr<MotionSampler> sampler;
};

TEST_F(GyroUnitTest, FirstUnitSeedsFromTheClockAndTheSecondDrawsOn) {
    constexpr std::uint32_t kCalendarSeed = 777;
    random_fix_seed(kCalendarSeed);
    random_seed(1);  // some other state: the first unit must reseed

    GyroUnit first(*sampler);
    random_fix_seed(4242);  // a second seeding would now show as a different sequence
    GyroUnit second(*sampler);

    ReferenceLcg lcg{kCalendarSeed};
    const int r1 = lcg.next(), r2 = lcg.next(), r3 = lcg.next(), r4 = lcg.next();
    EXPECT_TRUE(gyro_random_seeded);
    EXPECT_DOUBLE_EQ(first.error_angle, r1 * 360.0 / 32767.0);
    EXPECT_DOUBLE_EQ(first.drift_rate, 1.0 / 1800.0 - r2 * (1.0 / 900.0) / 32767.0);
    EXPECT_DOUBLE_EQ(second.error_angle, r3 * 360.0 / 32767.0);
    EXPECT_DOUBLE_EQ(second.drift_rate, 1.0 / 1800.0 - r4 * (1.0 / 900.0) / 32767.0);
    EXPECT_EQ(first.convergence_angle, 0.0);
    EXPECT_EQ(second.convergence_angle, 0.0);
    EXPECT_EQ(first.sampler, sampler.get());
}

TEST_F(GyroUnitTest, DrawExtremesGiveTheEndsOfTheRanges) {
    // Generator states whose draw is 32767 and 0.
    constexpr std::uint32_t kTopState = 0x7FFF0000u;
    constexpr std::uint32_t kBottomState = 0x00000000u;
    gyro_random_seeded = true;

    random_seed(seed_reaching_state(kTopState, 1));  // first draw 32767
    GyroUnit full_turn(*sampler);
    EXPECT_EQ(full_turn.error_angle, 360.0);

    random_seed(seed_reaching_state(kTopState, 2));  // second draw 32767
    GyroUnit slowest(*sampler);
    EXPECT_DOUBLE_EQ(slowest.drift_rate, -1.0 / 1800.0);

    random_seed(seed_reaching_state(kBottomState, 2));  // second draw 0
    GyroUnit fastest(*sampler);
    EXPECT_EQ(fastest.drift_rate, 1.0 / 1800.0);

    random_seed(seed_reaching_state(kBottomState, 1));  // first draw 0
    GyroUnit aligned(*sampler);
    EXPECT_EQ(aligned.error_angle, 0.0);
}

TEST_F(GyroUnitTest, CourseSignalIsHeadingLessConvergenceAndError) {
    GyroUnit unit(*sampler);
    struct Case {
        double heading, convergence, error, expected;
    };
    const Case cases[] = {
        {100.0, 0.0, 30.0, 70.0},
        {100.0, 20.0, 30.0, 50.0},
        {10.0, 5.0, 15.0, 350.0},   // wraps below north
        {350.0, -5.0, -15.0, 10.0}, // wraps past 360
        {0.0, 0.0, 720.0, 0.0},
    };
    for (const Case& c : cases) {
        host.set_token(kHeadingToken, c.heading);
        sampler->update();
        unit.convergence_angle = c.convergence;
        unit.error_angle = c.error;
        EXPECT_NEAR(unit.course_signal(), c.expected, 1e-12) << c.heading;
    }
}

TEST_F(GyroUnitTest, FreeDriftOnlyWhenTheLatitudeCorrectionCancelsEarthRate) {
    set_aircraft(0.0, 55.0, 100.0, 0.0);
    advance(0.0);
    // The worst drift a unit can draw: 2 degrees per hour.
    GyroUnit unit = unit_showing(40.0, 1.0 / 1800.0);
    for (int i = 0; i < 60; ++i) {
        advance(60.0);
        unit.step(kGyroFree, false, kCourseNeutral, 55.0);
    }
    EXPECT_NEAR(angle_diff(unit.course_signal(), 40.0), -2.0, 1e-9);
    EXPECT_EQ(unit.convergence_angle, 0.0);
}

TEST_F(GyroUnitTest, EarthRateWithoutCorrectionFollowsTheSineOfLatitude) {
    struct Case {
        double latitude_deg, setting_deg, change_per_hour_deg;
    };
    const Case cases[] = {
        {90.0, 0.0, -15.0},   // at the pole the full earth rate is lost
        {-90.0, 0.0, 15.0},   // the other way round in the south
        {30.0, 0.0, -7.5},    // sin 30 = 1/2
        {0.0, 90.0, 15.0},    // correction alone, set for the pole
        {0.0, -30.0, -7.5},
        {0.0, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        set_aircraft(0.0, c.latitude_deg, 100.0, 0.0);
        advance(0.0);
        GyroUnit unit = unit_showing(200.0, 0.0);
        for (int i = 0; i < 3600; ++i) {
            advance(1.0);
            unit.step(kGyroFree, false, kCourseNeutral, c.setting_deg);
        }
        EXPECT_NEAR(angle_diff(unit.course_signal(), 200.0), c.change_per_hour_deg, 1e-6)
            << "latitude " << c.latitude_deg << " setting " << c.setting_deg;
    }
}

TEST_F(GyroUnitTest, ConvergenceFollowsLongitudeEvenWithTheClockStopped) {
    set_aircraft(10.0, 30.0, 100.0, 0.0);
    advance(0.0);
    GyroUnit unit = unit_showing(100.0, 1.0 / 1800.0);
    set_aircraft(11.0, 30.0, 100.0, 0.0);
    advance(0.0);
    unit.step(kGyroFree, false, kCourseNeutral, 0.0);
    // One degree east at 30 north turns the gyro by sin 30 = 0.5 degree.
    EXPECT_NEAR(unit.convergence_angle, 0.5, 1e-9);
    EXPECT_NEAR(unit.course_signal(), 99.5, 1e-9);
}

TEST_F(GyroUnitTest, AntimeridianCrossingTurnsTheGyroByTheShortChangeOnly) {
    set_aircraft(179.5, 30.0, 100.0, 0.0);
    advance(0.0);
    GyroUnit unit = unit_showing(100.0);
    set_aircraft(-179.5, 30.0, 100.0, 0.0);  // one degree east, across 180
    advance(0.0);
    unit.step(kGyroFree, false, kCourseNeutral, 30.0);
    EXPECT_NEAR(unit.convergence_angle, 0.5, 1e-9);
    EXPECT_NEAR(unit.course_signal(), 99.5, 1e-9);

    set_aircraft(179.5, 30.0, 100.0, 0.0);  // and back west
    advance(0.0);
    unit.step(kGyroFree, false, kCourseNeutral, 30.0);
    EXPECT_NEAR(unit.convergence_angle, 0.0, 1e-9);
}

TEST_F(GyroUnitTest, CourseSelectorSlewsAFreeUnitAndNothingElse) {
    struct Case {
        std::int32_t selector;
        double change_deg;
    };
    const Case cases[] = {{kCourseSlewDown, -6.0}, {kCourseSlewUp, 6.0}, {3, 0.0}, {-1, 0.0}};
    for (const Case& c : cases) {
        set_aircraft(0.0, 60.0, 100.0, 0.0);
        advance(0.0);
        GyroUnit unit = unit_showing(180.0, 1.0 / 1800.0);
        set_aircraft(5.0, 60.0, 100.0, 0.0);  // no convergence while slewing or held
        advance(2.0);
        unit.step(kGyroFree, false, c.selector, 0.0);
        EXPECT_NEAR(unit.course_signal(), 180.0 + c.change_deg, 1e-9) << c.selector;
        EXPECT_EQ(unit.convergence_angle, 0.0) << c.selector;
    }
}

TEST_F(GyroUnitTest, MatchingDeadBandsAreInclusive) {
    // Heading 0 keeps the numbers exact: signal 0 + e against reference 0.
    struct Case {
        bool fast;
        double signal_deg;    // reference is 0
        double moved_by_deg;  // over one second
    };
    const Case cases[] = {
        {false, 0.1, 0.0},
        {false, 0.1000001, -0.5},
        {true, 0.8, 0.0},
        {true, 0.8000001, -3.0},
    };
    for (const Case& c : cases) {
        set_aircraft(0.0, 0.0, 0.0, 0.0);
        advance(0.0);
        GyroUnit unit = unit_showing(0.0);
        unit.error_angle = -c.signal_deg;
        ASSERT_EQ(unit.course_signal(), c.signal_deg);
        advance(1.0);
        unit.step(kGyroTrueMatching, c.fast, kCourseNeutral, 0.0);
        EXPECT_NEAR(angle_diff(unit.course_signal(), c.signal_deg), c.moved_by_deg, 1e-9)
            << (c.fast ? "fast " : "slow ") << c.signal_deg;
    }
    // Signal below the reference: reference 0.1, signal exactly 0.
    set_aircraft(0.0, 0.0, 0.1, 0.0);
    advance(0.0);
    GyroUnit below = unit_showing(0.0);
    below.error_angle = 0.1;
    ASSERT_EQ(below.course_signal(), 0.0);
    advance(1.0);
    below.step(kGyroTrueMatching, false, kCourseNeutral, 0.0);
    EXPECT_EQ(below.error_angle, 0.1);
}

TEST_F(GyroUnitTest, MatchingTurnsTheShorterWayAtItsRate) {
    struct Case {
        std::int32_t mode;
        bool fast;
        double heading, variation, signal, dt, expected;
    };
    const Case cases[] = {
        {kGyroTrueMatching, false, 100.0, 20.0, 90.0, 2.0, 91.0},  // up towards 100
        {kGyroTrueMatching, true, 100.0, 20.0, 90.0, 2.0, 96.0},
        {kGyroMagneticMatching, false, 100.0, 20.0, 90.0, 2.0, 89.0},  // down towards 80
        {kGyroMagneticMatching, false, 10.0, 20.0, 340.0, 2.0, 341.0}, // up towards 350
        {kGyroTrueMatching, false, 10.0, 0.0, 350.0, 2.0, 351.0},      // up across north
        {kGyroTrueMatching, false, 350.0, 0.0, 10.0, 2.0, 9.0},        // down across north
        {7, false, 100.0, 20.0, 90.0, 2.0, 91.0},  // any other mode matches true heading
        {-1, false, 100.0, 20.0, 90.0, 2.0, 91.0},
    };
    for (const Case& c : cases) {
        set_aircraft(0.0, 0.0, c.heading, c.variation);
        advance(0.0);
        GyroUnit unit = unit_showing(c.signal, 1.0 / 1800.0);
        set_aircraft(3.0, 45.0, c.heading, c.variation);  // no convergence or drift in matching
        advance(c.dt);
        unit.step(c.mode, c.fast, kCourseSlewUp, 60.0);
        EXPECT_NEAR(unit.course_signal(), c.expected, 1e-9)
            << "mode " << c.mode << " heading " << c.heading << " signal " << c.signal;
        EXPECT_EQ(unit.convergence_angle, 0.0);
    }
}

TEST_F(GyroUnitTest, MatchingOvershootsAndTurnsBack) {
    set_aircraft(0.0, 0.0, 10.0, 0.0);
    advance(0.0);
    GyroUnit unit = unit_showing(9.0);
    advance(4.0);
    unit.step(kGyroTrueMatching, false, kCourseNeutral, 0.0);
    EXPECT_NEAR(unit.course_signal(), 11.0, 1e-9);  // 2 degrees in 4 s, past 10
    advance(4.0);
    unit.step(kGyroTrueMatching, false, kCourseNeutral, 0.0);
    EXPECT_NEAR(unit.course_signal(), 9.0, 1e-9);
}

TEST_F(GyroUnitTest, PlainDifferenceAcrossNorthKeepsTurningUntilOnOneSide) {
    // Reference 359.95, signal 0.02: 0.07 apart on the dial, 359.93 as numbers.
    set_aircraft(0.0, 0.0, 359.95, 0.0);
    advance(0.0);
    GyroUnit unit = unit_showing(0.02);
    advance(0.1);
    unit.step(kGyroTrueMatching, false, kCourseNeutral, 0.0);
    EXPECT_NEAR(unit.course_signal(), 359.97, 1e-9);  // 0.05 down, across 0
    const double error_after = unit.error_angle;
    advance(0.1);
    unit.step(kGyroTrueMatching, false, kCourseNeutral, 0.0);
    EXPECT_EQ(unit.error_angle, error_after);  // now 0.02 apart: inside the band
}

TEST(ClockwiseIsShorter, Table) {
    struct Case {
        double target, current;
        bool expected;
    };
    const Case cases[] = {
        {90.0, 270.0, true},    // half turn, target in the first half: increase
        {270.0, 90.0, false},   // half turn, target in the second half: decrease
        {180.0, 0.0, true},
        {0.0, 180.0, true},
        {200.0, 20.0, false},
        {180.0, 180.0, false},  // equal, target up to 180
        {270.0, 270.0, true},   // equal, target above 180
        {10.0, 5.0, true},
        {10.0, 15.0, false},
        {10.0, 350.0, true},    // up across north
        {350.0, 10.0, false},   // down across north
        {350.0, 340.0, true},
        {350.0, 355.0, false},
        {359.95, 0.02, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clockwise_is_shorter(c.target, c.current), c.expected)
            << c.target << ", " << c.current;
    }
}

// Which sampler input goes bad, and how.
struct BadInput {
    const char* name;
    void (*apply)(emu::EmulatedHost& host);
    double latitude_setting;
};

const BadInput kBadInputs[] = {
    {"heading NaN", [](emu::EmulatedHost& h) { h.set_token(kHeadingToken, kNaN); }, 30.0},
    {"variation inf", [](emu::EmulatedHost& h) { h.set_token(kVariationToken, kInf); }, 30.0},
    {"latitude NaN", [](emu::EmulatedHost& h) { h.set_token(kLatitudeToken, kNaN); }, 30.0},
    {"longitude NaN", [](emu::EmulatedHost& h) { h.set_token(kLongitudeToken, kNaN); }, 30.0},
    {"clock inf", [](emu::EmulatedHost& h) { h.set_token(kTimeToken604, kInf); }, 30.0},
    {"clock NaN", [](emu::EmulatedHost& h) { h.set_token(kTimeToken604, kNaN); }, 30.0},
    {"latitude setting NaN", [](emu::EmulatedHost&) {}, kNaN},
    {"latitude setting -inf", [](emu::EmulatedHost&) {}, -kInf},
};

TEST_F(GyroUnitTest, NonFiniteInputsLeaveTheAnglesAsTheyWere) {
    const std::int32_t modes[] = {kGyroMagneticMatching, kGyroFree, kGyroTrueMatching};
    const std::int32_t selectors[] = {kCourseNeutral, kCourseSlewDown};
    for (const BadInput& bad : kBadInputs) {
        for (std::int32_t mode : modes) {
            for (std::int32_t selector : selectors) {
                set_aircraft(20.0, 30.0, 100.0, 5.0);
                host.set_token(kTimeToken604, 50.0);
                advance(0.0);
                GyroUnit unit = unit_showing(40.0, 1.0 / 1800.0);
                unit.convergence_angle = 3.0;
                const double error = unit.error_angle;

                set_aircraft(21.0, 30.0, 100.0, 5.0);
                bad.apply(host);
                advance(2.0);
                unit.step(mode, false, selector, bad.latitude_setting);
                EXPECT_EQ(unit.error_angle, error) << bad.name << " mode " << mode;
                EXPECT_EQ(unit.convergence_angle, 3.0) << bad.name << " mode " << mode;
            }
        }
    }
}

TEST_F(GyroUnitTest, UnitRecoversOnceTheHostIsSaneAgain) {
    set_aircraft(0.0, 0.0, 100.0, 0.0);
    advance(0.0);
    GyroUnit unit = unit_showing(40.0);
    host.set_token(kTimeToken604, kNaN);
    sampler->update();
    unit.step(kGyroFree, false, kCourseSlewUp, 0.0);
    EXPECT_EQ(unit.course_signal(), 40.0);

    host.set_token(kTimeToken604, 10.0);
    sampler->update();  // measured from a NaN sample: skipped too
    unit.step(kGyroFree, false, kCourseSlewUp, 0.0);
    EXPECT_EQ(unit.course_signal(), 40.0);

    advance(1.0);
    unit.step(kGyroFree, false, kCourseSlewUp, 0.0);
    EXPECT_NEAR(unit.course_signal(), 43.0, 1e-9);
}

TEST_F(GyroUnitTest, OverflowingStepLeavesTheAnglesFinite) {
    set_aircraft(0.0, 0.0, 100.0, 0.0);
    advance(0.0);
    GyroUnit unit = unit_showing(40.0);
    host.set_token(kTimeToken604, 1e308);  // finite, but 3 deg/s times it is not
    sampler->update();
    unit.step(kGyroFree, false, kCourseSlewDown, 0.0);
    EXPECT_EQ(unit.course_signal(), 40.0);
    unit.step(kGyroTrueMatching, true, kCourseNeutral, 0.0);
    EXPECT_EQ(unit.course_signal(), 40.0);
}

TEST_F(GyroUnitTest, NonFiniteHeadingGivesANonFiniteSignalForThatFrameOnly) {
    set_aircraft(0.0, 0.0, 100.0, 0.0);
    advance(0.0);
    GyroUnit unit = unit_showing(40.0);
    host.set_token(kHeadingToken, kNaN);
    advance(1.0);
    unit.step(kGyroTrueMatching, false, kCourseNeutral, 0.0);
    EXPECT_TRUE(std::isnan(unit.course_signal()));
    host.set_token(kHeadingToken, 100.0);
    advance(0.0);
    EXPECT_EQ(unit.course_signal(), 40.0);
}

}  // namespace
}  // namespace kodrix
