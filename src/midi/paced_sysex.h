#pragma once

#include <cstdint>
#include <vector>

#include "midi/midi_stream.h"

namespace kelvane::midi {

// Where a paced send stands.
struct SendProgress {
    std::int64_t sentBytes = 0;
    std::int64_t totalBytes = 0;
    std::int64_t msLeft = 0;    // until the last byte is handed over, at the stream's pace
    std::int64_t nextInMs = 0;  // when to step again, while not finished
    bool finished = false;
    bool cancelled = false;
    int result = 0;  // 0, or the error that stopped the send
};

// One SysEx send, handed to the stream message by message as its pace allows. Messages are
// never cut: a step writes whole messages only, and Cancel stops between two of them. A message
// longer than the pace's burst goes whole once the port has drained. Nothing here waits; whoever
// drives it calls Step again after nextInMs.
class PacedSysEx {
public:
    // block: one or more complete SysEx messages back to back; anything else is refused with
    // kBadData at the first step and nothing is sent.
    PacedSysEx(MidiStream& stream, std::vector<std::uint8_t> block);
    PacedSysEx(const PacedSysEx&) = delete;
    PacedSysEx& operator=(const PacedSysEx&) = delete;

    SendProgress Step();
    void Cancel();
    const SendProgress& Progress() const { return progress_; }

    // A message longer than the pace's burst cannot be paced: the port may lose part of it.
    bool HasUnpaceableMessage() const;

private:
    struct Piece {
        std::size_t offset;
        std::size_t size;
    };

    void Finish(int result);

    MidiStream& stream_;
    std::vector<std::uint8_t> block_;
    std::vector<Piece> pieces_;
    std::size_t next_ = 0;
    SendProgress progress_;
};

}  // namespace kelvane::midi
