#include <cmath>

#include "fuzz_text.h"
#include "text/number_text.h"

// Val reads any text, giving a number (an infinity for huge ones) and never NaN.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = kelvane::fuzz::TextFrom(data, size);
    const double value = kelvane::Val(text);
    KELVANE_FUZZ_CHECK(!std::isnan(value));
    KELVANE_FUZZ_CHECK(kelvane::ValHex(text) >= 0.0);
    // What follows the number never changes it.
    KELVANE_FUZZ_CHECK(kelvane::Val(text + QStringLiteral("x1")) == value);
    return 0;
}
