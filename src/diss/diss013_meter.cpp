#include "diss/diss013_meter.h"

#include <cmath>
#include <cstdint>

#include "common/numeric.h"
#include "common/random_source.h"

namespace kodrix {

namespace {

constexpr std::uint32_t kTokenGroundVelocityLongitudinal = 551;
constexpr std::uint32_t kTokenGroundVelocityLateral = 552;
constexpr std::uint32_t kTokenBank = 79;
constexpr std::uint32_t kTokenPitch = 77;

// The Doppler signal is lost beyond these attitudes (degrees, strict).
constexpr double kBankLossFromDeg = 30.0;   // bank on the 0..360 scale
constexpr double kBankLossToDeg = 330.0;
constexpr double kPitchLimitDeg = 30.0;

// Working speed range, both ends included: 50 m/s and 361 m/s in ft/s.
constexpr double kMinSpeedFps = 164.04199475065616;
constexpr double kMaxSpeedFps = 1184.3832020997374;

// Output of the fixed position of the mode switch.
constexpr double kFixedSpeedKmh = 689.0;

// Speed noise: S * (1 + 0.004 * (1 - 2 * r1 / 32767)), +-0.4 %.
constexpr double kSpeedNoiseFraction = 0.004;
constexpr double kTwoOverRandomMax = 6.103701895199438e-05;  // 2 / 32767
// Drift noise: +1/3 degree at r2 = 0 down to -1/3 degree at r2 = 32767.
constexpr double kDriftNoiseRad = 0.005817764173314431;           // 1/3 degree
constexpr double kDriftNoisePerDrawRad = 3.5509898210482685e-07;  // 2/3 degree / 32767

double refreshed(MODULE_VAR& token) {
    host().lookup_var(&token);
    return token.var_value;
}

}  // namespace

Diss013Meter::Diss013Meter()
    : power_source_line("DISS Power Source Line", false),
      signal_good("DISS Signal Good", false),
      wspeed("DISS Wspeed", false),
      drift_angle("DISS Drift Angle", false),
      mode_switch("NAS1 Mode Switch", false),
      ground_velocity_longitudinal{kTokenGroundVelocityLongitudinal, 0, 0, 0.0, 0.0},
      ground_velocity_lateral{kTokenGroundVelocityLateral, 0, 0, 0.0, 0.0},
      bank_angle{kTokenBank, 0, 0, 0.0, 0.0},
      pitch_angle{kTokenPitch, 0, 0, 0.0, 0.0} {
    host().initialize_var(&ground_velocity_longitudinal);
    host().initialize_var(&ground_velocity_lateral);
    host().initialize_var(&bank_angle);
    host().initialize_var(&pitch_angle);
}

// Signal lost: only the flag is written; speed and drift keep their values.
void Diss013Meter::lose_signal() const { signal_good.write_byte_as_number(0); }

void Diss013Meter::update() {
    const UnitCatalog& units = unit_catalog;

    if (truncate_to_int32(power_source_line.read(units.units_number)) == 0) {
        signal_good.write_byte_as_number(1);
        wspeed.write(0.0, units.units_kilometer_per_hour);
        drift_angle.write(0.0, units.units_radian);
        return;
    }

    const double bank_deg = refreshed(bank_angle);
    if (!std::isfinite(bank_deg) || (bank_deg > kBankLossFromDeg && bank_deg < kBankLossToDeg)) {
        lose_signal();
        return;
    }

    const double pitch_deg = refreshed(pitch_angle);
    if (!std::isfinite(pitch_deg) || std::fabs(pitch_deg) > kPitchLimitDeg) {
        lose_signal();
        return;
    }

    if (truncate_to_int32(mode_switch.read(units.units_number)) == 0) {
        wspeed.write(kFixedSpeedKmh, units.units_kilometer_per_hour);
        drift_angle.write(0.0, units.units_radian);
        signal_good.write_byte_as_number(1);
        return;
    }

    const double longitudinal_fps = refreshed(ground_velocity_longitudinal);
    const double lateral_fps = refreshed(ground_velocity_lateral);
    if (!std::isfinite(longitudinal_fps) || !std::isfinite(lateral_fps)) {
        lose_signal();
        return;
    }
    // Finite but huge components overflow to S = inf, which is above the range.
    const double speed_fps =
        std::sqrt(longitudinal_fps * longitudinal_fps + lateral_fps * lateral_fps);

    double measured_fps = 0.0;
    double drift_rad = 0.0;
    std::uint8_t good = 0;
    if (speed_fps < kMinSpeedFps) {
        // below the range: zero speed and drift
    } else if (speed_fps > kMaxSpeedFps) {
        measured_fps = kMaxSpeedFps;
    } else {
        // |T| <= S holds in exact arithmetic; the clamp keeps rounding from
        // ever handing asin a ratio outside [-1, 1].
        const double ratio = std::fmax(-1.0, std::fmin(1.0, lateral_fps / speed_fps));
        const double drift_true_rad = std::asin(ratio);
        const int r1 = random_draw();
        const double u = speed_fps * kSpeedNoiseFraction;
        measured_fps = speed_fps + (u - r1 * u * kTwoOverRandomMax);
        const int r2 = random_draw();
        drift_rad = drift_true_rad + (kDriftNoiseRad - r2 * kDriftNoisePerDrawRad);
        good = 1;
    }

    wspeed.write(measured_fps, units.units_feet_per_second);
    drift_angle.write(drift_rad, units.units_radian);
    signal_good.write_byte_as_number(good);
}

}  // namespace kodrix
