#pragma once

#include <string>

namespace kelvane::midi {

struct MidiDeviceInfo {
    std::string Name;  // as the MIDI service gives it, UTF-8
    std::string InterfaceName;
    bool HasInput = false;
    bool HasOutput = false;
};

}  // namespace kelvane::midi
