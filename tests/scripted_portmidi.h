// The scripted PortMidi that the backend's tests link in place of the library
// (portmidi_backend_test.cpp), and the log that it and the scripted sequencer beside it keep.
#pragma once

#include <portmidi.h>

#include <string>
#include <vector>

namespace scripted {

inline std::vector<std::string> calls;
inline std::vector<PmDeviceInfo> devices = {{1, "ALSA", "Keys", 1, 0, 0},
                                            {1, nullptr, nullptr, 0, 1, 0}};

// "Pm_Close 1": the function called, and what it was given.
template <typename... Values>
void Record(const char* function, Values... values) {
    std::string line = function;
    ((line += " " + std::to_string(values)), ...);
    calls.push_back(line);
}

}  // namespace scripted
