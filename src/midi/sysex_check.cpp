#include "midi/sysex_check.h"

namespace kelvane::midi {
namespace {
constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
}  // namespace

std::vector<std::span<const std::uint8_t>> SplitSysEx(std::span<const std::uint8_t> block) {
    std::vector<std::span<const std::uint8_t>> messages;
    std::size_t start = 0;
    bool inside = false;
    for (std::size_t i = 0; i < block.size(); ++i) {
        const std::uint8_t byte = block[i];
        if (!inside) {
            if (byte != kSysExStart) {
                return {};
            }
            inside = true;
            start = i;
        } else if (byte == kSysExEnd) {
            messages.push_back(block.subspan(start, i - start + 1));
            inside = false;
        } else if (byte > 0x7F) {
            return {};
        }
    }
    if (inside) {
        return {};
    }
    return messages;
}

}  // namespace kelvane::midi
