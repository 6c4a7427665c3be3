#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kelvane::midi {

struct DeviceRecord {
    std::string name;
    std::string interfaceName;
    bool hasInput = false;
    bool hasOutput = false;
};

using StreamHandle = void*;

// The one seam between the port layer and PortMidi: every PortMidi call goes through it, so
// tests can put a recording stand-in in its place. Results are PortMidi error numbers.
class Backend {
public:
    virtual ~Backend() = default;

    virtual int Initialize() = 0;
    virtual int Terminate() = 0;
    virtual int CountDevices() = 0;
    virtual std::optional<DeviceRecord> DeviceInfo(int id) = 0;
    virtual int OpenOutput(StreamHandle* stream, int id, std::int32_t bufferSize,
                           std::int32_t latency) = 0;
    virtual int Close(StreamHandle stream) = 0;
    virtual int WriteShort(StreamHandle stream, std::int32_t when, std::int32_t message) = 0;
    // message is exactly one System Exclusive message: F0, data bytes, F7.
    virtual int WriteSysEx(StreamHandle stream, std::int32_t when,
                           std::span<const std::uint8_t> message) = 0;

    // PortMidi's text for error; for a host error, followed by the host's own text.
    virtual std::string ErrorText(int error) = 0;
    // Why the MIDI service itself cannot be reached, or empty when it can. PortMidi cannot tell:
    // its initialisation succeeds with no service at all.
    virtual std::string ServiceProblem() = 0;
    // Milliseconds on a monotonic clock, and a pause, so tests need not wait for real.
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(std::int64_t ms) = 0;
};

}  // namespace kelvane::midi
