// The flight runner: flies a scenario closed-loop through the real module
// file, loaded into the emulated host the way the simulator loads it.
//
// One frame, at the scenario's frame rate: the aircraft's state goes into the
// host's tokens; the timeline's events that are due take effect; service 7
// goes to every gauge in the module's order; the runner reads the published
// signals and the key-event journal (key event 66042 sets the heading bug);
// the crew acts; the autopilot rolls toward the bug; the aircraft moves.
//
// The crew: once the computer exists (at the start and after a panel
// reload) it aligns the gyros, sets "NAS1 S coordinate" and "NAS1 V
// coordinate" to the aircraft's true place in the route frame, sets "NAS1 LBU
// Controller" to the same cross-track distance and raises "NAS1 ANU Vprev
// reset" so the computer starts its lateral deviation from there, and then
// couples the SAU. See CrewSettings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "flight/scenario.h"

namespace kodrix::fly {

// One line of the trace. Angles in degrees, distances in meters, speeds in
// meters per second. NaN where a value does not exist (no heading bug yet,
// counters not set).
struct TraceRow {
    double t_s;
    double lat_deg, lon_deg;
    double along_m, cross_m;      // true place in the route frame
    double nas_s_m, nas_v_m;      // what the computer reckons
    double lbu_m;                 // its lateral deviation
    double dr_error_m;            // distance between the two places; NaN before the counters are set
    double true_heading_deg, magnetic_heading_deg;
    double track_deg, ground_speed_mps;
    double bank_deg, pitch_deg;
    double ks8_primary_deg, ks8_secondary_deg;
    double gyro_offset_deg;       // primary signal minus the heading carried along the path (free gyro drift)
    double secondary_offset_deg;  // the same for the secondary signal
    double diss_speed_mps, diss_drift_deg, diss_signal_good;
    double anu_course_deg;        // "ANU Course Signal"
    double heading_bug_deg;       // magnetic, from key event 66042
    double sau_mode;
};

struct FlightMark {
    double t_s;
    const char* what;  // "gyros aligned", "panel reload", "captured", ...
};

struct GyroAlignment {
    double start_s = 0.0;
    double done_s = 0.0;  // NaN while not done
    bool done = false;
};

// A stretch of time during which the primary gyro ran free with one latitude
// setting: its measured drift against the heading carried along the path,
// and the drift the earth's rotation predicts for that setting.
struct GyroSegment {
    double start_s = 0.0;
    double end_s = 0.0;
    double latitude_setting_deg = 0.0;
    double mean_latitude_deg = 0.0;
    double measured_deg_per_h = 0.0;
    double earth_rate_deg_per_h = 0.0;  // -15 deg/h * (sin(latitude) - sin(setting)), averaged
};

struct FlightSummary {
    std::string scenario;
    std::string source;
    std::uint32_t seed = 0;
    bool seed_fixed = false;  // false when the module offers no seed seam
    double duration_s = 0.0;
    double frame_rate_hz = 0.0;
    std::uint64_t frames = 0;
    double wall_s = 0.0;
    double trace_interval_s = 0.0;  // as kept: widened when the trace would pass a million lines

    bool captured = false;
    double time_to_capture_s = 0.0;           // NaN when not captured
    double final_xtk_m = 0.0;
    double max_abs_xtk_after_capture_m = 0.0;  // NaN when not captured
    double rms_xtk_after_capture_m = 0.0;      // NaN when not captured

    double max_dr_error_m = 0.0;   // while the counters are set
    double final_dr_error_m = 0.0;
    double dr_time_s = 0.0;        // time the counters were set

    double diss_valid_fraction = 0.0;
    double diss_lost_s = 0.0;

    std::vector<GyroAlignment> alignments;
    std::vector<GyroSegment> free_gyro;
    int reloads = 0;
    int antimeridian_crossings = 0;
    std::uint64_t course_commands = 0;  // key events 66042
    LatLon final_position;
};

struct FlightResult {
    FlightSummary summary;
    std::vector<TraceRow> trace;
    std::vector<FlightMark> marks;
};

struct RunOptions {
    std::string module_path;
    bool keep_trace = true;
    // Called now and then with the fraction of the flight done.
    std::function<void(double)> progress;
};

// Flies the scenario. False with a message when the module cannot be loaded
// or lacks a gauge; the flight itself always completes.
bool fly(const Scenario& scenario, const RunOptions& options, FlightResult& result,
         std::string& error);

}  // namespace kodrix::fly
