#include "midi/midi_stream.h"

#include <limits>

#include "midi/midi_error.h"
#include "midi/port_context.h"
#include "midi/sysex_check.h"

namespace kelvane::midi {
namespace {

// Time for the MIDI service to hand on a message after its scheduled moment: ALSA's queue timer
// ticks every few milliseconds (4 ms at the kernel's usual 250 Hz), and a busy machine adds more.
constexpr std::int64_t kDeliveryMarginMs = 25;

bool FitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

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
        return kNoError;
    }
    if (!FitsInt32(deviceId)) {
        return kInvalidDeviceId;
    }
    if (!FitsInt32(bufferSize) || !FitsInt32(latency)) {
        return kBadData;
    }
    Backend& backend = context.Ready();
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
    return kNoError;
}

int MidiStream::Write(const MidiEvent& data) {
    if (!IsShortStatus(data.Status) || !IsDataByte(data.Data1) || !IsDataByte(data.Data2) ||
        !FitsInt32(data.When)) {
        return kBadData;
    }
    if (!IsOpen()) {
        return ClosedError();
    }
    const auto message =
        static_cast<std::int32_t>(data.Status | (data.Data1 << 8) | (data.Data2 << 16));
    Backend& backend = PortContext::Instance().Ready();
    const int error = backend.WriteShort(handle_, static_cast<std::int32_t>(data.When), message);
    NoteWrite(backend, 3);
    return error;
}

int MidiStream::WriteSysEx(std::int64_t when, std::span<const std::uint8_t> message,
                           std::int64_t offset) {
    if (offset < 0 || static_cast<std::uint64_t>(offset) > message.size() || !FitsInt32(when)) {
        return kBadData;
    }
    const SysExCheck check = CheckSysEx(message.subspan(static_cast<std::size_t>(offset)));
    if (!check.problem.isEmpty()) {
        return kBadData;
    }
    if (!IsOpen()) {
        return ClosedError();
    }
    Backend& backend = PortContext::Instance().Ready();
    int error = kNoError;
    for (const auto& one : check.messages) {
        error = backend.WriteSysEx(handle_, static_cast<std::int32_t>(when), one);
        NoteWrite(backend, static_cast<std::int64_t>(one.size()));
        if (error != kNoError) {
            break;
        }
    }
    return error;
}

int MidiStream::ClosedError() const { return openError_ != kNoError ? openError_ : kBadPtr; }

void MidiStream::Close() {
    if (!IsOpen()) {
        return;
    }
    PortContext& context = PortContext::Instance();
    if (Drained()) {
        context.Ready().Close(handle_);
    } else {
        context.CloseLater({handle_, device_, bufferSize_, latency_, drainedAtMs_});
    }
    handle_ = nullptr;
    device_ = -1;
}

bool MidiStream::Drained() const { return PortContext::Instance().Ready().NowMs() >= drainedAtMs_; }

void MidiStream::NoteWrite(Backend& backend, std::int64_t bytes) {
    const std::int64_t now = backend.NowMs();
    pace_.Note(bytes, now);
    if (latency_ > 0) {
        drainedAtMs_ = now + latency_ + kDeliveryMarginMs;
    }
}

}  // namespace kelvane::midi
