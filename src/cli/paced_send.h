#pragma once

#include <QTextStream>

#include "cli/pauses.h"
#include "midi/midi_stream.h"
#include "midi/paced_sysex.h"

namespace kelvane::cli {

// Sends the messages at the stream's pace, showing how far it is on progress if any, and
// returns once the last one has been handed over, with its result and how much went.
midi::SendProgress SendPaced(midi::MidiStream& stream, midi::SysExBlock messages,
                             QTextStream* progress, Pauses& pauses);

}  // namespace kelvane::cli
