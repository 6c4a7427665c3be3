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
// backend on first use, keeps the handles whose output is still leaving, and knows every live
// stream, for what has to reach all of them (MidiLibrary) without it reaching back.
class PortContext {
public:
    static PortContext& Instance();

    // Puts another backend in place of the real PortMidi (tests), once no stream is open. The old
    // one's held handles are closed once their output has left, and it is terminated.
    static void UseBackend(std::unique_ptr<Backend> backend);

    PortContext(const PortContext&) = delete;
    PortContext& operator=(const PortContext&) = delete;

    // The backend, initialised.
    Backend& Ready();
    // Terminates PortMidi and initialises it again, once no stream or handle is open. Returns 0
    // or the first PortMidi error.
    int Restart();

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
    // Closes every held handle, waiting for its output first.
    void CloseHeld();
    // When the output of every held handle has left; 0 for none.
    std::int64_t HeldDueMs() const;

    void Register(MidiStream& stream);
    void Unregister(MidiStream& stream);
    const std::vector<MidiStream*>& Streams() const { return streams_; }

private:
    PortContext() = default;
    ~PortContext();

    void Terminate();
    void ScheduleCloseDue(std::int64_t inMs);

    std::unique_ptr<Backend> backend_;
    bool initialized_ = false;
    std::optional<std::string> serviceProblem_;
    std::vector<MidiStream*> streams_;
    std::vector<Held> closing_;
};

}  // namespace kelvane::midi
