#pragma once

#include <string>
#include <vector>

#include "midi/backend.h"

namespace kelvane::midi {

// The real PortMidi.
class PortMidiBackend final : public Backend {
public:
    PortMidiBackend() = default;
    ~PortMidiBackend() override;
    PortMidiBackend(const PortMidiBackend&) = delete;
    PortMidiBackend& operator=(const PortMidiBackend&) = delete;

    int Initialize() override;
    int Terminate() override;
    int CountDevices() override;
    std::optional<DeviceRecord> DeviceInfo(int id) override;
    int OpenOutput(StreamHandle* stream, int id, std::int32_t bufferSize,
                   std::int32_t latency) override;
    int Close(StreamHandle stream) override;
    int WriteShort(StreamHandle stream, std::int32_t when, std::int32_t message) override;
    int WriteSysEx(StreamHandle stream, std::int32_t when,
                   std::span<const std::uint8_t> message) override;
    int WriteSysExParts(StreamHandle stream, std::span<const SysExPart> parts) override;
    std::int32_t TimeStamp(std::int64_t delayMs) override;
    bool DeviceGone(int id) override;
    std::string ErrorText(int error) override;
    std::string ServiceProblem() override;
    std::int64_t NowMs() override;
    void SleepMs(std::int64_t ms) override;

private:
    struct Address {
        int client;
        int port;
    };
    // Our own handle on the ALSA sequencer, opened once it can be and closed with PortMidi: 0 or
    // ALSA's error.
    int OpenSequencer();
    void CloseSequencer();
    void FindAddresses();

    std::string hostErrorText_;
    // The sequencer address of each device ID, as PortMidi numbers them; empty when that order
    // could not be matched. Looked up on a sequencer handle of our own.
    std::vector<Address> addresses_;
    void* sequencer_ = nullptr;
};

}  // namespace kelvane::midi
