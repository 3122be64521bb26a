// Libraries that look like gauge modules to a greater or lesser degree, for
// the loader's error paths. Which records exist follows the definitions:
//   FAKE_IMPORT_TABLE      exports ImportTable
//   FAKE_LINKAGE_ID=<id>   exports Linkage with that module id and no gauge
#include <cstdint>

#define FAKE_EXPORT __attribute__((visibility("default")))

extern "C" {

FAKE_EXPORT int fake_module_marker = 1;

#if defined(FAKE_IMPORT_TABLE)
FAKE_EXPORT std::uint32_t ImportTable[4] = {0x0F, 0, 0, 0};
#endif

#if defined(FAKE_LINKAGE_ID)
FAKE_EXPORT std::uintptr_t Linkage[10] = {FAKE_LINKAGE_ID};
#endif

}  // extern "C"
