#pragma once

#include <memory>
#include <string>
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
    // initialises PortMidi again. Returns 0 or the first PortMidi error; kHostError when the MIDI
    // service cannot be reached, which PortMidi itself reports as success.
    int ReInitialize();

    // Why the MIDI service could not be reached at the last initialisation; empty when it could.
    const std::string& ServiceProblem() const { return serviceProblem_; }

    void Register(MidiStream& stream);
    void Unregister(MidiStream& stream);

private:
    PortContext() = default;
    ~PortContext();

    int Initialize();
    void CloseStreamsAndTerminate();

    std::unique_ptr<Backend> backend_;
    bool initialized_ = false;
    std::string serviceProblem_;
    std::vector<MidiStream*> streams_;
};

}  // namespace kelvane::midi
