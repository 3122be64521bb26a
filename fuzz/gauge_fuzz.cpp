// Plays arbitrary sequences of panel services, frames and input values to the
// three gauges through the module's own records (Linkage -> gauge headers ->
// service callbacks) and the emulated host, and checks what must always hold:
//   - no crash, no sanitizer report, no leak (every input ends with service 15
//     to every gauge, so LeakSanitizer sees any object a slot lost);
//   - at most one model object per gauge;
//   - course signals written by the module lie in [0, 360] whenever their
//     inputs are finite (360 only from reducing a tiny negative angle);
//   - the module never writes a non-finite S, V or lateral deviation, and every
//     course key event carries the whole degrees of the course just written.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include <fuzzer/FuzzedDataProvider.h>

#include "common/random_source.h"
#include "emulator/emulated_host.h"
#include "host/host_abi.h"
#include "module/gauges.h"
#include "module/linkage.h"
#include "ks8/gyro_unit.h"
#include "nas1/nas1_computer.h"

namespace {

using kodrix::NamedVarId;
using kodrix::UnitsEnum;

// Every named variable the module reads, including the ones it also writes.
const char* const kInputs[] = {
    "KS8 Power Source Line",  "KS8 Mode Selector",     "KS8 Course Selector",
    "KS8 Hemisphere Switch",  "KS8 GyroUnit Switch",   "KS8 Latitude Selector",
    "KS8 Coord Button",       "KS8 Primary Course Signal", "DISS Power Source Line",
    "DISS Wspeed",            "DISS Drift Angle",      "NAS1 Mode Switch",
    "NAS1 Counters Switch",   "NAS1 Map Angle",        "NAS1 WC NavWind Angle",
    "NAS1 WC NavWind Speed",  "NAS1 S coordinate",     "NAS1 V coordinate",
    "NAS1 SAU mode",          "NAS1 ANU Vprev reset",  "NAS1 LBU Controller",
};
const char* const kUnits[] = {"number", "degree", "radian", "meters", "kilometer",
                              "meters per second", "feet per second", "kilometer per hour"};
const std::uint32_t kTokens[] = {604, 71, 72, 82, 86, 77, 79, 551, 552};
const std::int32_t kServices[] = {3, 7, 14, 15, 0, 1, 2, 4, 13, 16, -1};

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kSpecial[] = {0.0,   -0.0,  1.0,     -1.0,   2.0,    0.5,     0.9,
                           30.0,  330.0, 359.99,  360.0,  -1e-20, 1e-300,  -1e-300,
                           1e300, -1e300, 2147483648.0, -2147483649.0, 1e18, kInf,
                           -kInf, std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::max()};

// What the checks need to know about the module's writes, kept by the
// intercepting host operations.
struct Watch {
    kodrix::emu::EmulatedHost* host = nullptr;
    kodrix::SetTypedValueOp set = nullptr;
    kodrix::KeyEventOp key = nullptr;
    NamedVarId s = -1, v = -1, lbu = -1, anu_course = -1;
    bool anu_course_pending = false;
    double anu_course_deg = 0.0;
    bool ks8_inputs_finite = true;  // token 86 as the KS-8 last saw it
    bool anu_inputs_finite = true;  // every value the fuzzer fed is finite
} watch;

[[noreturn]] void fail(const char* what, double value) {
    __builtin_printf("invariant broken: %s (value %.17g)\n", what, value);
    std::abort();
}

bool in_turn(double deg) { return deg >= 0.0 && deg <= 360.0; }

void KODRIX_CALL checked_set(NamedVarId id, double value, UnitsEnum units) {
    if (id >= 0) {
        if ((id == watch.s || id == watch.v || id == watch.lbu) && !std::isfinite(value))
            fail("non-finite S, V or lateral deviation written", value);
        // The KS-8 owns its outputs: they get new ids each time it is created.
        if (id == watch.host->find_var("KS8 Primary Course Signal") ||
            id == watch.host->find_var("KS8 Secondary Course Signal")) {
            if (watch.ks8_inputs_finite && !in_turn(value)) fail("KS-8 course signal", value);
        }
        if (id == watch.anu_course) {
            if (!std::isfinite(value) || (watch.anu_inputs_finite && !in_turn(value)))
                fail("ANU course signal", value);
            watch.anu_course_pending = true;
            watch.anu_course_deg = value;
        }
    }
    watch.set(id, value, units);
}

std::uint32_t KODRIX_CALL checked_key(std::uint32_t event, std::uint32_t value) {
    if (event == 66042) {
        if (!watch.anu_course_pending) fail("course key event without a course", value);
        if (static_cast<double>(value) != std::trunc(watch.anu_course_deg))
            fail("course key event differs from the course", value);
        watch.anu_course_pending = false;
    }
    return watch.key(event, value);
}

double pick_value(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            return in.PickValueInArray(kSpecial);
        case 1:
            return in.ConsumeFloatingPointInRange<double>(-400.0, 400.0);
        default: {
            double d = 0.0;
            const auto bytes = in.ConsumeBytes<std::uint8_t>(sizeof d);
            if (!bytes.empty()) std::memcpy(&d, bytes.data(), bytes.size());
            return d;
        }
    }
}

kodrix::GAUGEHDR* gauge(std::size_t i) { return Linkage.gauges[i]; }

void service(std::size_t g, std::int32_t s) {
    gauge(g)->service_callback(gauge(g), s, 0);
    watch.anu_course_pending = false;
}

// The slots allocate their model objects with the non-throwing new and nothing
// else does: counting those allocations counts the module's live objects.
constexpr int kMaxTracked = 16;
void* live_objects[kMaxTracked] = {};
int live_object_count = 0;

void track(void* p) {
    if (p == nullptr) return;
    if (live_object_count >= 3) fail("more than one model object per gauge", live_object_count);
    for (void*& slot : live_objects)
        if (slot == nullptr) {
            slot = p;
            ++live_object_count;
            return;
        }
}

void untrack(void* p) {
    if (p == nullptr || live_object_count == 0) return;
    for (void*& slot : live_objects)
        if (slot == p) {
            slot = nullptr;
            --live_object_count;
            return;
        }
}

void reset_module_to_load_state() {
    kodrix::ks8_slot = kodrix::make_gauge_slot<kodrix::Ks8CourseSystem>();
    kodrix::diss013_slot = kodrix::make_gauge_slot<kodrix::Diss013Meter>();
    kodrix::anu_slot = kodrix::make_gauge_slot<kodrix::Nas1Computer>();
    kodrix::unit_catalog = kodrix::UnitCatalog{};
    kodrix::gyro_random_seeded = false;
    kodrix::nas1_vprev_km = 0.0;
}

}  // namespace

void* operator new(std::size_t n) {
    void* p = std::malloc(n != 0 ? n : 1);
    if (p == nullptr) std::abort();
    return p;
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    void* p = std::malloc(n != 0 ? n : 1);
    track(p);
    return p;
}
void operator delete(void* p) noexcept {
    untrack(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    untrack(p);
    std::free(p);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kodrix::emu::EmulatedHost host;
    kodrix::random_fix_seed(1);
    ImportTable.panels = host.table();

    watch = Watch{};
    watch.host = &host;
    watch.set = host.table()->set_named_variable_typed_value;
    watch.key = host.table()->trigger_key_event;
    host.table()->set_named_variable_typed_value = checked_set;
    host.table()->trigger_key_event = checked_key;
    // Resolve the watched names up front so ids are known before the module binds them.
    watch.s = host.ensure_var("NAS1 S coordinate");
    watch.v = host.ensure_var("NAS1 V coordinate");
    watch.lbu = host.ensure_var("NAS1 LBU Controller");
    watch.anu_course = host.ensure_var("ANU Course Signal");

    FuzzedDataProvider in(data, size);
    int nonfinite_inputs = 0;  // fed values currently non-finite
    bool nonfinite_var[sizeof kInputs / sizeof kInputs[0]] = {};
    bool nonfinite_token[sizeof kTokens / sizeof kTokens[0]] = {};
    double time_s = 0.0;

    bool airspeed_nonfinite = false;

    while (in.remaining_bytes() > 0) {
        watch.ks8_inputs_finite = std::isfinite(host.token(86));
        watch.anu_inputs_finite = nonfinite_inputs == 0 && !airspeed_nonfinite;

        switch (in.ConsumeIntegralInRange<int>(0, 5)) {
            case 0: {  // one service to one gauge
                const std::size_t g = in.ConsumeIntegralInRange<std::size_t>(0, 2);
                const std::int32_t s = in.ConsumeBool() ? in.PickValueInArray(kServices)
                                                        : in.ConsumeIntegral<std::int32_t>();
                service(g, s);
                break;
            }
            case 1: {  // frames: time advances, service 7 to every gauge
                const int frames = in.ConsumeIntegralInRange<int>(1, 64);
                const double step = in.ConsumeFloatingPointInRange<double>(0.0, 2.0);
                for (int f = 0; f < frames; ++f) {
                    time_s += step;
                    if (!nonfinite_token[0]) host.set_token(604, time_s);
                    for (std::size_t g = 0; g < 3; ++g) service(g, 7);
                }
                break;
            }
            case 2: {  // a named variable, in any of the module's units
                const std::size_t i = in.ConsumeIntegralInRange<std::size_t>(
                    0, sizeof kInputs / sizeof kInputs[0] - 1);
                const char* unit = in.PickValueInArray(kUnits);
                const double value = pick_value(in);
                host.set_var(kInputs[i], value, unit);
                const bool bad = !std::isfinite(value);
                nonfinite_inputs += static_cast<int>(bad) - static_cast<int>(nonfinite_var[i]);
                nonfinite_var[i] = bad;
                break;
            }
            case 3: {  // a token
                const std::size_t i = in.ConsumeIntegralInRange<std::size_t>(
                    0, sizeof kTokens / sizeof kTokens[0] - 1);
                const double value = pick_value(in);
                host.set_token(kTokens[i], value);
                if (i == 0 && std::isfinite(value)) time_s = value;
                const bool bad = !std::isfinite(value);
                nonfinite_inputs += static_cast<int>(bad) - static_cast<int>(nonfinite_token[i]);
                nonfinite_token[i] = bad;
                break;
            }
            case 4: {  // airspeed
                const double value = pick_value(in);
                host.set_airspeed_mps(value);
                airspeed_nonfinite = !std::isfinite(value);
                break;
            }
            default: {  // a generic routine of any gauge
                kodrix::GAUGEHDR* h = gauge(in.ConsumeIntegralInRange<std::size_t>(0, 2));
                switch (in.ConsumeIntegralInRange<int>(0, 6)) {
                    case 0: h->query(); break;
                    case 1: h->install(reinterpret_cast<void*>(in.ConsumeIntegral<std::uintptr_t>())); break;
                    case 2: h->initialize(); break;
                    case 3: h->update(); break;
                    case 4: h->generate(in.ConsumeIntegral<std::uint32_t>()); break;
                    case 5: h->draw(); break;
                    default: h->kill(); break;
                }
                host.clear_element_calls();
                break;
            }
        }
        host.clear_key_events();
    }

    // End of the panel's life: every object goes, so nothing may leak.
    for (std::size_t g = 0; g < 3; ++g) service(g, 15);
    if (kodrix::ks8_slot.object || kodrix::diss013_slot.object || kodrix::anu_slot.object ||
        live_object_count != 0)
        fail("object left after service 15", live_object_count);
    reset_module_to_load_state();
    ImportTable.panels = nullptr;
    return 0;
}
