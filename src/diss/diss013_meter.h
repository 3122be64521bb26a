// DISS-013 Doppler meter: ground speed, drift angle and signal validity from
// the aircraft's velocity over the ground and its attitude.
//
// Named variables (all bound unowned; the meter removes none of them):
//   "DISS Power Source Line"  read, "number"; truncated, 0 = unpowered.
//   "DISS Signal Good"        written, "number", 0 or 1.
//   "DISS Wspeed"             written, ground speed: "feet per second" when
//                             measured or out of range, "kilometer per hour"
//                             when unpowered (0) or fixed (689).
//   "DISS Drift Angle"        written, "radian": track minus course, with the
//                             sign of the lateral ground velocity (token 552).
//   "NAS1 Mode Switch"        read, "number"; truncated, 0 = fixed output,
//                             anything else measures. Shared with the NAS-1.
//
// Host tokens (refreshed with lookup_var just before use):
//   551  ground velocity along the longitudinal axis, feet per second.
//   552  ground velocity across the longitudinal axis, feet per second.
//   79   bank, degrees on a 0..360 scale, 0 and 360 wings level.
//   77   pitch, signed degrees, 0 level.
//
// Each update decides its outcome afresh; the meter keeps no state of its own.
// S = sqrt(L^2 + T^2) with L = token 551 and T = token 552, in ft/s.
// Outcomes, tested in this order:
//   unpowered                      good 1, speed 0 km/h, drift 0
//   30 < bank < 330                good 0, speed and drift held
//   |pitch| > 30                   good 0, speed and drift held
//   mode switch 0                  speed 689 km/h, drift 0, good 1
//   S < 164.04199475065616 ft/s    speed 0, drift 0, good 0
//   S > 1184.3832020997374 ft/s    speed 1184.3832020997374, drift 0, good 0
//   otherwise                      S +-0.4 %, asin(T/S) +-1/3 deg, good 1
// A non-finite bank, pitch or ground velocity counts as a lost signal (good 0,
// speed and drift held), so no measurement built on it is published.
// A measuring update draws exactly two numbers from the module's random
// source (speed noise, then drift noise); every other outcome draws none.
#pragma once

#include "host/host_abi.h"
#include "host/named_var.h"

namespace kodrix {

class Diss013Meter {
public:
    // Binds the five handles in field order, then tokens 551, 552, 79, 77.
    // Writes no named variable.
    Diss013Meter();
    // Releases the handles in reverse field order; removes no variable.
    ~Diss013Meter() = default;
    Diss013Meter(const Diss013Meter&) = delete;
    Diss013Meter& operator=(const Diss013Meter&) = delete;

    // One measurement cycle; the "DISS-013" gauge calls it about three times
    // a second of host time.
    void update();

private:
    void lose_signal() const;

    // Destroyed in reverse order: mode switch first, power line last.
    NamedVar power_source_line;
    NamedVar signal_good;
    NamedVar wspeed;
    NamedVar drift_angle;
    NamedVar mode_switch;
    MODULE_VAR ground_velocity_longitudinal;  // token 551, ft/s
    MODULE_VAR ground_velocity_lateral;       // token 552, ft/s
    MODULE_VAR bank_angle;                    // token 79, deg 0..360
    MODULE_VAR pitch_angle;                   // token 77, deg signed
};

}  // namespace kodrix
