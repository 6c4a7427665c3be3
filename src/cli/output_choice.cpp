#include "cli/output_choice.h"

#include <QRegularExpression>
#include <QStringList>

#include "cli/arguments.h"
#include "midi/device_rows.h"

namespace kelvane::cli {
namespace {

OutputChoice Refused(int status, const QString& problem) { return {-1, status, problem}; }

OutputChoice ByNumber(std::span<const midi::MidiDeviceInfo> devices, const QString& to,
                      const QString& digits) {
    bool fits = false;
    const qlonglong id = digits.toLongLong(&fits);
    if (!fits || id >= static_cast<qlonglong>(devices.size())) {
        return Refused(kMidiFailed,
                       QStringLiteral("--to %1: there is no MIDI device #%2").arg(to, digits));
    }
    const midi::MidiDeviceInfo& device = devices[static_cast<std::size_t>(id)];
    if (!device.HasOutput) {
        return Refused(kRefused, QStringLiteral("--to %1: %2 is not an output")
                                     .arg(to, midi::DeviceRowText(id, device)));
    }
    return {id, kSent, {}};
}

OutputChoice ByName(std::span<const midi::MidiDeviceInfo> devices, const QString& to) {
    std::vector<std::int64_t> whole;
    std::vector<std::int64_t> parts;
    for (std::size_t id = 0; id < devices.size(); ++id) {
        const QString name = QString::fromUtf8(devices[id].Name);
        if (!devices[id].HasOutput || !name.contains(to, Qt::CaseInsensitive)) {
            continue;
        }
        (name.compare(to, Qt::CaseInsensitive) == 0 ? whole : parts)
            .push_back(static_cast<std::int64_t>(id));
    }
    const std::vector<std::int64_t>& matches = whole.empty() ? parts : whole;
    if (matches.empty()) {
        return Refused(kMidiFailed, QStringLiteral("--to %1: no MIDI output is named so").arg(to));
    }
    if (matches.size() > 1) {
        QString rows;
        for (const std::int64_t id : matches) {
            rows += u'\n' + midi::DeviceRowText(id, devices[static_cast<std::size_t>(id)]);
        }
        return Refused(kRefused,
                       QStringLiteral("--to %1 names more than one output:").arg(to) + rows);
    }
    return {matches.front(), kSent, {}};
}

}  // namespace

OutputChoice ChooseOutput(std::span<const midi::MidiDeviceInfo> devices,
                          const std::optional<QString>& to) {
    if (!to) {
        const std::int64_t row = midi::StartRow(devices);
        if (row < 0 || !devices[static_cast<std::size_t>(row)].HasOutput) {
            return Refused(kMidiFailed, QStringLiteral("there is no MIDI output to send to"));
        }
        return {row, kSent, {}};
    }
    if (to->isEmpty()) {
        return Refused(kRefused, QStringLiteral("--to needs a device number or name"));
    }
    static const QRegularExpression number(QStringLiteral("^#?([0-9]+)$"));
    const QRegularExpressionMatch match = number.match(*to);
    return match.hasMatch() ? ByNumber(devices, *to, match.captured(1)) : ByName(devices, *to);
}

}  // namespace kelvane::cli
