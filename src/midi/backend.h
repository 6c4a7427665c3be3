#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "midi/midi_device_info.h"

namespace kelvane::midi {

using StreamHandle = void*;

// Part of one SysEx message and the time stamp it leaves at (see Backend::TimeStamp).
struct SysExPart {
    std::span<const std::uint8_t> bytes;
    std::int32_t when = 0;
};

// The one seam between the port layer and PortMidi: every PortMidi call goes through it, so
// tests can put a recording stand-in in its place. Results are PortMidi error numbers.
class Backend {
public:
    virtual ~Backend() = default;

    virtual int Initialize() = 0;
    virtual int Terminate() = 0;
    virtual int CountDevices() = 0;
    virtual std::optional<MidiDeviceInfo> DeviceInfo(int id) = 0;
    virtual int OpenOutput(StreamHandle* stream, int id, std::int32_t bufferSize,
                           std::int32_t latency) = 0;
    virtual int Close(StreamHandle stream) = 0;
    virtual int WriteShort(StreamHandle stream, std::int32_t when, std::int32_t message) = 0;
    // message is exactly one System Exclusive message: F0, data bytes, F7.
    virtual int WriteSysEx(StreamHandle stream, std::int32_t when,
                           std::span<const std::uint8_t> message) = 0;
    // Consecutive parts of one SysEx message in one write, each with its own time stamp: the
    // first part of a message starts with F0, its last ends with F7, and every other part holds
    // a multiple of 4 bytes (PortMidi stamps the message's bytes four at a time).
    virtual int WriteSysExParts(StreamHandle stream, std::span<const SysExPart> parts) = 0;
    // The time stamp of delayMs from now for a stream with latency: 0 for now plus the latency,
    // and below 0 for at once, ahead of anything the latency still holds back.
    virtual std::int32_t TimeStamp(std::int64_t delayMs) = 0;
    // Whether the device of this ID, as the last initialisation saw it, has left the MIDI
    // service since. PortMidi cannot tell: its writes to such a device succeed and go nowhere, or
    // to whatever took its place.
    virtual bool DeviceGone(int id) = 0;
    // Whether the last initialisation could not tell where its devices are, so that DeviceGone
    // cannot tell either.
    virtual bool DevicesUnchecked() = 0;

    // PortMidi's text for error; for a host error, followed by the host's own text.
    virtual std::string ErrorText(int error) = 0;
    // Why the MIDI service itself cannot be reached, or empty when it can. PortMidi cannot tell:
    // its initialisation succeeds with no service at all.
    virtual std::string ServiceProblem() = 0;
    // Milliseconds on a monotonic clock, and a pause, so tests need not wait for real.
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(std::int64_t ms) = 0;

    // Input, read where nothing is lost unnoticed: PortMidi's own input ignores the MIDI
    // service's report that input was dropped.
    virtual int OpenInput(StreamHandle* stream, int id, std::int32_t bufferSize) = 0;
    // The bytes that arrived since the last read, as they came on the wire, up to bytes.size():
    // their count, or kBufferOverflow once when input was lost before them.
    virtual int Read(StreamHandle stream, std::span<std::uint8_t> bytes) = 0;
    // A descriptor that turns readable when input arrives, or -1 when there is none to wait on.
    virtual int InputDescriptor(StreamHandle stream) = 0;
};

}  // namespace kelvane::midi
