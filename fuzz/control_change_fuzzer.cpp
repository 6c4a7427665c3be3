#include "fuzz_text.h"
#include "messages/control_change.h"

// Whatever the three controls hold, the result is a Control Change that fits MIDI, or a refusal
// with one of the two texts.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvane;
    const QString text = fuzz::TextFrom(data, size);
    const qsizetype cut = text.indexOf(u'\n');
    const QString channel = cut < 0 ? text : text.left(cut);
    const QString number = cut < 0 ? QString() : text.mid(cut + 1);
    const std::int64_t value = size > 0 ? data[size - 1] % 128 : 0;

    const ControlChangeBuild built = BuildControlChange(channel, number, value);
    if (built.refusal.isEmpty()) {
        KELVANE_FUZZ_CHECK(built.message.status >= 0xB0 && built.message.status <= 0xBF);
        KELVANE_FUZZ_CHECK(built.message.controller >= 0 && built.message.controller <= 127);
        KELVANE_FUZZ_CHECK(built.message.value == value);
    } else {
        KELVANE_FUZZ_CHECK(built.refusal == QString::fromUtf16(kCcNumberRefusal) ||
                           built.refusal == QString::fromUtf16(kCcChannelRefusal));
    }
    return 0;
}
