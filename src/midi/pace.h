#pragma once

#include <cstdint>

namespace kelvane::midi {

// A leaky bucket that stands for the receiving port's buffer: bytes go in as they are written
// and drain at bytesPerSecond. A message may go when it fits beside what has not drained yet, so
// up to burstBytes go at once into an empty port and the rest follows at the drain rate. A
// message larger than the bucket goes piece by piece (see sysex_feed.h). Times are milliseconds on
// the backend's clock; bytesPerSecond 0 means no pacing, and rates beyond 1 MB/s count as 1 MB/s.
class Pace {
public:
    // What a MIDI cable's receiver holds: the kernel's raw MIDI buffer of 4096 bytes, less what a
    // port that passes bytes on in chunks may not have taken yet; and a rate below the cable's
    // 3125 bytes/s so that a port draining at 3000 bytes/s still gets it all.
    static constexpr std::int64_t kBurstBytes = 4096 - 128;
    static constexpr std::int64_t kBytesPerSecond = 2900;

    explicit Pace(std::int64_t bytesPerSecond = kBytesPerSecond,
                  std::int64_t burstBytes = kBurstBytes);

    // The earliest time, not before nowMs, at which a message of size bytes may go.
    std::int64_t DueMs(std::int64_t size, std::int64_t nowMs) const;
    // A message of size bytes went at atMs.
    void Note(std::int64_t size, std::int64_t atMs);
    // When the port will have passed on every byte noted so far and bytesToGo more, written as
    // soon as due.
    std::int64_t EmptyAtMs(std::int64_t bytesToGo, std::int64_t nowMs) const;

    // A message longer than the burst has to go in pieces, each as the port drains.
    bool Paces(std::int64_t size) const { return bytesPerSecond_ != 0 && size > burstBytes_; }
    std::int64_t BurstBytes() const { return burstBytes_; }

    // Every byte noted so far, and of those, the ones the port has passed on by nowMs.
    std::int64_t NotedBytes() const { return notedBytes_; }
    std::int64_t TakenBytes(std::int64_t nowMs) const;

private:
    std::int64_t bytesPerSecond_;
    std::int64_t burstBytes_;
    std::int64_t emptyAtTicks_ = 0;  // when everything noted so far has drained
    std::int64_t notedBytes_ = 0;
};

}  // namespace kelvane::midi
