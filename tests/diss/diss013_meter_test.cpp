// The DISS-013 meter driven through the emulated host. Expected speeds and
// drifts come from the instrument's rules: S = sqrt(L^2 + T^2), drift =
// asin(T / S), speed noise S * (1 + 0.004 * (1 - 2 r1 / 32767)), drift noise
// (pi / 540) * (1 - 2 r2 / 32767), with r1 and r2 taken from an LCG written
// here independently of the module's.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/random_source.h"
#include "diss/diss013_meter.h"
#include "support/host_fixture.h"

namespace kodrix {
namespace {

using Calls = std::vector<std::string>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.141592653589793;

constexpr double kRangeLowFps = 164.04199475065616;    // 50 m/s
constexpr double kRangeHighFps = 1184.3832020997374;   // 361 m/s
constexpr double kThirdDegreeRad = kPi / 540.0;

// Velocity of the usual measuring case: 300 ft/s along, 400 ft/s across,
// so S = 500 ft/s and the drift is atan2(400, 300).
constexpr double kAlongFps = 300.0;
constexpr double kAcrossFps = 400.0;
constexpr double kSpeedFps = 500.0;
constexpr double kDriftRad = 0.9272952180016122;  // 53.130102354 degrees

constexpr double kTolerance = 1e-9;

// The module's generator, restated: state * 214013 + 2531011 mod 2^32,
// draw = bits 16..30 of the new state.
constexpr std::uint32_t kLcgMultiplier = 214013u;
constexpr std::uint32_t kLcgIncrement = 2531011u;

struct Lcg {
    std::uint32_t state;
    int next() {
        state = state * kLcgMultiplier + kLcgIncrement;
        return static_cast<int>((state >> 16) & 0x7FFFu);
    }
};

// A seed whose first two draws are r1 and r2. The state after the first draw
// is searched over its free bits (0..15 and 31); the seed is that state
// stepped back once with the multiplier's inverse mod 2^32.
std::uint32_t seed_drawing(int r1, int r2) {
    std::uint32_t inverse = kLcgMultiplier;  // Newton: each step doubles the good bits
    for (int i = 0; i < 5; ++i) inverse *= 2u - kLcgMultiplier * inverse;
    for (std::uint32_t free = 0; free < (1u << 17); ++free) {
        const std::uint32_t first = ((free >> 16) << 31) |
                                    (static_cast<std::uint32_t>(r1) << 16) | (free & 0xFFFFu);
        const std::uint32_t second = first * kLcgMultiplier + kLcgIncrement;
        if (static_cast<int>((second >> 16) & 0x7FFFu) == r2)
            return (first - kLcgIncrement) * inverse;
    }
    ADD_FAILURE() << "no seed draws " << r1 << ", " << r2;
    return 0;
}

double noisy_speed_fps(double s_fps, int r1) { return s_fps * (1.0 + 0.004 * (1.0 - 2.0 * r1 / 32767.0)); }
double noisy_drift_rad(double d_rad, int r2) { return d_rad + kThirdDegreeRad * (1.0 - 2.0 * r2 / 32767.0); }

struct Inputs {
    double power = 1.0;
    double mode = 1.0;
    double bank_deg = 0.0;
    double pitch_deg = 0.0;
    double along_fps = kAlongFps;    // token 551
    double across_fps = kAcrossFps;  // token 552
};

struct Outputs {
    double good;
    double speed_fps;
    double drift_rad;
};

class DissMeterTest : public testing::HostTest {
protected:
    void apply(const Inputs& in) {
        host.set_var("DISS Power Source Line", in.power, "number");
        host.set_var("NAS1 Mode Switch", in.mode, "number");
        host.set_token(79, in.bank_deg);
        host.set_token(77, in.pitch_deg);
        host.set_token(551, in.along_fps);
        host.set_token(552, in.across_fps);
    }
    // Outputs as some earlier update left them, to show what is held.
    void preset(const Outputs& out) {
        host.set_var("DISS Signal Good", out.good, "number");
        host.set_var("DISS Wspeed", out.speed_fps, "feet per second");
        host.set_var("DISS Drift Angle", out.drift_rad, "radian");
    }
    Outputs outputs() const {
        return {host.var("DISS Signal Good", "number"), host.var("DISS Wspeed", "feet per second"),
                host.var("DISS Drift Angle", "radian")};
    }
    // One update over outputs that an earlier update left as `held`.
    Outputs update_over(const Inputs& in, const Outputs& held) {
        apply(in);
        preset(held);
        meter.update();
        return outputs();
    }
    // A lost signal writes only the flag; speed and drift stay as `held`.
    static void expect_lost_holding(const Outputs& out, const Outputs& held) {
        EXPECT_EQ(out.good, 0.0);
        EXPECT_EQ(out.speed_fps, held.speed_fps);
        EXPECT_EQ(out.drift_rad, held.drift_rad);
    }
    // Runs one update from the test seed and returns how many numbers it drew.
    int update_counting_draws() {
        random_seed(testing::kTestSeed);
        meter.update();
        const int after = random_draw();
        Lcg lcg{testing::kTestSeed};
        for (int drawn = 0; drawn < 8; ++drawn)
            if (lcg.next() == after) return drawn;
        return -1;
    }
    Calls token_refreshes() const {
        Calls out;
        for (const std::string& c : host.calls())
            if (c.rfind("lookup_var(", 0) == 0) out.push_back(c);
        return out;
    }

    Diss013Meter meter;
};

const Outputs kHeld = {1.0, 777.0, 0.125};

// ---- construction and destruction ----

class DissMeterLifeTest : public testing::HostTest {};

TEST_F(DissMeterLifeTest, ConstructionBindsFiveVariablesThenFourTokensAndWritesNothing) {
    host.set_var("NAS1 Mode Switch", 2.0, "number");  // the NAS-1 made it first
    host.record_calls(true);
    {
        Diss013Meter meter;
        const Calls expected = {
            "check_named_variable(DISS Power Source Line)",
            "register_named_variable(DISS Power Source Line)",
            "get_units_enum(number)",
            "get_units_enum(degree)",
            "get_units_enum(radian)",
            "get_units_enum(feet per second)",
            "get_units_enum(kilometer per hour)",
            "get_units_enum(kilometer)",
            "get_units_enum(meters per second)",
            "get_units_enum(meters)",
            "check_named_variable(DISS Signal Good)",
            "register_named_variable(DISS Signal Good)",
            "check_named_variable(DISS Wspeed)",
            "register_named_variable(DISS Wspeed)",
            "check_named_variable(DISS Drift Angle)",
            "register_named_variable(DISS Drift Angle)",
            "check_named_variable(NAS1 Mode Switch)",
            "initialize_var(551)",
            "initialize_var(552)",
            "initialize_var(79)",
            "initialize_var(77)",
        };
        EXPECT_EQ(host.calls(), expected);
        for (std::uint32_t token : {551u, 552u, 79u, 77u}) EXPECT_TRUE(host.token_bound(token));
        EXPECT_EQ(host.var("NAS1 Mode Switch"), 2.0);
        host.clear_calls();
    }
    // Unowned handles: destruction calls nothing and removes nothing.
    EXPECT_TRUE(host.calls().empty());
    for (const char* name : {"DISS Power Source Line", "DISS Signal Good", "DISS Wspeed",
                             "DISS Drift Angle", "NAS1 Mode Switch"})
        EXPECT_TRUE(host.var_exists(name)) << name;
}

TEST_F(DissMeterLifeTest, ARecreatedMeterFindsTheSameVariablesAndTheirValues) {
    NamedVarId wspeed_id = kNoVariable;
    {
        Diss013Meter first;
        host.set_var("DISS Power Source Line", 1.0);
        host.set_var("NAS1 Mode Switch", 0.0);
        first.update();
        wspeed_id = host.find_var("DISS Wspeed");
    }
    Diss013Meter second;
    EXPECT_EQ(host.find_var("DISS Wspeed"), wspeed_id);
    EXPECT_DOUBLE_EQ(host.var("DISS Wspeed", "kilometer per hour"), 689.0);
}

// ---- the outcome table, row by row ----

TEST_F(DissMeterTest, UnpoweredWritesGoodZeroSpeedZeroDriftWhateverTheInputs) {
    // Truncation toward zero: anything strictly between -1 and 1 is off; NaN is off.
    for (double power : {0.0, 0.99, -0.99, kNaN}) {
        SCOPED_TRACE(power);
        Inputs in;
        in.power = power;
        in.bank_deg = 90.0;
        in.pitch_deg = 60.0;
        in.along_fps = 2000.0;
        in.across_fps = kNaN;
        apply(in);
        preset({0.0, 777.0, 0.5});
        EXPECT_EQ(update_counting_draws(), 0);
        const Outputs out = outputs();
        EXPECT_EQ(out.good, 1.0);
        EXPECT_EQ(out.speed_fps, 0.0);
        EXPECT_EQ(out.drift_rad, 0.0);
        EXPECT_EQ(host.var("DISS Wspeed", "meters per second"), 0.0);
    }
}

TEST_F(DissMeterTest, AnyPowerLineOutsideMinusOneToOnePowersTheMeter) {
    for (double power : {-1.0, 1.0, 1.5, 28.0, 1e12, -kInf, kInf}) {
        SCOPED_TRACE(power);
        Inputs in;
        in.power = power;
        apply(in);
        preset({0.0, 0.0, 0.0});
        meter.update();
        EXPECT_EQ(outputs().good, 1.0);
        EXPECT_NEAR(outputs().speed_fps, kSpeedFps, 0.004 * kSpeedFps + kTolerance);
    }
}

TEST_F(DissMeterTest, BankLosesTheSignalStrictlyBetween30And330) {
    struct Case {
        double bank_deg;
        bool lost;
    };
    const Case cases[] = {
        {0.0, false},    {29.999, false},  {30.0, false},  {30.001, true}, {45.0, true},
        {180.0, true},   {329.999, true},  {330.0, false}, {345.0, false}, {359.999, false},
        {360.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bank_deg);
        Inputs in;
        in.bank_deg = c.bank_deg;
        const Outputs out = update_over(in, kHeld);
        if (c.lost) {
            expect_lost_holding(out, kHeld);
        } else {
            EXPECT_EQ(out.good, 1.0);
            EXPECT_NEAR(out.speed_fps, kSpeedFps, 0.004 * kSpeedFps + kTolerance);
        }
    }
}

TEST_F(DissMeterTest, PitchLosesTheSignalBeyond30EitherWay) {
    struct Case {
        double pitch_deg;
        bool lost;
    };
    const Case cases[] = {
        {0.0, false},    {30.0, false},  {-30.0, false}, {29.9, false},
        {-30.001, true}, {30.001, true}, {90.0, true},   {-90.0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pitch_deg);
        Inputs in;
        in.pitch_deg = c.pitch_deg;
        const Outputs out = update_over(in, kHeld);
        if (c.lost) {
            expect_lost_holding(out, kHeld);
        } else {
            EXPECT_EQ(out.good, 1.0);
        }
    }
}

TEST_F(DissMeterTest, LostSignalHoldsTheLastMeasurement) {
    apply(Inputs{});
    meter.update();
    const Outputs measured = outputs();
    ASSERT_EQ(measured.good, 1.0);

    Inputs banked;
    banked.bank_deg = 45.0;
    banked.along_fps = 900.0;  // a new velocity the lost meter must not show
    apply(banked);
    meter.update();
    EXPECT_EQ(outputs().good, 0.0);
    EXPECT_EQ(outputs().speed_fps, measured.speed_fps);
    EXPECT_EQ(outputs().drift_rad, measured.drift_rad);

    Inputs pitched;
    pitched.pitch_deg = -45.0;
    apply(pitched);
    meter.update();
    EXPECT_EQ(outputs().good, 0.0);
    EXPECT_EQ(outputs().speed_fps, measured.speed_fps);
    EXPECT_EQ(outputs().drift_rad, measured.drift_rad);

    apply(Inputs{});
    meter.update();
    EXPECT_EQ(outputs().good, 1.0);
}

TEST_F(DissMeterTest, ModeSwitchAtZeroGivesTheFixed689KilometersPerHour) {
    for (double mode : {0.0, 0.99, -0.99, kNaN}) {
        SCOPED_TRACE(mode);
        Inputs in;
        in.mode = mode;
        in.along_fps = 2000.0;  // ignored in the fixed position
        apply(in);
        preset({0.0, 0.0, 0.5});
        EXPECT_EQ(update_counting_draws(), 0);
        EXPECT_EQ(outputs().good, 1.0);
        EXPECT_EQ(host.var("DISS Wspeed", "kilometer per hour"), 689.0);
        EXPECT_NEAR(host.var("DISS Wspeed", "meters per second"), 191.38888888888889, kTolerance);
        EXPECT_EQ(outputs().drift_rad, 0.0);
    }
    for (double mode : {1.0, -1.0, 2.0, 1e10}) {
        SCOPED_TRACE(mode);
        Inputs in;
        in.mode = mode;
        apply(in);
        meter.update();
        EXPECT_NEAR(outputs().speed_fps, kSpeedFps, 0.004 * kSpeedFps + kTolerance);
    }
}

TEST_F(DissMeterTest, AttitudeIsTestedBeforeTheFixedMode) {
    Inputs in;
    in.mode = 0.0;
    in.bank_deg = 45.0;
    expect_lost_holding(update_over(in, kHeld), kHeld);
}

TEST_F(DissMeterTest, SpeedRangeEdgesAndOutsideRows) {
    struct Case {
        const char* what;
        double along_fps;
        double across_fps;
        bool measured;
        double speed_fps;  // measured: S before noise; otherwise the value written
        double drift_rad;  // measured: drift before noise
    };
    const Case cases[] = {
        {"lower edge", kRangeLowFps, 0.0, true, kRangeLowFps, 0.0},
        {"upper edge", kRangeHighFps, 0.0, true, kRangeHighFps, 0.0},
        {"lower edge sideways", 0.0, -kRangeLowFps, true, kRangeLowFps, -kPi / 2},
        {"3-4-5", kAlongFps, kAcrossFps, true, kSpeedFps, kDriftRad},
        {"just below", 164.04, 0.0, false, 0.0, 0.0},
        {"100 ft/s", 60.0, 80.0, false, 0.0, 0.0},
        {"stopped", 0.0, 0.0, false, 0.0, 0.0},
        {"just above", 1184.39, 0.0, false, kRangeHighFps, 0.0},
        {"2000 ft/s", 1200.0, -1600.0, false, kRangeHighFps, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Inputs in;
        in.along_fps = c.along_fps;
        in.across_fps = c.across_fps;
        apply(in);
        preset(kHeld);
        Lcg lcg{testing::kTestSeed};
        const int drawn = update_counting_draws();
        const Outputs out = outputs();
        if (c.measured) {
            const int r1 = lcg.next();
            const int r2 = lcg.next();
            EXPECT_EQ(drawn, 2);
            EXPECT_EQ(out.good, 1.0);
            EXPECT_NEAR(out.speed_fps, noisy_speed_fps(c.speed_fps, r1), kTolerance);
            EXPECT_NEAR(out.drift_rad, noisy_drift_rad(c.drift_rad, r2), kTolerance);
        } else {
            EXPECT_EQ(drawn, 0);
            EXPECT_EQ(out.good, 0.0);
            EXPECT_EQ(out.speed_fps, c.speed_fps);
            EXPECT_EQ(out.drift_rad, 0.0);
        }
    }
}

TEST_F(DissMeterTest, PureSidewaysVelocityGivesPlusOrMinusHalfPi) {
    for (double across_fps : {300.0, -300.0}) {
        SCOPED_TRACE(across_fps);
        Inputs in;
        in.along_fps = 0.0;
        in.across_fps = across_fps;
        apply(in);
        Lcg lcg{testing::kTestSeed};
        update_counting_draws();
        const int r1 = lcg.next();
        const int r2 = lcg.next();
        const double half_pi = across_fps > 0 ? 1.5707963267948966 : -1.5707963267948966;
        EXPECT_NEAR(outputs().speed_fps, noisy_speed_fps(300.0, r1), kTolerance);
        EXPECT_NEAR(outputs().drift_rad, noisy_drift_rad(half_pi, r2), kTolerance);
    }
}

// ---- noise ----

TEST_F(DissMeterTest, NoiseExtremesAreFourTenthsOfAPercentAndAThirdOfADegree) {
    struct Case {
        int r1, r2;
        double speed_fps;  // 500 ft/s * (1 +- 0.004)
        double drift_rad;  // atan2(400, 300) +- pi / 540
    };
    const Case cases[] = {
        {0, 0, 502.0, kDriftRad + kThirdDegreeRad},
        {32767, 32767, 498.0, kDriftRad - kThirdDegreeRad},
        {0, 32767, 502.0, kDriftRad - kThirdDegreeRad},
        {32767, 0, 498.0, kDriftRad + kThirdDegreeRad},
    };
    apply(Inputs{});
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.r1 << ", " << c.r2);
        const std::uint32_t seed = seed_drawing(c.r1, c.r2);
        Lcg check{seed};
        ASSERT_EQ(check.next(), c.r1);
        ASSERT_EQ(check.next(), c.r2);
        random_seed(seed);
        meter.update();
        EXPECT_NEAR(outputs().speed_fps, c.speed_fps, kTolerance);
        EXPECT_NEAR(outputs().drift_rad, c.drift_rad, kTolerance);
        EXPECT_EQ(outputs().good, 1.0);
    }
}

TEST_F(DissMeterTest, NoiseIsNotClampedToTheRange) {
    struct Case {
        double s_fps;
        int r1;
        double written_fps;
    };
    const Case cases[] = {
        {kRangeLowFps, 32767, 163.38582677165354},   // 49.8 m/s
        {kRangeHighFps, 0, 1189.1207349081365},      // 362.444 m/s
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.s_fps);
        Inputs in;
        in.along_fps = c.s_fps;
        in.across_fps = 0.0;
        apply(in);
        random_seed(seed_drawing(c.r1, 16384));
        meter.update();
        EXPECT_NEAR(outputs().speed_fps, c.written_fps, kTolerance);
        EXPECT_EQ(outputs().good, 1.0);
    }
}

TEST_F(DissMeterTest, OnlyAMeasuringUpdateDrawsAndItDrawsTwo) {
    struct Case {
        const char* what;
        Inputs in;
        int draws;
    };
    Inputs unpowered, banked, pitched, fixed, slow, fast, measuring, lost_velocity;
    unpowered.power = 0.0;
    banked.bank_deg = 90.0;
    pitched.pitch_deg = 45.0;
    fixed.mode = 0.0;
    slow.along_fps = 100.0;
    slow.across_fps = 0.0;
    fast.along_fps = 2000.0;
    lost_velocity.across_fps = kNaN;
    const Case cases[] = {
        {"unpowered", unpowered, 0}, {"bank", banked, 0}, {"pitch", pitched, 0},
        {"fixed", fixed, 0},         {"slow", slow, 0},   {"fast", fast, 0},
        {"measuring", measuring, 2}, {"non-finite velocity", lost_velocity, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        apply(c.in);
        EXPECT_EQ(update_counting_draws(), c.draws);
    }
}

// ---- host calls: tokens refreshed and write order ----

// The value of a speed or drift write replaced by "*": those carry noise.
std::string without_noisy_value(const std::string& call) {
    if (call.rfind("set_named_variable_typed_value(DISS Wspeed, ", 0) != 0 &&
        call.rfind("set_named_variable_typed_value(DISS Drift Angle, ", 0) != 0)
        return call;
    const auto first = call.find(", ");
    const auto last = call.rfind(", ");
    return call.substr(0, first + 2) + "*" + call.substr(last);
}

TEST_F(DissMeterTest, EachOutcomeRefreshesOnlyTheTokensItNeedsAndWritesInOrder) {
    const std::string get_power = "get_named_variable_typed_value(DISS Power Source Line, number)";
    const std::string get_mode = "get_named_variable_typed_value(NAS1 Mode Switch, number)";
    struct Case {
        const char* what;
        Inputs in;
        Calls calls;
    };
    Inputs unpowered, banked, pitched, fixed, slow, fast;
    unpowered.power = 0.0;
    banked.bank_deg = 90.0;
    pitched.pitch_deg = -45.0;
    fixed.mode = 0.0;
    slow.along_fps = 100.0;
    slow.across_fps = 0.0;
    fast.along_fps = 2000.0;
    fast.across_fps = 0.0;
    const Case cases[] = {
        {"unpowered", unpowered,
         {get_power, "set_named_variable_typed_value(DISS Signal Good, 1, number)",
          "set_named_variable_typed_value(DISS Wspeed, 0, kilometer per hour)",
          "set_named_variable_typed_value(DISS Drift Angle, 0, radian)"}},
        {"bank", banked,
         {get_power, "lookup_var(79)",
          "set_named_variable_typed_value(DISS Signal Good, 0, number)"}},
        {"pitch", pitched,
         {get_power, "lookup_var(79)", "lookup_var(77)",
          "set_named_variable_typed_value(DISS Signal Good, 0, number)"}},
        {"fixed", fixed,
         {get_power, "lookup_var(79)", "lookup_var(77)", get_mode,
          "set_named_variable_typed_value(DISS Wspeed, 689, kilometer per hour)",
          "set_named_variable_typed_value(DISS Drift Angle, 0, radian)",
          "set_named_variable_typed_value(DISS Signal Good, 1, number)"}},
        {"slow", slow,
         {get_power, "lookup_var(79)", "lookup_var(77)", get_mode, "lookup_var(551)",
          "lookup_var(552)", "set_named_variable_typed_value(DISS Wspeed, 0, feet per second)",
          "set_named_variable_typed_value(DISS Drift Angle, 0, radian)",
          "set_named_variable_typed_value(DISS Signal Good, 0, number)"}},
        {"fast", fast,
         {get_power, "lookup_var(79)", "lookup_var(77)", get_mode, "lookup_var(551)",
          "lookup_var(552)",
          "set_named_variable_typed_value(DISS Wspeed, 1184.3832020997374, feet per second)",
          "set_named_variable_typed_value(DISS Drift Angle, 0, radian)",
          "set_named_variable_typed_value(DISS Signal Good, 0, number)"}},
    };
    host.record_calls(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        apply(c.in);
        host.clear_calls();
        meter.update();
        EXPECT_EQ(host.calls(), c.calls);
    }

    SCOPED_TRACE("measuring");
    apply(Inputs{});
    host.clear_calls();
    meter.update();
    Calls masked;
    for (const std::string& call : host.calls()) masked.push_back(without_noisy_value(call));
    EXPECT_EQ(masked, (Calls{get_power, "lookup_var(79)", "lookup_var(77)", get_mode,
                             "lookup_var(551)", "lookup_var(552)",
                             "set_named_variable_typed_value(DISS Wspeed, *, feet per second)",
                             "set_named_variable_typed_value(DISS Drift Angle, *, radian)",
                             "set_named_variable_typed_value(DISS Signal Good, 1, number)"}));
}

// ---- non-finite and extreme host values ----

TEST_F(DissMeterTest, NonFiniteAttitudeOrVelocityIsALostSignal) {
    struct Case {
        const char* what;
        Inputs in;
        Calls refreshes;  // where the meter stops
    };
    const Calls at_bank = {"lookup_var(79)"};
    const Calls at_pitch = {"lookup_var(79)", "lookup_var(77)"};
    const Calls at_velocity = {"lookup_var(79)", "lookup_var(77)", "lookup_var(551)",
                               "lookup_var(552)"};
    std::vector<Case> cases;
    for (double bad : {kNaN, kInf, -kInf}) {
        Inputs bank, pitch, along, across;
        bank.bank_deg = bad;
        pitch.pitch_deg = bad;
        along.along_fps = bad;
        across.across_fps = bad;
        cases.push_back({"bank", bank, at_bank});
        cases.push_back({"pitch", pitch, at_pitch});
        cases.push_back({"along", along, at_velocity});
        cases.push_back({"across", across, at_velocity});
    }
    Inputs both;
    both.along_fps = kInf;
    both.across_fps = kInf;  // inf / inf would make a NaN drift
    cases.push_back({"both infinite", both, at_velocity});

    host.record_calls(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.what << " " << c.in.bank_deg << " "
                                          << c.in.pitch_deg << " " << c.in.along_fps << " "
                                          << c.in.across_fps);
        apply(c.in);
        preset(kHeld);
        host.clear_calls();
        EXPECT_EQ(update_counting_draws(), 0);
        EXPECT_EQ(token_refreshes(), c.refreshes);
        expect_lost_holding(outputs(), kHeld);
    }
}

TEST_F(DissMeterTest, HugeOrTinyFiniteVelocitiesFallOutsideTheRange) {
    struct Case {
        double along_fps, across_fps;
        double written_fps;
    };
    const double max = std::numeric_limits<double>::max();
    const Case cases[] = {
        {1e200, 0.0, kRangeHighFps},    // the square overflows: S is infinite
        {1e200, -1e200, kRangeHighFps},
        {0.0, max, kRangeHighFps},
        {-max, -max, kRangeHighFps},
        {1e-200, 1e-200, 0.0},          // the squares underflow: S is 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.along_fps << ", " << c.across_fps);
        Inputs in;
        in.along_fps = c.along_fps;
        in.across_fps = c.across_fps;
        apply(in);
        preset(kHeld);
        EXPECT_EQ(update_counting_draws(), 0);
        EXPECT_EQ(outputs().good, 0.0);
        EXPECT_EQ(outputs().speed_fps, c.written_fps);
        EXPECT_EQ(outputs().drift_rad, 0.0);
    }
}

}  // namespace
}  // namespace kodrix
