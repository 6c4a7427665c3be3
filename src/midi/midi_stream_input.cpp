// The stream's input side: a device's bytes as they arrive, read where nothing is lost unnoticed.
#include <utility>

#include "midi/midi_stream.h"
#include "midi/port_context.h"
#include "text/integer.h"

namespace kelvane::midi {

int MidiStream::OpenInput(std::int64_t deviceId, std::int64_t bufferSize) {
    Close();
    openError_ = kNoError;
    if (!FitsInt32(deviceId)) {
        return kInvalidDeviceId;
    }
    if (!FitsInt32(bufferSize)) {
        return kBadData;
    }
    StreamHandle opened = nullptr;
    const int error = PortContext::Instance().Ready().OpenInput(
        &opened, static_cast<int>(deviceId), static_cast<std::int32_t>(bufferSize));
    if (error != kNoError || opened == nullptr) {
        return error != kNoError ? error : kInternalError;
    }
    input_ = opened;
    return kNoError;
}

int MidiStream::Read(std::span<std::uint8_t> bytes) {
    return IsInputOpen() ? PortContext::Instance().Ready().Read(input_, bytes) : kBadPtr;
}

int MidiStream::InputDescriptor() const {
    return IsInputOpen() ? PortContext::Instance().Ready().InputDescriptor(input_) : -1;
}

void MidiStream::CloseInput() {
    if (IsInputOpen()) {
        PortContext::Instance().Ready().Close(std::exchange(input_, nullptr));
    }
}

}  // namespace kelvane::midi
