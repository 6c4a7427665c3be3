// A MIDI receiver for the system tests: an ALSA sequencer client with one port that others can
// write to, optionally subscribed to another port's output as well. It prints "client:port" once
// ready, then writes one line per event to the output file, flushed at once:
//   <CLOCK_MONOTONIC nanoseconds> <bytes in hex>
//
//   kelvane_midi_receiver NAME OUTPUT [SOURCE-CLIENT:PORT]
//
// A NAME ending in "default-pool" keeps ALSA's default input pool, as most programs do.
#include <alsa/asoundlib.h>

#include <cstdio>
#include <ctime>
#include <string_view>
#include <vector>

namespace {

// The kernel's largest input pool: a long SysEx arrives in bursts that the default pool (about
// 5 KiB) would drop.
constexpr int kInputPool = 2000;

long long NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

void WriteLine(FILE* out, long long ns, const unsigned char* bytes, long size) {
    std::fprintf(out, "%lld", ns);
    for (long i = 0; i < size; ++i) {
        std::fprintf(out, " %02X", bytes[i]);
    }
    std::fputc('\n', out);
    std::fflush(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s NAME OUTPUT [SOURCE-CLIENT:PORT]\n", argv[0]);
        return 2;
    }
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) {
        std::perror("snd_seq_open");
        return 1;
    }
    snd_seq_set_client_name(seq, argv[1]);
    if (!std::string_view(argv[1]).ends_with("default-pool")) {
        snd_seq_set_client_pool_input(seq, kInputPool);
    }
    const int port = snd_seq_create_simple_port(
        seq, argv[1], SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) {
        std::fprintf(stderr, "cannot create the port: %s\n", snd_strerror(port));
        return 1;
    }
    if (argc > 3) {
        snd_seq_addr_t source{};
        if (snd_seq_parse_address(seq, &source, argv[3]) < 0 ||
            snd_seq_connect_from(seq, port, source.client, source.port) < 0) {
            std::fprintf(stderr, "cannot subscribe to %s\n", argv[3]);
            return 1;
        }
    }
    FILE* out = std::fopen(argv[2], "w");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    snd_midi_event_t* decoder = nullptr;
    snd_midi_event_new(256, &decoder);
    snd_midi_event_no_status(decoder, 1);  // every message with its own status byte

    std::printf("%d:%d\n", snd_seq_client_id(seq), port);
    std::fflush(stdout);

    std::vector<unsigned char> bytes(256);
    for (;;) {
        snd_seq_event_t* event = nullptr;
        if (snd_seq_event_input(seq, &event) < 0 || event == nullptr) {
            continue;
        }
        const long long ns = NowNs();
        if (event->type == SND_SEQ_EVENT_SYSEX) {
            WriteLine(out, ns, static_cast<const unsigned char*>(event->data.ext.ptr),
                      static_cast<long>(event->data.ext.len));
            continue;
        }
        const long size =
            snd_midi_event_decode(decoder, bytes.data(), static_cast<long>(bytes.size()), event);
        if (size > 0) {
            WriteLine(out, ns, bytes.data(), size);
        }
    }
}
