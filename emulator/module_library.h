// Loads a gauge module file the way the simulator does: open the library, find
// the two exported data records ImportTable and Linkage, store the host's table
// pointer in ImportTable, and drive the gauges through their headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/host_abi.h"

namespace kodrix::emu {

// Generic gauge routines reached through a gauge header.
enum class GaugeRoutine { query, install, initialize, update, generate, draw, kill };

class ModuleLibrary {
public:
    ModuleLibrary() = default;
    ~ModuleLibrary();  // closes the library
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;
    ModuleLibrary(ModuleLibrary&& other) noexcept;
    ModuleLibrary& operator=(ModuleLibrary&& other) noexcept;

    // Opens the module file. On failure returns false and sets `error` to a
    // message naming the file and what was wrong (not found, not a module, a
    // record missing).
    bool open(const std::string& path, std::string& error);
    bool is_open() const { return handle_ != nullptr; }
    void close();

    // Stores the host's table pointer in the module's ImportTable. The module
    // relies on it: until a table is attached, service() and routine() call
    // nothing in the module (a module routine would reach through a null table).
    void attach(PANELS* table);

    // The gauges listed in Linkage, in order.
    std::size_t gauge_count() const;
    std::string gauge_name(std::size_t gauge) const;
    int gauge_index(std::string_view name) const;  // -1 when absent

    // Calls a gauge's service callback with a service number (extra value 0).
    void service(std::size_t gauge, std::int32_t service_number);
    // The same service to every gauge, in Linkage order.
    void service_all(std::int32_t service_number);

    // Calls one of the gauge header's generic routines; `argument` is the
    // resource handle (install) or the phase (generate), ignored otherwise.
    void routine(std::size_t gauge, GaugeRoutine which, std::uintptr_t argument = 0);

    // Fixes the module's random seed through the seam the native module
    // exports for reproducible runs. False when the module has no such export.
    bool fix_random_seed(std::uint32_t seed);

    // Addresses of the module's two records, for checks of their contents
    // (layouts in src/module/linkage_records.h); null while closed.
    const void* import_table_record() const { return import_table_; }
    const void* linkage_record() const { return linkage_; }

private:
    // True when `gauge` exists and a host table is attached.
    bool callable(std::size_t gauge) const;

    void* handle_ = nullptr;
    void* import_table_ = nullptr;  // address of the module's ImportTable
    void* linkage_ = nullptr;       // address of the module's Linkage
    void* fix_seed_ = nullptr;      // the seed seam, or null
    std::size_t gauge_count_ = 0;   // gauges in Linkage, counted at open
};

}  // namespace kodrix::emu
