#pragma once

#include <cstdint>
#include <span>

#include "midi/backend.h"
#include "midi/midi_error.h"
#include "midi/midi_event.h"
#include "midi/pace.h"

namespace kelvane::midi {

class PortContext;

// A stream to one device at a time, closed until opened. PortMidi drops what a stream still has
// scheduled when it closes, so closing it (also destroying or re-aiming it) leaves the handle with
// the port context, which closes it once that output has gone; nothing waits for it here.
class MidiStream {
public:
    MidiStream();
    ~MidiStream();
    MidiStream(const MidiStream&) = delete;
    MidiStream& operator=(const MidiStream&) = delete;

    // Opens on deviceId. Already open there with the same settings, nothing changes; otherwise the
    // stream is closed first and stays closed when the open fails. Returns 0 or a PortMidi error.
    // While output written on deviceId is still scheduled, that handle is kept with its latency
    // (PortMidi opens a device only once); the new latency applies from the next open after.
    int OpenOutput(std::int64_t deviceId, std::int64_t bufferSize, std::int64_t latency);

    // Writes one short message. Refuses with kBadData, sending nothing, a status outside
    // 0x80-0xFF (or F0/F7, which would open or close a SysEx) and data bytes above 0x7F.
    // On a closed stream it fails with the error of the open that failed, else kBadPtr; to a
    // device that has left the MIDI service, with kDeviceGone. With latency and When 0, a
    // message that may not go yet (see DueMs) is stamped to leave when it may.
    int Write(const MidiEvent& data);

    // Writes the bytes of message from offset when they are one or more complete SysEx
    // messages back to back; anything else is refused with kBadData and nothing is sent. With
    // latency and when 0, they are stamped to leave after everything written before.
    int WriteSysEx(std::int64_t when, std::span<const std::uint8_t> message, std::int64_t offset);

    // Hands over what is due of one SysEx message longer than the pace's burst, from byte
    // handedOver on, which it advances; see sysex_feed.h. Returns 0 or an error, and in waitMs
    // when to call again, 0 once the message has been handed over whole. Until then nothing else
    // can be written: it would land inside the message. Needs latency. A failure half way drops
    // the rest of the message, also what is scheduled of it, and leaves the stream as if the
    // message had never begun.
    int FeedSysEx(std::span<const std::uint8_t> message, std::size_t& handedOver,
                  std::int64_t& waitMs);

    // kDeviceGone when the device the stream is open on has left since the devices were listed.
    int CheckDevice() const;
    // Closes at once, dropping what is still scheduled: the device may be left inside a message.
    void Abort();

    bool IsOpen() const { return handle_ != nullptr; }
    // When what was written has left PortMidi, on the backend's clock.
    std::int64_t DrainedAtMs() const { return drainedAtMs_; }
    // When a message of size bytes may go, not before nowMs: once the port has room for it and
    // everything written before has left.
    std::int64_t DueMs(std::int64_t size, std::int64_t nowMs) const;

    // The stream's one budget for what the receiving port can take in; every write counts.
    const Pace& Pacing() const { return pace_; }
    void SetPacing(const Pace& pace) { pace_ = pace; }

    void Close();

private:
    int Open(PortContext& context, std::int64_t deviceId, std::int64_t bufferSize,
             std::int64_t latency);
    // The backend, or why this stream cannot write now.
    int Writable(Backend*& backend) const;
    int ClosedError() const;
    // After a message cut short: PortMidi would still be inside it, and would send its held
    // piece later. A new handle on the same device starts afresh; closing the old one drops it.
    void Abandon();
    bool Drained() const;
    // Bytes written at nowMs that leave PortMidi delayMs later (at once for 0 or less).
    void NoteWrite(std::int64_t bytes, std::int64_t nowMs, std::int64_t delayMs);
    std::int64_t FeedDueMs(std::size_t size, std::size_t from, std::int64_t nowMs) const;

    StreamHandle handle_ = nullptr;
    std::int64_t device_ = -1;
    std::int64_t bufferSize_ = 0;
    std::int64_t latency_ = 0;
    std::int64_t drainedAtMs_ = 0;
    std::int64_t lastLeavesAtMs_ = 0;  // when the last byte written is stamped to leave
    std::size_t heldBack_ = 0;  // bytes of a message being fed that wait in alsa-lib's buffer
    bool feeding_ = false;
    // Why the stream is closed, so that a write can say so rather than just "bad pointer".
    int openError_ = kNoError;
    Pace pace_;

public:
    // Input. A stream open on an input cannot write; Close, OpenOutput and OpenInput close it.
    // Opens on the input deviceId with room for bufferSize events. Returns 0 or an error.
    int OpenInput(std::int64_t deviceId, std::int64_t bufferSize);
    // The bytes that arrived, as on the wire, up to bytes.size(): their count, or
    // kBufferOverflow once when input was lost before them.
    int Read(std::span<std::uint8_t> bytes);
    // Turns readable when input arrives; -1 when there is none to wait on.
    int InputDescriptor() const;
    bool IsInputOpen() const { return input_ != nullptr; }

private:
    void CloseInput();

    StreamHandle input_ = nullptr;
};

}  // namespace kelvane::midi
