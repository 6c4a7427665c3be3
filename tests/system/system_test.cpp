// The port layer and the window against a real ALSA sequencer, inside the test VM (run-in-vm).
// Midi Through is client 14; the ports VirMIDI 0-0 to 0-3 hand what reaches them, byte for
// byte, to the raw devices hw:0,0 to hw:0,3, which amidi reads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "midi/device_rows.h"
#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "ui/msg_box.h"
#include "ui/window1.h"

extern char** environ;

namespace kelvane::system {
namespace {

using midi::MidiLibrary;
using midi::MidiStream;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::string Slurp(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Waits up to five seconds for the file to hold the text.
bool WaitFor(const std::string& path, const std::string& text) {
    for (int i = 0; i < 250 && Slurp(path).find(text) == std::string::npos; ++i) {
        std::this_thread::sleep_for(20ms);
    }
    return Slurp(path).find(text) != std::string::npos;
}

// A command run beside the test, its standard output kept, stopped with the object.
class Beside {
public:
    explicit Beside(std::vector<std::string> command) {
        static int serial = 0;
        file_ = "/tmp/beside-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, file_.c_str(), O_WRONLY | O_CREAT, 0600);
        std::vector<char*> argv;
        for (std::string& arg : command) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Beside() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        std::remove(file_.c_str());
    }
    Beside(const Beside&) = delete;
    Beside& operator=(const Beside&) = delete;

    std::string Output() const { return Slurp(file_); }

    // The hex bytes it printed, as "B0 07 7F F0 ...", once count have come or the time is up.
    std::string Bytes(std::size_t count, std::chrono::milliseconds limit = 10s) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        std::string digits;
        do {
            std::this_thread::sleep_for(20ms);
            digits = Output();
            std::erase_if(digits, [](char c) { return std::isspace(c); });
        } while (digits.size() < 2 * count && std::chrono::steady_clock::now() < end);
        for (std::size_t i = 2; i < digits.size(); i += 3) {
            digits.insert(i, " ");
        }
        return digits;
    }

private:
    std::string file_;
    pid_t pid_ = -1;
};

// What reaches VirMIDI 0-<device>, as amidi reads it from the raw device.
struct RawReader : Beside {
    explicit RawReader(int device)
        : Beside({"amidi", "-p", "hw:0," + std::to_string(device), "-d"}) {
        // The port passes nothing on until its raw device is open.
        EXPECT_TRUE(WaitFor("/proc/asound/card0/midi" + std::to_string(device), "Owner PID"));
    }
};

// What our receiver with the largest input pool gets from a port.
struct Receiver : Beside {
    Receiver(const std::string& name, const std::string& source)
        : Beside({KELVANE_RECEIVER, name, source}) {
        EXPECT_TRUE(WaitFor("/proc/asound/seq/clients", '"' + name + '"'));
    }
};

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

class RealMidi : public ::testing::Test {
protected:
    MidiLibrary library;
};

TEST_F(RealMidi, DiscoveryListsWhatAlsaHas) {
    std::multiset<std::pair<std::string, bool>> alsa, listed;
    for (const bool output : {false, true}) {
        Beside aconnect({"aconnect", output ? "-o" : "-i"});
        std::this_thread::sleep_for(200ms);
        std::istringstream lines(aconnect.Output());
        bool system = false;  // PortMidi leaves out the System client's ports
        for (std::string line; std::getline(lines, line);) {
            system = line.starts_with("client ") ? line.starts_with("client 0:") : system;
            if (line.starts_with("    ") && !system) {  // "    0 'VirMIDI 0-0     '"
                const std::string name = line.substr(line.find('\'') + 1);
                alsa.emplace(name.substr(0, name.find_last_not_of("' ") + 1), output);
            }
        }
    }
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        const auto info = MidiLibrary::DeviceInfo(id);
        listed.emplace(info->Name, info->HasOutput);
    }
    EXPECT_EQ(listed, alsa);
    EXPECT_EQ(listed.size(), 10u);
}

TEST_F(RealMidi, ControlChangeAndSysExArriveByteExactAndRefusedBlocksNot) {
    RawReader reader(0);
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("VirMIDI 0-0"), 10000, 1), 0);
    EXPECT_EQ(WriteCc(stream, 0xB0, 0x07, 0x7F), 0);
    EXPECT_EQ(stream.WriteSysEx(0, Bytes{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7, 0xF0, 0xF7}, 0), 0);
    for (const Bytes& refused : {Bytes{0xF0, 0x41, 0x90, 0x42, 0xF7}, Bytes{0xF0, 0x7E},
                                 Bytes{0x7E, 0xF7}, Bytes{0xF0, 0x01, 0xF7, 0x02}}) {
        EXPECT_EQ(stream.WriteSysEx(0, refused, 0), midi::kBadData);
    }
    EXPECT_EQ(WriteCc(stream, 0xBF, 0x00, 0x00), 0);
    EXPECT_EQ(reader.Bytes(15, 1s), "B0 07 7F F0 7E 7F 06 01 F7 F0 F7 BF 00 00");
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
    std::string expected = "F0";
    for (std::size_t i = 1; i < block.size(); ++i) {
        expected += i == 1000 ? " 01" : i + 1 == block.size() ? " F7" : " 55";
    }
    EXPECT_EQ(receiver.Bytes(block.size(), 30s), expected);
}

TEST_F(RealMidi, ReopeningAndRescanningDropNothingWritten) {
    RawReader first(1), second(2);
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("VirMIDI 0-1"), 10000, 100), 0);
    WriteCc(stream, 0xB0, 1, 1);
    stream.OpenOutput(*OutputNamed("VirMIDI 0-1"), 10000, 1);  // a rescan, and a new latency
    WriteCc(stream, 0xB1, 1, 2);  // another status: the raw device would use running status
    stream.OpenOutput(*OutputNamed("VirMIDI 0-2"), 10000, 100);
    WriteCc(stream, 0xB0, 2, 1);
    MidiLibrary::ReInitialize();  // right after a write
    EXPECT_EQ(first.Bytes(6), "B0 01 01 B1 01 02");
    EXPECT_EQ(second.Bytes(3), "B0 02 01");
}

TEST_F(RealMidi, QuittingRightAfterAWriteDropsNothing) {
    RawReader reader(3);
    const Beside writer({KELVANE_WRITER, "VirMIDI 0-3"});
    EXPECT_EQ(reader.Bytes(3, 2s), "B0 15 2A");
}

TEST_F(RealMidi, WritingAfterTheTargetVanishedFailsCleanly) {
    RawReader reader(0);
    auto gone = std::make_unique<Beside>(std::vector<std::string>{"aseqdump"});
    ASSERT_TRUE(WaitFor("/proc/asound/seq/clients", "aseqdump"));
    MidiStream stream;
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("aseqdump"), 10000, 1), 0);
    gone.reset();
    WriteCc(stream, 0xB0, 3, 3);  // may fail or be lost; must not crash
    stream.WriteSysEx(0, Bytes{0xF0, 0x01, 0xF7}, 0);
    ASSERT_EQ(stream.OpenOutput(*OutputNamed("VirMIDI 0-0"), 10000, 1), 0);
    EXPECT_EQ(WriteCc(stream, 0xB0, 4, 4), 0);
    EXPECT_EQ(reader.Bytes(3), "B0 04 04");
}

// The command line, as a script would run it: what reaches the port, or nothing and why.
struct Ran {
    int status = -1;
    std::string out, err;
};

Ran Kelvane(std::vector<std::string> arguments, const std::string& input) {
    const std::string out = "/tmp/kelvane-" + std::to_string(getpid()), err = out + ".err";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    arguments.insert(arguments.begin(), KELVANE_PROGRAM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0) {
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&files);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

TEST_F(RealMidi, CommandLineSendsExactlyWhatItSaysOrNothing) {
    RawReader reader(2), other(3);
    const std::string number = std::to_string(*OutputNamed("VirMIDI 0-2")), syx = "/tmp/k.syx";
    std::string input, rows;
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        const auto info = MidiLibrary::DeviceInfo(id);
        input = info->HasOutput ? input : std::to_string(id);
        rows += midi::DeviceRowText(id, *info).toStdString() + "\n";
    }
    std::ofstream(syx) << "\xF0\x41\x10\xF7\xF0\xF7";
    const struct {
        std::vector<std::string> arguments;
        std::string bytes;  // what reaches the port
        int status;
        std::string err;  // part of standard error
    } cases[] = {
        {{"--to", "virmidi 0-2", "--cc", "7", "1", "100"}, "B0 07 64", 0, ""},
        {{"--to", number, "--hex", "f0 7e 7f 06 01 f7", "--dec", "240 1 247", "--cc", "0", "16",
          "127"},
         "F0 7E 7F 06 01 F7 F0 01 F7 BF 00 7F",
         0,
         ""},
        {{"--to", "#" + number, "--syx", syx, "--rate", "0"}, "F0 41 10 F7 F0 F7", 0, ""},
        {{"--syx", "-", "--to", "0-2"}, "F0 41 10 F7 F0 F7", 0, ""},
        {{"--to", number, "--cc", "7", "1", "100", "--hex", "F0 41"}, "", 2, "--hex F0 41: "},
        {{"--to", "virmidi", "--cc", "7", "1", "1"}, "", 2, "more than one output:\n#"},
        {{"--to", input, "--cc", "7", "1", "1"}, "", 2, "is not an output"},
        {{"--to", "no such synth", "--cc", "7", "1", "1"}, "", 1, "no MIDI output"},
    };
    std::string before;
    for (const auto& [arguments, bytes, status, err] : cases) {
        const Ran ran = Kelvane(arguments, arguments[1] == "-" ? syx : "/dev/null");
        const std::string all = reader.Bytes((before.size() + bytes.size() + 2) / 3, 2s);
        EXPECT_EQ(ran.status, status) << arguments[1] << ": " << ran.err;
        EXPECT_NE(ran.err.find(err), std::string::npos) << ran.err;
        EXPECT_EQ(all.substr(std::min(all.size(), before.size() + !before.empty())), bytes)
            << arguments[1];
        before = all;
    }
    EXPECT_EQ(other.Output(), "");
    EXPECT_EQ(Kelvane({"--list"}, "/dev/null").out, rows);
}

// The window's own paths, offscreen.
TEST(RealWindow, SendPathsArriveByteExactAndRescanSeesClientsComeAndGo) {
    QStringList messages;
    SetMsgBoxHook([&messages](const QString& text) { messages.append(text); });
    RawReader reader(1);
    Window1 window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto choose = [&window](const QString& name) {
        const int row = window.PopupMenu1().findText(name, Qt::MatchContains);
        window.PopupMenu1().setCurrentIndex(row);
        emit window.PopupMenu1().activated(row);
        return row;
    };
    EXPECT_GE(choose(QStringLiteral("to VirMIDI 0-1")), 0);
    window.ComboBox1().setEditText(QStringLiteral("2"));
    window.Slider1().setValue(64);
    window.SendCC().click();
    window.SysExField().setFocus();
    QTest::keyClicks(&window.SysExField(), "240 126 127 6 1 247");
    window.SendSysEx().click();
    window.SysExFieldHex().setText(QStringLiteral("f0 41 10 f7"));
    window.SendSysExHex().click();
    EXPECT_EQ(reader.Bytes(13), "B1 07 40 F0 7E 7F 06 01 F7 F0 41 10 F7");

    auto late = std::make_unique<Beside>(std::vector<std::string>{"aseqdump"});
    ASSERT_TRUE(WaitFor("/proc/asound/seq/clients", "aseqdump"));
    window.PushButtonSearch().click();
    EXPECT_GE(choose(QStringLiteral("to aseqdump")), 0);
    late.reset();
    window.PushButtonSearch().click();
    EXPECT_LT(choose(QStringLiteral("aseqdump")), 0);
    EXPECT_TRUE(messages.isEmpty());
    SetMsgBoxHook({});
}

}  // namespace
}  // namespace kelvane::system

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
