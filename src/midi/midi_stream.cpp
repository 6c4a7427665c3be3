#include "midi/midi_stream.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "midi/midi_error.h"
#include "midi/port_context.h"
#include "midi/sysex_check.h"
#include "midi/sysex_feed.h"
#include "text/integer.h"

namespace kelvane::midi {
namespace {

// Time for the MIDI service to hand on a message after its scheduled moment: ALSA's queue timer
// ticks every few milliseconds (4 ms at the kernel's usual 250 Hz), and a busy machine adds more.
constexpr std::int64_t kDeliveryMarginMs = 25;
// The MIDI service counts a delay from its queue's time, which its timer updates only when it
// fires: under load that time lags, and a message stamped shortly after another can go first.
constexpr std::int64_t kOrderMarginMs = 100;

bool IsShortStatus(std::int64_t status) {
    return status >= 0x80 && status <= 0xFF && status != 0xF0 && status != 0xF7;
}

bool IsDataByte(std::int64_t value) { return value >= 0 && value <= 0x7F; }

}  // namespace

MidiStream::MidiStream() { PortContext::Instance().Register(*this); }

MidiStream::~MidiStream() {
    Close();
    PortContext::Instance().Unregister(*this);
}

int MidiStream::OpenOutput(std::int64_t deviceId, std::int64_t bufferSize, std::int64_t latency) {
    PortContext& context = PortContext::Instance();
    context.CloseDue();
    if (IsOpen() && deviceId == device_ &&
        ((bufferSize == bufferSize_ && latency == latency_) || !Drained())) {
        return kNoError;
    }
    Close();
    openError_ = Open(context, deviceId, bufferSize, latency);
    return openError_;
}

int MidiStream::Open(PortContext& context, std::int64_t deviceId, std::int64_t bufferSize,
                     std::int64_t latency) {
    if (const auto held = context.TakeBack(deviceId)) {
        handle_ = held->handle;
        device_ = held->device;
        bufferSize_ = held->bufferSize;
        latency_ = held->latency;
        drainedAtMs_ = held->dueMs;
        lastLeavesAtMs_ = held->leavesMs;
        return kNoError;
    }
    if (!FitsInt32(deviceId)) {
        return kInvalidDeviceId;
    }
    if (!FitsInt32(bufferSize) || !FitsInt32(latency)) {
        return kBadData;
    }
    Backend& backend = context.Ready();
    // Opening would connect to whatever took the device's place.
    if (backend.DeviceGone(static_cast<int>(deviceId))) {
        return kDeviceGone;
    }
    StreamHandle opened = nullptr;
    const int error = backend.OpenOutput(&opened, static_cast<int>(deviceId),
                                         static_cast<std::int32_t>(bufferSize),
                                         static_cast<std::int32_t>(latency));
    if (error != kNoError || opened == nullptr) {
        return error != kNoError ? error : kInternalError;
    }
    handle_ = opened;
    device_ = deviceId;
    bufferSize_ = bufferSize;
    latency_ = latency;
    drainedAtMs_ = 0;
    lastLeavesAtMs_ = 0;
    return kNoError;
}

int MidiStream::Write(const MidiEvent& data) {
    if (!IsShortStatus(data.Status) || !IsDataByte(data.Data1) || !IsDataByte(data.Data2) ||
        !FitsInt32(data.When)) {
        return kBadData;
    }
    Backend* backend = nullptr;
    if (const int error = Writable(backend); error != kNoError) {
        return error;
    }
    const auto message =
        static_cast<std::int32_t>(data.Status | (data.Data1 << 8) | (data.Data2 << 16));
    const std::int64_t now = backend->NowMs();
    const std::int64_t delay = data.When == 0 && latency_ > 0 ? DueMs(3, now) - now : 0;
    const int error = backend->WriteShort(
        handle_, delay > 0 ? backend->TimeStamp(delay) : static_cast<std::int32_t>(data.When),
        message);
    NoteWrite(3, now, delay);
    return error;
}

int MidiStream::WriteSysEx(std::int64_t when, std::span<const std::uint8_t> message,
                           std::int64_t offset) {
    if (offset < 0 || static_cast<std::uint64_t>(offset) > message.size() || !FitsInt32(when)) {
        return kBadData;
    }
    const std::span<const std::uint8_t> rest = message.subspan(static_cast<std::size_t>(offset));
    const auto checked = SysExBlock::Check(MemoryBlock({rest.begin(), rest.end()}));
    const auto* messages = std::get_if<SysExBlock>(&checked);
    if (messages == nullptr) {
        return kBadData;
    }
    Backend* backend = nullptr;
    if (const int error = Writable(backend); error != kNoError) {
        return error;
    }
    int error = kNoError;
    for (std::size_t m = 0; m < messages->Count(); ++m) {
        const std::span<const std::uint8_t> one = messages->Message(m);
        const std::int64_t now = backend->NowMs();
        const std::int64_t delay = when == 0 && latency_ > 0 ? lastLeavesAtMs_ - now : 0;
        error = backend->WriteSysEx(
            handle_, delay > 0 ? backend->TimeStamp(delay) : static_cast<std::int32_t>(when), one);
        NoteWrite(static_cast<std::int64_t>(one.size()), now, delay);
        if (error != kNoError) {
            break;
        }
    }
    return error;
}

int MidiStream::FeedSysEx(std::span<const std::uint8_t> message, std::size_t& handedOver,
                          std::int64_t& waitMs) {
    waitMs = 0;
    if (latency_ == 0 || handedOver >= message.size() || (handedOver > 0) != feeding_) {
        return kBadData;
    }
    Backend* backend = nullptr;
    feeding_ = false;  // lets Writable through for the message's own pieces
    const int writable = Writable(backend);
    feeding_ = handedOver > 0;
    if (writable != kNoError) {
        if (handedOver > 0) {
            Abandon();
        }
        return writable;
    }
    const std::int64_t now = backend->NowMs();
    if (const std::int64_t due = FeedDueMs(message.size(), handedOver, now); due > now) {
        waitMs = due - now;
        return kNoError;
    }
    const FeedWrite write =
        NextFeedWrite(message.size(), handedOver, heldBack_ > 0, pace_.BurstBytes());
    std::int64_t leaving = 0;
    if (heldBack_ > 0) {
        NoteWrite(static_cast<std::int64_t>(heldBack_), now, 0);
        ++leaving;
    }
    std::vector<SysExPart> parts;
    for (std::size_t from = handedOver; from < write.end; from += kPieceBytes) {
        const std::size_t size = std::min(kPieceBytes, message.size() - from);
        const auto bytes = static_cast<std::int64_t>(size);
        std::int64_t delay = -1;  // at once, for a piece that leaves before any other is due
        if (write.holds && from + size == write.end) {
            heldBack_ = size;  // noted when it leaves, in the next write
        } else if (leaving++ < write.atOnce) {
            NoteWrite(bytes, now, 0);
        } else {
            delay = pace_.DueMs(bytes, now) - now;
            NoteWrite(bytes, now, delay);
        }
        parts.push_back({message.subspan(from, size), backend->TimeStamp(delay)});
    }
    if (!write.holds) {
        heldBack_ = 0;
    }
    const int error = backend->WriteSysExParts(handle_, parts);
    if (error != kNoError) {
        Abandon();
        return error;
    }
    handedOver = write.end;
    feeding_ = handedOver < message.size();
    if (feeding_) {
        waitMs = std::max<std::int64_t>(FeedDueMs(message.size(), handedOver, now) - now, 1);
    }
    return error;
}

std::int64_t MidiStream::DueMs(std::int64_t size, std::int64_t nowMs) const {
    return std::max(pace_.DueMs(size, nowMs), lastLeavesAtMs_);
}

// A write with a piece at once must find nothing else waiting to leave, which it would overtake,
// nor anything stamped so shortly before that it may still be waiting; the first waits for
// everything before it.
std::int64_t MidiStream::FeedDueMs(std::size_t size, std::size_t from, std::int64_t nowMs) const {
    const FeedWrite write = NextFeedWrite(size, from, heldBack_ > 0, pace_.BurstBytes());
    std::int64_t due = from == 0 ? lastLeavesAtMs_ : nowMs;
    if (write.atOnce > 0) {
        due = std::max({due, drainedAtMs_, lastLeavesAtMs_,
                        pace_.DueMs(write.atOnce * static_cast<std::int64_t>(kPieceBytes), nowMs)});
    }
    return std::max(due, nowMs);
}

int MidiStream::Writable(Backend*& backend) const {
    if (!IsOpen()) {
        return ClosedError();
    }
    if (feeding_) {
        return kBadData;
    }
    backend = &PortContext::Instance().Ready();
    return CheckDevice();
}

int MidiStream::ClosedError() const { return openError_ != kNoError ? openError_ : kBadPtr; }

int MidiStream::CheckDevice() const {
    if (!IsOpen()) {
        return ClosedError();
    }
    return PortContext::Instance().Ready().DeviceGone(static_cast<int>(device_)) ? kDeviceGone
                                                                                 : kNoError;
}

void MidiStream::Abandon() {
    const std::int64_t device = device_, bufferSize = bufferSize_, latency = latency_;
    Abort();
    openError_ = Open(PortContext::Instance(), device, bufferSize, latency);
}

void MidiStream::Abort() {
    if (IsOpen()) {
        PortContext::Instance().Ready().Close(handle_);
        handle_ = nullptr;
        device_ = -1;
        heldBack_ = 0;
        feeding_ = false;
    }
}

void MidiStream::Close() {
    CloseInput();
    if (!IsOpen()) {
        return;
    }
    PortContext& context = PortContext::Instance();
    if (Drained()) {
        context.Ready().Close(handle_);
    } else {
        context.CloseLater(
            {handle_, device_, bufferSize_, latency_, drainedAtMs_, lastLeavesAtMs_});
    }
    handle_ = nullptr;
    device_ = -1;
    heldBack_ = 0;
    feeding_ = false;
}

bool MidiStream::Drained() const { return PortContext::Instance().Ready().NowMs() >= drainedAtMs_; }

void MidiStream::NoteWrite(std::int64_t bytes, std::int64_t nowMs, std::int64_t delayMs) {
    const std::int64_t leavesAtMs = nowMs + std::max<std::int64_t>(delayMs, 0);
    pace_.Note(bytes, leavesAtMs);
    // What follows a delayed write keeps a margin behind it (kOrderMarginMs).
    lastLeavesAtMs_ =
        std::max(lastLeavesAtMs_, delayMs > 0 ? leavesAtMs + kOrderMarginMs : leavesAtMs);
    if (latency_ > 0) {
        drainedAtMs_ = std::max(drainedAtMs_, leavesAtMs + latency_ + kDeliveryMarginMs);
    }
}

}  // namespace kelvane::midi
