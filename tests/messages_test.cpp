#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <thread>

#include "messages/control_change.h"
#include "messages/send_progress_text.h"
#include "messages/sysex_row.h"
#include "messages/syx_file.h"

namespace kelvane {
namespace {

QString Hex(const MemoryBlock& block) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(block.Bytes().data()), qsizetype(block.Size()))
            .toHex(' ')
            .toUpper());
}

TEST(ControlChange, BuildsTheMessageOrRefuses) {
    const QString number = QString::fromUtf16(kCcNumberRefusal);
    const QString channel = QString::fromUtf16(kCcChannelRefusal);
    const QString nines(400, u'9');
    // channel and number texts, and the status and controller they make, or the refusal
    const std::tuple<QString, QString, int, int, QString> cases[] = {
        {"1", "7", 176, 7, {}},     {"16", "0", 191, 0, {}},      {"1.9", "7", 176, 7, {}},
        {"16.9", "7", 191, 7, {}},  {"1", "127.9", 176, 127, {}}, {"1", "12abc", 176, 12, {}},
        {"1", "-0", 176, 0, {}},    {"1", "128", 0, 0, number},   {"1", "-0.5", 0, 0, number},
        {"1", "", 0, 0, number},    {"1", nines, 0, 0, number},   {"0", "7", 0, 0, channel},
        {"17", "7", 0, 0, channel}, {"-200", "7", 0, 0, channel}, {nines, "7", 0, 0, channel},
        {"0", "128", 0, 0, number}};  // the number is checked first
    for (const auto& [channelText, numberText, status, controller, refusal] : cases) {
        const ControlChangeBuild built = BuildControlChange(channelText, numberText, 5);
        EXPECT_EQ(built.refusal, refusal)
            << channelText.left(9).toStdString() << " / " << numberText.left(9).toStdString();
        EXPECT_TRUE(!refusal.isEmpty() || built.message == (ControlChange{status, controller, 5}))
            << channelText.toStdString();
    }
}

TEST(SysExRows, OneBytePerTokenInEitherField) {
    // row, its mirror, what the decimal and the hex field send for it
    const char* cases[][4] = {
        {"240 126 9 247", "F0 7E 9 F7", "F0 7E 09 F7", "40 26 09 47"},
        {"240  247 ", "F0 0 F7 0", "F0 00 F7 00", "40 00 47 00"},
        {" 1", "0 1", "00 01", "00 01"},
        {"300 -1", "12C FFFFFFFFFFFFFFFF", "2C FF", "00 00"},
        {"-12.7 1\t2", "FFFFFFFFFFFFFFF4 1", "F4 01", "00 01"},
        {"&hF0 abc", "F0 0", "F0 00", "00 BC"},
        {"f0 1FF 0xF0 7F,", "0 1 0 7", "00 01 00 07", "F0 FF 00 7F"},
        {"9223372036854775807", "8000000000000000", "00", "00"},  // rounds up to 2^63
        {"7FFFFFFFFFFFFFF7 FFFFFFFFFFFFFFFF", "7 0", "07 00", "00 00"}};
    for (const auto& [row, mirror, decimal, hexBytes] : cases) {
        EXPECT_EQ(HexMirror(QString::fromLatin1(row)), QString::fromLatin1(mirror)) << row;
        EXPECT_EQ(Hex(DecimalRowBytes(QString::fromLatin1(row))), decimal) << row;
        EXPECT_EQ(Hex(HexRowBytes(QString::fromLatin1(row))), hexBytes) << row;
    }
}

// What a send of the row does: the bytes that go out, or the first problem and where it is.
TEST(SysExRows, SendMessagesOrNameTheFirstProblem) {
    const std::tuple<SysExRowBytes (*)(QStringView), const char*, const char*> cases[] = {
        {HexSysExBytes, " F0 7E  F7 ", "F0 7E 00 F7"},  // only inner spaces make values
        {HexSysExBytes, "F0 01 F7,", "F0 01 F7"},
        {DecimalSysExBytes, "240 12.7 247 240 247", "F0 0C F7 F0 F7"},
        {HexSysExBytes, "   ", "the row has no bytes"},
        {HexSysExBytes, "41 F0 F7", "the row does not start with F0 (byte 1 is 41)"},
        {HexSysExBytes, "1F0 F7", "the row does not start with F0 (byte 1 is 1F0)"},
        {HexSysExBytes, "F0 1 2 3 4 5 12C F7", "byte 7 (12C) is not a data byte 00–7F"},
        {HexSysExBytes, "F0 41 90 F7 F0", "byte 3 (90) is not a data byte 00–7F"},
        {DecimalSysExBytes, "240 -1 247", "byte 2 (-1) is not a data byte 00–7F"},
        {HexSysExBytes, "F0 7E F7 00 F0 F7", "byte 4 (00) follows the closing F7"},
        {HexSysExBytes, "F0 F7 F0 41", "the message starting at byte 3 has no closing F7"}};
    for (const auto& [bytesOf, row, result] : cases) {
        const SysExRowBytes sent = bytesOf(QString::fromLatin1(row));
        EXPECT_EQ(sent.problem.isEmpty() ? Hex(sent.block) : sent.problem,
                  QString::fromUtf8(result))
            << row;
    }
}

// A pipe has no size: it is read to its end; a file over the limit is refused unread.
TEST(SyxFile, ReadsAPipeToItsEndAndRefusesWhatIsTooLarge) {
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe.syx");
    ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    std::thread writer([&pipe] {
        QFile out(pipe);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write("\xF0\x01\xF7", 3) == 3);
    });
    EXPECT_EQ(ReadSyx(pipe).bytes, QByteArray("\xF0\x01\xF7"));
    writer.join();
    QFile large(dir.filePath("large.syx"));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly) && large.resize(kMaxSyxBytes + 1));
    EXPECT_EQ(ReadSyx(large.fileName()).problem, QStringLiteral("the file is larger than 16 MiB"));
    midi::SendProgress progress;
    progress.sentBytes = 4096;
    progress.totalBytes = 8192;
    progress.msLeft = 1001;  // rounded up
    EXPECT_EQ(SendProgressText(progress),
              QStringLiteral("4096 of 8192 bytes sent, about 2 s left"));
}

}  // namespace
}  // namespace kelvane
