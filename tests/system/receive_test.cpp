// kelvane --receive against a device that answers: a responder on VirMIDI 0-0's raw device reads
// the request there and answers into it, which the sequencer delivers as input from VirMIDI 0-0.
#include <fcntl.h>
#include <poll.h>
#include <sound/asound.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <thread>

#include "system_test.h"

namespace kelvane::system {
namespace {

using namespace std::literals;

// Open once this returns: reads a request of 6 bytes on VirMIDI 0-0, then writes the reply at
// bytesPerSecond (0: as fast as VirMIDI takes it); join it before reading request and lastByte.
std::jthread Respond(const std::string& reply, int bytesPerSecond, std::string& request,
                     Clock::time_point& lastByte) {
    const int fd = open("/dev/snd/midiC0D0", O_RDWR | O_NONBLOCK);
    EXPECT_GE(fd, 0) << "VirMIDI 0-0's raw device";
    return std::jthread([=, &request, &lastByte](const std::stop_token& stop) {
        for (char byte = 0; request.size() < 6 && !stop.stop_requested();) {
            pollfd readable{fd, POLLIN, 0};
            const bool got = poll(&readable, 1, 50) == 1 && read(fd, &byte, 1) == 1;
            request.append(got ? 1 : 0, byte);
        }
        const std::size_t chunk = bytesPerSecond > 0 ? 64 : reply.size();
        const auto perByte = bytesPerSecond > 0 ? 1'000'000'000ns / bytesPerSecond : 0ns;
        const Clock::time_point start = Clock::now();
        for (std::size_t sent = 0; sent < reply.size() && !stop.stop_requested();) {
            std::this_thread::sleep_until(start + sent * perByte);
            sent += std::size_t(std::max(
                write(fd, reply.data() + sent, std::min(chunk, reply.size() - sent)), ssize_t(0)));
            pollfd writable{fd, POLLOUT, 0};  // VirMIDI passes nothing on while a receiver is full
            poll(&writable, 1, 50);
        }
        // Until VirMIDI has passed every byte on: the last one has then arrived.
        int output = SNDRV_RAWMIDI_STREAM_OUTPUT;
        ioctl(fd, SNDRV_RAWMIDI_IOCTL_DRAIN, &output);
        lastByte = Clock::now();
        close(fd);
    });
}

QStringList Listen(const char* from, const char* wait) {
    return {"--from", from, "--receive", "-", "--wait", wait};
}

// The reply as it comes (at 3000 bytes/s, cable speed, or as fast as VirMIDI takes it) and what
// is kept of it, said and ended with. At cable speed the command ends within its wait and 0.2 s
// of the last byte, whatever the length. 45 KiB in VirMIDI's events of 256 bytes is what the
// input's pool holds when nothing is read while it comes (here the command is still sending a
// long request meanwhile); 64 KiB is not, and the loss is told. --from by name and by number.
TEST(Receive, KeepsWhatADeviceAnswersAndSaysWhatCame) {
    QTemporaryDir dir;
    const QString file = dir.filePath("reply.syx");
    const QStringList ask = {"--to", "VirMIDI 0-0", "--hex", "F0 7E 7F 06 01 F7"};
    const QStringList keep = {"--receive", file, "--wait", "1"};
    const QString request = Syx(Messages(1, 16 * 1024), dir.filePath("request.syx"));
    const QStringList longAsk = {"--to", "VirMIDI 0-0", "--syx", request, "--receive", file};
    const std::string from = " from #3: (VirMIDI 0-0)";
    const std::string into = from + " into " + file.toStdString() + ".\n";
    const struct {
        std::string reply;
        int bytesPerSecond;
        QStringList arguments;
        int status;
        std::string said;  // on standard error, after "kelvane: "; up to "..." when it ends so
        std::string kept;  // on standard output for "-", else in the file
    } cases[] = {
        {"\xF0\x7E\x00\x06\x02\x41\x10\x20\x30\x40\x01\x02\x03\x04\xF7"s, 3000,
         ask + QStringList{"--receive", "-", "--count", "1"}, 0,
         "Received 1 message (15 bytes)" + from + ".\n",
         "F0 7E 00 06 02 41 10 20 30 40 01 02 03 04 F7\n"},
        {Messages(1, 4104), 3000, ask + keep, 0, "Received 1 message (4104 bytes)" + into,
         Messages(1, 4104)},
        {Messages(1, 48 * 1024), 3000, ask + keep, 0, "Received 1 message (49152 bytes)" + into,
         Messages(1, 48 * 1024)},
        {Messages(256, 256), 3000, ask + keep, 0, "Received 256 messages (65536 bytes)" + into,
         Messages(256, 256)},
        {"\xF8\xF0\x01\xF8\x02\xF7\xF8\xFE\xF0\x03\xF7\xF8", 3000, ask + keep, 0,
         "Received 2 messages (7 bytes)" + into, "\xF0\x01\x02\xF7\xF0\x03\xF7"},
        {"", 0, ask + keep, 1, "Nothing arrived" + from + " within 1 s.\n", ""},
        // The MIDI service drops a cut part shorter than one of its events: this one is longer.
        {'\xF0' + std::string(300, '\x01') + "\xB0\x07\x7F\x02\xF7", 0, ask + keep, 1,
         "No whole message arrived" + from + " within 1 s. 1 message was cut short and left out.\n",
         ""},
        {Messages(180, 256), 0, longAsk, 0, "Received 180 messages (46080 bytes)" + into,
         Messages(180, 256)},
        {Messages(256, 256), 0, longAsk, 1, "Input" + from + " was lost after ...", ""},
        {"", 0, Listen("VirMIDI 0-1", "0.1"), 1,
         "Nothing arrived from #5: (VirMIDI 0-1) within 0.1 s.\n", ""},
        {"", 0, Listen("#7", "0.1"), 1, "Nothing arrived from #7: (VirMIDI 0-2) within 0.1 s.\n",
         ""},
        {"", 0, Listen("2", "1"), 2, "--from 2 is not an input:\n#2: to VirMIDI 0-0\n", ""},
    };
    for (const auto& [reply, bytesPerSecond, arguments, status, said, kept] : cases) {
        QFile::remove(file);
        std::string request;
        Clock::time_point lastByte;
        std::jthread device = Respond(reply, bytesPerSecond, request, lastByte);
        const Ran ran(arguments);
        const std::string told = "kelvane: " + said.substr(0, said.rfind("..."));
        EXPECT_EQ(ran.status, status) << ran.err;
        EXPECT_EQ(said.ends_with("...") ? ran.err.substr(0, told.size()) : ran.err, told);
        EXPECT_TRUE((arguments.contains("-") ? ran.out : Read(file)) == kept) << said;
        if (status == 0 && bytesPerSecond > 0) {
            device.join();
            EXPECT_EQ(request, "\xF0\x7E\x7F\x06\x01\xF7");
            // 0.05-0.16 s after the wait when the VM runs alone, up to 0.35 s beside other work.
            EXPECT_LT((ran.ended - lastByte) / 1ms,
                      (arguments.contains("--count") ? 500 : 1500) + (kSanitized ? 1000 : 0))
                << said;
        }
    }
}

// Waiting costs next to nothing: asleep in its wait for two seconds, the command gains under a
// tenth of a second of CPU. Counted from its own ticks once it is seen asleep, so that neither its
// start (a second under the sanitizers) nor time the host takes from the VM is counted.
TEST(Receive, WaitsWithoutCost) {
    Beside waiting(QStringList{KELVANE_PROGRAM} + Listen("VirMIDI 0-1", "30"));
    const QString proc = "/proc/" + QString::number(waiting.processId());
    const auto ticks = [&] {
        const QStringList stat = QString::fromStdString(Read(proc + "/stat")).split(' ');
        return stat.size() > 14 ? stat[13].toLong() + stat[14].toLong() : -1;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return Read(proc + "/wchan") == "do_sys_poll"; }, 20000))
        << "never seen asleep in its wait";
    const long before = ticks();
    QTest::qWait(2000);
    EXPECT_LT(ticks() - before, sysconf(_SC_CLK_TCK) / 10) << "ticks of CPU while waiting 2 s";
    EXPECT_EQ(waiting.state(), QProcess::Running);
}

}  // namespace
}  // namespace kelvane::system
