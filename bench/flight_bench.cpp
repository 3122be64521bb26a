// Frames per second of the flight runner: a 10-hour flight at 18 frames per
// second (648000 frames) through the real module file, the trace kept every
// 10 s so that writing it does not dominate. Goal: the whole flight in under
// one second of wall time on one core.
#include <benchmark/benchmark.h>

#include <string>

#include "flight/runner.h"
#include "flight/scenario.h"

namespace {

void BM_TenHourFlight(benchmark::State& state) {
    kodrix::fly::Scenario s = kodrix::fly::builtin_scenario();
    s.duration_s = 10.0 * 3600.0;
    s.frame_rate_hz = 18.0;
    s.output.trace_interval_s = 10.0;
    kodrix::fly::RunOptions options;
    options.module_path = KODRIX_MODULE_PATH;
    std::uint64_t frames = 0;
    for (auto _ : state) {
        kodrix::fly::FlightResult result;
        std::string error;
        if (!kodrix::fly::fly(s, options, result, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        frames = result.summary.frames;
        benchmark::DoNotOptimize(result.summary.max_dr_error_m);
    }
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_TenHourFlight)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
