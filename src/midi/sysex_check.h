#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "text/memory_block.h"

namespace kelvane::midi {

// Why bytes are not System Exclusive messages (F0, data bytes 00-7F, F7) that follow one another
// with nothing between them, and where: the first thing wrong.
struct SysExProblem {
    enum class Kind {
        kNoBytes,
        kNoStart,      // the first byte is not F0
        kNotData,      // inside a message, a byte above 7F that is not its F7
        kAfterEnd,     // after an F7, a byte that does not start a message
        kNoClosingF7,  // at refers to the message's F0
    };
    Kind kind = Kind::kNoBytes;
    std::size_t at = 0;      // counted from 0
    std::int64_t value = 0;  // found there

    friend bool operator==(const SysExProblem&, const SysExProblem&) = default;
};

// The same check over values that need not fit in a byte (a typed row's): one that does not is
// no data byte.
std::optional<SysExProblem> FindSysExProblem(std::span<const std::int64_t> values);

// One or more complete SysEx messages back to back: the bytes, and where each message starts.
// Only Check makes one, so it moves on to the port unchecked.
class SysExBlock {
public:
    SysExBlock() = default;

    static std::variant<SysExBlock, SysExProblem> Check(MemoryBlock block);

    std::span<const std::uint8_t> Bytes() const { return block_.Bytes(); }
    std::size_t Count() const { return starts_.size(); }
    std::span<const std::uint8_t> Message(std::size_t index) const;

private:
    MemoryBlock block_{0};
    std::vector<std::size_t> starts_;
};

}  // namespace kelvane::midi
