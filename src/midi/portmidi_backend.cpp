#include "midi/portmidi_backend.h"

#include <portmidi.h>
#include <porttime.h>

#include <chrono>
#include <thread>

#include "midi/midi_error.h"

namespace kelvane::midi {

static_assert(kHostError == pmHostError && kInvalidDeviceId == pmInvalidDeviceId &&
              kInsufficientMemory == pmInsufficientMemory && kBufferTooSmall == pmBufferTooSmall &&
              kBufferOverflow == pmBufferOverflow && kBadPtr == pmBadPtr && kBadData == pmBadData &&
              kInternalError == pmInternalError);

int PortMidiBackend::Initialize() { return Pm_Initialize(); }

int PortMidiBackend::Terminate() { return Pm_Terminate(); }

int PortMidiBackend::CountDevices() { return Pm_CountDevices(); }

std::optional<DeviceRecord> PortMidiBackend::DeviceInfo(int id) {
    const PmDeviceInfo* info = Pm_GetDeviceInfo(id);
    if (info == nullptr) {
        return std::nullopt;
    }
    // The strings belong to PortMidi and die with Pm_Terminate: copy them now.
    return DeviceRecord{info->name ? info->name : "", info->interf ? info->interf : "",
                        info->input != 0, info->output != 0};
}

int PortMidiBackend::OpenOutput(StreamHandle* stream, int id, std::int32_t bufferSize,
                                std::int32_t latency) {
    // Latency scheduling runs on PortTime, which must be started before the first open.
    if (!Pt_Started()) {
        Pt_Start(1, nullptr, nullptr);
    }
    PortMidiStream* opened = nullptr;
    const PmError error =
        Pm_OpenOutput(&opened, id, nullptr, bufferSize, nullptr, nullptr, latency);
    if (error == pmNoError) {
        *stream = opened;
    }
    return error;
}

int PortMidiBackend::Close(StreamHandle stream) { return Pm_Close(stream); }

int PortMidiBackend::WriteShort(StreamHandle stream, std::int32_t when, std::int32_t message) {
    return Pm_WriteShort(stream, when, message);
}

int PortMidiBackend::WriteSysEx(StreamHandle stream, std::int32_t when,
                                std::span<const std::uint8_t> message) {
    // Pm_WriteSysEx only reads, up to the first F7, which the caller guarantees ends the span.
    return Pm_WriteSysEx(stream, when, const_cast<unsigned char*>(message.data()));
}

std::int64_t PortMidiBackend::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PortMidiBackend::SleepMs(std::int64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace kelvane::midi
