#pragma once

#include <memory>
#include <vector>

#include "midi/backend.h"

namespace kelvane::midi {

class MidiStream;

// The process-wide PortMidi context: PortMidi itself is global, so is this. It initialises the
// backend on first use and knows every live stream, because terminating PortMidi leaves their
// handles dangling.
class PortContext {
public:
    static PortContext& Instance();

    // Puts another backend in place of the real PortMidi (tests). Closes every live stream and
    // terminates the old backend first.
    static void UseBackend(std::unique_ptr<Backend> backend);

    PortContext(const PortContext&) = delete;
    PortContext& operator=(const PortContext&) = delete;

    // The backend, initialised.
    Backend& Ready();

    // Closes every live stream once its pending output has left, then terminates and
    // initialises PortMidi again. Returns 0 or the first PortMidi error.
    int ReInitialize();

    void Register(MidiStream& stream);
    void Unregister(MidiStream& stream);

private:
    PortContext() = default;
    ~PortContext();

    void CloseStreamsAndTerminate();

    std::unique_ptr<Backend> backend_;
    bool initialized_ = false;
    std::vector<MidiStream*> streams_;
};

}  // namespace kelvane::midi
