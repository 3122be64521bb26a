// kodrix-fly: flies a scenario closed-loop through the real module file and
// writes a trace, a summary and plots.
//
// Exit status: 0 when the flight ran and its results were written, 1 when the
// module could not be loaded or the results could not be written, 2 for bad
// command-line arguments or a bad scenario file (nothing is written then).

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "flight/outputs.h"
#include "flight/runner.h"
#include "flight/scenario.h"

#if defined(_WIN32)
#include <io.h>
#define KODRIX_ISATTY _isatty
#define KODRIX_FILENO _fileno
#else
#include <unistd.h>
#define KODRIX_ISATTY isatty
#define KODRIX_FILENO fileno
#endif

namespace fs = std::filesystem;
using namespace kodrix::fly;

namespace {

#if defined(_WIN32)
constexpr const char* kModuleFile = "Kodrix.gau";
#else
constexpr const char* kModuleFile = "Kodrix.so";
#endif

// The module file next to this program, where the build puts both.
std::string default_module_path(const char* argv0) {
    std::error_code ec;
    fs::path exe = fs::canonical("/proc/self/exe", ec);
    if (ec) exe = fs::absolute(argv0, ec);
    return (exe.parent_path() / kModuleFile).string();
}

std::string folder_name(const std::string& name) {
    std::string s;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '_' || c == '.';
        s += ok ? c : '_';
    }
    if (s.empty() || s == "." || s == "..") s = "run";
    return s;
}

// A progress bar on standard error, shown only on a terminal and only once
// the run has taken a little while.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled), start_(Clock::now()) {}
    void operator()(double fraction) {
        if (!enabled_) return;
        const auto now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        if (elapsed < 2.0 && fraction < 1.0) return;
        if (fraction < 1.0 && std::chrono::duration<double>(now - last_).count() < 0.1) return;
        last_ = now;
        const int width = 40;
        const int filled = static_cast<int>(fraction * width + 0.5);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(width - filled), '.');
        std::fprintf(stderr, "\rflying [%s] %3.0f%% %6.1f s", bar.c_str(), 100.0 * fraction, elapsed);
        shown_ = true;
        if (fraction >= 1.0) done();
    }
    void done() {
        if (shown_) std::fprintf(stderr, "\r%*s\r", 70, "");
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point last_{};
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "kodrix-fly: flies the KS-8, DISS-013 and NAS-1 models of the Kodrix module closed-loop.\n"
        "With no scenario file it flies the built-in scenario."};
    std::string scenario_path, out_dir, module_path;
    double duration_s = NAN, trace_interval_s = NAN;
    std::int64_t seed = -1;
    bool no_plots = false, check_only = false, print_default = false, quiet = false,
         no_progress = false;
    app.add_option("scenario", scenario_path, "Scenario file (TOML); the built-in one when absent");
    app.add_option("-o,--out", out_dir, "Folder for the results (default: out/<scenario name>)");
    app.add_option("--module", module_path,
                   std::string("Module file to load (default: ") + kModuleFile +
                       " next to kodrix-fly, or $KODRIX_MODULE)");
    app.add_option("--seed", seed, "Random seed for the module, instead of the scenario's")
        ->check(CLI::Range(std::int64_t{0}, std::int64_t{4294967295}));
    app.add_option("--duration", duration_s, "Flight time in seconds, instead of the scenario's")
        ->check(CLI::Range(1e-3, 100.0 * 3600.0));
    app.add_option("--trace-interval", trace_interval_s,
                   "Seconds between trace lines (0: every frame), instead of the scenario's")
        ->check(CLI::Range(0.0, 3600.0));
    app.add_flag("--no-plots", no_plots, "Write no SVG plots");
    app.add_flag("--check", check_only, "Only read and check the scenario");
    app.add_flag("--print-default", print_default, "Print the built-in scenario (a start for your own)");
    app.add_flag("-q,--quiet", quiet, "No summary table");
    app.add_flag("--no-progress", no_progress, "No progress bar");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }

    if (print_default) {
        std::cout << builtin_scenario_text();
        return 0;
    }

    Scenario sc;
    if (scenario_path.empty()) {
        sc = builtin_scenario();
    } else {
        std::vector<ScenarioIssue> issues;
        if (!load_scenario_file(scenario_path, sc, issues)) {
            for (const ScenarioIssue& i : issues) std::cerr << format_issue(i) << '\n';
            std::cerr << "kodrix-fly: the scenario has " << issues.size()
                      << (issues.size() == 1 ? " error" : " errors") << "; nothing was flown\n";
            return 2;
        }
    }
    if (seed >= 0) sc.seed = static_cast<std::uint32_t>(seed);
    if (!std::isnan(duration_s)) sc.duration_s = duration_s;
    if (!std::isnan(trace_interval_s)) sc.output.trace_interval_s = trace_interval_s;
    if (no_plots) sc.output.plots = false;
    if (check_only) {
        std::cout << sc.source << ": scenario \"" << sc.name << "\" is good ("
                  << sc.events.size() << " timeline events)\n";
        return 0;
    }

    if (out_dir.empty()) out_dir = "out/" + folder_name(sc.name);
    if (module_path.empty()) {
        const char* env = std::getenv("KODRIX_MODULE");
        module_path = (env != nullptr && *env != '\0') ? env : default_module_path(argv[0]);
    }

    RunOptions options;
    options.module_path = module_path;
    ProgressBar bar(!no_progress && KODRIX_ISATTY(KODRIX_FILENO(stderr)));
    options.progress = [&bar](double f) { bar(f); };

    FlightResult result;
    std::string error;
    if (!fly(sc, options, result, error)) {
        bar.done();
        std::cerr << "kodrix-fly: " << error << '\n';
        return 1;
    }
    bar.done();
    if (result.summary.trace_interval_s > sc.output.trace_interval_s + 1e-9 &&
        sc.output.trace_interval_s > 0.0 && !quiet)
        std::cerr << "kodrix-fly: note: the trace keeps a line every " << result.summary.trace_interval_s
                  << " s (not " << sc.output.trace_interval_s << " s) to stay under a million lines\n";
    if (sc.output.trace_interval_s == 0.0 && result.summary.trace_interval_s * sc.frame_rate_hz > 1.5 &&
        !quiet)
        std::cerr << "kodrix-fly: note: the trace keeps a line every " << result.summary.trace_interval_s
                  << " s (not every frame) to stay under a million lines\n";
    if (!write_outputs(sc, result, out_dir, error)) {
        std::cerr << "kodrix-fly: " << error << "; no results were written\n";
        return 1;
    }
    if (!quiet) std::cout << summary_table(sc, result, out_dir);
    return 0;
}
