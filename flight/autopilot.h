// The autopilot of the flight runner: heading hold on the heading bug that the
// host's key event 66042 sets, and attitude manoeuvres that a scenario orders.
//
// The bug is a magnetic heading in whole degrees; the autopilot holds the true
// heading bug + variation. Before the first bug it holds the heading it was
// engaged on. It banks toward the heading with a bank proportional to the
// heading error (so that the heading closes with a time constant of about
// `heading_time_constant_s`), limited to `bank_limit_deg`, and rolls at most
// `roll_rate_deg_s`. A manoeuvre holds a given bank (and pitch) for a time,
// then heading hold resumes.
#pragma once

#include <cstdint>

#include "flight/aircraft.h"

namespace kodrix::fly {

struct AutopilotSettings {
    double bank_limit_deg = 15.0;
    double roll_rate_deg_s = 5.0;
    double pitch_rate_deg_s = 3.0;
    double heading_time_constant_s = 5.0;
    double roll_time_constant_s = 0.5;
};

class Autopilot {
public:
    Autopilot(const AutopilotSettings& settings, double initial_true_heading_deg,
              double level_pitch_deg);

    // Key event 66042: a magnetic heading in whole degrees.
    void set_bug(std::uint32_t bug_deg, double variation_deg);
    bool bug_set() const { return bug_set_; }
    std::uint32_t bug_deg() const { return bug_deg_; }
    double target_true_heading_deg() const { return target_true_deg_; }

    // Holds bank_deg (signed, right positive) and pitch_deg until end_time_s.
    void start_manoeuvre(double bank_deg, double pitch_deg, double end_time_s);
    bool in_manoeuvre() const { return manoeuvre_; }

    // The bank the autopilot asks for now, degrees, right positive.
    double commanded_bank_deg(const AircraftState& aircraft) const;

    // Rolls (and pitches) the aircraft toward the command over dt seconds.
    void step(AircraftState& aircraft, double time_s, double dt_s);

private:
    AutopilotSettings settings_;
    double target_true_deg_;
    double level_pitch_deg_;
    bool bug_set_ = false;
    std::uint32_t bug_deg_ = 0;
    bool manoeuvre_ = false;
    double manoeuvre_bank_deg_ = 0.0;
    double manoeuvre_pitch_deg_ = 0.0;
    double manoeuvre_end_s_ = 0.0;
};

}  // namespace kodrix::fly
