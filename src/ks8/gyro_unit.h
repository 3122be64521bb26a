// One directional gyro of the KS-8 course system: a heading reference with a
// random initial misalignment and its own random drift, which either runs
// free (earth-rate drift less the latitude correction, convergence of
// meridians, slewing) or is slaved to a sensor heading by matching.
//
//   course signal = normalize(true heading - (convergence_angle + error_angle))
//
// Inputs, all through the KS-8's MotionSampler (the unit makes no host call):
// true heading (token 86, degrees), magnetic variation (token 82, degrees),
// latitude (degrees, north positive), longitude change (degrees, east
// positive) and elapsed time (seconds). A larger error_angle turns the course
// signal towards smaller values.
#pragma once

#include <cstdint>

#include "ks8/motion_sampler.h"

namespace kodrix {

// Set once the first gyro unit of the module's life has seeded the random
// source; later units draw on without seeding. Only the gyro unit and test
// code touch it (tests clear it to start from a freshly loaded module).
extern bool gyro_random_seeded;

// Modes of GyroUnit::step. Any value other than 0 and 1 is true-heading matching.
constexpr std::int32_t kGyroMagneticMatching = 0;
constexpr std::int32_t kGyroFree = 1;
constexpr std::int32_t kGyroTrueMatching = 2;

// Course selector of a free unit: 0 drift, 1 slew the signal down, 2 slew it up.
constexpr std::int32_t kCourseNeutral = 0;
constexpr std::int32_t kCourseSlewDown = 1;
constexpr std::int32_t kCourseSlewUp = 2;

// Whether increasing `current` reaches `target` by the shorter arc; degrees in
// [0, 360). At exactly half a turn: true for a target up to 180, false above.
bool clockwise_is_shorter(double target, double current);

struct GyroUnit {
    // Seeds the random source if no unit has done so yet, then takes two
    // draws: the misalignment and the drift rate.
    explicit GyroUnit(const MotionSampler& motion);

    // Degrees in [0, 360) from the sampler's present heading; changes nothing.
    double course_signal() const;

    // Advances the unit over the sampler's delta_time. `latitude_setting` in
    // degrees, negative south. When any of the step's inputs (heading,
    // variation, latitude, latitude setting, elapsed time, longitude change)
    // is not finite, whatever the mode, or the result would not be finite,
    // the angles stay as they were.
    void step(std::int32_t mode, bool fast_matching, std::int32_t course_selector,
              double latitude_setting);

    const MotionSampler* sampler;  // not owned
    double error_angle;            // degrees, unreduced except after a drift step
    double convergence_angle;      // degrees, accumulated, never reduced
    double drift_rate;             // degrees per second, within +-1/1800
};

}  // namespace kodrix
