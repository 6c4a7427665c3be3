#pragma once

#include <QString>
#include <cstdint>

#include "midi/midi_library.h"

namespace kelvane::midi {

// "#3: to Synth A" for a device with an output, "#0: (Keys In)" for one without; the name as is.
QString DeviceRowText(std::int64_t deviceId, const MidiDeviceInfo& info);

}  // namespace kelvane::midi
