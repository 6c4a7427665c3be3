#pragma once

#include <cstdint>

namespace kelvane::midi {

// One short message. When is a PortMidi time stamp; 0 asks for output now (plus the latency).
struct MidiEvent {
    std::int64_t Status = 0;
    std::int64_t Data1 = 0;
    std::int64_t Data2 = 0;
    std::int64_t When = 0;

    void Set(std::int64_t status, std::int64_t data1, std::int64_t data2) {
        Status = status;
        Data1 = data1;
        Data2 = data2;
    }

    friend bool operator==(const MidiEvent&, const MidiEvent&) = default;
};

}  // namespace kelvane::midi
