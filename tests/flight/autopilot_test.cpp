// The autopilot: heading hold on the magnetic bug, bank limit and roll rate,
// the short way round, and manoeuvres.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "flight/autopilot.h"

namespace kodrix::fly {
namespace {

constexpr double kDt = 1.0 / 18.0;

class AutopilotTest : public ::testing::Test {
protected:
    AircraftState aircraft(double heading) {
        AircraftState a;
        a.position = {50, 10};
        a.true_heading_deg = heading;
        a.tas_mps = 200;
        a.pitch_deg = 2;
        return a;
    }
    // Flies `seconds`, returning the largest bank magnitude seen.
    double fly(Autopilot& ap, AircraftState& a, double seconds) {
        double max_bank = 0.0;
        const int frames = static_cast<int>(std::lround(seconds / kDt));
        for (int i = 0; i < frames; ++i) {
            ap.step(a, t_, kDt);
            advance(a, Wind{}, kDt);
            t_ += kDt;
            max_bank = std::max(max_bank, std::fabs(a.bank_deg));
        }
        return max_bank;
    }
    double t_ = 0.0;
};

TEST_F(AutopilotTest, HoldsTheStartHeadingUntilABugArrives) {
    AircraftState a = aircraft(123);
    Autopilot ap(AutopilotSettings{}, 123, 2);
    EXPECT_EQ(fly(ap, a, 60), 0.0);
    EXPECT_NEAR(a.true_heading_deg, 123.0, 1e-9);
    EXPECT_FALSE(ap.bug_set());
}

TEST_F(AutopilotTest, TheBugIsMagnetic) {
    // Variation 10 E: magnetic 100 is true 110.
    AircraftState a = aircraft(30);
    Autopilot ap(AutopilotSettings{}, 30, 2);
    ap.set_bug(100, 10.0);
    EXPECT_DOUBLE_EQ(ap.target_true_heading_deg(), 110.0);
    fly(ap, a, 200);  // 80 degrees at about 0.75 deg/s, then settling
    EXPECT_NEAR(a.true_heading_deg, 110.0, 0.1);
    EXPECT_NEAR(a.bank_deg, 0.0, 0.2);
}

TEST_F(AutopilotTest, BankLimitAndRollRate) {
    struct Case {
        double limit, roll_rate;
    };
    for (const Case& c : {Case{15, 5}, Case{25, 10}, Case{10, 3}}) {
        AircraftState a = aircraft(0);
        AutopilotSettings s;
        s.bank_limit_deg = c.limit;
        s.roll_rate_deg_s = c.roll_rate;
        Autopilot ap(s, 0, 2);
        ap.set_bug(90, 0.0);
        // After one second the wings have rolled right at most the roll rate.
        fly(ap, a, 1.0);
        EXPECT_GT(a.bank_deg, 0.0);
        EXPECT_LE(a.bank_deg, c.roll_rate * 1.0 + 1e-9);
        const double bank_after_1s = std::fabs(a.bank_deg);
        const double max_bank = std::max(bank_after_1s, fly(ap, a, 300));
        EXPECT_LE(max_bank, c.limit + 1e-9);
        EXPECT_GT(max_bank, c.limit - 0.1);
        EXPECT_NEAR(a.true_heading_deg, 90.0, 0.1);
    }
}

TEST_F(AutopilotTest, TurnsTheShortWayRound) {
    struct Case {
        double heading, bug;
        double sign;
    };
    for (const Case& c : {Case{10, 350, -1}, Case{350, 10, 1}, Case{100, 90, -1}, Case{180, 359, 1}, Case{180, 1, -1}}) {
        AircraftState a = aircraft(c.heading);
        Autopilot ap(AutopilotSettings{}, c.heading, 2);
        ap.set_bug(static_cast<std::uint32_t>(c.bug), 0.0);
        fly(ap, a, 0.5);
        EXPECT_GT(a.bank_deg * c.sign, 0.0) << c.heading << " to " << c.bug;
    }
}

TEST_F(AutopilotTest, BugBeyondAFullTurnWraps) {
    Autopilot ap(AutopilotSettings{}, 0, 2);
    ap.set_bug(365, 0.0);
    EXPECT_EQ(ap.bug_deg(), 5u);
    EXPECT_DOUBLE_EQ(ap.target_true_heading_deg(), 5.0);
}

TEST_F(AutopilotTest, ManoeuvreHoldsBankAndPitchThenHeadingHoldResumes) {
    AircraftState a = aircraft(0);
    Autopilot ap(AutopilotSettings{}, 0, 2);
    ap.start_manoeuvre(-45, 35, 30.0);
    fly(ap, a, 15);
    EXPECT_TRUE(ap.in_manoeuvre());
    EXPECT_NEAR(a.bank_deg, -45.0, 0.01);  // 45 degrees at 5 deg/s, then easing in
    EXPECT_NEAR(a.pitch_deg, 35.0, 0.01);
    fly(ap, a, 16);
    EXPECT_FALSE(ap.in_manoeuvre());
    fly(ap, a, 240);
    EXPECT_NEAR(wrap180(a.true_heading_deg), 0.0, 0.1);  // back on the heading it held
    EXPECT_NEAR(a.pitch_deg, 2.0, 1e-9);
    EXPECT_NEAR(a.bank_deg, 0.0, 0.2);
}

}  // namespace
}  // namespace kodrix::fly
