// The KS-8's view of the aircraft: five host tokens sampled once per KS-8
// update, position converted to degrees, and the change of longitude and of
// time since the previous sample.
//
// Tokens read (lookup_var, never written):
//   72   longitude, 2^48 = 360 degrees, positive east
//   71   latitude as metres along the meridian, 10001750 = 90 degrees, positive north
//   86   true heading, degrees clockwise from north
//   82   magnetic variation, degrees; true heading minus variation = magnetic heading
//   604  host time, seconds
// Named variables: none. The sampler makes no host call when destroyed.
#pragma once

#include "host/host_abi.h"

namespace kodrix {

constexpr double kDegreesPerLongitudeUnit = 1.2789769243681803e-12;  // 360 / 2^48
constexpr double kDegreesPerLatitudeMetre = 8.998425275576774e-06;   // 90 / 10001750

// Reduces a change of longitude in degrees into (-180, 180]. Changes already
// inside the range pass unchanged; non-finite changes pass as they are.
double reduce_longitude_change(double delta_deg);

class MotionSampler {
public:
    // Binds and refreshes tokens 72, 71, 86, 82, 604 in that order and takes
    // the first sample. The deltas are defined from the first update on.
    MotionSampler();
    MotionSampler(const MotionSampler&) = delete;
    MotionSampler& operator=(const MotionSampler&) = delete;

    // Takes a new sample and recomputes the deltas against the previous one.
    void update();

    double heading() const { return heading_var_.var_value; }      // true, degrees
    double variation() const { return variation_var_.var_value; }  // degrees
    double longitude() const { return longitude_; }                // degrees, east positive
    double latitude() const { return latitude_; }                  // degrees, north positive
    // Change since the previous sample, degrees in (-180, 180]: a crossing of
    // the 180th meridian counts as the short way round.
    double delta_longitude() const { return delta_longitude_; }
    // Token-604 change since the previous sample, seconds; negative when the
    // host's clock is set back.
    double delta_time() const { return delta_time_; }

private:
    void refresh_all();
    void convert_position();

    MODULE_VAR longitude_var_;
    MODULE_VAR latitude_var_;
    MODULE_VAR heading_var_;
    MODULE_VAR variation_var_;
    MODULE_VAR time_var_;

    double longitude_;
    double latitude_;
    double prev_longitude_;
    double prev_time_;
    double delta_longitude_;
    double delta_time_;
};

}  // namespace kodrix
