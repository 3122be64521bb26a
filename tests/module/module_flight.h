// A short steady flight of the loaded module file, shared by the native test
// and the Windows program that runs under Wine: the emulated host's tokens
// and panel switches for a straight flight, frames of service 7, and checks
// of what the three gauges publish. Plain C++ so that both builds use it; each
// check returns the list of what went wrong (empty when all is well).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/emulated_host.h"
#include "emulator/module_library.h"
#include "module/linkage_records.h"

namespace kodrix::testing {

// The aircraft: straight and level, true heading 90, variation 10, over the
// ground at 600 ft/s along its axis and 30 ft/s to the right.
constexpr double kLatitudeDeg = 55.75;
constexpr double kLongitudeDeg = 37.6;
constexpr double kHeadingDeg = 90.0;
constexpr double kVariationDeg = 10.0;
constexpr double kAlongFps = 600.0;
constexpr double kAcrossFps = 30.0;
constexpr double kMapAngleDeg = 90.0;

constexpr double kFeetToMeters = 0.3048;
constexpr double kPi = 3.141592653589793;
constexpr double kThirdDegreeRad = kPi / 540.0;

// Ground speed and drift angle that the Doppler meter measures, before noise.
inline double ground_speed_fps() { return std::sqrt(kAlongFps * kAlongFps + kAcrossFps * kAcrossFps); }
inline double drift_rad() { return std::asin(kAcrossFps / ground_speed_fps()); }

// Token numbers the models read.
constexpr std::uint32_t kTokenLatitude = 71;
constexpr std::uint32_t kTokenLongitude = 72;
constexpr std::uint32_t kTokenPitch = 77;
constexpr std::uint32_t kTokenBank = 79;
constexpr std::uint32_t kTokenVariation = 82;
constexpr std::uint32_t kTokenHeading = 86;
constexpr std::uint32_t kTokenGroundAlong = 551;
constexpr std::uint32_t kTokenGroundAcross = 552;
constexpr std::uint32_t kTokenTime = 604;

enum Service : std::int32_t { kPostInstall = 3, kPostUpdate = 7, kConnect = 14, kDisconnect = 15 };

// Tokens of the steady flight at `time_s`, and the panel: all three units
// powered, KS-8 primary in true-heading matching, DISS-013 measuring, ANU
// counting in the Doppler mode and coupled to the autopilot.
inline void set_steady_flight(emu::EmulatedHost& host, double time_s) {
    host.set_token(kTokenLatitude, kLatitudeDeg / 90.0 * 10001750.0);
    host.set_token(kTokenLongitude, kLongitudeDeg / 360.0 * 281474976710656.0);
    host.set_token(kTokenHeading, kHeadingDeg);
    host.set_token(kTokenVariation, kVariationDeg);
    host.set_token(kTokenBank, 0.0);
    host.set_token(kTokenPitch, 0.0);
    host.set_token(kTokenGroundAlong, kAlongFps);
    host.set_token(kTokenGroundAcross, kAcrossFps);
    host.set_token(kTokenTime, time_s);

    host.set_var("KS8 Power Source Line", 1.0);
    host.set_var("KS8 Mode Selector", 2.0);
    host.set_var("KS8 Latitude Selector", kLatitudeDeg, "degree");
    host.set_var("DISS Power Source Line", 1.0);
    host.set_var("NAS1 Mode Switch", 1.0);
    host.set_var("NAS1 Counters Switch", 1.0);
    host.set_var("NAS1 SAU mode", 1.0);
    host.set_var("NAS1 Map Angle", kMapAngleDeg, "degree");
}

// What the panel sees after one frame.
struct Frame {
    double time_s;
    bool ks8_outputs_exist;
    double ks8_primary_deg;
    double ks8_secondary_deg;
    double diss_wspeed_fps;
    double diss_drift_rad;
    double diss_signal_good;
    double s_m;
    double v_m;
    double anu_course_deg;
    std::vector<emu::KeyEvent> key_events;  // sent during this frame
};

inline Frame observe(const emu::EmulatedHost& host, double time_s) {
    Frame f{};
    f.time_s = time_s;
    f.ks8_outputs_exist = host.var_exists("KS8 Primary Course Signal") &&
                          host.var_exists("KS8 Secondary Course Signal");
    f.ks8_primary_deg = host.var("KS8 Primary Course Signal", "degree");
    f.ks8_secondary_deg = host.var("KS8 Secondary Course Signal", "degree");
    f.diss_wspeed_fps = host.var("DISS Wspeed", "feet per second");
    f.diss_drift_rad = host.var("DISS Drift Angle", "radian");
    f.diss_signal_good = host.var("DISS Signal Good");
    f.s_m = host.var("NAS1 S coordinate", "meters");
    f.v_m = host.var("NAS1 V coordinate", "meters");
    f.anu_course_deg = host.var("ANU Course Signal", "degree");
    f.key_events = host.key_events();
    return f;
}

// Frames 1..count: token 604 at start_s + k * frame_s, then service 7 to
// every gauge in Linkage order.
inline std::vector<Frame> fly(emu::ModuleLibrary& module, emu::EmulatedHost& host, double start_s,
                              int count, double frame_s = 0.1) {
    std::vector<Frame> frames;
    for (int k = 1; k <= count; ++k) {
        const double t = start_s + k * frame_s;
        host.set_token(kTokenTime, t);
        host.clear_key_events();
        module.service_all(kPostUpdate);
        frames.push_back(observe(host, t));
    }
    return frames;
}

inline std::string text(double v) { return std::to_string(v); }

// KS-8: both course signals published and in [0, 360) on every frame.
inline std::vector<std::string> check_ks8(const std::vector<Frame>& frames) {
    std::vector<std::string> wrong;
    for (const Frame& f : frames) {
        if (!f.ks8_outputs_exist) {
            wrong.push_back("t=" + text(f.time_s) + ": KS-8 course signals are not registered");
            continue;
        }
        for (double c : {f.ks8_primary_deg, f.ks8_secondary_deg})
            if (!(c >= 0.0 && c < 360.0))
                wrong.push_back("t=" + text(f.time_s) + ": KS-8 course signal " + text(c) +
                                " outside [0, 360)");
    }
    return wrong;
}

// DISS-013: from its first update on (after more than 0.333333 s), signal
// good, ground speed within 0.4 % and drift within a third of a degree.
inline std::vector<std::string> check_diss(const std::vector<Frame>& frames, double created_s) {
    std::vector<std::string> wrong;
    const double s = ground_speed_fps();
    const double d = drift_rad();
    int measured = 0;
    for (const Frame& f : frames) {
        if (!(f.time_s - created_s > 0.333333)) continue;
        ++measured;
        const std::string at = "t=" + text(f.time_s) + ": ";
        if (f.diss_signal_good != 1.0)
            wrong.push_back(at + "DISS Signal Good is " + text(f.diss_signal_good) + ", not 1");
        if (!(f.diss_wspeed_fps >= 0.996 * s - 1e-9 && f.diss_wspeed_fps <= 1.004 * s + 1e-9))
            wrong.push_back(at + "DISS Wspeed " + text(f.diss_wspeed_fps) + " ft/s not within 0.4% of " +
                            text(s));
        if (!(std::fabs(f.diss_drift_rad - d) <= kThirdDegreeRad + 1e-12))
            wrong.push_back(at + "DISS Drift Angle " + text(f.diss_drift_rad) +
                            " rad not within 1/3 degree of " + text(d));
    }
    if (measured == 0) wrong.push_back("DISS-013 never measured");
    return wrong;
}

// ANU: every run (more than 0.333 s after the last) moves the position by the
// Doppler ground speed times the elapsed time and sends key event 66042 with
// the commanded course in whole degrees; frames without a run change nothing.
inline std::vector<std::string> check_anu(const std::vector<Frame>& frames, double created_s) {
    std::vector<std::string> wrong;
    const double speed_mps = ground_speed_fps() * kFeetToMeters;
    double last_run_s = created_s;
    double s_m = 0.0;
    double v_m = 0.0;
    int runs = 0;
    for (const Frame& f : frames) {
        const std::string at = "t=" + text(f.time_s) + ": ";
        const bool due = f.time_s - last_run_s > 0.333;
        const double step_m = std::hypot(f.s_m - s_m, f.v_m - v_m);
        if (!due) {
            if (step_m != 0.0) wrong.push_back(at + "ANU moved between its runs");
            if (!f.key_events.empty()) wrong.push_back(at + "key event between ANU runs");
            continue;
        }
        ++runs;
        const double dt = f.time_s - last_run_s;
        if (!(step_m >= 0.996 * speed_mps * dt - 1e-6 && step_m <= 1.004 * speed_mps * dt + 1e-6))
            wrong.push_back(at + "ANU step " + text(step_m) + " m over " + text(dt) + " s, expected " +
                            text(speed_mps * dt) + " m within 0.4%");
        if (f.key_events.size() != 1 || f.key_events[0].event != emu::kAutopilotHeadingEvent) {
            wrong.push_back(at + "expected one key event 66042 from the ANU run");
        } else {
            const double course = f.anu_course_deg;
            if (!(course >= 0.0 && course <= 360.0))
                wrong.push_back(at + "ANU Course Signal " + text(course) + " outside [0, 360]");
            if (f.key_events[0].value != static_cast<std::uint32_t>(course))
                wrong.push_back(at + "key value " + std::to_string(f.key_events[0].value) +
                                " is not the course " + text(course) + " in whole degrees");
        }
        last_run_s = f.time_s;
        s_m = f.s_m;
        v_m = f.v_m;
    }
    if (runs == 0) wrong.push_back("ANU never ran");
    return wrong;
}

// The element that every generic routine of every gauge must hand to the
// host: the first element of the first gauge in Linkage ("KS-8").
inline const void* ks8_element(const emu::ModuleLibrary& module) {
    const auto* linkage = static_cast<const LinkageRecord*>(module.linkage_record());
    return linkage->gauges[0]->element_list->elements[0];
}

// Calls the seven generic routines of every gauge and checks the host's
// element operations: the KS-8 element every time, the resource handle and
// the phase passed through unchanged.
inline std::vector<std::string> check_generic_routines(emu::ModuleLibrary& module,
                                                       emu::EmulatedHost& host) {
    struct Case {
        emu::GaugeRoutine routine;
        std::uintptr_t argument;
        const char* op;
        std::uint64_t expected_argument;
    };
    const std::uintptr_t handle = 0x5A5A0;
    const Case cases[] = {
        {emu::GaugeRoutine::query, 0, "element_list_query", 0},
        {emu::GaugeRoutine::install, handle, "element_list_install", handle},
        {emu::GaugeRoutine::initialize, 0, "element_list_initialize", 0},
        {emu::GaugeRoutine::update, 0, "element_list_update", 0},
        {emu::GaugeRoutine::generate, 7, "element_list_generate", 7},
        {emu::GaugeRoutine::generate, 0xFFFFFFFFu, "element_list_generate", 0xFFFFFFFFu},
        {emu::GaugeRoutine::draw, 0, "element_list_plot", 0},
        {emu::GaugeRoutine::kill, 0, "element_list_kill", 0},
    };
    std::vector<std::string> wrong;
    const void* element = ks8_element(module);
    for (std::size_t g = 0; g < module.gauge_count(); ++g) {
        for (const Case& c : cases) {
            host.clear_element_calls();
            module.routine(g, c.routine, c.argument);
            const std::string at = "gauge " + module.gauge_name(g) + ", " + c.op + ": ";
            const auto& calls = host.element_calls();
            if (calls.size() != 1) {
                wrong.push_back(at + std::to_string(calls.size()) + " element calls, expected 1");
                continue;
            }
            if (calls[0].op != c.op) wrong.push_back(at + "host saw " + calls[0].op);
            if (calls[0].element != element) wrong.push_back(at + "not the KS-8 element");
            if (calls[0].argument != c.expected_argument)
                wrong.push_back(at + "argument " + std::to_string(calls[0].argument));
        }
    }
    return wrong;
}

}  // namespace kodrix::testing
