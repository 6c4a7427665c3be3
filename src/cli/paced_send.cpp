#include "cli/paced_send.h"

#include "cli/arguments.h"
#include "messages/send_progress_text.h"

namespace kelvane::cli {

midi::SendProgress SendPaced(midi::MidiStream& stream, midi::SysExBlock messages,
                             QTextStream* progress, Pauses& pauses) {
    midi::PacedSysEx send(stream, std::move(messages));
    bool shown = false;
    for (;;) {
        const midi::SendProgress sent = send.Step();
        if (sent.finished) {
            if (shown) {
                *progress << u'\n' << Qt::flush;
            }
            return sent;
        }
        if (progress != nullptr) {
            *progress << u'\r' << Said(SendProgressText(sent)) << "  " << Qt::flush;
            shown = true;
        }
        pauses.Pause(sent.nextInMs);
    }
}

}  // namespace kelvane::cli
