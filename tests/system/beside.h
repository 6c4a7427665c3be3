#pragma once

// What the system tests run beside themselves to see what arrives: any command whose output they
// read, amidi on a VirMIDI raw device, our receiver.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kelvane::system {

inline constexpr std::chrono::milliseconds kPoll(20);

inline std::string Slurp(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Waits up to five seconds for the file to hold the text.
inline bool WaitFor(const std::string& path, const std::string& text) {
    for (int i = 0; i < 250 && Slurp(path).find(text) == std::string::npos; ++i) {
        std::this_thread::sleep_for(kPoll);
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
    std::string Bytes(std::size_t count,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        std::string digits;
        do {
            std::this_thread::sleep_for(kPoll);
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

// A command reading VirMIDI 0-<device>'s raw device, which passes nothing on until it is open:
// amidi printing what reaches the port, or pv draining it at MIDI cable speed, 3000 bytes/s.
struct RawReader : Beside {
    explicit RawReader(int device, bool slow = false)
        : Beside(slow ? std::vector<std::string>{"pv", "-q", "-L", "3000", "-B", "64",
                                                 "/dev/snd/midiC0D" + std::to_string(device)}
                      : std::vector<std::string>{"amidi", "-p", "hw:0," + std::to_string(device),
                                                 "-d"}) {
        EXPECT_TRUE(WaitFor("/proc/asound/card0/midi" + std::to_string(device), "Owner PID"));
    }
    // The raw bytes, once atLeast have come or ten seconds have passed.
    std::string Received(std::size_t atLeast) const {
        for (int i = 0; i < 500 && Output().size() < atLeast; ++i) {
            std::this_thread::sleep_for(kPoll);
        }
        return Output();
    }
};

// What our receiver gets from a port, with the largest input pool or the one given (0: ALSA's
// default).
struct Receiver : Beside {
    Receiver(const std::string& name, const std::string& source, const std::string& pool = "2000")
        : Beside({KELVANE_RECEIVER, name, source, pool}) {
        EXPECT_TRUE(WaitFor("/proc/asound/seq/clients", '"' + name + '"'));
    }
};

}  // namespace kelvane::system
