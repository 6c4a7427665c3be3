#include "cli/paced_send.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "midi/paced_sysex.h"

namespace kelvane::cli {

int SendPaced(midi::MidiStream& stream, const MemoryBlock& block, const QString& argument) {
    const auto bytes = block.Bytes();
    midi::PacedSysEx send(stream, {bytes.begin(), bytes.end()});
    if (send.HasUnpaceableMessage()) {
        std::fprintf(stderr,
                     "kelvane: %s: a message longer than %lld bytes cannot be paced; a port that "
                     "drains at MIDI speed may lose part of it\n",
                     argument.toLocal8Bit().constData(),
                     static_cast<long long>(midi::Pace::kSpreadBytes));
    }
    const bool terminal = isatty(STDERR_FILENO) == 1;
    bool shown = false;
    for (;;) {
        const midi::SendProgress progress = send.Step();
        if (progress.finished) {
            if (shown) {
                std::fputc('\n', stderr);
            }
            return progress.result;
        }
        if (terminal) {
            std::fprintf(stderr, "\rkelvane: %lld of %lld bytes sent, %lld s left  ",
                         static_cast<long long>(progress.sentBytes),
                         static_cast<long long>(progress.totalBytes),
                         static_cast<long long>((progress.msLeft + 999) / 1000));
            shown = true;
        }
        // No window waits on this: the command line may simply sleep until the next step.
        std::this_thread::sleep_for(std::chrono::milliseconds(progress.nextInMs));
    }
}

}  // namespace kelvane::cli
