#include "midi/alsa_input.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace kelvane::midi {
namespace {

snd_seq_t* Sequencer(void* handle) { return static_cast<snd_seq_t*>(handle); }
snd_midi_event_t* Decoder(void* handle) { return static_cast<snd_midi_event_t*>(handle); }

}  // namespace

AlsaInput::~AlsaInput() {
    if (decoder_ != nullptr) {
        snd_midi_event_free(Decoder(decoder_));
    }
    if (sequencer_ != nullptr) {
        snd_seq_close(Sequencer(sequencer_));
    }
}

int AlsaInput::Open(int client, int port, int poolCells) {
    snd_seq_t* opened = nullptr;
    if (const int error = snd_seq_open(&opened, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK);
        error < 0) {
        return error;
    }
    sequencer_ = opened;
    snd_midi_event_t* decoder = nullptr;
    if (const int error = snd_midi_event_new(0, &decoder); error < 0) {
        return error;
    }
    decoder_ = decoder;
    // Whole messages, each with its status: a status byte is what tells a cut SysEx.
    snd_midi_event_no_status(decoder, 1);
    snd_seq_set_client_name(opened, "Kelvane");
    const int own = snd_seq_create_simple_port(opened, "Kelvane input", SND_SEQ_PORT_CAP_WRITE,
                                               SND_SEQ_PORT_TYPE_APPLICATION);
    if (own < 0) {
        return own;
    }
    if (const int error = snd_seq_set_client_pool_input(opened, std::size_t(poolCells));
        error < 0) {
        return error;
    }
    return snd_seq_connect_from(opened, own, client, port);
}

int AlsaInput::Read(std::span<std::uint8_t> bytes) {
    std::size_t count = 0;
    for (;;) {
        const std::size_t taken = std::min(bytes.size() - count, pending_.size() - handedOut_);
        std::copy_n(pending_.begin() + std::ptrdiff_t(handedOut_), taken, bytes.begin() + count);
        count += taken;
        handedOut_ += taken;
        if (count == bytes.size()) {
            return int(count);
        }
        pending_.clear();
        handedOut_ = 0;
        if (lost_) {
            if (count > 0) {
                return int(count);
            }
            lost_ = false;
            return -ENOSPC;
        }
        const int taking = TakeEvent();
        if (taking == -ENOSPC) {
            lost_ = true;
        } else if (taking < 0) {
            return count > 0 || taking == -EAGAIN ? int(count) : taking;
        }
    }
}

int AlsaInput::TakeEvent() {
    snd_seq_event_t* event = nullptr;
    const int error = snd_seq_event_input(Sequencer(sequencer_), &event);
    if (error < 0) {
        return error;
    }
    if (event->type == SND_SEQ_EVENT_SYSEX) {
        const auto* data = static_cast<const std::uint8_t*>(event->data.ext.ptr);
        pending_.assign(data, data + event->data.ext.len);
        return 0;
    }
    std::uint8_t message[16];
    const long size = snd_midi_event_decode(Decoder(decoder_), message, sizeof message, event);
    // Events that are no MIDI message (the service's own notices) decode to nothing.
    pending_.assign(message, message + std::max(size, 0L));
    return 0;
}

int AlsaInput::Descriptor() const {
    pollfd descriptor{-1, 0, 0};
    if (sequencer_ == nullptr ||
        snd_seq_poll_descriptors(Sequencer(sequencer_), &descriptor, 1, POLLIN) != 1) {
        return -1;
    }
    return descriptor.fd;
}

}  // namespace kelvane::midi
