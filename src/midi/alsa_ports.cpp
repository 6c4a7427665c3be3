#include "midi/alsa_ports.h"

#include <alsa/asoundlib.h>
#include <portmidi.h>

#include <utility>
#include <vector>

namespace kelvane::midi {
namespace {

snd_seq_t* Sequencer(void* handle) { return static_cast<snd_seq_t*>(handle); }

}  // namespace

void AlsaPorts::Close() {
    addresses_.clear();
    if (sequencer_ != nullptr) {
        snd_seq_close(Sequencer(std::exchange(sequencer_, nullptr)));
    }
}

std::string AlsaPorts::Problem() const {
    if (openError_ < 0) {
        return std::string("the ALSA sequencer cannot be opened (") + snd_strerror(openError_) +
               ")";
    }
    return {};
}

// Walks the sequencer's ports as PortMidi does when it initialises: every client but the system,
// each port an output where it can be written to, then an input where it can be read.
void AlsaPorts::Find() {
    addresses_.clear();
    if (sequencer_ == nullptr) {
        snd_seq_t* opened = nullptr;
        openError_ = snd_seq_open(&opened, "default", SND_SEQ_OPEN_OUTPUT, 0);
        sequencer_ = openError_ < 0 ? nullptr : opened;
    }
    if (sequencer_ == nullptr) {
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

bool AlsaPorts::Gone(int id) const {
    if (id < 0 || id >= std::ssize(addresses_)) {
        return false;
    }
    const Address address = addresses_[std::size_t(id)];
    snd_seq_port_info_t* port = nullptr;
    snd_seq_port_info_alloca(&port);
    return snd_seq_get_any_port_info(Sequencer(sequencer_), address.client, address.port, port) < 0;
}

std::optional<std::pair<int, int>> AlsaPorts::SequencerAddress(int id) const {
    if (id < 0 || id >= std::ssize(addresses_)) {
        return std::nullopt;
    }
    const Address address = addresses_[std::size_t(id)];
    return std::pair(address.client, address.port);
}

}  // namespace kelvane::midi
