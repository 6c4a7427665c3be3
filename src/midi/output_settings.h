#pragma once

#include <cstdint>

namespace kelvane::midi {

// What each open of the output stream asks PortMidi for: room for so many messages, and so many
// milliseconds of latency.
inline constexpr std::int64_t kOutputBufferSize = 10000;
inline constexpr std::int64_t kSendLatencyMs = 1;      // discovery and each SysEx send
inline constexpr std::int64_t kChoiceLatencyMs = 100;  // the user's choice of a device

}  // namespace kelvane::midi
