#include <gtest/gtest.h>

#include <unistd.h>

#include <vector>

#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "midi/port_context.h"

// Against the real PortMidi. On a machine without a MIDI service it sees no device; with one,
// each open either succeeds or fails, and nothing may crash or leak either way.
namespace kelvane::midi {
namespace {

TEST(RealPortMidi, EveryOperationFailsCleanlyOrWorks) {
    PortContext::UseBackend(nullptr);
    MidiLibrary library;
    const std::int64_t count = MidiLibrary::CountDevices();
    ASSERT_GE(count, 0);
    for (std::int64_t id = 0; id < count; ++id) {
        EXPECT_TRUE(MidiLibrary::DeviceInfo(id)) << id;
    }
    EXPECT_FALSE(MidiLibrary::DeviceInfo(count));

    MidiStream stream;
    EXPECT_EQ(stream.OpenOutput(-1, 10000, 1), kInvalidDeviceId);
    EXPECT_EQ(stream.OpenOutput(count, 10000, 1), kInvalidDeviceId);
    EXPECT_FALSE(stream.IsOpen());
    MidiEvent event;
    event.Set(0xB0, 7, 127);
    EXPECT_EQ(stream.Write(event), kInvalidDeviceId);  // why the stream is not open
    const std::vector<std::uint8_t> block = {0xF0, 0x7E, 0xF7};
    EXPECT_EQ(stream.WriteSysEx(0, block, 0), kInvalidDeviceId);
    EXPECT_TRUE(ErrorText(kInvalidDeviceId).contains(QStringLiteral("Invalid device ID")));

    // Without the ALSA sequencer PortMidi initialises as if all were well; the layer says why not.
    const bool service = access("/dev/snd/seq", R_OK | W_OK) == 0;
    EXPECT_EQ(MidiLibrary::ReInitialize(), service ? kNoError : kHostError);
    EXPECT_EQ(MidiLibrary::ServiceProblem().isEmpty(), service)
        << MidiLibrary::ServiceProblem().toStdString();
    EXPECT_EQ(MidiLibrary::CountDevices(), count);
}

}  // namespace
}  // namespace kelvane::midi
