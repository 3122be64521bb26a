#include "flight/aircraft.h"

#include <cmath>

namespace kodrix::fly {

GroundVelocity ground_velocity(double true_heading_deg, double tas_mps, const Wind& wind) {
    const double h = true_heading_deg * kRadPerDeg;
    const double toward = (wind.from_deg + 180.0) * kRadPerDeg;
    GroundVelocity g;
    g.north_mps = tas_mps * std::cos(h) + wind.speed_mps * std::cos(toward);
    g.east_mps = tas_mps * std::sin(h) + wind.speed_mps * std::sin(toward);
    g.along_mps = g.north_mps * std::cos(h) + g.east_mps * std::sin(h);
    g.across_mps = -g.north_mps * std::sin(h) + g.east_mps * std::cos(h);
    g.speed_mps = std::hypot(g.north_mps, g.east_mps);
    g.track_deg = wrap360(std::atan2(g.east_mps, g.north_mps) * kDegPerRad);
    g.drift_deg = std::atan2(g.across_mps, g.along_mps) * kDegPerRad;
    return g;
}

double turn_rate_deg_s(double tas_mps, double bank_deg) {
    if (tas_mps < 1.0) return 0.0;
    return kGravityMps2 * std::tan(bank_deg * kRadPerDeg) / tas_mps * kDegPerRad;
}

void advance(AircraftState& a, const Wind& wind, double dt_s) {
    const double turn_deg = turn_rate_deg_s(a.tas_mps, a.bank_deg) * dt_s;
    const GroundVelocity g = ground_velocity(a.true_heading_deg + 0.5 * turn_deg, a.tas_mps, wind);
    if (g.speed_mps > 0.0) a.position = great_circle_step(a.position, g.track_deg, g.speed_mps * dt_s);
    a.true_heading_deg = wrap360(a.true_heading_deg + turn_deg);
}

double latitude_token(double lat_deg) { return lat_deg * kMetersToPole / 90.0; }

double longitude_token(double lon_deg) {
    return wrap180(lon_deg) * (281474976710656.0 / 360.0);  // 2^48 per turn
}

double bank_token(double bank_deg) { return wrap360(bank_deg); }

HostTokens host_tokens(const AircraftState& a, const Wind& wind, double variation_deg,
                       double time_s) {
    const GroundVelocity g = ground_velocity(a.true_heading_deg, a.tas_mps, wind);
    HostTokens t;
    t.time_s = time_s;
    t.latitude = latitude_token(a.position.lat_deg);
    t.longitude = longitude_token(a.position.lon_deg);
    t.variation_deg = variation_deg;
    t.true_heading_deg = wrap360(a.true_heading_deg);
    t.pitch_deg = a.pitch_deg;
    t.bank_deg = bank_token(a.bank_deg);
    t.ground_along_fps = g.along_mps / kMetersPerFoot;
    t.ground_across_fps = g.across_mps / kMetersPerFoot;
    return t;
}

}  // namespace kodrix::fly
