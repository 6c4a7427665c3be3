// Start-up to the window shown, and peak memory, of Kelvane against a bare Qt program that only
// shows an empty window of the same size, and against that window with one label. Each
// iteration starts a new process.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "ratio_reporter.h"

extern char** environ;

namespace {

std::map<std::string, double> peakKiB;

void Start(benchmark::State& state, const std::string& program) {
    long peak = 0;
    for (auto _ : state) {
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start the probe");
            return;
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the probe failed");
            return;
        }
        peak = std::max(peak, usage.ru_maxrss);
    }
    state.counters["peak_KiB"] = static_cast<double>(peak);
    peakKiB[program] = static_cast<double>(peak);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", std::getenv("DISPLAY") ? "xcb" : "offscreen", 0);
    const std::string dir = std::string(argv[0]).substr(0, std::string(argv[0]).rfind('/') + 1);
    const std::string floor = dir + "kelvane_startup_floor";
    const std::string label = dir + "kelvane_startup_label";
    const std::string kelvane = dir + "kelvane_startup_probe";
    for (const auto& [name, program] :
         {std::pair{"floor", floor}, std::pair{"label", label}, std::pair{"kelvane", kelvane}}) {
        benchmark::RegisterBenchmark(name, [program](benchmark::State& s) { Start(s, program); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(40);
    }
    auto t = kelvane::bench::RunAll(argc, argv);
    const struct {
        const char* what;
        double ratio;
    } ratios[] = {
        {"start-up / empty window", t["kelvane"] / t["floor"]},
        {"peak memory / empty window", peakKiB[kelvane] / peakKiB[floor]},
        {"start-up / window with a label", t["kelvane"] / t["label"]},
        {"peak memory / window with a label", peakKiB[kelvane] / peakKiB[label]},
    };
    std::printf("\n%-36s %8s %8s\n", "ratio", "measured", "target");
    for (const auto& [what, ratio] : ratios) {
        std::printf("%-36s %8.2f %8.2f %s\n", what, ratio, 1.2, ratio <= 1.2 ? "ok" : "OVER");
    }
    return 0;
}
