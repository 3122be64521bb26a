#include "ks8/gyro_unit.h"

#include <cmath>

#include "common/angles.h"
#include "common/random_source.h"

namespace kodrix {

bool gyro_random_seeded = false;

namespace {

constexpr double kDegreesPerDraw = 0.01098666341135899;      // 360 / 32767
constexpr double kMaxDriftRate = 0.0005555555555555556;      // 1/1800 deg/s = 2 deg/h
constexpr double kDriftRatePerDraw = 3.3909454973330214e-08;  // (1/900) / 32767 deg/s
constexpr double kEarthRate = 0.004166666666666667;           // 15 deg/h in deg/s
constexpr double kSlewRate = 3.0;                              // deg/s
constexpr double kSlowBand = 0.1;                              // deg
constexpr double kSlowRate = 0.5;                              // deg/s
constexpr double kFastBand = 0.8;                              // deg
constexpr double kFastRate = 3.0;                              // deg/s

}  // namespace

bool clockwise_is_shorter(double target, double current) {
    if (target > 180.0) return target - 180.0 < current && current <= target;
    return current < target || current >= target + 180.0;
}

GyroUnit::GyroUnit(const MotionSampler& motion)
    : sampler(&motion), error_angle(0.0), convergence_angle(0.0), drift_rate(0.0) {
    if (!gyro_random_seeded) {
        random_seed_from_calendar_time();
        gyro_random_seeded = true;
    }
    error_angle = random_draw() * kDegreesPerDraw;
    drift_rate = kMaxDriftRate - random_draw() * kDriftRatePerDraw;
}

double GyroUnit::course_signal() const {
    return normalize_degrees(sampler->heading() - (convergence_angle + error_angle));
}

void GyroUnit::step(std::int32_t mode, bool fast_matching, std::int32_t course_selector,
                    double latitude_setting) {
    const MotionSampler& s = *sampler;
    const double dt = s.delta_time();
    // A non-finite host value skips the step rather than poisoning the angles.
    if (!std::isfinite(s.heading()) || !std::isfinite(s.variation()) ||
        !std::isfinite(s.latitude()) || !std::isfinite(latitude_setting) ||
        !std::isfinite(dt) || !std::isfinite(s.delta_longitude())) {
        return;
    }

    const double current = course_signal();
    const double reference = mode == kGyroMagneticMatching
                                 ? normalize_degrees(s.heading() - s.variation())
                                 : s.heading();
    double error = error_angle;
    double convergence = convergence_angle;

    if (mode == kGyroFree) {
        switch (course_selector) {
            case kCourseNeutral: {
                const double sin_lat = std::sin(s.latitude() * kRadiansPerDegree);
                convergence += sin_lat * s.delta_longitude();
                error += drift_rate * dt;
                error += sin_lat * dt * kEarthRate;
                // Latitude correction: cancels the earth rate when set to the present latitude.
                error = normalize_degrees(
                    error - std::sin(latitude_setting * kRadiansPerDegree) * dt * kEarthRate);
                break;
            }
            case kCourseSlewDown:
                error += kSlewRate * dt;
                break;
            case kCourseSlewUp:
                error -= kSlewRate * dt;
                break;
            default:
                break;
        }
    } else {
        // Plain difference of the two numbers, not the angular distance.
        const double band = fast_matching ? kFastBand : kSlowBand;
        if (std::fabs(reference - current) > band) {
            const double rate = fast_matching ? kFastRate : kSlowRate;
            if (clockwise_is_shorter(reference, current)) {
                error -= rate * dt;
            } else {
                error += rate * dt;
            }
        }
    }

    // Overflow from huge finite inputs must not stick either.
    if (!std::isfinite(error) || !std::isfinite(convergence)) return;
    error_angle = error;
    convergence_angle = convergence;
}

}  // namespace kodrix
