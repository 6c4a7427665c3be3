#include "midi/sysex_feed.h"

#include <algorithm>

namespace kelvane::midi {

FeedWrite NextFeedWrite(std::size_t size, std::size_t from, bool heldBack,
                        std::int64_t burstBytes) {
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
    // When the end drains one piece more than the buffer holds, the pool's spare piece takes it
    // rather than the port, which may not take more than a burst at once.
    const std::int64_t mostAtOnce =
        std::max<std::int64_t>(burstBytes / static_cast<std::int64_t>(kPieceBytes), 1);
    write.atOnce =
        std::min(std::max<std::int64_t>(heldBack ? 1 : 0, buffered - kScheduledPieces), mostAtOnce);
    return write;
}

}  // namespace kelvane::midi
