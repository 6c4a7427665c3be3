#include "text/number_text.h"

#include <charconv>
#include <limits>
#include <string>

#include "text/integer.h"

namespace kelvane {
namespace {

// Below this many digits a number is exact in a double when accumulated as an integer.
constexpr qsizetype kExactDecimalDigits = 15;
constexpr qsizetype kExactHexDigits = 13;

bool IsDecimalDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

qsizetype CountWhile(QStringView text, qsizetype from, bool (*accept)(QChar)) {
    qsizetype end = from;
    while (end < text.size() && accept(text[end])) {
        ++end;
    }
    return end - from;
}

std::string Latin1(QStringView digits) {
    std::string out;
    out.reserve(static_cast<std::size_t>(digits.size()));
    for (const QChar c : digits) {
        out.push_back(static_cast<char>(c.unicode()));
    }
    return out;
}

// Correctly rounded conversion of plain ASCII digits; from_chars ignores the locale.
double ParseLong(const std::string& digits, std::chars_format format, bool overflowPossible) {
    double value = 0.0;
    const auto [ptr, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, format);
    if (error == std::errc::result_out_of_range) {
        return overflowPossible ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return value;
}

double ReadHexDigits(QStringView digits) {
    if (digits.size() <= kExactHexDigits) {
        std::uint64_t value = 0;
        for (const QChar c : digits) {
            value = value * 16 + static_cast<std::uint64_t>(HexDigitValue(c));
        }
        return static_cast<double>(value);
    }
    return ParseLong(Latin1(digits), std::chars_format::hex, true);
}

double ReadDecimal(QStringView whole, QStringView fraction) {
    if (fraction.isEmpty() && whole.size() <= kExactDecimalDigits) {
        std::int64_t value = 0;
        for (const QChar c : whole) {
            value = value * 10 + (c.unicode() - u'0');
        }
        return static_cast<double>(value);
    }
    std::string text = whole.isEmpty() ? std::string("0") : Latin1(whole);
    if (!fraction.isEmpty()) {
        text.push_back('.');
        text += Latin1(fraction);
    }
    const bool wholeIsZero = whole.count(u'0') == whole.size();
    return ParseLong(text, std::chars_format::fixed, !wholeIsZero);
}

}  // namespace

double ValHex(QStringView digits) {
    const qsizetype count = CountWhile(digits, 0, [](QChar c) { return HexDigitValue(c) >= 0; });
    return ReadHexDigits(digits.first(count));
}

double Val(QStringView text) {
    if (text.size() >= 2 && text[0] == u'&' && (text[1] == u'h' || text[1] == u'H')) {
        return ValHex(text.sliced(2));
    }

    const bool negative = !text.isEmpty() && text[0] == u'-';
    const qsizetype wholeStart = negative ? 1 : 0;
    const qsizetype wholeCount = CountWhile(text, wholeStart, IsDecimalDigit);
    const QStringView whole = text.sliced(wholeStart, wholeCount);

    QStringView fraction;
    const qsizetype point = wholeStart + wholeCount;
    if (point < text.size() && text[point] == u'.') {
        fraction = text.sliced(point + 1, CountWhile(text, point + 1, IsDecimalDigit));
    }
    if (whole.isEmpty() && fraction.isEmpty()) {
        return 0.0;
    }
    const double magnitude = ReadDecimal(whole, fraction);
    return negative ? -magnitude : magnitude;
}

QString Str(std::int64_t value) { return QString::number(value); }

void AppendHex(QString& out, double value) {
    auto bits = static_cast<std::uint64_t>(ToInt64(value));
    char16_t digits[16];
    qsizetype first = 16;
    do {
        digits[--first] = u"0123456789ABCDEF"[bits & 0xF];
        bits >>= 4;
    } while (bits != 0);
    out.append(QStringView(digits + first, 16 - first));
}

QString Hex(double value) {
    QString out;
    AppendHex(out, value);
    return out;
}

}  // namespace kelvane
