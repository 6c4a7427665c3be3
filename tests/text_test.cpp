#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>
#include <limits>

#include "text/number_text.h"
#include "text/text.h"

namespace kelvane {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Val, ReadsTheLeadingNumberOfAnyText) {
    const QString nines(5000, u'9');
    // Only ASCII digits are digits; a double rounds to the nearest, overflows to infinity; a full
    // stop is the separator in every locale.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const std::pair<double, std::vector<QString>> cases[] = {
        {0,
         {"", "abc", "-", ".", " 7", "+7", "0h1", "&h0x7F", "&h", "&", "&hG", "-&h1",
          "000." + QString(400, u'0') + "1", QString(QChar(0)) + "7", QString(QChar(0xD800)) + "1",
          QString::fromUtf8("\u0661"), QString::fromUtf8("\U0001D7CF")}},
        {1, {"1-2", "1e3", "1,5", "1" + QString(QChar(0xDC00))}},
        {12.7, {"12.7", "12.7.3", "12.7abc"}},
        {5, {"5."}},
        {0.5, {".5"}},
        {1.5555555555555556, {"1." + QString(40, u'5')}},
        {0x09AFAF, {"&H09afAFg"}},  // the ends of each range of digits
        {9007199254740992.0, {"9007199254740993", "&h20000000000001"}},
        {18446744073709551616.0, {"&h10000000000000001"}},
        {kInf, {nines, "&h" + QString(5000, u'F')}},
        {-kInf, {"-" + nines}}};
    for (const auto& [expected, texts] : cases) {
        for (const QString& text : texts) {
            EXPECT_EQ(Val(text), expected) << text.left(20).toStdString();
        }
    }
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(saved);
}

// A pair is one character, and so is each stray half; Chr makes no stray halves.
TEST(Len, CountsCharactersNotUnits) {
    EXPECT_EQ(Len(QString::fromUtf8("\U0001F3B9ä") + QChar(0xDC00) + QChar(0xD800)), 4);
    EXPECT_EQ(Chr(0x10FFFF) + Chr(0xE000), QString::fromUcs4(U"\U0010FFFF\uE000"));
    EXPECT_EQ(Chr(0xD800) + Chr(0x110000), QString(2, QChar(0xFFFD)));
}

}  // namespace
}  // namespace kelvane
