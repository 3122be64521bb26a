// The lifecycle of one gauge: services 14 and 15 arm creation, the next
// service 3 builds the gauge's model object, service 7 updates it and
// service 15 destroys it. One slot per gauge, module-wide, shared by every
// placed instance of that gauge.
//
// A gauge is described by a traits record:
//   using Model = ...;                      the model object type
//   static constexpr bool kThrottled;       updated on token-604 time, or on every 7
//   static constexpr double kUpdatePeriod;  throttled: seconds that must pass (strictly)
//   static constexpr bool kPassesElapsed;   throttled: update(elapsed) rather than update()
#pragma once

#include <cmath>
#include <cstdint>
#include <new>

#include "common/random_source.h"
#include "host/host_abi.h"

namespace kodrix {

enum PanelService : std::int32_t {
    kServicePostInstall = 3,
    kServicePostUpdate = 7,
    kServiceConnectToWindow = 14,
    kServiceDisconnect = 15,
};

constexpr std::uint32_t kTimeToken = 604;  // host time, seconds

template <class Model>
struct GaugeSlot {
    Model* object;
    bool creation_armed;
    MODULE_VAR time_var;   // throttled gauges only; token 604 from load on
    double last_run_time;  // token-604 time of the last update, seconds
};

template <class Model>
constexpr GaugeSlot<Model> make_gauge_slot() {
    return GaugeSlot<Model>{nullptr, false, MODULE_VAR{kTimeToken, 0, 0, 0.0, 0.0}, 0.0};
}

template <class Gauge>
void destroy_gauge_object(GaugeSlot<typename Gauge::Model>& slot) {
    if (slot.object == nullptr) return;
    delete slot.object;
    slot.object = nullptr;
}

template <class Gauge>
void create_gauge_object(GaugeSlot<typename Gauge::Model>& slot) {
    // A 3 after a 14 with an object still alive replaces it: the old one goes
    // first so that at most one object exists.
    destroy_gauge_object<Gauge>(slot);
    slot.object = new (std::nothrow) typename Gauge::Model();
    if constexpr (Gauge::kThrottled) {
        // Start the period at the host's present time, so the first update does
        // not integrate everything since the host's clock began.
        host().initialize_var(&slot.time_var);
        host().lookup_var(&slot.time_var);
        const double now = slot.time_var.var_value;
        slot.last_run_time = std::isfinite(now) ? now : 0.0;
        random_seed_from_calendar_time();
    }
    slot.creation_armed = false;
}

template <class Gauge>
void update_gauge_object(GaugeSlot<typename Gauge::Model>& slot) {
    if (slot.object == nullptr) return;
    if constexpr (Gauge::kThrottled) {
        host().lookup_var(&slot.time_var);
        const double now = slot.time_var.var_value;
        const double elapsed = now - slot.last_run_time;
        // A non-finite clock never counts as time passing.
        if (!std::isfinite(now) || !(elapsed > Gauge::kUpdatePeriod)) return;
        if constexpr (Gauge::kPassesElapsed) {
            slot.object->update(elapsed);
        } else {
            slot.object->update();
        }
        slot.last_run_time = now;
    } else {
        slot.object->update();
    }
}

// The whole service callback body, identical for the three gauges.
template <class Gauge>
void gauge_service(GaugeSlot<typename Gauge::Model>& slot, std::int32_t service) {
    switch (service) {
        case kServicePostInstall:
            if (slot.creation_armed) create_gauge_object<Gauge>(slot);
            break;
        case kServicePostUpdate:
            update_gauge_object<Gauge>(slot);
            break;
        case kServiceConnectToWindow:
            slot.creation_armed = true;
            break;
        case kServiceDisconnect:
            destroy_gauge_object<Gauge>(slot);
            slot.creation_armed = true;
            break;
        default:
            break;
    }
}

}  // namespace kodrix
