// One libFuzzer target for every parser of user text and the port layer's SysEx check. The first
// input byte picks the parser; each is held to a property of what it returns, not to its steps.
#include <QRegularExpression>
#include <cmath>
#include <cstdlib>
#include <span>

#include "messages/control_change.h"
#include "messages/sysex_row.h"
#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "support/recording_backend.h"
#include "text/number_text.h"
#include "text/text.h"

// A broken property is a finding; the sanitizer's report of the abort names the line.
#define CHECK(condition) (condition) ? void() : std::abort()

namespace kelvane {
namespace {

using Input = std::span<const std::uint8_t>;

// UTF-8 (readable seeds), or raw UTF-16 units, lone surrogates and NULs included, after 0xFF.
QString TextFrom(Input data) {
    if (!data.empty() && data[0] == 0xFF) {
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(data.data() + 1),
                                  static_cast<qsizetype>((data.size() - 1) / 2));
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data.data()),
                             static_cast<qsizetype>(data.size()));
}

// Any text reads as a number, never NaN, and what follows the number never changes it.
void Numbers(Input data) {
    const QString text = TextFrom(data);
    CHECK(!std::isnan(Val(text)) && ValHex(text) >= 0.0);
    CHECK(Val(text + QStringLiteral("x1")) == Val(text));
}

// One byte and one mirror piece per token, the byte being what the piece's last two digits show.
void DecimalRow(Input data) {
    const QString row = TextFrom(data);
    const MemoryBlock bytes = DecimalRowBytes(row);
    const QStringList pieces = HexMirror(row).split(u' ');
    CHECK(pieces.size() == row.count(u' ') + 1 && bytes.Size() == std::size_t(pieces.size()));
    static const QRegularExpression kPiece("^([1-9A-F][0-9A-F]{0,15}|0)$");
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        CHECK(kPiece.match(pieces[i]).hasMatch());
        CHECK(bytes.Byte(std::size_t(i)) == pieces[i].right(2).toInt(nullptr, 16));
    }
}

// One byte per token: the last two of its leading hex digits while a double holds them exactly,
// 00 once they pass the 64-bit range.
void HexRow(Input data) {
    const QString row = TextFrom(data);
    const MemoryBlock bytes = HexRowBytes(row);
    const QStringList tokens = row.split(u' ');
    CHECK(bytes.Size() == std::size_t(tokens.size()));
    static const QRegularExpression kDigits("^0*([0-9A-Fa-f]*)");
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        // PCRE refuses lone surrogates; the round trip turns them into U+FFFD, never a digit.
        const QString token = QString::fromUtf8(tokens[i].toUtf8());
        const QString digits = kDigits.match(token).captured(1);
        CHECK(digits.size() > 16 ? bytes.Byte(std::size_t(i)) == 0
                                 : digits.size() > 13 || bytes.Byte(std::size_t(i)) ==
                                                             digits.right(2).toInt(nullptr, 16));
    }
    CHECK(HasEnoughSysExData(row) == (Len(row) >= 3));
}

// Whatever the three controls hold: a Control Change that fits MIDI, or one of the two refusals.
void ControlChanges(Input data) {
    const QStringList fields = TextFrom(data).split(u'\n');
    const std::int64_t value = data.empty() ? 0 : data.back() % 128;
    const ControlChangeBuild built = BuildControlChange(fields[0], fields.value(1), value);
    const ControlChange& message = built.message;
    CHECK(built.refusal.isEmpty()
              ? message.status >= 0xB0 && message.status <= 0xBF && message.controller >= 0 &&
                    message.controller <= 127 && message.value == value
              : built.refusal == QString::fromUtf16(kCcNumberRefusal) ||
                    built.refusal == QString::fromUtf16(kCcChannelRefusal));
}

// The port layer passes on exactly the bytes from the offset (the first byte picks it, sometimes
// outside the block) as whole SysEx messages, or refuses and sends nothing.
void SysExBlock(Input data) {
    static testing::ScopedRecordingBackend backend;
    static midi::MidiStream stream;
    if (backend->devices.empty()) {
        backend->devices = {testing::Output("Synth")};
        midi::MidiLibrary::ReInitialize();
    }
    stream.OpenOutput(0, 10000, 0);
    backend->calls.clear();
    const std::int64_t offset = data.empty() ? 0 : data[0] % 8 - 2;
    const Input block = data.empty() ? data : data.subspan(1);
    const int result = stream.WriteSysEx(0, block, offset);
    std::string sent;
    for (const std::string& write : backend->Writes()) {
        CHECK(write.starts_with("WriteSysEx 0 0 F0") && write.ends_with(" F7"));
        sent += write.substr(std::string("WriteSysEx 0 0").size());
    }
    const std::string expected = testing::HexBytes(
        block.subspan(std::min(std::size_t(std::max<std::int64_t>(offset, 0)), block.size())));
    CHECK(backend->misuse.empty());
    CHECK(result == midi::kNoError ? sent == expected && !sent.empty()
                                   : result == midi::kBadData && sent.empty());
}

}  // namespace
}  // namespace kelvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvane;
    constexpr void (*kTargets[])(Input) = {Numbers, DecimalRow, HexRow, ControlChanges, SysExBlock};
    if (size > 0) {
        kTargets[data[0] % std::size(kTargets)](Input(data + 1, size - 1));
    }
    return 0;
}
