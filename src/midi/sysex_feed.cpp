#include "midi/sysex_feed.h"

#include <algorithm>

namespace kelvane::midi {

FeedWrite NextFeedWrite(std::size_t size, std::size_t from, bool heldBack) {
    const std::size_t pieces = (size + kPieceBytes - 1) / kPieceBytes;
    FeedWrite write;
    std::int64_t buffered = heldBack ? 1 : 0;
    for (std::size_t piece = from / kPieceBytes; piece < pieces; ++piece) {
        // The piece that does not fit stays behind, unless it ends the message: the end drains
        // the buffer once more.
        if (buffered == kPiecesPerDrain && piece + 1 < pieces) {
            write.end = (piece + 1) * kPieceBytes;
            write.holds = true;
            break;
        }
        ++buffered;
    }
    if (!write.holds) {
        write.end = size;
    }
    write.leaving = buffered;
    write.atOnce = std::max<std::int64_t>(heldBack ? 1 : 0, buffered - kScheduledPieces);
    return write;
}

}  // namespace kelvane::midi
