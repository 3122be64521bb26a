#include "common/random_source.h"

#include <ctime>

namespace kodrix {

namespace {
std::uint32_t state = 0;
bool seed_is_fixed = false;
std::uint32_t fixed_seed = 0;
}  // namespace

void random_seed(std::uint32_t seed) { state = seed; }

int random_draw() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
}

void random_seed_from_calendar_time() {
    if (seed_is_fixed) {
        random_seed(fixed_seed);
        return;
    }
    // time_t to 32 bits keeps the low bits, which is all a seed needs.
    random_seed(static_cast<std::uint32_t>(static_cast<long long>(std::time(nullptr))));
}

void random_fix_seed(std::uint32_t seed) {
    seed_is_fixed = true;
    fixed_seed = seed;
}

void random_unfix_seed() { seed_is_fixed = false; }

}  // namespace kodrix
