#pragma once

#include <QTextStream>
#include <cstdint>
#include <memory>
#include <span>

#include "cli/arguments.h"
#include "cli/pauses.h"
#include "messages/sysex_input.h"
#include "messages/syx_save.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"

namespace kelvane::cli {

// Events the MIDI service holds for the input until they are read (its largest pool): about
// 45 KiB of SysEx at once.
inline constexpr std::int64_t kInputPoolEvents = 2000;

// Receiving the SysEx that answers what is sent: the input opens before anything is sent, so
// that nothing of an answer is missed, and listening ends when the plan says.
class Receiving {
public:
    explicit Receiving(ReceivePlan plan) : plan_(std::move(plan)) {}

    // Chooses the input (the plan's, or else the input of the output's own port), makes sure the
    // file can be written, and opens the input. Returns kSent, or the status after saying why
    // on err.
    int Open(std::span<const midi::MidiDeviceInfo> devices, std::int64_t outputId,
             QTextStream& err);
    // Keeps the whole SysEx messages that arrive until the wait, the count or a stop signal ends
    // it, writes them and says what came on err. Returns the exit status.
    int Finish(QTextStream& out, QTextStream& err, Pauses& pauses);

private:
    struct Heard {
        int error = 0;   // of the input, which ended listening
        int signal = 0;  // the stop signal that ended it
    };
    // Takes what arrives into input until the wait, the count, an error or a stop signal ends it.
    Heard Listen(SysExInput& input, Pauses& pauses);
    // Writes the messages into the file, or as hex rows on out; false when the file cannot be.
    bool Keep(const SysExInput& input, QTextStream& out);

    ReceivePlan plan_;
    QString from_;  // the input as the device list shows it
    midi::MidiStream input_;
    std::unique_ptr<SyxSave> file_;  // none for standard output
};

}  // namespace kelvane::cli
