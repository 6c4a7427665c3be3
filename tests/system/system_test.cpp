// The port layer and the window against a real ALSA sequencer. Runs inside the test VM
// (run-in-vm), where Midi Through is client 14 and the VirMIDI ports are clients 16 to 19.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "midi/device_rows.h"
#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "receiver.h"
#include "ui/msg_box.h"
#include "ui/window1.h"

extern char** environ;

namespace kelvane::system {
namespace {

using midi::MidiEvent;
using midi::MidiLibrary;
using midi::MidiStream;
using namespace std::chrono_literals;

std::optional<std::int64_t> OutputNamed(const std::string& name) {
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        const auto info = MidiLibrary::DeviceInfo(id);
        if (info && info->HasOutput && info->Name == name) {
            return id;
        }
    }
    return std::nullopt;
}

std::vector<std::string> PortMidiRows() {
    std::vector<std::string> rows;
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        rows.push_back(midi::DeviceRowText(id, *MidiLibrary::DeviceInfo(id)).toStdString());
    }
    return rows;
}

// What ALSA has: one output per port others may write to, one input per port others may read.
std::vector<std::pair<std::string, bool>> AlsaPorts() {
    snd_seq_t* seq = nullptr;
    EXPECT_EQ(snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0), 0);
    std::vector<std::pair<std::string, bool>> ports;
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == SND_SEQ_CLIENT_SYSTEM) {
            continue;
        }
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(port);
            const std::string name = snd_seq_port_info_get_name(port);
            if (caps & SND_SEQ_PORT_CAP_SUBS_READ) {
                ports.emplace_back(name, false);
            }
            if (caps & SND_SEQ_PORT_CAP_SUBS_WRITE) {
                ports.emplace_back(name, true);
            }
        }
    }
    snd_seq_close(seq);
    std::sort(ports.begin(), ports.end());
    return ports;
}

std::vector<unsigned char> LongSysEx(std::size_t size) {
    std::vector<unsigned char> block(size);
    block.front() = 0xF0;
    for (std::size_t i = 1; i + 1 < size; ++i) {
        block[i] = static_cast<unsigned char>((i * 7) % 128);
    }
    block.back() = 0xF7;
    return block;
}

int WriteCc(MidiStream& stream, int status, int data1, int data2) {
    MidiEvent event;
    event.Set(status, data1, data2);
    return stream.Write(event);
}

class RealMidi : public ::testing::Test {
protected:
    RealMidi() { MidiLibrary::ReInitialize(); }
    MidiLibrary library;
};

TEST_F(RealMidi, DiscoveryListsExactlyWhatAlsaHas) {
    std::vector<std::pair<std::string, bool>> listed;
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        const auto info = MidiLibrary::DeviceInfo(id);
        ASSERT_TRUE(info);
        listed.emplace_back(info->Name, info->HasOutput);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, AlsaPorts());
    const std::vector<std::string> rows = PortMidiRows();
    EXPECT_NE(std::find(rows.begin(), rows.end(),
                        "#" + std::to_string(*OutputNamed("Midi Through Port-0")) +
                            ": to Midi Through Port-0"),
              rows.end());
    for (const std::string& row : rows) {
        std::printf("  %s\n", row.c_str());
    }
}

TEST_F(RealMidi, ControlChangeAndSysExArriveByteExact) {
    Receiver receiver("kelvane-exact");
    MidiLibrary::ReInitialize();
    const auto id = OutputNamed("kelvane-exact");
    ASSERT_TRUE(id);
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*id, 10000, 1), 0);
    EXPECT_EQ(WriteCc(stream, 0xB0, 0x07, 0x7F), 0);
    const std::vector<std::uint8_t> block = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7, 0xF0, 0xF7};
    EXPECT_EQ(stream.WriteSysEx(0, block, 0), 0);
    EXPECT_EQ(WriteCc(stream, 0xBF, 0x00, 0x00), 0);
    EXPECT_EQ(receiver.WaitForBytes(14), "B0 07 7F F0 7E 7F 06 01 F7 F0 F7 BF 00 00");
}

TEST_F(RealMidi, RefusedBlocksSendNothingAndTheNextMessageArrives) {
    Receiver receiver("kelvane-refused");
    MidiLibrary::ReInitialize();
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("kelvane-refused"), 10000, 1), 0);
    const std::vector<std::vector<std::uint8_t>> refused = {
        {0xF0, 0x41, 0x90, 0x42, 0x12, 0xF7}, {0xF0, 0x7E}, {0x7E, 0xF7}, {0xF0, 0x01, 0xF7, 0x02}};
    for (const auto& block : refused) {
        EXPECT_EQ(stream.WriteSysEx(0, block, 0), midi::kBadData);
    }
    EXPECT_EQ(WriteCc(stream, 0xB2, 0x01, 0x02), 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(receiver.WaitForBytes(3), "B2 01 02");
}

TEST_F(RealMidi, A64KiBSysExArrivesWholeThroughMidiThrough) {
    Receiver receiver("kelvane-through", "14:0");
    MidiLibrary::ReInitialize();
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("Midi Through Port-0"), 10000, 1), 0);
    const std::vector<unsigned char> block = LongSysEx(64 * 1024);
    EXPECT_EQ(stream.WriteSysEx(0, block, 0), 0);
    EXPECT_EQ(receiver.WaitForBytes(block.size(), 30s), Hex(block));
}

TEST_F(RealMidi, ReopeningAndRescanningDropNothingWritten) {
    Receiver first("kelvane-first");
    Receiver second("kelvane-second");
    MidiLibrary::ReInitialize();
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("kelvane-first"), 10000, 100), 0);
    WriteCc(stream, 0xB0, 1, 1);
    stream.OpenOutput(*OutputNamed("kelvane-first"), 10000, 1);  // same device, new latency
    WriteCc(stream, 0xB0, 1, 2);
    stream.OpenOutput(*OutputNamed("kelvane-second"), 10000, 100);  // another device
    WriteCc(stream, 0xB0, 2, 1);
    MidiLibrary::ReInitialize();  // a rescan right after a write
    EXPECT_EQ(first.WaitForBytes(6), "B0 01 01 B0 01 02");
    EXPECT_EQ(second.WaitForBytes(3), "B0 02 01");
}

TEST_F(RealMidi, QuittingRightAfterAWriteDropsNothing) {
    Receiver receiver("kelvane-quit");
    char name[] = "kelvane-quit";
    char* argv[] = {const_cast<char*>(KELVANE_WRITER), name, nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, KELVANE_WRITER, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(receiver.WaitForBytes(3, 2s), "B0 15 2A");
}

TEST_F(RealMidi, WritingAfterTheTargetVanishedFailsCleanly) {
    auto gone = std::make_unique<Receiver>("kelvane-gone");
    Receiver other("kelvane-other");
    MidiLibrary::ReInitialize();
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("kelvane-gone"), 10000, 1), 0);
    gone.reset();
    std::this_thread::sleep_for(100ms);
    WriteCc(stream, 0xB0, 3, 3);  // may fail or be lost; must not crash
    const std::vector<std::uint8_t> block = {0xF0, 0x01, 0xF7};
    stream.WriteSysEx(0, block, 0);
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("kelvane-other"), 10000, 1), 0);
    EXPECT_EQ(WriteCc(stream, 0xB0, 4, 4), 0);
    EXPECT_EQ(other.WaitForBytes(3), "B0 04 04");
}

// Not a check: how long a Control Change takes from the write to its arrival.
TEST_F(RealMidi, ReportsArrivalDelay) {
    Receiver receiver("kelvane-delay");
    MidiLibrary::ReInitialize();
    const auto id = OutputNamed("kelvane-delay");
    ASSERT_TRUE(id);
    for (const int latency : {1, 100}) {
        MidiStream stream;
        ASSERT_EQ(stream.OpenOutput(*id, 10000, latency), 0);
        const std::size_t before = receiver.Arrivals().size();
        std::vector<long long> sent;
        for (int i = 0; i < 10; ++i) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            sent.push_back(now.tv_sec * 1000000000LL + now.tv_nsec);
            WriteCc(stream, 0xB0, 9, i);
            std::this_thread::sleep_for(std::chrono::milliseconds(latency + 20));
        }
        receiver.WaitForBytes(3 * (before + 10));
        const auto arrivals = receiver.Arrivals();
        ASSERT_EQ(arrivals.size(), before + 10);
        double total = 0;
        double longest = 0;
        for (std::size_t i = 0; i < 10; ++i) {
            const double delay = static_cast<double>(arrivals[before + i].ns - sent[i]) / 1e6;
            total += delay;
            longest = std::max(longest, delay);
        }
        const double mean = total / 10;
        std::printf("latency %3d ms: mean delay %.2f ms (%.2f x the latency), longest %.2f ms\n",
                    latency, mean, mean / latency, longest);
    }
}

// The window's own paths, offscreen.
class RealWindow : public ::testing::Test {
protected:
    RealWindow() {
        SetMsgBoxHook([this](const QString& text) { messages.append(text); });
    }
    ~RealWindow() override { SetMsgBoxHook({}); }

    static void Choose(Window1& window, const std::string& name) {
        QComboBox& popup = window.PopupMenu1();
        for (int row = 0; row < popup.count(); ++row) {
            if (popup.itemText(row).endsWith(QStringLiteral(": to ") +
                                             QString::fromStdString(name))) {
                popup.setCurrentIndex(row);
                emit popup.activated(row);
                return;
            }
        }
        ADD_FAILURE() << "no row for " << name;
    }

    QStringList messages;
};

TEST_F(RealWindow, SendPathsArriveByteExact) {
    Receiver receiver("kelvane-window");
    Window1 window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.PushButtonSearch().click();
    Choose(window, "kelvane-window");

    window.ComboBox1().setEditText(QStringLiteral("2"));
    window.CCnumber().setText(QStringLiteral("7"));
    window.Slider1().setValue(64);
    window.SendCC().click();
    window.SysExField().setFocus();
    QTest::keyClicks(&window.SysExField(), "240 126 127 6 1 247");
    window.SendSysEx().click();
    window.SysExFieldHex().setText(QStringLiteral("f0 41 10 f7"));
    window.SendSysExHex().click();
    EXPECT_EQ(receiver.WaitForBytes(13), "B1 07 40 F0 7E 7F 06 01 F7 F0 41 10 F7");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(RealWindow, RescanSeesClientsComeAndGo) {
    Window1 window;
    const auto rows = [&window] {
        QStringList shown;
        for (int row = 0; row < window.PopupMenu1().count(); ++row) {
            shown << window.PopupMenu1().itemText(row);
        }
        return shown.join(u'|');
    };
    EXPECT_FALSE(rows().contains(QStringLiteral("kelvane-late")));
    auto late = std::make_unique<Receiver>("kelvane-late");
    window.PushButtonSearch().click();
    EXPECT_TRUE(rows().contains(QStringLiteral(": to kelvane-late")));

    // The user's choice re-opens; a write then a choice of another row drops nothing.
    Receiver stay("kelvane-stay");
    window.PushButtonSearch().click();
    Choose(window, "kelvane-late");
    window.SendCC().setEnabled(true);
    window.SendCC().click();
    Choose(window, "kelvane-stay");
    EXPECT_EQ(late->WaitForBytes(3), "B0 07 7F");

    late.reset();
    window.PushButtonSearch().click();
    EXPECT_FALSE(rows().contains(QStringLiteral("kelvane-late")));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(RealWindow, AControlChangeRightBeforeAnotherChoiceArrives) {
    Receiver first("kelvane-cc-a");
    Receiver second("kelvane-cc-b");
    Window1 window;
    window.PushButtonSearch().click();
    window.SendCC().setEnabled(true);
    for (int i = 0; i < 20; ++i) {
        Choose(window, i % 2 == 0 ? "kelvane-cc-a" : "kelvane-cc-b");
        window.SendCC().click();
    }
    Choose(window, "kelvane-cc-a");
    EXPECT_EQ(first.WaitForBytes(30), second.WaitForBytes(30));
    EXPECT_EQ(first.Bytes().size(), 10 * 9 - 1u);
}

// A port draining at MIDI cable speed: a VirMIDI raw device read at 3000 bytes/s.
class SlowPort {
public:
    explicit SlowPort(int device) : file_("/run/slow-port-" + std::to_string(device)) {
        const std::string line =
            "exec pv -q -L 3000 -B 64 /dev/snd/midiC0D" + std::to_string(device) + " >" + file_;
        const char* argv[] = {"sh", "-c", line.c_str(), nullptr};
        posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ);
        std::this_thread::sleep_for(500ms);
    }
    ~SlowPort() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        std::remove(file_.c_str());
    }
    std::vector<unsigned char> Bytes(std::size_t atLeast) const {
        for (int wait = 0; wait < 100 && std::filesystem::file_size(file_) < atLeast; ++wait) {
            QTest::qWait(100);
        }
        std::ifstream in(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    std::string file_;
    pid_t pid_ = -1;
};

// count messages of size bytes, and the same as a hex row.
std::pair<std::vector<unsigned char>, QString> Messages(int count, int size) {
    std::vector<unsigned char> block;
    QStringList row;
    for (int m = 0; m < count; ++m) {
        for (int i = 0; i < size; ++i) {
            block.push_back(i == 0 ? 0xF0 : i == size - 1 ? 0xF7 : (m + i) % 128);
            row << QString::number(block.back(), 16);
        }
    }
    return {block, row.join(u' ')};
}

// Sends the messages from the hex field, cancelled after cancelAfter; prints the time it took.
void SendHexRow(Window1& window, const std::pair<std::vector<unsigned char>, QString>& messages,
                std::chrono::milliseconds cancelAfter = 60s) {
    window.SysExFieldHex().setText(messages.second);
    const auto start = std::chrono::steady_clock::now();
    window.SendSysExHex().click();
    while (window.SendProgress() != nullptr) {
        if (std::chrono::steady_clock::now() - start > cancelAfter) {
            window.SendProgress()->CancelButton().click();
        }
        QTest::qWait(20);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double wire = static_cast<double>(messages.first.size()) / 3125;
    std::printf("%zu bytes: %.2f s, %.3f x the wire time\n", messages.first.size(), took.count(),
                took.count() / wire);
}

TEST_F(RealWindow, LongSysExArrivesWholeAtSlowPortsAndSmallPoolsAndCancelKeepsWholeMessages) {
    SlowPort slow(0);
    Receiver pool("kelvane-default-pool");
    Window1 window;
    window.PushButtonSearch().click();
    Choose(window, "VirMIDI 0-0");
    std::vector<unsigned char> all;
    for (const auto& [count, size] : {std::pair(64, 256), {256, 256}, {1, 8 * 1024}}) {
        const auto sent = Messages(count, size);
        SendHexRow(window, sent);
        all.insert(all.end(), sent.first.begin(), sent.first.end());
        const auto got = slow.Bytes(all.size());
        EXPECT_TRUE(got == all)
            << count << " x " << size << ": " << got.size() << " of " << all.size()
            << ", the first wrong at "
            << std::mismatch(got.begin(), got.end(), all.begin(), all.end()).first - got.begin();
    }
    const auto sent = Messages(256, 256);
    Choose(window, "kelvane-default-pool");
    SendHexRow(window, sent);
    EXPECT_EQ(pool.WaitForBytes(sent.first.size(), 10s), Hex(sent.first));

    SlowPort cancelled(1);
    Choose(window, "VirMIDI 0-1");
    SendHexRow(window, Messages(64, 256), 2s);
    window.CCnumber().setText(QStringLiteral("7"));
    window.SendCC().click();
    QTest::qWait(2500);
    const auto got = cancelled.Bytes(0);
    ASSERT_GE(got.size(), 3u);
    const std::size_t sysex = got.size() - 3;
    EXPECT_TRUE(sysex % 256 == 0 && sysex > 4096 && sysex < 16384) << sysex;
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + sysex, sent.first.begin()));
    EXPECT_EQ(Hex({got.end() - 3, got.end()}), "B0 07 7F");
    EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
}  // namespace kelvane::system

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
