// One libFuzzer target for every parser of user text and the port layer's SysEx check. The first
// input byte picks the parser; each is held to a property of what it returns, not to its steps.
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <span>

#include "messages/control_change.h"
#include "messages/sysex_row.h"
#include "midi/sysex_check.h"
#include "text/number_text.h"

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
}

// Whatever the three controls hold: a Control Change that fits MIDI, or one of the two refusals.
void ControlChanges(Input data) {
    const QStringList fields = TextFrom(data).split(u'\n');
    const std::int64_t value = data.empty() ? 0 : data.back() % 128;
    const auto [message, refusal] = BuildControlChange(fields[0], fields.value(1), value);
    CHECK(refusal.isEmpty()
              ? message.status >= 0xB0 && message.status <= 0xBF && message.controller >= 0 &&
                    message.controller <= 127 && message.value == value
              : refusal == QString::fromUtf16(kCcNumberRefusal) ||
                    refusal == QString::fromUtf16(kCcChannelRefusal));
}

// The check hands on whole SysEx messages (F0, data bytes 00-7F, F7) that make up the block
// exactly, or none at all with the reason.
void SysExBlock(Input data) {
    const midi::SysExCheck check = midi::CheckSysEx(data);
    std::vector<std::uint8_t> joined;
    for (const std::span<const std::uint8_t> message : check.messages) {
        CHECK(message.size() >= 2 && message.front() == 0xF0 && message.back() == 0xF7);
        CHECK(std::all_of(message.begin() + 1, message.end() - 1, [](int b) { return b < 0x80; }));
        joined.insert(joined.end(), message.begin(), message.end());
    }
    CHECK(check.problem.isEmpty() ? std::ranges::equal(joined, data) && !data.empty()
                                  : check.messages.empty());
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
