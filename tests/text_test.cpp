#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>
#include <cmath>
#include <limits>

#include "text/integer.h"
#include "text/memory_block.h"
#include "text/number_text.h"
#include "text/text.h"

namespace kelvane {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct ValCase {
    QString text;
    double expected;
};

TEST(Val, ReadsTheLeadingNumber) {
    const ValCase cases[] = {
        {"", 0.0},
        {"7", 7.0},
        {"1.9", 1.9},
        {"-1", -1.0},
        {"12.7", 12.7},
        {"-0.5", -0.5},
        {"12abc", 12.0},
        {"abc", 0.0},
        {"-", 0.0},
        {".", 0.0},
        {"5.", 5.0},
        {".5", 0.5},
        {"1.2.3", 1.2},
        {"--1", 0.0},
        {"1-2", 1.0},
        {" 7", 0.0},
        {"+7", 0.0},
        {"1e3", 1.0},
        {"1,5", 1.0},
        {"007", 7.0},
        {"240\t247", 240.0},
        {"9007199254740993", 9007199254740992.0},  // nearest double
        {"0.1", 0.1},
        {"&hF0", 240.0},
        {"&hf0", 240.0},
        {"&HfF", 255.0},
        {"&h7", 7.0},
        {"&h1FF", 511.0},
        {"&h7F,", 127.0},
        {"&h0x7F", 0.0},
        {"&h", 0.0},
        {"&", 0.0},
        {"&hG", 0.0},
        {"&h7FFFFFFFFFFFFFFF", 9223372036854775807.0},
        {"&h10000000000000001", 18446744073709551616.0},
        {"-&h1", 0.0},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Val(text), expected) << text.toStdString();
    }
}

TEST(Val, NeverFailsOnHostileText) {
    const QString thousandNines(5000, u'9');
    const QString tinyFraction = "0." + QString(5000, u'0') + "1";
    const struct {
        QString text;
        double expected;
    } cases[] = {
        {thousandNines, kInf},
        {"-" + thousandNines, -kInf},
        {"&h" + QString(5000, u'F'), kInf},
        {tinyFraction, 0.0},
        {thousandNines.left(400) + "." + thousandNines, kInf},
        {QString(QChar(0)) + "7", 0.0},
        {"7" + QString(QChar(0)) + "7", 7.0},
        {QString(QChar(0xD800)) + "1", 0.0},       // lone high surrogate
        {"1" + QString(QChar(0xDC00)), 1.0},       // lone low surrogate
        {QString::fromUtf8("\u0661\u0662"), 0.0},  // Arabic-Indic digits are not digits here
        {QString::fromUtf8("\uFF11"), 0.0},        // full-width one
        {QString::fromUtf8("\U0001D7CF"), 0.0},    // mathematical bold one
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Val(text), expected) << text.left(20).toStdString();
    }
}

TEST(Val, FullStopIsTheSeparatorInEveryLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(Val(u"1.5"), 1.5);
    EXPECT_EQ(Val(u"1,5"), 1.0);
    EXPECT_EQ(Val(QString("1.") + QString(40, u'5')), 1.5555555555555556);
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(saved);
}

TEST(ToInt64, TruncatesTowardZeroAndMapsTheRestToTheMinimum) {
    const struct {
        double value;
        std::int64_t expected;
    } cases[] = {
        {1.9, 1},
        {-0.5, 0},
        {-12.7, -12},
        {127.9, 127},
        {255.9, 255},
        {-1.0, -1},
        {-0.0, 0},
        {9223372036854774784.0, 9223372036854774784},  // largest double below 2^63
        {-9223372036854775808.0, INT64_MIN},
        {9223372036854775808.0, INT64_MIN},
        {1e300, INT64_MIN},
        {-1e300, INT64_MIN},
        {kInf, INT64_MIN},
        {-kInf, INT64_MIN},
        {std::nan(""), INT64_MIN},
        {std::numeric_limits<double>::denorm_min(), 0},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(ToInt64(value), expected) << value;
    }
}

TEST(StrAndHex, FormatIntegers) {
    EXPECT_EQ(Str(0), "0");
    EXPECT_EQ(Str(10), "10");
    EXPECT_EQ(Str(-5), "-5");
    EXPECT_EQ(Str(INT64_MIN), "-9223372036854775808");

    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {0.0, "0"},
        {9.0, "9"},
        {15.0, "F"},
        {240.0, "F0"},
        {255.0, "FF"},
        {256.0, "100"},
        {300.0, "12C"},
        {12.7, "C"},
        {-0.5, "0"},
        {-1.0, "FFFFFFFFFFFFFFFF"},
        {-12.7, "FFFFFFFFFFFFFFF4"},
        {9223372036854774784.0, "7FFFFFFFFFFFFC00"},
        {1e300, "8000000000000000"},
        {std::nan(""), "8000000000000000"},
        {-kInf, "8000000000000000"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(Hex(value), QString::fromLatin1(expected)) << value;
    }
}

TEST(Len, CountsCharactersNotUnitsOrBytes) {
    EXPECT_EQ(Len(u""), 0);
    EXPECT_EQ(Len(u"F0 "), 3);
    EXPECT_EQ(Len(QString::fromUtf8("äöü")), 3);
    EXPECT_EQ(Len(QString::fromUtf8("\U0001F3B9\U0001F3B9")), 2);  // two keyboards, four units
    EXPECT_EQ(Len(QString(QChar(0xD800))), 1);
    EXPECT_EQ(Len(QString(QChar(0xDC00)) + QChar(0xD800)), 2);  // reversed pair: two strays
}

TEST(Chr, GivesOneCharacter) {
    EXPECT_EQ(Chr(13), QString(QChar(13)));
    EXPECT_EQ(Chr(0x1F3B9), QString::fromUtf8("\U0001F3B9"));
    EXPECT_EQ(Chr(0xD800), QString(QChar(0xFFFD)));
    EXPECT_EQ(Chr(0x110000), QString(QChar(0xFFFD)));
}

TEST(Split, EverySpaceSeparates) {
    const struct {
        QString text;
        QStringList pieces;
    } cases[] = {
        {"1 2", {"1", "2"}}, {"1  2", {"1", "", "2"}},  {" 1", {"", "1"}},
        {"1 ", {"1", ""}},   {"1,2", {"1,2"}},          {"1\t2", {"1\t2"}},
        {"1\n2", {"1\n2"}},  {"   ", {"", "", "", ""}}, {"", {""}},
    };
    for (const auto& [text, pieces] : cases) {
        QStringList got;
        for (const QStringView piece : Split(text, u' ')) {
            got.append(piece.toString());
        }
        EXPECT_EQ(got, pieces) << text.toStdString();
    }
}

TEST(MemoryBlock, KeepsTheLowEightBits) {
    const struct {
        std::int64_t value;
        std::uint8_t stored;
    } cases[] = {{240, 0xF0}, {255, 0xFF}, {256, 0x00},       {300, 0x2C},
                 {-1, 0xFF},  {-12, 0xF4}, {INT64_MIN, 0x00}, {INT64_MAX, 0xFF}};
    for (const auto& [value, stored] : cases) {
        MemoryBlock block(2);
        block.SetByte(1, value);
        EXPECT_EQ(block.Byte(0), 0x00);
        EXPECT_EQ(block.Byte(1), stored) << value;
    }
    MemoryBlock block(1);
    EXPECT_THROW(block.SetByte(1, 0), std::out_of_range);
    EXPECT_EQ(MemoryBlock(0).Size(), 0u);
}

}  // namespace
}  // namespace kelvane
