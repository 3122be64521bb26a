// The module's one pseudo-random source: a linear congruential generator,
// state = state * 214013 + 2531011 (mod 2^32), draw = bits 16..30 of the new
// state, so draws are uniform over 0..32767 on every platform.
#pragma once

#include <cstdint>

namespace kodrix {

constexpr int kRandomMax = 32767;

void random_seed(std::uint32_t seed);
int random_draw();

// Seeds with the calendar time in whole seconds, or with the fixed seed while
// one is set.
void random_seed_from_calendar_time();

// Seam for tests and the project's own host: while set, every calendar-time
// seeding uses `seed` instead, so runs can be reproduced. The shipped DLL
// never calls it.
void random_fix_seed(std::uint32_t seed);
void random_unfix_seed();

}  // namespace kodrix
