// Whole flights through the real module file, loaded as the simulator loads
// it, with the module's random source fixed through its seed seam. Each
// shipped scenario is checked for physical outcomes with tolerances worked
// out from the instruments' stated errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "flight/runner.h"
#include "flight/scenario.h"
#include "support/allocation_counter.h"

namespace kodrix::fly {
namespace {

constexpr double kDeg = kPi / 180.0;
constexpr double kAnuPeriodS = 1.0 / 3.0;  // the computer updates about three times a second

Scenario scenario(const std::string& name) {
    Scenario s;
    std::vector<ScenarioIssue> issues;
    const std::string path = std::string(KODRIX_SCENARIO_DIR) + "/" + name + ".toml";
    EXPECT_TRUE(load_scenario_file(path, s, issues))
        << path << (issues.empty() ? "" : ": " + format_issue(issues[0]));
    return s;
}

FlightResult flown(const Scenario& s) {
    RunOptions o;
    o.module_path = KODRIX_MODULE_PATH;
    FlightResult r;
    std::string error;
    EXPECT_TRUE(fly(s, o, r, error)) << error;
    EXPECT_TRUE(r.summary.seed_fixed);
    return r;
}

// The rows from time a to b.
std::vector<const TraceRow*> rows_between(const FlightResult& r, double a, double b) {
    std::vector<const TraceRow*> out;
    for (const TraceRow& row : r.trace)
        if (row.t_s >= a && row.t_s <= b) out.push_back(&row);
    return out;
}

const TraceRow& row_at(const FlightResult& r, double t) {
    const TraceRow* best = &r.trace.front();
    for (const TraceRow& row : r.trace)
        if (std::fabs(row.t_s - t) < std::fabs(best->t_s - t)) best = &row;
    return *best;
}

double total_turn_rad(const FlightResult& r, double from_s) {
    double sum = 0.0;
    for (std::size_t i = 1; i < r.trace.size(); ++i)
        if (r.trace[i].t_s >= from_s)
            sum += std::fabs(wrap180(r.trace[i].true_heading_deg - r.trace[i - 1].true_heading_deg));
    return sum * kDeg;
}

// How far the computer's place may drift from the true one in Doppler
// reckoning with the primary gyro slaved to the magnetic heading:
// - the slaved gyro settles anywhere within its slow-matching band, 0.1 deg,
//   give or take one matching step (0.5 deg/s for one frame): a steady
//   heading error that moves the place sideways by that angle of the distance
//   flown;
// - the Doppler meter's speed (+-0.4 %) and drift (+-1/3 deg) errors are
//   uniform, zero-mean and fresh at every measurement, so they add up as a
//   random walk over the computer's updates: three standard deviations;
// - the computer steps its place with the course at the end of each update,
//   which in a turn cuts the corner by half an update's travel per radian of
//   turn, and it lags the aircraft by up to one update's travel.
double doppler_dr_bound(const FlightResult& r, double speed_mps, double from_s) {
    const double time_s = r.summary.dr_time_s;
    const double distance_m = speed_mps * time_s;
    const double gyro_m = distance_m * std::sin((0.1 + 0.5 / 18.0) * kDeg);
    const double step_m = speed_mps * kAnuPeriodS;
    const double updates = time_s / kAnuPeriodS;
    const double noise_m =
        step_m * std::hypot(0.004, (1.0 / 3.0) * kDeg) / std::sqrt(3.0) * std::sqrt(updates);
    return gyro_m + 3.0 * noise_m + 0.5 * step_m * total_turn_rad(r, from_s) + step_m;
}

void expect_capture_and_hold(const Scenario& s, const FlightResult& r, double capture_within_s) {
    const FlightSummary& m = r.summary;
    ASSERT_FALSE(m.alignments.empty());
    // The gyros start up to 180 degrees off and match at 3 deg/s with the
    // coord button: aligned within a minute.
    EXPECT_TRUE(m.alignments[0].done);
    EXPECT_LE(m.alignments[0].done_s, 61.0);
    EXPECT_TRUE(m.captured);
    EXPECT_LE(m.time_to_capture_s, m.alignments[0].done_s + capture_within_s);
    // Held: the computer keeps its own cross-track inside its 300 m dead band
    // (give or take an overshoot); the true one differs by the reckoning error.
    EXPECT_LE(m.max_abs_xtk_after_capture_m, s.capture.band_m + m.max_dr_error_m + 150.0);
    // (Not while the crew sets the counters anew after a reload, nor while
    // the computer steers back from the place it was given.)
    for (const TraceRow* row : rows_between(r, m.time_to_capture_s, s.duration_s)) {
        bool resetting = false;
        for (std::size_t i = 1; i < m.alignments.size(); ++i)
            resetting = resetting || (row->t_s >= m.alignments[i].start_s &&
                                      row->t_s <= m.alignments[i].done_s + 300.0);
        if (!resetting) {
            EXPECT_LE(std::fabs(row->nas_v_m), 450.0) << row->t_s;
        }
    }
    // The computer commands a course at every update once coupled.
    EXPECT_GE(static_cast<double>(m.course_commands),
              2.5 * (s.duration_s - m.alignments[0].done_s));
}

TEST(Flight, BuiltInScenarioCapturesAndHolds) {
    const Scenario s = builtin_scenario();
    const FlightResult r = flown(s);
    const FlightSummary& m = r.summary;
    EXPECT_EQ(m.frames, 1200u * 18u);
    expect_capture_and_hold(s, r, 200.0);
    const double speed = s.aircraft.tas_mps + s.wind.speed_mps;
    EXPECT_LE(m.max_dr_error_m, doppler_dr_bound(r, speed, m.alignments[0].done_s));
    EXPECT_DOUBLE_EQ(m.diss_valid_fraction, 1.0);
    EXPECT_EQ(m.reloads, 0);
}

TEST(Flight, CrosswindInterceptCrabsIntoTheWind) {
    const Scenario s = scenario("crosswind-intercept");
    const FlightResult r = flown(s);
    const FlightSummary& m = r.summary;
    expect_capture_and_hold(s, r, 300.0);
    EXPECT_LE(m.max_dr_error_m, doppler_dr_bound(r, s.aircraft.tas_mps + s.wind.speed_mps,
                                                 m.alignments[0].done_s));
    // On the line the track is the route's course and the heading is turned
    // into the wind by asin(35 / 220) = 9.16 degrees (wind square from the left).
    double drift = 0, track = 0;
    const auto last = rows_between(r, s.duration_s - 300, s.duration_s);
    for (const TraceRow* row : last) {
        drift += wrap180(row->track_deg - row->true_heading_deg);
        track += wrap180(row->track_deg - s.route.course_deg);
    }
    EXPECT_NEAR(drift / last.size(), std::asin(35.0 / 220.0) / kDeg, 0.3);
    EXPECT_NEAR(track / last.size(), 0.0, 1.5);  // the bug is in whole degrees
    // The Doppler meter sees that drift, within its 1/3 degree.
    EXPECT_NEAR(last.back()->diss_drift_deg, std::asin(35.0 / 220.0) / kDeg, 0.5);
}

TEST(Flight, WindModeReckoningDriftsByTheWindError) {
    const Scenario s = scenario("wind-mode");
    ASSERT_TRUE(s.nav_wind.has_value());
    const FlightResult r = flown(s);
    const FlightSummary& m = r.summary;
    // The computer adds the set wind to the airspeed along the KS-8 course;
    // the aircraft moves with the true wind. Their difference, set minus true,
    // is how fast the reckoned place runs away from the true one.
    auto toward = [](const Wind& w) {
        const double a = (w.from_deg + 180.0) * kDeg;
        return std::pair<double, double>{w.speed_mps * std::cos(a), w.speed_mps * std::sin(a)};
    };
    const auto [tn, te] = toward(s.wind);
    const auto [nn, ne] = toward(*s.nav_wind);
    const double dn = nn - tn, de = ne - te;  // north, east, m/s
    const double c = s.route.course_deg * kDeg;
    const double along_rate = dn * std::cos(c) + de * std::sin(c);
    const double across_rate = -dn * std::sin(c) + de * std::cos(c);
    // By hand: true wind toward 100 at 25 = (-4.34, 24.62), set wind toward
    // 90 at 20 = (0, 20); set minus true = (4.34, -4.62) m/s, 6.34 m/s.
    EXPECT_NEAR(std::hypot(dn, de), 6.34, 0.01);
    // Besides the wind, only the slaved gyro's band errs: 0.1 deg of the
    // airspeed, plus a step of the computer's update.
    const double T = m.dr_time_s;
    const double slack = s.aircraft.tas_mps * std::sin(0.13 * kDeg) * T + 100.0;
    const TraceRow& end = r.trace.back();
    EXPECT_NEAR(end.nas_s_m - end.along_m, along_rate * T, slack);
    EXPECT_NEAR(end.nas_v_m - end.cross_m, across_rate * T, slack);
    // Believing itself on the line, the computer lets the aircraft be carried
    // off it at the across rate.
    EXPECT_LE(std::fabs(end.nas_v_m), 450.0);
    EXPECT_NEAR(end.cross_m, end.nas_v_m - across_rate * T, slack);
}

TEST(Flight, FreeGyroDriftsWithTheEarthRateUntilCorrected) {
    const Scenario s = scenario("free-gyro-high-latitude");
    const FlightResult r = flown(s);
    const FlightSummary& m = r.summary;
    ASSERT_EQ(m.free_gyro.size(), 2u);
    const GyroSegment& uncorrected = m.free_gyro[0];
    const GyroSegment& corrected = m.free_gyro[1];
    EXPECT_DOUBLE_EQ(uncorrected.latitude_setting_deg, 0.0);
    EXPECT_DOUBLE_EQ(corrected.latitude_setting_deg, 77.5);
    // Without correction a gyro fixed in space turns against the earth at
    // 15 deg/h * sin(latitude): at 78 N, 14.67 deg/h, the signal decreasing.
    EXPECT_NEAR(uncorrected.earth_rate_deg_per_h, -15.0 * std::sin(78.0 * kDeg), 0.1);
    // With the latitude set near the present one, little is left.
    EXPECT_LT(std::fabs(corrected.earth_rate_deg_per_h), 0.6);
    // What the gyro adds is its own drift, at most 2 deg/h, the same in both.
    for (const GyroSegment& g : m.free_gyro)
        EXPECT_LE(std::fabs(g.measured_deg_per_h - g.earth_rate_deg_per_h), 2.0 + 0.02);
    const double own = uncorrected.measured_deg_per_h - uncorrected.earth_rate_deg_per_h;
    EXPECT_NEAR(corrected.measured_deg_per_h - corrected.earth_rate_deg_per_h, own, 0.05);

    // After the crew's second alignment the reckoning errs by the gyro's
    // heading error: the slew's residue plus the drift over time, turning the
    // distance flown sideways, plus the Doppler meter's random errors.
    ASSERT_EQ(m.alignments.size(), 2u);
    ASSERT_TRUE(m.alignments[1].done);
    const double t0 = m.alignments[1].done_s;
    const double T = s.duration_s - t0;
    const double v = s.aircraft.tas_mps + s.wind.speed_mps;
    const double rate_rad_s = (std::fabs(corrected.measured_deg_per_h) / 3600.0) * kDeg;
    const double heading_m = v * (0.1 * kDeg * T + rate_rad_s * T * T / 2.0);
    double worst = 0.0;
    for (const TraceRow* row : rows_between(r, t0 + 2.0, s.duration_s))
        worst = std::max(worst, row->dr_error_m);
    EXPECT_LE(worst, heading_m + 3.0 * v * kAnuPeriodS * 0.0035 * std::sqrt(T / kAnuPeriodS) + 200.0);
    // And the NAS-1 brings the aircraft back onto the line.
    double closest = 1e9;
    for (const TraceRow* row : rows_between(r, t0, t0 + 600.0))
        closest = std::min(closest, std::fabs(row->cross_m));
    EXPECT_LE(closest, s.capture.band_m);
}

TEST(Flight, SteepTurnAndPitchUpLoseTheDopplerSignal) {
    const Scenario s = scenario("steep-turn-doppler-loss");
    const FlightResult r = flown(s);
    const FlightSummary& m = r.summary;
    // The meter loses its signal beyond 30 degrees of bank or pitch, and
    // regains it within one of its periods (a third of a second) after.
    double beyond_s = 0.0;
    const double dt = s.output.trace_interval_s;
    for (std::size_t i = 2; i < r.trace.size(); ++i) {
        const TraceRow& now = r.trace[i];
        const bool out = std::fabs(now.bank_deg) > 30.0 || std::fabs(now.pitch_deg) > 30.0;
        if (out) beyond_s += dt;
        bool steady = true;  // the attitude stayed on one side of the limit for a period
        for (std::size_t j = i - 2; j < i; ++j)
            steady = steady && ((std::fabs(r.trace[j].bank_deg) > 30.0 ||
                                 std::fabs(r.trace[j].pitch_deg) > 30.0) == out);
        if (steady && now.t_s > 1.0) {
            EXPECT_EQ(now.diss_signal_good, out ? 0.0 : 1.0) << now.t_s;
        }
    }
    // About 128 s of the 45-degree turn and 12 s of the pitch-up.
    EXPECT_NEAR(beyond_s, 140.0, 4.0);
    EXPECT_NEAR(m.diss_lost_s, beyond_s, 2.0);

    // While the signal is lost the computer integrates the held speed and
    // drift, turned with the aircraft: the true ground velocity differs from
    // that by the wind turned through the heading change, at most twice the
    // wind speed.
    const double turn_start = s.events[0].at_s, turn_end = turn_start + s.events[0].duration_s + 5;
    const double before = row_at(r, turn_start).dr_error_m;
    const double after = row_at(r, turn_end).dr_error_m;
    EXPECT_GT(after - before, 200.0);  // the loss does show
    EXPECT_LE(after - before, 2.0 * s.wind.speed_mps * (turn_end - turn_start) + 100.0);
    // The turn comes round nearly full circle, and the computer steers back:
    // its own cross-track returns inside its dead band.
    double settled = 1e9;
    for (const TraceRow* row : rows_between(r, turn_end + 300, s.events[1].at_s))
        settled = std::min(settled, std::fabs(row->nas_v_m));
    EXPECT_LE(settled, 350.0);
    for (const TraceRow* row : rows_between(r, s.duration_s - 60, s.duration_s))
        EXPECT_LE(std::fabs(row->nas_v_m), 450.0);
}

TEST(Flight, NoJumpAcrossTheAntimeridian) {
    const Scenario s = scenario("antimeridian");
    const FlightResult r = flown(s);
    const FlightSummary& m = r.summary;
    EXPECT_EQ(m.antimeridian_crossings, 1);
    EXPECT_LT(r.summary.final_position.lon_deg, 0.0);
    expect_capture_and_hold(s, r, 300.0);
    EXPECT_LE(m.max_dr_error_m, doppler_dr_bound(r, s.aircraft.tas_mps + s.wind.speed_mps,
                                                 m.alignments[0].done_s));
    // Row to row (1 s), nothing moves more than the aircraft can: position in
    // the route frame, the computer's counters, the error between them, and
    // the free secondary gyro's signal against the heading carried along the
    // path (its convergence term must not see the longitude's wrap).
    const double v = s.aircraft.tas_mps + s.wind.speed_mps;
    bool crossed = false;
    for (std::size_t i = 1; i < r.trace.size(); ++i) {
        const TraceRow& a = r.trace[i - 1];
        const TraceRow& b = r.trace[i];
        if (a.t_s < 70) continue;  // after the counters are set
        const double dt = b.t_s - a.t_s;
        crossed = crossed || (a.lon_deg > 0 && b.lon_deg < 0);
        EXPECT_LE(std::hypot(b.along_m - a.along_m, b.cross_m - a.cross_m), v * dt + 1.0) << b.t_s;
        EXPECT_LE(std::hypot(b.nas_s_m - a.nas_s_m, b.nas_v_m - a.nas_v_m), v * (dt + kAnuPeriodS) + 1.0)
            << b.t_s;
        EXPECT_LE(std::fabs(b.dr_error_m - a.dr_error_m), 10.0) << b.t_s;
        EXPECT_LE(std::fabs(wrap180(b.secondary_offset_deg - a.secondary_offset_deg)), 0.01) << b.t_s;
        EXPECT_LE(std::fabs(wrap180(b.gyro_offset_deg - a.gyro_offset_deg)), 0.2) << b.t_s;
    }
    EXPECT_TRUE(crossed);
}

TEST(Flight, PanelReloadWithoutAJump) {
    const Scenario s = scenario("panel-reload");
    const FlightResult r = flown(s);
    const FlightSummary& m = r.summary;
    const double reload = s.events[0].at_s;
    EXPECT_EQ(m.reloads, 1);
    ASSERT_EQ(m.alignments.size(), 2u);
    EXPECT_DOUBLE_EQ(m.alignments[1].start_s, reload);
    ASSERT_TRUE(m.alignments[1].done);
    const double aligned = m.alignments[1].done_s;
    EXPECT_LE(aligned - reload, 61.0);
    expect_capture_and_hold(s, r, 200.0);

    // While the crew aligns the new gyros the autopilot holds the last heading
    // it was given: the heading stays within the bug's whole degree and the
    // aircraft does not leave its path.
    const TraceRow& at_reload = row_at(r, reload - 0.5);
    for (const TraceRow* row : rows_between(r, reload, aligned)) {
        EXPECT_NEAR(wrap180(row->true_heading_deg - at_reload.true_heading_deg), 0.0, 1.5) << row->t_s;
        EXPECT_LE(std::fabs(row->cross_m - at_reload.cross_m), 60.0) << row->t_s;
    }
    // The reload does not make the cross-track error worse.
    double worst_before = 0, worst_after = 0;
    for (const TraceRow* row : rows_between(r, reload - 300, reload))
        worst_before = std::max(worst_before, std::fabs(row->cross_m));
    for (const TraceRow* row : rows_between(r, reload, s.duration_s))
        worst_after = std::max(worst_after, std::fabs(row->cross_m));
    EXPECT_LE(worst_after, worst_before + 100.0);

    // The crew has set the counters to the true place: the reckoning starts
    // afresh, and the lateral deviation follows V again (give or take one
    // update's cross-track travel).
    const TraceRow& placed = row_at(r, aligned + 2.0);
    EXPECT_LE(placed.dr_error_m, 20.0);
    for (const TraceRow* row : rows_between(r, aligned + 5.0, s.duration_s))
        EXPECT_NEAR(row->lbu_m, row->nas_v_m, 50.0) << row->t_s;
    // Course commands resume after the second alignment.
    EXPECT_EQ(row_at(r, aligned + 5.0).sau_mode, 1.0);
    EXPECT_FALSE(std::isnan(row_at(r, s.duration_s).anu_course_deg));
}

TEST(Flight, TheFrameLoopAllocatesNothing) {
    // A flight ten times longer makes no more allocations.
    Scenario s = builtin_scenario();
    RunOptions o;
    o.module_path = KODRIX_MODULE_PATH;
    auto allocations_for = [&](double duration_s) {
        s.duration_s = duration_s;
        FlightResult r;
        std::string error;
        const long before = kodrix::testing::allocation_count.load();
        EXPECT_TRUE(fly(s, o, r, error)) << error;
        return kodrix::testing::allocation_count.load() - before;
    };
    allocations_for(30.0);  // the module's first load
    const long short_flight = allocations_for(120.0);
    const long long_flight = allocations_for(1200.0);
    EXPECT_EQ(long_flight, short_flight);
}

TEST(Flight, AVeryLongTraceIsThinned) {
    // A million frames asked for at every frame keeps at most a million lines.
    Scenario s = builtin_scenario();
    s.frame_rate_hz = 1000;
    s.duration_s = 1001;
    s.output.trace_interval_s = 0;
    const FlightResult r = flown(s);
    EXPECT_EQ(r.summary.frames, 1001000u);
    EXPECT_LE(r.trace.size(), 1000001u);
    EXPECT_DOUBLE_EQ(r.summary.trace_interval_s, 0.002);
}

TEST(Flight, AMissingModuleIsAClearError) {
    RunOptions o;
    o.module_path = "/nonexistent/Kodrix.so";
    FlightResult r;
    std::string error;
    EXPECT_FALSE(fly(builtin_scenario(), o, r, error));
    EXPECT_NE(error.find("/nonexistent/Kodrix.so"), std::string::npos) << error;
}

}  // namespace
}  // namespace kodrix::fly
