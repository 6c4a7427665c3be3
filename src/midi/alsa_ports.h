#pragma once

#include <string>
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

    // Why the sequencer cannot be opened, for the user; empty once it is open.
    std::string Problem();
    // Matches each device ID of PortMidi's list, as it stands now, to its sequencer port.
    void Find();
    // Whether the port of device id has left; false for a device that could not be matched.
    bool Gone(int id) const;
    // Lets the handle go with PortMidi's, so that the next Find sees the service anew.
    void Close();

private:
    struct Address {
        int client;
        int port;
    };
    // 0 or ALSA's error.
    int Open();

    // Empty when PortMidi's order could not be matched.
    std::vector<Address> addresses_;
    void* sequencer_ = nullptr;
};

}  // namespace kelvane::midi
