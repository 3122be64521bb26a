// The module's linkage: the exported Linkage record, the three gauge headers
// with their element lists, elements and failure lists, the seven generic
// gauge routines, the module init/deinit routine and the DLL entry routine.
//
// Every record is constant-initialised writable data; the host writes into
// the fields it owns. The generic routines read Linkage -> first gauge header
// -> its element list -> first element, and ImportTable -> PANELS, afresh on
// every call: whichever gauge the host calls them for, they pass the "KS-8"
// gauge's element to the host's element operation.
#pragma once

#include <cstdint>

#include "host/host_abi.h"
#include "module/linkage_records.h"

// The module's gauge list, exported by name.
extern "C" KODRIX_EXPORT kodrix::LinkageRecord Linkage;

// The DLL entry routine: does nothing and returns 1 (success) for every
// reason (process/thread attach/detach).
extern "C" int KODRIX_CALL DllMain(void* module, unsigned long reason, void* reserved);

namespace kodrix {

extern GAUGEHDR ks8_gauge_header;
extern GAUGEHDR diss013_gauge_header;
extern GAUGEHDR anu_gauge_header;

extern ElementList ks8_element_list;
extern ElementList diss013_element_list;
extern ElementList anu_element_list;

extern StaticImageElement ks8_element;
extern StaticImageElement diss013_element;
extern StaticImageElement anu_element;

extern FailureList ks8_failures;
extern FailureList diss013_failures;
extern FailureList anu_failures;

// Module init and deinit: one routine that does nothing.
void KODRIX_CALL module_init_deinit();

// The generic gauge routines, shared by the three headers.
void KODRIX_CALL gauge_query();
void KODRIX_CALL gauge_install(void* resource_handle);
void KODRIX_CALL gauge_initialize();
void KODRIX_CALL gauge_update();
void KODRIX_CALL gauge_generate(std::uint32_t phase);
void KODRIX_CALL gauge_draw();
void KODRIX_CALL gauge_kill();

}  // namespace kodrix
