#pragma once

#include <cstdint>

namespace kelvane {

// The smallest 64-bit integer; it stands for "no number" (NaN, infinities and values outside the
// signed 64-bit range) and its low 8 bits are 00.
inline constexpr std::int64_t kNoInteger = INT64_MIN;

// Truncates toward zero. NaN, the infinities and every value outside the signed 64-bit range give
// kNoInteger, without the undefined behaviour of a plain cast.
std::int64_t ToInt64(double value);

}  // namespace kelvane
