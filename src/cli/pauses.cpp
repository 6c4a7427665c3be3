#include "cli/pauses.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

namespace kelvane::cli {
namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&set, signal);
    }
    return set;
}

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = StopSet();
    // Blocked before any other thread starts (PortMidi's timer), which inherits the mask.
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
    fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

StopSignals::~StopSignals() {
    if (fd_ >= 0) {
        close(fd_);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int StopSignals::Pause(std::int64_t ms, int fd) {
    const std::int64_t until = NowMs() + std::max<std::int64_t>(ms, 0);
    for (;;) {
        pollfd watched[] = {{fd_, POLLIN, 0}, {fd, POLLIN, 0}};
        const std::int64_t left = std::clamp<std::int64_t>(until - NowMs(), 0, INT_MAX);
        const int ready = poll(watched, fd >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready > 0 && (watched[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (read(fd_, &info, sizeof info) == sizeof info) {
                return static_cast<int>(info.ssi_signo);
            }
        }
        // A descriptor of ours that fails cannot wait: the time passes all the same.
        if (ready != 0 || left == 0 || fd_ < 0) {
            return 0;
        }
    }
}

}  // namespace kelvane::cli
