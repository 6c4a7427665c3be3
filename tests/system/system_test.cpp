// The port layer, the command line and the window against a real ALSA sequencer in the test VM
// (run-in-vm): Midi Through is client 14; VirMIDI 0-0 to 0-3 pass bytes on to /dev/snd/midiC0D0-3.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <fstream>

#include "cli/output_choice.h"
#include "midi/alsa_ports.h"
#include "midi/device_rows.h"
#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "midi/sysex_feed.h"
#include "ui/msg_box.h"
#include "ui/window1.h"

namespace kelvane::system {
namespace {

using midi::MidiLibrary;
using midi::MidiStream;
using Bytes = std::vector<std::uint8_t>;

const char* self = "";  // this program, which main() also lets write once and quit

#ifdef KELVANE_SANITIZED
constexpr int kSlower = 3;  // every step, under the sanitizers
#else
constexpr int kSlower = 1;
#endif

// Whether the file holds the text within five seconds.
bool Shows(const QString& path, const QByteArray& text) {
    return QTest::qWaitFor([&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
    });
}

// The bytes as aseqdump prints them: "F0 7E F7".
std::string Hex(const auto& bytes) {
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    return QByteArray(data, qsizetype(bytes.size())).toHex(' ').toUpper().toStdString();
}

// A command run beside the test, what it prints kept; killed with the object.
struct Beside : QProcess {
    explicit Beside(const QStringList& command) {
        start(command.first(), command.mid(1));
        EXPECT_TRUE(waitForStarted());
    }
    ~Beside() override {
        kill();
        waitForFinished();
    }
    // What it printed, once atLeast bytes have come or ms have passed.
    std::string Output(qsizetype atLeast = 0, int ms = 10000) {
        (void)QTest::qWaitFor([&] { return bytesAvailable() >= atLeast; }, ms);
        return peek(bytesAvailable()).toStdString();
    }
};

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

// The two-digit hex words in aseqdump's output: the bytes of the SysEx events it got.
std::string HexWords(const std::string& text) {
    static const QRegularExpression word("(?<!\\S)[0-9A-F]{2}(?!\\S)");
    QStringList bytes;
    for (const QRegularExpressionMatch& match : word.globalMatch(QString::fromStdString(text))) {
        bytes += match.captured();
    }
    return bytes.join(' ').toStdString();
}

// The output so named, after a rescan; -1 for none.
std::int64_t OutputNamed(const char* name) {
    MidiLibrary::ReInitialize();
    return cli::ChooseOutput(midi::Devices(), QString::fromUtf8(name)).deviceId;
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

// The command line, as a script runs it: its status, what it says, and what reaches the port.
TEST(RealMidi, CommandLineSendsExactlyWhatItSaysOrNothing) {
    RawReader reader(2);
    const std::string number = std::to_string(OutputNamed("VirMIDI 0-2"));
    const std::string input = std::to_string(MidiLibrary::CountDevices() - 1);  // 0-3's input row
    std::string rows;
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        rows += midi::DeviceRowText(id, *MidiLibrary::DeviceInfo(id)).toStdString() + "\n";
    }
    std::ofstream("/tmp/k.syx") << "\xF0\x41\x10\xF7\xF0\xF7";
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
        QProcess kelvane;
        kelvane.setStandardInputFile("/tmp/k.syx");
        kelvane.start(KELVANE_PROGRAM, QProcess::splitCommand(QString::fromStdString(arguments)));
        EXPECT_TRUE(kelvane.waitForFinished());
        const QByteArray out = kelvane.readAllStandardOutput(),
                         err = kelvane.readAllStandardError();
        EXPECT_EQ(kelvane.exitCode(), status) << arguments << ": " << err.toStdString();
        EXPECT_TRUE(status == 0 ? out == said.c_str() : err.contains(said.c_str()))
            << (out + err).toStdString();
        EXPECT_EQ(reader.Bytes((sent.size() + 1) / 3, 2000), sent) << arguments;
    }
    EXPECT_EQ(reader.Bytes((sent.size() + 4) / 3, 1000), sent);
}

// The window, offscreen, and what it says.
class WindowSays : public ::testing::Test {
protected:
    WindowSays() {
        SetMsgBoxHook([this](const QString& text) { messages.append(text); });
    }
    ~WindowSays() override { SetMsgBoxHook({}); }
    static void Choose(Window1& window, const char* text) {
        const int row = window.PopupMenu1().findText(QString::fromUtf8(text), Qt::MatchContains);
        window.PopupMenu1().setCurrentIndex(row);
        emit window.PopupMenu1().activated(row);
    }
    QStringList messages;
};

// The newest output is chosen at start; every send path arrives byte-exact, also after many quick
// choices with a CC between them; a rescan sees a client come and go, and each send to it once it
// vanished is told, the next send elsewhere working.
TEST_F(WindowSays, SendPathsArriveByteExactAndAVanishedDeviceIsTold) {
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
    window.SysExFieldHex().setText(QStringLiteral("f0 41 10 f7"));
    window.SendSysExHex().click();
    EXPECT_EQ(reader.Bytes(13), "B1 07 40 F0 7E 7F 06 01 F7 F0 41 10 F7");
    EXPECT_TRUE(messages.isEmpty());

    auto gone = std::make_unique<Beside>(QStringList{"aseqdump"});
    ASSERT_TRUE(Shows("/proc/asound/seq/clients", "Port   0 : \"aseqdump\""));
    const auto listed = [&window](const char* name) {
        return window.PopupMenu1().findText(QString::fromUtf8(name), Qt::MatchContains) >= 0;
    };
    window.PushButtonSearch().click();  // it waits for what was sent to leave
    ASSERT_TRUE(QTest::qWaitFor([&listed] { return listed("to aseqdump"); }));
    Choose(window, "to aseqdump");
    window.SysExFieldHex().setText(QStringLiteral("F0 01 F7"));
    window.SendSysExHex().click();  // opens it at the latency of a send, while it is there
    gone.reset();
    window.SendCC().click();
    window.SendSysExHex().click();
    const QString row = window.PopupMenu1().currentText();
    const QString told =
        "Could not send to " + row + ".\nThe device is gone; Search MIDI lists the devices anew.";
    EXPECT_EQ(messages, QStringList({told, told}));
    Choose(window, "to VirMIDI 0-1");
    window.SendSysExHex().click();
    EXPECT_EQ(reader.Bytes(16), "B1 07 40 F0 7E 7F 06 01 F7 F0 41 10 F7 F0 01 F7");
    window.PushButtonSearch().click();
    EXPECT_TRUE(QTest::qWaitFor([&listed] { return !listed("aseqdump"); }));
    EXPECT_EQ(messages.size(), 2);
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

// count messages of 256 bytes each, told apart by their data.
std::string Messages(int count) {
    std::string block;
    for (int m = 0; m < count; ++m) {
        block += '\xF0' + std::string(254, static_cast<char>(m % 128)) + '\xF7';
    }
    return block;
}

// Sends the messages from the hex field and waits until the send has ended.
void SendHexRow(Window1& window, const std::string& messages) {
    window.SysExFieldHex().setText(QString::fromStdString(Hex(messages)));
    window.SendSysExHex().click();
    EXPECT_TRUE(QTest::qWaitFor([&window] { return window.ProgressDialog() == nullptr; }, 60000));
}

// One message of size bytes, its data told apart by their place.
std::string Message(std::size_t size) {
    std::string message(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        message[i] = static_cast<char>((i / 1024 * 7 + i) % 128);
    }
    message.front() = '\xF0';
    message.back() = '\xF7';
    return message;
}

// The 32-voice bank of the classic FM synths, and two longer single messages, each by its own
// command: whole at a port read at cable speed, from first byte to last within their wire time
// and a second, and a Control Change after the last of them. Then two commands to a port slower
// than the cable lose nothing: each ends once the port has taken what it sent.
TEST(RealMidi, CommandLineDeliversLongMessagesWholeAndEndsOnceDelivered) {
    RawReader slow(2, 3000);
    std::string sent;
    for (const std::size_t size : {4104, 12 * 1024, 48 * 1024}) {
        const QString name = QString("/tmp/long%1.syx").arg(size);
        std::ofstream(name.toStdString()) << Message(size);
        QStringList arguments{"--to", "VirMIDI 0-2", "--syx", name};
        sent += Message(size);
        if (size == 48 * 1024) {
            arguments << "--cc"
                      << "7"
                      << "1"
                      << "100";
            sent += "\xB0\x07\x64";
        }
        QElapsedTimer took;
        QProcess kelvane;
        kelvane.start(KELVANE_PROGRAM, arguments);
        EXPECT_TRUE(QTest::qWaitFor([&] { return slow.bytesAvailable() > 0; }, 10000));
        took.start();
        const std::string got = slow.Output(qsizetype(sent.size()), 30000);
        const double ratio = static_cast<double>(took.elapsed()) * 3.125 / double(sent.size());
        std::printf("%zu bytes: %lld ms, %.2f times the wire time\n", sent.size(), took.elapsed(),
                    ratio);
        EXPECT_TRUE(got == sent) << got.size();
        EXPECT_LT(static_cast<double>(took.elapsed()), (1.1 * double(sent.size()) / 3.125) + 1000);
        EXPECT_TRUE(kelvane.waitForFinished() && kelvane.exitCode() == 0);
        slow.readAll();
        sent.clear();
    }

    RawReader slower(3, 1000);
    std::ofstream("/tmp/k.syx") << Messages(16);
    for (int i = 0; i < 2; ++i) {
        QProcess kelvane;
        kelvane.start(KELVANE_PROGRAM,
                      {"--to", "VirMIDI 0-3", "--rate", "950", "--syx", "/tmp/k.syx"});
        EXPECT_TRUE(
            QTest::qWaitFor([&kelvane] { return kelvane.state() == QProcess::NotRunning; }, 20000));
        EXPECT_EQ(kelvane.exitCode(), 0);
    }
    EXPECT_TRUE(slower.Output(2 * 4096, 5000) == Messages(16) + Messages(16));
}

// 64 KiB paced to aseqdump, which keeps ALSA's default input pool, also stand for 64 KiB whole.
// Single messages longer than the port holds arrive whole straight after a paced send, and a
// Control Change sent while one still leaves arrives after it.
TEST_F(WindowSays, NothingWhileLongSysExReachesSlowPortsAndSmallPoolsWhole) {
    RawReader slow(0, 3000);
    Beside pool({"aseqdump", "-p", "14:0"});
    ASSERT_TRUE(Shows("/proc/asound/seq/clients", "Connected From: 14:0"));
    Window1 window;
    window.PushButtonSearch().click();
    Choose(window, "to VirMIDI 0-0");
    const auto sent = Messages(256);
    QElapsedTimer took;
    took.start();
    SendHexRow(window, Messages(64));
    SendHexRow(window, Message(4104));  // at once: the port still holds part of the first
    SendHexRow(window, Message(12 * 1024));
    window.SendCC().click();
    SendHexRow(window, Message(48 * 1024));
    const std::string expected =
        Messages(64) + Message(4104) + Message(12 * 1024) + "\xB0\x07\x7F" + Message(48 * 1024);
    EXPECT_TRUE(slow.Output(qsizetype(expected.size())) == expected) << slow.Output().size();
    EXPECT_LT(static_cast<double>(took.elapsed()),
              1.1 * static_cast<double>(expected.size()) * 1000 / 3125 + 1000);
    Choose(window, "to Midi Through");
    SendHexRow(window, sent);
    EXPECT_TRUE(QTest::qWaitFor([&] { return HexWords(pool.Output()) == Hex(sent); }, 10000))
        << HexWords(pool.Output()).size() / 3 << " bytes";

    // Cancelled about half way: whole messages only, and the next message arrives.
    RawReader cancelled(1, 3000);
    Choose(window, "to VirMIDI 0-1");
    QTimer::singleShot(2000, &window,
                       [&window] { window.ProgressDialog()->CancelButton().click(); });
    SendHexRow(window, Messages(64));
    window.SendCC().click();
    QTest::qWait(2500);
    const std::string cut = cancelled.Output();
    ASSERT_GE(cut.size(), 3u);
    const std::size_t sysex = cut.size() - 3;
    EXPECT_TRUE(sysex % 256 == 0 && sysex > 4096 && sysex < 16384) << sysex;
    EXPECT_EQ(cut, sent.substr(0, sysex) + "\xB0\x07\x7F");
    EXPECT_TRUE(messages.isEmpty());
}

// Faults: a device that leaves, is replaced, or a command that is interrupted.

// What a device is told by the sequencer, as aseqdump prints it: nothing but its header.
bool HeardNothing(Beside& dump) {
    const std::string heard = dump.Output(0, 1000);
    return heard.find("Control change") == std::string::npos &&
           heard.find("System exclusive") == std::string::npos;
}

// The sequencer's client numbers of the clients so named, from the kernel's own list.
std::string ClientsNamed(const char* name) {
    QFile clients("/proc/asound/seq/clients");
    clients.open(QIODevice::ReadOnly);
    std::string numbers;
    for (const QByteArray& line : clients.readAll().split('\n')) {
        if (line.startsWith("Client ") && line.contains(QByteArray("\"") + name + '"')) {
            numbers += line.mid(7, 4).trimmed().toStdString() + ' ';
        }
    }
    return numbers;
}

// The sizes the feed counts on are those a sequencer client gets.
TEST(RealMidi, TheFeedsSizesAreTheSequencersDefaults) {
    midi::AlsaPorts ports;
    ports.Listen();
    EXPECT_EQ(ports.ClientDefaults().outputBufferBytes, midi::kOutputBufferBytes);
    EXPECT_EQ(ports.ClientDefaults().outputPoolCells, midi::kOutputPoolCells);
}

// A client that takes a chosen device's number after it left gets nothing: the sends say the
// device is gone, even though the newcomer carries the same name.
TEST_F(WindowSays, ADeviceReplacedAtItsAddressGetsNothing) {
    auto first = std::make_unique<Beside>(QStringList{"aseqdump"});
    ASSERT_TRUE(Shows("/proc/asound/seq/clients", "Port   0 : \"aseqdump\""));
    MidiLibrary::ReInitialize();
    Window1 window;
    Choose(window, "to aseqdump");
    const std::string number = ClientsNamed("aseqdump");
    first.reset();
    ASSERT_TRUE(QTest::qWaitFor([] { return ClientsNamed("aseqdump").empty(); }));
    Beside second({"aseqdump"});
    ASSERT_TRUE(QTest::qWaitFor([&number] { return ClientsNamed("aseqdump") == number; }));
    window.SendCC().click();
    window.SysExFieldHex().setText(QStringLiteral("F0 01 F7"));
    window.SendSysExHex().click();
    const QString told = "Could not send to " + window.PopupMenu1().currentText() +
                         ".\nThe device is gone; Search MIDI lists the devices anew.";
    EXPECT_EQ(messages, QStringList({told, told}));
    EXPECT_TRUE(HeardNothing(second));
}

// A command whose device leaves while its message is still queued fails, counting what the port
// had taken; in the window, a send cut half way says so, and so does the next one.
TEST_F(WindowSays, ADeviceThatLeavesOnTheWayIsTold) {
    std::ofstream("/tmp/gone.syx") << Message(16 * 1024);
    auto dump = std::make_unique<Beside>(QStringList{"aseqdump"});
    ASSERT_TRUE(Shows("/proc/asound/seq/clients", "Port   0 : \"aseqdump\""));
    QProcess kelvane;
    kelvane.start(KELVANE_PROGRAM, {"--to", "aseqdump", "--syx", "/tmp/gone.syx"});
    QTest::qWait(2000);
    dump.reset();
    EXPECT_TRUE(kelvane.waitForFinished());
    const QString said = kelvane.readAllStandardError();
    EXPECT_EQ(kelvane.exitCode(), 1) << said.toStdString();
    std::printf("gone 2 s into 16 KiB: %s\n", qPrintable(said.section(u'\n', 2, 2)));
    EXPECT_TRUE(said.contains("The device is gone") &&
                said.contains(QRegularExpression("\n[0-9]+ of 16384 bytes \\(0 of 1 messages\\)")))
        << said.toStdString();

    dump = std::make_unique<Beside>(QStringList{"aseqdump"});
    ASSERT_TRUE(Shows("/proc/asound/seq/clients", "Port   0 : \"aseqdump\""));
    MidiLibrary::ReInitialize();
    Window1 window;
    Choose(window, "to aseqdump");
    QTimer::singleShot(3000, &window, [&dump] { dump.reset(); });
    SendHexRow(window, Message(48 * 1024));
    window.SysExFieldHex().setText(QStringLiteral("F0 01 F7"));
    window.SendSysExHex().click();
    const QString gone = "Could not send to " + window.PopupMenu1().currentText() +
                         ".\nThe device is gone; Search MIDI lists the devices anew.";
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(gone + "\n") &&
                messages[0].endsWith(" of 49152 bytes (0 of 1 messages) had been sent."))
        << messages[0].toStdString();
    const qsizetype taken = messages[0].section(u'\n', 2).section(u' ', 0, 0).toLongLong();
    std::printf("gone 3 s into 48 KiB: %lld bytes taken\n", static_cast<long long>(taken));
    EXPECT_TRUE(taken > 7000 && taken < 11000) << taken;  // 3 s at about 2 900 bytes/s
    EXPECT_EQ(messages[1], gone);
}

// Short messages after a long one keep the pace of the cable, from the command line and the
// window alike.
TEST_F(WindowSays, ShortMessagesAfterALongOneKeepThePace) {
    std::string sent = Message(20 * 1024);
    for (int m = 0; m < 200; ++m) {
        sent += '\xF0' + std::string(18, static_cast<char>(m % 128)) + '\xF7';
    }
    std::ofstream("/tmp/mixed.syx") << sent;
    const double most = 1.1 * static_cast<double>(sent.size()) * 1000 / 3125 + 2000;
    for (const bool window : {false, true}) {
        RawReader slow(2, 3000);
        QElapsedTimer took;
        took.start();
        std::unique_ptr<Window1> shown;
        QProcess kelvane;
        if (window) {
            shown = std::make_unique<Window1>();
            Choose(*shown, "to VirMIDI 0-2");
            took.restart();
            SendHexRow(*shown, sent);
        } else {
            kelvane.start(KELVANE_PROGRAM, {"--to", "VirMIDI 0-2", "--syx", "/tmp/mixed.syx"});
        }
        const std::string got = slow.Output(qsizetype(sent.size()), 30000);
        std::printf("%s: %lld ms for %zu bytes, %.2f times the wire time\n",
                    window ? "window" : "command line", took.elapsed(), sent.size(),
                    static_cast<double>(took.elapsed()) * 3.125 / double(sent.size()));
        EXPECT_TRUE(got == sent) << got.size();
        EXPECT_LT(static_cast<double>(took.elapsed()), most);
        EXPECT_TRUE(window || (kelvane.waitForFinished() && kelvane.exitCode() == 0));
    }
}

// A stop signal ends a command after the message going out, which arrives whole, and says how
// much had been sent; a second ends it at once.
TEST(RealMidi, AnInterruptedCommandDeliversWholeMessagesOnly) {
    std::ofstream("/tmp/two.syx") << Message(12 * 1024) + Message(12 * 1024);
    std::ofstream("/tmp/dump.syx") << Messages(64);
    const struct {
        const char* file;
        std::vector<int> stops;  // sent 2 s in, then 500 ms apart
        int status;
        const char* said;
    } cases[] = {
        {"/tmp/two.syx",
         {SIGINT},
         130,
         "kelvane: Interrupted: 12288 of 24576 bytes (1 of 2 messages) had been sent.\n"},
        {"/tmp/dump.syx", {SIGTERM}, 143, " of 64 messages) had been sent.\n"},
        {"/tmp/two.syx", {SIGINT, SIGINT}, 130, "the device may hold part of a message."},
    };
    for (const auto& [file, stops, status, said] : cases) {
        RawReader slow(1, 3000);
        QProcess kelvane;
        kelvane.start(KELVANE_PROGRAM, {"--to", "VirMIDI 0-1", "--syx", file});
        QTest::qWait(2000);
        QElapsedTimer ended;
        for (const int stop : stops) {
            if (&stop != &stops.front()) {
                QTest::qWait(500);
            }
            ended.start();
            ::kill(static_cast<pid_t>(kelvane.processId()), stop);
        }
        // Told once stopped; ending the process itself, under the sanitizers, takes longer.
        QByteArray err;
        (void)QTest::qWaitFor(
            [&] { return (err += kelvane.readAllStandardError()).contains("Interrupted"); }, 20000);
        const qint64 endedMs = ended.elapsed();
        EXPECT_TRUE(kelvane.waitForFinished(20000));
        std::printf("%zu signals: ended %lld ms after the last\n", stops.size(), endedMs);
        err += kelvane.readAllStandardError();
        EXPECT_EQ(kelvane.exitCode(), status) << err.toStdString();
        EXPECT_TRUE(err.startsWith("kelvane: Stopping after the message going out; Ctrl+C again "
                                   "stops at once.\n") &&
                    err.contains(said))
            << err.toStdString();
        QTest::qWait(1000);
        const std::string got = slow.Output();
        if (stops.size() == 1 && std::string_view(file) == "/tmp/two.syx") {
            EXPECT_TRUE(got == Message(12 * 1024)) << got.size();
        } else if (stops.size() == 1) {
            EXPECT_TRUE(got.size() % 256 == 0 && got == Messages(64).substr(0, got.size()))
                << got.size();
        } else {
            EXPECT_LT(endedMs, 100 * kSlower);
        }
    }
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
