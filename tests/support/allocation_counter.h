// Counts calls of the global operator new in this process, the loaded module
// file's included (its references to operator new bind to this executable's
// definitions). Link allocation_counter.cpp into the executable.
#pragma once

#include <atomic>

namespace kodrix::testing {
extern std::atomic<long> allocation_count;
}  // namespace kodrix::testing
