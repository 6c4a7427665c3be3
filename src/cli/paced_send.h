#pragma once

#include "midi/midi_stream.h"
#include "midi/paced_sysex.h"

namespace kelvane::cli {

// Sends the messages at the stream's pace and returns when the last one has been
// handed over, with its result and how much went. When standard error is a terminal, it shows
// how far the send is while it takes time.
midi::SendProgress SendPaced(midi::MidiStream& stream, midi::SysExBlock messages);

}  // namespace kelvane::cli
