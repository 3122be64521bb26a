// A Nas1Computer on a fresh emulated host, with the panel's inputs set by name.
#pragma once

#include <cmath>
#include <memory>

#include <gtest/gtest.h>

#include "common/angles.h"
#include "nas1/nas1_computer.h"
#include "support/host_fixture.h"

namespace kodrix::testing {

inline constexpr const char* kCounters = "NAS1 Counters Switch";
inline constexpr const char* kMode = "NAS1 Mode Switch";
inline constexpr const char* kWspeed = "DISS Wspeed";
inline constexpr const char* kDrift = "DISS Drift Angle";
inline constexpr const char* kCourse = "KS8 Primary Course Signal";
inline constexpr const char* kMapAngle = "NAS1 Map Angle";
inline constexpr const char* kSau = "NAS1 SAU mode";
inline constexpr const char* kLbu = "NAS1 LBU Controller";
inline constexpr const char* kReset = "NAS1 ANU Vprev reset";
inline constexpr const char* kWindAngle = "NAS1 WC NavWind Angle";
inline constexpr const char* kWindSpeed = "NAS1 WC NavWind Speed";
inline constexpr const char* kS = "NAS1 S coordinate";
inline constexpr const char* kV = "NAS1 V coordinate";
inline constexpr const char* kCourseSignal = "ANU Course Signal";

class Nas1Test : public HostTest {
protected:
    Nas1Test() { create(); }

    // Builds a new computer in place of the old one, as a panel reload does.
    void create() {
        nas1.reset();
        nas1 = std::make_unique<Nas1Computer>();
    }

    void set(const char* name, double value, const char* unit = "number") {
        host.set_var(name, value, unit);
    }
    double get(const char* name, const char* unit = "number") const {
        return host.var(name, unit);
    }

    double s_m() const { return get(kS, "meters"); }
    double v_m() const { return get(kV, "meters"); }
    double lbu_km() const { return get(kLbu, "kilometer"); }
    double course_deg() const { return get(kCourseSignal, "degree"); }

    // The one course command sent since the last clear; fails when there is
    // not exactly one.
    std::uint32_t sole_key_value() const {
        const auto& events = host.key_events();
        EXPECT_EQ(events.size(), 1u);
        if (events.size() != 1) return 0xDEADBEEF;
        EXPECT_EQ(events[0].event, 66042u);
        return events[0].value;
    }

    std::unique_ptr<Nas1Computer> nas1;
};

// Difference a - b of two directions in degrees, wrapped into [-180, 180).
inline double angle_difference_deg(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d >= 180.0) d -= 360.0;
    if (d < -180.0) d += 360.0;
    return d;
}

}  // namespace kodrix::testing
