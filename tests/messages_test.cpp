#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QStringList>
#include <random>

#include "messages/control_change.h"
#include "messages/sysex_row.h"

namespace kelvane {
namespace {

std::vector<int> BytesOf(const MemoryBlock& block) {
    return {block.Bytes().begin(), block.Bytes().end()};
}

TEST(ControlChange, BuildsTheTripleOrRefuses) {
    const QString numberRefused = QString::fromUtf16(kCcNumberRefusal);
    const QString channelRefused = QString::fromUtf16(kCcChannelRefusal);
    const struct {
        QString channel, number;
        std::int64_t value;
        ControlChange expected;
        QString refusal;
    } cases[] = {
        {"1", "7", 127, {176, 7, 127}, {}},   {"16", "0", 0, {191, 0, 0}, {}},
        {"1.9", "7", 1, {176, 7, 1}, {}},     {"0.5", "7", 1, {176, 7, 1}, {}},
        {"16.9", "7", 1, {191, 7, 1}, {}},    {"1", "127", 1, {176, 127, 1}, {}},
        {"1", "127.9", 1, {176, 127, 1}, {}}, {"1", "0.5", 1, {176, 0, 1}, {}},
        {"1", "abc", 1, {176, 0, 1}, {}},     {"1", "12abc", 1, {176, 12, 1}, {}},
        {"1", "-0", 1, {176, 0, 1}, {}},      {"1", "128", 1, {}, numberRefused},
        {"1", "-1", 1, {}, numberRefused},    {"1", "-0.5", 1, {}, numberRefused},
        {"1", "", 1, {}, numberRefused},      {"1", QString(400, u'9'), 1, {}, numberRefused},
        {"0", "7", 1, {}, channelRefused},    {"", "7", 1, {}, channelRefused},
        {"17", "7", 1, {}, channelRefused},   {"300", "7", 1, {}, channelRefused},
        {"-200", "7", 1, {}, channelRefused}, {QString(400, u'9'), "7", 1, {}, channelRefused},
        {"0", "128", 1, {}, numberRefused},  // the number is checked first
    };
    for (const auto& [channel, number, value, expected, refusal] : cases) {
        const ControlChangeBuild built = BuildControlChange(channel, number, value);
        EXPECT_EQ(built.refusal, refusal)
            << channel.toStdString() << " / " << number.left(9).toStdString();
        if (refusal.isEmpty()) {
            EXPECT_EQ(built.message, expected)
                << channel.toStdString() << " / " << number.toStdString();
        }
    }
}

struct RowCase {
    QString row;
    QString mirror;
    std::vector<int> bytes;
};

TEST(DecimalRow, OneByteAndOneMirrorPiecePerToken) {
    const RowCase cases[] = {
        {"240 126 127 9 1 247", "F0 7E 7F 9 1 F7", {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
        {"12", "C", {0x0C}},
        {"1 2", "1 2", {0x01, 0x02}},
        {"240  247", "F0 0 F7", {0xF0, 0x00, 0xF7}},
        {"240 247 ", "F0 F7 0", {0xF0, 0xF7, 0x00}},
        {" 240", "0 F0", {0x00, 0xF0}},
        {"   ", "0 0 0 0", {0, 0, 0, 0}},
        {"abc", "0", {0x00}},
        {"256", "100", {0x00}},
        {"300", "12C", {0x2C}},
        {"-1", "FFFFFFFFFFFFFFFF", {0xFF}},
        {"12.7", "C", {0x0C}},
        {"-12.7", "FFFFFFFFFFFFFFF4", {0xF4}},
        {"1\t2", "1", {0x01}},
        {"&hF0 &h7", "F0 7", {0xF0, 0x07}},
        {QString(400, u'9'), "8000000000000000", {0x00}},
        {"9223372036854775807", "8000000000000000", {0x00}},  // rounds up to 2^63
        {"9223372036854774784", "7FFFFFFFFFFFFC00", {0x00}},
    };
    for (const auto& [row, mirror, bytes] : cases) {
        EXPECT_EQ(HexMirror(row), mirror) << row.left(20).toStdString();
        EXPECT_EQ(BytesOf(DecimalRowBytes(row)), bytes) << row.left(20).toStdString();
    }
}

TEST(HexRow, ReadsEveryTokenAsHexadecimal) {
    const struct {
        QString row;
        std::vector<int> bytes;
    } cases[] = {
        {"F0 7E 7F 06 01 F7", {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}},
        {"f0 7e 7f 06 01 f7", {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}},
        {"F0  41 F7", {0xF0, 0x00, 0x41, 0xF7}},
        {" F0 F7", {0x00, 0xF0, 0xF7}},
        {"F0 F7 ", {0xF0, 0xF7, 0x00}},
        {"F0 ", {0xF0, 0x00}},
        {"F0,7E,F7", {0xF0}},
        {"0xF0 0xF7", {0x00, 0x00}},
        {"&hF0", {0x00}},
        {"1FF", {0xFF}},
        {"100", {0x00}},
        {"10 20", {0x10, 0x20}},
        {"7F,", {0x7F}},
        {"FFFFFFFFFFFFFFFF", {0x00}},  // beyond the signed 64-bit range
        {"7FFFFFFFFFFFFC00", {0x00}},
        {"7FFFFFFFFFFFFFF7", {0x00}},  // rounds to 2^63 as a double
        {QString(500, u'F'), {0x00}},
    };
    for (const auto& [row, bytes] : cases) {
        EXPECT_EQ(BytesOf(HexRowBytes(row)), bytes) << row.left(20).toStdString();
    }
}

TEST(HexRow, ReadsBackTheMirrorOfWholeNumbers) {
    const QString rows[] = {"0 1 127 128 255 256 4095 65535",
                            "9007199254740993 1234567890123 18014398509481985",
                            "9223372036854774784 4611686018427387903"};
    for (const QString& row : rows) {
        EXPECT_EQ(HexRowBytes(HexMirror(row)), DecimalRowBytes(row)) << row.toStdString();
    }
}

// Whatever whole numbers from 0 to 2^63 - 1 a row holds, sending its mirror through the hex path
// sends the bytes the decimal path sends.
TEST(HexRow, AgreesWithTheDecimalPathOnRandomWholeNumbers) {
    std::mt19937_64 random(20191);
    for (int round = 0; round < 2000; ++round) {
        QString row;
        const int tokens = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < tokens; ++i) {
            const int bits = static_cast<int>(random() % 64);  // 0 to 63 bits: every magnitude
            const std::uint64_t value = bits == 0 ? 0 : random() >> (64 - bits);
            row += (i > 0 ? QStringLiteral(" ") : QString()) + QString::number(value);
        }
        ASSERT_EQ(HexRowBytes(HexMirror(row)), DecimalRowBytes(row)) << row.toStdString();
    }
}

// What a send of the row does: the bytes that go out, or the first problem and where it is.
TEST(SysExRowBytes, SendsMessagesOrNamesTheFirstProblem) {
    const struct {
        QString row;
        SysExRowBytes (*bytesOf)(QStringView);
        std::vector<int> bytes;
        QString problem;
    } cases[] = {
        {"F0 7E 7F 06 01 F7 ", HexSysExBytes, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, {}},
        {"  F0  F7  ", HexSysExBytes, {0xF0, 0x00, 0xF7}, {}},
        {"F0 01 F7,", HexSysExBytes, {0xF0, 0x01, 0xF7}, {}},
        {"240 12.7 247 240 247", DecimalSysExBytes, {0xF0, 0x0C, 0xF7, 0xF0, 0xF7}, {}},
        {"   ", HexSysExBytes, {}, "the row has no bytes"},
        {"41 F0 F7", HexSysExBytes, {}, "the row does not start with F0 (byte 1 is 41)"},
        {"1F0 F7", HexSysExBytes, {}, "the row does not start with F0 (byte 1 is 1F0)"},
        {" 0xF0 F7", HexSysExBytes, {}, "the row does not start with F0 (byte 1 is 00)"},
        {"F0 1 2 3 4 5 12C F7", HexSysExBytes, {}, "byte 7 (12C) is not a data byte 00–7F"},
        {"F0 41 90 F7 F0", HexSysExBytes, {}, "byte 3 (90) is not a data byte 00–7F"},
        {"240 -1 247", DecimalSysExBytes, {}, "byte 2 (FFFFFFFFFFFFFFFF) is not a data byte 00–7F"},
        {"240 " + QString(400, u'9'),
         DecimalSysExBytes,
         {},
         "byte 2 (8000000000000000) is not a data byte 00–7F"},
        {"F0 F0 F7", HexSysExBytes, {}, "byte 2 (F0) is not a data byte 00–7F"},
        {"F0 7E F7 00 F0 F7", HexSysExBytes, {}, "byte 4 (00) follows the closing F7"},
        {"F0 41 10 42 12", HexSysExBytes, {}, "the message starting at byte 1 has no closing F7"},
        {"F0 F7 F0 41", HexSysExBytes, {}, "the message starting at byte 3 has no closing F7"},
    };
    for (const auto& [row, bytesOf, bytes, problem] : cases) {
        const SysExRowBytes sent = bytesOf(row);
        EXPECT_EQ(sent.problem, problem) << row.toStdString();
        EXPECT_EQ(BytesOf(sent.block), bytes) << row.toStdString();
    }
}

TEST(LengthTest, CountsCharacters) {
    const struct {
        QString row;
        bool enough;
    } cases[] = {
        {"", false},
        {"12", false},
        {"F0", false},
        {"240", true},
        {"F0 ", true},
        {"  ", false},
        {"   ", true},
        {QString::fromUtf8("\U0001F3B9\U0001F3B9"), false},  // four UTF-16 units, two characters
        {QString::fromUtf8("\U0001F3B9\U0001F3B9\U0001F3B9"), true},
    };
    for (const auto& [row, enough] : cases) {
        EXPECT_EQ(HasEnoughSysExData(row), enough) << row.toStdString();
    }
}

}  // namespace
}  // namespace kelvane
