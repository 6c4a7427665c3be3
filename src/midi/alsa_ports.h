#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::midi {

// Where PortMidi's devices sit on the ALSA sequencer, which PortMidi does not tell, looked up on a
// sequencer handle of our own, so that a write can ask whether its device is still there.
class AlsaPorts {
public:
    AlsaPorts() = default;
    ~AlsaPorts() { Close(); }
    AlsaPorts(const AlsaPorts&) = delete;
    AlsaPorts& operator=(const AlsaPorts&) = delete;

    // Matches each device ID of PortMidi's list, as it stands now, to its sequencer port, opening
    // the handle first if need be.
    void Find();
    // Why the last Find could not open the sequencer, for the user; empty when it could.
    std::string Problem() const;
    // Whether the port of device id has left; false for a device that could not be matched.
    bool Gone(int id) const;
    // Lets the handle go with PortMidi's, so that the next Find sees the service anew.
    void Close();
    // The sequencer client and port of device id; none for a device that could not be matched.
    std::optional<std::pair<int, int>> SequencerAddress(int id) const;

private:
    struct Address {
        int client;
        int port;
    };
    // Empty when PortMidi's order could not be matched.
    std::vector<Address> addresses_;
    void* sequencer_ = nullptr;
    int openError_ = 0;  // of the last attempt, 0 or ALSA's error
};

}  // namespace kelvane::midi
