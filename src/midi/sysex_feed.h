#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvane::midi {

// How a SysEx message longer than the receiving port's buffer reaches it whole, and at the
// port's pace, through PortMidi's ALSA backend, which cannot hold a message back itself:
// - ALSA cuts a message into events of kPieceBytes, and alsa-lib hands them to the kernel only
//   when its output buffer (kPiecesPerDrain of them) is full or a message ends;
// - PortMidi turns a time stamp into a delay from the moment it encodes the event, and the
//   kernel counts that delay from the moment it receives the event;
// - the kernel keeps scheduled events in the sender's pool of 500 cells, 38 for each piece, and
//   a write that finds it full waits.
// So a message is fed in writes whose pieces reach the kernel in that same write, each stamped
// with the moment the pace lets it go, never more than kScheduledPieces of them waiting at once;
// a piece that tips the buffer over stays in it, stamped to go at once, and leaves first in the
// next write. Pieces stamped at other moments than they are received would overtake each other.
inline constexpr std::size_t kPieceBytes = 1024;
inline constexpr std::int64_t kPiecesPerDrain = 15;
inline constexpr std::int64_t kScheduledPieces = 12;

// One write of a message of size bytes, of which from have been handed over before.
struct FeedWrite {
    std::size_t end = 0;       // it hands over the bytes up to here
    std::int64_t leaving = 0;  // pieces that reach the kernel in it, the held one first
    std::int64_t atOnce = 0;   // of those, how many go at once, so that the rest fit the pool
    bool holds = false;        // its last piece stays in alsa-lib's buffer until the next write
};

// heldBack: whether the write before held its last piece back.
FeedWrite NextFeedWrite(std::size_t size, std::size_t from, bool heldBack);

}  // namespace kelvane::midi
