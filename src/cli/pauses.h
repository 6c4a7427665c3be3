#pragma once

#include <csignal>
#include <cstdint>

namespace kelvane::cli {

// Every wait of the command line. A wait ends early when a stop signal comes, so that the command
// line can stop where it chooses: it runs no event loop and sleeps between writes, where a signal
// handler could only set a flag.
class Pauses {
public:
    virtual ~Pauses() = default;
    // Waits ms (none for 0 or less), or until a stop signal comes or fd, when not -1, has something
    // to read. Returns the signal that came during this wait, else 0.
    virtual int Pause(std::int64_t ms, int fd = -1) = 0;
};

// The real waits: SIGINT, SIGTERM and SIGHUP are blocked while this lives and heard on a
// descriptor instead, whatever the process is doing meanwhile.
class StopSignals final : public Pauses {
public:
    StopSignals();
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int Pause(std::int64_t ms, int fd = -1) override;

private:
    int fd_ = -1;
    sigset_t previous_{};
};

// The status a shell gives a command that a signal ended.
inline int StatusAfter(int signal) { return 128 + signal; }

}  // namespace kelvane::cli
