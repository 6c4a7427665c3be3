#pragma once

#include <cstdint>

namespace kelvane {

// The smallest 64-bit integer; it stands for "no number" (NaN, infinities and values outside the
// signed 64-bit range) and its low 8 bits are 00.
inline constexpr std::int64_t kNoInteger = INT64_MIN;

// value without its fraction, toward zero. A plain cast is undefined for NaN, the infinities and
// anything beyond 64 bits; those give kNoInteger.
std::int64_t ToInt64(double value);

}  // namespace kelvane
