#include "support/recording_backend.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "midi/midi_error.h"
#include "midi/port_context.h"

namespace kelvane::testing {

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    std::string out;
    char piece[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(piece, sizeof piece, " %02X", byte);
        out += piece;
    }
    return out;
}

std::vector<std::string> RecordingBackend::Calls() const {
    std::vector<std::string> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [](const std::string& call) { return !call.starts_with("Sleep"); });
    return out;
}

std::vector<std::string> RecordingBackend::Writes() const {
    std::vector<std::string> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [](const std::string& call) { return call.starts_with("Write"); });
    return out;
}

int RecordingBackend::Initialize() {
    calls.emplace_back("Initialize");
    initialized_ = true;
    seen_ = devices;
    return initializeResult;
}

int RecordingBackend::Terminate() {
    calls.emplace_back("Terminate");
    if (!open_.empty()) {
        misuse.emplace_back("Terminate with open streams");
    }
    open_.clear();  // their handles dangle from now on
    initialized_ = false;
    seen_.clear();
    return midi::kNoError;
}

int RecordingBackend::CountDevices() { return static_cast<int>(seen_.size()); }

std::optional<midi::DeviceRecord> RecordingBackend::DeviceInfo(int id) {
    if (id < 0 || id >= CountDevices()) {
        return std::nullopt;
    }
    return seen_[static_cast<std::size_t>(id)];
}

int RecordingBackend::OpenOutput(midi::StreamHandle* stream, int id, std::int32_t bufferSize,
                                 std::int32_t latency) {
    calls.push_back("OpenOutput " + std::to_string(id) + " " + std::to_string(bufferSize) + " " +
                    std::to_string(latency));
    if (id < 0 || id >= CountDevices() || !seen_[static_cast<std::size_t>(id)].hasOutput) {
        return midi::kInvalidDeviceId;
    }
    const bool alreadyOpen = std::any_of(open_.begin(), open_.end(),
                                         [id](const auto& entry) { return entry.second == id; });
    if (alreadyOpen || failingOpens.contains(id)) {
        return midi::kInvalidDeviceId;
    }
    *stream = reinterpret_cast<midi::StreamHandle>(nextHandle_++);
    open_[*stream] = id;
    return midi::kNoError;
}

int RecordingBackend::DeviceOf(midi::StreamHandle stream, const char* call) {
    const auto found = open_.find(stream);
    if (found == open_.end()) {
        misuse.push_back(std::string(call) + " on a dead handle");
        return -1;
    }
    return found->second;
}

int RecordingBackend::Close(midi::StreamHandle stream) {
    const int device = DeviceOf(stream, "Close");
    calls.push_back("Close " + std::to_string(device));
    open_.erase(stream);
    return device < 0 ? midi::kBadPtr : midi::kNoError;
}

int RecordingBackend::WriteShort(midi::StreamHandle stream, std::int32_t when,
                                 std::int32_t message) {
    const int device = DeviceOf(stream, "WriteShort");
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(message & 0xFF),
                                  static_cast<std::uint8_t>((message >> 8) & 0xFF),
                                  static_cast<std::uint8_t>((message >> 16) & 0xFF)};
    calls.push_back("WriteShort " + std::to_string(device) + " " + std::to_string(when) +
                    HexBytes(bytes));
    return device < 0 ? midi::kBadPtr : midi::kNoError;
}

int RecordingBackend::WriteSysEx(midi::StreamHandle stream, std::int32_t when,
                                 std::span<const std::uint8_t> message) {
    return RecordSysEx(stream, std::to_string(when), message);
}

int RecordingBackend::WriteSysExSpread(midi::StreamHandle stream,
                                       std::span<const std::uint8_t> message, std::int64_t,
                                       std::int64_t) {
    return RecordSysEx(stream, "~", message);
}

int RecordingBackend::RecordSysEx(midi::StreamHandle stream, const std::string& when,
                                  std::span<const std::uint8_t> message) {
    const int device = DeviceOf(stream, "WriteSysEx");
    calls.push_back("WriteSysEx " + std::to_string(device) + " " + when + HexBytes(message));
    // PortMidi reads up to the first F7: anything else would be read past or cut.
    const auto end = std::find(message.begin(), message.end(), 0xF7);
    if (message.empty() || message.front() != 0xF0 || end + 1 != message.end()) {
        misuse.emplace_back("WriteSysEx of a block that is not one message");
    }
    return device < 0 ? midi::kBadPtr : midi::kNoError;
}

void RecordingBackend::SleepMs(std::int64_t ms) {
    calls.push_back("Sleep " + std::to_string(ms));
    nowMs += ms;
}

ScopedRecordingBackend::ScopedRecordingBackend() {
    auto backend = std::make_unique<RecordingBackend>();
    backend_ = backend.get();
    midi::PortContext::UseBackend(std::move(backend));
}

ScopedRecordingBackend::~ScopedRecordingBackend() { midi::PortContext::UseBackend(nullptr); }

midi::DeviceRecord Output(const std::string& name) { return {name, "ALSA", false, true}; }

midi::DeviceRecord Input(const std::string& name) { return {name, "ALSA", true, false}; }

}  // namespace kelvane::testing
