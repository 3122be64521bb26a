// Nas1Computer: the ANU computing unit of the NAS-1 navigation system.
//
// Keeps the aircraft's position in a frame tied to the route line by dead
// reckoning, and, coupled to the autopilot, steers onto that line.
//
// Directions (course, map angle, wind, track) are measured clockwise from
// north; a direction a has the north component cos a and the east component
// sin a. The drift angle is the track minus the course: positive when the
// track lies clockwise of the course.
//
// Named variables (all handles unowned, bound in this order at construction):
//   "NAS1 Counters Switch"     read  number   counters on (non-zero after truncation) or off
//   "NAS1 Mode Switch"         read  number   0 or 1: Doppler reckoning; 2: wind reckoning;
//                                             any other value: no reckoning, drift 0
//   "DISS Wspeed"              read  meters per second   ground speed from the Doppler meter
//   "DISS Drift Angle"         read  radian, degree      Doppler drift angle, + clockwise
//   "KS8 Primary Course Signal" read radian, degree      aircraft course from the course system
//   "NAS1 Map Angle"           read  radian, degree      direction of the route line (S axis)
//   "NAS1 SAU mode"            read  number   autopilot coupling (non-zero = steering on)
//   "NAS1 LBU Controller"      read, written  kilometer (also read in meters)
//                                             lateral deviation, sign of V: + right of the
//                                             line; held within [-25, 25] km
//   "NAS1 ANU Vprev reset"     read, written 0  number   request for a new V reference
//   "NAS1 WC NavWind Angle"    read  radian   direction toward which the wind blows
//   "NAS1 WC NavWind Speed"    read  meters per second   wind speed
//   "NAS1 S coordinate"        read, written  meters   along the line, + toward the map angle;
//                                             zeroed at construction
//   "NAS1 V coordinate"        read, written  meters (read in kilometer for steering)
//                                             across the line, + to the right of the S axis
//                                             seen along its direction; zeroed at construction
//   "ANU Course Signal"        written  degree   commanded course, [0, 360]
//
// Other host inputs and outputs:
//   aircraft variable 24, index 0, read in "meters per second" (airspeed, wind mode only)
//   key event 66042 with the commanded course in whole degrees, once per steering step
//
// A value that would come out non-finite is never written: that variable keeps
// its value for the step, and no key event is sent for a course that depends
// on a non-finite quantity.
#pragma once

#include <cstdint>

#include "host/named_var.h"

namespace kodrix {

// Key event that sets the heading held by the host's autopilot (hex 101FA).
constexpr std::uint32_t kAutopilotCourseEvent = 66042;

// "NAS1 V coordinate" in kilometers at the previous steering step or at the
// last reference reset. Module-wide so that switching the steering or the
// counters off and on carries it over; the construction of a Nas1Computer
// zeroes it together with S and V. Exposed for tests.
extern double nas1_vprev_km;

// The key value for a course in degrees: truncated toward zero to a 64-bit
// integer, of which the low 32 bits are taken as unsigned. Defined for every
// input: huge values keep the low 32 bits of their exact integer part,
// non-finite values give 0.
std::uint32_t course_key_value(double course_deg);

class Nas1Computer {
public:
    // Binds the handles, then writes 0 m to S and V and zeroes nas1_vprev_km.
    Nas1Computer();
    // Releases the handles in reverse order; no variable is removed.
    ~Nas1Computer() = default;
    Nas1Computer(const Nas1Computer&) = delete;
    Nas1Computer& operator=(const Nas1Computer&) = delete;

    // One reckoning and steering step over dt seconds of host time.
    void update(double dt);

    // One steering step with the drift angle (degrees) the reckoning used.
    void steer(double drift_deg);

    NamedVar counters_switch;
    NamedVar mode_switch;
    NamedVar wspeed;
    NamedVar drift_angle;
    NamedVar ks8_course;
    NamedVar map_angle;
    NamedVar sau_mode;
    NamedVar lbu_controller;
    NamedVar vprev_reset;
    NamedVar navwind_angle;
    NamedVar navwind_speed;
    NamedVar s_coordinate;
    NamedVar v_coordinate;
    NamedVar anu_course_signal;

private:
    // Returns the drift in degrees handed to the steering.
    double doppler_reckoning(double dt);
    double wind_reckoning(double dt);
    // Adds the ground velocity (speed, direction relative to the S axis in
    // radians) times dt to S and V, each only when the result is finite.
    void advance(double speed_mps, double track_rel_rad, double dt);
};

}  // namespace kodrix
