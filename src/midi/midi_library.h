#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "midi/midi_device_info.h"

namespace kelvane::midi {

// The library object. Its operations are class-level; creating one makes the port layer ready.
class MidiLibrary {
public:
    MidiLibrary();

    static std::int64_t CountDevices();
    // Every ID below CountDevices() is described; any other, a negative one too, gets nothing.
    static std::optional<MidiDeviceInfo> DeviceInfo(std::int64_t deviceId);
    // Closes every open stream (after its pending output) and scans the devices anew; streams
    // can be opened again afterwards. Returns 0 or a PortMidi error.
    // kHostError also when the MIDI service cannot be reached, which PortMidi reports as success.
    static int ReInitialize();
    // Why the MIDI service could not be reached when the port layer was last initialised, as
    // the backend found it ("the ALSA sequencer cannot be opened (...)"); empty when it could.
    static QString ServiceProblem();
    // Whether the last initialisation could not tell where its devices sit on the MIDI service,
    // so that a device that has left cannot be told from one that is there.
    static bool DevicesUnchecked();
    // Milliseconds until output written so far has left PortMidi; a rescan before then waits.
    static std::int64_t MsUntilOutputLeft();
    // The port layer's clock, in milliseconds, which pacing counts on, and a pause on it.
    static std::int64_t NowMs();
    static void SleepMs(std::int64_t ms);
};

// PortMidi's own text for error, and for a host error the host's text after it.
QString ErrorText(int error);

}  // namespace kelvane::midi
