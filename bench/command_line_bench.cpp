// Process start to exit of "kelvane --to N --cc 7 1 100" against the floor program, which sends
// the same message with nothing around PortMidi. Runs in the test VM (a real ALSA sequencer):
//   tests/system/vm/run-in-vm -- build/bench/kelvane_command_line_bench [runs]
// The two alternate, so that a busy host slows both alike; the medians are compared.
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "midi/midi_library.h"

extern char** environ;

namespace {

double RunMs(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || status != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", argv[0], status);
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 40;
    std::string device;
    for (std::int64_t id = 0; id < kelvane::midi::MidiLibrary::CountDevices(); ++id) {
        const auto info = kelvane::midi::MidiLibrary::DeviceInfo(id);
        if (info && info->HasOutput && info->Name == "Midi Through Port-0") {
            device = std::to_string(id);
        }
    }
    if (device.empty()) {
        std::fprintf(stderr, "no Midi Through output: run this in the test VM\n");
        return 1;
    }
    const std::vector<std::string> kelvane = {
        KELVANE_PROGRAM, "--to", device, "--cc", "7", "1", "100"};
    const std::vector<std::string> floor = {KELVANE_FLOOR, device};
    const std::vector<std::string> qtFloor = {KELVANE_QT_FLOOR, device};
    std::vector<double> kelvaneMs;
    std::vector<double> floorMs;
    std::vector<double> qtFloorMs;
    for (int run = -3; run < runs; ++run) {  // three rounds to warm the caches
        const double k = RunMs(kelvane);
        const double f = RunMs(floor);
        const double q = RunMs(qtFloor);
        if (run >= 0) {
            kelvaneMs.push_back(k);
            floorMs.push_back(f);
            qtFloorMs.push_back(q);
        }
    }
    std::printf("medians of %d runs each, alternating:\n", runs);
    std::printf("  kelvane --to %s --cc 7 1 100  %7.1f ms\n", device.c_str(), Median(kelvaneMs));
    std::printf("  PortMidi alone                %7.1f ms\n", Median(floorMs));
    std::printf("  PortMidi in a QCoreApplication %6.1f ms\n", Median(qtFloorMs));
    const double ratio = Median(kelvaneMs) / Median(floorMs);
    std::printf("kelvane / PortMidi alone: %.2f (target 1.30) %s\n", ratio,
                ratio <= 1.3 ? "ok" : "OVER");
    std::printf("kelvane / PortMidi in a QCoreApplication: %.2f\n",
                Median(kelvaneMs) / Median(qtFloorMs));
    return 0;
}
