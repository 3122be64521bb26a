#include "ks8/ks8_course_system.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/angles.h"
#include "ks8_test_support.h"
#include "support/host_fixture.h"

namespace kodrix {
namespace {

using namespace kodrix::testing;
using Calls = std::vector<std::string>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char* const kInputs[] = {"KS8 Power Source Line", "KS8 Mode Selector",
                               "KS8 Course Selector",   "KS8 Hemisphere Switch",
                               "KS8 GyroUnit Switch",   "KS8 Latitude Selector",
                               "KS8 Coord Button"};
constexpr const char* kPrimary = "KS8 Primary Course Signal";
constexpr const char* kSecondary = "KS8 Secondary Course Signal";

class Ks8Test : public HostTest {
protected:
    Ks8Test() {
        gyro_random_seeded = false;
        host.set_token(kLongitudeToken, 0.0);
        host.set_token(kLatitudeToken, 0.0);
        host.set_token(kHeadingToken, kHeading);
        host.set_token(kVariationToken, kVariation);
        host.set_token(kTimeToken604, 0.0);
    }

    void build() { ks8 = std::make_unique<Ks8CourseSystem>(); }

    // The panel as the tests mostly want it: powered, mode 0, course
    // selector 2 (slew up), northern hemisphere, unit 1 primary, slow matching.
    void set_panel(double power = 1.0, double mode = 0.0, double course = 2.0,
                   double hemisphere = 0.0, double gyro_switch = 0.0, double latitude_deg = 0.0,
                   double coord = 0.0) {
        host.set_var("KS8 Power Source Line", power);
        host.set_var("KS8 Mode Selector", mode);
        host.set_var("KS8 Course Selector", course);
        host.set_var("KS8 Hemisphere Switch", hemisphere);
        host.set_var("KS8 GyroUnit Switch", gyro_switch);
        host.set_var("KS8 Latitude Selector", latitude_deg, "degree");
        host.set_var("KS8 Coord Button", coord);
    }

    // Both units showing `signal_deg` at the present heading, with no drift.
    void set_units(double unit_1_deg, double unit_2_deg) {
        for (auto [unit, signal] : {std::pair{&ks8->gyro_unit_1, unit_1_deg},
                                    std::pair{&ks8->gyro_unit_2, unit_2_deg}}) {
            unit->convergence_angle = 0.0;
            unit->error_angle = host.token(kHeadingToken) - signal;
            unit->drift_rate = 0.0;
        }
    }

    void run(double dt) {
        host.set_token(kTimeToken604, host.token(kTimeToken604) + dt);
        ks8->update();
    }

    double primary() const { return host.var(kPrimary, "degree"); }
    double secondary() const { return host.var(kSecondary, "degree"); }

    // True heading 100, magnetic 80: from a signal of 90, magnetic matching
    // turns down and true-heading matching turns up.
    static constexpr double kHeading = 100.0;
    static constexpr double kVariation = 20.0;

    std::unique_ptr<Ks8CourseSystem> ks8;
};

TEST_F(Ks8Test, ConstructionAndDestructionTalkToTheHostInOrder) {
    host.record_calls(true);
    build();

    Calls expected;
    for (const char* name : kInputs) {
        expected.push_back(std::string("check_named_variable(") + name + ")");
        expected.push_back(std::string("register_named_variable(") + name + ")");
        if (expected.size() == 2) {
            for (const char* unit : {"number", "degree", "radian", "feet per second",
                                     "kilometer per hour", "kilometer", "meters per second",
                                     "meters"}) {
                expected.push_back(std::string("get_units_enum(") + unit + ")");
            }
        }
    }
    for (const char* name : {kPrimary, kSecondary}) {
        expected.push_back(std::string("check_named_variable(") + name + ")");
        expected.push_back(std::string("register_named_variable(") + name + ")");
    }
    for (const char* token : {"72", "71", "86", "82", "604"}) {
        expected.push_back(std::string("initialize_var(") + token + ")");
        expected.push_back(std::string("lookup_var(") + token + ")");
    }
    EXPECT_EQ(host.calls(), expected);
    EXPECT_EQ(ks8->primary_course_signal.id(), host.find_var(kPrimary));
    EXPECT_TRUE(ks8->primary_course_signal.owned());
    EXPECT_FALSE(ks8->power_source_line.owned());

    const NamedVarId primary_id = host.find_var(kPrimary);
    const NamedVarId secondary_id = host.find_var(kSecondary);
    host.clear_calls();
    ks8.reset();
    EXPECT_EQ(host.calls(),
              (Calls{"get_name_of_named_variable(" + std::to_string(secondary_id) + ")",
                     std::string("unregister_var_by_name(") + kSecondary + ")",
                     "get_name_of_named_variable(" + std::to_string(primary_id) + ")",
                     std::string("unregister_var_by_name(") + kPrimary + ")"}));
    EXPECT_FALSE(host.var_exists(kPrimary));
    EXPECT_FALSE(host.var_exists(kSecondary));
    for (const char* name : kInputs) EXPECT_TRUE(host.var_exists(name)) << name;
}

TEST_F(Ks8Test, UnitsDrawTheirAnglesInConstructionOrder) {
    build();
    ReferenceLcg lcg{kTestSeed};
    const int r1 = lcg.next(), r2 = lcg.next(), r3 = lcg.next(), r4 = lcg.next();
    EXPECT_DOUBLE_EQ(ks8->gyro_unit_1.error_angle, r1 * 360.0 / 32767.0);
    EXPECT_DOUBLE_EQ(ks8->gyro_unit_1.drift_rate, 1.0 / 1800.0 - r2 / 900.0 / 32767.0);
    EXPECT_DOUBLE_EQ(ks8->gyro_unit_2.error_angle, r3 * 360.0 / 32767.0);
    EXPECT_DOUBLE_EQ(ks8->gyro_unit_2.drift_rate, 1.0 / 1800.0 - r4 / 900.0 / 32767.0);
    EXPECT_EQ(ks8->gyro_unit_1.sampler, &ks8->sampler);
    EXPECT_EQ(ks8->gyro_unit_2.sampler, &ks8->sampler);
}

TEST_F(Ks8Test, PoweredUpdateReadsThePanelThenWritesPrimaryFirst) {
    set_panel();
    build();
    set_units(90.0, 90.0);
    host.record_calls(true);
    run(1.0);
    // Primary matches magnetic 80 from 90 (down 0.5); secondary slews up 3.
    EXPECT_EQ(host.calls(),
              (Calls{"lookup_var(72)", "lookup_var(71)", "lookup_var(86)", "lookup_var(82)",
                     "lookup_var(604)",
                     "get_named_variable_typed_value(KS8 Power Source Line, number)",
                     "get_named_variable_typed_value(KS8 Mode Selector, number)",
                     "get_named_variable_typed_value(KS8 Coord Button, number)",
                     "get_named_variable_typed_value(KS8 Course Selector, number)",
                     "get_named_variable_typed_value(KS8 Hemisphere Switch, number)",
                     "get_named_variable_typed_value(KS8 Latitude Selector, degree)",
                     "get_named_variable_typed_value(KS8 GyroUnit Switch, number)",
                     "set_named_variable_typed_value(KS8 Primary Course Signal, 89.5, degree)",
                     "set_named_variable_typed_value(KS8 Secondary Course Signal, 93, degree)"}));
}

TEST_F(Ks8Test, PowerIsTruncatedBeforeItIsTested) {
    struct Case {
        double power;
        bool on;
    };
    const Case cases[] = {{0.0, false}, {0.9, false}, {-0.9, false}, {kNaN, false},
                          {1.0, true},  {-1.0, true}, {1.5, true},   {1e300, true}};
    for (const Case& c : cases) {
        set_panel(c.power);
        build();
        set_units(90.0, 90.0);
        host.set_var(kPrimary, -1.0, "degree");
        host.set_var(kSecondary, -1.0, "degree");
        host.record_calls(true);
        host.clear_calls();
        run(1.0);
        host.record_calls(false);
        if (c.on) {
            EXPECT_NEAR(primary(), 89.5, 1e-9) << c.power;
            EXPECT_NEAR(secondary(), 93.0, 1e-9) << c.power;
        } else {
            // Only the sample and the power line; nothing stepped or written.
            EXPECT_EQ(host.calls().size(), 6u) << c.power;
            EXPECT_EQ(primary(), -1.0) << c.power;
            EXPECT_EQ(secondary(), -1.0) << c.power;
            EXPECT_EQ(ks8->gyro_unit_1.error_angle, kHeading - 90.0);
            EXPECT_EQ(ks8->gyro_unit_2.error_angle, kHeading - 90.0);
        }
        ks8.reset();
    }
}

TEST_F(Ks8Test, ModeSelectorSetsBothUnitsModes) {
    // Over one second from 90: magnetic matching -0.5, true-heading matching
    // +0.5, free with the course selector at 2 +3.
    constexpr double kMagnetic = -0.5, kTrue = 0.5, kFree = 3.0;
    struct Case {
        double selector;
        double primary_change, secondary_change;
    };
    const Case cases[] = {
        {0.0, kMagnetic, kFree}, {1.0, kFree, kMagnetic},  {2.0, kTrue, kMagnetic},
        {2.7, kTrue, kMagnetic}, {1.9, kFree, kMagnetic},  {-0.5, kMagnetic, kFree},
        {-1.0, kTrue, kFree},    {3.0, kTrue, kFree},      {7.0, kTrue, kFree},
        {kNaN, kMagnetic, kFree}, {1e12, kTrue, kFree},    {-1e12, kTrue, kFree},
    };
    for (const Case& c : cases) {
        set_panel(1.0, c.selector, 2.0, 0.0, 0.0, 60.0);
        build();
        set_units(90.0, 90.0);
        run(1.0);
        EXPECT_NEAR(primary(), 90.0 + c.primary_change, 1e-9) << "selector " << c.selector;
        EXPECT_NEAR(secondary(), 90.0 + c.secondary_change, 1e-9) << "selector " << c.selector;
        ks8.reset();
    }
}

TEST_F(Ks8Test, CoordButtonMakesEveryMatchingUnitFast) {
    struct Case {
        double coord;
        double primary_change, secondary_change;  // mode 2: true and magnetic matching
    };
    const Case cases[] = {{0.0, 0.5, -0.5}, {0.5, 0.5, -0.5}, {1.0, 3.0, -3.0}, {-2.0, 3.0, -3.0}};
    for (const Case& c : cases) {
        set_panel(1.0, 2.0, 0.0, 0.0, 0.0, 0.0, c.coord);
        build();
        set_units(90.0, 90.0);
        run(1.0);
        EXPECT_NEAR(primary(), 90.0 + c.primary_change, 1e-9) << c.coord;
        EXPECT_NEAR(secondary(), 90.0 + c.secondary_change, 1e-9) << c.coord;
        ks8.reset();
    }
}

TEST_F(Ks8Test, HemisphereSwitchNegatesTheLatitudeSettingForTheFreeUnit) {
    // At the equator the earth rate is nil, so a free unit with no drift turns
    // only by the correction: the signal rises by sin(setting) per 240 s.
    struct Case {
        double hemisphere, selector_deg;
        double setting_deg;  // what the free unit must have received
    };
    const Case cases[] = {{0.0, 50.0, 50.0}, {1.0, 50.0, -50.0}, {-1.0, 50.0, -50.0},
                          {0.7, 50.0, 50.0}, {1.0, -30.0, 30.0}};
    for (const Case& c : cases) {
        // Mode 0: unit 2 runs free as secondary; mode 1: unit 1 as primary.
        for (double mode : {0.0, 1.0}) {
            set_panel(1.0, mode, 0.0, c.hemisphere, 0.0, c.selector_deg);
            build();
            set_units(90.0, 90.0);
            run(240.0);
            const double free_signal = mode == 0.0 ? secondary() : primary();
            EXPECT_NEAR(angle_diff(free_signal, 90.0),
                        std::sin(c.setting_deg * kRadiansPerDegree), 1e-9)
                << "hemisphere " << c.hemisphere << " mode " << mode;
            ks8.reset();
        }
    }
}

TEST_F(Ks8Test, GyroUnitSwitchExchangesRolesInTheSameUpdate) {
    set_panel(1.0, 2.0, 0.0);  // primary true-heading matching, secondary magnetic
    build();
    set_units(90.0, 200.0);

    run(1.0);
    EXPECT_NEAR(primary(), 90.5, 1e-9);     // unit 1 up towards 100
    EXPECT_NEAR(secondary(), 199.5, 1e-9);  // unit 2 down towards 80

    host.set_var("KS8 GyroUnit Switch", 1.0);
    run(1.0);
    EXPECT_NEAR(primary(), 199.0, 1e-9);    // unit 2 now matches the true heading, still down
    EXPECT_NEAR(secondary(), 90.0, 1e-9);   // unit 1 now magnetic, down towards 80

    host.set_var("KS8 GyroUnit Switch", 0.4);  // truncates to 0: back again
    run(1.0);
    EXPECT_NEAR(primary(), 90.5, 1e-9);
    EXPECT_NEAR(secondary(), 198.5, 1e-9);
}

TEST_F(Ks8Test, PowerOffAndOnResumesWithoutAJump) {
    set_panel(1.0, 1.0, 0.0);  // primary free, drifting
    build();
    set_units(90.0, 90.0);
    ks8->gyro_unit_1.drift_rate = 1.0 / 1800.0;  // 2 degrees per hour
    run(1.0);
    const double before = primary();
    EXPECT_NEAR(before, 90.0 - 1.0 / 1800.0, 1e-12);
    const double unit_1_error = ks8->gyro_unit_1.error_angle;
    const double unit_2_error = ks8->gyro_unit_2.error_angle;

    host.set_var("KS8 Power Source Line", 0.0);
    for (int i = 0; i < 60; ++i) run(60.0);  // an hour without power
    EXPECT_EQ(primary(), before);
    EXPECT_EQ(ks8->gyro_unit_1.error_angle, unit_1_error);
    EXPECT_EQ(ks8->gyro_unit_2.error_angle, unit_2_error);

    host.set_var("KS8 Power Source Line", 1.0);
    run(1.0);  // one more second, not an hour and a second
    EXPECT_NEAR(primary(), 90.0 - 2.0 / 1800.0, 1e-12);
}

TEST_F(Ks8Test, NonFiniteLatitudeSelectorHoldsTheUnits) {
    set_panel(1.0, 0.0, 0.0);
    build();
    set_units(90.0, 90.0);
    host.set_var("KS8 Latitude Selector", kNaN, "degree");
    run(1.0);
    EXPECT_EQ(ks8->gyro_unit_1.error_angle, kHeading - 90.0);
    EXPECT_EQ(ks8->gyro_unit_2.error_angle, kHeading - 90.0);
    EXPECT_EQ(primary(), 90.0);

    host.set_var("KS8 Latitude Selector", 0.0, "degree");
    run(1.0);
    EXPECT_NEAR(primary(), 89.5, 1e-9);
}

TEST_F(Ks8Test, OutputsReadInOtherUnitsAgree) {
    set_panel(1.0, 2.0, 0.0);
    build();
    set_units(90.0, 270.0);
    run(1.0);
    EXPECT_NEAR(host.var(kPrimary, "radian"), 90.5 * kRadiansPerDegree, 1e-12);
    EXPECT_NEAR(host.var(kSecondary, "radian"), 270.5 * kRadiansPerDegree, 1e-12);  // up, across 360 is shorter
}

}  // namespace
}  // namespace kodrix
