#include "midi/pace.h"

#include <algorithm>

namespace kelvane::midi {
namespace {

// Beyond this, pacing would change nothing a port can notice, and the ticks below stay far from
// overflowing.
constexpr std::int64_t kFastestRate = 1'000'000;

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? (a + b - 1) / b : a / b; }

}  // namespace

// Time is counted in ticks of 1/bytesPerSecond ms, in which a byte lasts exactly 1000 ticks:
// no rounding error builds up over a long send.
Pace::Pace(std::int64_t bytesPerSecond, std::int64_t burstBytes)
    : bytesPerSecond_(std::clamp<std::int64_t>(bytesPerSecond, 0, kFastestRate)),
      burstBytes_(std::max<std::int64_t>(burstBytes, 0)) {}

std::int64_t Pace::DueMs(std::int64_t size, std::int64_t nowMs) const {
    if (bytesPerSecond_ == 0) {
        return nowMs;
    }
    const std::int64_t room = std::max<std::int64_t>(burstBytes_ - size, 0);
    return std::max(nowMs, CeilDiv(emptyAtTicks_ - room * 1000, bytesPerSecond_));
}

void Pace::Note(std::int64_t size, std::int64_t atMs) {
    notedBytes_ += size;
    if (bytesPerSecond_ == 0) {
        return;
    }
    emptyAtTicks_ = std::max(emptyAtTicks_, atMs * bytesPerSecond_) + size * 1000;
}

std::int64_t Pace::EmptyAtMs(std::int64_t bytesToGo, std::int64_t nowMs) const {
    if (bytesPerSecond_ == 0) {
        return nowMs;
    }
    const std::int64_t emptyAt = std::max(emptyAtTicks_, nowMs * bytesPerSecond_) +
                                 std::max<std::int64_t>(bytesToGo, 0) * 1000;
    return CeilDiv(emptyAt, bytesPerSecond_);
}

std::int64_t Pace::TakenBytes(std::int64_t nowMs) const {
    if (bytesPerSecond_ == 0) {
        return notedBytes_;
    }
    const std::int64_t waiting = CeilDiv(emptyAtTicks_ - nowMs * bytesPerSecond_, 1000);
    return std::clamp<std::int64_t>(notedBytes_ - waiting, 0, notedBytes_);
}

}  // namespace kelvane::midi
