// A MIDI receiver for the system tests: an ALSA sequencer client subscribed to SOURCE
// ("client:port") that prints the bytes of every event in hex. It asks for the kernel's largest
// input pool, 2000 cells, unless POOL says otherwise (0: ALSA's default, about 5 KiB of SysEx,
// which drops parts of a long SysEx arriving in bursts). It takes NAME once it listens.
//   kelvane_midi_receiver NAME SOURCE [POOL]
#include <alsa/asoundlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    snd_seq_t* seq = nullptr;
    snd_seq_addr_t source{};
    const int pool = argc > 3 ? std::atoi(argv[3]) : 2000;
    if (argc < 3 || snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, 0) < 0 ||
        snd_seq_parse_address(seq, &source, argv[2]) < 0 ||
        (pool > 0 && snd_seq_set_client_pool_input(seq, pool) < 0) ||
        snd_seq_create_simple_port(seq, "in", SND_SEQ_PORT_CAP_WRITE,
                                   SND_SEQ_PORT_TYPE_APPLICATION) < 0 ||
        snd_seq_connect_from(seq, 0, source.client, source.port) < 0 ||
        snd_seq_set_client_name(seq, argv[1]) < 0) {
        std::fprintf(stderr, "usage: %s NAME SOURCE-CLIENT:PORT [POOL]\n", argv[0]);
        return 2;
    }
    snd_midi_event_t* decoder = nullptr;
    snd_midi_event_new(256, &decoder);
    snd_midi_event_no_status(decoder, 1);  // every message with its own status byte
    for (snd_seq_event_t* event = nullptr;;) {
        unsigned char buffer[256];
        if (snd_seq_event_input(seq, &event) < 0 || event == nullptr) {
            continue;
        }
        const bool sysex = event->type == SND_SEQ_EVENT_SYSEX;
        const auto* bytes = sysex ? static_cast<const unsigned char*>(event->data.ext.ptr) : buffer;
        const long size = sysex ? static_cast<long>(event->data.ext.len)
                                : snd_midi_event_decode(decoder, buffer, sizeof buffer, event);
        for (long i = 0; i < size; ++i) {
            std::printf("%02X ", bytes[i]);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
}
