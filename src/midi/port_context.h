#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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
    // Found out when first asked, since that opens the sequencer once more.
    const std::string& ServiceProblem();
    // A handle whose output is still scheduled, and what it was opened with.
    struct Held {
        StreamHandle handle;
        std::int64_t device;
        std::int64_t bufferSize;
        std::int64_t latency;
        std::int64_t dueMs;     // when its output has left
        std::int64_t leavesMs;  // when its last byte is stamped to leave
    };
    // Closes the handle once its output has left, without waiting for it here: PortMidi drops
    // what is still scheduled when a stream closes. Until then the device stays open.
    void CloseLater(const Held& held);
    // Gives back the handle still open on device, if one is held.
    std::optional<Held> TakeBack(std::int64_t device);
    // Closes the handles whose output has left.
    void CloseDue();
    // Milliseconds until every stream and handle has no output left to wait for.
    std::int64_t MsUntilDrained();

    void Register(MidiStream& stream);
    void Unregister(MidiStream& stream);

private:
    PortContext() = default;
    ~PortContext();

    int Initialize();
    void CloseStreamsAndTerminate();
    // Closes every stream and held handle, waiting for their output first.
    void CloseAllWaiting();
    void ScheduleCloseDue(std::int64_t inMs);

    std::unique_ptr<Backend> backend_;
    bool initialized_ = false;
    std::optional<std::string> serviceProblem_;
    std::vector<MidiStream*> streams_;
    std::vector<Held> closing_;
};

}  // namespace kelvane::midi
