#pragma once

#include <QTextStream>
#include <cstdint>
#include <vector>

#include "cli/arguments.h"
#include "cli/pauses.h"
#include "midi/midi_stream.h"

namespace kelvane::cli {

// Sends messages in order on stream, open on deviceId and new, each at the stream's pace, and
// returns the exit status once the port has taken the last byte, as the pace sees it, or once
// something went wrong; err gets what went wrong, and progress, if any, how far a long send is.
// Every wait is one of pauses: the first stop signal stops after the message going out and the port
// has taken it, a second stops at once.
int SendPlan(midi::MidiStream& stream, std::int64_t deviceId, std::vector<Message> messages,
             QTextStream& err, QTextStream* progress, Pauses& pauses);

}  // namespace kelvane::cli
