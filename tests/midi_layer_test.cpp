#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "midi/port_context.h"
#include "support/recording_backend.h"

namespace kelvane::midi {
namespace {

using ::testing::ElementsAre;
using testing::Input;
using ::testing::IsEmpty;
using testing::Output;

class PortLayer : public ::testing::Test {
protected:
    PortLayer() {
        backend->devices = {Input("Keys"), Output("Synth A"), Output("Synth B")};
        library.emplace();
        backend->Forget();
    }
    ~PortLayer() override { EXPECT_THAT(backend->misuse, IsEmpty()); }

    testing::ScopedRecordingBackend backend;
    std::optional<MidiLibrary> library;
};

TEST_F(PortLayer, ListsTheDevicesSeenAtInitialisation) {
    EXPECT_EQ(MidiLibrary::CountDevices(), 3);
    const auto synth = MidiLibrary::DeviceInfo(1);
    ASSERT_TRUE(synth);
    EXPECT_EQ(synth->Name, "Synth A");
    EXPECT_TRUE(synth->HasOutput);
    for (const std::int64_t outside : {std::int64_t{-1}, std::int64_t{3}, INT64_MAX, INT64_MIN}) {
        EXPECT_FALSE(MidiLibrary::DeviceInfo(outside)) << outside;
    }

    backend->devices.push_back(Output("Late"));
    EXPECT_EQ(MidiLibrary::CountDevices(), 3);
    EXPECT_EQ(MidiLibrary::ReInitialize(), 0);
    EXPECT_EQ(MidiLibrary::CountDevices(), 4);
}

TEST_F(PortLayer, ReopensOnlyWhenSomethingChanged) {
    MidiStream stream;
    EXPECT_EQ(stream.OpenOutput(1, 10000, 1), kNoError);
    EXPECT_EQ(stream.OpenOutput(1, 10000, 1), kNoError);
    EXPECT_EQ(stream.OpenOutput(1, 10000, 100), kNoError);  // same device, other latency
    EXPECT_EQ(stream.OpenOutput(2, 10000, 100), kNoError);
    EXPECT_THAT(backend->Calls(),
                ElementsAre("OpenOutput 1 10000 1", "Close 1", "OpenOutput 1 10000 100", "Close 1",
                            "OpenOutput 2 10000 100"));
}

TEST_F(PortLayer, AFailedOpenLeavesNothingOpen) {
    backend->failingOpens = {2};
    for (const std::int64_t device : {std::int64_t{0}, std::int64_t{2}, std::int64_t{-1},
                                      std::int64_t{3}, std::int64_t{1} << 40}) {
        MidiStream stream;
        ASSERT_EQ(stream.OpenOutput(1, 10000, 1), kNoError);
        EXPECT_NE(stream.OpenOutput(device, 10000, 1), kNoError) << device;
        EXPECT_FALSE(stream.IsOpen());
        MidiEvent event;
        event.Set(0xB0, 7, 127);
        EXPECT_EQ(stream.Write(event), kBadPtr);
    }
    EXPECT_THAT(backend->Writes(), IsEmpty());
}

TEST_F(PortLayer, ClosingNeverWaitsYetDropsNothingScheduled) {
    MidiStream stream;
    MidiEvent event;
    event.Set(0xB0, 7, 127);
    stream.OpenOutput(1, 10000, 100);
    stream.Write(event);               // leaves PortMidi by 1125
    stream.OpenOutput(2, 10000, 100);  // 1 stays open until then...
    stream.OpenOutput(1, 10000, 1);    // ...and comes back, with its latency
    stream.Write(event);
    backend->nowMs += 200;
    stream.OpenOutput(1, 10000, 1);  // drained: now the new latency
    stream.Write(event);             // leaves by 1226
    stream.OpenOutput(2, 10000, 100);
    backend->nowMs += 25;
    PortContext::Instance().CloseDue();
    backend->nowMs += 1;
    PortContext::Instance().CloseDue();
    stream.Write(event);
    EXPECT_EQ(PortContext::Instance().MsUntilDrained(), 125);
    MidiLibrary::ReInitialize();  // a rescan does wait
    EXPECT_THAT(
        backend->calls,
        ElementsAre("OpenOutput 1 10000 100", "WriteShort 1 0 B0 07 7F", "OpenOutput 2 10000 100",
                    "Close 2", "WriteShort 1 0 B0 07 7F", "Close 1", "OpenOutput 1 10000 1",
                    "WriteShort 1 0 B0 07 7F", "OpenOutput 2 10000 100", "Close 1",
                    "WriteShort 2 0 B0 07 7F", "Sleep 125", "Close 2", "Terminate", "Initialize"));
}

TEST_F(PortLayer, ReInitialiseClosesLiveStreamsAndLetsThemOpenAgain) {
    MidiStream stream;
    stream.OpenOutput(1, 10000, 1);
    backend->Forget();
    backend->initializeResult = kHostError;
    EXPECT_EQ(MidiLibrary::ReInitialize(), kHostError);
    EXPECT_FALSE(stream.IsOpen());
    backend->initializeResult = 0;
    EXPECT_EQ(MidiLibrary::ReInitialize(), 0);
    EXPECT_EQ(stream.OpenOutput(1, 10000, 1), kNoError);
    MidiEvent event;
    event.Set(0xB0, 7, 1);
    EXPECT_EQ(stream.Write(event), kNoError);
    EXPECT_THAT(backend->Calls(),
                ElementsAre("Close 1", "Terminate", "Initialize", "Terminate", "Initialize",
                            "OpenOutput 1 10000 1", "WriteShort 1 0 B0 07 01"));
}

TEST_F(PortLayer, WriteRefusesWhatIsNoShortMessage) {
    MidiStream stream;
    stream.OpenOutput(1, 10000, 1);
    const struct {
        std::int64_t status, data1, data2;
        int expected;
    } cases[] = {
        {0xB0, 7, 127, kNoError}, {0xBF, 0, 0, kNoError},   {0xAF, 7, 127, kNoError},
        {0x7F, 7, 127, kBadData}, {0x100, 7, 1, kBadData},  {475, 7, 1, kBadData},
        {-25, 7, 1, kBadData},    {0xB0, 128, 1, kBadData}, {0xB0, 7, -1, kBadData},
        {0xF0, 1, 2, kBadData},   {0xF7, 0, 0, kBadData},   {INT64_MIN, 0, 0, kBadData},
    };
    for (const auto& [status, data1, data2, expected] : cases) {
        MidiEvent event;
        event.Set(status, data1, data2);
        EXPECT_EQ(stream.Write(event), expected) << status << " " << data1 << " " << data2;
    }
    EXPECT_THAT(backend->Writes(), ElementsAre("WriteShort 1 0 B0 07 7F", "WriteShort 1 0 BF 00 00",
                                               "WriteShort 1 0 AF 07 7F"));
}

TEST_F(PortLayer, WriteSysExSendsWholeMessagesInOrder) {
    MidiStream stream;
    stream.OpenOutput(1, 10000, 1);
    const std::vector<std::uint8_t> block = {0x00, 0xF0, 0x7E, 0xF7, 0xF0, 0xF7, 0xF0, 0x01, 0xF7};
    EXPECT_EQ(stream.WriteSysEx(0, block, 1), kNoError);
    EXPECT_THAT(backend->Writes(), ElementsAre("WriteSysEx 1 0 F0 7E F7", "WriteSysEx 1 0 F0 F7",
                                               "WriteSysEx 1 0 F0 01 F7"));
}

TEST_F(PortLayer, WriteSysExRefusesAnyOtherBlockAndStaysUsable) {
    MidiStream stream;
    stream.OpenOutput(1, 10000, 1);
    using Bytes = std::vector<std::uint8_t>;
    const struct {
        Bytes block;
        std::int64_t offset;
    } refused[] = {
        {{}, 0},
        {{0xF0, 0x7E, 0xF7}, 3},  // nothing left after the offset
        {{0xF0, 0x7E, 0xF7}, 4},  // offset past the end
        {{0xF0, 0x7E, 0xF7}, -1},
        {{0xF0, 0x7E, 0xF7}, INT64_MAX},
        {{0xF0, 0x7E, 0xF7}, 1},                    // starts inside the message
        {{0xF0, 0x7E}, 0},                          // no F7
        {{0x7E, 0xF7}, 0},                          // no F0
        {{0xF0, 0x41, 0x90, 0x42, 0x12, 0xF7}, 0},  // a note-on inside
        {{0xF0, 0xF8, 0xF7}, 0},                    // even a real-time byte
        {{0xF0, 0x01, 0xF7, 0x02}, 0},              // data after the end
        {{0xF0, 0x01, 0xF0, 0x02, 0xF7}, 0},        // a start inside
        {{0xF0, 0x01, 0xF7, 0xF0}, 0},              // a second message cut short
        {{0xF7}, 0},
        {{0xF0}, 0},
    };
    for (const auto& [block, offset] : refused) {
        EXPECT_EQ(stream.WriteSysEx(0, block, offset), kBadData);
    }
    EXPECT_THAT(backend->Writes(), IsEmpty());

    const Bytes good = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    EXPECT_EQ(stream.WriteSysEx(0, good, 0), kNoError);
    EXPECT_THAT(backend->Writes(), ElementsAre("WriteSysEx 1 0 F0 7E 7F 06 01 F7"));
}

TEST_F(PortLayer, WritingOnAClosedStreamFailsCleanly) {
    MidiStream stream;
    MidiEvent event;
    event.Set(0xB0, 7, 127);
    EXPECT_EQ(stream.Write(event), kBadPtr);
    const std::vector<std::uint8_t> block = {0xF0, 0xF7};
    EXPECT_EQ(stream.WriteSysEx(0, block, 0), kBadPtr);
    EXPECT_THAT(backend->Calls(), IsEmpty());
}

}  // namespace
}  // namespace kelvane::midi
