#include "midi/sysex_check.h"

namespace kelvane::midi {
namespace {

constexpr std::int64_t kSysExStart = 0xF0;
constexpr std::int64_t kSysExEnd = 0xF7;

// Walks values as SysEx messages and hands each complete one's first index to found.
template <typename Value, typename Found>
std::optional<SysExProblem> Walk(std::span<const Value> values, Found found) {
    using Kind = SysExProblem::Kind;
    if (values.empty()) {
        return SysExProblem{Kind::kNoBytes, 0, 0};
    }
    std::size_t start = 0;
    bool inside = false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto value = static_cast<std::int64_t>(values[i]);
        if (!inside) {
            if (value != kSysExStart) {
                return SysExProblem{i == 0 ? Kind::kNoStart : Kind::kAfterEnd, i, value};
            }
            inside = true;
            start = i;
        } else if (value == kSysExEnd) {
            found(start);
            inside = false;
        } else if (value < 0 || value > 0x7F) {
            return SysExProblem{Kind::kNotData, i, value};
        }
    }
    if (inside) {
        return SysExProblem{Kind::kNoClosingF7, start, kSysExStart};
    }
    return std::nullopt;
}

}  // namespace

std::optional<SysExProblem> FindSysExProblem(std::span<const std::int64_t> values) {
    return Walk(values, [](std::size_t) {});
}

std::variant<SysExBlock, SysExProblem> SysExBlock::Check(MemoryBlock block) {
    SysExBlock checked;
    const std::optional<SysExProblem> problem =
        Walk(block.Bytes(), [&checked](std::size_t start) { checked.starts_.push_back(start); });
    if (problem) {
        return *problem;
    }
    checked.block_ = std::move(block);
    return checked;
}

std::span<const std::uint8_t> SysExBlock::Message(std::size_t index) const {
    const std::size_t end = index + 1 < starts_.size() ? starts_[index + 1] : block_.Size();
    return Bytes().subspan(starts_.at(index), end - starts_[index]);
}

}  // namespace kelvane::midi
