#include "midi/alsa_ports.h"

#include <alsa/asoundlib.h>
#include <portmidi.h>

#include <cerrno>
#include <utility>

#include "midi/sysex_feed.h"

namespace kelvane::midi {

// The feed's sizes count on these; a change would reorder a long message's pieces unseen.
static_assert(sizeof(snd_seq_event_t) == kSeqEventBytes);

namespace {

snd_seq_t* Sequencer(void* handle) { return static_cast<snd_seq_t*>(handle); }

// Opened as PortMidi opens its own, so that it gets the same defaults; never blocks.
int Open(snd_seq_t*& opened) {
    const int error = snd_seq_open(&opened, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (error == 0) {
        snd_seq_set_client_name(opened, "Kelvane");
    }
    return error;
}

// Writable for the announcements, but without subscription rights: PortMidi lists only ports
// that others may subscribe to, so this one shifts no device ID.
bool Subscribe(snd_seq_t* sequencer) {
    const int port = snd_seq_create_simple_port(
        sequencer, "Kelvane announcements", SND_SEQ_PORT_CAP_WRITE, SND_SEQ_PORT_TYPE_APPLICATION);
    return port >= 0 && snd_seq_connect_from(sequencer, port, SND_SEQ_CLIENT_SYSTEM,
                                             SND_SEQ_PORT_SYSTEM_ANNOUNCE) == 0;
}

}  // namespace

void AlsaPorts::Close() {
    ports_.clear();
    unmatched_ = false;
    if (sequencer_ != nullptr) {
        snd_seq_close(Sequencer(std::exchange(sequencer_, nullptr)));
    }
    hearing_ = false;
}

std::string AlsaPorts::Problem() const {
    if (openError_ < 0) {
        return std::string("the ALSA sequencer cannot be opened (") + snd_strerror(openError_) +
               ")";
    }
    return {};
}

void AlsaPorts::Listen() {
    ports_.clear();
    if (sequencer_ == nullptr) {
        snd_seq_t* opened = nullptr;
        openError_ = Open(opened);
        sequencer_ = openError_ < 0 ? nullptr : opened;
        // Without the announcements, the names at a device's address are left to tell.
        hearing_ = sequencer_ != nullptr && Subscribe(opened);
    }
    // What left before the scan is not in it.
    HearAnnouncements();
}

// Asked when wanted rather than at each Listen: nothing on the way to a send needs them, and our
// client never changes them.
AlsaPorts::Defaults AlsaPorts::ClientDefaults() const {
    if (sequencer_ == nullptr) {
        return {};
    }
    snd_seq_client_pool_t* pool = nullptr;
    snd_seq_client_pool_alloca(&pool);
    if (snd_seq_get_client_pool(Sequencer(sequencer_), pool) < 0) {
        return {};
    }
    return {static_cast<std::int64_t>(snd_seq_get_output_buffer_size(Sequencer(sequencer_))),
            static_cast<std::int64_t>(snd_seq_client_pool_get_output_pool(pool))};
}

// Walks the sequencer's ports as PortMidi does when it initialises: every client but the system,
// each port an output where it can be written to, then an input where it can be read.
bool AlsaPorts::Find() {
    ports_.clear();
    unmatched_ = false;
    if (sequencer_ == nullptr) {
        return true;
    }
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    std::vector<SeqPort> found;
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(Sequencer(sequencer_), client) == 0) {
        snd_seq_port_info_set_client(port, snd_seq_client_info_get_client(client));
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(Sequencer(sequencer_), port) == 0) {
            const int number = snd_seq_port_info_get_client(port);
            const unsigned caps = snd_seq_port_info_get_capability(port);
            if (number == SND_SEQ_CLIENT_SYSTEM) {
                continue;
            }
            for (const unsigned direction :
                 {SND_SEQ_PORT_CAP_SUBS_WRITE, SND_SEQ_PORT_CAP_SUBS_READ}) {
                if ((caps & direction) != 0) {
                    found.push_back({number, snd_seq_port_info_get_port(port),
                                     snd_seq_client_info_get_name(client),
                                     snd_seq_port_info_get_name(port)});
                }
            }
        }
    }
    std::vector<const char*> names;
    for (int id = 0; id < Pm_CountDevices(); ++id) {
        const PmDeviceInfo* info = Pm_GetDeviceInfo(id);
        names.push_back(info != nullptr ? info->name : nullptr);
    }
    unmatched_ = !MatchPortMidi(found, names);
    if (!unmatched_) {
        ports_ = std::move(found);
    }
    return !unmatched_;
}

void AlsaPorts::HearAnnouncements() {
    if (!hearing_) {
        return;
    }
    for (;;) {
        snd_seq_event_t* event = nullptr;
        const int got = snd_seq_event_input(Sequencer(sequencer_), &event);
        if (got == -ENOSPC) {
            // Announcements were lost: any device may have left.
            for (SeqPort& one : ports_) {
                one.gone = true;
            }
            continue;
        }
        if (got < 0 || event == nullptr) {
            return;  // nothing more to hear
        }
        const snd_seq_addr_t& left = event->data.addr;
        const std::optional<SeqExit> exit =
            event->type == SND_SEQ_EVENT_CLIENT_EXIT ? SeqExit{left.client, std::nullopt}
            : event->type == SND_SEQ_EVENT_PORT_EXIT ? SeqExit{left.client, left.port}
                                                     : std::optional<SeqExit>();
        for (SeqPort& one : ports_) {
            one.gone = one.gone || (exit && LeavesWith(one, *exit));
        }
    }
}

bool AlsaPorts::SameAsListed(const SeqPort& listed) const {
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_t* sequencer = Sequencer(sequencer_);
    return snd_seq_get_any_port_info(sequencer, listed.client, listed.port, port) == 0 &&
           snd_seq_get_any_client_info(sequencer, listed.client, client) == 0 &&
           listed.portName == snd_seq_port_info_get_name(port) &&
           listed.clientName == snd_seq_client_info_get_name(client);
}

bool AlsaPorts::Gone(int id) {
    if (id < 0 || id >= std::ssize(ports_)) {
        return false;
    }
    HearAnnouncements();
    SeqPort& port = ports_[std::size_t(id)];
    // Once gone, gone until the next scan, even if it comes back.
    port.gone = port.gone || !SameAsListed(port);
    return port.gone;
}

std::optional<std::pair<int, int>> AlsaPorts::SequencerAddress(int id) const {
    if (id < 0 || id >= std::ssize(ports_)) {
        return std::nullopt;
    }
    const SeqPort& port = ports_[std::size_t(id)];
    return std::pair(port.client, port.port);
}

}  // namespace kelvane::midi
