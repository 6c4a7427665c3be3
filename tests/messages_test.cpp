#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <thread>

#include "messages/send_progress_text.h"
#include "messages/sysex_row.h"
#include "messages/syx_file.h"
#include "support/recording_backend.h"

namespace kelvane {
namespace {

using testing::HexBytes;

// The decimal field's mirror: each token's value truncated, in hex, as a 64-bit two's complement
// that maps what does not fit to the minimum; empty tokens included.
TEST(SysExRows, MirrorShowsEveryTokensValue) {
    const char* cases[][2] = {{"240 126 9 247", "F0 7E 9 F7"},
                              {"256 -0.5 9223372036854774784 9223372036854775808",
                               "100 0 7FFFFFFFFFFFFC00 8000000000000000"},
                              {" 240  247 ", "0 F0 0 F7 0"},
                              {"300 -1", "12C FFFFFFFFFFFFFFFF"},
                              {"-12.7 1\t2", "FFFFFFFFFFFFFFF4 1"},
                              {"&hF0 abc", "F0 0"},
                              {"f0 1FF 0xF0 7F,", "0 1 0 7"}};
    for (const auto& [row, mirror] : cases) {
        EXPECT_EQ(HexMirror(QString::fromLatin1(row)), QString::fromLatin1(mirror)) << row;
    }
}

// What a send of the row does: the bytes that go out, or the first problem and where it is.
TEST(SysExRows, SendMessagesOrNameTheFirstProblem) {
    const std::tuple<CheckedSysEx (*)(QStringView), const char*, const char*> cases[] = {
        {HexSysExBytes, " F0 7E  F7 ", " F0 7E 00 F7"},  // only inner spaces make values
        {DecimalSysExBytes, "240 12.7 247 240 247", " F0 0C F7 F0 F7"},
        {HexSysExBytes, "   ", "the row has no bytes"},
        {HexSysExBytes, "1F0 F7", "the row does not start with F0 (byte 1 is 1F0)"},
        {HexSysExBytes, "F0 1 2 3 4 5 12C F7 F0", "byte 7 (12C) is not a data byte 00–7F"},
        {DecimalSysExBytes, "240 -1 247", "byte 2 (-1) is not a data byte 00–7F"},
        {HexSysExBytes, "F0 7E F7  F0 F7", "byte 4 (00) follows the closing F7"},
        {HexSysExBytes, "F0 F7 F0 41", "the message starting at byte 3 has no closing F7"}};
    for (const auto& [bytesOf, row, result] : cases) {
        const CheckedSysEx sent = bytesOf(QString::fromLatin1(row));
        const std::string shown =
            sent.problem.isEmpty() ? HexBytes(sent.messages.Bytes()) : sent.problem.toStdString();
        EXPECT_EQ(shown, result) << row;
    }
}

// A pipe has no size: it is read to its end, past one read's worth; a file over the limit is
// refused unread.
TEST(SyxFile, ReadsAPipeToItsEndAndRefusesWhatIsTooLarge) {
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe.syx");
    ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    const QByteArray message = "\xF0" + QByteArray(100000, 0x01) + "\xF7";
    std::thread writer([&pipe, &message] {
        QFile out(pipe);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(message) == message.size());
    });
    EXPECT_TRUE(QByteArrayView(ReadSyx(QFile::encodeName(pipe)).messages.Bytes()) == message);
    writer.join();
    QFile large(dir.filePath("large.syx"));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly) && large.resize((16 << 20) + 1));
    EXPECT_EQ(ReadSyx(QFile::encodeName(large.fileName())).problem,
              QStringLiteral("the file is larger than 16 MiB"));
    EXPECT_EQ(SendProgressText({.sentBytes = 4096, .totalBytes = 8192, .msLeft = 1001}),
              QStringLiteral("4096 of 8192 bytes sent, about 2 s left"));  // rounded up
}

}  // namespace
}  // namespace kelvane
