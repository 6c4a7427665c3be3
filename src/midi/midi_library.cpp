#include "midi/midi_library.h"

#include <algorithm>

#include "midi/midi_error.h"
#include "midi/midi_stream.h"
#include "midi/port_context.h"

namespace kelvane::midi {

MidiLibrary::MidiLibrary() { PortContext::Instance().Ready(); }

std::int64_t MidiLibrary::CountDevices() { return PortContext::Instance().Ready().CountDevices(); }

std::optional<MidiDeviceInfo> MidiLibrary::DeviceInfo(std::int64_t deviceId) {
    Backend& backend = PortContext::Instance().Ready();
    if (deviceId < 0 || deviceId >= backend.CountDevices()) {
        return std::nullopt;
    }
    return backend.DeviceInfo(static_cast<int>(deviceId));
}

int MidiLibrary::ReInitialize() {
    PortContext& context = PortContext::Instance();
    context.Ready();
    for (MidiStream* stream : context.Streams()) {
        stream->Close();
    }
    context.CloseHeld();
    const int error = context.Restart();
    return error == kNoError && !context.ServiceProblem().empty() ? kHostError : error;
}

QString MidiLibrary::ServiceProblem() {
    return QString::fromStdString(PortContext::Instance().ServiceProblem());
}

bool MidiLibrary::DevicesUnchecked() { return PortContext::Instance().Ready().DevicesUnchecked(); }

std::int64_t MidiLibrary::MsUntilOutputLeft() {
    PortContext& context = PortContext::Instance();
    std::int64_t last = context.HeldDueMs();
    for (const MidiStream* stream : context.Streams()) {
        if (stream->IsOpen()) {
            last = std::max(last, stream->DrainedAtMs());
        }
    }
    return std::max<std::int64_t>(last - context.Ready().NowMs(), 0);
}

std::int64_t MidiLibrary::NowMs() { return PortContext::Instance().Ready().NowMs(); }

void MidiLibrary::SleepMs(std::int64_t ms) {
    if (ms > 0) {
        PortContext::Instance().Ready().SleepMs(ms);
    }
}

QString ErrorText(int error) {
    return QString::fromStdString(PortContext::Instance().Ready().ErrorText(error));
}

}  // namespace kelvane::midi
