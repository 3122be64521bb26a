// Flight scenarios: what the runner flies, read from TOML. A scenario sets the
// aircraft's start, the wind and magnetic variation, the route line, the
// panel's switch positions, a timeline of changes, the run's length, frame
// rate and seed, and the outputs. Every key is checked: unknown keys, wrong
// types and values out of range are errors that name the file, the line and
// the field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flight/aircraft.h"
#include "flight/autopilot.h"
#include "flight/geo.h"

namespace kodrix::fly {

// One named variable written with its unit.
struct VarSetting {
    std::string name;
    double value = 0.0;
    std::string unit;  // a host unit name, e.g. "number", "degree", "meters"
};

enum class EventKind {
    set,         // write named variables
    manoeuvre,   // hold a bank (and pitch) for a time
    reload,      // the panel is reloaded: services 15, 14, 3 to every gauge
    wind,        // the wind changes
    crew_align,  // the crew aligns the gyros and sets the counters again
};

struct TimelineEvent {
    double at_s = 0.0;
    EventKind kind = EventKind::set;
    std::vector<VarSetting> sets;
    double bank_deg = 0.0;
    std::optional<double> pitch_deg;
    double duration_s = 0.0;
    Wind wind;
    int line = 0;  // where the event stands in its file
};

struct CrewSettings {
    // Align the gyros before coupling the autopilot: hold "KS8 Coord Button"
    // (primary slaved) or slew with "KS8 Course Selector" (primary free)
    // until the primary course agrees with the compass within the tolerance,
    // then set the counters and couple the SAU. Done at the start and after
    // every panel reload.
    bool align_gyros = true;
    double align_tolerance_deg = 1.0;
    double align_timeout_s = 300.0;
    // Set "NAS1 S coordinate" and "NAS1 V coordinate" to the aircraft's true
    // place in the route frame once the computer exists (and after alignment).
    bool place_counters = true;
};

struct OutputSettings {
    double trace_interval_s = 1.0;  // 0: every frame
    bool plots = true;
};

struct CaptureSettings {
    double band_m = 300.0;            // within this distance of the line...
    double track_tolerance_deg = 5.0; // ...and tracking along it within this
};

struct Scenario {
    std::string name;         // "default" for the built-in scenario
    std::string description;
    std::string source;       // file path, or "<built-in>"

    double duration_s = 0.0;
    double frame_rate_hz = 18.0;
    std::uint32_t seed = 1;

    AircraftState aircraft;   // start: position, true heading, airspeed, pitch
    Wind wind;
    double variation_deg = 0.0;

    RouteLine route;
    std::optional<double> map_angle_deg;  // as set on the panel; else from the route

    // Navigational wind for the computer's wind mode, stated as the crew does
    // (true direction it blows from); the runner sets the panel from it.
    std::optional<Wind> nav_wind;

    AutopilotSettings autopilot;
    CrewSettings crew;
    std::vector<VarSetting> panel;       // in file order
    std::vector<TimelineEvent> events;   // by time, file order within a time
    OutputSettings output;
    CaptureSettings capture;
};

// One problem found in a scenario file.
struct ScenarioIssue {
    std::string file;
    int line = 0;
    int column = 0;
    std::string field;    // e.g. "aircraft.airspeed_mps"; empty for syntax errors
    std::string message;
};

std::string format_issue(const ScenarioIssue& issue);  // "file:line:col: error: field: message"

// Reads a scenario from TOML text; `source` names it in messages. On failure
// returns false with every problem found in `issues`.
bool parse_scenario(std::string_view text, const std::string& source, Scenario& out,
                    std::vector<ScenarioIssue>& issues);

// Reads a scenario file; its name defaults to the file's stem.
bool load_scenario_file(const std::string& path, Scenario& out,
                        std::vector<ScenarioIssue>& issues);

// The built-in scenario, as TOML text, and read.
std::string_view builtin_scenario_text();
Scenario builtin_scenario();

// The module's named variables and the unit the runner writes each in when a
// scenario gives a bare number.
struct ModuleVariable {
    const char* name;
    const char* unit;
};
const std::vector<ModuleVariable>& module_variables();
const ModuleVariable* find_module_variable(std::string_view name);

}  // namespace kodrix::fly
