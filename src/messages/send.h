#pragma once

#include <QString>
#include <cstdint>

#include "messages/checked_sysex.h"
#include "messages/control_change.h"
#include "midi/midi_stream.h"
#include "midi/paced_sender.h"
#include "text/memory_block.h"

namespace kelvane {

// What became of a send: refused before anything was written (refusal says why), failed in
// PortMidi (error, on the device of deviceId; progress says how much had gone), or sent.
struct SendResult {
    static SendResult Refused(QString why);
    // What writing to deviceId returned, 0 when it was sent.
    static SendResult Written(int error, std::int64_t deviceId,
                              const midi::SendProgress& progress = {});

    QString refusal;
    int error = 0;
    std::int64_t deviceId = -1;
    midi::SendProgress progress;

    bool Sent() const { return refusal.isEmpty() && error == 0; }
    // What the user is told, with deviceGone where the device has left; empty when sent.
    QString Text(const QString& deviceGone) const;
};

// What the user is told of a port layer error: PortMidi's own text, or deviceGone, which each
// front end words for the way it lists the devices anew.
QString ErrorText(int error, const QString& deviceGone);

// Why the MIDI service could not be reached, as the port layer found it, in a sentence.
QString NoMidiServiceText(const QString& problem);

// "12288 of 24576 bytes (1 of 2 messages) had been sent.": what the port had taken, by the pace.
QString HadBeenSent(const midi::SendProgress& progress);

// Said with the first send after the devices were listed, when the port layer cannot tell
// whether a device has left.
QString DevicesUncheckedText();

// "Nothing was sent: " and the reason, as a sentence.
QString NothingSent(const QString& reason);

// Writes the message to the stream as it is aimed now (at deviceId); a refused build is not
// written and its refusal is the result's, word for word.
SendResult SendControlChange(midi::MidiStream& stream, std::int64_t deviceId,
                             const ControlChangeBuild& built);

// A SysEx send made ready: refused or failed (result says why, and there is no sender), or the
// paced send of the bytes, not started, owned by the parent given.
struct PreparedSysEx {
    SendResult result;
    midi::PacedSender* sender = nullptr;
};

// Aims the stream at deviceId for sending a row's messages from the first; their problem refuses
// them before the stream is touched.
PreparedSysEx PrepareSysExRow(midi::MidiStream& stream, std::int64_t deviceId, CheckedSysEx row,
                              QObject& parent);

}  // namespace kelvane
