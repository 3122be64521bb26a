#include "module/gauges.h"

#include "module/constinit.h"

namespace kodrix {

KODRIX_CONSTINIT GaugeSlot<Ks8CourseSystem> ks8_slot = make_gauge_slot<Ks8CourseSystem>();
KODRIX_CONSTINIT GaugeSlot<Diss013Meter> diss013_slot = make_gauge_slot<Diss013Meter>();
KODRIX_CONSTINIT GaugeSlot<Nas1Computer> anu_slot = make_gauge_slot<Nas1Computer>();

void KODRIX_CALL ks8_service_callback(GAUGEHDR*, std::int32_t service, std::uint32_t) {
    gauge_service<Ks8Gauge>(ks8_slot, service);
}

void KODRIX_CALL diss013_service_callback(GAUGEHDR*, std::int32_t service, std::uint32_t) {
    gauge_service<Diss013Gauge>(diss013_slot, service);
}

void KODRIX_CALL anu_service_callback(GAUGEHDR*, std::int32_t service, std::uint32_t) {
    gauge_service<AnuGauge>(anu_slot, service);
}

}  // namespace kodrix
