#include <gtest/gtest.h>

#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>

#include "cli/run.h"
#include "midi/midi_library.h"
#include "support/recording_backend.h"

namespace kelvane::cli {
namespace {

// Waits that pass the stand-in's time, as the port layer's own waits do; at the pauses named
// (counted from 1) a stop signal comes instead, or the device leaves.
struct PortTime final : Pauses {
    std::map<int, int> stops;
    int goneAt = 0;
    testing::RecordingBackend* port = nullptr;
    int pauses = 0;
    std::int64_t lastSignalMs = 0;

    int Pause(std::int64_t ms, int) override {
        if (++pauses == goneAt) {
            port->gone = {0};
        }
        if (const auto signal = stops.find(pauses); signal != stops.end()) {
            lastSignalMs = midi::MidiLibrary::NowMs();
            return signal->second;
        }
        midi::MidiLibrary::SleepMs(ms);
        return 0;
    }
};

// Everything the command line did: its status, the calls that reached the port, what it wrote to
// standard error and, if anything, to standard output.
std::string Outcome(const QStringList& arguments, const testing::ScopedRecordingBackend& port) {
    QList<QByteArray> given{"kelvane"};
    for (const QString& argument : arguments) {
        given << argument.toLatin1();  // not always UTF-8
    }
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    PortTime pauses;
    QString said = QString::number(Run(given, outStream, errStream, pauses)) + u'\n';
    for (const std::string& call : port->calls) {
        said += QString::fromStdString(call) + "; ";
    }
    return (said + err + (out.isEmpty() ? "" : "out:\n" + out)).toStdString();
}

QString Refusals(const QStringList& all) { return "2\nkelvane: " + all.join("\nkelvane: ") + '\n'; }
constexpr char kUsage[] = "Usage: kelvane [options]\nTry 'kelvane --help' for more.\n";
QString Refused(const QString& why) { return Refusals({why}) + kUsage; }
QString Ones(int count) { return QString(" 01").repeated(count); }
// The last wait, for the port to take the last bytes: it asks for the device every 250 ms.
QString LastWait(int ms) {
    return QStringLiteral("Sleep 250; ").repeated(ms / 250) +
           QStringLiteral("Sleep %1; ").arg(ms % 250);
}

// What a script gets, with the recording stand-in in PortMidi's place: every message at the port
// in order, or nothing, and every bad argument named. The VM tries real ports.
TEST(CommandLine, SendsEveryMessageInOrderOrNothingAndNamesWhatIsWrong) {
    QTemporaryDir dir;
    const auto file = [&dir](const char* name, const QByteArray& bytes) {
        std::ofstream(dir.path().toStdString() + '/' + name) << bytes.toStdString();
        return dir.path() + '/' + QString::fromLatin1(name);
    };
    const QString dump = file("dump.syx", QByteArray("\xF0\x41\x10\xF7\xF0\xF7"));
    const QString empty = file("caf\xE9.syx", {});  // a name that is not UTF-8
    const QString slow = file("long.syx", "\xF0" + QByteArray(5000, 0x01) + "\xF7");
    const QString fit = file("fit.syx", "\xF0" + QByteArray(3963, 0x01) + "\xF7");
    const struct {
        const char* behaviour;
        QString arguments;
        int failing;  // 1: opening the port, 2: writing to it
        QString said;
    } cases[] = {
        {"in the order given, ending once all has left",
         "--to 1 --cc 7 1 100 --hex \"f0 7e 7f 06 01 f7\" --dec \"240 9 247\"", 0,
         "0\nInitialize; OpenOutput 1 10000 0; WriteShort 1 0 B0 07 64; WriteSysEx 1 0 F0 7E 7F 06 "
         "01 F7; WriteSysEx 1 0 F0 09 F7; Sleep 5; Close 1; "},
        {"values truncated as the window reads them; a rate past 64 bits is the fastest",
         "--to=2 --syx " + dump + " --cc 127.9 16.9 127.9 --rate 99999999999999999999", 0,
         "0\nInitialize; OpenOutput 2 10000 0; WriteSysEx 2 0 F0 41 10 F7; WriteSysEx 2 0 F0 F7; "
         "WriteShort 2 0 BF 7F 7F; Sleep 1; Close 2; "},
        {"a whole name wins; a long message needs time stamps; a Control Change waits its turn",
         "--to SYNTH --syx " + slow + " --cc 7 1 1", 0,
         "0\nInitialize; OpenOutput 1 10000 1; WritePart 1 0 F0" + Ones(1023) + "; WritePart 1 0" +
             Ones(1024) + "; WritePart 1 0" + Ones(1024) + "; WritePart 1 45" + Ones(1024) +
             "; WritePart 1 357" + Ones(905) + " F7; Sleep 457; WriteShort 1 0 B0 07 01; " +
             LastWait(1269) + "Close 1; "},
        {"a Control Change just fits beside the first message; the next one waits for room",
         "--to 1 --syx " + fit + " --cc 7 1 1 --syx " + dump, 0,
         "0\nInitialize; OpenOutput 1 10000 0; WriteSysEx 1 0 F0" + Ones(3963) +
             " F7; WriteShort 1 0 B0 07 01; Sleep 2; WriteSysEx 1 0 F0 41 10 F7; Sleep 1; "
             "WriteSysEx 1 0 F0 F7; " +
             LastWait(1368) + "Close 1; "},
        {"a part of several names", "--to syn --cc 7 1 1", 0,
         "2\nInitialize; kelvane: --to syn names more than one output:\n#1: to Synth\n#2: to Synth "
         "B\n"},
        {"a device that is not there", "--to 9 --cc 7 1 1", 0,
         "1\nInitialize; kelvane: --to 9: there is no MIDI device #9\n"},
        // A number may be written as the list shows it; digits and more are a name.
        {"a number as the list shows it", "--to #2 --cc 7 1 1", 0,
         "0\nInitialize; OpenOutput 2 10000 0; WriteShort 2 0 B0 07 01; Sleep 2; Close 2; "},
        {"a listed number that is not there", "--to #9 --cc 7 1 1", 0,
         "1\nInitialize; kelvane: --to #9: there is no MIDI device #9\n"},
        {"digits and more are a name", "--to 2b --cc 7 1 1", 0,
         "1\nInitialize; kelvane: --to 2b: no MIDI output is named so\n"},
        {"an output that does not open", "--to 1 --cc 7 1 1", 1,
         "1\nInitialize; OpenOutput 1 10000 0; kelvane: Could not send to #1: to Synth.\n"
         "PortMidi error -9999\n"},
        {"a write that fails names its message", "--to 1 --cc 7 1 1 --cc 7 1 2", 2,
         "1\nInitialize; OpenOutput 1 10000 0; WriteShort 1 0 B0 07 01; Close 1; kelvane: --cc 7 1 "
         "1: Could not send to #1: to Synth.\nPortMidi error -10000\n"},
        {"the devices listed", "--list", 0,
         "0\nInitialize; out:\n#0: (Keys)\n#1: to Synth\n#2: to Synth B\n"},
        {"every wrong message named",
         "--syx " + dump + " --cc=7 --cc 7 1 --cc 7 17 100 --dec 12 --hex -x --cc 1 1 128 --syx " +
             dir.path() + " --syx " + empty + " --list",
         0,
         Refusals({"--cc 7: needs three values, NUMBER CHANNEL VALUE",
                   "--cc 7 1: needs three values, NUMBER CHANNEL VALUE",
                   "--cc 7 17 100: CC channel are 1 to 16 only.",
                   "--dec 12: Not enough SysEx data in the text field.",
                   "--hex -x: Not enough SysEx data in the text field.",
                   "--cc 1 1 128: CC value are 0 to 127 only.",
                   "--syx " + dir.path() + ": the file cannot be read: Is a directory",
                   "--syx " + dir.path() + "/caf\uFFFD.syx: the file is empty"})},
        {"an unknown option", "--bogus", 0, Refused("Unknown option 'bogus'.")},
        {"a value after a letter", "-h=3", 0, Refused("Unexpected value after '-h'.")},
        {"unknown letters", "-x=3", 0, Refused("Unknown options: x, =, 3.")},
        {"a stray argument", "7", 0, Refused("unexpected argument '7'")},
        {"no message", "--to 1", 0, Refused("no message to send")},
        {"an option without its value", "--to --cc 7 1 100", 0,
         Refused("--to has no value (DEVICE)")},
        {"a negative number is a value", "--rate -1", 0,
         Refused("--rate -1: needs whole bytes per second, 0 for no pacing")},
        {"--list with a message", "--list --cc 7 1 1", 0,
         Refused("--list sends nothing; give it alone")},
        {"--wait without --receive", "--wait 1 --cc 7 1 1", 0,
         Refused("--wait goes with --receive")},
        {"a wait too short", "--receive - --wait 0.09", 0,
         Refused("--wait 0.09: needs seconds from 0.1 up")},
        {"no whole count", "--receive - --count 0", 0,
         Refused("--count 0: needs a whole number of messages from 1")},
        {"an empty file name", "--receive= --cc 7 1 1", 0,
         Refused("--receive needs a file name, or - for standard output")},
        {"--receive twice", "--receive a --receive -", 0,
         Refused("--receive is given more than once")},
        {"channel 0", "--cc 7 0 1", 0, Refusals({"--cc 7 0 1: CC channel are 1 to 16 only."})},
        {"--help-all is an unknown option", "--help-all", 0, Refused("Unknown option 'help-all'.")},
    };
    for (const auto& [behaviour, arguments, failing, said] : cases) {
        const testing::ScopedRecordingBackend port(
            {testing::Input("Keys"), testing::Output("Synth"), testing::Output("Synth B")});
        port->failingOpens = {failing == 1 ? 1 : -1};
        port->failingWrites = failing == 2 ? 1 : 0;
        const std::string outcome = Outcome(QProcess::splitCommand(arguments), port);
        EXPECT_EQ(outcome, said.toStdString()) << behaviour << ": " << arguments.toStdString();
    }
    std::remove(empty.toLatin1().constData());   // a name QTemporaryDir cannot remove
    const testing::ScopedRecordingBackend none;  // no device, and no MIDI service to blame
    // A shell can pass an empty number, which the window never sends.
    const std::pair<QStringList, QString> empty_values[] = {
        {{"--cc", "", "1", "1"}, "--cc  1 1: CC number are 0 to 127 only."},
        {{"--cc", "7", "", "1"}, "--cc 7  1: CC channel are 1 to 16 only."},
    };
    for (const auto& [arguments, said] : empty_values) {
        EXPECT_EQ(Outcome(arguments, none), Refusals({said}).toStdString()) << said.toStdString();
    }
    EXPECT_TRUE(Outcome({"--help"}, none).starts_with("0\nout:\nUsage: kelvane [options]\nSends"));
    none->serviceProblem = "none";
    EXPECT_EQ(Outcome({"--list"}, none), "1\nInitialize; kelvane: No MIDI service: none.\n");
    // Where the port layer cannot tell whether the device leaves, it says so once, and sends.
    const testing::ScopedRecordingBackend unchecked({testing::Output("Synth")});
    unchecked->unchecked = true;
    EXPECT_EQ(
        Outcome({"--cc", "7", "1", "1", "--cc", "7", "1", "2"}, unchecked),
        "0\nInitialize; OpenOutput 0 10000 0; WriteShort 0 0 B0 07 01; WriteShort 0 0 B0 07 02; "
        "Sleep 3; Close 0; kelvane: Kelvane cannot tell whether the device leaves: the MIDI "
        "service's ports did not match PortMidi's list.\n");
}

// A stop signal stops after the message going out, once the port has taken it, and says how much
// had been sent; a second stops at once. A device that leaves before the port has taken the last
// bytes fails the command, counting what it had taken.
TEST(CommandLine, StopsOnASignalAfterTheMessageGoingOutOrAtOnceOnASecond) {
    QTemporaryDir dir;
    const auto file = [&dir](const char* name, const QByteArray& message, int count) {
        std::ofstream(dir.path().toStdString() + '/' + name)
            << message.repeated(count).toStdString();
        return dir.path() + '/' + QString::fromLatin1(name);
    };
    const QString twelve = file("twelve.syx", "\xF0" + QByteArray(12286, 0x01) + "\xF7", 2);
    const QString dump = file("dump.syx", "\xF0" + QByteArray(254, 0x02) + "\xF7", 64);
    const QString five = file("five.syx", "\xF0" + QByteArray(4998, 0x03) + "\xF7", 1);
    const QString stopping =
        "kelvane: Stopping after the message going out; Ctrl+C again stops at once.\n";
    const struct {
        const char* behaviour;
        QString arguments;
        std::map<int, int> stops;  // at which pause
        int goneAt;
        std::string reached;  // by the port, and how long after the last signal the command ended
        QString said;
    } cases[] = {
        {"the message going out is finished",
         "--syx " + twelve,
         {{1, SIGINT}},
         0,
         "130: 12288 bytes, whole, then 4238 ms",
         stopping +
             "kelvane: Interrupted: 12288 of 24576 bytes (1 of 2 messages) had been sent.\n"},
        {"a second signal stops at once",
         "--syx " + twelve,
         {{1, SIGINT}, {2, SIGINT}},
         0,
         "130: 12288 bytes, whole, then 0 ms",
         stopping +
             "kelvane: Interrupted at once; the device may hold part of a message. 0 of 24576 "
             "bytes (0 of 2 messages) had been sent.\n"},
        {"SIGTERM among many messages",
         "--syx " + dump,
         {{3, SIGTERM}},
         0,
         "143: 4352 bytes, whole, then 1368 ms",
         stopping +
             "kelvane: Interrupted: 4352 of 16384 bytes (17 of 64 messages) had been sent.\n"},
        {"nothing of the next argument after a signal",
         "--syx " + twelve + " --syx " + five,
         {{1, SIGINT}},
         0,
         "130: 12288 bytes, whole, then 4238 ms",
         stopping +
             "kelvane: Interrupted: 12288 of 29576 bytes (1 of 3 messages) had been sent.\n"},
        {"SIGHUP before anything has gone",
         "--cc 7 1 1 --cc 7 1 2",
         {{1, SIGHUP}},
         0,
         "129: 0 bytes, whole, then 0 ms",
         stopping + "kelvane: Interrupted: 0 of 6 bytes (0 of 2 messages) had been sent.\n"},
        {"a device that leaves fails, counting what it had taken",
         "--syx " + five,
         {},
         3,
         "1: 5000 bytes, whole, then 0 ms",
         "kelvane: Could not send to #0: to Synth.\nThe device is gone; kelvane --list shows the "
         "devices there are now.\n2175 of 5000 bytes (0 of 1 messages) had been sent.\n"},
    };
    for (const auto& [behaviour, arguments, stops, goneAt, reached, said] : cases) {
        const testing::ScopedRecordingBackend port({testing::Output("Synth")});
        PortTime pauses;
        pauses.stops = stops;
        pauses.goneAt = goneAt;
        pauses.port = &*port.operator->();
        QList<QByteArray> given{"kelvane", "--to", "0"};
        for (const QString& argument : QProcess::splitCommand(arguments)) {
            given << argument.toLatin1();
        }
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int status = cli::Run(given, outStream, errStream, pauses);
        std::string bytes;
        for (const std::string& write : port->Writes()) {
            bytes += write.substr(write.find(' ', write.find(' ', write.find(' ') + 1) + 1));
        }
        const bool whole = bytes.empty() || bytes.ends_with("F7");
        EXPECT_EQ(
            std::to_string(status) + ": " + std::to_string(bytes.size() / 3) + " bytes, " +
                (whole ? "whole" : "cut") + ", then " +
                std::to_string(port->nowMs - (stops.empty() ? port->nowMs : pauses.lastSignalMs)) +
                " ms",
            reached)
            << behaviour;
        EXPECT_EQ(err.toStdString(), said.toStdString()) << behaviour;
        EXPECT_EQ(port->calls.back(), "Close 0");
    }
}

// A stop signal ends a wait at once, whatever the process was doing when it came, and is told
// once; a descriptor with something to read ends it too.
TEST(CommandLine, StopSignalsEndAWaitAndNothingElseDoes) {
    StopSignals stops;
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    QElapsedTimer took;
    took.start();
    errno = EINTR;  // left from before: the wait still ends
    EXPECT_EQ(stops.Pause(5), 0);
    std::raise(SIGTERM);  // blocked: heard by the next wait
    EXPECT_EQ(stops.Pause(10'000), SIGTERM);
    EXPECT_EQ(write(pipeEnds[1], "x", 1), 1);
    EXPECT_EQ(stops.Pause(10'000, pipeEnds[0]), 0);
    EXPECT_TRUE(took.elapsed() >= 5 && took.elapsed() < 1000) << took.elapsed();
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

}  // namespace
}  // namespace kelvane::cli
