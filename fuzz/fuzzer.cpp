// One libFuzzer target for every parser of user text and the port layer's SysEx check. The first
// input byte picks the parser; each checks a property of what it returns, never its own steps.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "messages/control_change.h"
#include "messages/sysex_row.h"
#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "support/recording_backend.h"
#include "text/integer.h"
#include "text/number_text.h"
#include "text/text.h"

// A broken property is a finding: stop with a message the fuzzer keeps.
#define CHECK(condition)                                                                   \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "property broken: %s (line %d)\n", #condition, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (false)

namespace kelvane {
namespace {

using Input = std::span<const std::uint8_t>;

// UTF-8 (readable seeds), or raw UTF-16 units, lone surrogates and NULs included, after 0xFF.
QString TextFrom(Input data) {
    if (!data.empty() && data[0] == 0xFF) {
        QString text;
        for (std::size_t i = 1; i + 1 < data.size(); i += 2) {
            text.append(QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8))));
        }
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data.data()),
                             static_cast<qsizetype>(data.size()));
}

int HexDigit(QChar c) {
    const int at = QStringLiteral("0123456789ABCDEF").indexOf(c.toUpper());
    return c.unicode() < 128 ? at : -1;
}

// Val reads any text to a number, never NaN, and what follows the number never changes it;
// ToInt64 truncates exactly what lies in the 64-bit range and nothing else.
void Numbers(Input data) {
    const QString text = TextFrom(data);
    const double value = Val(text);
    CHECK(!std::isnan(value) && ValHex(text) >= 0.0);
    CHECK(Val(text + QStringLiteral("x1")) == value);

    double raw = 0.0;
    std::memcpy(&raw, data.data(), std::min(data.size(), sizeof raw));
    const long double truncated = std::trunc(static_cast<long double>(raw));
    if (std::isnan(raw) || truncated < -0x1p63L || truncated >= 0x1p63L) {
        CHECK(ToInt64(raw) == kNoInteger);
    } else {
        CHECK(static_cast<long double>(ToInt64(raw)) == truncated);
    }
}

// One byte and one mirror piece per token, and the byte sent is what the last two hex digits of
// its mirror piece show.
void DecimalRow(Input data) {
    const QString row = TextFrom(data);
    const MemoryBlock bytes = DecimalRowBytes(row);
    const QStringList pieces = HexMirror(row).split(u' ');
    CHECK(bytes.Size() == static_cast<std::size_t>(row.count(u' ') + 1));
    CHECK(pieces.size() == row.count(u' ') + 1);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString& piece = pieces[i];
        CHECK(!piece.isEmpty() && piece.size() <= 16 && piece == piece.toUpper());
        CHECK(piece.size() == 1 || piece[0] != u'0');
        const int low =
            HexDigit(piece.back()) + (piece.size() > 1 ? 16 * HexDigit(piece.end()[-2]) : 0);
        CHECK(bytes.Byte(static_cast<std::size_t>(i)) == low);
    }
}

// One byte per token; a token whose leading hex digits fit a double exactly sends its last two.
void HexRow(Input data) {
    const QString row = TextFrom(data);
    const MemoryBlock bytes = HexRowBytes(row);
    const QStringList tokens = row.split(u' ');
    CHECK(bytes.Size() == static_cast<std::size_t>(tokens.size()));
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        QString digits;
        for (const QChar c : tokens[i]) {
            if (HexDigit(c) < 0) {
                break;
            }
            if (!digits.isEmpty() || c != u'0') {
                digits.append(c);
            }
        }
        const int low = digits.isEmpty()
                            ? 0
                            : HexDigit(digits.back()) +
                                  (digits.size() > 1 ? 16 * HexDigit(digits.end()[-2]) : 0);
        if (digits.size() <= 13) {
            CHECK(bytes.Byte(static_cast<std::size_t>(i)) == low);
        } else if (digits.size() > 16) {
            CHECK(bytes.Byte(static_cast<std::size_t>(i)) == 0);
        }
    }
    CHECK(HasEnoughSysExData(row) == (Len(row) >= 3));
}

// Whatever the three controls hold: a Control Change that fits MIDI, or one of the two refusals.
void ControlChanges(Input data) {
    const QString text = TextFrom(data);
    const qsizetype cut = text.indexOf(u'\n');
    const std::int64_t value = data.empty() ? 0 : data.back() % 128;
    const ControlChangeBuild built =
        BuildControlChange(text.left(cut), cut < 0 ? QString() : text.mid(cut + 1), value);
    if (built.refusal.isEmpty()) {
        CHECK(built.message.status >= 0xB0 && built.message.status <= 0xBF);
        CHECK(built.message.controller >= 0 && built.message.controller <= 127);
        CHECK(built.message.value == value);
    } else {
        CHECK(built.refusal == QString::fromUtf16(kCcNumberRefusal) ||
              built.refusal == QString::fromUtf16(kCcChannelRefusal));
    }
}

// The port layer passes on exactly the bytes from the offset (the first input byte picks it,
// sometimes outside) as whole SysEx messages, or refuses and sends nothing.
void SysExBlock(Input data) {
    static testing::ScopedRecordingBackend backend;
    static midi::MidiStream stream;
    if (backend->devices.empty()) {
        backend->devices = {testing::Output("Synth")};
        midi::MidiLibrary::ReInitialize();
    }
    stream.OpenOutput(0, 10000, 0);
    backend->calls.clear();
    if (data.empty()) {
        return;
    }
    const std::int64_t offset = static_cast<std::int64_t>(data[0] % 8) - 2;
    const Input block = data.subspan(1);
    const int result = stream.WriteSysEx(0, block, offset);
    CHECK(backend->misuse.empty());
    std::string sent;
    for (const std::string& write : backend->Writes()) {
        CHECK(write.starts_with("WriteSysEx 0 0 F0") && write.ends_with(" F7"));
        sent += write.substr(std::strlen("WriteSysEx 0 0"));
    }
    if (result != midi::kNoError) {
        CHECK(result == midi::kBadData && sent.empty());
        return;
    }
    std::string expected;
    for (const std::uint8_t byte : block.subspan(static_cast<std::size_t>(offset))) {
        char piece[4];
        std::snprintf(piece, sizeof piece, " %02X", byte);
        expected += piece;
    }
    CHECK(!expected.empty() && sent == expected);
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
