#pragma once

#include <optional>
#include <span>
#include <string>

namespace kelvane::midi {

// A sequencer port that PortMidi lists as a device.
struct SeqPort {
    int client;
    int port;
    std::string clientName;
    std::string portName;
    bool gone = false;
};

// Whether found, the sequencer's ports in the order PortMidi scans them, are PortMidi's devices:
// one for each, carrying the name PortMidi gives it (names; nullptr where it gives none).
bool MatchPortMidi(std::span<const SeqPort> found, std::span<const char* const> names);

// An announcement that a client has left the sequencer, or one of its ports (none: the client).
struct SeqExit {
    int client;
    std::optional<int> port;
};

// Whether the port leaves with what exits.
bool LeavesWith(const SeqPort& port, const SeqExit& exit);

}  // namespace kelvane::midi
