// Writes one Control Change (B0 15 2A) with latency 100 to the output whose name starts with
// the argument, and returns at once: what is still scheduled must leave before the process ends.
#include "midi/midi_library.h"
#include "midi/midi_stream.h"

int main(int argc, char** argv) {
    using namespace kelvane::midi;
    MidiLibrary library;
    for (std::int64_t id = 0; argc == 2 && id < MidiLibrary::CountDevices(); ++id) {
        if (MidiLibrary::DeviceInfo(id)->HasOutput &&
            MidiLibrary::DeviceInfo(id)->Name.starts_with(argv[1])) {
            MidiStream stream;
            MidiEvent event;
            event.Set(0xB0, 0x15, 0x2A);
            return stream.OpenOutput(id, 10000, 100) == 0 && stream.Write(event) == 0 ? 0 : 1;
        }
    }
    return 3;
}
