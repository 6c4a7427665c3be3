#include "midi/paced_sysex.h"

#include <algorithm>

#include "midi/midi_error.h"
#include "midi/port_context.h"
#include "midi/sysex_check.h"

namespace kelvane::midi {

PacedSysEx::PacedSysEx(MidiStream& stream, std::vector<std::uint8_t> block)
    : stream_(stream), block_(std::move(block)) {
    for (const auto& message : CheckSysEx(block_).messages) {
        pieces_.push_back(
            {static_cast<std::size_t>(message.data() - block_.data()), message.size()});
    }
    progress_.totalBytes = static_cast<std::int64_t>(block_.size());
}

bool PacedSysEx::HasUnpaceableMessage() const {
    return std::any_of(pieces_.begin(), pieces_.end(), [this](const Piece& piece) {
        return !stream_.Pacing().CanPace(static_cast<std::int64_t>(piece.size));
    });
}

SendProgress PacedSysEx::Step() {
    if (progress_.finished) {
        return progress_;
    }
    if (pieces_.empty()) {
        Finish(kBadData);
        return progress_;
    }
    Backend& backend = PortContext::Instance().Ready();
    const std::int64_t now = backend.NowMs();
    for (; next_ < pieces_.size(); ++next_) {
        const Piece piece = pieces_[next_];
        const std::int64_t due = stream_.Pacing().DueMs(static_cast<std::int64_t>(piece.size), now);
        if (due > now) {
            progress_.nextInMs = due - now;
            progress_.msLeft =
                stream_.Pacing().LastDueMs(progress_.totalBytes - progress_.sentBytes, now) - now;
            return progress_;
        }
        const std::span<const std::uint8_t> message(block_.data() + piece.offset, piece.size);
        const int result = stream_.WriteSysEx(0, message, 0);
        if (result != kNoError) {
            Finish(result);
            return progress_;
        }
        progress_.sentBytes += static_cast<std::int64_t>(piece.size);
    }
    Finish(kNoError);
    return progress_;
}

void PacedSysEx::Cancel() {
    if (!progress_.finished) {
        progress_.cancelled = true;
        Finish(kNoError);
    }
}

void PacedSysEx::Finish(int result) {
    progress_.finished = true;
    progress_.result = result;
    progress_.nextInMs = 0;
    progress_.msLeft = 0;
}

}  // namespace kelvane::midi
