// The three gauges' service callbacks and their module-wide slots.
//
//   "KS-8"      Ks8CourseSystem  update() on every service 7
//   "DISS-013"  Diss013Meter     update() when token 604 has advanced by more
//                                than 0.333333 s since its last run
//   "ANU"       Nas1Computer     update(elapsed_s) when token 604 has advanced
//                                by more than 0.333 s
//
// Reads token 604 (time, seconds) for the two throttled gauges; everything
// else is read and written by the models themselves. The callbacks ignore the
// gauge header and the extra value: every placed instance of one gauge shares
// its slot and model object.
#pragma once

#include <cstdint>

#include "diss/diss013_meter.h"
#include "ks8/ks8_course_system.h"
#include "module/gauge_slot.h"
#include "module/linkage_records.h"
#include "nas1/nas1_computer.h"

namespace kodrix {

struct Ks8Gauge {
    using Model = Ks8CourseSystem;
    static constexpr bool kThrottled = false;
    static constexpr double kUpdatePeriod = 0.0;
    static constexpr bool kPassesElapsed = false;
};

struct Diss013Gauge {
    using Model = Diss013Meter;
    static constexpr bool kThrottled = true;
    static constexpr double kUpdatePeriod = 0.333333;  // s of token 604
    static constexpr bool kPassesElapsed = false;
};

struct AnuGauge {
    using Model = Nas1Computer;
    static constexpr bool kThrottled = true;
    static constexpr double kUpdatePeriod = 0.333;  // s of token 604
    static constexpr bool kPassesElapsed = true;
};

extern GaugeSlot<Ks8CourseSystem> ks8_slot;
extern GaugeSlot<Diss013Meter> diss013_slot;
extern GaugeSlot<Nas1Computer> anu_slot;

void KODRIX_CALL ks8_service_callback(GAUGEHDR* gauge, std::int32_t service, std::uint32_t extra);
void KODRIX_CALL diss013_service_callback(GAUGEHDR* gauge, std::int32_t service,
                                          std::uint32_t extra);
void KODRIX_CALL anu_service_callback(GAUGEHDR* gauge, std::int32_t service, std::uint32_t extra);

}  // namespace kodrix
