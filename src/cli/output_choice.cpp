#include "cli/output_choice.h"

#include <QStringList>
#include <algorithm>

#include "cli/arguments.h"
#include "midi/device_rows.h"

namespace kelvane::cli {
namespace {

// What a choice is of: outputs for --to, inputs for --from.
struct Side {
    QLatin1StringView option;
    QLatin1StringView noun;
    bool midi::MidiDeviceInfo::*has;
};
constexpr Side kOutputs{QLatin1StringView("--to"), QLatin1StringView("output"),
                        &midi::MidiDeviceInfo::HasOutput};
constexpr Side kInputs{QLatin1StringView("--from"), QLatin1StringView("input"),
                       &midi::MidiDeviceInfo::HasInput};

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
                      const QString& digits, const Side& side) {
    bool fits = false;
    const qlonglong id = digits.toLongLong(&fits);
    if (!fits || id >= static_cast<qlonglong>(devices.size())) {
        return Refused(
            kMidiFailed,
            QStringLiteral("%1 %2: there is no MIDI device #%3").arg(side.option, to, digits));
    }
    if (!(devices[static_cast<std::size_t>(id)].*side.has)) {
        return Refused(kRefused,
                       QStringLiteral("%1 %2 is not an %3:").arg(side.option, to, side.noun) +
                           Rows(devices, {id}));
    }
    return {id, kSent, {}};
}

// The devices with or without the side's kind whose names contain to; whole names win over parts.
std::vector<std::int64_t> Named(std::span<const midi::MidiDeviceInfo> devices, const QString& to,
                                const Side& side, bool with) {
    std::vector<std::int64_t> whole;
    std::vector<std::int64_t> parts;
    for (std::size_t id = 0; id < devices.size(); ++id) {
        const QString name = QString::fromUtf8(devices[id].Name);
        if (devices[id].*side.has != with || !name.contains(to, Qt::CaseInsensitive)) {
            continue;
        }
        (name.compare(to, Qt::CaseInsensitive) == 0 ? whole : parts)
            .push_back(static_cast<std::int64_t>(id));
    }
    return whole.empty() ? parts : whole;
}

// The side's kind first; a name that only other devices carry is the same mistake as their
// number.
OutputChoice ByName(std::span<const midi::MidiDeviceInfo> devices, const QString& to,
                    const Side& side) {
    const std::vector<std::int64_t> matches = Named(devices, to, side, true);
    if (matches.empty()) {
        const std::vector<std::int64_t> others = Named(devices, to, side, false);
        if (others.empty()) {
            return Refused(
                kMidiFailed,
                QStringLiteral("%1 %2: no MIDI %3 is named so").arg(side.option, to, side.noun));
        }
        return Refused(kRefused,
                       QStringLiteral("%1 %2 is not an %3:").arg(side.option, to, side.noun) +
                           Rows(devices, others));
    }
    if (matches.size() > 1) {
        return Refused(
            kRefused,
            QStringLiteral("%1 %2 names more than one %3:").arg(side.option, to, side.noun) +
                Rows(devices, matches));
    }
    return {matches.front(), kSent, {}};
}

OutputChoice Named(std::span<const midi::MidiDeviceInfo> devices, const QString& given,
                   const Side& side) {
    if (given.isEmpty()) {
        return Refused(kRefused,
                       QStringLiteral("%1 needs a device number or name").arg(side.option));
    }
    // By hand: compiling a regular expression would be the slowest step of a send's start.
    const QString digits = given.startsWith(u'#') ? given.mid(1) : given;
    const bool number = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    return number ? ByNumber(devices, given, digits, side) : ByName(devices, given, side);
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
    return Named(devices, *to, kOutputs);
}

OutputChoice ChooseInput(std::span<const midi::MidiDeviceInfo> devices,
                         const std::optional<QString>& from, std::int64_t outputId) {
    if (from) {
        return Named(devices, *from, kInputs);
    }
    const auto own = static_cast<std::size_t>(outputId + 1);
    if (outputId >= 0 && own < devices.size() && devices[own].HasInput && !devices[own].HasOutput &&
        devices[own].Name == devices[own - 1].Name) {
        return {outputId + 1, kSent, {}};
    }
    std::vector<std::int64_t> inputs;
    for (std::size_t id = 0; id < devices.size(); ++id) {
        if (devices[id].HasInput) {
            inputs.push_back(static_cast<std::int64_t>(id));
        }
    }
    if (inputs.empty()) {
        return Refused(kMidiFailed, QStringLiteral("there is no MIDI input to receive from"));
    }
    // Without --from, an output was chosen to listen beside.
    return Refused(kRefused, midi::DeviceRowText(outputId, devices[own - 1]) +
                                 QStringLiteral(" has no input; --from names one of these:") +
                                 Rows(devices, inputs));
}

}  // namespace kelvane::cli
