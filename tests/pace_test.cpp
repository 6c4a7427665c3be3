#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/paced_sysex.h"
#include "support/recording_backend.h"

namespace kelvane::midi {
namespace {

// count messages of size bytes each: F0, data, F7.
std::vector<std::uint8_t> Messages(std::size_t count, std::size_t size) {
    std::vector<std::uint8_t> block;
    for (std::size_t m = 0; m < count; ++m) {
        block.push_back(0xF0);
        for (std::size_t i = 2; i < size; ++i) {
            block.push_back(static_cast<std::uint8_t>((m + i) % 128));
        }
        block.push_back(0xF7);
    }
    return block;
}

class Pacing : public ::testing::Test {
protected:
    Pacing() {
        backend->devices = {testing::Output("Synth")};
        MidiLibrary::ReInitialize();
        stream.OpenOutput(0, 10000, 1);
    }
    ~Pacing() override { EXPECT_THAT(backend->misuse, ::testing::IsEmpty()); }

    testing::ScopedRecordingBackend backend;
    MidiLibrary library;
    MidiStream stream;
};

TEST_F(Pacing, APortDrainingAt3000BytesPerSecondGetsEverythingWithinTheWireTime) {
    const struct {
        std::vector<std::vector<std::uint8_t>> sends;  // one after the other, 100 ms apart
        std::int64_t rate;
        std::int64_t expectedMs;  // from the first byte to the last
    } cases[] = {
        {{Messages(256, 256)}, 2900, (65536 - 4096) * 1000 / 2900},
        {{Messages(8, 256), Messages(1000, 3)}, 2900, (5048 - 4096) * 1000 / 2900},
        {{Messages(1, 100), Messages(1, 5000), Messages(1, 100)},
         2900,
         100 + (5100 - 4096) * 1000 / 2900},
        {{Messages(256, 256)}, 0, 0},
    };
    for (const auto& [sends, rate, expectedMs] : cases) {
        backend->nowMs += 60'000;  // the port has drained
        backend->calls.clear();
        stream.SetPacing(Pace(rate));
        const std::int64_t start = backend->nowMs;
        std::vector<std::pair<std::int64_t, std::int64_t>> handed;  // when, bytes
        std::string expectedBytes;
        for (const auto& block : sends) {
            PacedSysEx send(stream, block);
            for (std::int64_t before = 0;;) {
                const SendProgress progress = send.Step();
                if (progress.sentBytes > before) {
                    handed.emplace_back(backend->nowMs, progress.sentBytes - before);
                }
                before = progress.sentBytes;
                if (progress.finished) {
                    break;
                }
                backend->nowMs += progress.nextInMs;
            }
            backend->nowMs += 100;
            expectedBytes += testing::HexBytes(block);
        }
        ASSERT_FALSE(handed.empty());
        const std::int64_t took = handed.back().first - start;
        EXPECT_NEAR(took, expectedMs, 3) << expectedBytes.size() / 3;

        // A 4096-byte buffer read at 3000 bytes/s never overflows, but by one message too
        // long to pace.
        double level = 0;
        for (std::size_t i = 0; i < handed.size() && rate > 0; ++i) {
            const auto [at, bytes] = handed[i];
            level =
                std::max(0.0, level - static_cast<double>(at - handed[i ? i - 1 : 0].first) * 3);
            level += static_cast<double>(bytes);
            EXPECT_LE(level, std::max<double>(4096, static_cast<double>(bytes))) << at - start;
        }
        std::string sent;
        for (const std::string& write : backend->Writes()) {
            sent += write.substr(std::string("WriteSysEx 0 0").size());
        }
        EXPECT_EQ(sent, expectedBytes);
    }
}

TEST_F(Pacing, CancelStopsBetweenMessagesAndRefusalsSendNothing) {
    PacedSysEx send(stream, Messages(64, 256));
    const SendProgress first = send.Step();
    EXPECT_EQ(first.sentBytes, 4096);
    EXPECT_NEAR(first.msLeft, (16384 - 4096) * 1000 / 2900, 5);
    backend->nowMs += 1000;
    EXPECT_EQ(send.Step().sentBytes, 4096 + 11 * 256);
    send.Cancel();
    backend->nowMs += 1000;
    const SendProgress progress = send.Step();
    EXPECT_TRUE(progress.finished && progress.cancelled);
    EXPECT_EQ(backend->Writes().size(), 16u + 11u);

    backend->calls.clear();
    EXPECT_EQ(PacedSysEx(stream, {0xF0, 0x01, 0xF7, 0x02}).Step().result, kBadData);
    EXPECT_THAT(backend->Writes(), ::testing::IsEmpty());
    EXPECT_TRUE(PacedSysEx(stream, Messages(1, 4097)).HasUnpaceableMessage());
    EXPECT_FALSE(PacedSysEx(stream, Messages(16, 256)).HasUnpaceableMessage());
}

}  // namespace
}  // namespace kelvane::midi
