// The real backend against a scripted PortMidi: the functions below take the place of the
// library's, so every argument and result it passes on can be seen without a MIDI service.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <portmidi.h>
#include <porttime.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "midi/midi_library.h"
#include "midi/portmidi_backend.h"
#include "scripted_portmidi.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using scripted::calls;
using scripted::Record;
bool timeStarted = false;
bool hostErrorTold = false;  // PortMidi hands a host error's text out once
int handle = 0;

}  // namespace

extern "C" {
PmError Pm_Initialize() { return Record("Initialize"), pmHostError; }
PmError Pm_Terminate() { return Record("Terminate"), pmBadPtr; }
int Pm_CountDevices() { return static_cast<int>(scripted::devices.size()); }
const PmDeviceInfo* Pm_GetDeviceInfo(PmDeviceID id) {
    return id >= 0 && id < Pm_CountDevices() ? &scripted::devices[std::size_t(id)] : nullptr;
}
PtError Pt_Start(int resolution, PtCallback*, void*) {
    timeStarted = true;
    return Record("Pt_Start", resolution), ptNoError;
}
int Pt_Started() { return timeStarted; }
PmError Pm_OpenOutput(PortMidiStream** stream, PmDeviceID id, void*, int32_t bufferSize,
                      PmTimeProcPtr, void*, int32_t latency) {
    Record("Pm_OpenOutput", id, bufferSize, latency);
    *stream = id == 1 ? &handle : nullptr;
    return id == 1 ? pmNoError : pmInvalidDeviceId;
}
PmError Pm_Close(PortMidiStream* stream) {
    return Record("Pm_Close", stream == &handle), pmNoError;
}
PmError Pm_WriteShort(PortMidiStream* stream, PmTimestamp when, int32_t message) {
    return Record("Pm_WriteShort", stream == &handle, when, message), pmBadData;
}
PmError Pm_WriteSysEx(PortMidiStream* stream, PmTimestamp when, unsigned char* message) {
    return Record("Pm_WriteSysEx", stream == &handle, when, message[1]), pmBufferOverflow;
}
PmError Pm_Write(PortMidiStream* stream, PmEvent* events, int32_t length) {
    for (int32_t i = 0; i < length; ++i) {
        char word[16];
        std::snprintf(word, sizeof word, " %08X", static_cast<unsigned>(events[i].message));
        Record("Pm_Write", stream == &handle, events[i].timestamp);
        calls.back() += word;
    }
    return pmNoError;
}
PmTimestamp Pt_Time() { return 5000; }
void Pm_GetHostErrorText(char* text, unsigned int size) {
    std::snprintf(text, size, "%s", std::exchange(hostErrorTold, true) ? "" : "Invalid argument");
}
}

namespace kelvane::midi {
namespace {

TEST(PortMidiBackend, PassesEveryCallAndResultThrough) {
    MidiLibrary library;  // the port layer initialises the real backend on first use
    EXPECT_EQ(MidiLibrary::CountDevices(), 2);
    calls.erase(calls.begin());
    PortMidiBackend backend;
    EXPECT_EQ(backend.Initialize(), pmHostError);
    EXPECT_EQ(backend.Terminate(), pmBadPtr);
    const auto keys = backend.DeviceInfo(0), unnamed = backend.DeviceInfo(1);
    ASSERT_TRUE(keys && unnamed);
    EXPECT_TRUE(keys->Name == "Keys" && keys->InterfaceName == "ALSA" && keys->HasInput &&
                !keys->HasOutput);
    EXPECT_TRUE(unnamed->Name.empty() && !unnamed->HasInput && unnamed->HasOutput);
    EXPECT_FALSE(backend.DeviceInfo(2));

    StreamHandle stream = nullptr;
    EXPECT_TRUE(backend.OpenOutput(&stream, 0, 10, 1) == pmInvalidDeviceId && stream == nullptr);
    EXPECT_TRUE(backend.OpenOutput(&stream, 1, 10000, 100) == pmNoError && stream == &handle);
    EXPECT_EQ(backend.WriteShort(stream, 5, 0x7F07B0), pmBadData);
    const std::uint8_t sysex[] = {0xF0, 0x42, 0xF7};
    EXPECT_EQ(backend.WriteSysEx(stream, 6, sysex), pmBufferOverflow);
    // Pm_WriteSysEx reads to the first F7: any other span would be read past or cut short.
    for (const auto& bad :
         {Bytes{0xF0, 0x42}, Bytes{0xF0, 0xF7, 0xF7}, Bytes{0x42, 0xF7}, Bytes{}}) {
        EXPECT_EQ(backend.WriteSysEx(stream, 6, bad), pmBadData);
    }
    // PortMidi stamps SysEx four bytes at a time, the first byte lowest.
    const std::uint8_t first[] = {0xF0, 1, 2, 3, 4, 5, 6, 7}, last[] = {8, 0xF7};
    const SysExPart parts[] = {{first, backend.TimeStamp(-1)}, {last, backend.TimeStamp(7)}};
    EXPECT_EQ(backend.WriteSysExParts(stream, parts), pmNoError);
    EXPECT_EQ(backend.WriteSysExParts(stream, std::span(parts).subspan(1)), pmNoError);
    const SysExPart cut[] = {{std::span(first).first(3), 0}, {last, 0}};
    EXPECT_EQ(backend.WriteSysExParts(stream, cut), pmBadData);  // would send the word's zeros
    EXPECT_EQ(backend.TimeStamp(0), 0);                          // now, plus the latency
    EXPECT_EQ(backend.ErrorText(pmHostError), "PortMidi: `Host error': Invalid argument");
    EXPECT_EQ(backend.ErrorText(pmHostError), "PortMidi: `Host error': Invalid argument");  // kept
    EXPECT_EQ(backend.ErrorText(pmBadData), Pm_GetErrorText(pmBadData));
    EXPECT_EQ(backend.Close(stream), pmNoError);
    EXPECT_EQ(backend.ServiceProblem(),
              "the ALSA sequencer cannot be opened (No such file or directory)");
    backend.Initialize();  // a new start forgets the text
    EXPECT_EQ(backend.ErrorText(pmHostError), Pm_GetErrorText(pmHostError));
    EXPECT_THAT(calls, ::testing::ElementsAre(
                           "Initialize", "Terminate", "Pt_Start 1", "Pm_OpenOutput 0 10 1",
                           "Pm_OpenOutput 1 10000 100", "Pm_WriteShort 1 5 8325040",
                           "Pm_WriteSysEx 1 6 66", "Pm_Write 1 -995000 030201F0",
                           "Pm_Write 1 -995000 07060504", "Pm_Write 1 5007 0000F708",
                           "Pm_Write 1 5007 0000F708", "Pm_Close 1", "Initialize"));
}

}  // namespace
}  // namespace kelvane::midi
