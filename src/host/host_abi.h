// The host's binary interface: the token-variable record, the table of host
// operations (PANELS) and the import record through which the host hands that
// table to the module. Layout follows the simulator's 32-bit panel system;
// slot i of the table lies at i pointer widths from its start.
#pragma once

#include <cstddef>
#include <cstdint>

// Calling convention of every host operation and every routine the host calls.
#if defined(_WIN32) && defined(__i386__)
#define KODRIX_CALL __stdcall
#else
#define KODRIX_CALL
#endif

// Marks the module's exported data records on builds that export by visibility.
#if defined(_WIN32)
#define KODRIX_EXPORT
#else
#define KODRIX_EXPORT __attribute__((visibility("default")))
#endif

namespace kodrix {

using UnitsEnum = std::int32_t;     // host units enum, passed back unchanged
using NamedVarId = std::int32_t;    // host named-variable id, -1 = none

constexpr NamedVarId kNoVariable = -1;

// One host token variable. The module writes only `id` and reads only
// `var_value`. Fields are 32-bit on every build so the record is 28 bytes
// with packing 4, as the host lays it out.
#pragma pack(push, 4)
struct MODULE_VAR {
    std::uint32_t id;        // token number
    std::uint32_t var_ptr;   // host's
    std::uint32_t var_type;  // host's
    double var_value;        // current value, filled by lookup_var
    double var_old;          // host's
};
#pragma pack(pop)

static_assert(sizeof(MODULE_VAR) == 28, "MODULE_VAR is 28 bytes");
static_assert(offsetof(MODULE_VAR, var_value) == 12, "var_value at offset 12");
static_assert(offsetof(MODULE_VAR, var_old) == 20, "var_old at offset 20");

using ElementOp = void(KODRIX_CALL*)(void* element);
using ElementInstallOp = void(KODRIX_CALL*)(void* element, void* resource);
using ElementGenerateOp = void(KODRIX_CALL*)(void* element, std::uint32_t phase);
using KeyEventOp = std::uint32_t(KODRIX_CALL*)(std::uint32_t event, std::uint32_t value);
using ModuleVarOp = void(KODRIX_CALL*)(MODULE_VAR* var);
using UnregisterByNameOp = void(KODRIX_CALL*)(const char* name);
using NameToIdOp = NamedVarId(KODRIX_CALL*)(const char* name);
using GetTypedValueOp = double(KODRIX_CALL*)(NamedVarId id, UnitsEnum units);
using SetTypedValueOp = void(KODRIX_CALL*)(NamedVarId id, double value, UnitsEnum units);
using IdToNameOp = const char*(KODRIX_CALL*)(NamedVarId id);
using UnitsEnumOp = UnitsEnum(KODRIX_CALL*)(const char* unit_name);
using AircraftVargetOp = double(KODRIX_CALL*)(std::uint32_t variable, UnitsEnum units,
                                              std::int32_t index);

// The host's function table. Slots the module never calls are opaque.
struct PANELS {
    void* module_id;                 // 0  (the six leading words are unused)
    void* module_init;               // 1
    void* module_deinit;             // 2
    void* module_flags;              // 3
    void* module_priority;           // 4
    void* module_version;            // 5
    void* reserved_6_23[18];         // 6..23
    ElementOp element_list_query;                 // 24
    ElementInstallOp element_list_install;        // 25
    ElementOp element_list_initialize;            // 26
    ElementOp element_list_update;                // 27
    ElementGenerateOp element_list_generate;      // 28
    ElementOp element_list_plot;                  // 29
    void* reserved_30;                            // 30
    ElementOp element_list_kill;                  // 31
    void* reserved_32_35[4];                      // 32..35
    KeyEventOp trigger_key_event;                 // 36
    void* reserved_37;                            // 37
    ModuleVarOp initialize_var;                   // 38
    void* reserved_39;                            // 39
    ModuleVarOp lookup_var;                       // 40
    UnregisterByNameOp unregister_var_by_name;    // 41
    void* reserved_42_50[9];                      // 42..50
    NameToIdOp check_named_variable;              // 51
    NameToIdOp register_named_variable;           // 52
    void* reserved_53;                            // 53
    GetTypedValueOp get_named_variable_typed_value;  // 54
    void* reserved_55;                            // 55
    SetTypedValueOp set_named_variable_typed_value;  // 56
    void* reserved_57_58[2];                      // 57..58
    IdToNameOp get_name_of_named_variable;        // 59
    void* reserved_60_72[13];                     // 60..72
    UnitsEnumOp get_units_enum;                   // 73
    void* reserved_74;                            // 74
    AircraftVargetOp aircraft_varget;             // 75
};

constexpr std::size_t kPanelsSlots = 76;

#define KODRIX_SLOT(field, slot) \
    static_assert(offsetof(PANELS, field) == (slot) * sizeof(void*), #field " slot")
KODRIX_SLOT(element_list_query, 24);
KODRIX_SLOT(element_list_install, 25);
KODRIX_SLOT(element_list_initialize, 26);
KODRIX_SLOT(element_list_update, 27);
KODRIX_SLOT(element_list_generate, 28);
KODRIX_SLOT(element_list_plot, 29);
KODRIX_SLOT(element_list_kill, 31);
KODRIX_SLOT(trigger_key_event, 36);
KODRIX_SLOT(initialize_var, 38);
KODRIX_SLOT(lookup_var, 40);
KODRIX_SLOT(unregister_var_by_name, 41);
KODRIX_SLOT(check_named_variable, 51);
KODRIX_SLOT(register_named_variable, 52);
KODRIX_SLOT(get_named_variable_typed_value, 54);
KODRIX_SLOT(set_named_variable_typed_value, 56);
KODRIX_SLOT(get_name_of_named_variable, 59);
KODRIX_SLOT(get_units_enum, 73);
KODRIX_SLOT(aircraft_varget, 75);
#undef KODRIX_SLOT
static_assert(sizeof(PANELS) == kPanelsSlots * sizeof(void*), "PANELS ends at slot 75");

#if defined(_WIN32) && defined(__i386__)
static_assert(sizeof(void*) == 4, "32-bit build");
static_assert(offsetof(PANELS, trigger_key_event) == 144, "key event at byte 144");
static_assert(offsetof(PANELS, aircraft_varget) == 300, "aircraft_varget at byte 300");
#endif

// The import record: the host writes its PANELS pointer at offset 4 before it
// calls any routine of the module.
struct ImportTableRecord {
    std::uint32_t panels_id;   // 0x0F
    PANELS* panels;            // written by the host
    std::uint32_t end_id;      // 0
    void* end_pointer;         // null
};

#if defined(_WIN32) && defined(__i386__)
static_assert(sizeof(ImportTableRecord) == 16, "ImportTable is 16 bytes");
static_assert(offsetof(ImportTableRecord, panels) == 4, "PANELS pointer at offset 4");
#endif

}  // namespace kodrix

// The module's import record, exported by name. Constant-initialised.
extern "C" KODRIX_EXPORT kodrix::ImportTableRecord ImportTable;

namespace kodrix {

// The host's table as the host last stored it in ImportTable.
inline PANELS& host() { return *ImportTable.panels; }

}  // namespace kodrix
