#include "midi/seq_ports.h"

namespace kelvane::midi {

bool MatchPortMidi(std::span<const SeqPort> found, std::span<const char* const> names) {
    if (found.size() != names.size()) {
        return false;  // a device that came or went in between would shift every ID after it
    }
    for (std::size_t id = 0; id < found.size(); ++id) {
        if (names[id] == nullptr || found[id].portName != names[id]) {
            return false;
        }
    }
    return true;
}

bool LeavesWith(const SeqPort& port, const SeqExit& exit) {
    return port.client == exit.client && (!exit.port || *exit.port == port.port);
}

}  // namespace kelvane::midi
