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
    auto record = backend.DeviceInfo(static_cast<int>(deviceId));
    if (!record) {
        return std::nullopt;
    }
    return MidiDeviceInfo{std::move(record->name), std::move(record->interfaceName),
                          record->hasInput, record->hasOutput};
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
    const std::string& problem = PortContext::Instance().ServiceProblem();
    return problem.empty()
               ? QString()
               : QStringLiteral("No MIDI service: ") + QString::fromStdString(problem) + u'.';
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
    if (error == kDeviceGone) {
        return QStringLiteral("The device is gone; Search MIDI lists the devices anew.");
    }
    return QString::fromStdString(PortContext::Instance().Ready().ErrorText(error));
}

}  // namespace kelvane::midi
