#include "cli/paced_send.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "messages/send_progress_text.h"
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
                     static_cast<long long>(stream.Pacing().BurstBytes()));
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
            std::fprintf(stderr, "\rkelvane: %s  ",
                         SendProgressText(progress).toLocal8Bit().constData());
            shown = true;
        }
        // No window waits on this: the command line may simply sleep until the next step.
        std::this_thread::sleep_for(std::chrono::milliseconds(progress.nextInMs));
    }
}

}  // namespace kelvane::cli
