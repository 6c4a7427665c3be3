#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>

#include "cli/arguments.h"
#include "cli/run.h"
#include "support/recording_backend.h"

namespace kelvane::cli {
namespace {

QString Refusals(const QStringList& lines) { return "kelvane: " + lines.join("\nkelvane: "); }

// What a script gets, with the recording stand-in in PortMidi's place: every message at the port
// in order, or nothing, the exit status and every bad argument named. The VM tries the ways of
// choosing an output against real ports.
TEST(CommandLine, SendsEveryMessageInOrderOrNothingAndNamesWhatIsWrong) {
    QTemporaryDir dir;
    const auto file = [&dir](const char* name, const QByteArray& bytes) {
        QFile out(dir.filePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        return out.fileName();
    };
    const QString dump = file("dump.syx", QByteArray("\xF0\x41\x10\xF7\xF0\xF7"));
    const QString unclosed = file("open.syx", QByteArray("\xF0\x41\x10"));
    const QString empty = file("empty.syx", {});
    // One message past the burst: it goes whole, and needs a time stamp.
    const QString slow = file("long.syx", "\xF0" + QByteArray(5000, 0x01) + "\xF7");
    const QString full = file("full.syx", "\xF0" + QByteArray(3964, 0x01) + "\xF7");
    const QString number = QString::fromUtf16(kCcNumberRefusal);
    const QString channel = QString::fromUtf16(kCcChannelRefusal);
    const QString unfinished = QStringLiteral("the message starting at byte 1 has no closing F7");
    const struct {
        QString arguments;
        int failingOpens, failingWrites, status;
        QString result;  // the calls to the port, or the refusals
    } cases[] = {
        {"--to 1 --cc 7 1 100 --hex \"f0 7e 7f 06 01 f7\" --dec \"240 9 247\"", 0, 0, 0,
         "OpenOutput 1 10000 0; WriteShort 1 0 B0 07 64; WriteSysEx 1 0 F0 7E 7F 06 01 F7; "
         "WriteSysEx 1 0 F0 09 F7; Sleep 5; Close 1"},  // done once the port has taken it all
        // Channel and number are read as the window reads them: truncated, the number first.
        {"--to=2 --syx " + dump + " --cc 0 16 127 --cc 127.9 16.9 127.9", 0, 0, 0,
         "OpenOutput 2 10000 0; WriteSysEx 2 0 F0 41 10 F7; WriteSysEx 2 0 F0 F7; "
         "WriteShort 2 0 BF 00 7F; WriteShort 2 0 BF 7F 7F; Sleep 5; Close 2"},
        // A Control Change waits for room at the port like any message.
        {"--to 1 --syx " + full + " --cc 7 1 1", 0, 0, 0,
         "F7; Sleep 1; WriteShort 1 0 B0 07 01; Sleep 1368; Close 1"},
        {"--to SYNTH --syx " + slow, 0, 0, 0, "OpenOutput 1 10000 1"},  // a whole name wins
        {"--to syn --cc 7 1 1", 0, 0, kRefused, ""},
        {"--to #0 --cc 7 1 1", 0, 0, kRefused, ""},  // no output, by number or by name
        {"--to kEY --cc 7 1 1", 0, 0, kRefused, ""},
        {"--to 9 --cc 7 1 1", 0, 0, kMidiFailed, ""},
        {"--to piano --cc 7 1 1", 0, 0, kMidiFailed, ""},
        {"--to 1 --cc 7 1 1", 1, 0, kMidiFailed, "OpenOutput 1 10000 0"},
        {"--to 1 --cc 7 1 1 --cc 7 1 2", 0, 1, kMidiFailed,
         "OpenOutput 1 10000 0; WriteShort 1 0 B0 07 01; Close 1"},
        {"--list", 0, 0, 0, ""},
        {"--syx " + dump + " --cc=7 --cc 7 1 --list", 0, 0, kRefused,
         Refusals({"--cc 7: needs three values, NUMBER CHANNEL VALUE", "--cc 7 1: needs three"})},
        {"--cc 7 17 100 --dec 12 --cc 1 0 1 --cc 128 0 1 --cc -0.5 1 1", 0, 0, kRefused,
         Refusals({"--cc 7 17 100: " + channel,
                   "--dec 12: Not enough SysEx data in the text field.", "--cc 1 0 1: " + channel,
                   "--cc 128 0 1: " + number, "--cc -0.5 1 1: " + number})},
        {"--cc 1 1 128 --hex \"F0 41\" --syx " + unclosed + " --syx " + dir.path(), 0, 0, kRefused,
         Refusals({"--cc 1 1 128: CC value are 0 to 127 only.",
                   "--hex F0 41: Nothing was sent: " + unfinished + ".",
                   "--syx " + unclosed + ": the file is not complete SysEx messages: " + unfinished,
                   "--syx " + dir.path() + ": the file cannot be read: "})},
        {"--syx " + empty, 0, 0, kRefused, "--syx " + empty + ": the file is empty"},
        {"--bogus", 0, 0, kRefused, "kelvane: Unknown option 'bogus'.\nUsage: "},
        {"7", 0, 0, kRefused, "kelvane: unexpected argument '7'"},
        {"--to 1", 0, 0, kRefused, "kelvane: no message to send"},
        {"--to --cc 7 1 100", 0, 0, kRefused, "kelvane: --to has no value (DEVICE)"},
        {"--cc 7 1 1 --syx", 0, 0, kRefused, "kelvane: --syx has no value (FILE)"},
        {"--rate -1 --cc 7 1 1", 0, 0, kRefused, "kelvane: --rate -1: needs whole bytes"},
        {"--rate 99999999999999999999 --to 1 --cc 7 1 1", 0, 0, 0, "WriteShort 1 0 B0 07 01"},
        {"--list --cc 7 1 1", 0, 0, kRefused, "kelvane: --list sends nothing"},
    };
    for (const auto& [arguments, failingOpens, failingWrites, status, result] : cases) {
        testing::ScopedRecordingBackend backend(
            {testing::Input("Keys"), testing::Output("Synth"), testing::Output("Synth B")});
        backend->failingOpens = {failingOpens ? 1 : -1};
        backend->failingWrites = failingWrites;
        QList<QByteArray> given{"kelvane"};
        for (const QString& argument : QProcess::splitCommand(arguments)) {
            given << argument.toUtf8();
        }
        const Parsed parsed = ParseArguments(given);
        EXPECT_EQ(parsed.exitStatus ? *parsed.exitStatus : RunPlan(parsed.plan), status)
            << arguments.toStdString();
        QString said = parsed.err;
        for (const std::string& call : backend->calls) {
            said += QString::fromStdString(call) + "; ";
        }
        EXPECT_TRUE(said.contains(result)) << said.toStdString();
    }
    // A shell can pass an empty number, which the window never sends.
    EXPECT_TRUE(ParseArguments({"kelvane", "--cc", "", "1", "1"}).err.contains(number));
    // A file name that is not UTF-8 opens all the same, and shows as well as it can.
    const QByteArray latin1 = QFile::encodeName(dir.path()) + "/caf\xE9.syx";
    std::ofstream(latin1.constData()) << "\xF0\xF7";
    const std::vector<Message> read = ParseArguments({"kelvane", "--syx", latin1}).plan.messages;
    EXPECT_TRUE(read.size() == 1 && read[0].argument.endsWith(u"/caf\uFFFD.syx"));
    testing::ScopedRecordingBackend none;  // no device, and no MIDI service to blame
    none->serviceProblem = "no sequencer";
    EXPECT_EQ(RunPlan(ParseArguments({"kelvane", "--list"}).plan), kMidiFailed);
}

}  // namespace
}  // namespace kelvane::cli
