// kelvane --receive against a device that answers: a responder on VirMIDI 0-0's raw device reads
// the request there and answers into it, which the sequencer delivers as input from VirMIDI 0-0.
#include <fcntl.h>
#include <poll.h>
#include <sound/asound.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace kelvane::system {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::string_literals;

// Reads a request of requestSize bytes on VirMIDI 0-0, then writes the reply at bytesPerSecond
// (0: as fast as the device takes it). Open once constructed.
class Responder {
public:
    Responder(std::string reply, int bytesPerSecond, std::size_t requestSize = 6)
        : fd_(open("/dev/snd/midiC0D0", O_RDWR | O_NONBLOCK)) {
        EXPECT_GE(fd_, 0) << "VirMIDI 0-0's raw device";
        thread_ = std::thread([this, reply = std::move(reply), bytesPerSecond, requestSize] {
            Answer(reply, bytesPerSecond, requestSize);
        });
    }
    ~Responder() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    // What the request was and when the last byte of the reply was written, once it was.
    std::string Request() { return done_.get_future().share().get(), request_; }
    Clock::time_point LastByte() const { return lastByte_; }

private:
    void Answer(const std::string& reply, int bytesPerSecond, std::size_t requestSize) {
        while (request_.size() < requestSize && !stop_) {
            pollfd readable{fd_, POLLIN, 0};
            char byte = 0;
            if (poll(&readable, 1, 50) == 1 && read(fd_, &byte, 1) == 1) {
                request_ += byte;
            }
        }
        const std::size_t chunk = bytesPerSecond > 0 ? 64 : reply.size();
        const Clock::time_point start = Clock::now();
        for (std::size_t sent = 0; sent < reply.size() && !stop_;) {
            if (bytesPerSecond > 0) {
                std::this_thread::sleep_until(
                    start + std::chrono::microseconds(sent * 1'000'000 / bytesPerSecond));
            }
            const auto written =
                write(fd_, reply.data() + sent, std::min(chunk, reply.size() - sent));
            if (written > 0) {
                sent += std::size_t(written);
            } else {  // full: VirMIDI passes nothing on while a receiver has no room
                pollfd writable{fd_, POLLOUT, 0};
                poll(&writable, 1, 50);
            }
        }
        // Until VirMIDI has passed every byte on: the last one has then arrived.
        int output = SNDRV_RAWMIDI_STREAM_OUTPUT;
        ioctl(fd_, SNDRV_RAWMIDI_IOCTL_DRAIN, &output);
        lastByte_ = Clock::now();
        done_.set_value();
    }

    int fd_;
    std::string request_;
    Clock::time_point lastByte_;
    std::promise<void> done_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

struct Ran {
    int status;
    std::string out, err;
    Clock::time_point ended;
};

Ran Kelvane(const QStringList& arguments) {
    QProcess kelvane;
    kelvane.start(KELVANE_PROGRAM, arguments);
    EXPECT_TRUE(kelvane.waitForFinished(60000));
    return {kelvane.exitCode(), kelvane.readAllStandardOutput().toStdString(),
            kelvane.readAllStandardError().toStdString(), Clock::now()};
}

std::string Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "(none)";
}

// count messages of size bytes, told apart by their data.
std::string Messages(int count, std::size_t size) {
    std::string block;
    for (int m = 0; m < count; ++m) {
        block += '\xF0' + std::string(size - 2, char(m % 128)) + '\xF7';
    }
    return block;
}

const std::string kRequest = "\xF0\x7E\x7F\x06\x01\xF7"s;
const QStringList kAsk = {"--to", "VirMIDI 0-0", "--hex", "F0 7E 7F 06 01 F7"};

TEST(Receive, IdentityReplyAsAHexLineFromTheOutputsOwnInput) {
    Responder device("\xF0\x7E\x00\x06\x02\x41\x10\x20\x30\x40\x01\x02\x03\x04\xF7"s, 3000);
    const Ran ran = Kelvane(kAsk + QStringList{"--receive", "-", "--count", "1"});
    EXPECT_EQ(device.Request(), kRequest);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "F0 7E 00 06 02 41 10 20 30 40 01 02 03 04 F7\n");
    EXPECT_EQ(ran.err, "kelvane: Received 1 message (15 bytes) from #3: (VirMIDI 0-0).\n");
}

// At cable speed, whatever the length; the command ends within its wait and 0.2 s of the last
// byte. Clock bytes between and inside the messages are not kept.
TEST(Receive, RepliesAtCableSpeedArriveWholeAndEndSoonAfterTheLastByte) {
    QTemporaryDir dir;
    const QString file = dir.filePath("reply.syx");
    std::string bank = Messages(1, 4104);
    for (std::size_t i = 1; i < bank.size() - 1; ++i) {
        bank[i] = char(i % 128);
    }
    const std::string clocked = "\xF8\xF0\x01\xF8\x02\xF7\xF8\xFE\xF0\x03\xF7\xF8";
    const struct {
        std::string reply, kept;
        const char* said;
    } cases[] = {
        {bank, bank, "1 message (4104 bytes)"},
        {clocked, "\xF0\x01\x02\xF7\xF0\x03\xF7", "2 messages (7 bytes)"},
        {Messages(1, 48 * 1024), Messages(1, 48 * 1024), "1 message (49152 bytes)"},
        {Messages(256, 256), Messages(256, 256), "256 messages (65536 bytes)"},
    };
    for (const auto& [reply, kept, said] : cases) {
        Responder device(reply, 3000);
        const Ran ran = Kelvane(kAsk + QStringList{"--receive", file, "--wait", "1"});
        device.Request();
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ran.err, std::string("kelvane: Received ") + said +
                               " from #3: (VirMIDI 0-0) into " + file.toStdString() + ".\n");
        EXPECT_TRUE(Read(file) == kept) << said;
        const auto lastToEnd =
            std::chrono::duration_cast<std::chrono::milliseconds>(ran.ended - device.LastByte());
        std::printf("%s: command ended %lld ms after the last byte\n", said,
                    static_cast<long long>(lastToEnd.count()));
        EXPECT_LT(lastToEnd.count(), 1200) << said;
    }
}

// Nothing whole: no file, and status 1. A status byte inside a reply cuts it; the MIDI service
// itself drops a cut part shorter than one of its events (256 bytes), so this one is longer.
TEST(Receive, NoAnswerAndACutReplyWriteNothing) {
    QTemporaryDir dir;
    const QString file = dir.filePath("reply.syx");
    const std::string cut = '\xF0' + std::string(300, '\x01') + "\xB0\x07\x7F" + "\x02\xF7";
    const struct {
        std::string reply, said;
    } cases[] = {
        {"", "Nothing arrived from #3: (VirMIDI 0-0) within 0.5 s.\n"},
        {cut,
         "No whole message arrived from #3: (VirMIDI 0-0) within 0.5 s. 1 message was cut short "
         "and left out.\n"},
    };
    for (const auto& [reply, said] : cases) {
        Responder device(reply, 0);
        const Ran ran = Kelvane(kAsk + QStringList{"--receive", file, "--wait", "0.5"});
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, "kelvane: " + said);
        EXPECT_FALSE(QFile::exists(file));
    }
}

// 45 KiB in events of 256 bytes (VirMIDI's) is what the input's pool holds when nothing is read
// while it comes: here the command is still sending a long request meanwhile. 64 KiB is not,
// and the loss is told.
TEST(Receive, AFastBurstOfThePoolsSizeArrivesWholeAndALargerOneIsToldLost) {
    QTemporaryDir dir;
    const QString file = dir.filePath("reply.syx");
    const QString request = dir.filePath("request.syx");
    std::ofstream(request.toStdString()) << Messages(1, 16 * 1024);
    const QStringList ask = {"--to", "VirMIDI 0-0", "--syx", request, "--receive", file};
    {
        Responder device(Messages(180, 256), 0);
        const Ran ran = Kelvane(ask);
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_TRUE(Read(file) == Messages(180, 256));
    }
    QFile::remove(file);
    Responder device(Messages(256, 256), 0);
    const Ran ran = Kelvane(ask);
    EXPECT_EQ(ran.status, 1);
    EXPECT_TRUE(ran.err.starts_with("kelvane: Input from #3: (VirMIDI 0-0) was lost after "))
        << ran.err;
    EXPECT_TRUE(ran.err.ends_with(
        "bytes): the MIDI service dropped what came faster than it was read. Nothing was "
        "written.\n"))
        << ran.err;
    EXPECT_FALSE(QFile::exists(file));
}

// --from by name and by number; a device without input is refused, and so is an output's port
// without input of its own. Waiting costs next to nothing: two seconds against a tenth.
TEST(Receive, ChoosesTheInputAndWaitsWithoutCost) {
    const struct {
        QStringList arguments;
        int status;
        std::string said;
    } cases[] = {
        {{"--from", "VirMIDI 0-1", "--receive", "-", "--wait", "0.1"},
         1,
         "kelvane: Nothing arrived from #5: (VirMIDI 0-1) within 0.1 s.\n"},
        {{"--from", "#7", "--receive", "-", "--wait", "0.1"},
         1,
         "kelvane: Nothing arrived from #7: (VirMIDI 0-2) within 0.1 s.\n"},
        {{"--from", "2", "--receive", "-"},
         2,
         "kelvane: --from 2 is not an input:\n#2: to VirMIDI 0-0\n"},
    };
    for (const auto& [arguments, status, said] : cases) {
        const Ran ran = Kelvane(arguments);
        EXPECT_EQ(ran.status, status) << ran.err;
        EXPECT_EQ(ran.err, said);
    }
    const auto cpuSeconds = [](const char* wait) {
        rusage before{};
        rusage after{};
        getrusage(RUSAGE_CHILDREN, &before);
        Kelvane({"--from", "VirMIDI 0-1", "--receive", "-", "--wait", wait});
        getrusage(RUSAGE_CHILDREN, &after);
        const auto seconds = [](const timeval& time) {
            return double(time.tv_sec) + double(time.tv_usec) / 1e6;
        };
        return seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
               seconds(before.ru_stime);
    };
    const double idle = cpuSeconds("2"), start = cpuSeconds("0.1");
    std::printf("CPU: %.3f s waiting 2 s, %.3f s waiting 0.1 s\n", idle, start);
    EXPECT_LT(idle - start, 0.1);
}

}  // namespace
}  // namespace kelvane::system
