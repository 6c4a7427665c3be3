// The backend's sequencer half against a scripted ALSA sequencer: the functions below take the
// place of alsa-lib's, so ports can leave, be renamed or lose announcements at will.
#include <alsa/asoundlib.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>

#include "midi/alsa_ports.h"
#include "midi/portmidi_backend.h"
#include "scripted_portmidi.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using scripted::calls;
using scripted::Record;

struct Port {
    int client, port;
    std::string clientName, name;
    unsigned caps;
};
// Client 0 is the system's; 20:1 cannot be subscribed to, so PortMidi lists no device for it.
const std::vector<Port> kPorts = {{0, 1, "System", "Announce", SND_SEQ_PORT_CAP_SUBS_READ},
                                  {20, 0, "Keys", "Keys", SND_SEQ_PORT_CAP_SUBS_READ},
                                  {20, 1, "Keys", "Keys 2", SND_SEQ_PORT_CAP_READ},
                                  {24, 0, "Synth", "Synth", SND_SEQ_PORT_CAP_SUBS_WRITE}};
std::vector<Port> ports = kPorts;
int openResult = -ENOENT;  // as where there is no sequencer
// What snd_seq_event_input hands out in turn: an error, or an event.
std::deque<std::pair<int, snd_seq_event_t>> input;
snd_seq_event_t taken{};
int decoders = 0;

// The first port of client at or after port.
const Port* Next(int client, int port) {
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const Port& one) {
        return one.client == client && one.port >= port;
    });
    return found == ports.end() ? nullptr : &*found;
}

snd_seq_event_t Event(snd_seq_event_type type, int client = 0, int port = 0) {
    snd_seq_event_t event{};
    event.type = type;
    event.data.addr = {std::uint8_t(client), std::uint8_t(port)};
    return event;
}

}  // namespace

struct _snd_seq_client_info {
    int client, port;
};
struct _snd_seq_port_info : _snd_seq_client_info {};
struct _snd_seq_client_pool {};

extern "C" {
int snd_seq_open(snd_seq_t** handle, const char*, int, int) {
    *handle = openResult == 0 ? reinterpret_cast<snd_seq_t*>(&openResult) : nullptr;
    return openResult;
}
int snd_seq_close(snd_seq_t*) { return Record("snd_seq_close"), 0; }
int snd_seq_set_client_name(snd_seq_t*, const char*) { return 0; }
int snd_seq_create_simple_port(snd_seq_t*, const char*, unsigned caps, unsigned) {
    return Record("snd_seq_create_simple_port", caps), 7;
}
int snd_seq_connect_from(snd_seq_t*, int own, int client, int port) {
    return Record("snd_seq_connect_from", own, client, port), 0;
}
int snd_seq_set_client_pool_input(snd_seq_t*, size_t cells) {
    return Record("snd_seq_set_client_pool_input", cells), 0;
}
int snd_seq_poll_descriptors(snd_seq_t*, pollfd* fds, unsigned, short) { return fds->fd = 42, 1; }
size_t snd_seq_client_pool_sizeof() { return sizeof(_snd_seq_client_pool); }
int snd_seq_get_client_pool(snd_seq_t*, snd_seq_client_pool_t*) { return 0; }
size_t snd_seq_client_pool_get_output_pool(const snd_seq_client_pool_t*) { return 500; }
size_t snd_seq_get_output_buffer_size(snd_seq_t*) { return 16384; }

size_t snd_seq_client_info_sizeof() { return sizeof(_snd_seq_client_info); }
size_t snd_seq_port_info_sizeof() { return sizeof(_snd_seq_port_info); }
void snd_seq_client_info_set_client(snd_seq_client_info_t* info, int c) { info->client = c; }
void snd_seq_port_info_set_client(snd_seq_port_info_t* info, int c) { info->client = c; }
void snd_seq_port_info_set_port(snd_seq_port_info_t* info, int port) { info->port = port; }
int snd_seq_client_info_get_client(const snd_seq_client_info_t* info) { return info->client; }
int snd_seq_port_info_get_client(const snd_seq_port_info_t* info) { return info->client; }
int snd_seq_port_info_get_port(const snd_seq_port_info_t* info) { return info->port; }
const char* snd_seq_client_info_get_name(snd_seq_client_info_t* info) {
    return Next(info->client, 0)->clientName.c_str();
}
const char* snd_seq_port_info_get_name(const snd_seq_port_info_t* info) {
    return Next(info->client, info->port)->name.c_str();
}
unsigned snd_seq_port_info_get_capability(const snd_seq_port_info_t* info) {
    return Next(info->client, info->port)->caps;
}
int snd_seq_get_any_client_info(snd_seq_t*, int client, snd_seq_client_info_t* info) {
    *info = {client, 0};
    return Next(client, 0) != nullptr ? 0 : -ENOENT;
}
int snd_seq_get_any_port_info(snd_seq_t*, int client, int port, snd_seq_port_info_t* info) {
    info->client = client, info->port = port;
    const Port* found = Next(client, port);
    return found != nullptr && found->port == port ? 0 : -ENOENT;
}
int snd_seq_query_next_client(snd_seq_t*, snd_seq_client_info_t* info) {
    const auto next = std::find_if(ports.begin(), ports.end(),
                                   [&](const Port& one) { return one.client > info->client; });
    return next == ports.end() ? -ENOENT : (info->client = next->client, 0);
}
int snd_seq_query_next_port(snd_seq_t*, snd_seq_port_info_t* info) {
    const Port* next = Next(info->client, info->port + 1);
    return next == nullptr ? -ENOENT : (info->port = next->port, 0);
}

// Like alsa-lib: an event and how many more wait, or an error.
int snd_seq_event_input(snd_seq_t*, snd_seq_event_t** event) {
    if (input.empty()) {
        return -EAGAIN;
    }
    const int result = input.front().first;
    taken = input.front().second;
    input.pop_front();
    *event = result == 0 ? &taken : nullptr;
    return result == 0 ? static_cast<int>(input.size()) : result;
}

int snd_midi_event_new(size_t, snd_midi_event_t** decoder) {
    *decoder = reinterpret_cast<snd_midi_event_t*>(&decoders);
    return ++decoders, 0;
}
void snd_midi_event_free(snd_midi_event_t*) { --decoders; }
void snd_midi_event_no_status(snd_midi_event_t*, int) {}
// A controller decodes to its three bytes; anything else, such as the service's notices, to none.
long snd_midi_event_decode(snd_midi_event_t*, unsigned char* bytes, long,
                           const snd_seq_event_t* e) {
    std::memcpy(bytes, e->data.raw8.d, 3);
    return e->type == SND_SEQ_EVENT_CONTROLLER ? 3 : -ENOENT;
}
}

namespace kelvane::midi {
namespace {

// Keys (20:0) is device 0, an input; Synth (24:0) device 1, an output.
class AlsaSequencer : public ::testing::Test {
protected:
    AlsaSequencer() {
        scripted::devices = {{1, "ALSA", "Keys", 1, 0, 0}, {1, "ALSA", "Synth", 0, 1, 0}};
        openResult = 0;
    }
    PortMidiBackend backend;
};

TEST_F(AlsaSequencer, TellsWhichDeviceLeftSinceTheList) {
    const auto announces = [](snd_seq_event_type type, int client, int port) {
        return [=] { input.emplace_back(0, Event(type, client, port)); };
    };
    const struct {
        const char* what;
        std::function<void()> then;
        bool keysGone, synthGone;
    } cases[] = {
        {"nothing", [] {}, false, false},
        {"Keys' client exits", announces(SND_SEQ_EVENT_CLIENT_EXIT, 20, 5), true, false},
        {"Synth's port exits", announces(SND_SEQ_EVENT_PORT_EXIT, 24, 0), false, true},
        {"another port of Keys' exits", announces(SND_SEQ_EVENT_PORT_EXIT, 20, 1), false, false},
        {"another client exits", announces(SND_SEQ_EVENT_CLIENT_EXIT, 30, 0), false, false},
        {"a port starts", announces(SND_SEQ_EVENT_PORT_START, 24, 0), false, false},
        {"announcements were lost",
         [] {
             input = {{-ENOSPC, {}}};
         },
         true, true},
        {"Synth's port has another name", [] { ports[3].name = "Synth 2"; }, false, true},
        {"Synth's client has another name", [] { ports[3].clientName = "Other"; }, false, true},
        {"Synth left unannounced", [] { ports.pop_back(); }, false, true},
    };
    for (const auto& [what, then, keysGone, synthGone] : cases) {
        ports = kPorts;
        backend.Initialize();
        then();
        EXPECT_EQ(backend.DeviceGone(0), keysGone) << what;
        EXPECT_EQ(backend.DeviceGone(1), synthGone) << what;
        ports = kPorts;  // once gone, gone until the next list, though it comes back
        EXPECT_EQ(backend.DeviceGone(1), synthGone) << what;
        EXPECT_FALSE(backend.DeviceGone(-1) || backend.DeviceGone(2) || backend.DevicesUnchecked());
    }
    EXPECT_THAT(calls, ::testing::Contains("snd_seq_connect_from 7 0 1"));  // the announcements
}

// PortMidi's list is matched to the sequencer's ports by count, order and name.
TEST_F(AlsaSequencer, AListThatCannotBeMatchedLeavesDevicesUnchecked) {
    const PmDeviceInfo keys{1, "ALSA", "Keys", 1, 0, 0}, synth{1, "ALSA", "Synth", 0, 1, 0};
    const struct {
        const char* what;
        std::vector<PmDeviceInfo> devices;
        int openResult;
        bool unchecked;
    } cases[] = {
        {"one device more", {keys, synth, keys}, 0, true},
        {"one fewer", {keys}, 0, true},
        {"in another order", {synth, keys}, 0, true},
        {"one unnamed", {keys, {1, "ALSA", nullptr, 0, 1, 0}}, 0, true},
        {"no sequencer", {keys, synth}, -ENOENT, false},
    };
    for (const auto& [what, devices, opens, unchecked] : cases) {
        scripted::devices = devices;
        openResult = opens;
        PortMidiBackend another;
        calls.clear();
        another.Initialize();
        input.emplace_back(0, Event(SND_SEQ_EVENT_CLIENT_EXIT, 20));
        EXPECT_EQ(another.DevicesUnchecked(), unchecked) << what;
        EXPECT_FALSE(another.DeviceGone(0)) << what;
        // Scanned once more in case a device came or went meanwhile.
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "Initialize"), unchecked ? 2 : 1) << what;
        EXPECT_EQ(another.ServiceProblem().empty(), opens == 0) << what;
        input.clear();
    }
}

TEST_F(AlsaSequencer, InputComesAsItsBytesAndALossIsToldOnce) {
    backend.Initialize();
    StreamHandle stream = nullptr;
    EXPECT_EQ(backend.OpenInput(&stream, 1, 500), pmInvalidDeviceId);  // an output
    calls.clear();
    ASSERT_EQ(backend.OpenInput(&stream, 0, 500), pmNoError);
    EXPECT_THAT(calls, ::testing::ElementsAre("snd_seq_create_simple_port 2",
                                              "snd_seq_set_client_pool_input 500",
                                              "snd_seq_connect_from 7 20 0"));
    EXPECT_TRUE(backend.InputDescriptor(stream) == 42 && backend.InputDescriptor(nullptr) == -1);

    snd_seq_event_t control = Event(SND_SEQ_EVENT_CONTROLLER), sysex = Event(SND_SEQ_EVENT_SYSEX);
    std::memcpy(control.data.raw8.d, "\xB0\x07\x64", 3);
    std::uint8_t block[] = {0xF0, 1, 2, 3, 0xF7};
    sysex.data.ext = {sizeof block, block};
    // A service's notice decodes to nothing; after the loss, only what came later.
    input = {{0, control},
             {0, Event(SND_SEQ_EVENT_PORT_SUBSCRIBED)},
             {0, sysex},
             {-ENOSPC, {}},
             {0, control}};
    // Room given, what the read returns, the bytes it gave.
    const std::tuple<std::size_t, int, Bytes> reads[] = {
        {2, 2, {0xB0, 0x07}},
        {8, 6, {0x64, 0xF0, 1, 2, 3, 0xF7}},
        {8, pmBufferOverflow, {}},
        {8, 3, {0xB0, 0x07, 0x64}},
        {8, 0, {}},
    };
    for (const auto& [room, read, bytes] : reads) {
        Bytes got(room);
        EXPECT_EQ(backend.Read(stream, got), read);
        got.resize(std::size_t(std::max(read, 0)));
        EXPECT_EQ(got, bytes);
    }
    input = {{-EBADFD, {}}};
    Bytes room(8);
    EXPECT_EQ(backend.Read(stream, room), pmHostError);
    calls.clear();
    EXPECT_EQ(backend.Close(stream), pmNoError);
    EXPECT_THAT(calls, ::testing::ElementsAre("snd_seq_close"));  // not PortMidi's
    EXPECT_EQ(decoders, 0);
}

TEST(AlsaPorts, ClientDefaultsAreTheSequencersOnceOpen) {
    AlsaPorts ports;
    EXPECT_EQ(ports.ClientDefaults().outputBufferBytes + ports.ClientDefaults().outputPoolCells, 0);
    openResult = 0;
    ports.Listen();
    EXPECT_EQ(ports.ClientDefaults().outputBufferBytes, 16384);
    EXPECT_EQ(ports.ClientDefaults().outputPoolCells, 500);
}

}  // namespace
}  // namespace kelvane::midi
