#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

#include "cli/run.h"
#include "messages/syx_save.h"
#include "midi/midi_library.h"
#include "support/recording_backend.h"

namespace kelvane {
namespace {

// Waits that pass the stand-in's time: a wait on the input lasts until something arrives, and
// a stop signal can come at a given moment.
struct InputTime final : cli::Pauses {
    InputTime(testing::RecordingBackend* p, std::int64_t at) : port(p), signalAtMs(at) {}
    int Pause(std::int64_t ms, int fd) override {
        const std::int64_t until =
            port->nowMs + (fd >= 0 ? std::min(ms, port->MsUntilInput()) : ms);
        const bool stopped = signalAtMs > 0 && until >= signalAtMs;
        midi::MidiLibrary::SleepMs((stopped ? std::exchange(signalAtMs, 0) : until) - port->nowMs);
        return stopped ? SIGINT : 0;
    }
    testing::RecordingBackend* port;
    std::int64_t signalAtMs;  // 0: none
};

// A device that answers, played by the stand-in: what the command line keeps, says and ends
// with, and when it ends. #3 is the input of the port whose output is #2; #1 has no input.
TEST(Receive, KeepsWhatArrivesUntilTheWaitOrCountAndSaysWhatCame) {
    QTemporaryDir dir;
    const QString file = dir.filePath("got.syx");
    using Arrivals = std::vector<testing::RecordingBackend::Arrival>;  // in ms from the start
    // said: status, calls, time taken, standard error and output, with $D for the folder;
    // kept: in the file, in hex, empty if not written; signalAtMs 0: none.
    const auto check = [&](QString arguments, const Arrivals& arrivals, const QString& said,
                           const char* kept = "", std::int64_t signalAtMs = 0) {
        arguments.replace("$D", dir.path());
        SCOPED_TRACE(arguments.toStdString());
        const testing::ScopedRecordingBackend port({testing::Input("Keys"), testing::Output("Box"),
                                                    testing::Output("Synth"),
                                                    testing::Input("Synth")});
        port->nowMs = 0;  // the start
        port->arrivals = arrivals;
        InputTime pauses(port.operator->(), signalAtMs);
        QList<QByteArray> given{"kelvane"};
        for (const QString& argument : QProcess::splitCommand(arguments)) {
            given << argument.toUtf8();
        }
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QString outcome = QString::number(cli::Run(given, outStream, errStream, pauses)) + u'\n';
        for (const std::string& call : port->calls) {
            outcome += QString::fromStdString(call) + "; ";
        }
        if (port->calls.size() > 1) {
            outcome += QStringLiteral("\n%1 ms\n").arg(port->nowMs);
        }
        outcome += err + (out.isEmpty() ? "" : "out:\n" + out);
        EXPECT_EQ(outcome.toStdString(), QString(said).replace("$D", dir.path()).toStdString());
        QFile written(file);
        EXPECT_EQ(written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray(),
                  QByteArray::fromHex(kept));
        written.remove();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList()) << "a file left behind";
        EXPECT_TRUE(port->misuse.empty());
    };
    const std::vector<std::uint8_t> reply{0xF0, 0x7E, 0x00, 0x06, 0x02, 0x41, 0xF7};
    const std::vector<std::uint8_t> bank{0xF0, 0x43, 0x00, 0x09, 0xF7};
    check("--to synth --hex \"F0 7E 7F 06 01 F7\" --receive - --count 1", {{10, reply}},
          "0\nInitialize; OpenInput 3 2000; OpenOutput 2 10000 0; WriteSysEx 2 0 F0 7E 7F 06 01 "
          "F7; Sleep 3; Sleep 7; Close 3; Close 2; \n10 ms\nkelvane: Received 1 message (7 bytes) "
          "from #3: (Synth).\nout:\nF0 7E 00 06 02 41 F7\n");
    // The wait starts again at each byte of SysEx, not at a clock byte, which is dropped even
    // inside a message.
    check("--to 2 --cc 0 1 0 --receive $D/got.syx --wait 0.5",
          {{400, bank}, {800, {0xF0, 0x7E, 0xF8, 0x00, 0xF7}}, {1200, {0xF8}}, {1400, bank}},
          "0\nInitialize; OpenInput 3 2000; OpenOutput 2 10000 0; WriteShort 2 0 B0 00 00; Sleep "
          "2; Sleep 398; Sleep 400; Sleep 400; Sleep 100; Close 3; Close 2; \n1300 ms\nkelvane: "
          "Received 2 messages (9 bytes) from #3: (Synth) into $D/got.syx.\n",
          "F0 43 00 09 F7 F0 7E 00 F7");
    check("--from keys --receive $D/got.syx --count 3", {{100, bank}, {200, bank}},
          "1\nInitialize; OpenInput 0 2000; Sleep 100; Sleep 100; Sleep 2000; Close 0; \n2200 "
          "ms\nkelvane: Received only 2 of 3 messages (10 bytes) from #0: (Keys) into "
          "$D/got.syx; no more came within 2 s.\n",
          "F0 43 00 09 F7 F0 43 00 09 F7");
    check("--receive $D/got.syx", {},
          "1\nInitialize; OpenInput 3 2000; Sleep 2000; Close 3; \n2000 ms\nkelvane: Nothing "
          "arrived from #3: (Synth) within 2 s.\n");
    check("--receive $D/got.syx",
          {{5, {0xF0, 0x01, 0xB0, 0x07, 0x7F, 0xF7, 0xF0, 0x01, 0xF0, 0x02}}, {6, {0xF0, 0x03}}},
          "1\nInitialize; OpenInput 3 2000; Sleep 5; Sleep 1; Sleep 2000; Close 3; \n2006 "
          "ms\nkelvane: No whole message arrived from #3: (Synth) within 2 s. 4 messages were cut "
          "short and left out.\n");
    check("--receive $D/got.syx", {{5, {0xF0, 0x01, 0xB0, 0x07, 0x7F, 0xF7}}},
          "1\nInitialize; OpenInput 3 2000; Sleep 5; Sleep 2000; Close 3; \n2005 ms\nkelvane: No "
          "whole message arrived from #3: (Synth) within 2 s. 1 message was cut short and left "
          "out.\n");
    check("--receive $D/got.syx", {{5, bank}, {6, {}}, {7, bank}},
          "1\nInitialize; OpenInput 3 2000; Sleep 5; Sleep 1; Close 3; \n6 ms\nkelvane: Input "
          "from #3: (Synth) was lost after 1 whole message (5 bytes): the MIDI service dropped "
          "what came faster than it was read. Nothing was written.\n");
    check("--receive $D/got.syx", {{100, bank}, {200, {0xF0, 0x01}}},
          "130\nInitialize; OpenInput 3 2000; Sleep 100; Sleep 100; Sleep 100; Close 3; \n300 "
          "ms\nkelvane: Interrupted: received 1 message (5 bytes) from #3: (Synth) into "
          "$D/got.syx. 1 message was cut short and left out.\n",
          "F0 43 00 09 F7", 300);
    check("--to box --cc 7 1 1 --receive $D/got.syx", {},
          "2\nInitialize; kelvane: #1: to Box has no input; --from names one of these:\n#0: "
          "(Keys)\n#3: (Synth)\n");
    check("--to synth --cc 7 1 1 --from box --receive $D/got.syx", {},
          "2\nInitialize; kelvane: --from box is not an input:\n#1: to Box\n");
    check("--cc 7 1 1 --receive $D/none/got.syx", {},
          "2\nInitialize; kelvane: --receive $D/none/got.syx: cannot be written: No such file or "
          "directory\n");
}

// Under the name's bytes, which need not be UTF-8, with a new file's usual mode. That nothing is
// written without Commit the receive test shows.
TEST(SyxSave, WritesWholeUnderTheNamesBytesOrNotAtAll) {
    QTemporaryDir dir;
    const QByteArray name = QFile::encodeName(dir.path()) + "/caf\xE9.syx";
    const QByteArray messages[] = {"\xF0\x01\xF7", "\xF0\xF7"};
    EXPECT_TRUE(SyxSave(name).Commit(messages));
    std::ifstream written(name.constData(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "\xF0\x01\xF7\xF0\xF7");
    struct stat file {};
    const mode_t mask = umask(022);
    umask(mask);
    EXPECT_TRUE(stat(name.constData(), &file) == 0 && (file.st_mode & 0777) == (0666 & ~mask));
    EXPECT_EQ(SyxSave(name + "/no").Problem(), "Not a directory");
    std::remove(name.constData());  // a name QTemporaryDir cannot remove
}

}  // namespace
}  // namespace kelvane
