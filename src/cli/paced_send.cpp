#include "cli/paced_send.h"

#include <unistd.h>

#include <cstdio>

#include "messages/send_progress_text.h"
#include "midi/midi_library.h"

namespace kelvane::cli {

midi::SendProgress SendPaced(midi::MidiStream& stream, midi::SysExBlock messages) {
    midi::PacedSysEx send(stream, std::move(messages));
    const bool terminal = isatty(STDERR_FILENO) == 1;
    bool shown = false;
    for (;;) {
        const midi::SendProgress progress = send.Step();
        if (progress.finished) {
            if (shown) {
                std::fputc('\n', stderr);
            }
            return progress;
        }
        if (terminal) {
            std::fprintf(stderr, "\rkelvane: %s  ",
                         SendProgressText(progress).toLocal8Bit().constData());
            shown = true;
        }
        // No window waits on this: the command line may simply sleep until the next step.
        midi::MidiLibrary::SleepMs(progress.nextInMs);
    }
}

}  // namespace kelvane::cli
