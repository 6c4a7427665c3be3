#include "messages/send.h"

#include "midi/output_settings.h"

namespace kelvane {

int SendControlChange(midi::MidiStream& stream, const ControlChange& message) {
    midi::MidiEvent event;
    event.Set(message.status, message.controller, message.value);
    return stream.Write(event);
}

midi::PacedSender* PrepareSysExSend(midi::MidiStream& stream, std::int64_t deviceId,
                                    const MemoryBlock& block, QObject* parent) {
    stream.OpenOutput(deviceId, midi::kOutputBufferSize, midi::kSendLatencyMs);
    const std::span<const std::uint8_t> bytes = block.Bytes();
    return new midi::PacedSender(stream, {bytes.begin(), bytes.end()}, parent);
}

}  // namespace kelvane
