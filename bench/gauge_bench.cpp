// The cost of one service 7 to each gauge and of one whole frame of the three,
// through the emulated host and the loaded module file, and the number of heap
// allocations per frame once the objects exist (must be 0).
#include <cstdio>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "emulator/emulated_host.h"
#include "emulator/module_library.h"
#include "module/module_flight.h"
#include "support/allocation_counter.h"

namespace {

using kodrix::testing::allocation_count;

// The module, loaded once, with every gauge created and the panel set for a
// steady flight in the Doppler mode with the autopilot coupled.
struct Panel {
    kodrix::emu::EmulatedHost host;
    kodrix::emu::ModuleLibrary module;
    double time_s = 100.0;

    Panel() {
        std::string error;
        if (!module.open(KODRIX_MODULE_PATH, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        module.fix_random_seed(1);
        module.attach(host.table());
        kodrix::testing::set_steady_flight(host, time_s);
        module.service_all(14);
        module.service_all(3);
        host.set_var("NAS1 Map Angle", 90.0, "degree");
    }
    ~Panel() { module.service_all(15); }
};

Panel& panel() {
    static Panel p;
    return p;
}

// One service 7 to one gauge; `step_s` of host time passes before each call,
// so 0.4 s makes the throttled gauges run their model every time.
void service_seven(benchmark::State& state, const char* gauge, double step_s) {
    Panel& p = panel();
    const auto g = static_cast<std::size_t>(p.module.gauge_index(gauge));
    for (auto _ : state) {
        p.time_s += step_s;
        p.host.set_token(kodrix::testing::kTokenTime, p.time_s);
        p.module.service(g, 7);
        p.host.clear_key_events();
    }
}

void BM_Service7_Ks8(benchmark::State& s) { service_seven(s, "KS-8", 1.0 / 18.0); }
void BM_Service7_Diss013_Measuring(benchmark::State& s) { service_seven(s, "DISS-013", 0.4); }
void BM_Service7_Diss013_Throttled(benchmark::State& s) { service_seven(s, "DISS-013", 0.0); }
void BM_Service7_Anu_Steering(benchmark::State& s) { service_seven(s, "ANU", 0.4); }
void BM_Service7_Anu_Throttled(benchmark::State& s) { service_seven(s, "ANU", 0.0); }

// A whole frame at 18 frames per second: time advances, service 7 to each gauge.
void BM_Frame(benchmark::State& state) {
    Panel& p = panel();
    const long before = allocation_count.load();
    long frames = 0;
    for (auto _ : state) {
        p.time_s += 1.0 / 18.0;
        p.host.set_token(kodrix::testing::kTokenTime, p.time_s);
        p.module.service_all(7);
        p.host.clear_key_events();
        ++frames;
    }
    const double per_frame =
        frames > 0 ? static_cast<double>(allocation_count.load() - before) / frames : 0.0;
    state.counters["allocs_per_frame"] = per_frame;
    if (per_frame != 0.0) state.SkipWithError("a frame allocated on the heap");
}

BENCHMARK(BM_Service7_Ks8);
BENCHMARK(BM_Service7_Diss013_Measuring);
BENCHMARK(BM_Service7_Diss013_Throttled);
BENCHMARK(BM_Service7_Anu_Steering);
BENCHMARK(BM_Service7_Anu_Throttled);
BENCHMARK(BM_Frame);

}  // namespace

BENCHMARK_MAIN();
