#pragma once

#include <QString>

#include "midi/midi_stream.h"
#include "text/memory_block.h"

namespace kelvane::cli {

// Sends the SysEx messages of block at the stream's pace and returns when the last one has been
// handed over: 0 or the PortMidi error that stopped it. When standard error is a terminal, it
// shows how far the send is while it takes time. A message too long to be paced is said there
// before it goes, named by argument.
int SendPaced(midi::MidiStream& stream, const MemoryBlock& block, const QString& argument);

}  // namespace kelvane::cli
