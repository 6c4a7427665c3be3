#include "midi/portmidi_backend.h"

#include <alsa/asoundlib.h>
#include <portmidi.h>
#include <porttime.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "midi/midi_error.h"

namespace kelvane::midi {

static_assert(kHostError == pmHostError && kInvalidDeviceId == pmInvalidDeviceId &&
              kInsufficientMemory == pmInsufficientMemory && kBufferTooSmall == pmBufferTooSmall &&
              kBufferOverflow == pmBufferOverflow && kBadPtr == pmBadPtr && kBadData == pmBadData &&
              kInternalError == pmInternalError);

namespace {

// A time stamp so far back that PortMidi schedules it at once, without its latency.
constexpr PmTimestamp kLongAgoMs = 1'000'000;

snd_seq_t* Sequencer(void* handle) { return static_cast<snd_seq_t*>(handle); }

}  // namespace

PortMidiBackend::~PortMidiBackend() { CloseSequencer(); }

void PortMidiBackend::CloseSequencer() {
    if (sequencer_ != nullptr) {
        snd_seq_close(Sequencer(sequencer_));
        sequencer_ = nullptr;
    }
}

int PortMidiBackend::Initialize() {
    hostErrorText_.clear();
    const int error = Pm_Initialize();
    FindAddresses();
    return error;
}

// Our handle lives as long as PortMidi's, so that the next initialisation sees the service anew.
int PortMidiBackend::Terminate() {
    addresses_.clear();
    CloseSequencer();
    return Pm_Terminate();
}

// Walks the sequencer's ports as PortMidi does when it initialises: every client but the system,
// each port an output where it can be written to, then an input where it can be read.
void PortMidiBackend::FindAddresses() {
    addresses_.clear();
    if (OpenSequencer() < 0) {
        return;
    }
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    std::vector<std::pair<Address, std::string>> found;
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(Sequencer(sequencer_), client) == 0) {
        snd_seq_port_info_set_client(port, snd_seq_client_info_get_client(client));
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(Sequencer(sequencer_), port) == 0) {
            const Address address{snd_seq_port_info_get_client(port),
                                  snd_seq_port_info_get_port(port)};
            const unsigned caps = snd_seq_port_info_get_capability(port);
            if (address.client == SND_SEQ_CLIENT_SYSTEM) {
                continue;
            }
            for (const unsigned direction :
                 {SND_SEQ_PORT_CAP_SUBS_WRITE, SND_SEQ_PORT_CAP_SUBS_READ}) {
                if ((caps & direction) != 0) {
                    found.emplace_back(address, snd_seq_port_info_get_name(port));
                }
            }
        }
    }
    // A device that came or went in between would shift every ID after it: then tell nothing.
    if (std::ssize(found) != Pm_CountDevices()) {
        return;
    }
    for (int id = 0; id < std::ssize(found); ++id) {
        const PmDeviceInfo* info = Pm_GetDeviceInfo(id);
        if (info == nullptr || info->name == nullptr ||
            found[std::size_t(id)].second != info->name) {
            addresses_.clear();
            return;
        }
        addresses_.push_back(found[std::size_t(id)].first);
    }
}

bool PortMidiBackend::DeviceGone(int id) {
    if (id < 0 || id >= std::ssize(addresses_)) {
        return false;
    }
    const Address address = addresses_[std::size_t(id)];
    snd_seq_port_info_t* port = nullptr;
    snd_seq_port_info_alloca(&port);
    return snd_seq_get_any_port_info(Sequencer(sequencer_), address.client, address.port, port) < 0;
}

int PortMidiBackend::CountDevices() { return Pm_CountDevices(); }

std::optional<DeviceRecord> PortMidiBackend::DeviceInfo(int id) {
    const PmDeviceInfo* info = Pm_GetDeviceInfo(id);
    if (info == nullptr) {
        return std::nullopt;
    }
    // The strings belong to PortMidi and die with Pm_Terminate: copy them now.
    return DeviceRecord{info->name ? info->name : "", info->interf ? info->interf : "",
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

int PortMidiBackend::Close(StreamHandle stream) { return Pm_Close(stream); }

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

int PortMidiBackend::OpenSequencer() {
    if (sequencer_ != nullptr) {
        return 0;
    }
    snd_seq_t* opened = nullptr;
    const int error = snd_seq_open(&opened, "default", SND_SEQ_OPEN_OUTPUT, 0);
    sequencer_ = error < 0 ? nullptr : opened;
    return error;
}

std::string PortMidiBackend::ServiceProblem() {
    // PortMidi reaches MIDI on Linux through the ALSA sequencer and says nothing when it cannot
    // open it; opening it here is the one way to know.
    const int error = OpenSequencer();
    if (error < 0) {
        return std::string("the ALSA sequencer cannot be opened (") + snd_strerror(error) + ")";
    }
    return {};
}

std::int64_t PortMidiBackend::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PortMidiBackend::SleepMs(std::int64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace kelvane::midi
