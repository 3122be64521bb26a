// The project's own host reproduces a run by fixing the seed that every
// calendar-time seeding of the random source uses. Built into Kodrix.so only;
// the Windows DLL seeds from the calendar time.
#include <cstdint>

#include "common/random_source.h"
#include "host/host_abi.h"

extern "C" KODRIX_EXPORT void kodrix_fix_random_seed(std::uint32_t seed) {
    kodrix::random_fix_seed(seed);
}
