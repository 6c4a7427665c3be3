#pragma once

#include <cstdint>

#include "midi/midi_stream.h"
#include "midi/sysex_check.h"

namespace kelvane::midi {

// How long a send waits at most before it asks again whether its device is still there.
inline constexpr std::int64_t kDeviceCheckMs = 250;

// Where a paced send stands.
struct SendProgress {
    std::int64_t sentBytes = 0;  // handed over, also of a message under way
    std::int64_t totalBytes = 0;
    std::int64_t sentMessages = 0;  // handed over whole
    std::int64_t totalMessages = 0;
    // What the port had taken, by the stream's pace, when the send stopped: a message counts once
    // its last byte was taken.
    std::int64_t takenBytes = 0;
    std::int64_t takenMessages = 0;
    std::int64_t msLeft = 0;    // until the port has taken the last byte, at the stream's pace
    std::int64_t nextInMs = 0;  // when to step again, while not finished: kDeviceCheckMs at most
    bool leaving = false;       // a message is going out piece by piece and cannot be recalled
    bool finished = false;
    bool cancelled = false;
    int result = 0;  // 0, or the error that stopped the send
};

// One SysEx send, handed to the stream message by message as its pace allows. Messages are
// never cut: a message that fits the pace's burst goes whole once the port has room for it, a
// longer one piece by piece (MidiStream::FeedSysEx), and Cancel stops between two messages.
// Nothing here waits; whoever drives it calls Step again after nextInMs.
class PacedSysEx {
public:
    // No messages are refused with kBadData at the first step.
    PacedSysEx(MidiStream& stream, SysExBlock messages);
    // A message still going out is finished first, waiting here if need be.
    ~PacedSysEx();
    PacedSysEx(const PacedSysEx&) = delete;
    PacedSysEx& operator=(const PacedSysEx&) = delete;

    SendProgress Step();
    // Finishes at once, or after the message going out piece by piece.
    void Cancel();
    const SendProgress& Progress() const { return progress_; }
    // Until the port has taken every byte handed over, at the stream's pace.
    std::int64_t MsUntilPortEmpty() const;
    // Ends the send with result, counting what the port had taken by now; also a send that has
    // handed everything over, when its device left before the port had taken it all.
    void Finish(int result);

private:
    // Hands over the next message, or what is due of it; false when it has to wait.
    bool SendNext(std::int64_t now, int& error);
    void CountTaken();

    MidiStream& stream_;
    const SysExBlock messages_;
    std::size_t next_ = 0;
    std::size_t fed_ = 0;             // bytes of the next message handed over piece by piece
    const std::int64_t notedBefore_;  // by the stream's pace, before this send
    bool stopping_ = false;
    SendProgress progress_;
};

}  // namespace kelvane::midi
