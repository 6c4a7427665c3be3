#include <vector>

#include "fuzz_text.h"
#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "support/recording_backend.h"

// The port layer passes on exactly the bytes from the offset when they are complete SysEx
// messages back to back, and nothing at all otherwise. The first input byte picks the offset
// (sometimes outside the block).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvane;
    static testing::ScopedRecordingBackend backend;
    static const bool ready = [] {
        backend->devices = {testing::Output("Synth")};
        midi::MidiLibrary::ReInitialize();
        return true;
    }();
    (void)ready;
    static midi::MidiStream stream;
    stream.OpenOutput(0, 10000, 0);
    backend->Forget();

    if (size == 0) {
        return 0;
    }
    const std::int64_t offset = static_cast<std::int64_t>(data[0] % 8) - 2;
    const std::vector<std::uint8_t> block(data + 1, data + size);
    const int result = stream.WriteSysEx(0, block, offset);

    const std::vector<std::string> writes = backend->Writes();
    KELVANE_FUZZ_CHECK(backend->misuse.empty());
    if (result != midi::kNoError) {
        KELVANE_FUZZ_CHECK(result == midi::kBadData);
        KELVANE_FUZZ_CHECK(writes.empty());
        return 0;
    }
    KELVANE_FUZZ_CHECK(offset >= 0 && static_cast<std::size_t>(offset) < block.size());
    std::string expected;
    for (std::size_t i = static_cast<std::size_t>(offset); i < block.size(); ++i) {
        char piece[4];
        std::snprintf(piece, sizeof piece, " %02X", block[i]);
        expected += piece;
    }
    std::string sent;
    for (const std::string& write : writes) {
        KELVANE_FUZZ_CHECK(write.starts_with("WriteSysEx 0 0 F0") && write.ends_with(" F7"));
        sent += write.substr(std::string("WriteSysEx 0 0").size());
    }
    KELVANE_FUZZ_CHECK(sent == expected);
    return 0;
}
