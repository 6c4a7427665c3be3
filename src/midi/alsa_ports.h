#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "midi/seq_ports.h"

namespace kelvane::midi {

// Where PortMidi's devices sit on the ALSA sequencer, which PortMidi does not tell, and whether
// each is still the one that was listed. PortMidi writes to an address: after a device leaves,
// the next client to take its number would get what was meant for it. So a sequencer handle of
// our own hears the system's announcements of every client and port that exits, from before
// PortMidi scans until the next scan.
class AlsaPorts {
public:
    AlsaPorts() = default;
    ~AlsaPorts() { Close(); }
    AlsaPorts(const AlsaPorts&) = delete;
    AlsaPorts& operator=(const AlsaPorts&) = delete;

    // Opens the handle if need be and starts hearing announcements afresh: call it before
    // PortMidi scans, so that nothing that leaves after the scan goes unheard.
    void Listen();
    // Matches each device ID of PortMidi's list, as it stands now, to its sequencer port. False
    // when the list cannot be matched (a device came or went meanwhile); true when it could, or
    // when there is no sequencer to match it to.
    bool Find();
    // Why the last Listen could not open the sequencer, for the user; empty when it could.
    std::string Problem() const;
    // Whether the port of device id, as Find matched it, has left since: its client or port was
    // announced to exit, announcements were lost, or what sits at its address now carries
    // other names. False for a device that could not be matched.
    bool Gone(int id);
    // Whether Find could not match PortMidi's list, so that Gone cannot tell.
    bool Unmatched() const { return unmatched_; }
    // Lets the handle go with PortMidi's, so that the next Listen sees the service anew.
    void Close();
    // The sequencer client and port of device id; none for a device that could not be matched.
    std::optional<std::pair<int, int>> SequencerAddress(int id) const;

    // What the sequencer gives a new client by default, as PortMidi's gets it: alsa-lib's output
    // buffer in bytes and the kernel's output pool in cells; 0 while the handle is not open.
    struct Defaults {
        std::int64_t outputBufferBytes = 0;
        std::int64_t outputPoolCells = 0;
    };
    Defaults ClientDefaults() const;

private:
    void HearAnnouncements();
    bool SameAsListed(const SeqPort& port) const;

    std::vector<SeqPort> ports_;  // by device ID; empty when PortMidi's order could not be matched
    bool unmatched_ = false;
    void* sequencer_ = nullptr;
    bool hearing_ = false;  // the system's announcements
    int openError_ = 0;     // of the last attempt, 0 or ALSA's error
};

}  // namespace kelvane::midi
