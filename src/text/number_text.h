#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

namespace kelvane {

// The number at the start of text; any text gives one. Decimal is an optional '-', digits, and
// an optional '.' with more digits, whatever the locale ("5." is 5, ".5" is 0.5); hexadecimal is
// "&h" or "&H" and its digits. The number ends where the next character could not go on with it,
// and text without a digit where one is due is 0.0.
// Leading blanks, '+', exponents and other prefixes are not read: " 7" and "+7" give 0.0.
// Only ASCII digits are digits. Values too large for a double give +/-infinity, too small 0.0.
double Val(QStringView text);

// Val of "&h" followed by digits, without building that text.
double ValHex(QStringView digits);

// The decimal digits of value, with '-' when negative.
QString Str(std::int64_t value);

// Upper-case hexadecimal digits, no prefix, no leading zeros. The value is first truncated by
// ToInt64 and then shown as 64-bit two's complement: -1 gives FFFFFFFFFFFFFFFF, 12.7 gives C,
// -12.7 gives FFFFFFFFFFFFFFF4; NaN and values outside the 64-bit range give 8000000000000000.
QString Hex(double value);

// Appends Hex(value) to out without building a temporary string.
void AppendHex(QString& out, double value);

}  // namespace kelvane
