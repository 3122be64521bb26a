// Shared helpers of the KS-8 tests: host token encodings and an independent
// copy of the module's random sequence.
#pragma once

#include <cmath>
#include <cstdint>

#include "emulator/emulated_host.h"

namespace kodrix::testing {

constexpr std::uint32_t kLongitudeToken = 72;
constexpr std::uint32_t kLatitudeToken = 71;
constexpr std::uint32_t kHeadingToken = 86;
constexpr std::uint32_t kVariationToken = 82;
constexpr std::uint32_t kTimeToken604 = 604;

constexpr double kTwoTo48 = 281474976710656.0;

// Host encodings: 2^48 units are 360 degrees of longitude; 10001750 metres
// along the meridian are 90 degrees of latitude.
inline double longitude_token(double deg) { return deg / 360.0 * kTwoTo48; }
inline double latitude_token(double deg) { return deg / 90.0 * 10001750.0; }

// The generator written out from its definition: state * 214013 + 2531011
// modulo 2^32, draw = bits 16..30.
struct ReferenceLcg {
    std::uint32_t state;
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFFu);
    }
};

// The seed from which `steps` generator steps arrive at the state `wanted`:
// walks the generator backwards with the multiplier's inverse modulo 2^32.
inline std::uint32_t seed_reaching_state(std::uint32_t wanted, int steps) {
    std::uint32_t inverse = 1;  // Newton's iteration for 214013^-1 mod 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
    std::uint32_t s = wanted;
    for (int i = 0; i < steps; ++i) s = (s - 2531011u) * inverse;
    return s;
}

// Signed angular difference a - b reduced into (-180, 180].
inline double angle_diff(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d <= -180.0) d += 360.0;
    return d;
}

}  // namespace kodrix::testing
