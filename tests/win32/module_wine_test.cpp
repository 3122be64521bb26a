// Kodrix.gau as the simulator meets it: a 32-bit Windows program loads the
// DLL with LoadLibrary (through the emulated host's loader), hands it the
// emulated host's table and runs the gauges' lifecycle and a short flight.
// Runs under Wine. The DLL seeds its random source from the calendar time,
// so the noisy outputs are checked within their noise bands.
//
// Usage: module_wine_test <path of Kodrix.gau>. Exit status 0 when every
// check passes, 1 when one fails, 2 on bad usage.
#include <cstdio>
#include <string>
#include <vector>

#include "emulator/emulated_host.h"
#include "emulator/module_library.h"
#include "module/linkage_records.h"
#include "module/module_flight.h"

namespace {

using namespace kodrix;
using namespace kodrix::testing;

int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) ++failures;
}

void check_none(const std::vector<std::string>& wrong, const std::string& what) {
    check(wrong.empty(), what);
    for (const std::string& w : wrong) std::printf("     %s\n", w.c_str());
}

constexpr double kStartS = 3600.0;

void check_records(const emu::ModuleLibrary& module, emu::EmulatedHost& host) {
    const auto& import = *static_cast<const ImportTableRecord*>(module.import_table_record());
    check(import.panels_id == 0x0F && import.end_id == 0 && import.end_pointer == nullptr,
          "ImportTable holds the PANELS entry id and a null end entry");
    check(import.panels == host.table(), "ImportTable holds the host's table after attach");

    const auto& l = *static_cast<const LinkageRecord*>(module.linkage_record());
    check(l.module_id == 0x13 && l.module_version == 0x0900 && l.module_flags == 0 &&
              l.module_priority == 0,
          "Linkage: module id 0x13, version 0x0900, flags and priority 0");
    check(l.module_init != nullptr && l.module_init == l.module_deinit,
          "Linkage: one routine for module init and deinit");
    check(l.gauges[3] == nullptr, "Linkage: the gauge list ends after three gauges");
    bool headers_ok = true;
    for (std::size_t g = 0; g < 3; ++g) {
        const GAUGEHDR& h = *l.gauges[g];
        const StaticImageElement& e = *h.element_list->elements[0];
        headers_ok = headers_ok && h.header_version == 800 && h.size_mm == 1 &&
                     h.query == l.gauges[0]->query && h.kill == l.gauges[0]->kill &&
                     h.element_list->elements[1] == nullptr && e.element_type == 0 &&
                     e.image_resource_id == 101 && e.gauge == &h && e.image_flags == 1 &&
                     e.failures != nullptr && e.failures->entries[0].key == 0;
    }
    check(headers_ok, "gauge headers and elements hold their fixed values");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <path of Kodrix.gau>\n", argc > 0 ? argv[0] : "module_wine_test");
        return 2;
    }
    const std::string path = argv[1];

    {
        emu::ModuleLibrary missing;
        std::string error;
        const bool opened = missing.open(path + ".missing", error);
        check(!opened && error.find(path + ".missing") != std::string::npos,
              "a missing module file is reported by name: " + error);
    }

    emu::EmulatedHost host;
    emu::ModuleLibrary module;
    std::string error;
    if (!module.open(path, error)) {
        std::printf("FAIL LoadLibrary of the module: %s\n", error.c_str());
        return 1;
    }
    check(true, "LoadLibrary of " + path + " (the DLL entry routine returned success)");
    module.attach(host.table());
    check_records(module, host);

    check(module.gauge_count() == 3 && module.gauge_name(0) == "KS-8" &&
              module.gauge_name(1) == "DISS-013" && module.gauge_name(2) == "ANU",
          "Linkage lists KS-8, DISS-013, ANU in that order");
    check(!module.fix_random_seed(1), "the DLL exports no seed seam");

    // Services before any 14 or 15 create nothing and call nothing.
    set_steady_flight(host, kStartS);
    host.record_calls(true);
    const std::size_t panel_vars = host.live_var_count();
    for (std::int32_t service : {std::int32_t{kPostInstall}, std::int32_t{kPostUpdate},
                                 std::int32_t{kPostUpdate}})
        module.service_all(service);
    check(host.calls().empty() && host.live_var_count() == panel_vars,
          "services 3, 7, 7 on the fresh module create nothing");
    host.record_calls(false);

    // Connect, create, fly 4 s of 0.1 s frames.
    module.service_all(kConnect);
    module.service_all(kPostInstall);
    const std::vector<Frame> frames = fly(module, host, kStartS, 40);
    check_none(check_ks8(frames), "KS-8 publishes both course signals in [0, 360)");
    check_none(check_diss(frames, kStartS),
               "DISS-013 publishes signal good, speed within 0.4%, drift within 1/3 degree");
    check_none(check_anu(frames, kStartS),
               "ANU integrates S and V at the Doppler speed and sends key event 66042");

    check_none(check_generic_routines(module, host),
               "every gauge's generic routines pass the KS-8 element, handle and phase unchanged");

    // Disconnect destroys: the KS-8 outputs go with their owner, and frames
    // after it change nothing.
    module.service_all(kDisconnect);
    check(!host.var_exists("KS8 Primary Course Signal") &&
              !host.var_exists("KS8 Secondary Course Signal"),
          "service 15 destroys the KS-8 object and its owned outputs");
    const double s_m = host.var("NAS1 S coordinate", "meters");
    const std::vector<Frame> idle = fly(module, host, kStartS + 4.0, 10);
    bool still = true;
    for (const Frame& f : idle) still = still && f.key_events.empty() && f.s_m == s_m;
    check(still, "after service 15 the frames move nothing and send no key event");

    // Disconnect armed creation again.
    module.service_all(kPostInstall);
    check(host.var("NAS1 S coordinate", "meters") == 0.0 &&
              host.var("NAS1 V coordinate", "meters") == 0.0,
          "the next service 3 creates a new ANU, which starts at the origin");
    const std::vector<Frame> again = fly(module, host, kStartS + 5.0, 8);
    check_none(check_anu(again, kStartS + 5.0), "the new ANU runs from its creation time");
    module.service_all(kDisconnect);

    module.close();
    check(!module.is_open(), "FreeLibrary of the module");

    std::printf("%s: %d check%s failed\n", failures == 0 ? "PASSED" : "FAILED", failures,
                failures == 1 ? "" : "s");
    return failures == 0 ? 0 : 1;
}
