#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane::midi {

// Splits block into System Exclusive messages (F0, data bytes 00-7F, F7) that follow one another
// with nothing between them. Returns no message unless the whole block is such messages: an empty
// block, a missing F0 or F7, or any other status byte refuse all of it.
std::vector<std::span<const std::uint8_t>> SplitSysEx(std::span<const std::uint8_t> block);

}  // namespace kelvane::midi
