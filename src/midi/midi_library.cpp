#include "midi/midi_library.h"

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

int MidiLibrary::ReInitialize() { return PortContext::Instance().ReInitialize(); }

QString MidiLibrary::ServiceProblem() {
    const std::string& problem = PortContext::Instance().ServiceProblem();
    return problem.empty()
               ? QString()
               : QStringLiteral("No MIDI service: ") + QString::fromStdString(problem) + u'.';
}

std::int64_t MidiLibrary::MsUntilOutputLeft() { return PortContext::Instance().MsUntilDrained(); }

std::int64_t MidiLibrary::NowMs() { return PortContext::Instance().Ready().NowMs(); }

void MidiLibrary::SleepMs(std::int64_t ms) {
    if (ms > 0) {
        PortContext::Instance().Ready().SleepMs(ms);
    }
}

}  // namespace kelvane::midi
