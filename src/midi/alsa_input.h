#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::midi {

// Input from one sequencer port, read on a sequencer client of our own: its port has no
// subscription caps, so PortMidi's list, and with it every device ID, stays as it is. Unlike
// PortMidi's input, it can take more than ALSA's default pool of input cells and it hears when
// the MIDI service dropped input because that pool was full. Results are 0 or ALSA's errors.
class AlsaInput {
public:
    AlsaInput() = default;
    ~AlsaInput();
    AlsaInput(const AlsaInput&) = delete;
    AlsaInput& operator=(const AlsaInput&) = delete;

    // Opens the client, with room for poolCells events waiting to be read, and subscribes its
    // port to client:port.
    int Open(int client, int port, int poolCells);
    // The bytes that arrived, in order, up to bytes.size(): their count, or -ENOSPC once when
    // the MIDI service dropped input after them.
    int Read(std::span<std::uint8_t> bytes);
    // Readable when input arrives; -1 when not open.
    int Descriptor() const;

private:
    // Takes the next event's bytes into pending_: 0, or ALSA's error (-EAGAIN: none waits).
    int TakeEvent();

    void* sequencer_ = nullptr;
    void* decoder_ = nullptr;
    std::vector<std::uint8_t> pending_;  // read from the service, not yet handed out
    std::size_t handedOut_ = 0;          // of pending_
    bool lost_ = false;                  // input was dropped after what pending_ holds
};

}  // namespace kelvane::midi
