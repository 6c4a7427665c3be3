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

// A row that may be sent gives whole SysEx messages, one byte per token between the spaces at
// its ends, each what expected reads in its token; any other row gives no bytes and a reason.
void CheckSent(const CheckedSysEx& sent, const QString& row, int (*expected)(const QString&)) {
    const std::span<const std::uint8_t> bytes = sent.messages.Bytes();
    const auto value = [](QChar c) { return c != u' '; };
    const auto begin = std::find_if(row.begin(), row.end(), value);
    const auto end = std::find_if(row.rbegin(), row.rend(), value).base();
    const QStringList tokens =
        begin < end ? QString(begin, end - begin).split(u' ') : QStringList();
    CHECK(sent.problem.isEmpty()
              ? CheckSysExBytes(MemoryBlock({bytes.begin(), bytes.end()})).problem.isEmpty() &&
                    bytes.size() == std::size_t(tokens.size())
              : bytes.empty());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        CHECK(bytes[i] == expected(tokens[qsizetype(i)]));
    }
}

// The mirror shows one hex number per token, and a decimal row sends what it shows.
void DecimalRow(Input data) {
    const QString row = TextFrom(data);
    const QStringList pieces = HexMirror(row).split(u' ');
    static const QRegularExpression kPiece("^([1-9A-F][0-9A-F]{0,15}|0)$");
    CHECK(pieces.size() == row.count(u' ') + 1);
    CHECK(std::ranges::all_of(pieces, [](const QString& p) { return kPiece.match(p).hasMatch(); }));
    CheckSent(DecimalSysExBytes(row), row,
              [](const QString& token) { return HexMirror(token).toInt(nullptr, 16); });
}

// A hex row sends the value of each token's leading hex digits.
void HexRow(Input data) {
    const QString row = TextFrom(data);
    CheckSent(HexSysExBytes(row), row, [](const QString& token) {
        // PCRE refuses lone surrogates; the round trip turns them into U+FFFD, never a digit.
        static const QRegularExpression kDigits("^[0-9A-Fa-f]*");
        return kDigits.match(QString::fromUtf8(token.toUtf8())).captured().toInt(nullptr, 16);
    });
}

// Whatever the three controls hold: a Control Change that fits MIDI, or one of the two refusals.
void ControlChanges(Input data) {
    const QStringList fields = TextFrom(data).split(u'\n');
    const std::int64_t value = data.empty() ? 0 : data.back() % 128;
    const auto [message, refusal] = BuildControlChange(fields[0], fields.value(1), value);
    CHECK(refusal.isEmpty()
              ? message.Status >= 0xB0 && message.Status <= 0xBF && message.Data1 >= 0 &&
                    message.Data1 <= 127 && message.Data2 == value
              : refusal == QString::fromUtf16(kCcNumberRefusal) ||
                    refusal == QString::fromUtf16(kCcChannelRefusal));
}

// The check keeps whole SysEx messages (F0, data bytes 00-7F, F7) that make up the block
// exactly, or finds a problem; the same values checked as a row's find the same one.
void SysExBlock(Input data) {
    const auto checked = midi::SysExBlock::Check(MemoryBlock({data.begin(), data.end()}));
    const std::vector<std::int64_t> values(data.begin(), data.end());
    const std::optional<midi::SysExProblem> problem = midi::FindSysExProblem(values);
    const auto* kept = std::get_if<midi::SysExBlock>(&checked);
    CHECK(kept == nullptr ? problem == std::get<midi::SysExProblem>(checked) : !problem);
    if (kept == nullptr) {
        return;
    }
    std::vector<std::uint8_t> joined;
    for (std::size_t i = 0; i < kept->Count(); ++i) {
        const std::span<const std::uint8_t> message = kept->Message(i);
        CHECK(message.size() >= 2 && message.front() == 0xF0 && message.back() == 0xF7);
        CHECK(std::all_of(message.begin() + 1, message.end() - 1, [](int b) { return b < 0x80; }));
        joined.insert(joined.end(), message.begin(), message.end());
    }
    CHECK(std::ranges::equal(joined, data) && !data.empty());
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
