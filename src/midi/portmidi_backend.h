#pragma once

#include <map>
#include <memory>
#include <string>

#include "midi/alsa_input.h"
#include "midi/alsa_ports.h"
#include "midi/backend.h"

namespace kelvane::midi {

// The real PortMidi.
class PortMidiBackend final : public Backend {
public:
    int Initialize() override;
    int Terminate() override;
    int CountDevices() override;
    std::optional<MidiDeviceInfo> DeviceInfo(int id) override;
    int OpenOutput(StreamHandle* stream, int id, std::int32_t bufferSize,
                   std::int32_t latency) override;
    int Close(StreamHandle stream) override;
    int WriteShort(StreamHandle stream, std::int32_t when, std::int32_t message) override;
    int WriteSysEx(StreamHandle stream, std::int32_t when,
                   std::span<const std::uint8_t> message) override;
    int WriteSysExParts(StreamHandle stream, std::span<const SysExPart> parts) override;
    std::int32_t TimeStamp(std::int64_t delayMs) override;
    bool DeviceGone(int id) override { return ports_.Gone(id); }
    bool DevicesUnchecked() override { return ports_.Unmatched(); }
    std::string ErrorText(int error) override;
    std::string ServiceProblem() override;
    std::int64_t NowMs() override;
    void SleepMs(std::int64_t ms) override;

    int OpenInput(StreamHandle* stream, int id, std::int32_t bufferSize) override;
    int Read(StreamHandle stream, std::span<std::uint8_t> bytes) override;
    int InputDescriptor(StreamHandle stream) override;

private:
    std::string hostErrorText_;
    AlsaPorts ports_;

    // Input is read on sequencer clients of our own (see AlsaInput), one for each open input.
    AlsaInput* InputOf(StreamHandle stream);
    int InputError(int alsaError);
    std::map<StreamHandle, std::unique_ptr<AlsaInput>> inputs_;
};

}  // namespace kelvane::midi
