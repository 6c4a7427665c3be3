// The port layer, the command line and the window against a real ALSA sequencer in the test VM
// (run-in-vm): Midi Through is client 14; VirMIDI 0-0 to 0-3 pass bytes on to /dev/snd/midiC0D0-3.
#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>
#include <csignal>
#include <optional>

#include "cli/output_choice.h"
#include "midi/alsa_ports.h"
#include "midi/device_rows.h"
#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "midi/sysex_feed.h"
#include "system_test.h"
#include "ui/msg_box.h"
#include "ui/window1.h"

namespace kelvane::system {
namespace {

using midi::MidiLibrary;
using midi::MidiStream;
using Bytes = std::vector<std::uint8_t>;

const char* self = "";  // this program, which main() also lets write once and quit

// Reads VirMIDI 0-<device>'s raw device, which passes nothing on until it is open: cat as fast
// as it can, pv at so many bytes per second (3000: MIDI cable speed).
struct RawReader : Beside {
    explicit RawReader(int device, int bytesPerSecond = 0)
        : Beside(bytesPerSecond > 0 ? QStringList{"pv", "-q", "-L", QString::number(bytesPerSecond),
                                                  "-B", "64", Device(device)}
                                    : QStringList{"cat", Device(device)}) {
        EXPECT_TRUE(Shows(QString("/proc/asound/card0/midi%1").arg(device), "Owner PID"));
    }
    std::string Bytes(qsizetype count, int ms = 10000) { return Hex(Output(count, ms)); }
    static QString Device(int device) { return QString("/dev/snd/midiC0D%1").arg(device); }
};

std::string Matches(const QString& pattern, const std::string& text) {
    QStringList found;
    for (const auto& match :
         QRegularExpression(pattern).globalMatch(QString::fromStdString(text))) {
        found += match.captured(1);
    }
    return found.join(' ').toStdString();
}

std::string ClientsNamed(const char* name) {
    return Matches(QString("(?m)^Client +(\\d+) : \"%1\"").arg(name),
                   Read("/proc/asound/seq/clients"));
}

// The output so named, after a rescan; -1 for none.
std::int64_t OutputNamed(const char* name) {
    MidiLibrary::ReInitialize();
    return cli::ChooseOutput(midi::Devices(), QString::fromUtf8(name)).deviceId;
}

// aseqdump, once the sequencer lists its port.
std::unique_ptr<Beside> Aseqdump() {
    auto dump = std::make_unique<Beside>(QStringList{"aseqdump"});
    EXPECT_TRUE(Shows("/proc/asound/seq/clients", "Port   0 : \"aseqdump\""));
    return dump;
}

// A refused block blocks nothing; reopening, rescanning and a new latency drop nothing written.
TEST(RealMidi, ByteExactThroughReopeningAndRescanning) {
    RawReader zero(0), first(1), second(2);
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(OutputNamed("VirMIDI 0-0"), 10000, 1), 0);
    EXPECT_EQ(stream.Write({0xB0, 0x07, 0x7F}), 0);
    EXPECT_EQ(stream.WriteSysEx(0, Bytes{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7, 0xF0, 0xF7}, 0), 0);
    EXPECT_EQ(stream.WriteSysEx(0, Bytes{0xF0, 0x41, 0x90, 0x42, 0xF7}, 0), midi::kBadData);
    EXPECT_EQ(stream.Write({0xBF, 0x00, 0x00}), 0);
    ASSERT_EQ(stream.OpenOutput(OutputNamed("VirMIDI 0-1"), 10000, 100), 0);
    stream.Write({0xB0, 1, 1});
    stream.OpenOutput(OutputNamed("VirMIDI 0-1"), 10000, 1);  // a rescan, and a new latency
    stream.Write({0xB1, 1, 2});  // another status: the raw device would use running status
    stream.OpenOutput(OutputNamed("VirMIDI 0-2"), 10000, 100);
    stream.Write({0xB0, 2, 1});
    MidiLibrary::ReInitialize();  // right after a write
    EXPECT_EQ(zero.Bytes(15, 1000), "B0 07 7F F0 7E 7F 06 01 F7 F0 F7 BF 00 00");
    EXPECT_EQ(first.Bytes(6), "B0 01 01 B1 01 02");
    EXPECT_EQ(second.Bytes(3), "B0 02 01");
}

TEST(RealMidi, QuittingRightAfterAWriteDropsNothing) {
    RawReader reader(3);
    const Beside quitting({self, "write", "VirMIDI 0-3"});
    EXPECT_EQ(reader.Bytes(3), "B0 15 2A");
}

TEST(RealMidi, TheFeedsSizesAreTheSequencersDefaults) {
    midi::AlsaPorts ports;
    ports.Listen();
    EXPECT_EQ(ports.ClientDefaults().outputBufferBytes, midi::kOutputBufferBytes);
    EXPECT_EQ(ports.ClientDefaults().outputPoolCells, midi::kOutputPoolCells);
}

// The command line, as a script runs it: its status, what it says, and what reaches the port.
TEST(RealMidi, CommandLineSendsExactlyWhatItSaysOrNothing) {
    RawReader reader(2);
    const std::string number = std::to_string(OutputNamed("VirMIDI 0-2"));
    const std::string input = std::to_string(MidiLibrary::CountDevices() - 1);  // 0-3's input row
    std::string rows;
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        rows += midi::DeviceRowText(id, *MidiLibrary::DeviceInfo(id)).toStdString() + "\n";
    }
    Syx("\xF0\x41\x10\xF7\xF0\xF7");
    const struct {
        std::string arguments, bytes;  // what reaches the port
        int status;
        std::string said;  // all of standard output, or part of standard error when refused
    } cases[] = {
        {"--to \"virmidi 0-2\" --cc 7 1 100", "B0 07 64", 0, ""},
        {"--to " + number + " --hex \"f0 7e 7f 06 01 f7\" --dec \"240 1 247\" --cc 0 16 127",
         "F0 7E 7F 06 01 F7 F0 01 F7 BF 00 7F", 0, ""},
        {"--to #" + number + " --syx /tmp/k.syx --rate 0", "F0 41 10 F7 F0 F7", 0, ""},
        {"--syx - --to 0-2", "F0 41 10 F7 F0 F7", 0, ""},
        {"--to virmidi --cc 7 1 1", "", 2, "more than one output:\n#"},
        {"--to " + input + " --cc 7 1 1", "", 2, "is not an output"},
        {"--to \"no such synth\" --cc 7 1 1", "", 1, "no MIDI output"},
        {"--list", "", 0, rows},
    };
    std::string sent;
    for (const auto& [arguments, bytes, status, said] : cases) {
        sent += sent.empty() || bytes.empty() ? bytes : " " + bytes;
        const Ran ran(QProcess::splitCommand(QString::fromStdString(arguments)), "/tmp/k.syx");
        EXPECT_EQ(ran.status, status) << arguments << ": " << ran.err;
        EXPECT_TRUE(status == 0 ? ran.out == said : ran.err.find(said) != std::string::npos)
            << ran.out + ran.err;
        EXPECT_EQ(reader.Bytes((sent.size() + 1) / 3, 2000), sent) << arguments;
    }
    EXPECT_EQ(reader.Bytes((sent.size() + 4) / 3, 1000), sent);
}

// Two commands to a port slower than the cable lose nothing: each ends once the port has taken
// what it sent.
TEST(RealMidi, CommandsToAPortSlowerThanTheCableLoseNothing) {
    RawReader slower(3, 1000);
    const QStringList sending = {KELVANE_PROGRAM, "--to", "VirMIDI 0-3", "--rate", "950", "--syx"};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Beside(sending + QStringList{Syx(Messages(16))}).Ended(20000), 0);
    }
    EXPECT_TRUE(slower.Output(2 * 4096, 5000) == Messages(16) + Messages(16));
}

// A stop signal ends a command after the message going out, which arrives whole, and says how
// much had been sent; a second ends it at once.
TEST(RealMidi, AnInterruptedCommandDeliversWholeMessagesOnly) {
    const std::string two = Messages(2, 12 * 1024);
    const struct {
        std::string syx;
        std::vector<int> stops;  // sent 2 s after the first byte, then 500 ms apart
        int status;
        const char* said;
    } cases[] = {
        {two, {SIGINT}, 130, "Interrupted: 12288 of 24576 bytes (1 of 2 messages)"},
        {Messages(64), {SIGTERM}, 143, " of 64 messages) had been sent.\n"},
        {two, {SIGINT, SIGINT}, 130, "the device may hold part of a message."},
    };
    for (const auto& [syx, stops, status, said] : cases) {
        RawReader slow(1, 3000);
        Beside kelvane({KELVANE_PROGRAM, "--to", "VirMIDI 0-1", "--syx", Syx(syx)});
        ASSERT_FALSE(slow.Output(1, 20000).empty());  // sending: it hears its signals
        QElapsedTimer ended;
        for (const int stop : stops) {
            QTest::qWait(&stop == &stops.front() ? 2000 : 500);
            ended.start();
            ::kill(static_cast<pid_t>(kelvane.processId()), stop);
        }
        // Told once stopped; ending the process itself, under the sanitizers, takes longer.
        QByteArray err;
        (void)QTest::qWaitFor(
            [&] { return (err += kelvane.readAllStandardError()).contains("Interrupted"); }, 20000);
        const qint64 endedMs = ended.elapsed();
        EXPECT_EQ(kelvane.Ended(20000), status);
        err += kelvane.readAllStandardError();
        EXPECT_TRUE(err.startsWith("kelvane: Stopping after the message going out; Ctrl+C again "
                                   "stops at once.\n") &&
                    err.contains(said))
            << err.toStdString();
        const std::string got = slow.Output(qsizetype(syx.size()), 1000);
        EXPECT_TRUE(stops.size() > 1 ? endedMs < (kSanitized ? 300 : 100)
                                     : got.size() % 256 == 0 && got == syx.substr(0, got.size()) &&
                                           (syx != two || got.size() == 12 * 1024))
            << endedMs << " ms, " << got.size() << " bytes";
    }
}

class WindowSays : public ::testing::Test {
protected:
    WindowSays() {
        SetMsgBoxHook([this](const QString& text) { messages.append(text); });
    }
    ~WindowSays() override { SetMsgBoxHook({}); }
    static int Row(Window1& window, const char* text) {
        return window.PopupMenu1().findText(QString::fromUtf8(text), Qt::MatchContains);
    }
    static void Choose(Window1& window, const char* text) {
        window.PopupMenu1().setCurrentIndex(Row(window, text));
        emit window.PopupMenu1().activated(window.PopupMenu1().currentIndex());
    }
    static void SendHex(Window1& window, const std::string& messages) {
        window.SysExFieldHex().setText(QString::fromStdString(Hex(messages)));
        window.SendSysExHex().click();
        EXPECT_TRUE(QTest::qWaitFor([&window] { return !window.ProgressDialog(); }, 60000));
    }
    static QString Gone(Window1& window) {
        return "Could not send to " + window.PopupMenu1().currentText() +
               ".\nThe device is gone; Search MIDI lists the devices anew.";
    }
    QStringList messages;
};

// The newest output is chosen at start; every send path arrives byte-exact, also after many quick
// choices with a CC between them.
TEST_F(WindowSays, SendPathsArriveByteExact) {
    RawReader newest(3), quick(2), reader(1);  // 0-3, two-way: an output row, an input row, last
    MidiLibrary::ReInitialize();
    Window1 window;
    EXPECT_TRUE(window.PopupMenu1().currentText().endsWith(QStringLiteral("to VirMIDI 0-3")));
    for (int i = 0; i < 21; ++i) {  // 11 CCs to 0-3, 10 to 0-2
        window.SendCC().click();
        Choose(window, i % 2 == 0 ? "to VirMIDI 0-2" : "to VirMIDI 0-3");
    }
    const std::string ten = "B0 07 7F" + QString(" 07 7F").repeated(9).toStdString();
    EXPECT_EQ(newest.Bytes(23), ten + " 07 7F");  // running status after the first
    EXPECT_EQ(quick.Bytes(21), ten);

    Choose(window, "to VirMIDI 0-1");
    window.ComboBox1().setEditText(QStringLiteral("2"));
    window.Slider1().setValue(64);
    window.SendCC().click();
    window.SysExField().setText(QStringLiteral("240 126 127 6 1 247"));
    window.SendSysEx().click();
    SendHex(window, "\xF0\x41\x10\xF7");
    EXPECT_EQ(reader.Bytes(13), "B1 07 40 F0 7E 7F 06 01 F7 F0 41 10 F7");
    EXPECT_TRUE(messages.isEmpty());
}

// A chosen device that left is told at each send, whether a send had opened it while it was
// there or another client took its number since, which gets nothing though it carries the same
// name. A rescan sees it come and go, and the next send elsewhere works.
TEST_F(WindowSays, AChosenDeviceThatLeftIsTold) {
    for (const bool replaced : {false, true}) {
        RawReader elsewhere(1);
        messages.clear();
        MidiLibrary::ReInitialize();
        Window1 window;
        auto first = Aseqdump();
        window.PushButtonSearch().click();  // it waits for what was sent to leave
        ASSERT_TRUE(QTest::qWaitFor([&window] { return Row(window, "to aseqdump") >= 0; }));
        Choose(window, "to aseqdump");
        if (!replaced) {
            SendHex(window, "\xF0\x01\xF7");  // opens it at the latency of a send
        }
        const std::string number = ClientsNamed("aseqdump");
        first.reset();
        ASSERT_TRUE(QTest::qWaitFor([] { return ClientsNamed("aseqdump").empty(); }));
        const auto second = replaced ? Aseqdump() : nullptr;
        ASSERT_EQ(ClientsNamed("aseqdump"), replaced ? number : "");
        window.SendCC().click();
        SendHex(window, "\xF0\x01\xF7");
        EXPECT_EQ(messages, QStringList({Gone(window), Gone(window)}));
        const QString heard = second ? QString::fromStdString(second->Output(0, 1000)) : "";
        EXPECT_FALSE(heard.contains(QRegularExpression("Control change|System exclusive")));
        Choose(window, "to VirMIDI 0-1");
        SendHex(window, "\xF0\x01\xF7");
        EXPECT_EQ(elsewhere.Bytes(3), "F0 01 F7");
        window.PushButtonSearch().click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return (Row(window, "aseqdump") >= 0) == replaced; }));
        EXPECT_EQ(messages.size(), 2);
    }
}

TEST_F(WindowSays, WhyWithoutTheSequencerDevice) {
    ASSERT_EQ(std::rename("/dev/snd/seq", "/dev/snd/seq-away"), 0);
    MidiLibrary::ReInitialize();
    auto window = std::make_unique<Window1>();
    const QString shown = window->PopupMenu1().placeholderText();
    window->PushButtonSearch().click();
    window.reset();
    ASSERT_EQ(std::rename("/dev/snd/seq-away", "/dev/snd/seq"), 0);
    MidiLibrary::ReInitialize();
    EXPECT_TRUE(shown.startsWith("No MIDI service: the ALSA sequencer cannot be opened ("));
    EXPECT_EQ(messages, QStringList{"Error: -10000\n" + shown});
}

// Long messages, each straight after the one before while the port still holds part of it,
// and short ones after a long one reach a port read at cable speed whole, from first byte to last
// within their wire time and a second; a Control Change arrives in its place. The command line
// ends once the port has taken the last byte.
TEST_F(WindowSays, LongSysExArrivesWholeAtThePaceOfTheCable) {
    const std::string cc = "\xB0\x07\x7F";  // the window's
    const std::vector<std::string> longOnes = {Messages(64), Messages(1, 4104),
                                               Messages(1, 12 * 1024), cc, Messages(1, 48 * 1024)},
                                   mixed = {Messages(1, 20 * 1024) + Messages(200, 20)};
    for (const auto& parts : {longOnes, mixed}) {
        for (const bool window : {false, true}) {
            RawReader slow(2, 3000);
            QElapsedTimer took;  // from the first byte on
            const auto first = [&took] { took.start(); };
            QObject::connect(&slow, &QProcess::readyRead, &slow, first, Qt::SingleShotConnection);
            std::string sent;
            QStringList arguments{KELVANE_PROGRAM, "--to", "VirMIDI 0-2"};
            for (const std::string& part : parts) {
                const QString file = Syx(part, QString("/tmp/part%1.syx").arg(arguments.size()));
                arguments +=
                    part == cc ? QStringList{"--cc", "7", "1", "127"} : QStringList{"--syx", file};
                sent += part;
            }
            std::optional<Window1> shown;
            if (window) {
                Choose(shown.emplace(), "to VirMIDI 0-2");
                for (const std::string& part : parts) {
                    part == cc ? shown->SendCC().click() : SendHex(*shown, part);
                }
            } else {
                EXPECT_EQ(Beside(arguments).Ended(60000), 0);
            }
            const std::string got = slow.Output(qsizetype(sent.size()), 60000);
            EXPECT_TRUE(got == sent) << got.size();
            EXPECT_LT(double(took.elapsed()), 1.1 * double(sent.size()) / 3.125 + 1000) << window;
        }
    }
    EXPECT_TRUE(messages.isEmpty());
}

// 64 KiB paced to aseqdump, which keeps ALSA's default input pool, also stand for 64 KiB whole; a
// send cancelled about half way delivers whole messages only, and the next message arrives.
TEST_F(WindowSays, SmallPoolsAndCancelledSendsGetWholeMessages) {
    RawReader cancelled(1, 3000);
    Beside pool({"aseqdump", "-p", "14:0"});
    ASSERT_TRUE(Shows("/proc/asound/seq/clients", "Connected From: 14:0"));
    Window1 window;
    window.PushButtonSearch().click();
    Choose(window, "to Midi Through");
    const std::string sent = Messages(256);
    SendHex(window, sent);
    // The two-digit hex words aseqdump printed: the bytes of the SysEx events it got.
    const auto heard = [&pool] { return Matches("(?<!\\S)([0-9A-F]{2})(?!\\S)", pool.Output()); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return heard() == Hex(sent); }, 10000))
        << heard().size() / 3 << " bytes";

    Choose(window, "to VirMIDI 0-1");
    QTimer::singleShot(2000, &window,
                       [&window] { window.ProgressDialog()->CancelButton().click(); });
    SendHex(window, Messages(64));
    window.SendCC().click();
    const std::string cut = cancelled.Output(64 * 256 + 3, 2500);
    ASSERT_GE(cut.size(), 3u);
    const std::size_t sysex = cut.size() - 3;
    EXPECT_TRUE(sysex % 256 == 0 && sysex > 4096 && sysex < 16384) << sysex;
    EXPECT_EQ(cut, sent.substr(0, sysex) + "\xB0\x07\x7F");
    EXPECT_TRUE(messages.isEmpty());
}

// A command whose device leaves while its message is still queued fails, counting what the port
// had taken; in the window, a send cut half way says so, and so does the next one.
TEST_F(WindowSays, ADeviceThatLeavesOnTheWayIsTold) {
    auto dump = Aseqdump();
    Beside kelvane({KELVANE_PROGRAM, "--to", "aseqdump", "--syx", Syx(Messages(1, 16 * 1024))});
    QTest::qWait(2000);
    dump.reset();
    EXPECT_EQ(kelvane.Ended(), 1);
    const QString said = kelvane.readAllStandardError();
    EXPECT_TRUE(said.contains("The device is gone") &&
                said.contains(QRegularExpression("\n[0-9]+ of 16384 bytes \\(0 of 1 messages\\)")))
        << said.toStdString();

    dump = Aseqdump();
    MidiLibrary::ReInitialize();
    Window1 window;
    Choose(window, "to aseqdump");
    QTimer::singleShot(3000, &window, [&dump] { dump.reset(); });
    SendHex(window, Messages(1, 48 * 1024));
    SendHex(window, "\xF0\x01\xF7");
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(Gone(window) + "\n") &&
                messages[0].endsWith(" of 49152 bytes (0 of 1 messages) had been sent."))
        << messages[0].toStdString();
    const qsizetype taken = messages[0].section(u'\n', 2).section(u' ', 0, 0).toLongLong();
    EXPECT_TRUE(taken > 7000 && taken < 11000) << taken;  // 3 s at about 2 900 bytes/s
    EXPECT_EQ(messages[1], Gone(window));
}

}  // namespace
}  // namespace kelvane::system

int main(int argc, char** argv) {
    using namespace kelvane::system;
    // "write NAME": a Control Change with latency, then quit at once; it must arrive all the same.
    if (argc == 3 && std::string_view(argv[1]) == "write") {
        MidiStream stream;
        return stream.OpenOutput(OutputNamed(argv[2]), 10000, 100) ||
               stream.Write({0xB0, 0x15, 0x2A});
    }
    self = argv[0];
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
