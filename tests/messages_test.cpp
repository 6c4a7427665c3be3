#include <gtest/gtest.h>

#include <random>

#include "messages/control_change.h"
#include "messages/sysex_row.h"

namespace kelvane {
namespace {

std::vector<int> BytesOf(const MemoryBlock& block) {
    return {block.Bytes().begin(), block.Bytes().end()};
}

TEST(ControlChange, BuildsTheMessageOrRefuses) {
    const QString number = QString::fromUtf16(kCcNumberRefusal);
    const QString channel = QString::fromUtf16(kCcChannelRefusal);
    const QString nines(400, u'9');
    const struct {
        QString channel, number;
        ControlChange expected;
        QString refusal;
    } cases[] = {
        {"1", "7", {176, 7, 5}, {}},       {"16", "0", {191, 0, 5}, {}},
        {"1.9", "7", {176, 7, 5}, {}},     {"16.9", "7", {191, 7, 5}, {}},
        {"1", "127.9", {176, 127, 5}, {}}, {"1", "12abc", {176, 12, 5}, {}},
        {"1", "-0", {176, 0, 5}, {}},      {"1", "128", {}, number},
        {"1", "-0.5", {}, number},         {"1", "", {}, number},
        {"1", nines, {}, number},          {"0", "7", {}, channel},
        {"17", "7", {}, channel},          {"-200", "7", {}, channel},
        {nines, "7", {}, channel},         {"0", "128", {}, number},  // the number comes first
    };
    for (const auto& [channelText, numberText, expected, refusal] : cases) {
        const ControlChangeBuild built = BuildControlChange(channelText, numberText, 5);
        EXPECT_EQ(built.refusal, refusal)
            << channelText.left(9).toStdString() << " / " << numberText.left(9).toStdString();
        if (refusal.isEmpty()) {
            EXPECT_EQ(built.message, expected) << channelText.toStdString();
        }
    }
}

TEST(SysExRows, OneBytePerTokenInEitherField) {
    const struct {
        QString row;
        QString mirror;
        std::vector<int> decimal;
        std::vector<int> hex;
    } cases[] = {
        {"240 126 9 247", "F0 7E 9 F7", {0xF0, 0x7E, 0x09, 0xF7}, {0x40, 0x26, 0x09, 0x47}},
        {"240  247 ", "F0 0 F7 0", {0xF0, 0x00, 0xF7, 0x00}, {0x40, 0x00, 0x47, 0x00}},
        {" 1", "0 1", {0x00, 0x01}, {0x00, 0x01}},
        {"300 -1", "12C FFFFFFFFFFFFFFFF", {0x2C, 0xFF}, {0x00, 0x00}},
        {"-12.7 1\t2", "FFFFFFFFFFFFFFF4 1", {0xF4, 0x01}, {0x00, 0x01}},
        {"&hF0 abc", "F0 0", {0xF0, 0x00}, {0x00, 0xBC}},
        {"f0 1FF 0xF0 7F,", "0 1 0 7", {0x00, 0x01, 0x00, 0x07}, {0xF0, 0xFF, 0x00, 0x7F}},
        {"9223372036854775807", "8000000000000000", {0x00}, {0x00}},  // rounds up to 2^63
        {"7FFFFFFFFFFFFFF7 FFFFFFFFFFFFFFFF", "7 0", {0x07, 0x00}, {0x00, 0x00}},
        {QString(400, u'9'), "8000000000000000", {0x00}, {0x00}},
    };
    for (const auto& [row, mirror, decimal, hex] : cases) {
        EXPECT_EQ(HexMirror(row), mirror) << row.left(20).toStdString();
        EXPECT_EQ(BytesOf(DecimalRowBytes(row)), decimal) << row.left(20).toStdString();
        EXPECT_EQ(BytesOf(HexRowBytes(row)), hex) << row.left(20).toStdString();
    }
}

// Whatever whole numbers from 0 to 2^63 - 1 a row holds, sending its mirror through the hex path
// sends the bytes the decimal path sends.
TEST(SysExRows, TheHexPathReadsTheMirrorBackToTheDecimalBytes) {
    std::mt19937_64 random(20191);
    for (int round = 0; round < 2000; ++round) {
        QString row;
        for (int i = 0, tokens = 1 + static_cast<int>(random() % 12); i < tokens; ++i) {
            const int bits = static_cast<int>(random() % 64);  // every magnitude
            row += (i > 0 ? " " : "") + QString::number(bits == 0 ? 0 : random() >> (64 - bits));
        }
        ASSERT_EQ(HexRowBytes(HexMirror(row)), DecimalRowBytes(row)) << row.toStdString();
    }
}

}  // namespace
}  // namespace kelvane
