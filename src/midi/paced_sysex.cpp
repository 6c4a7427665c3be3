#include "midi/paced_sysex.h"

#include <algorithm>

#include "midi/midi_error.h"
#include "midi/port_context.h"

namespace kelvane::midi {

PacedSysEx::PacedSysEx(MidiStream& stream, SysExBlock messages)
    : stream_(stream), messages_(std::move(messages)), notedBefore_(stream.Pacing().NotedBytes()) {
    progress_.totalBytes = std::ssize(messages_.Bytes());
    progress_.totalMessages = static_cast<std::int64_t>(messages_.Count());
}

PacedSysEx::~PacedSysEx() {
    Backend& backend = PortContext::Instance().Ready();
    stopping_ = true;
    while (fed_ > 0 && !progress_.finished) {
        backend.SleepMs(Step().nextInMs);
    }
}

std::int64_t PacedSysEx::MsUntilPortEmpty() const {
    const std::int64_t now = PortContext::Instance().Ready().NowMs();
    return stream_.Pacing().EmptyAtMs(0, now) - now;
}

bool PacedSysEx::SendNext(std::int64_t now, int& error) {
    const std::span<const std::uint8_t> message = messages_.Message(next_);
    const auto size = std::ssize(message);
    if (stream_.Pacing().Paces(size)) {
        const std::size_t before = fed_;
        std::int64_t waitMs = 0;
        error = stream_.FeedSysEx(message, fed_, waitMs);
        progress_.sentBytes += static_cast<std::int64_t>(fed_ - before);
        progress_.nextInMs = waitMs;
        if (error != kNoError || fed_ < message.size()) {
            return false;
        }
        fed_ = 0;
    } else {
        // Once the port has room and what went before has left: stamped to leave later, it would
        // have to keep a margin behind that.
        const std::int64_t due = stream_.DueMs(size, now);
        if (due > now) {
            progress_.nextInMs = due - now;
            return false;
        }
        error = stream_.WriteSysEx(0, message, 0);
        if (error != kNoError) {
            return false;
        }
        progress_.sentBytes += size;
    }
    ++progress_.sentMessages;
    ++next_;
    return true;
}

SendProgress PacedSysEx::Step() {
    if (progress_.finished) {
        return progress_;
    }
    if (messages_.Count() == 0) {
        Finish(kBadData);
        return progress_;
    }
    // Between messages; inside one, the stream itself asks at each step.
    if (const int there = stream_.CheckDevice(); fed_ == 0 && there != kNoError) {
        Finish(there);
        return progress_;
    }
    Backend& backend = PortContext::Instance().Ready();
    while (next_ < messages_.Count() && !(stopping_ && fed_ == 0)) {
        int error = kNoError;
        if (!SendNext(backend.NowMs(), error)) {
            if (error != kNoError) {
                Finish(error);
                return progress_;
            }
            const std::int64_t now = backend.NowMs();
            progress_.leaving = fed_ > 0;
            progress_.nextInMs = std::min(progress_.nextInMs, kDeviceCheckMs);
            progress_.msLeft =
                stream_.Pacing().EmptyAtMs(progress_.totalBytes - progress_.sentBytes, now) - now;
            return progress_;
        }
    }
    progress_.cancelled = stopping_;
    Finish(kNoError);
    return progress_;
}

void PacedSysEx::Cancel() {
    if (progress_.finished) {
        return;
    }
    stopping_ = true;
    progress_.cancelled = true;
    if (fed_ == 0) {
        Finish(kNoError);
    }
}

void PacedSysEx::CountTaken() {
    const std::int64_t now = PortContext::Instance().Ready().NowMs();
    const std::int64_t taken = std::clamp<std::int64_t>(
        stream_.Pacing().TakenBytes(now) - notedBefore_, 0, progress_.sentBytes);
    progress_.takenBytes = taken;
    progress_.takenMessages = 0;
    std::int64_t end = 0;
    for (std::size_t i = 0; i < messages_.Count(); ++i) {
        end += std::ssize(messages_.Message(i));
        if (end > taken) {
            break;
        }
        ++progress_.takenMessages;
    }
}

void PacedSysEx::Finish(int result) {
    CountTaken();
    fed_ = 0;
    progress_.finished = true;
    progress_.result = result;
    progress_.leaving = false;
    progress_.nextInMs = 0;
    progress_.msLeft = 0;
}

}  // namespace kelvane::midi
