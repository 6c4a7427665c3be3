#pragma once

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

#include "midi/midi_library.h"

namespace kelvane::midi {

// Every device in ID order, so a row's index is its device ID; an ID without a description
// (PortMidi never has one) keeps its row, without output.
std::vector<MidiDeviceInfo> Devices();

// "#2: to Desk Module" for a device with an output, "#4: (Drum Pads)" for one without; the name
// as the MIDI service gives it.
QString DeviceRowText(std::int64_t deviceId, const MidiDeviceInfo& info);

// The row of deviceId as the device list shows it, or an empty text when there is no such device.
QString DeviceRowText(std::int64_t deviceId);

// The row to select at start: the last one with an output (the newest device), else the last
// row; -1 for no rows. PortMidi lists a two-way port as an output followed by an input, so the
// last row alone is almost always an input.
std::int64_t StartRow(std::span<const MidiDeviceInfo> rows);

}  // namespace kelvane::midi
