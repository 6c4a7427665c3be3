#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <span>

#include "midi/midi_library.h"

namespace kelvane::cli {

// The output to send to, or why there is none: status kRefused for a --to that names only rows
// without output, or several outputs; kMidiFailed when it names no device at all.
struct OutputChoice {
    std::int64_t deviceId = -1;
    int status = 0;
    QString problem;
};

// devices: every device, in ID order. to: a device number as the list shows it ("3" or "#3"), or
// a name or part of one, case insensitive, where outputs match first and a whole name wins over
// parts; none: the row the window selects at start.
OutputChoice ChooseOutput(std::span<const midi::MidiDeviceInfo> devices,
                          const std::optional<QString>& to);

// The input to receive from: from as ChooseOutput reads to, for inputs; none: the input of the
// output's own port, which PortMidi lists right after its output, under the same name.
OutputChoice ChooseInput(std::span<const midi::MidiDeviceInfo> devices,
                         const std::optional<QString>& from, std::int64_t outputId);

}  // namespace kelvane::cli
