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
// - the kernel keeps scheduled events in the sender's pool, kCellsPerPiece cells for each piece,
//   and a write that finds it full waits.
// So a message is fed in writes whose pieces reach the kernel in that same write, each stamped
// with the moment the pace lets it go, never more than kScheduledPieces of them waiting at once;
// a piece that tips the buffer over stays in it, stamped to go at once, and leaves first in the
// next write. Pieces stamped at other moments than they are received would overtake each other.
//
// The sizes come from PortMidi (its SysEx buffer), alsa-lib (an event's size, a client's output
// buffer) and the kernel (a client's output pool); the backend and the system tests check them.
inline constexpr std::size_t kPieceBytes = 1024;
inline constexpr std::size_t kSeqEventBytes = 28;
inline constexpr std::int64_t kOutputBufferBytes = 16384;
inline constexpr std::int64_t kOutputPoolCells = 500;
inline constexpr std::int64_t kPiecesPerDrain =
    kOutputBufferBytes / static_cast<std::int64_t>(kSeqEventBytes + kPieceBytes);
// An event's own cell, and its data in cells of an event's size.
inline constexpr std::int64_t kCellsPerPiece =
    1 + static_cast<std::int64_t>((kPieceBytes + kSeqEventBytes - 1) / kSeqEventBytes);
// One piece's cells are kept free for what else the stream has scheduled.
inline constexpr std::int64_t kScheduledPieces = kOutputPoolCells / kCellsPerPiece - 1;

// One write of a message of size bytes, of which from have been handed over before.
struct FeedWrite {
    std::size_t end = 0;       // it hands over the bytes up to here
    std::int64_t leaving = 0;  // pieces that reach the kernel in it, the held one first
    std::int64_t atOnce = 0;   // of those, how many go at once, so that the rest fit the pool
    bool holds = false;        // its last piece stays in alsa-lib's buffer until the next write
};

// heldBack: whether the write before held its last piece back. burstBytes: what may go into the
// port at once; the pieces that go at once never hold more.
FeedWrite NextFeedWrite(std::size_t size, std::size_t from, bool heldBack, std::int64_t burstBytes);

}  // namespace kelvane::midi
