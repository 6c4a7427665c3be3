// Process start to exit of "kelvane --to N --cc 7 1 100" against the floor program, which sends
// the same message with nothing around PortMidi, and against that program in a QCoreApplication.
// Runs in the test VM (a real ALSA sequencer):
//   tests/system/vm/run-in-vm -- build/bench/kelvane_command_line_bench [rounds]
// Each round runs the three back to back, so that a busy host slows all of them alike; the
// medians of the rounds' ratios are reported, for wall time and for the CPU time they used.
// The output is found as a user finds it, with "kelvane --list": a sequencer client of the bench's
// own, left open, would be one more for every run to scan and tell its comings and goings to.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Cost {
    double wallMs = 0;
    double cpuMs = 0;
};

Cost Run(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    rusage usage{};
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 ||
        wait4(pid, &status, 0, &usage) != pid || status != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", argv[0], status);
        std::exit(1);
    }
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return {
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
        ms(usage.ru_utime) + ms(usage.ru_stime)};
}

// The number of the Midi Through output in kelvane's list, or empty.
std::string ThroughOutput() {
    std::string device;
    FILE* list = popen(KELVANE_PROGRAM " --list", "r");
    char line[256];
    while (list != nullptr && std::fgets(line, sizeof line, list) != nullptr) {
        int id = -1;
        int end = 0;
        if (std::sscanf(line, "#%d: to Midi Through Port-0%n", &id, &end) == 1 && end > 0 &&
            (line[end] == '\n' || line[end] == '\0')) {
            device = std::to_string(id);
        }
    }
    if (list != nullptr) {
        pclose(list);
    }
    return device;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 40;
    const std::string device = ThroughOutput();
    if (device.empty()) {
        std::fprintf(stderr, "no Midi Through output: run this in the test VM\n");
        return 1;
    }
    const std::vector<std::string> programs[] = {
        {KELVANE_PROGRAM, "--to", device, "--cc", "7", "1", "100"},
        {KELVANE_FLOOR, device},
        {KELVANE_QT_FLOOR, device}};
    std::vector<double> wall[3], cpu[3], wallRatio[2], cpuRatio[2];
    for (int round = -3; round < rounds; ++round) {  // three rounds to warm the caches
        Cost cost[3];
        for (int i = 0; i < 3; ++i) {
            cost[i] = Run(programs[i]);
        }
        for (int i = 0; round >= 0 && i < 3; ++i) {
            wall[i].push_back(cost[i].wallMs);
            cpu[i].push_back(cost[i].cpuMs);
            if (i > 0) {
                wallRatio[i - 1].push_back(cost[0].wallMs / cost[i].wallMs);
                cpuRatio[i - 1].push_back(cost[0].cpuMs / cost[i].cpuMs);
            }
        }
    }
    const char* names[] = {"kelvane --to N --cc 7 1 100", "PortMidi alone",
                           "PortMidi in a QCoreApplication"};
    std::printf("%d rounds; medians      wall ms   CPU ms\n", rounds);
    for (int i = 0; i < 3; ++i) {
        std::printf("  %-32s %7.1f %8.1f\n", names[i], Median(wall[i]), Median(cpu[i]));
    }
    std::printf("kelvane / PortMidi alone:        wall %.2f, CPU %.2f\n", Median(wallRatio[0]),
                Median(cpuRatio[0]));
    std::printf("kelvane / PortMidi in QCoreApp.: wall %.2f (target 1.20) %s, CPU %.2f\n",
                Median(wallRatio[1]), Median(wallRatio[1]) <= 1.2 ? "ok" : "OVER",
                Median(cpuRatio[1]));
    return 0;
}
