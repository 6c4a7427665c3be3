#include <cmath>
#include <cstring>

#include "fuzz_text.h"
#include "text/integer.h"

// Every double converts without undefined behaviour: truncated inside the 64-bit range, the
// minimum outside it and for NaN.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    double value = 0.0;
    std::memcpy(&value, data, std::min(size, sizeof value));
    const std::int64_t converted = kelvane::ToInt64(value);
    const long double truncated = std::trunc(static_cast<long double>(value));
    const bool inRange = truncated >= -9223372036854775808.0L && truncated < 9223372036854775808.0L;
    if (std::isnan(value) || !inRange) {
        KELVANE_FUZZ_CHECK(converted == kelvane::kNoInteger);
    } else {
        KELVANE_FUZZ_CHECK(static_cast<long double>(converted) == truncated);
    }
    return 0;
}
