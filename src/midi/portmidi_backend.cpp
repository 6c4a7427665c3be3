#include "midi/portmidi_backend.h"

#include <portmidi.h>
#include <porttime.h>

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "midi/midi_error.h"
#include "midi/sysex_feed.h"

namespace kelvane::midi {

static_assert(kHostError == pmHostError && kInvalidDeviceId == pmInvalidDeviceId &&
              kInsufficientMemory == pmInsufficientMemory && kBufferTooSmall == pmBufferTooSmall &&
              kBufferOverflow == pmBufferOverflow && kBadPtr == pmBadPtr && kBadData == pmBadData &&
              kInternalError == pmInternalError);
// ALSA's backend cuts SysEx into events of PortMidi's buffer size, and the feed counts on them.
static_assert(kPieceBytes == PM_DEFAULT_SYSEX_BUFFER_SIZE);

namespace {

// A time stamp so far back that PortMidi schedules it at once, without its latency.
constexpr PmTimestamp kLongAgoMs = 1'000'000;

}  // namespace

int PortMidiBackend::Initialize() {
    hostErrorText_.clear();
    ports_.Listen();
    int error = Pm_Initialize();
    // A device that came or went during the scan: once more, and then go on unchecked.
    if (!ports_.Find()) {
        Pm_Terminate();
        ports_.Listen();
        error = Pm_Initialize();
        ports_.Find();
    }
    return error;
}

int PortMidiBackend::Terminate() {
    ports_.Close();
    return Pm_Terminate();
}

int PortMidiBackend::CountDevices() { return Pm_CountDevices(); }

std::optional<MidiDeviceInfo> PortMidiBackend::DeviceInfo(int id) {
    const PmDeviceInfo* info = Pm_GetDeviceInfo(id);
    if (info == nullptr) {
        return std::nullopt;
    }
    // The strings belong to PortMidi and die with Pm_Terminate: copy them now.
    return MidiDeviceInfo{info->name ? info->name : "", info->interf ? info->interf : "",
                          info->input != 0, info->output != 0};
}

int PortMidiBackend::OpenOutput(StreamHandle* stream, int id, std::int32_t bufferSize,
                                std::int32_t latency) {
    // Latency scheduling runs on PortTime, which must be started before the first such open;
    // without latency nothing is scheduled, and no timer thread is needed.
    if (latency > 0 && !Pt_Started()) {
        Pt_Start(1, nullptr, nullptr);
    }
    // A text kept for an earlier stream would describe this one wrongly.
    hostErrorText_.clear();
    PortMidiStream* opened = nullptr;
    const PmError error =
        Pm_OpenOutput(&opened, id, nullptr, bufferSize, nullptr, nullptr, latency);
    if (error == pmNoError) {
        *stream = opened;
    }
    return error;
}

int PortMidiBackend::Close(StreamHandle stream) {
    if (inputs_.erase(stream) > 0) {
        return pmNoError;
    }
    return Pm_Close(stream);
}

int PortMidiBackend::WriteShort(StreamHandle stream, std::int32_t when, std::int32_t message) {
    return Pm_WriteShort(stream, when, message);
}

int PortMidiBackend::WriteSysEx(StreamHandle stream, std::int32_t when,
                                std::span<const std::uint8_t> message) {
    // Pm_WriteSysEx reads up to the first F7 and no further: that F7 must end the span, or it
    // would read past it.
    const auto end = std::find(message.begin(), message.end(), std::uint8_t{0xF7});
    if (message.empty() || message.front() != 0xF0 || end + 1 != message.end()) {
        return pmBadData;
    }
    return Pm_WriteSysEx(stream, when, const_cast<unsigned char*>(message.data()));
}

int PortMidiBackend::WriteSysExParts(StreamHandle stream, std::span<const SysExPart> parts) {
    std::vector<PmEvent> words;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const std::span<const std::uint8_t> bytes = parts[p].bytes;
        // A part cut inside a word would send the zeros that fill the word.
        if (p + 1 < parts.size() && bytes.size() % 4 != 0) {
            return pmBadData;
        }
        for (std::size_t i = 0; i < bytes.size(); i += 4) {
            PmMessage word = 0;
            for (std::size_t b = 0; b < 4 && i + b < bytes.size(); ++b) {
                word |= static_cast<PmMessage>(bytes[i + b]) << (8 * b);
            }
            words.push_back({word, parts[p].when});
        }
    }
    return Pm_Write(stream, words.data(), static_cast<std::int32_t>(words.size()));
}

std::int32_t PortMidiBackend::TimeStamp(std::int64_t delayMs) {
    if (delayMs == 0) {
        return 0;
    }
    if (!Pt_Started()) {
        Pt_Start(1, nullptr, nullptr);
    }
    const PmTimestamp stamp =
        Pt_Time() + (delayMs < 0 ? -kLongAgoMs : static_cast<PmTimestamp>(delayMs));
    // PortMidi reads a stamp of 0 as now.
    return stamp != 0 ? stamp : (delayMs < 0 ? -1 : 1);
}

std::string PortMidiBackend::ErrorText(int error) {
    std::string text = Pm_GetErrorText(static_cast<PmError>(error));
    if (error == pmHostError) {
        // PortMidi hands the host's text out once, but a stream whose open failed goes on
        // reporting that error on every write: keep the text for them.
        char host[PM_HOST_ERROR_MSG_LEN] = {};
        Pm_GetHostErrorText(host, sizeof host);
        if (host[0] != '\0') {
            hostErrorText_ = host;
        }
        if (!hostErrorText_.empty()) {
            text += ": " + hostErrorText_;
        }
    }
    return text;
}

std::string PortMidiBackend::ServiceProblem() {
    // PortMidi reaches MIDI on Linux through the ALSA sequencer and says nothing when it cannot
    // open it; our own handle's open, at initialisation, is the one way to know.
    return ports_.Problem();
}

std::int64_t PortMidiBackend::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PortMidiBackend::SleepMs(std::int64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int PortMidiBackend::OpenInput(StreamHandle* stream, int id, std::int32_t bufferSize) {
    hostErrorText_.clear();
    const std::optional<MidiDeviceInfo> device = DeviceInfo(id);
    const auto address = ports_.SequencerAddress(id);
    if (!device || !device->HasInput) {
        return pmInvalidDeviceId;
    }
    if (!address) {
        hostErrorText_ = "the device's sequencer port cannot be found";
        return pmHostError;
    }
    auto input = std::make_unique<AlsaInput>();
    if (const int error = input->Open(address->first, address->second, bufferSize); error < 0) {
        return InputError(error);
    }
    *stream = input.get();
    inputs_.emplace(*stream, std::move(input));
    return pmNoError;
}

int PortMidiBackend::Read(StreamHandle stream, std::span<std::uint8_t> bytes) {
    AlsaInput* input = InputOf(stream);
    if (input == nullptr) {
        return pmBadPtr;
    }
    const int read = input->Read(bytes);
    return read == -ENOSPC ? pmBufferOverflow : InputError(read);
}

int PortMidiBackend::InputDescriptor(StreamHandle stream) {
    const AlsaInput* input = InputOf(stream);
    return input == nullptr ? -1 : input->Descriptor();
}

AlsaInput* PortMidiBackend::InputOf(StreamHandle stream) {
    const auto found = inputs_.find(stream);
    return found == inputs_.end() ? nullptr : found->second.get();
}

// ALSA's errors as a host error with ALSA's text; anything else as it is.
int PortMidiBackend::InputError(int alsaError) {
    if (alsaError >= 0) {
        return alsaError;
    }
    hostErrorText_ = snd_strerror(alsaError);
    return pmHostError;
}

}  // namespace kelvane::midi
