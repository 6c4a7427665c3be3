#pragma once

#include <QString>
#include <cstdint>

#include "messages/control_change.h"
#include "messages/sysex_row.h"
#include "midi/midi_stream.h"
#include "text/memory_block.h"

namespace kelvane {

// What became of a send: refused before anything was written (refusal says why), failed in
// PortMidi (error, on the device of deviceId), or sent.
struct SendResult {
    QString refusal;
    int error = 0;
    std::int64_t deviceId = -1;

    bool Sent() const { return refusal.isEmpty() && error == 0; }
    // What the user is told; empty when sent.
    QString Text() const;
};

// "Nothing was sent: " and the reason, as a sentence.
QString NothingSent(const QString& reason);

// Writes the message to the stream as it is aimed now (at deviceId); a refused build is not
// written and its refusal is the result's, word for word.
SendResult SendControlChange(midi::MidiStream& stream, std::int64_t deviceId,
                             const ControlChangeBuild& built);

// Aims the stream at deviceId for sending, then writes the block from its first byte. A block
// that is not SysEx messages is refused with the SysEx check's reason, before the stream is
// touched.
SendResult SendSysExBlock(midi::MidiStream& stream, std::int64_t deviceId,
                          const MemoryBlock& block);

// The same for a row's bytes; their problem refuses them.
SendResult SendSysExRow(midi::MidiStream& stream, std::int64_t deviceId, const SysExRowBytes& row);

}  // namespace kelvane
