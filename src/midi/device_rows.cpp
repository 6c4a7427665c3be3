#include "midi/device_rows.h"

#include <algorithm>

#include "text/number_text.h"

namespace kelvane::midi {

std::vector<MidiDeviceInfo> Devices() {
    std::vector<MidiDeviceInfo> devices;
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        devices.push_back(MidiLibrary::DeviceInfo(id).value_or(MidiDeviceInfo{}));
    }
    return devices;
}

QString DeviceRowText(std::int64_t deviceId, const MidiDeviceInfo& info) {
    const QString name = QString::fromUtf8(info.Name);
    const QString prefix = QLatin1Char('#') + Str(deviceId);
    return info.HasOutput ? prefix + QStringLiteral(": to ") + name
                          : prefix + QStringLiteral(": (") + name + QLatin1Char(')');
}

QString DeviceRowText(std::int64_t deviceId) {
    const auto info = MidiLibrary::DeviceInfo(deviceId);
    return info ? DeviceRowText(deviceId, *info) : QString();
}

std::int64_t StartRow(std::span<const MidiDeviceInfo> rows) {
    const auto withOutput = std::find_if(rows.rbegin(), rows.rend(),
                                         [](const MidiDeviceInfo& info) { return info.HasOutput; });
    const auto last = withOutput != rows.rend() ? withOutput : rows.rbegin();
    return static_cast<std::int64_t>(rows.rend() - last) - 1;
}

}  // namespace kelvane::midi
