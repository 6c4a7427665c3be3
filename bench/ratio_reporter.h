#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace kelvane::bench {

// Prints as usual and keeps each benchmark's mean real time, so that the ratios printed at the
// end come from this one run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }

    std::map<std::string, double> seconds;
};

// Runs the registered benchmarks and returns each one's mean real time in seconds.
inline std::map<std::string, double> RunAll(int& argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.seconds;
}

}  // namespace kelvane::bench
