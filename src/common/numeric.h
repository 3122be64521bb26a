// Safe conversions of host doubles.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kodrix {

// Truncates toward zero into a 32-bit integer, as switch, selector and mode
// values are read. NaN gives 0; values beyond the range saturate.
inline std::int32_t truncate_to_int32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

// On/off inputs: 0 after truncation is off, anything else is on.
inline bool switch_is_on(double v) { return truncate_to_int32(v) != 0; }

}  // namespace kodrix
