// The kelvane command line against a real ALSA sequencer: what arrives, what is refused, and what
// it lists. Runs inside the test VM with the other system tests.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "midi/device_rows.h"
#include "midi/midi_library.h"
#include "receiver.h"

extern char** environ;

namespace kelvane::system {
namespace {

using namespace std::chrono_literals;

struct Ran {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

Ran Kelvane(std::vector<std::string> arguments, const std::string& input = "/dev/null") {
    const std::string out = std::string(std::getenv("TMPDIR")) + "/kelvane-cli.out";
    const std::string err = out + ".err";
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
    Ran ran;
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0) {
        waitpid(pid, &ran.status, 0);
    }
    posix_spawn_file_actions_destroy(&files);
    ran.status = WIFEXITED(ran.status) ? WEXITSTATUS(ran.status) : -1;
    return {ran.status, Slurp(out), Slurp(err)};
}

TEST(CommandLine, SendsExactlyWhatItSaysOrNothing) {
    Receiver receiver("kelvane-cli");
    Receiver twin("kelvane-cli-twin");
    midi::MidiLibrary::ReInitialize();
    std::string number, input, rows;
    for (std::int64_t id = 0; id < midi::MidiLibrary::CountDevices(); ++id) {
        const auto info = midi::MidiLibrary::DeviceInfo(id);
        number = info->HasOutput && info->Name == "kelvane-cli" ? std::to_string(id) : number;
        input = info->HasOutput ? input : std::to_string(id);
        rows += midi::DeviceRowText(id, *info).toStdString() + "\n";
    }
    const std::string syx = std::string(std::getenv("TMPDIR")) + "/kelvane-cli.syx";
    std::ofstream(syx) << "\xF0\x41\x10\xF7\xF0\xF7";
    const struct {
        std::vector<std::string> arguments;
        std::string bytes;  // new at the receiver
        int status;
        std::string err;  // part of standard error
    } cases[] = {
        {{"--to", "kelvane-cli", "--cc", "7", "1", "100"}, "B0 07 64", 0, ""},
        {{"--to", number, "--hex", "f0 7e 7f 06 01 f7", "--dec", "240 1 247", "--cc", "0", "16",
          "127"},
         "F0 7E 7F 06 01 F7 F0 01 F7 BF 00 7F",
         0,
         ""},
        {{"--to", "#" + number, "--syx", syx, "--rate", "0"}, "F0 41 10 F7 F0 F7", 0, ""},
        {{"--syx", "-", "--to", "KELVANE-CLI"}, "F0 41 10 F7 F0 F7", 0, ""},
        {{"--to", "kelvane-cli", "--cc", "7", "1", "100", "--hex", "F0 41"}, "", 2, "--hex F0 41"},
        {{"--to", "kelvane-cli", "--cc", "7", "17", "1"}, "", 2, "CC channel are 1 to 16 only."},
        {{"--to", "kelvane-cli", "--dec", "12"}, "", 2, "Not enough SysEx data"},
        {{"--to", "cli", "--cc", "7", "1", "1"}, "", 2, "names more than one output:\n#"},
        {{"--to", input, "--cc", "7", "1", "1"}, "", 2, "is not an output"},
        {{"--to", "no such synth", "--cc", "7", "1", "1"}, "", 1, "no MIDI output"},
        {{"--cc", "7", "1"}, "", 2, "needs three values"},
    };
    std::string before;
    for (const auto& [arguments, bytes, status, err] : cases) {
        const Ran ran = Kelvane(arguments, arguments[1] == "-" ? syx : "/dev/null");
        // The receiver records in a process of its own: give it a moment to catch up.
        const std::string all = receiver.WaitForBytes((before.size() + bytes.size() + 2) / 3, 2s);
        EXPECT_EQ(ran.status, status) << arguments[1] << ": " << ran.err;
        EXPECT_NE(ran.err.find(err), std::string::npos) << ran.err;
        EXPECT_EQ(all.substr(std::min(all.size(), before.size() + !before.empty())), bytes)
            << arguments[1];
        EXPECT_EQ(twin.Bytes(), "");
        before = all;
    }
    EXPECT_EQ(Kelvane({"--list"}).out, rows);
}

}  // namespace
}  // namespace kelvane::system
