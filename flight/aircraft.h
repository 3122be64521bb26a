// The aircraft of the flight runner: a point on the spherical earth flying
// level at a true airspeed and a true heading through an air mass that moves
// with the wind, with a bank and a pitch attitude. Turns are coordinated:
// the heading changes at g tan(bank) / V.
//
// Sign conventions:
// - bank_deg is signed here: positive with the right wing down (turning
//   right, heading increasing), negative with the left wing down. The host's
//   token 79 carries it on a 0..360 scale: 0 (and 360) wings level, 15 is
//   15 degrees right, 345 is 15 degrees left.
// - pitch_deg is positive nose up. The aircraft flies level whatever its
//   pitch attitude; the attitude matters to the Doppler meter only.
// - The wind is given by the true direction it blows FROM, as crews state it
//   (from 270 = a westerly wind, blowing toward 090).
// - Magnetic variation: magnetic heading = true heading - variation (east
//   variation positive), as the host's token 82 means it.
// - Ground velocity across the aircraft's axis is positive to the right, so
//   the drift angle (track minus heading) has its sign.
#pragma once

#include <cstdint>

#include "flight/geo.h"

namespace kodrix::fly {

struct Wind {
    double from_deg = 0.0;   // true direction the wind blows from
    double speed_mps = 0.0;
};

struct AircraftState {
    LatLon position;
    double true_heading_deg = 0.0;  // [0, 360)
    double tas_mps = 0.0;           // true airspeed
    double bank_deg = 0.0;          // signed, right wing down positive
    double pitch_deg = 0.0;         // nose up positive
};

struct GroundVelocity {
    double north_mps = 0.0;
    double east_mps = 0.0;
    double along_mps = 0.0;   // along the aircraft's axis, forward positive
    double across_mps = 0.0;  // across it, positive to the right
    double speed_mps = 0.0;
    double track_deg = 0.0;   // true track over the ground, [0, 360)
    double drift_deg = 0.0;   // track minus heading, (-180, 180], positive to the right
};

GroundVelocity ground_velocity(double true_heading_deg, double tas_mps, const Wind& wind);

// Rate of heading change in a coordinated turn, degrees per second, positive
// to the right. No turn below 1 m/s of airspeed.
double turn_rate_deg_s(double tas_mps, double bank_deg);

// Moves the aircraft by dt seconds: the heading turns at the coordinated rate
// and the position follows the ground velocity at the mid-step heading along
// a great circle.
void advance(AircraftState& aircraft, const Wind& wind, double dt_s);

// Host token scalings.
double latitude_token(double lat_deg);    // 71: meters along the meridian, 10001750 = 90 deg
double longitude_token(double lon_deg);   // 72: 2^48 = 360 deg, signed, wrapped at +-180
double bank_token(double bank_deg);       // 79: 0..360 scale, see above

// Every token the module reads, from the aircraft's state.
struct HostTokens {
    double time_s = 0.0;             // 604
    double latitude = 0.0;           // 71
    double longitude = 0.0;          // 72
    double variation_deg = 0.0;      // 82
    double true_heading_deg = 0.0;   // 86
    double pitch_deg = 0.0;          // 77
    double bank_deg = 0.0;           // 79, host scale
    double ground_along_fps = 0.0;   // 551
    double ground_across_fps = 0.0;  // 552
};

HostTokens host_tokens(const AircraftState& aircraft, const Wind& wind, double variation_deg,
                       double time_s);

}  // namespace kodrix::fly
