#include "midi/device_rows.h"

#include "text/number_text.h"

namespace kelvane::midi {

QString DeviceRowText(std::int64_t deviceId, const MidiDeviceInfo& info) {
    const QString name = QString::fromUtf8(info.Name);
    const QString prefix = QLatin1Char('#') + Str(deviceId);
    return info.HasOutput ? prefix + QStringLiteral(": to ") + name
                          : prefix + QStringLiteral(": (") + name + QLatin1Char(')');
}

}  // namespace kelvane::midi
