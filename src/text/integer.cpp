#include "text/integer.h"

namespace kelvane {

std::int64_t ToInt64(double value) {
    // 2^63 is exact as a double; the range is [-2^63, 2^63). NaN fails both comparisons.
    constexpr double kLimit = 9223372036854775808.0;
    if (!(value >= -kLimit && value < kLimit)) {
        return kNoInteger;
    }
    return static_cast<std::int64_t>(value);
}

}  // namespace kelvane
