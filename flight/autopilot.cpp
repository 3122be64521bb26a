#include "flight/autopilot.h"

#include <algorithm>
#include <cmath>

namespace kodrix::fly {

namespace {

// Moves `value` toward `target` with a first-order lag, at most `max_rate`
// per second.
double approach(double value, double target, double time_constant_s, double max_rate,
                double dt_s) {
    double rate = (target - value) / time_constant_s;
    rate = std::clamp(rate, -max_rate, max_rate);
    double next = value + rate * dt_s;
    // Never step past the target.
    if ((target - value) * (target - next) < 0.0) next = target;
    return next;
}

}  // namespace

Autopilot::Autopilot(const AutopilotSettings& settings, double initial_true_heading_deg,
                     double level_pitch_deg)
    : settings_(settings),
      target_true_deg_(wrap360(initial_true_heading_deg)),
      level_pitch_deg_(level_pitch_deg) {}

void Autopilot::set_bug(std::uint32_t bug_deg, double variation_deg) {
    bug_deg_ = bug_deg % 360u;
    bug_set_ = true;
    target_true_deg_ = wrap360(static_cast<double>(bug_deg_) + variation_deg);
}

void Autopilot::start_manoeuvre(double bank_deg, double pitch_deg, double end_time_s) {
    manoeuvre_ = true;
    manoeuvre_bank_deg_ = bank_deg;
    manoeuvre_pitch_deg_ = pitch_deg;
    manoeuvre_end_s_ = end_time_s;
}

double Autopilot::commanded_bank_deg(const AircraftState& a) const {
    if (manoeuvre_) return manoeuvre_bank_deg_;
    // Small-angle heading loop: heading rate = g * bank / V, so a bank of
    // error * V / (g * tau) closes the error with time constant tau.
    const double error_deg = wrap180(target_true_deg_ - a.true_heading_deg);
    const double gain = std::max(a.tas_mps, 1.0) / (kGravityMps2 * settings_.heading_time_constant_s);
    return std::clamp(error_deg * gain, -settings_.bank_limit_deg, settings_.bank_limit_deg);
}

void Autopilot::step(AircraftState& a, double time_s, double dt_s) {
    if (manoeuvre_ && time_s >= manoeuvre_end_s_) manoeuvre_ = false;
    a.bank_deg = approach(a.bank_deg, commanded_bank_deg(a), settings_.roll_time_constant_s,
                          settings_.roll_rate_deg_s, dt_s);
    const double pitch_target = manoeuvre_ ? manoeuvre_pitch_deg_ : level_pitch_deg_;
    a.pitch_deg = approach(a.pitch_deg, pitch_target, settings_.roll_time_constant_s,
                           settings_.pitch_rate_deg_s, dt_s);
}

}  // namespace kodrix::fly
