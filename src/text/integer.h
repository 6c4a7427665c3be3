#pragma once

#include <cstdint>
#include <limits>

namespace kelvane {

// The smallest 64-bit integer; it stands for "no number" (NaN, infinities and values outside the
// signed 64-bit range) and its low 8 bits are 00.
inline constexpr std::int64_t kNoInteger = INT64_MIN;

// value without its fraction, toward zero. A plain cast is undefined for NaN, the infinities and
// anything beyond 64 bits; those give kNoInteger.
std::int64_t ToInt64(double value);

// Whether value goes unchanged where PortMidi takes a 32-bit integer.
inline bool FitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace kelvane
