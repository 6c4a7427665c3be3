#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "cli/arguments.h"
#include "cli/output_choice.h"
#include "cli/run.h"
#include "support/recording_backend.h"

namespace kelvane::cli {
namespace {

// The plan's bytes as " B0 07 64".
std::string Sent(const Plan& plan) {
    std::string bytes;
    for (const Message& message : plan.messages) {
        if (const auto* cc = std::get_if<ControlChange>(&message.content)) {
            const std::uint8_t three[] = {std::uint8_t(cc->status), std::uint8_t(cc->controller),
                                          std::uint8_t(cc->value)};
            bytes += testing::HexBytes(three);
        } else {
            bytes += testing::HexBytes(std::get<MemoryBlock>(message.content).Bytes());
        }
    }
    return bytes;
}

Parsed Parse(const QString& command) {
    return ParseArguments(QStringList{"kelvane"} + QProcess::splitCommand(command));
}

TEST(CommandLine, SendsEveryMessageInOrderOrNothingAndNamesWhatIsWrong) {
    QTemporaryDir dir;
    const auto file = [&dir](const char* name, const QByteArray& bytes) {
        QFile out(dir.filePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        return out.fileName();
    };
    const QString dump = file("dump.syx", QByteArray("\xF0\x41\x10\xF7\xF0\xF7"));
    const QString open = file("open.syx", QByteArray("\xF0\x41\x10"));
    const QString empty = file("empty.syx", {});
    const struct {
        QString arguments;
        std::string bytes;
        QString err;  // a line of standard error, or "" for none
    } cases[] = {
        {"--cc 7 1 100 --hex \"f0 7e 7f 06 01 f7\" --dec \"240 9 247\"",
         " B0 07 64 F0 7E 7F 06 01 F7 F0 09 F7", ""},
        {"--syx " + dump + " --cc=7 --to Synth", "", "--cc 7: needs three values"},
        {"--cc 7 1 --list", "", "--cc 7 1: needs three values"},
        {"--to=2 --syx " + dump + " --cc 0 16 127", " F0 41 10 F7 F0 F7 BF 00 7F", ""},
        {"--cc 7 17 100 --dec 12", "", "--cc 7 17 100: CC channel are 1 to"},
        {"--cc 1 1 128", "", "--cc 1 1 128: CC value are 0 to 127 only."},
        {"--dec 12", "", "--dec 12: Not enough SysEx data in the text field."},
        {"--hex \"F0 41\"", "", "--hex F0 41: Nothing was sent: "},
        {"--syx " + open, "", "--syx " + open + ": the file is not complete SysEx"},
        {"--syx " + empty, "", "--syx " + empty + ": the file is empty"},
        {"--syx " + dir.path(), "", "--syx " + dir.path() + ": the file cannot be read: "},
        {"--bogus", "", "kelvane: Unknown option 'bogus'.\nUsage: "},
        {"7", "", "kelvane: unexpected argument '7'"},
        {"--to 1", "", "kelvane: no message to send"},
        {"--list --cc 7 1 1", "", "kelvane: --list sends nothing"},
    };
    const QByteArray message = QByteArray("\xF0") + QByteArray(1022, 0x55) + QByteArray("\xF7");
    const QString big = file("big.syx", message.repeated(1024));  // 1 MiB, sent whole
    EXPECT_EQ(Sent(Parse("--syx " + big).plan).size(), 3u << 20);
    for (const auto& [arguments, bytes, err] : cases) {
        const Parsed parsed = Parse(arguments);
        EXPECT_EQ(parsed.exitStatus.value_or(kSent), err.isEmpty() ? kSent : kRefused)
            << arguments.toStdString();
        EXPECT_TRUE(err.isEmpty() ? parsed.err.isEmpty() : parsed.err.contains(err))
            << arguments.toStdString() << "\n"
            << parsed.err.toStdString();
        EXPECT_EQ(Sent(parsed.plan), bytes) << arguments.toStdString();
    }
}

// Number, part of a name and ambiguity are tried against real ports in the VM.
TEST(CommandLine, AWholeNameWinsOverParts) {
    const std::vector<midi::MidiDeviceInfo> devices = {{"Synth A", "", false, true},
                                                       {"Synth AB", "", false, true}};
    EXPECT_EQ(ChooseOutput(devices, QString("synth a")).deviceId, 0);
    EXPECT_EQ(ChooseOutput(devices, QString("Synth")).status, kRefused);
}

// What reaches the port, and the exit status as a shell sees it, with the recording stand-in in
// PortMidi's place.
TEST(CommandLine, RunsThePlanOnTheChosenOutput) {
    QTemporaryDir dir;
    QFile syx(dir.filePath("long.syx"));  // one message past the burst: it needs a time stamp
    const QByteArray message = QByteArray("\xF0") + QByteArray(5000, 0x01) + QByteArray("\xF7");
    EXPECT_TRUE(syx.open(QIODevice::WriteOnly) && syx.write(message) == message.size());
    syx.close();
    const struct {
        QString arguments;
        int failingOpens, failingWrites, status;
        std::string calls;  // the first ones from the open on
    } cases[] = {
        {"--to 1 --cc 7 1 100 --hex \"F0 7E F7\"", 0, 0, 0,
         "OpenOutput 1 10000 0; WriteShort 1 0 B0 07 64; WriteSysEx 1 0 F0 7E F7; Close 1"},
        {"--to 1 --syx " + syx.fileName(), 0, 0, 0, "OpenOutput 1 10000 1"},
        {"--to 1 --cc 7 1 1", 1, 0, 1, "OpenOutput 1 10000 0"},
        {"--to 1 --cc 7 1 1 --cc 7 1 2", 0, 1, 1,
         "OpenOutput 1 10000 0; WriteShort 1 0 B0 07 01; Close 1"},
        {"--to 9 --cc 7 1 1", 0, 0, 1, ""},
        {"--list", 0, 0, 0, ""},
    };
    for (const auto& [arguments, failingOpens, failingWrites, status, calls] : cases) {
        testing::ScopedRecordingBackend backend;
        backend->devices = {testing::Input("Keys"), testing::Output("Synth")};
        backend->failingOpens = {failingOpens ? 1 : -1};
        backend->failingWrites = failingWrites;
        midi::MidiLibrary::ReInitialize();
        backend->calls.clear();
        EXPECT_EQ(RunPlan(Parse(arguments).plan), status);
        const auto open = std::find_if(backend->calls.begin(), backend->calls.end(),
                                       [](const std::string& call) { return call[0] == 'O'; });
        std::string from;
        for (auto call = open; call != backend->calls.end(); ++call) {
            from += *call + "; ";
        }
        EXPECT_TRUE(from.starts_with(calls.empty() ? "" : calls + "; ")) << from;
    }
    testing::ScopedRecordingBackend none;  // no device, and no MIDI service to blame
    none->serviceProblem = "no sequencer";
    EXPECT_EQ(RunPlan(ParseArguments({"kelvane", "--list"}).plan), 1);
}

}  // namespace
}  // namespace kelvane::cli
