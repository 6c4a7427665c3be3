#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>
#include <cmath>
#include <limits>

#include "text/integer.h"
#include "text/number_text.h"
#include "text/text.h"

namespace kelvane {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Val, ReadsTheLeadingNumberOfAnyText) {
    const QString nines(5000, u'9');
    // Only ASCII digits are digits; a double rounds to the nearest, overflows to infinity.
    const std::pair<QString, double> cases[] = {{"", 0},
                                                {"7", 7},
                                                {"-1", -1},
                                                {"12.7", 12.7},
                                                {"-0.5", -0.5},
                                                {"12abc", 12},
                                                {"abc", 0},
                                                {"-", 0},
                                                {".", 0},
                                                {"5.", 5},
                                                {".5", 0.5},
                                                {"1.2.3", 1.2},
                                                {"--1", 0},
                                                {"1-2", 1},
                                                {" 7", 0},
                                                {"+7", 0},
                                                {"1e3", 1},
                                                {"1,5", 1},
                                                {"240\t247", 240},
                                                {"999999999999999", 999999999999999.0},
                                                {"9007199254740993", 9007199254740992.0},
                                                {"&hF0", 240},
                                                {"&HfF", 255},
                                                {"&h1FF", 511},
                                                {"&h7F,", 127},
                                                {"&h0x7F", 0},
                                                {"&h", 0},
                                                {"&", 0},
                                                {"&hG", 0},
                                                {"-&h1", 0},
                                                {"&h9", 9},
                                                {"&ha", 10},
                                                {"&h1FFFFFFFFFFFFF", 9007199254740991.0},
                                                {"&h20000000000001", 9007199254740992.0},
                                                {"&h10000000000000001", 18446744073709551616.0},
                                                {nines, kInf},
                                                {"-" + nines, -kInf},
                                                {"&h" + QString(5000, u'F'), kInf},
                                                {"0." + QString(5000, u'0') + "1", 0},
                                                {"000." + QString(400, u'0') + "1", 0},
                                                {QString(QChar(0)) + "7", 0},
                                                {"7" + QString(QChar(0)) + "7", 7},
                                                {QString(QChar(0xD800)) + "1", 0},
                                                {"1" + QString(QChar(0xDC00)), 1},
                                                {QString::fromUtf8("\u0661\u0662"), 0},
                                                {QString::fromUtf8("\uFF11"), 0},
                                                {QString::fromUtf8("\U0001D7CF"), 0}};
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Val(text), expected) << text.left(20).toStdString();
    }
}

TEST(Val, FullStopIsTheSeparatorInEveryLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(Val(u"1.5"), 1.5);
    EXPECT_EQ(Val(QString("1.") + QString(40, u'5')), 1.5555555555555556);
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(saved);
}

// Hex shows ToInt64 of the value as 64-bit two's complement, so one table tests both.
TEST(HexAndToInt64, TruncateTowardZeroAndMapTheRestToTheMinimum) {
    const std::tuple<double, std::int64_t, const char*> cases[] = {
        {0.0, 0, "0"},
        {15.0, 15, "F"},
        {255.9, 255, "FF"},
        {256.0, 256, "100"},
        {12.7, 12, "C"},
        {-0.5, 0, "0"},
        {-1.0, -1, "FFFFFFFFFFFFFFFF"},
        {-12.7, -12, "FFFFFFFFFFFFFFF4"},
        {9223372036854774784.0, 9223372036854774784, "7FFFFFFFFFFFFC00"},
        {-9223372036854775808.0, INT64_MIN, "8000000000000000"},
        {9223372036854775808.0, INT64_MIN, "8000000000000000"},
        {-1e300, INT64_MIN, "8000000000000000"},
        {kInf, INT64_MIN, "8000000000000000"},
        {std::nan(""), INT64_MIN, "8000000000000000"}};
    for (const auto& [value, integer, hex] : cases) {
        EXPECT_EQ(ToInt64(value), integer) << value;
        EXPECT_EQ(Hex(value), QString::fromLatin1(hex)) << value;
    }
}

TEST(Len, CountsCharactersNotUnits) {
    EXPECT_EQ(Len(u""), 0);
    EXPECT_EQ(Len(QString::fromUtf8("ä\U0001F3B9\U0001F3B9")), 3);
    EXPECT_EQ(Len(QString(QChar(0xD800))), 1);
    EXPECT_EQ(Len(QString(QChar(0xDC00)) + QChar(0xD800)), 2);  // a reversed pair: two strays
    EXPECT_EQ(Chr(0x1F3B9), QString::fromUtf8("\U0001F3B9"));
    EXPECT_EQ(Chr(0xD800) + Chr(0x110000), QString(2, QChar(0xFFFD)));
}

}  // namespace
}  // namespace kelvane
