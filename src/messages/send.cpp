#include "messages/send.h"

#include "midi/output_settings.h"

namespace kelvane {

int SendControlChange(midi::MidiStream& stream, const ControlChange& message) {
    midi::MidiEvent event;
    event.Set(message.status, message.controller, message.value);
    return stream.Write(event);
}

void SendSysExBlock(midi::MidiStream& stream, std::int64_t deviceId, const MemoryBlock& block) {
    stream.OpenOutput(deviceId, midi::kOutputBufferSize, midi::kSendLatencyMs);
    stream.WriteSysEx(0, block.Bytes(), 0);
}

}  // namespace kelvane
