// The port layer and the window against a real ALSA sequencer, inside the test VM (run-in-vm).
// Midi Through is client 14; the ports VirMIDI 0-0 to 0-3 hand what reaches them, byte for
// byte, to the raw devices hw:0,0 to hw:0,3, which amidi reads.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstdio>

#include "beside.h"
#include "midi/device_rows.h"
#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "ui/msg_box.h"
#include "ui/window1.h"

namespace kelvane::system {
namespace {

using midi::MidiLibrary;
using midi::MidiStream;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

std::optional<std::int64_t> OutputNamed(const std::string& name) {
    MidiLibrary::ReInitialize();
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        const auto info = MidiLibrary::DeviceInfo(id);
        if (info->HasOutput && info->Name.starts_with(name)) {
            return id;
        }
    }
    return std::nullopt;
}

int WriteCc(MidiStream& stream, int status, int data1, int data2) {
    midi::MidiEvent event;
    event.Set(status, data1, data2);
    return stream.Write(event);
}

// As Beside::Bytes prints them: "F0 7E F7".
std::string Hex(const auto& bytes) {
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    return QByteArray(data, qsizetype(bytes.size())).toHex(' ').toUpper().toStdString();
}

class RealMidi : public ::testing::Test {
protected:
    MidiLibrary library;
};

// A refused block blocks nothing; reopening, rescanning and a new latency drop nothing written.
TEST_F(RealMidi, ByteExactThroughReopeningAndRescanning) {
    RawReader zero(0), first(1), second(2);
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("VirMIDI 0-0"), 10000, 1), 0);
    EXPECT_EQ(WriteCc(stream, 0xB0, 0x07, 0x7F), 0);
    EXPECT_EQ(stream.WriteSysEx(0, Bytes{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7, 0xF0, 0xF7}, 0), 0);
    EXPECT_EQ(stream.WriteSysEx(0, Bytes{0xF0, 0x41, 0x90, 0x42, 0xF7}, 0), midi::kBadData);
    EXPECT_EQ(WriteCc(stream, 0xBF, 0x00, 0x00), 0);
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("VirMIDI 0-1"), 10000, 100), 0);
    WriteCc(stream, 0xB0, 1, 1);
    stream.OpenOutput(*OutputNamed("VirMIDI 0-1"), 10000, 1);  // a rescan, and a new latency
    WriteCc(stream, 0xB1, 1, 2);  // another status: the raw device would use running status
    stream.OpenOutput(*OutputNamed("VirMIDI 0-2"), 10000, 100);
    WriteCc(stream, 0xB0, 2, 1);
    MidiLibrary::ReInitialize();  // right after a write
    EXPECT_EQ(zero.Bytes(15, 1s), "B0 07 7F F0 7E 7F 06 01 F7 F0 F7 BF 00 00");
    EXPECT_EQ(first.Bytes(6), "B0 01 01 B1 01 02");
    EXPECT_EQ(second.Bytes(3), "B0 02 01");
}

TEST_F(RealMidi, A64KiBSysExArrivesWhole) {
    Receiver receiver("kelvane-through", "14:0");
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("Midi Through Port-0"), 10000, 1), 0);
    Bytes block(64 * 1024, 0x55);
    block.front() = 0xF0;
    block.back() = 0xF7;
    block[1000] = 0x01;
    EXPECT_EQ(stream.WriteSysEx(0, block, 0), 0);
    EXPECT_EQ(receiver.Bytes(block.size(), 30s), Hex(block));
}

TEST_F(RealMidi, QuittingRightAfterAWriteDropsNothing) {
    RawReader reader(3);
    const Beside writer({KELVANE_WRITER, "VirMIDI 0-3"});
    EXPECT_EQ(reader.Bytes(3, 2s), "B0 15 2A");
}

// The command line, as a script would run it: what reaches the port, or nothing and why.
struct Ran {
    int status = -1;
    std::string out, err;
};

Ran Kelvane(const std::string& arguments) {
    const std::string out = "/tmp/kelvane.out", err = "/tmp/kelvane.err";
    const int status = std::system(
        (KELVANE_PROGRAM " " + arguments + " </tmp/k.syx >" + out + " 2>" + err).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

TEST_F(RealMidi, CommandLineSendsExactlyWhatItSaysOrNothing) {
    RawReader reader(2), other(3);
    const std::string number = std::to_string(*OutputNamed("VirMIDI 0-2"));
    std::string input, rows;
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        const auto info = MidiLibrary::DeviceInfo(id);
        input = info->HasOutput ? input : std::to_string(id);
        rows += midi::DeviceRowText(id, *info).toStdString() + "\n";
    }
    std::ofstream("/tmp/k.syx") << "\xF0\x41\x10\xF7\xF0\xF7";
    const struct {
        std::string arguments, bytes;  // what reaches the port
        int status;
        std::string err;  // part of standard error
    } cases[] = {
        {"--to 'virmidi 0-2' --cc 7 1 100", "B0 07 64", 0, ""},
        {"--to " + number + " --hex 'f0 7e 7f 06 01 f7' --dec '240 1 247' --cc 0 16 127",
         "F0 7E 7F 06 01 F7 F0 01 F7 BF 00 7F", 0, ""},
        {"--to '#" + number + "' --syx /tmp/k.syx --rate 0", "F0 41 10 F7 F0 F7", 0, ""},
        {"--syx - --to 0-2", "F0 41 10 F7 F0 F7", 0, ""},
        {"--to virmidi --cc 7 1 1", "", 2, "more than one output:\n#"},
        {"--to " + input + " --cc 7 1 1", "", 2, "is not an output"},
        {"--to 'no such synth' --cc 7 1 1", "", 1, "no MIDI output"},
    };
    std::string before;
    for (const auto& [arguments, bytes, status, err] : cases) {
        const Ran ran = Kelvane(arguments);
        const std::string all = reader.Bytes((before.size() + bytes.size() + 2) / 3, 2s);
        EXPECT_EQ(ran.status, status) << arguments << ": " << ran.err;
        EXPECT_NE(ran.err.find(err), std::string::npos) << ran.err;
        EXPECT_EQ(all.substr(std::min(all.size(), before.size() + !before.empty())), bytes)
            << arguments;
        before = all;
    }
    EXPECT_EQ(other.Output(), "");
    EXPECT_EQ(Kelvane("--list").out, rows);
}

// The window, offscreen, and what it says.
class WindowSays : public ::testing::Test {
protected:
    WindowSays() {
        SetMsgBoxHook([this](const QString& text) { messages.append(text); });
    }
    ~WindowSays() override { SetMsgBoxHook({}); }
    static int Choose(Window1& window, const char* text) {
        const int row = window.PopupMenu1().findText(QString::fromUtf8(text), Qt::MatchContains);
        window.PopupMenu1().setCurrentIndex(row);
        emit window.PopupMenu1().activated(row);
        return row;
    }
    QStringList messages;
};

// The newest output is chosen at start; every send path arrives byte-exact; a rescan sees a
// client come and go, and a send to it once it vanished is told once, the next send working.
TEST_F(WindowSays, SendPathsArriveByteExactAndAVanishedDeviceIsToldOnce) {
    RawReader newest(3), reader(1);  // VirMIDI 0-3, two-way: an output row, then an input row, last
    MidiLibrary::ReInitialize();
    Window1 window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(window.PopupMenu1().currentText().endsWith(QStringLiteral("to VirMIDI 0-3")));
    window.SendCC().click();
    EXPECT_EQ(newest.Bytes(3), "B0 07 7F");

    EXPECT_GE(Choose(window, "to VirMIDI 0-1"), 0);
    window.ComboBox1().setEditText(QStringLiteral("2"));
    window.Slider1().setValue(64);
    window.SendCC().click();
    window.SysExField().setFocus();
    QTest::keyClicks(&window.SysExField(), "240 126 127 6 1 247");
    window.SendSysEx().click();
    window.SysExFieldHex().setText(QStringLiteral("f0 41 10 f7"));
    window.SendSysExHex().click();
    EXPECT_EQ(reader.Bytes(13), "B1 07 40 F0 7E 7F 06 01 F7 F0 41 10 F7");
    EXPECT_TRUE(messages.isEmpty());

    auto gone = std::make_unique<Beside>(std::vector<std::string>{"aseqdump"});
    ASSERT_TRUE(WaitFor("/proc/asound/seq/clients", "aseqdump"));
    const auto listed = [&window](const char* name) {
        return window.PopupMenu1().findText(QString::fromUtf8(name), Qt::MatchContains) >= 0;
    };
    window.PushButtonSearch().click();  // it waits for what was sent to leave
    ASSERT_TRUE(QTest::qWaitFor([&listed] { return listed("to aseqdump"); }));
    Choose(window, "to aseqdump");
    gone.reset();
    window.SysExFieldHex().setText(QStringLiteral("F0 01 F7"));
    window.SendSysExHex().click();
    EXPECT_TRUE(messages.value(0).contains(": to aseqdump.\nPortMidi: `Host error': "));
    Choose(window, "to VirMIDI 0-1");
    window.SendSysExHex().click();
    EXPECT_EQ(reader.Bytes(16), "B1 07 40 F0 7E 7F 06 01 F7 F0 41 10 F7 F0 01 F7");
    window.PushButtonSearch().click();
    EXPECT_TRUE(QTest::qWaitFor([&listed] { return !listed("aseqdump"); }));
    EXPECT_EQ(messages.size(), 1);
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

TEST_F(WindowSays, NothingWhenAControlChangeComesRightBeforeAnotherChoice) {
    RawReader first(2), second(3);
    Window1 window;
    for (int i = 0; i < 20; ++i) {
        Choose(window, i % 2 == 0 ? "to VirMIDI 0-2" : "to VirMIDI 0-3");
        window.SendCC().click();
    }
    Choose(window, "to VirMIDI 0-2");
    std::string ten = "B0 07 7F";  // and running status from then on
    for (int i = 1; i < 10; ++i) {
        ten += " 07 7F";
    }
    EXPECT_EQ(first.Bytes(21), ten);
    EXPECT_EQ(second.Bytes(21), ten);
    EXPECT_TRUE(messages.isEmpty());
}

// count messages of size bytes each.
std::string Messages(int count, int size) {
    std::string block;
    for (int m = 0; m < count; ++m) {
        block += '\xF0';
        for (int i = 1; i < size - 1; ++i) {
            block += static_cast<char>((m + i) % 128);
        }
        block += '\xF7';
    }
    return block;
}

// Sends the messages from the hex field, cancelled after cancelAfter.
void SendHexRow(Window1& window, const std::string& messages,
                std::chrono::milliseconds cancelAfter = 60s) {
    window.SysExFieldHex().setText(QString::fromStdString(Hex(messages)));
    const auto start = std::chrono::steady_clock::now();
    window.SendSysExHex().click();
    while (window.ProgressDialog() != nullptr) {
        if (std::chrono::steady_clock::now() - start > cancelAfter) {
            window.ProgressDialog()->CancelButton().click();
        }
        QTest::qWait(20);
    }
}

TEST_F(WindowSays, NothingWhileLongSysExReachesSlowPortsAndSmallPoolsWhole) {
    RawReader slow(0, true);
    const Receiver pool("kelvane-default-pool", "14:0", "0");
    Window1 window;
    window.PushButtonSearch().click();
    Choose(window, "to VirMIDI 0-0");
    std::string all;
    for (const int count : {64, 256}) {
        const auto sent = Messages(count, 256);
        SendHexRow(window, sent);
        all += sent;
        EXPECT_TRUE(slow.Received(all.size()) == all) << count << " x 256";
    }
    const auto sent = Messages(256, 256);
    Choose(window, "to Midi Through");
    SendHexRow(window, sent);
    EXPECT_EQ(pool.Bytes(sent.size(), 10s), Hex(sent));

    // Cancelled about half way: whole messages only, and the next message arrives.
    RawReader cancelled(1, true);
    Choose(window, "to VirMIDI 0-1");
    SendHexRow(window, Messages(64, 256), 2s);
    window.SendCC().click();
    QTest::qWait(2500);
    const std::string cut = cancelled.Received(0);
    ASSERT_GE(cut.size(), 3u);
    const std::size_t sysex = cut.size() - 3;
    EXPECT_TRUE(sysex % 256 == 0 && sysex > 4096 && sysex < 16384) << sysex;
    EXPECT_EQ(cut.substr(0, sysex), sent.substr(0, sysex));
    EXPECT_EQ(cut.substr(sysex), "\xB0\x07\x7F");
    EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
}  // namespace kelvane::system

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
