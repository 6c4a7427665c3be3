#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "receiver.h"

extern char** environ;

namespace kelvane::system {

std::string Hex(const std::vector<unsigned char>& bytes) {
    std::string out;
    char piece[4];
    for (const unsigned char byte : bytes) {
        std::snprintf(piece, sizeof piece, out.empty() ? "%02X" : " %02X", byte);
        out += piece;
    }
    return out;
}

Receiver::Receiver(const std::string& name, const std::string& source) {
    static int serial = 0;
    const char* dir = std::getenv("TMPDIR");
    output_ = std::string(dir ? dir : "/tmp") + "/receiver-" + std::to_string(getpid()) + "-" +
              std::to_string(++serial) + ".txt";

    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> args = {KELVANE_RECEIVER, name, output_};
    if (!source.empty()) {
        args.push_back(source);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int spawned =
        posix_spawn(&pid_, KELVANE_RECEIVER, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start the receiver");
    }
    FILE* ready = fdopen(pipeFds[0], "r");
    char line[64] = {};
    const bool gotAddress = std::fgets(line, sizeof line, ready) != nullptr;
    std::fclose(ready);
    if (!gotAddress) {
        Stop();
        throw std::runtime_error("the receiver did not start");
    }
    address_ = std::string(line, std::string(line).find('\n'));
}

Receiver::~Receiver() {
    Stop();
    std::remove(output_.c_str());
}

void Receiver::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

std::vector<Arrival> Receiver::Arrivals() const {
    std::vector<Arrival> arrivals;
    std::ifstream in(output_);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Arrival arrival;
        fields >> arrival.ns;
        std::string byte;
        while (fields >> byte) {
            arrival.bytes.push_back(static_cast<unsigned char>(std::stoi(byte, nullptr, 16)));
        }
        arrivals.push_back(std::move(arrival));
    }
    return arrivals;
}

std::string Receiver::Bytes() const {
    std::vector<unsigned char> all;
    for (const Arrival& arrival : Arrivals()) {
        all.insert(all.end(), arrival.bytes.begin(), arrival.bytes.end());
    }
    return Hex(all);
}

std::string Receiver::WaitForBytes(std::size_t count, std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    std::string bytes = Bytes();
    // "XX" and " XX" per byte.
    while ((bytes.empty() ? 0 : (bytes.size() + 1) / 3) < count &&
           std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        bytes = Bytes();
    }
    return bytes;
}

}  // namespace kelvane::system
