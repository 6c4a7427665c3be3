#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QByteArray>
#include <map>
#include <sstream>

#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/paced_sysex.h"
#include "midi/port_context.h"
#include "support/recording_backend.h"

namespace kelvane::midi {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::Output;
using Bytes = std::vector<std::uint8_t>;

// "F0 7E F7" as bytes.
Bytes Block(const char* hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    return {bytes.begin(), bytes.end()};
}

// count messages of size bytes each: F0, data, F7.
Bytes Messages(std::size_t count, std::size_t size) {
    Bytes block(count * size);
    for (std::size_t i = 0; i < block.size(); ++i) {
        const std::size_t at = i % size;  // in its message
        block[i] = at == 0 ? 0xF0 : at + 1 == size ? 0xF7 : (i / size + at + 1) % 128;
    }
    return block;
}

// The messages of a block, as a row or file check hands them on.
SysExBlock Checked(const Bytes& block) {
    return std::get<SysExBlock>(SysExBlock::Check(MemoryBlock(block)));
}

// "WritePart 1 353 00 F7": the delay it was stamped with (-1: at once) and " 00 F7".
std::pair<std::int64_t, std::string> Stamped(const std::string& write) {
    std::istringstream fields(write);
    std::string call, device;
    std::int64_t delay = 0;
    fields >> call >> device >> delay;
    return {delay, write.substr(static_cast<std::size_t>(fields.tellg()))};
}

int WriteCc(MidiStream& stream, std::int64_t status, std::int64_t data1, std::int64_t data2) {
    MidiEvent event;
    event.Set(status, data1, data2);
    return stream.Write(event);
}

// An input and two outputs; the stream starts open on output 1 at latency 1.
class PortLayer : public ::testing::Test {
protected:
    PortLayer() {
        stream.OpenOutput(1, 10000, 1);
        backend->calls.clear();
    }
    ~PortLayer() override { EXPECT_THAT(backend->misuse, IsEmpty()); }
    int Feed(const Bytes& message) { return stream.FeedSysEx(message, fed, waitMs); }

    testing::ScopedRecordingBackend backend{{testing::Input("Keys"), Output("A"), Output("B")}};
    MidiLibrary library;
    MidiStream stream;
    std::size_t fed = 0;  // of the message Feed hands over
    std::int64_t waitMs = 0;
};

// Devices are those seen at the last initialisation, which closes every live stream.
TEST_F(PortLayer, ReInitialiseRescansAndClosesLiveStreams) {
    backend->devices.push_back(Output("Late"));
    EXPECT_EQ(MidiLibrary::CountDevices(), 3);
    EXPECT_TRUE(MidiLibrary::DeviceInfo(1)->Name == "A" && MidiLibrary::DeviceInfo(1)->HasOutput &&
                !MidiLibrary::DeviceInfo(0)->HasOutput);
    for (const std::int64_t outside : {std::int64_t{-1}, std::int64_t{3}, INT64_MAX, INT64_MIN}) {
        EXPECT_FALSE(MidiLibrary::DeviceInfo(outside)) << outside;
    }
    backend->initializeResult = kHostError;
    EXPECT_EQ(MidiLibrary::ReInitialize(), kHostError);
    EXPECT_FALSE(stream.IsOpen());
    backend->initializeResult = kNoError;
    EXPECT_EQ(MidiLibrary::ReInitialize(), kNoError);
    EXPECT_EQ(MidiLibrary::CountDevices(), 4);
    EXPECT_EQ(stream.OpenOutput(3, 10000, 1), kNoError);
    EXPECT_EQ(WriteCc(stream, 0xB0, 7, 1), kNoError);
    EXPECT_THAT(backend->calls,
                ElementsAre("Close 1", "Terminate", "Initialize", "Terminate", "Initialize",
                            "OpenOutput 3 10000 1", "WriteShort 3 0 B0 07 01"));
}

TEST_F(PortLayer, AFailedOpenLeavesNothingOpen) {
    backend->failingOpens = {2};
    for (const std::int64_t device : {0L, 2L, -1L, 3L, 1L << 40}) {
        ASSERT_EQ(stream.OpenOutput(1, 10000, 1), kNoError);
        EXPECT_NE(stream.OpenOutput(device, 10000, 1), kNoError) << device;
        EXPECT_FALSE(stream.IsOpen());
        EXPECT_EQ(WriteCc(stream, 0xB0, 7, 127), kInvalidDeviceId);  // why, not just "not open"
        EXPECT_EQ(stream.WriteSysEx(0, Block("F0 F7"), 0), kInvalidDeviceId);
    }
    EXPECT_THAT(backend->Writes(), IsEmpty());
}

// PortMidi drops what is still scheduled when its stream closes; nobody waits for it here.
TEST_F(PortLayer, ClosingLeavesScheduledOutputTimeToLeave) {
    const std::int64_t cases[][3] = {{100, 30, 95}, {1, 0, 26}, {1, 26, 0}, {0, 0, 0}};
    for (const auto& [latency, elapsed, left] : cases) {
        {
            MidiStream other;
            other.OpenOutput(2, 10000, latency);
            backend->calls.clear();
            WriteCc(other, 0xB0, 7, 127);
            backend->nowMs += elapsed;
        }
        EXPECT_EQ(MidiLibrary::MsUntilOutputLeft(), left);
        EXPECT_EQ(backend->calls.size(), left > 0 ? 1u : 2u) << latency << " " << elapsed;
        backend->nowMs += left;
        PortContext::Instance().CloseDue();
        EXPECT_THAT(backend->calls, ElementsAre("WriteShort 2 0 B0 07 7F", "Close 2"));
    }
}

// Only a change of device or latency reopens.
TEST_F(PortLayer, ReopeningNeverWaitsYetDropsNothingScheduled) {
    stream.OpenOutput(1, 10000, 100);
    stream.OpenOutput(1, 10000, 100);
    WriteCc(stream, 0xB0, 7, 127);     // leaves PortMidi by 1125
    stream.OpenOutput(2, 10000, 100);  // 1 stays open until then...
    stream.OpenOutput(1, 10000, 1);    // ...and comes back, with its latency
    WriteCc(stream, 0xB0, 7, 127);
    backend->nowMs += 200;
    stream.OpenOutput(1, 10000, 1);  // drained: now the new latency
    WriteCc(stream, 0xB0, 7, 127);   // leaves by 1226
    stream.OpenOutput(2, 10000, 100);
    backend->nowMs += 25;
    PortContext::Instance().CloseDue();
    backend->nowMs += 1;
    PortContext::Instance().CloseDue();
    WriteCc(stream, 0xB0, 7, 127);
    EXPECT_EQ(MidiLibrary::MsUntilOutputLeft(), 125);
    MidiLibrary::ReInitialize();  // a rescan does wait
    MidiLibrary::ReInitialize();  // and forgets what it closed
    EXPECT_THAT(
        backend->calls,
        ElementsAre("Close 1", "OpenOutput 1 10000 100", "WriteShort 1 0 B0 07 7F",
                    "OpenOutput 2 10000 100", "Close 2", "WriteShort 1 0 B0 07 7F", "Close 1",
                    "OpenOutput 1 10000 1", "WriteShort 1 0 B0 07 7F", "OpenOutput 2 10000 100",
                    "Close 1", "WriteShort 2 0 B0 07 7F", "Sleep 125", "Close 2", "Terminate",
                    "Initialize", "Terminate", "Initialize"));
}

TEST_F(PortLayer, WriteRefusesWhatIsNoShortMessage) {
    const std::int64_t cases[][4] = {
        {0xB0, 7, 127, kNoError}, {0x80, 0, 0, kNoError},   {0xFF, 0x7F, 0, kNoError},
        {0x7F, 7, 127, kBadData}, {0x100, 7, 1, kBadData},  {-25, 7, 1, kBadData},
        {0xB0, 128, 1, kBadData}, {0xB0, 7, 128, kBadData}, {0xB0, -1, 7, kBadData},
        {0xB0, 7, -1, kBadData},  {0xF0, 1, 2, kBadData},   {0xF7, 0, 0, kBadData}};
    for (const auto& [status, data1, data2, expected] : cases) {
        EXPECT_EQ(WriteCc(stream, status, data1, data2), expected) << status << " " << data1;
    }
    EXPECT_EQ(stream.Write({.Status = 0xC0, .Data1 = 5}), kNoError);  // one data byte: 0 after it
    EXPECT_THAT(backend->Writes(),
                ElementsAre("WriteShort 1 0 B0 07 7F", "WriteShort 1 0 80 00 00",
                            "WriteShort 1 0 FF 7F 00", "WriteShort 1 0 C0 05 00"));
}

// A failed write stops the block; the next one goes.
TEST_F(PortLayer, WriteSysExSendsWholeMessagesOrNothing) {
    // No F7, no F0, a note-on inside, data after the end, a start inside, a second one cut short.
    for (const char* refused : {"", "F0 7E", "7E F7", "F0 41 90 42 F7", "F0 01 F7 02",
                                "F0 01 F0 02 F7", "F0 01 F7 F0", "F7", "F0"}) {
        EXPECT_EQ(stream.WriteSysEx(0, Block(refused), 0), kBadData) << refused;
    }
    for (const std::int64_t offset : {-1, 1, 3, 4}) {  // before, inside, at and past the end
        EXPECT_EQ(stream.WriteSysEx(0, Block("F0 7E F7"), offset), kBadData) << offset;
    }
    EXPECT_EQ(stream.WriteSysEx(std::int64_t{1} << 40, Block("F0 F7"), 0), kBadData);
    backend->failingWrites = 1;
    EXPECT_EQ(stream.WriteSysEx(0, Block("F0 01 F7 F0 02 F7"), 0), kHostError);
    EXPECT_EQ(stream.WriteSysEx(0, Block("00 F0 7E F7 F0 F7 F0 7F F7"), 1), kNoError);
    EXPECT_THAT(backend->Writes(), ElementsAre("WriteSysEx 1 0 F0 01 F7", "WriteSysEx 1 0 F0 7E F7",
                                               "WriteSysEx 1 0 F0 F7", "WriteSysEx 1 0 F0 7F F7"));
}

// A port that takes a burst at once and drains 3000 bytes/s gets every byte, in order, within the
// wire time, also of a message longer than it holds; nothing at once goes while something stamped
// in an earlier step may still wait in the MIDI service's queue.
TEST_F(PortLayer, PacedSysExNeverOverfillsAPortDrainingAt3000BytesPerSecond) {
    const auto wireMs = [](std::int64_t bytes) {  // at 2900 bytes/s, after the first burst
        return (bytes - Pace::kBurstBytes) * 1000 / 2900;
    };
    const struct {
        std::vector<Bytes> sends;  // one after the other, 100 ms apart
        std::int64_t rate;
        std::int64_t expectedMs;  // from the first byte to the last; -1: not measured
    } cases[] = {
        {{Messages(256, 256)}, 2900, wireMs(65536)},
        {{Messages(8, 256), Messages(1000, 3)}, 2900, wireMs(5048)},
        // What follows a message that went in pieces keeps 100 ms behind its last piece.
        {{Messages(1, 100), Messages(1, 5000), Messages(1, 100)}, 2900, 100 + wireMs(5000) + 100},
        {{Messages(1, 4104)}, 2900, wireMs(4104)},
        // The end of the message drains one piece more than alsa-lib's buffer holds.
        {{Messages(1, 16 * 1024)}, 2900, wireMs(16 * 1024)},
        {{Messages(1, 15 * 1024 + 1)}, 2900, wireMs(15 * 1024 + 1)},
        {{Messages(1, 31 * 1024)}, 2900, wireMs(31 * 1024)},
        // Short messages after a long one keep its margin once, within the pace.
        {{Messages(1, 20 * 1024), Messages(200, 20)}, 2900, wireMs(24480)},
        // Far faster than the port model drains: only the order is checked.
        {{Messages(1, 40 * 1024), Messages(1, 2)}, 1'000'000, -1},
        {{Messages(16, 256), Messages(1, 49152)}, 2900, wireMs(53248)},
        {{Messages(1, 1 << 20)}, 2900, wireMs(1 << 20)},
        {{Messages(256, 256)}, 0, 0},
    };
    for (const auto& [sends, rate, expectedMs] : cases) {
        backend->nowMs += 60'000;  // the port has drained
        stream.SetPacing(Pace(rate));
        const std::int64_t start = backend->nowMs;
        // What reaches the port: bytes, when, whether the MIDI service's queue scheduled them,
        // in which step. A part that ends a write but not its message stays in alsa-lib's
        // buffer until the next write.
        std::vector<std::tuple<std::int64_t, std::string, bool, int>> arrivals;
        std::string held, expected;
        int step = 0;
        for (const Bytes& block : sends) {
            PacedSysEx send(stream, Checked(block));
            for (SendProgress progress; !progress.finished; ++step) {
                backend->calls.clear();
                progress = send.Step();
                const std::vector<std::string> writes = backend->Writes();
                if (!writes.empty() && !held.empty()) {
                    arrivals.emplace_back(backend->nowMs, std::exchange(held, {}), false, step);
                }
                for (const std::string& write : writes) {
                    const auto [delay, bytes] = Stamped(write);
                    if (&write == &writes.back() && write.starts_with("WritePart") &&
                        !bytes.ends_with("F7")) {
                        held = bytes;
                    } else {
                        arrivals.emplace_back(backend->nowMs + std::max<std::int64_t>(delay, 0),
                                              bytes, delay > 0, step);
                    }
                }
                EXPECT_EQ(progress.result, kNoError);
                backend->nowMs += progress.finished ? 0 : progress.nextInMs;
            }
            backend->nowMs += 100;
            expected += testing::HexBytes(block);
        }
        std::ranges::stable_sort(arrivals, {}, [](const auto& a) { return std::get<0>(a); });
        std::int64_t level = 0;  // what the port holds
        std::int64_t lastMs = start;
        std::string got;
        std::map<int, std::int64_t> lastStampedMs;  // of each step
        for (const auto& [atMs, bytes, stamped, at] : arrivals) {
            level = std::max<std::int64_t>(level - (atMs - lastMs) * 3, 0) + bytes.size() / 3;
            EXPECT_TRUE(rate == 0 || rate > 3000 || level <= Pace::kBurstBytes)
                << level << " at " << atMs - start;
            for (const auto& [before, stampedMs] : lastStampedMs) {
                EXPECT_TRUE(stamped || before >= at || atMs >= stampedMs + 100)
                    << atMs - start << " after " << stampedMs - start;
            }
            if (stamped) {
                lastStampedMs[at] = std::max(lastStampedMs[at], atMs);
            }
            lastMs = atMs;
            got += bytes;
        }
        EXPECT_TRUE(expectedMs < 0 || std::abs(lastMs - start - expectedMs) <= 3) << lastMs - start;
        EXPECT_EQ(got, expected);
    }
}

// Nothing goes between the pieces of a message: a message written meanwhile is refused, one
// written after is stamped to leave after its end, and a Control Change waits for room too.
TEST_F(PortLayer, WhatFollowsALongMessageLeavesAfterIt) {
    const Bytes message = Messages(1, 20 * 1024);
    ASSERT_EQ(Feed(message), kNoError);
    EXPECT_TRUE(fed == 16 * 1024 && waitMs > 0) << fed;
    std::int64_t again = 0;  // asked again too early, it hands over nothing and says the same
    EXPECT_TRUE(stream.FeedSysEx(message, fed, again) == kNoError && again == waitMs);
    // Of the 15 pieces that reach the kernel, 3 go at once so that 12 wait in its pool; the 16th
    // stays in alsa-lib's buffer, to go at once in the next write.
    std::string stamps;
    for (const std::string& part : backend->Writes()) {
        stamps += std::to_string(Stamped(part).first) + ' ';
    }
    EXPECT_EQ(stamps, "-1 -1 -1 45 398 751 1104 1457 1810 2163 2516 2869 3223 3576 3929 -1 ");
    EXPECT_EQ(WriteCc(stream, 0xB0, 7, 1), kBadData);
    EXPECT_EQ(stream.WriteSysEx(0, Block("F0 F7"), 0), kBadData);
    backend->nowMs += waitMs;
    ASSERT_EQ(Feed(message), kNoError);
    EXPECT_TRUE(fed == message.size() && waitMs == 0);
    const std::int64_t end = Stamped(backend->Writes().back()).first;
    backend->calls.clear();
    EXPECT_EQ(WriteCc(stream, 0xB0, 7, 2), kNoError);
    EXPECT_EQ(stream.WriteSysEx(0, Block("F0 F7"), 0), kNoError);
    ASSERT_EQ(backend->Writes().size(), 2u);
    EXPECT_GE(Stamped(backend->Writes()[0]).first, end);
    EXPECT_GE(Stamped(backend->Writes()[1]).first, Stamped(backend->Writes()[0]).first);
    // Past the end, a Control Change into a full port waits for three bytes of room.
    backend->nowMs += 60'000;
    stream.WriteSysEx(0, Messages(16, 256), 0);
    backend->calls.clear();
    WriteCc(stream, 0xB0, 7, 3);
    EXPECT_THAT(backend->Writes(), ElementsAre("WriteShort 1 46 B0 07 03"));
}

TEST_F(PortLayer, CancelStopsAPacedSendBetweenMessagesAndRefusalsSendNothing) {
    PacedSysEx send(stream, Checked(Messages(64, 256)));
    const SendProgress first = send.Step();
    EXPECT_EQ(first.sentBytes, 15 * 256);
    EXPECT_NEAR(first.msLeft, 16384 * 1000 / 2900, 5);
    backend->nowMs += 1000;
    EXPECT_EQ(send.Step().sentBytes, 26 * 256);
    send.Cancel();
    backend->nowMs += 1000;
    const SendProgress progress = send.Step();
    EXPECT_TRUE(progress.finished && progress.cancelled && progress.sentMessages == 26);
    EXPECT_EQ(backend->Writes().size(), 26u);

    // A message going out piece by piece is finished first.
    backend->calls.clear();
    {
        PacedSysEx piecewise(stream, Checked(Messages(2, 20 * 1024)));
        backend->nowMs += 60'000;
        EXPECT_TRUE(piecewise.Step().leaving);
        piecewise.Cancel();
        EXPECT_FALSE(piecewise.Progress().finished);
    }  // and so is one left going out
    EXPECT_EQ(backend->Writes().size(), 20u);

    backend->calls.clear();
    EXPECT_EQ(PacedSysEx(stream, SysExBlock()).Step().result, kBadData);
    EXPECT_THAT(backend->Writes(), IsEmpty());
}

// A message cut short half way, by its device leaving or by PortMidi, leaves nothing of it to go
// later: its handle is closed at once, dropping what is scheduled and the piece alsa-lib holds,
// and a new one starts afresh where the device is still there. The next write says what is true.
TEST_F(PortLayer, AFailureHalfWayLeavesTheStreamAsIfTheMessageHadNeverBegun) {
    const struct {
        bool gone;
        std::vector<std::string> calls;  // from the failing write on, as far as they go
        int next;                        // what the next write gives
    } cases[] = {
        {true, {"Close 1"}, kDeviceGone},
        {false, {"WritePart 1 ", "Close 1", "OpenOutput 1 10000 1", "WriteShort 1 "}, kNoError},
    };
    for (const auto& [gone, calls, next] : cases) {
        ASSERT_EQ(stream.OpenOutput(1, 10000, 1), kNoError);
        const Bytes message = Messages(1, 20 * 1024);
        fed = 0;
        ASSERT_EQ(Feed(message), kNoError);
        backend->nowMs += waitMs;
        backend->calls.clear();
        backend->gone = gone ? std::set<int>{1} : std::set<int>{};
        backend->failingWrites = 1;
        EXPECT_EQ(Feed(message), gone ? kDeviceGone : kHostError);
        EXPECT_EQ(WriteCc(stream, 0xB0, 7, 1), next);
        ASSERT_EQ(backend->calls.size(), calls.size());
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_TRUE(backend->calls[i].starts_with(calls[i])) << backend->calls[i];
        }
        EXPECT_EQ(stream.WriteSysEx(0, Block("F0 F7"), 0), next);
        backend->gone.clear();
        backend->failingWrites = 0;
        backend->nowMs += 60'000;
    }
}

// A failed send counts what the port had passed on by the pace when the failure was seen, not
// what had been handed over; a message counts once its last byte was.
TEST_F(PortLayer, AFailedSendCountsWhatThePortHadTaken) {
    const struct {
        Bytes messages;
        std::int64_t goneAfterMs;
        std::int64_t taken;  // give or take a piece
        std::int64_t messagesTaken;
    } cases[] = {
        {Messages(64, 256), 2560, 29 * 256, 29},  // the 29th message just taken
        {Messages(1, 48 * 1024), 3000, 3000 * 29 / 10, 0},
        {Messages(8, 256), 500, 500 * 29 / 10, 5},  // all handed over at once
    };
    for (const auto& [messages, goneAfterMs, taken, messagesTaken] : cases) {
        backend->nowMs += 60'000;
        ASSERT_EQ(stream.OpenOutput(1, 10000, 1), kNoError);
        PacedSysEx send(stream, Checked(messages));
        const std::int64_t start = backend->nowMs;
        SendProgress progress = send.Step();
        while (!progress.finished && backend->nowMs - start + progress.nextInMs < goneAfterMs) {
            backend->nowMs += progress.nextInMs;
            progress = send.Step();
        }
        backend->nowMs = start + goneAfterMs;
        backend->gone = {1};
        if (progress.finished) {
            send.Finish(kDeviceGone);  // as the wait for the port to take the last bytes does
        }
        while (!send.Progress().finished) {
            progress = send.Step();
            backend->nowMs += progress.nextInMs;
        }
        progress = send.Progress();
        EXPECT_TRUE(progress.result == kDeviceGone && progress.takenBytes <= progress.sentBytes);
        EXPECT_NEAR(progress.takenBytes, taken, 1024) << messages.size();
        EXPECT_EQ(progress.takenMessages, messagesTaken) << progress.takenBytes;
        backend->gone.clear();
    }
}

// A stream is open on one device at a time: opening an input lets the output go.
TEST_F(PortLayer, OpeningAnInputClosesTheOutput) {
    EXPECT_EQ(stream.OpenInput(0, 100), kNoError);
    EXPECT_EQ(WriteCc(stream, 0xB0, 7, 1), kBadPtr);
    EXPECT_THAT(backend->calls, ElementsAre("Close 1", "OpenInput 0 100"));
}

// A device that has left is told for every kind of write, without reopening; PortMidi would
// report success.
TEST_F(PortLayer, WritesToAGoneDeviceFail) {
    backend->gone = {1};
    EXPECT_EQ(WriteCc(stream, 0xB0, 7, 1), kDeviceGone);
    EXPECT_EQ(stream.WriteSysEx(0, Block("F0 F7"), 0), kDeviceGone);
    EXPECT_EQ(Feed(Messages(1, 5000)), kDeviceGone);
    EXPECT_THAT(backend->calls, IsEmpty());
}

}  // namespace
}  // namespace kelvane::midi
