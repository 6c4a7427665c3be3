#include "support/recording_backend.h"

#include <QByteArray>
#include <algorithm>
#include <limits>

#include "midi/midi_error.h"

namespace kelvane::testing {

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    return data.isEmpty() ? "" : " " + data.toHex(' ').toUpper().toStdString();
}

std::vector<std::string> RecordingBackend::Writes() const {
    std::vector<std::string> writes = calls;
    std::erase_if(writes, [](const std::string& call) { return !call.starts_with("Write"); });
    return writes;
}

int RecordingBackend::Initialize() {
    calls.emplace_back("Initialize");
    seen_ = devices;
    return initializeResult;
}

int RecordingBackend::Terminate() {
    calls.emplace_back("Terminate");
    if (!open_.empty()) {
        misuse.emplace_back("Terminate with open streams");
    }
    open_.clear();  // their handles dangle from now on
    seen_.clear();
    return midi::kNoError;
}

std::optional<midi::MidiDeviceInfo> RecordingBackend::DeviceInfo(int id) {
    return id >= 0 && id < CountDevices() ? seen_[std::size_t(id)]
                                          : std::optional<midi::MidiDeviceInfo>();
}

int RecordingBackend::OpenOutput(midi::StreamHandle* stream, int id, std::int32_t bufferSize,
                                 std::int32_t latency) {
    calls.push_back("OpenOutput " + std::to_string(id) + " " + std::to_string(bufferSize) + " " +
                    std::to_string(latency));
    return Open(stream, id, DeviceInfo(id) && DeviceInfo(id)->HasOutput);
}

int RecordingBackend::Open(midi::StreamHandle* stream, int id, bool usable) {
    const bool busy = std::ranges::any_of(open_, [id](auto& open) { return open.second == id; });
    if (!usable || busy || failingOpens.contains(id)) {
        return midi::kInvalidDeviceId;
    }
    *stream = reinterpret_cast<midi::StreamHandle>(nextHandle_++);
    open_[*stream] = id;
    return midi::kNoError;
}

int RecordingBackend::Record(const char* call, midi::StreamHandle stream, const std::string& when,
                             std::span<const std::uint8_t> bytes) {
    const auto found = open_.find(stream);
    const bool write = call[0] == 'W';
    std::string line = call + (" " + std::to_string(found == open_.end() ? -1 : found->second));
    line += write ? " " + when + HexBytes(bytes) : "";
    calls.push_back(line);
    if (found == open_.end()) {
        misuse.push_back(line + " on a dead handle");
        return midi::kBadPtr;
    }
    return write && goodWrites-- <= 0 && failingWrites-- > 0 ? midi::kHostError : midi::kNoError;
}

int RecordingBackend::Close(midi::StreamHandle stream) {
    const int result = Record("Close", stream, "", {});
    open_.erase(stream);
    return result;
}

int RecordingBackend::WriteShort(midi::StreamHandle stream, std::int32_t when,
                                 std::int32_t message) {
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(message),
                                  static_cast<std::uint8_t>(message >> 8),
                                  static_cast<std::uint8_t>(message >> 16)};
    return Record("WriteShort", stream, std::to_string(when), bytes);
}

int RecordingBackend::WriteSysEx(midi::StreamHandle stream, std::int32_t when,
                                 std::span<const std::uint8_t> message) {
    // PortMidi reads up to the first F7: anything else would be read past or cut.
    if (message.empty() || message.front() != 0xF0 ||
        std::find(message.begin(), message.end(), 0xF7) + 1 != message.end()) {
        misuse.emplace_back("WriteSysEx of a block that is not one message");
    }
    return Record("WriteSysEx", stream, std::to_string(when), message);
}

int RecordingBackend::WriteSysExParts(midi::StreamHandle stream,
                                      std::span<const midi::SysExPart> parts) {
    for (const midi::SysExPart& part : parts) {
        if (&part != &parts.back() && part.bytes.size() % 4 != 0) {
            misuse.emplace_back("WriteSysExParts with a part cut inside a word");
        }
        if (const int result = Record("WritePart", stream, std::to_string(part.when), part.bytes);
            result != midi::kNoError) {
            return result;
        }
    }
    return midi::kNoError;
}

void RecordingBackend::SleepMs(std::int64_t ms) {
    calls.push_back("Sleep " + std::to_string(ms));
    nowMs += ms;
}

int RecordingBackend::OpenInput(midi::StreamHandle* stream, int id, std::int32_t bufferSize) {
    calls.push_back("OpenInput " + std::to_string(id) + " " + std::to_string(bufferSize));
    return Open(stream, id, DeviceInfo(id) && DeviceInfo(id)->HasInput);
}

int RecordingBackend::Read(midi::StreamHandle stream, std::span<std::uint8_t> bytes) {
    if (!open_.contains(stream)) {
        misuse.emplace_back("Read on a dead handle");
        return midi::kBadPtr;
    }
    std::size_t count = 0;
    while (count < bytes.size() && arrived_ < arrivals.size() && arrivals[arrived_].atMs <= nowMs) {
        const std::vector<std::uint8_t>& next = arrivals[arrived_].bytes;
        if (next.empty()) {  // a loss, told after what came before it
            if (count > 0) {
                break;
            }
            ++arrived_;
            return midi::kBufferOverflow;
        }
        bytes[count++] = next[readOf_++];
        if (readOf_ == next.size()) {
            ++arrived_;
            readOf_ = 0;
        }
    }
    return static_cast<int>(count);
}

std::int64_t RecordingBackend::MsUntilInput() const {
    return arrived_ < arrivals.size() ? std::max<std::int64_t>(arrivals[arrived_].atMs - nowMs, 0)
                                      : std::numeric_limits<std::int32_t>::max();
}

}  // namespace kelvane::testing
