#pragma once

#include <QtGlobal>
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "midi/backend.h"
#include "midi/port_context.h"

namespace kelvane::testing {

// A stand-in for PortMidi that behaves like it where the port layer depends on it (devices are
// only seen after Initialize, an open device cannot be opened again, closed handles are dead)
// and records every call: "OpenOutput 1 10000 1", "Close 1", "WriteShort 1 0 B0 07 7F",
// "WritePart 1 353 00 01 02 03" (one part of WriteSysExParts), "Sleep 26": after a stream call
// the device it is open on, then the time stamp, a delay in ms or -1 for at once.
class RecordingBackend final : public midi::Backend {
public:
    // What the MIDI service has now; the backend sees it from the next Initialize on.
    std::vector<midi::MidiDeviceInfo> devices;
    int initializeResult = 0;
    std::set<int> failingOpens;
    int goodWrites = 0;     // so many next writes succeed before...
    int failingWrites = 0;  // ...so many fail with kHostError
    std::string serviceProblem;
    std::set<int> gone;      // devices that have left the MIDI service
    bool unchecked = false;  // whether the devices' places could not be found

    std::vector<std::string> calls;
    // What PortMidi would not report: dead handles, streams left open by Terminate, a SysEx
    // that is not exactly one message.
    std::vector<std::string> misuse;
    std::int64_t nowMs = 1000;

    std::vector<std::string> Writes() const;

    int Initialize() override;
    int Terminate() override;
    int CountDevices() override { return static_cast<int>(seen_.size()); }
    std::optional<midi::MidiDeviceInfo> DeviceInfo(int id) override;
    int OpenOutput(midi::StreamHandle* stream, int id, std::int32_t bufferSize,
                   std::int32_t latency) override;
    int Close(midi::StreamHandle stream) override;
    int WriteShort(midi::StreamHandle stream, std::int32_t when, std::int32_t message) override;
    int WriteSysEx(midi::StreamHandle stream, std::int32_t when,
                   std::span<const std::uint8_t> message) override;
    int WriteSysExParts(midi::StreamHandle stream, std::span<const midi::SysExPart> parts) override;
    std::int32_t TimeStamp(std::int64_t delayMs) override {
        return static_cast<std::int32_t>(std::max<std::int64_t>(delayMs, -1));
    }
    bool DeviceGone(int id) override { return gone.contains(id); }
    bool DevicesUnchecked() override { return unchecked; }
    std::string ErrorText(int error) override { return "PortMidi error " + std::to_string(error); }
    std::string ServiceProblem() override { return serviceProblem; }
    std::int64_t NowMs() override { return nowMs; }
    void SleepMs(std::int64_t ms) override;

    // What arrives at whichever input is open, on the stand-in's clock; no bytes: input that the
    // MIDI service dropped. Reads are not recorded.
    struct Arrival {
        std::int64_t atMs;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Arrival> arrivals;
    int OpenInput(midi::StreamHandle* stream, int id, std::int32_t bufferSize) override;
    int Read(midi::StreamHandle stream, std::span<std::uint8_t> bytes) override;
    // Not a real descriptor: a wait on it lasts until the next arrival (MsUntilInput).
    int InputDescriptor(midi::StreamHandle) override { return 1000; }
    std::int64_t MsUntilInput() const;  // 0 when an arrival is due

private:
    // A handle on device id, unless it is not usable, busy or failing.
    int Open(midi::StreamHandle* stream, int id, bool usable);
    int Record(const char* call, midi::StreamHandle stream, const std::string& when,
               std::span<const std::uint8_t> bytes);

    std::vector<midi::MidiDeviceInfo> seen_;
    std::map<midi::StreamHandle, int> open_;  // handle -> device
    std::intptr_t nextHandle_ = 1;
    std::size_t arrived_ = 0;  // arrivals read whole
    std::size_t readOf_ = 0;   // bytes read of the next one
};

// A fresh stand-in in the port layer for the life of the object.
class ScopedRecordingBackend {
public:
    explicit ScopedRecordingBackend(std::vector<midi::MidiDeviceInfo> devices = {})
        : backend_(new RecordingBackend) {
        backend_->devices = std::move(devices);
        midi::PortContext::UseBackend(std::unique_ptr<RecordingBackend>(backend_));
    }
    ~ScopedRecordingBackend() { midi::PortContext::UseBackend(nullptr); }
    Q_DISABLE_COPY_MOVE(ScopedRecordingBackend)

    RecordingBackend* operator->() const { return backend_; }

private:
    RecordingBackend* backend_;
};

// " F0 7E F7": bytes as the recorded calls show them.
std::string HexBytes(std::span<const std::uint8_t> bytes);

inline midi::MidiDeviceInfo Output(const std::string& name) { return {name, "ALSA", false, true}; }
inline midi::MidiDeviceInfo Input(const std::string& name) { return {name, "ALSA", true, false}; }

}  // namespace kelvane::testing
