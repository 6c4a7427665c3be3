#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

namespace kelvane {

// Reads a number from the start of text and never fails:
// - decimal: an optional '-', digits, optionally '.' and more digits ('.' in every locale);
//   "5." reads 5 and ".5" reads 0.5;
// - hexadecimal: "&h" or "&H", then digits 0-9, a-f, A-F;
// - reading stops at the first character that cannot continue the number;
// - text with no digit where one is needed gives 0.0.
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
