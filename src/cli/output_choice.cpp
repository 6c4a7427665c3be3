#include "cli/output_choice.h"

#include <QRegularExpression>
#include <QStringList>

#include "cli/arguments.h"
#include "midi/device_rows.h"

namespace kelvane::cli {
namespace {

OutputChoice Refused(int status, const QString& problem) {
    return {.status = status, .problem = problem};
}

// One line for each device, each after a line break.
QString Rows(std::span<const midi::MidiDeviceInfo> devices, const std::vector<std::int64_t>& ids) {
    QString rows;
    for (const std::int64_t id : ids) {
        rows += u'\n' + midi::DeviceRowText(id, devices[static_cast<std::size_t>(id)]);
    }
    return rows;
}

OutputChoice ByNumber(std::span<const midi::MidiDeviceInfo> devices, const QString& to,
                      const QString& digits) {
    bool fits = false;
    const qlonglong id = digits.toLongLong(&fits);
    if (!fits || id >= static_cast<qlonglong>(devices.size())) {
        return Refused(kMidiFailed,
                       QStringLiteral("--to %1: there is no MIDI device #%2").arg(to, digits));
    }
    if (!devices[static_cast<std::size_t>(id)].HasOutput) {
        return Refused(kRefused,
                       QStringLiteral("--to %1 is not an output:").arg(to) + Rows(devices, {id}));
    }
    return {id, kSent, {}};
}

// The devices with or without an output whose names contain to; whole names win over parts.
std::vector<std::int64_t> Named(std::span<const midi::MidiDeviceInfo> devices, const QString& to,
                                bool withOutput) {
    std::vector<std::int64_t> whole;
    std::vector<std::int64_t> parts;
    for (std::size_t id = 0; id < devices.size(); ++id) {
        const QString name = QString::fromUtf8(devices[id].Name);
        if (devices[id].HasOutput != withOutput || !name.contains(to, Qt::CaseInsensitive)) {
            continue;
        }
        (name.compare(to, Qt::CaseInsensitive) == 0 ? whole : parts)
            .push_back(static_cast<std::int64_t>(id));
    }
    return whole.empty() ? parts : whole;
}

// Outputs first; a name that only devices without an output carry is the same mistake as their
// number.
OutputChoice ByName(std::span<const midi::MidiDeviceInfo> devices, const QString& to) {
    const std::vector<std::int64_t> matches = Named(devices, to, true);
    if (matches.empty()) {
        const std::vector<std::int64_t> others = Named(devices, to, false);
        if (others.empty()) {
            return Refused(kMidiFailed,
                           QStringLiteral("--to %1: no MIDI output is named so").arg(to));
        }
        return Refused(kRefused,
                       QStringLiteral("--to %1 is not an output:").arg(to) + Rows(devices, others));
    }
    if (matches.size() > 1) {
        return Refused(kRefused, QStringLiteral("--to %1 names more than one output:").arg(to) +
                                     Rows(devices, matches));
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
