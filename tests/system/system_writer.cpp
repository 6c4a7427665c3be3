// Writes one Control Change (B0 15 2A) with latency 100 to the output named on the command line
// and returns at once: what is still scheduled must leave before the process ends.
#include <cstring>

#include "midi/midi_library.h"
#include "midi/midi_stream.h"

int main(int argc, char** argv) {
    using namespace kelvane::midi;
    if (argc != 2) {
        return 2;
    }
    MidiLibrary library;
    for (std::int64_t id = 0; id < MidiLibrary::CountDevices(); ++id) {
        const auto info = MidiLibrary::DeviceInfo(id);
        if (info && info->HasOutput && info->Name == argv[1]) {
            MidiStream stream;
            if (stream.OpenOutput(id, 10000, 100) != 0) {
                return 1;
            }
            MidiEvent event;
            event.Set(0xB0, 0x15, 0x2A);
            return stream.Write(event) == 0 ? 0 : 1;
        }
    }
    return 3;
}
