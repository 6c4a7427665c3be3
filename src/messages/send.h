#pragma once

#include <cstdint>

#include "messages/control_change.h"
#include "midi/midi_stream.h"
#include "midi/paced_sender.h"
#include "text/memory_block.h"

namespace kelvane {

// Writes the message to the stream as it is aimed now; the result is PortMidi's.
int SendControlChange(midi::MidiStream& stream, const ControlChange& message);

// Aims the stream at deviceId for sending and prepares the block's paced send, not started yet.
midi::PacedSender* PrepareSysExSend(midi::MidiStream& stream, std::int64_t deviceId,
                                    const MemoryBlock& block, QObject* parent);

}  // namespace kelvane
