#include "nas1/nas1_computer.h"

#include <cmath>
#include <limits>

#include "common/angles.h"
#include "common/numeric.h"

namespace kodrix {

double nas1_vprev_km = 0.0;

namespace {

constexpr double kLbuLimitKm = 25.0;
constexpr double kDeadBandKm = 0.3;             // below it the line course is held
constexpr double kMaxInterceptDeg = 30.0;
constexpr double kFullInterceptM = 3000.0;      // deviation giving the largest angle
constexpr double kInterceptDegPerM = 0.01;
constexpr double kTurnBankRad = 0.2617993877991494;  // 15 degrees of bank
constexpr double kGravityMps2 = 9.81;
constexpr double kHalfRadiansPerDegree = 0.008726646259971648;
constexpr double kTwoTo32 = 4294967296.0;
constexpr std::uint32_t kAirspeedVariable = 24;  // true airspeed

}  // namespace

std::uint32_t course_key_value(double course_deg) {
    if (!std::isfinite(course_deg)) return 0;
    // The integer part modulo 2^32, exactly: fmod is exact and the sum below
    // stays an integer below 2^32.
    double low = std::fmod(std::trunc(course_deg), kTwoTo32);
    if (low < 0.0) low += kTwoTo32;
    return static_cast<std::uint32_t>(low);
}

Nas1Computer::Nas1Computer()
    : counters_switch("NAS1 Counters Switch", false),
      mode_switch("NAS1 Mode Switch", false),
      wspeed("DISS Wspeed", false),
      drift_angle("DISS Drift Angle", false),
      ks8_course("KS8 Primary Course Signal", false),
      map_angle("NAS1 Map Angle", false),
      sau_mode("NAS1 SAU mode", false),
      lbu_controller("NAS1 LBU Controller", false),
      vprev_reset("NAS1 ANU Vprev reset", false),
      navwind_angle("NAS1 WC NavWind Angle", false),
      navwind_speed("NAS1 WC NavWind Speed", false),
      s_coordinate("NAS1 S coordinate", false),
      v_coordinate("NAS1 V coordinate", false),
      anu_course_signal("ANU Course Signal", false) {
    s_coordinate.write(0.0, unit_catalog.units_meters);
    v_coordinate.write(0.0, unit_catalog.units_meters);
    // V restarts at 0, so its old reference must go too: otherwise the first
    // steering step would add minus the old V to the deviation.
    nas1_vprev_km = 0.0;
}

void Nas1Computer::update(double dt) {
    if (!switch_is_on(counters_switch.read(unit_catalog.units_number))) return;
    double drift_deg = 0.0;
    const std::int32_t mode = truncate_to_int32(mode_switch.read(unit_catalog.units_number));
    if (mode == 0 || mode == 1) {
        drift_deg = doppler_reckoning(dt);
    } else if (mode == 2) {
        drift_deg = wind_reckoning(dt);
    }
    steer(drift_deg);
}

void Nas1Computer::advance(double speed_mps, double track_rel_rad, double dt) {
    const double s_m = s_coordinate.read(unit_catalog.units_meters);
    const double v_m = v_coordinate.read(unit_catalog.units_meters);
    const double new_s_m = s_m + speed_mps * std::cos(track_rel_rad) * dt;
    const double new_v_m = v_m + speed_mps * std::sin(track_rel_rad) * dt;
    if (std::isfinite(new_s_m)) s_coordinate.write(new_s_m, unit_catalog.units_meters);
    if (std::isfinite(new_v_m)) v_coordinate.write(new_v_m, unit_catalog.units_meters);
}

double Nas1Computer::doppler_reckoning(double dt) {
    const double drift_rad = drift_angle.read(unit_catalog.units_radian);
    const double course_rad = ks8_course.read(unit_catalog.units_radian);
    const double map_rad = map_angle.read(unit_catalog.units_radian);
    const double speed_mps = wspeed.read_meters_per_second();
    // Track relative to the S axis.
    advance(speed_mps, course_rad + drift_rad - map_rad, dt);
    return drift_angle.read_degrees();
}

double Nas1Computer::wind_reckoning(double dt) {
    const double course_rad = ks8_course.read(unit_catalog.units_radian);
    const UnitsEnum mps = host().get_units_enum("meters per second");
    const double airspeed_mps = host().aircraft_varget(kAirspeedVariable, mps, 0);
    const double wind_to_rad = navwind_angle.read(unit_catalog.units_radian);
    const double wind_mps = navwind_speed.read_meters_per_second();

    // Ground velocity, north and east components.
    const double north_mps = airspeed_mps * std::cos(course_rad) + wind_mps * std::cos(wind_to_rad);
    const double east_mps = airspeed_mps * std::sin(course_rad) + wind_mps * std::sin(wind_to_rad);
    // Without a finite ground velocity there is neither a position change nor
    // a drift the steering could use.
    if (!std::isfinite(north_mps) || !std::isfinite(east_mps))
        return std::numeric_limits<double>::quiet_NaN();
    const double ground_mps = std::hypot(north_mps, east_mps);
    // Standing still over the ground: no track, no movement, no drift.
    if (ground_mps == 0.0) return 0.0;

    const double track_rad = std::atan2(east_mps, north_mps);
    double drift_deg = normalize_degrees(track_rad * kDegreesPerRadian) -
                       normalize_degrees(course_rad * kDegreesPerRadian);
    if (drift_deg > 180.0) drift_deg -= 360.0;
    if (drift_deg < -180.0) drift_deg += 360.0;

    const double map_rad = map_angle.read(unit_catalog.units_radian);
    advance(ground_mps, track_rad - map_rad, dt);
    return drift_deg;
}

void Nas1Computer::steer(double drift_deg) {
    if (!switch_is_on(sau_mode.read(unit_catalog.units_number))) return;

    // Lateral deviation: follow the change of V since the last step, or take
    // a new reference when asked. A non-finite V touches neither LBU nor the
    // reference, and a pending reset waits for a usable V.
    const UnitsEnum km = unit_catalog.units_kilometer;
    if (switch_is_on(vprev_reset.read(unit_catalog.units_number))) {
        const double v_km = v_coordinate.read(km);
        if (std::isfinite(v_km)) {
            nas1_vprev_km = v_km;
            vprev_reset.write(0.0, unit_catalog.units_number);
        }
    } else {
        const double old_lbu_km = lbu_controller.read(km);
        const double v_km = v_coordinate.read(km);
        if (std::isfinite(v_km)) {
            double lbu_km = old_lbu_km + (v_km - nas1_vprev_km);
            if (lbu_km < -kLbuLimitKm) {
                lbu_km = -kLbuLimitKm;
            } else if (lbu_km > kLbuLimitKm) {
                lbu_km = kLbuLimitKm;
            }
            // An infinite deviation set from outside is limited like any other;
            // NaN leaves the counter as it is.
            if (!std::isnan(lbu_km)) lbu_controller.write(lbu_km, km);
            nas1_vprev_km = v_km;
        }
    }

    // Commanded course. `usable` turns false as soon as the choice or the
    // value of the course rests on a non-finite quantity.
    const double lbu_km = lbu_controller.read(km);
    const double map_deg = map_angle.read_degrees();
    bool usable = std::isfinite(lbu_km) && std::isfinite(map_deg) && std::isfinite(drift_deg);
    const double line_course_deg = normalize_degrees(map_deg - drift_deg);
    double course_deg = line_course_deg;

    if (!(std::fabs(lbu_km) < kDeadBandKm)) {
        const double lbu_m = lbu_controller.read(unit_catalog.units_meters);
        const double abs_lbu_m = std::fabs(lbu_m);
        usable = usable && std::isfinite(lbu_m);

        const double intercept_deg =
            abs_lbu_m < kFullInterceptM ? kInterceptDegPerM * abs_lbu_m : kMaxInterceptDeg;
        const bool left_of_line = lbu_m < 0.0;
        const double intercept_course_deg = left_of_line
                                                ? normalize_degrees(map_deg + intercept_deg - drift_deg)
                                                : normalize_degrees(map_deg - intercept_deg - drift_deg);

        // Turn from the present course onto the line's direction, counted in
        // the sense that faces the aircraft toward the line.
        const double course_now_deg = ks8_course.read_degrees();
        const double closing_deg = left_of_line ? normalize_degrees(course_now_deg - map_deg)
                                                : normalize_degrees(map_deg - course_now_deg);
        usable = usable && std::isfinite(closing_deg);

        course_deg = intercept_course_deg;
        if (closing_deg > 0.0 && closing_deg <= 180.0) {
            // Start the turn onto the line when the distance to it along the
            // present course is within the lead of a 15-degree-bank turn.
            const double ground_mps = wspeed.read_meters_per_second();
            const double turn_radius_m =
                ground_mps * ground_mps / (std::tan(kTurnBankRad) * kGravityMps2);
            const double lead_m = std::tan(closing_deg * kHalfRadiansPerDegree) * turn_radius_m;
            const double distance_m = std::fabs(lbu_m / std::sin(closing_deg * kRadiansPerDegree));
            usable = usable && std::isfinite(lead_m) && std::isfinite(distance_m);
            if (distance_m <= lead_m) course_deg = line_course_deg;
        }
    }

    if (!usable || !std::isfinite(course_deg)) return;
    anu_course_signal.write_degrees(course_deg);
    host().trigger_key_event(kAutopilotCourseEvent, course_key_value(course_deg));
}

}  // namespace kodrix
