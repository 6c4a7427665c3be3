#include "midi/sysex_check.h"

#include "text/number_text.h"

namespace kelvane::midi {
namespace {

constexpr std::int64_t kSysExStart = 0xF0;
constexpr std::int64_t kSysExEnd = 0xF7;

QString Shown(std::int64_t value) {
    // Whole numbers from an integer are exact as doubles, so Hex shows them unchanged.
    const QString digits = Hex(static_cast<double>(value));
    return value >= 0 && value <= 0xF ? QLatin1Char('0') + digits : digits;
}

QString Position(std::size_t index) { return QString::number(index + 1); }

// Walks values as SysEx messages and hands each complete one (first index, length) to found.
// Returns the first problem, naming the values as subject and value i as shown(i), or an empty
// text when all of them are messages.
template <typename Value, typename Shown, typename Found>
QString Walk(std::span<const Value> values, const QString& subject, Shown shown, Found found) {
    if (values.empty()) {
        return subject + QStringLiteral(" has no bytes");
    }
    std::size_t start = 0;
    bool inside = false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto value = static_cast<std::int64_t>(values[i]);
        if (!inside) {
            if (value == kSysExStart) {
                inside = true;
                start = i;
            } else if (i == 0) {
                return QStringLiteral("%1 does not start with F0 (byte 1 is %2)")
                    .arg(subject, shown(i));
            } else {
                return QStringLiteral("byte %1 (%2) follows the closing F7")
                    .arg(Position(i), shown(i));
            }
        } else if (value == kSysExEnd) {
            found(start, i - start + 1);
            inside = false;
        } else if (value < 0 || value > 0x7F) {
            return QStringLiteral("byte %1 (%2) is not a data byte 00–7F")
                .arg(Position(i), shown(i));
        }
    }
    if (inside) {
        return QStringLiteral("the message starting at byte %1 has no closing F7")
            .arg(Position(start));
    }
    return {};
}

}  // namespace

SysExCheck CheckSysEx(std::span<const std::uint8_t> block) {
    SysExCheck check;
    const auto shown = [block](std::size_t i) { return Shown(block[i]); };
    check.problem =
        Walk(block, QStringLiteral("the data"), shown, [&](std::size_t start, std::size_t length) {
            check.messages.push_back(block.subspan(start, length));
        });
    if (!check.problem.isEmpty()) {
        check.messages.clear();
    }
    return check;
}

struct SysExAccepting {
    static CheckedSysEx Accept(MemoryBlock block, std::vector<std::size_t> starts,
                               QString problem) {
        CheckedSysEx checked;
        if (problem.isEmpty()) {
            checked.messages.block_ = std::move(block);
            checked.messages.starts_ = std::move(starts);
        }
        checked.problem = std::move(problem);
        return checked;
    }
};

std::span<const std::uint8_t> SysExBlock::Message(std::size_t index) const {
    const std::size_t end = index + 1 < starts_.size() ? starts_[index + 1] : block_.Size();
    return Bytes().subspan(starts_.at(index), end - starts_[index]);
}

CheckedSysEx CheckSysExBlock(MemoryBlock block) {
    const std::span<const std::uint8_t> bytes = block.Bytes();
    std::vector<std::size_t> starts;
    QString problem = Walk(
        bytes, QStringLiteral("the data"), [bytes](std::size_t i) { return Shown(bytes[i]); },
        [&starts](std::size_t start, std::size_t) { starts.push_back(start); });
    return SysExAccepting::Accept(std::move(block), std::move(starts), std::move(problem));
}

CheckedSysEx CheckSysExRow(std::span<const std::int64_t> values,
                           std::span<const QStringView> typed) {
    // An empty token, between two spaces, has only its value to show.
    const auto shown = [values, typed](std::size_t i) {
        return typed[i].isEmpty() ? Shown(values[i]) : typed[i].toString();
    };
    std::vector<std::size_t> starts;
    QString problem = Walk(values, QStringLiteral("the row"), shown,
                           [&starts](std::size_t start, std::size_t) { starts.push_back(start); });
    MemoryBlock block(problem.isEmpty() ? values.size() : 0);
    for (std::size_t i = 0; i < block.Size(); ++i) {
        block.SetByte(i, values[i]);
    }
    return SysExAccepting::Accept(std::move(block), std::move(starts), std::move(problem));
}

}  // namespace kelvane::midi
