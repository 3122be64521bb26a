// Layouts of the records the host reads from the module as they lie in it:
// the module linkage record, the gauge header, the element list, the
// static-image element and the failure list. Declarations only, no objects,
// so a host-side loader may include this file too.
//
// On the 32-bit Windows build every pointer is 4 bytes and the records have
// the host's byte layout (checked below). On other builds pointers take the
// platform's width and the offsets differ; the field order stays.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_abi.h"

namespace kodrix {

struct GAUGEHDR;

// The routines the host calls through the records; all use KODRIX_CALL.
using ModuleRoutine = void(KODRIX_CALL*)();
using GaugeRoutineNoArgument = void(KODRIX_CALL*)();
using GaugeInstallRoutine = void(KODRIX_CALL*)(void* resource_handle);
using GaugeGenerateRoutine = void(KODRIX_CALL*)(std::uint32_t phase);
using GaugeServiceCallback = void(KODRIX_CALL*)(GAUGEHDR* gauge, std::int32_t service,
                                                std::uint32_t extra);

// One failure entry; an all-zero entry ends a list.
struct FailureRecord {
    std::uint32_t key;
    std::uint32_t action;
};

// A gauge's failure list: only the terminating entry, so the list is empty.
struct FailureList {
    FailureRecord entries[1];
};

constexpr std::uint32_t kElementStaticImage = 0;
constexpr std::uint32_t kGaugeImageResource = 101;  // bitmap 101, 1x1 black
constexpr std::uint32_t kImageFlags = 1;

// A static-image element, 96 bytes on 32-bit.
struct StaticImageElement {
    std::uint32_t element_type;       // 0: kElementStaticImage
    std::uint32_t image_resource_id;  // 4: bitmap resource id
    std::int32_t position_x;          // 8
    std::int32_t position_y;          // 12
    std::uint32_t reserved_16[4];     // 16..31, zero, host's
    GAUGEHDR* gauge;                  // 32: the owning gauge's header
    std::uint32_t reserved_36[2];     // 36..43, zero, host's
    FailureList* failures;            // 44: the gauge's failure list
    std::uint32_t image_flags;        // 48
    std::uint32_t reserved_52[11];    // 52..95, zero, host's
};

// A gauge's element list: its one element, then a null pointer.
struct ElementList {
    StaticImageElement* elements[2];
};

constexpr std::uint32_t kGaugeHeaderVersion = 800;
constexpr std::uint32_t kGaugeSizeMm = 1;

// The gauge header, 204 bytes on 32-bit. The host owns the fields that are
// zero in the file.
struct GAUGEHDR {
    std::uint32_t header_version;           // 0: 800
    const char* gauge_name;                 // 4: zero-terminated
    ElementList* element_list;              // 8
    GaugeRoutineNoArgument query;           // 12
    GaugeInstallRoutine install;            // 16
    GaugeRoutineNoArgument initialize;      // 20
    GaugeRoutineNoArgument update;          // 24
    GaugeGenerateRoutine generate;          // 28
    GaugeRoutineNoArgument draw;            // 32
    GaugeRoutineNoArgument kill;            // 36
    std::uint32_t reserved_40;              // 40
    std::uint32_t size_mm;                  // 44: default size, millimetres
    std::uint32_t reserved_48[9];           // 48..83
    GaugeServiceCallback service_callback;  // 84
    std::uint32_t reserved_88[29];          // 88..203
};

constexpr std::uint32_t kModuleId = 0x13;
constexpr std::uint32_t kModuleVersion = 0x0900;
constexpr std::size_t kGaugeCount = 3;

// The module linkage record, 40 bytes on 32-bit: the gauge list ends with a
// null pointer. The order is fixed, "KS-8" first: the generic routines use
// the first gauge's element.
struct LinkageRecord {
    std::uint32_t module_id;               // 0: 0x13
    ModuleRoutine module_init;             // 4
    ModuleRoutine module_deinit;           // 8
    std::uint32_t module_flags;            // 12
    std::uint32_t module_priority;         // 16
    std::uint32_t module_version;          // 20: 0x0900
    GAUGEHDR* gauges[kGaugeCount + 1];     // 24..39
};

constexpr std::uint32_t kImportPanelsId = 0x0F;

#if defined(_WIN32) && defined(__i386__)
static_assert(sizeof(void*) == 4, "32-bit build");

static_assert(sizeof(FailureRecord) == 8, "failure entry is 8 bytes");

static_assert(sizeof(StaticImageElement) == 96, "element is 96 bytes");
static_assert(offsetof(StaticImageElement, element_type) == 0, "element type at 0");
static_assert(offsetof(StaticImageElement, image_resource_id) == 4, "image id at 4");
static_assert(offsetof(StaticImageElement, position_x) == 8, "x at 8");
static_assert(offsetof(StaticImageElement, position_y) == 12, "y at 12");
static_assert(offsetof(StaticImageElement, reserved_16) == 16, "zeros at 16");
static_assert(offsetof(StaticImageElement, gauge) == 32, "gauge header at 32");
static_assert(offsetof(StaticImageElement, reserved_36) == 36, "zeros at 36");
static_assert(offsetof(StaticImageElement, failures) == 44, "failure list at 44");
static_assert(offsetof(StaticImageElement, image_flags) == 48, "image flags at 48");
static_assert(offsetof(StaticImageElement, reserved_52) == 52, "zeros at 52");

static_assert(sizeof(ElementList) == 8, "element list is 8 bytes");

static_assert(sizeof(GAUGEHDR) == 204, "gauge header is 204 bytes");
static_assert(offsetof(GAUGEHDR, header_version) == 0, "version at 0");
static_assert(offsetof(GAUGEHDR, gauge_name) == 4, "name at 4");
static_assert(offsetof(GAUGEHDR, element_list) == 8, "element list at 8");
static_assert(offsetof(GAUGEHDR, query) == 12, "query at 12");
static_assert(offsetof(GAUGEHDR, install) == 16, "install at 16");
static_assert(offsetof(GAUGEHDR, initialize) == 20, "initialize at 20");
static_assert(offsetof(GAUGEHDR, update) == 24, "update at 24");
static_assert(offsetof(GAUGEHDR, generate) == 28, "generate at 28");
static_assert(offsetof(GAUGEHDR, draw) == 32, "draw at 32");
static_assert(offsetof(GAUGEHDR, kill) == 36, "kill at 36");
static_assert(offsetof(GAUGEHDR, reserved_40) == 40, "zero at 40");
static_assert(offsetof(GAUGEHDR, size_mm) == 44, "size at 44");
static_assert(offsetof(GAUGEHDR, reserved_48) == 48, "zeros at 48");
static_assert(offsetof(GAUGEHDR, service_callback) == 84, "callback at 84");
static_assert(offsetof(GAUGEHDR, reserved_88) == 88, "zeros at 88");

static_assert(sizeof(LinkageRecord) == 40, "Linkage is 40 bytes");
static_assert(offsetof(LinkageRecord, module_id) == 0, "module id at 0");
static_assert(offsetof(LinkageRecord, module_init) == 4, "init at 4");
static_assert(offsetof(LinkageRecord, module_deinit) == 8, "deinit at 8");
static_assert(offsetof(LinkageRecord, module_flags) == 12, "flags at 12");
static_assert(offsetof(LinkageRecord, module_priority) == 16, "priority at 16");
static_assert(offsetof(LinkageRecord, module_version) == 20, "version at 20");
static_assert(offsetof(LinkageRecord, gauges) == 24, "gauge list at 24");

static_assert(sizeof(ImportTableRecord) == 16, "ImportTable is 16 bytes");
static_assert(offsetof(ImportTableRecord, panels_id) == 0, "PANELS id at 0");
static_assert(offsetof(ImportTableRecord, panels) == 4, "PANELS pointer at 4");
static_assert(offsetof(ImportTableRecord, end_id) == 8, "end id at 8");
static_assert(offsetof(ImportTableRecord, end_pointer) == 12, "end pointer at 12");
#endif

}  // namespace kodrix
